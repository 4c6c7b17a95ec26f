// The shape box: a rectangle filled with its background colour and outlined inside its edge.
#include "toolkit/internal.h"

namespace tk::detail {
namespace {

class ShapeBox final : public Control {
  public:
    using Control::Control;
    bool LetsPressesThrough() const noexcept override { return true; }

  protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
        if (msg == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd_, &ps);
            unique_hbrush back(::CreateSolidBrush(layout().backColor));
            ::FillRect(dc, &ps.rcPaint, back.get());
            if (layout().lineWidth > 0) {
                // A solid pen kept inside the box, around the whole client rectangle, with no fill.
                unique_hgdiobj pen(::CreatePen(PS_INSIDEFRAME, layout().lineWidth, layout().lineColor));
                select_object p(dc, pen.get());
                select_object b(dc, ::GetStockObject(layout().filled ? DC_BRUSH : NULL_BRUSH));
                RECT rc;
                ::GetClientRect(hwnd_, &rc);
                ::Rectangle(dc, rc.left, rc.top, rc.right, rc.bottom);
            }
            ::EndPaint(hwnd_, &ps);
            return 0;
        }
        return Control::HandleMessage(msg, wp, lp);
    }
};

}  // namespace

std::unique_ptr<Control> MakeShapeBox(TopWindow& owner, const ControlLayout& layout) {
    return std::make_unique<ShapeBox>(owner, layout);
}

}  // namespace tk::detail
