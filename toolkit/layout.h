// Window layouts are data: one WindowLayout per window with its controls in stacking order (the first lies
// on top) and the table of event handlers. The toolkit builds windows from them; handlers address windows by
// their layout and controls by their names.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace tk {

enum class Kind { Label, PictureButton, ShapeBox, WebBrowserBox };

// Numbered properties common to windows and controls.
enum CommonProperty : int {
    kLeft = 0,
    kTop = 1,
    kWidth = 2,
    kHeight = 3,
    kTag = 4,
    kVisible = 5,
    kDisabled = 6,
    kMousePointer = 7,
};

// Properties of a window.
enum WindowProperty : int {
    kTitle = 8,
    kFrameStyle = 9,
    kBackColor = 10,
    kBackPicture = 11,
    kPictureMode = 12,
    kPosition = 18,
};

// Properties of a web browser box.
enum BrowserProperty : int {
    kFontSize = 8,
    kOffline = 9,
    kSilent = 10,
    kAddress = 11,
};

// Window position values.
enum Position : int {
    kPositionNormal = 0,
    kPositionCentred = 1,
    kPositionMinimised = 2,
    kPositionMaximised = 3
};

// Event numbers.
namespace event {
// Window events.
inline constexpr int kCreated = 0;
inline constexpr int kMayClose = 1;
inline constexpr int kWillBeDestroyed = 2;
inline constexpr int kPositionChanged = 3;
inline constexpr int kSizeChanged = 4;
// A picture button was clicked.
inline constexpr int kClicked = 0;
// A label received a feedback notification (two integer arguments).
inline constexpr int kFeedback = 0;
// Web browser box events.
inline constexpr int kAboutToNavigate = 0;
inline constexpr int kReady = 5;
}  // namespace event

// Colours are 0x00BBGGRR. kSystemButtonFace stands for the system's button-face colour.
inline constexpr uint32_t kSystemButtonFace = 0xFF00000Fu;

// Mouse pointers: 0 is the standard arrow, other values are system cursor identifiers (32649 is the hand).
inline constexpr int kHandPointer = 32649;

struct WindowLayout;

// What a handler receives. A handler returns a value by setting `result`; leaving it empty returns no value.
struct Event {
    Event(const WindowLayout& w, const char* c, int n, int32_t a1 = 0, int32_t a2 = 0) noexcept
        : window(w), control(c), number(n), arg1(a1), arg2(a2) {}

    const WindowLayout& window;
    const char* control;  // nullptr for an event of the window itself
    int number;
    int32_t arg1 = 0;
    int32_t arg2 = 0;
    std::optional<int32_t> result;

    void Return(bool value) noexcept { result = value ? 1 : 0; }
};

using Handler = void (*)(Event&) noexcept;

struct EventBinding {
    const char* control;  // nullptr: the window itself
    int number;
    Handler handler;
};

struct ControlLayout {
    const char* name;
    Kind kind;
    const char* parent = nullptr;  // nullptr: the window; otherwise the name of the containing control
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool visible = true;
    bool disabled = false;
    int mousePointer = 0;
    bool tabStop = false;
    int tabOrder = 0;

    // Picture button.
    const char* picture = nullptr;  // resource name of the normal picture
    int buttonKind = 0;
    bool selected = false;

    // Shape box.
    uint32_t backColor = 0x000000;
    int shape = 0;
    int style3d = 0;
    int lineStyle = 1;
    int lineWidth = 1;
    uint32_t lineColor = 0x000000;
    bool filled = false;

    // Web browser box.
    int fontSize = 2;
    bool offline = false;
    bool silent = true;
    const char* address = nullptr;  // nullptr or empty: navigates nowhere at creation
};

struct WindowLayout {
    const char* name;
    const char* title = "";
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool visible = true;
    int mousePointer = 0;
    int frameStyle = 0;  // 0: none, 1: resizable frame with a title bar
    uint32_t backColor = kSystemButtonFace;
    const char* picture = nullptr;  // resource name of the background picture
    int pictureMode = 0;            // 1: tiled from the top-left corner
    bool controlBox = false;
    bool maximiseBox = false;
    bool minimiseBox = false;
    int position = kPositionNormal;
    bool movable = true;
    bool enterMovesFocus = false;
    bool escClosesWindow = false;
    bool taskbarButton = true;
    bool dragToMove = false;
    bool alwaysOnTop = false;
    std::span<const ControlLayout> controls;
    std::span<const EventBinding> events;
};

}  // namespace tk
