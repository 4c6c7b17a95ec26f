// Inside the toolkit: the objects behind loaded windows and their controls.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/handle.h"
#include "toolkit/layout.h"
#include "toolkit/toolkit.h"

namespace tk {
struct Picture;
}

namespace tk::detail {

class TopWindow;

// Posted to a window whose destruction was requested.
inline constexpr UINT kDestroyRequestMessage = WM_APP + 0x76;

// Raises an event unless a window is being loaded (then every event of every window is dropped). Returns true
// when a handler ran.
bool RaiseEvent(Event& event) noexcept;
// True while a load runs.
bool EventsSuspended() noexcept;

// A bitmap in display-independent 32-bit form made from a decoded picture.
unique_hbitmap CreatePictureBitmap(const Picture& picture) noexcept;

// A window's outer rectangle in its parent's client coordinates (on the screen for a top-level window).
RECT PlaceOf(HWND hwnd) noexcept;
// Reads left, top, width or height (0 to 3) of a place; false for any other index.
bool GetGeometry(const RECT& place, int index, PropertyValue& out) noexcept;
// Writes left, top, width or height (0 to 3) of a window, keeping the other three; false for any other index.
bool SetGeometry(HWND hwnd, int index, const PropertyValue& value) noexcept;

// Binds a window to the object that created it (the creation parameter) at WM_NCCREATE, and finds that object
// again for every later message. Null before WM_NCCREATE and once the binding has been dropped.
template <typename T>
T* BoundObject(HWND hwnd, UINT msg, LPARAM lp) noexcept {
    if (msg == WM_NCCREATE) {
        T* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return self;
    }
    return reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Sets the mouse pointer of a window: 0 is the arrow, else a system cursor identifier.
void SetPointer(int pointer) noexcept;

class Control {
  public:
    Control(TopWindow& owner, const ControlLayout& layout) noexcept : owner_(owner), layout_(layout) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Creates the control's window, hidden, inside `parent` at its place and size.
    bool Create(HWND parent) noexcept;
    HWND hwnd() const noexcept { return hwnd_; }
    const ControlLayout& layout() const noexcept { return layout_; }
    TopWindow& owner() const noexcept { return owner_; }
    bool Alive() const noexcept { return hwnd_ != nullptr; }

    virtual bool Get(int index, PropertyValue& out) noexcept;
    virtual bool Set(int index, const PropertyValue& value) noexcept;
    // Labels and shape boxes let presses through to the window, so that they move it.
    virtual bool LetsPressesThrough() const noexcept { return false; }
    virtual void TakeFocus() noexcept { ::SetFocus(hwnd_); }
    virtual bool TranslateAccelerator(MSG*) noexcept { return false; }

  protected:
    // Called once the control's window exists; false makes the load fail.
    virtual bool OnCreated() noexcept { return true; }
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept;
    bool Raise(int number, int32_t arg1 = 0, int32_t arg2 = 0,
               std::optional<int32_t>* result = nullptr) noexcept;

    HWND hwnd_ = nullptr;

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
    template <typename T>
    friend T* BoundObject(HWND, UINT, LPARAM) noexcept;

    TopWindow& owner_;
    const ControlLayout& layout_;
    std::string tag_;
};

std::unique_ptr<Control> MakeLabel(TopWindow& owner, const ControlLayout& layout);
std::unique_ptr<Control> MakePictureButton(TopWindow& owner, const ControlLayout& layout);
std::unique_ptr<Control> MakeShapeBox(TopWindow& owner, const ControlLayout& layout);
std::unique_ptr<Control> MakeWebBrowserBox(TopWindow& owner, const ControlLayout& layout);

class TopWindow {
  public:
    explicit TopWindow(const WindowLayout& layout) noexcept : layout_(layout) {}
    ~TopWindow();
    TopWindow(const TopWindow&) = delete;
    TopWindow& operator=(const TopWindow&) = delete;

    // Loading steps 1 and 2: the window, hidden, then its controls, last to first, stacked in table order.
    bool Build(HWND parent) noexcept;
    // Loading step 4: the visible controls are shown without activation.
    void ShowControls() noexcept;
    // Loading step 6, and the first show after the load: shows the window as its position says.
    void ShowForPosition() noexcept;
    void SetPositionShowPending() noexcept { positionShowPending_ = true; }

    HWND hwnd() const noexcept { return hwnd_; }
    bool Alive() const noexcept { return hwnd_ != nullptr; }
    const WindowLayout& layout() const noexcept { return layout_; }
    Control* FindControl(const char* name) const noexcept;
    Control* ControlOfWindow(HWND hwnd) const noexcept;

    bool Get(int index, PropertyValue& out) noexcept;
    bool Set(int index, const PropertyValue& value) noexcept;

    void RequestDestroy(bool immediate) noexcept;
    bool Shape(std::span<const uint8_t> picture, uint32_t transparent) noexcept;

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
    template <typename T>
    friend T* BoundObject(HWND, UINT, LPARAM) noexcept;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept;
    bool RaiseWindowEvent(int number, std::optional<int32_t>* result = nullptr) noexcept;
    void Paint() noexcept;
    void ApplyWrittenPosition() noexcept;
    void SetVisible(bool visible) noexcept;
    void FocusControl() noexcept;
    bool Resizable() const noexcept { return layout_.frameStyle != 0; }
    bool CreateControl(size_t index, int depth) noexcept;
    void LoadPicture(std::span<const uint8_t> bytes) noexcept;

    const WindowLayout& layout_;
    HWND hwnd_ = nullptr;
    std::vector<std::unique_ptr<Control>> controls_;  // in table order
    int position_ = 0;
    bool positionShowPending_ = false;
    bool destroyPending_ = false;
    std::string title_;
    std::string tag_;
    uint32_t backColor_ = kSystemButtonFace;
    Bytes pictureBytes_;
    unique_hbitmap pictureBitmap_;
    SIZE pictureSize_{};
    int pictureMode_ = 0;
    std::string lastFocus_;  // name of the control that had the focus at the last deactivation
};

// The loaded windows.
TopWindow* FindLoaded(const WindowLayout& layout) noexcept;
// Fatal when the window is not loaded.
TopWindow& LoadedWindow(const WindowLayout& layout);
void Unregister(TopWindow* window) noexcept;
// The control under the keyboard focus, if it belongs to a loaded window.
Control* FocusedControl() noexcept;

}  // namespace tk::detail
