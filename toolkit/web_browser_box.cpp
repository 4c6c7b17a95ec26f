// The web browser box: hosts a web engine over its whole client area and turns the engine's notifications
// into the box's events: about to navigate (0; a handler returning false cancels) and ready (5).
#include <vector>

#include "toolkit/internal.h"
#include "toolkit/portable/placement.h"
#include "toolkit/web_engine.h"

namespace tk::detail {
namespace {

class WebBrowserBox final : public Control, private WebEngineEvents {
  public:
    using Control::Control;

    bool Get(int index, PropertyValue& out) noexcept override {
        switch (index) {
            case kFontSize:
                out = int32_t(fontSize_);
                return true;
            case kOffline:
                out = int32_t(offline_);
                return true;
            case kSilent:
                out = int32_t(silent_);
                return true;
            case kAddress:
                // Inside a handler of the box's events the address is the one the event carries.
                if (!eventAddresses_.empty()) {
                    out = eventAddresses_.back();
                } else {
                    out = engine_ ? engine_->LocationUrl() : std::string();
                }
                return true;
            default:
                return Control::Get(index, out);
        }
    }

    bool Set(int index, const PropertyValue& value) noexcept override {
        const int32_t* i = std::get_if<int32_t>(&value);
        switch (index) {
            case kWidth:
            case kHeight:
                // Writing one dimension keeps the other; both stay within 0..32627.
                if (!i) return false;
                return Control::Set(index, PropertyValue(int32_t(ClampBoxDimension(*i))));
            case kFontSize:
                if (i && engine_) engine_->SetFontSize(fontSize_ = *i);
                return true;
            case kOffline:
                if (i && engine_) engine_->SetOffline(offline_ = *i != 0);
                return true;
            case kSilent:
                if (i && engine_) engine_->SetSilent(silent_ = *i != 0);
                return true;
            case kAddress:
                // Every write navigates, also to the address already shown.
                if (auto* s = std::get_if<std::string>(&value); s && engine_) engine_->Navigate(*s);
                return true;
            default:
                return Control::Set(index, value);
        }
    }

    void TakeFocus() noexcept override {
        if (engine_) engine_->Focus();
    }
    bool TranslateAccelerator(MSG* msg) noexcept override {
        return engine_ && engine_->TranslateAccelerator(msg);
    }

  protected:
    bool OnCreated() noexcept override {
        engine_ = CreateWebEngine();
        if (!engine_ || !engine_->Create(hwnd_, this)) {
            engine_.reset();
            return false;
        }
        const ControlLayout& l = layout();
        fontSize_ = l.fontSize;
        offline_ = l.offline;
        silent_ = l.silent;
        engine_->SetOffline(offline_);
        engine_->SetSilent(silent_);
        engine_->SetFontSize(fontSize_);
        if (l.address && *l.address) engine_->Navigate(l.address);
        return true;
    }

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) noexcept override {
        switch (msg) {
            case WM_SIZE:
                if (engine_) engine_->Resize(LOWORD(lp), HIWORD(lp));
                return 0;
            case WM_SETFOCUS:
                if (engine_) engine_->Focus();
                return 0;
            case WM_DESTROY:
                if (engine_) {
                    engine_->Close();
                    engine_.reset();
                }
                break;
            default:
                break;
        }
        return Control::HandleMessage(msg, wp, lp);
    }

  private:
    bool OnBeforeNavigate(const std::string& url) noexcept override {
        std::optional<int32_t> result;
        eventAddresses_.push_back(url);
        Raise(event::kAboutToNavigate, 0, 0, &result);
        eventAddresses_.pop_back();
        return result.has_value() && *result == 0;
    }

    void OnDocumentComplete(const std::string& url) noexcept override {
        eventAddresses_.push_back(url);
        Raise(event::kReady);
        eventAddresses_.pop_back();
    }

    std::unique_ptr<WebEngine> engine_;
    std::vector<std::string> eventAddresses_;  // innermost event last
    int fontSize_ = 2;
    bool offline_ = false;
    bool silent_ = true;
};

}  // namespace

std::unique_ptr<Control> MakeWebBrowserBox(TopWindow& owner, const ControlLayout& layout) {
    return std::make_unique<WebBrowserBox>(owner, layout);
}

}  // namespace tk::detail
