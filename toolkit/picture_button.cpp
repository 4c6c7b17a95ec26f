// The picture button: its picture drawn at its own size on black, a click when the left button is released
// inside it. The six buttons of the launcher have no hover or pressed pictures, so nothing changes on screen
// while the pointer moves over them or holds them down.
#include "toolkit/internal.h"
#include "toolkit/portable/picture.h"

namespace tk::detail {
namespace {

class PictureButton final : public Control {
  public:
    using Control::Control;

  protected:
    bool OnCreated() noexcept override {
        if (auto picture = DecodePicture(ResourceBytes(layout().picture))) {
            bitmap_ = CreatePictureBitmap(*picture);
            size_ = SIZE{picture->width, picture->height};
        }
        return true;  // a picture that cannot be decoded leaves a black button that still works
    }

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
        switch (msg) {
            case WM_PAINT:
                Paint();
                return 0;
            case WM_MOUSEMOVE:
                OnMouseMove(lp, (wp & MK_LBUTTON) != 0);
                return 0;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
                if (::IsWindowEnabled(hwnd_)) {
                    mark_ = Mark::Pressed;
                    ::SetCapture(hwnd_);
                }
                return 0;
            case WM_LBUTTONUP:
                OnRelease(lp);
                return 0;
            case WM_CAPTURECHANGED:
                mark_ = Mark::None;
                return 0;
            default:
                break;
        }
        return Control::HandleMessage(msg, wp, lp);
    }

  private:
    enum class Mark { None, Hovered, Pressed };

    bool Inside(LPARAM lp) const noexcept {
        POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        RECT rc;
        ::GetClientRect(hwnd_, &rc);
        return ::PtInRect(&rc, pt) != FALSE;
    }

    void OnMouseMove(LPARAM lp, bool leftDown) noexcept {
        if (!::IsWindowEnabled(hwnd_)) return;
        if (Inside(lp)) {
            mark_ = leftDown ? Mark::Pressed : Mark::Hovered;
            if (::GetCapture() != hwnd_) ::SetCapture(hwnd_);
        } else {
            mark_ = Mark::None;
            if (!leftDown && ::GetCapture() == hwnd_) ::ReleaseCapture();
        }
    }

    void OnRelease(LPARAM lp) noexcept {
        bool inside = Inside(lp);
        if (::GetCapture() == hwnd_) ::ReleaseCapture();
        mark_ = Mark::None;
        if (inside && ::IsWindowEnabled(hwnd_)) Raise(event::kClicked);
    }

    void Paint() noexcept {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd_, &ps);
        RECT rc;
        ::GetClientRect(hwnd_, &rc);
        // Drawn off screen and copied in one step: black, then the picture at its own size from the top-left.
        unique_hdc mem(::CreateCompatibleDC(dc));
        unique_hbitmap canvas(::CreateCompatibleBitmap(dc, rc.right, rc.bottom));
        if (mem && canvas) {
            select_object keep(mem.get(), canvas.get());
            ::FillRect(mem.get(), &rc, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
            if (bitmap_) {
                unique_hdc src(::CreateCompatibleDC(dc));
                select_object keepSrc(src.get(), bitmap_.get());
                ::BitBlt(mem.get(), 0, 0, size_.cx, size_.cy, src.get(), 0, 0, SRCCOPY);
            }
            ::BitBlt(dc, 0, 0, rc.right, rc.bottom, mem.get(), 0, 0, SRCCOPY);
        }
        ::EndPaint(hwnd_, &ps);
    }

    unique_hbitmap bitmap_;
    SIZE size_{};
    Mark mark_ = Mark::None;
};

}  // namespace

std::unique_ptr<Control> MakePictureButton(TopWindow& owner, const ControlLayout& layout) {
    return std::make_unique<PictureButton>(owner, layout);
}

}  // namespace tk::detail
