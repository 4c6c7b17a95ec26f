// The parts every control shares: its window, its common properties and its events.
#include "toolkit/internal.h"
#include "toolkit/text.h"

namespace tk::detail {
namespace {

constexpr wchar_t kControlClass[] = L"ThornvaleControl";

void RegisterControlClass(WNDPROC proc) {
    static bool registered = false;
    if (registered) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = nullptr;  // the pointer is set per control on WM_SETCURSOR
    wc.lpszClassName = kControlClass;
    registered = ::RegisterClassExW(&wc) != 0;
}

}  // namespace

void SetPointer(int pointer) noexcept {
    ::SetCursor(::LoadCursorW(nullptr, pointer ? MAKEINTRESOURCEW(pointer) : IDC_ARROW));
}

bool Control::Create(HWND parent) noexcept {
    RegisterControlClass(&Control::WndProc);
    const ControlLayout& l = layout_;
    DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (l.disabled ? WS_DISABLED : 0) |
                  (l.tabStop ? WS_TABSTOP : 0);
    HWND hwnd = ::CreateWindowExW(0, kControlClass, Widen(l.name).c_str(), style, l.left, l.top, l.width,
                                  l.height, parent, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!hwnd) return false;
    if (OnCreated()) return true;
    // The window must not outlive this object, which the caller discards: its procedure would reach freed
    // memory when the parent is destroyed.
    ::DestroyWindow(hwnd);
    return false;
}

LRESULT CALLBACK Control::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    Control* self = BoundObject<Control>(hwnd, msg, lp);
    if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = self->HandleMessage(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

LRESULT Control::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept {
    switch (msg) {
        case WM_NCHITTEST:
            // A press on a label or a shape box goes to the window beneath, which starts the move.
            if (LetsPressesThrough()) return HTTRANSPARENT;
            break;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wp) == hwnd_ && LOWORD(lp) == HTCLIENT) {
                SetPointer(layout_.mousePointer);
                return TRUE;
            }
            break;
        case WM_ERASEBKGND:
            return 1;  // each control paints all of itself
        case WM_PAINT: {
            PAINTSTRUCT ps;
            ::BeginPaint(hwnd_, &ps);
            ::EndPaint(hwnd_, &ps);
            return 0;
        }
        default:
            break;
    }
    return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

bool Control::Raise(int number, int32_t arg1, int32_t arg2, std::optional<int32_t>* result) noexcept {
    Event e(owner().layout(), layout_.name, number, arg1, arg2);
    bool handled = RaiseEvent(e);
    if (result) *result = e.result;
    return handled;
}

RECT PlaceOf(HWND hwnd) noexcept {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    if (HWND parent = ::GetParent(hwnd); parent && (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
        ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool GetGeometry(const RECT& r, int index, PropertyValue& out) noexcept {
    switch (index) {
        case kLeft:
            out = int32_t(r.left);
            return true;
        case kTop:
            out = int32_t(r.top);
            return true;
        case kWidth:
            out = int32_t(r.right - r.left);
            return true;
        case kHeight:
            out = int32_t(r.bottom - r.top);
            return true;
        default:
            return false;
    }
}

bool SetGeometry(HWND hwnd, int index, const PropertyValue& value) noexcept {
    if (index < kLeft || index > kHeight) return false;
    const int32_t* i = std::get_if<int32_t>(&value);
    if (!i) return true;
    RECT r = PlaceOf(hwnd);
    int x = r.left, y = r.top, w = r.right - r.left, h = r.bottom - r.top;
    switch (index) {
        case kLeft:
            x = *i;
            break;
        case kTop:
            y = *i;
            break;
        case kWidth:
            w = *i;
            break;
        default:
            h = *i;
            break;
    }
    ::SetWindowPos(hwnd, nullptr, x, y, w < 0 ? 0 : w, h < 0 ? 0 : h, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

bool Control::Get(int index, PropertyValue& out) noexcept {
    if (GetGeometry(PlaceOf(hwnd_), index, out)) return true;
    switch (index) {
        case kTag:
            out = tag_;
            return true;
        case kVisible:
            out = int32_t((::GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) ? 1 : 0);
            return true;
        case kDisabled:
            out = int32_t(::IsWindowEnabled(hwnd_) ? 0 : 1);
            return true;
        case kMousePointer:
            out = int32_t(layout_.mousePointer);
            return true;
        default:
            return false;
    }
}

bool Control::Set(int index, const PropertyValue& value) noexcept {
    if (SetGeometry(hwnd_, index, value)) return true;
    const int32_t* i = std::get_if<int32_t>(&value);
    switch (index) {
        case kTag:
            if (auto* s = std::get_if<std::string>(&value)) tag_ = *s;
            return true;
        case kVisible:
            if (i) ::ShowWindow(hwnd_, *i ? SW_SHOWNA : SW_HIDE);
            return true;
        case kDisabled:
            if (i) ::EnableWindow(hwnd_, *i ? FALSE : TRUE);
            return true;
        default:
            return false;
    }
}

}  // namespace tk::detail
