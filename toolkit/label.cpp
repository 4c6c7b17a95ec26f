// The label: shows nothing here and serves as the receiver of feedback notifications (the boss key's).
#include "toolkit/internal.h"

namespace tk::detail {
namespace {

class Label final : public Control {
  public:
    using Control::Control;
    bool LetsPressesThrough() const noexcept override { return true; }

  protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
        if (msg == kLabelFeedbackMessage) {
            // The message returns 0 unless the handler returns a value.
            std::optional<int32_t> result;
            Raise(event::kFeedback, static_cast<int32_t>(wp), 0, &result);
            return result.value_or(0);
        }
        return Control::HandleMessage(msg, wp, lp);
    }
};

}  // namespace

std::unique_ptr<Control> MakeLabel(TopWindow& owner, const ControlLayout& layout) {
    return std::make_unique<Label>(owner, layout);
}

}  // namespace tk::detail
