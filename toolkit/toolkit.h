// The toolkit's services for the program: run services, loading windows from layouts, numbered properties,
// window handles, destroy requests and the picture-based window shape. Everything runs on the GUI thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "toolkit/layout.h"

namespace tk {

// ---- Run services
// -------------------------------------------------------------------------------------------

// Brings the toolkit up: OLE for the GUI thread, the program directory made current, the layouts checked.
// A layout that cannot be used is a fatal end.
void InitToolkit(std::span<const WindowLayout* const> layouts);
// The one exit routine, run by EndProgram at most once.
void SetExitRoutine(void (*routine)());
// Loads the start-up window; a window that cannot be loaded is a fatal end.
void LoadStartupWindow(const WindowLayout& layout);
// Dispatches messages until the quit message, which comes when the last loaded window is destroyed. Returns
// at once when no window is loaded. Returns the quit message's value.
int RunMessageLoop();
// The end sequence: the exit routine (once), then the toolkit's own resources and OLE.
void EndProgram(int code);

// A fatal end: the report (an error message box with no owner), the end sequence without the exit routine,
// then the process ends with exit code -1.
[[noreturn]] void FatalEnd(const std::string& message);
// Tests replace how a fatal end is reported and how the process is ended, so that no test waits at a message
// box.
using FatalReporter = void (*)(const std::string& message);
using ProcessTerminator = void (*)(int code);
void SetFatalHandlers(FatalReporter reporter, ProcessTerminator terminator);

// The program file's full path, directory (no trailing backslash) and file name, as recorded at start
// (UTF-8).
const std::string& ProgramFilePath();
const std::string& ProgramDirectory();
const std::string& ProgramFileName();

// The primary screen size used for placement; tests may inject one (0, 0 restores the real one).
SIZE ScreenSize();
void SetScreenSizeForTests(int width, int height);

// The message a label turns into its feedback event, with the message's first parameter and 0 as the event's
// arguments; it returns the handler's value, or 0.
inline constexpr UINT kLabelFeedbackMessage = WM_APP + 0x75;

// ---- Windows and controls
// -----------------------------------------------------------------------------------

// Loads a window by the loading sequence. A window that is already open is restored if minimised, otherwise
// activated, and raises no created event. Returns false when the window could not be built (nothing remains).
bool LoadWindow(const WindowLayout& layout, HWND parent = nullptr, bool modal = false);
bool IsLoaded(const WindowLayout& layout);
// Asks for a window's destruction. Without the immediate flag the request is posted and the window is
// destroyed from the message loop after the caller has returned; no may-close event is raised.
void RequestDestroy(const WindowLayout& layout, bool immediate = false);

// The system window handle of a window (control == nullptr) or of one of its controls.
HWND GetHandle(const WindowLayout& window, const char* control = nullptr);

// A property value: an integer (booleans are 0 and 1), a text (UTF-8) or a byte block. An empty text or byte
// block reads as empty; there is no separate "absent".
using Bytes = std::vector<uint8_t>;
using PropertyValue = std::variant<int32_t, std::string, Bytes>;

PropertyValue GetProperty(const WindowLayout& window, const char* control, int index);
void SetProperty(const WindowLayout& window, const char* control, int index, const PropertyValue& value);

inline int32_t GetInt(const WindowLayout& w, const char* c, int index) {
    auto v = GetProperty(w, c, index);
    auto* i = std::get_if<int32_t>(&v);
    return i ? *i : 0;
}
inline std::string GetText(const WindowLayout& w, const char* c, int index) {
    auto v = GetProperty(w, c, index);
    auto* s = std::get_if<std::string>(&v);
    return s ? std::move(*s) : std::string();
}
inline Bytes GetBytes(const WindowLayout& w, const char* c, int index) {
    auto v = GetProperty(w, c, index);
    auto* b = std::get_if<Bytes>(&v);
    return b ? std::move(*b) : Bytes();
}
inline void SetInt(const WindowLayout& w, const char* c, int index, int32_t value) {
    SetProperty(w, c, index, PropertyValue(value));
}
inline void SetBool(const WindowLayout& w, const char* c, int index, bool value) {
    SetProperty(w, c, index, PropertyValue(int32_t{value ? 1 : 0}));
}
inline void SetText(const WindowLayout& w, const char* c, int index, std::string value) {
    SetProperty(w, c, index, PropertyValue(std::move(value)));
}

// Cuts the window to the pixels of the picture that are not exactly the transparent colour (0x00BBGGRR).
// False, and the window unchanged, when the picture cannot be decoded.
bool ShapeWindowFromPicture(const WindowLayout& window, std::span<const uint8_t> picture,
                            uint32_t transparent);

// The bytes of a picture embedded in the program (RCDATA); empty when there is none of that name.
std::span<const uint8_t> ResourceBytes(const char* name);

}  // namespace tk
