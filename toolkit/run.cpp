// Run services: start-up of the toolkit, the loaded windows, events, the message loop and the end sequence.
#include <ole2.h>

#include <cstring>

#include "toolkit/internal.h"
#include "toolkit/text.h"

namespace tk {
namespace {

struct RunState {
    bool oleInitialised = false;
    void (*exitRoutine)() = nullptr;
    std::string programPath, programDirectory, programName;
    std::vector<std::unique_ptr<detail::TopWindow>> loaded;
    // Windows destroyed while their own code may still be on the stack; freed by the message loop.
    std::vector<std::unique_ptr<detail::TopWindow>> finished;
    int loadDepth = 0;
    SIZE screenOverride{};
};

RunState& State() {
    static RunState state;
    return state;
}

void ShowFatalMessage(const std::string& message) {
    ::MessageBoxW(nullptr, Widen(message).c_str(), L"Thornvale", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
void TerminateProcess(int code) {
    ::ExitProcess(static_cast<UINT>(code));
}

FatalReporter g_reporter = ShowFatalMessage;
ProcessTerminator g_terminator = TerminateProcess;

std::wstring ModulePath() {
    // Paths may be longer than MAX_PATH: grow the buffer until the whole path fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

void CheckLayout(const WindowLayout& layout) {
    for (size_t i = 0; i < layout.controls.size(); ++i) {
        const ControlLayout& c = layout.controls[i];
        bool parentFound = c.parent == nullptr;
        for (size_t j = 0; j < layout.controls.size(); ++j) {
            if (j != i && std::strcmp(layout.controls[j].name, c.name) == 0)
                FatalEnd(std::string("Two controls are named ") + c.name + " in " + layout.name);
            if (c.parent && j != i && std::strcmp(layout.controls[j].name, c.parent) == 0) parentFound = true;
        }
        if (!parentFound) FatalEnd(std::string("The parent of ") + c.name + " is missing in " + layout.name);
    }
}

}  // namespace

void InitToolkit(std::span<const WindowLayout* const> layouts) {
    RunState& s = State();
    if (!s.oleInitialised) {
        // The web browser and the shell link need OLE on the GUI thread.
        s.oleInitialised = SUCCEEDED(::OleInitialize(nullptr));
    }
    std::wstring path = ModulePath();
    size_t slash = path.find_last_of(L'\\');
    std::wstring dir = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    s.programPath = Narrow(path);
    s.programDirectory = Narrow(dir);
    s.programName = Narrow(slash == std::wstring::npos ? path : path.substr(slash + 1));
    if (!dir.empty()) {
        // "C:" alone would name the drive's current directory, not its root.
        ::SetCurrentDirectoryW(dir.size() == 2 && dir[1] == L':' ? (dir + L"\\").c_str() : dir.c_str());
    }
    for (const WindowLayout* layout : layouts) CheckLayout(*layout);
}

void SetExitRoutine(void (*routine)()) {
    State().exitRoutine = routine;
}

void LoadStartupWindow(const WindowLayout& layout) {
    if (!LoadWindow(layout)) FatalEnd(std::string("The window ") + layout.name + " cannot be loaded.");
}

int RunMessageLoop() {
    RunState& s = State();
    if (s.loaded.empty()) return 0;
    MSG msg;
    for (;;) {
        s.finished.clear();
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
            if (detail::Control* focused = detail::FocusedControl();
                focused && focused->TranslateAccelerator(&msg))
                continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    s.finished.clear();
    return static_cast<int>(msg.wParam);
}

void EndProgram(int) {
    RunState& s = State();
    if (auto routine = std::exchange(s.exitRoutine, nullptr)) routine();
    s.finished.clear();
    if (s.oleInitialised) {
        s.oleInitialised = false;
        ::OleUninitialize();
    }
}

void FatalEnd(const std::string& message) {
    g_reporter(message);
    State().exitRoutine = nullptr;
    EndProgram(-1);
    g_terminator(-1);
    ::ExitProcess(static_cast<UINT>(-1));
}

void SetFatalHandlers(FatalReporter reporter, ProcessTerminator terminator) {
    g_reporter = reporter ? reporter : ShowFatalMessage;
    g_terminator = terminator ? terminator : TerminateProcess;
}

const std::string& ProgramFilePath() {
    return State().programPath;
}
const std::string& ProgramDirectory() {
    return State().programDirectory;
}
const std::string& ProgramFileName() {
    return State().programName;
}

SIZE ScreenSize() {
    SIZE o = State().screenOverride;
    if (o.cx > 0 && o.cy > 0) return o;
    return SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}
void SetScreenSizeForTests(int width, int height) {
    State().screenOverride = SIZE{width, height};
}

std::span<const uint8_t> ResourceBytes(const char* name) {
    if (!name || !*name) return {};
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC res = ::FindResourceW(module, Widen(name).c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!res) return {};
    HGLOBAL data = ::LoadResource(module, res);
    const void* p = data ? ::LockResource(data) : nullptr;
    if (!p) return {};
    return {static_cast<const uint8_t*>(p), ::SizeofResource(module, res)};
}

bool LoadWindow(const WindowLayout& layout, HWND parent, bool /*modal: the program loads no modal window*/) {
    RunState& s = State();
    if (detail::TopWindow* open = detail::FindLoaded(layout)) {
        HWND hwnd = open->hwnd();
        if (::IsIconic(hwnd)) {
            ::ShowWindow(hwnd, SW_RESTORE);
        } else {
            ::SetForegroundWindow(hwnd);
            ::SetActiveWindow(hwnd);
        }
        return true;
    }
    auto window = std::make_unique<detail::TopWindow>(layout);
    detail::TopWindow* w = window.get();
    ++s.loadDepth;
    bool built = w->Build(parent);
    if (built) w->ShowControls();
    // Nothing of a half-built window remains; it goes while events are still suspended, so a window that
    // never loaded raises none, not even the will-be-destroyed event.
    if (!built && w->Alive()) ::DestroyWindow(w->hwnd());
    --s.loadDepth;
    if (!built) return false;
    s.loaded.push_back(std::move(window));

    auto alive = [&] { return detail::FindLoaded(layout) == w && w->Alive(); };
    Event created{layout, nullptr, event::kCreated};
    detail::RaiseEvent(created);
    if (alive()) {
        Event moved{layout, nullptr, event::kPositionChanged};
        detail::RaiseEvent(moved);
    }
    if (alive()) {
        Event sized{layout, nullptr, event::kSizeChanged};
        detail::RaiseEvent(sized);
    }
    if (alive() && layout.visible) w->ShowForPosition();
    if (alive()) w->SetPositionShowPending();
    return true;
}

bool IsLoaded(const WindowLayout& layout) {
    return detail::FindLoaded(layout) != nullptr;
}

void RequestDestroy(const WindowLayout& layout, bool immediate) {
    detail::LoadedWindow(layout).RequestDestroy(immediate);
}

HWND GetHandle(const WindowLayout& window, const char* control) {
    detail::TopWindow& w = detail::LoadedWindow(window);
    if (!control) return w.hwnd();
    detail::Control* c = w.FindControl(control);
    if (!c) FatalEnd(std::string("No control ") + control + " in " + window.name);
    return c->hwnd();
}

PropertyValue GetProperty(const WindowLayout& window, const char* control, int index) {
    detail::TopWindow& w = detail::LoadedWindow(window);
    PropertyValue value = int32_t{0};
    if (!control) {
        w.Get(index, value);
        return value;
    }
    detail::Control* c = w.FindControl(control);
    if (!c) FatalEnd(std::string("No control ") + control + " in " + window.name);
    c->Get(index, value);
    return value;
}

void SetProperty(const WindowLayout& window, const char* control, int index, const PropertyValue& value) {
    detail::TopWindow& w = detail::LoadedWindow(window);
    if (!control) {
        w.Set(index, value);
        return;
    }
    detail::Control* c = w.FindControl(control);
    if (!c) FatalEnd(std::string("No control ") + control + " in " + window.name);
    c->Set(index, value);
}

bool ShapeWindowFromPicture(const WindowLayout& window, std::span<const uint8_t> picture,
                            uint32_t transparent) {
    return detail::LoadedWindow(window).Shape(picture, transparent);
}

namespace detail {

bool EventsSuspended() noexcept {
    return State().loadDepth > 0;
}

bool RaiseEvent(Event& e) noexcept {
    if (EventsSuspended()) return false;
    for (const EventBinding& b : e.window.events) {
        bool sameControl = (b.control == nullptr && e.control == nullptr) ||
                           (b.control && e.control && std::strcmp(b.control, e.control) == 0);
        if (sameControl && b.number == e.number && b.handler) {
            b.handler(e);
            return true;
        }
    }
    return false;
}

TopWindow* FindLoaded(const WindowLayout& layout) noexcept {
    for (auto& w : State().loaded)
        if (&w->layout() == &layout) return w.get();
    return nullptr;
}

TopWindow& LoadedWindow(const WindowLayout& layout) {
    TopWindow* w = FindLoaded(layout);
    if (!w) FatalEnd(std::string("The window ") + layout.name + " is not loaded.");
    return *w;
}

void Unregister(TopWindow* window) noexcept {
    RunState& s = State();
    for (auto it = s.loaded.begin(); it != s.loaded.end(); ++it) {
        if (it->get() == window) {
            s.finished.push_back(std::move(*it));
            s.loaded.erase(it);
            // The quit message comes with the last loaded window; a hidden window counts as loaded.
            if (s.loaded.empty()) ::PostQuitMessage(0);
            return;
        }
    }
}

Control* FocusedControl() noexcept {
    HWND focus = ::GetFocus();
    for (HWND h = focus; h; h = ::GetParent(h)) {
        for (auto& w : State().loaded)
            if (Control* c = w->ControlOfWindow(h)) return c;
    }
    return nullptr;
}

}  // namespace detail
}  // namespace tk
