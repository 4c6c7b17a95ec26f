#include "browser/webbrowser_engine.h"

#include "toolkit/handle.h"
#include "toolkit/text.h"

#include <ole2.h>
#include <ocidl.h>
#include <exdisp.h>
#include <exdispid.h>

#include <new>
#include <string>
#include <string_view>

namespace browser {

namespace {

// COM interfaces have no virtual destructor: our objects are deleted only by their own Release.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// The reference count of our COM objects: they start with one reference, held by their creator, and delete
// themselves with the last Release.
template <typename... Interfaces>
class ComObject : public Interfaces... {
  public:
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        return static_cast<ULONG>(::InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

  protected:
    ComObject() = default;
    virtual ~ComObject() = default;

  private:
    LONG refs_ = 1;
};

// The frame the control is embedded in, as it asks for one when it is UI-activated. The launcher has no
// menus, toolbars or status bar to share, so the frame only names its top-level window.
class InPlaceFrame final : public ComObject<IOleInPlaceFrame> {
  public:
    explicit InPlaceFrame(HWND window) noexcept : window_(window) {}
    InPlaceFrame(const InPlaceFrame&) = delete;
    InPlaceFrame& operator=(const InPlaceFrame&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IOleInPlaceUIWindow ||
            iid == IID_IOleInPlaceFrame) {
            *out = static_cast<IOleInPlaceFrame*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) noexcept override {
        if (!out) return E_POINTER;
        *out = window_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) noexcept override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) noexcept override {
        return INPLACE_E_NOTOOLSPACE;
    }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) noexcept override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) noexcept override { return S_FALSE; }

  private:
    ~InPlaceFrame() override = default;
    HWND window_;
};

// The container side of the embedding: the control asks it for the window to live in and for its place.
// The control keeps its own references, so the site outlives the engine when the control lets go late;
// Detach() makes it an inert husk once the engine has closed.
class ClientSite final : public ComObject<IOleClientSite, IOleInPlaceSite> {
  public:
    explicit ClientSite(HWND host) noexcept : host_(host) {}
    ClientSite(const ClientSite&) = delete;
    ClientSite& operator=(const ClientSite&) = delete;

    void Detach() noexcept { host_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            *out = static_cast<IOleClientSite*>(this);
        } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
            *out = static_cast<IOleInPlaceSite*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    // IOleClientSite: nothing is ever saved, and there is no container document around the control.
    HRESULT STDMETHODCALLTYPE SaveObject() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() noexcept override { return E_NOTIMPL; }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) noexcept override {
        if (!out) return E_POINTER;
        *out = host_;
        return host_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

    // IOleInPlaceSite: the control always fills the host's client area; the box resizes it explicitly.
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() noexcept override { return host_ ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, RECT* pos,
                                               RECT* clip, OLEINPLACEFRAMEINFO* info) noexcept override {
        if (frame) *frame = nullptr;
        if (doc) *doc = nullptr;
        if (!host_) return E_FAIL;
        // Some versions of the control insist on a frame when they are UI-activated.
        if (frame) *frame = new (std::nothrow) InPlaceFrame(::GetAncestor(host_, GA_ROOT));
        RECT client{};
        ::GetClientRect(host_, &client);
        if (pos) *pos = client;
        if (clip) *clip = client;
        if (info) {
            // The launcher has no menus or accelerator table of its own to share with the control.
            info->fMDIApp = FALSE;
            info->hwndFrame = ::GetAncestor(host_, GA_ROOT);
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) noexcept override { return S_OK; }

  private:
    ~ClientSite() override = default;
    HWND host_;
};

// Text of an event argument: the control passes strings as a VARIANT by reference holding a BSTR.
std::string ArgumentText(const VARIANT& arg) {
    const VARIANT* v = &arg;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    BSTR text = nullptr;
    if (v->vt == VT_BSTR) {
        text = v->bstrVal;
    } else if (v->vt == (VT_BYREF | VT_BSTR) && v->pbstrVal) {
        text = *v->pbstrVal;
    }
    if (!text) return {};
    return tk::Narrow(std::wstring_view(text, ::SysStringLen(text)));
}

// Receives DWebBrowserEvents2 and forwards the two the box cares about. Detach() stops all forwarding, so
// nothing reaches the box after Close even when the control still holds the sink.
class EventSink final : public ComObject<IDispatch> {
  public:
    explicit EventSink(tk::WebEngineEvents* events) noexcept : events_(events) {}
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;

    void Detach() noexcept { events_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
        if (!events_ || !params || !params->rgvarg) return S_OK;
        try {
            // Arguments arrive last first.
            switch (id) {
                case DISPID_BEFORENAVIGATE2: {
                    // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
                    if (params->cArgs < 7) break;
                    VARIANT& cancel = params->rgvarg[0];
                    bool cancelled = events_->OnBeforeNavigate(ArgumentText(params->rgvarg[5]));
                    if (cancelled && cancel.vt == (VT_BYREF | VT_BOOL) && cancel.pboolVal) {
                        *cancel.pboolVal = VARIANT_TRUE;
                    }
                    break;
                }
                case DISPID_DOCUMENTCOMPLETE:
                    // (pDisp, URL)
                    if (params->cArgs < 2) break;
                    events_->OnDocumentComplete(ArgumentText(params->rgvarg[0]));
                    break;
                default:
                    break;
            }
        } catch (...) {
            // Only the text conversion can throw (out of memory); the event is then dropped.
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

  private:
    ~EventSink() override = default;
    tk::WebEngineEvents* events_;
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

template <typename T, typename... Args>
tk::com_ptr<T> MakeComObject(Args&&... args) noexcept {
    return tk::com_ptr<T>::attach(new (std::nothrow) T(std::forward<Args>(args)...));
}

class WebBrowserEngine final : public tk::WebEngine {
  public:
    WebBrowserEngine() = default;
    WebBrowserEngine(const WebBrowserEngine&) = delete;
    WebBrowserEngine& operator=(const WebBrowserEngine&) = delete;
    ~WebBrowserEngine() override { Close(); }

    bool Create(HWND host, tk::WebEngineEvents* events) noexcept override {
        if (object_ || !host) return false;
        host_ = host;
        site_ = MakeComObject<ClientSite>(host);
        sink_ = MakeComObject<EventSink>(events);
        if (!site_ || !sink_ || !Embed()) {
            Close();
            return false;
        }
        return true;
    }

    void SetOffline(bool offline) noexcept override {
        if (browser_) browser_->put_Offline(offline ? VARIANT_TRUE : VARIANT_FALSE);
    }

    void SetSilent(bool silent) noexcept override {
        if (browser_) browser_->put_Silent(silent ? VARIANT_TRUE : VARIANT_FALSE);
    }

    void SetFontSize(int size) noexcept override {
        if (!browser_) return;
        VARIANT zoom;
        ::VariantInit(&zoom);
        zoom.vt = VT_I4;
        zoom.lVal = size;
        // Some engines have no zoom (Wine's returns E_UNEXPECTED); the page then keeps its default size.
        (void)browser_->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &zoom, nullptr);
    }

    void Navigate(const std::string& url) noexcept override {
        if (!browser_) return;
        try {
            std::wstring wide = tk::Widen(url);
            tk::unique_bstr address(::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
            if (!address) return;
            VARIANT none;
            ::VariantInit(&none);
            browser_->Navigate(address.get(), &none, &none, &none, &none);
        } catch (...) {
            // Out of memory converting the address: the navigation does not start.
        }
    }

    std::string LocationUrl() noexcept override {
        if (!browser_) return {};
        tk::unique_bstr location;
        if (FAILED(browser_->get_LocationURL(location.put())) || !location) return {};
        try {
            return tk::Narrow(std::wstring_view(location.get(), ::SysStringLen(location.get())));
        } catch (...) {
            return {};
        }
    }

    void Resize(int width, int height) noexcept override {
        if (!in_place_) return;
        RECT place{0, 0, width, height};
        in_place_->SetObjectRects(&place, &place);
    }

    void Focus() noexcept override {
        if (!object_) return;
        RECT client{};
        ::GetClientRect(host_, &client);
        object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site_.get(), 0, host_, &client);
        // UI activation focuses the control's outer window at most; the keys belong to the innermost one,
        // where the document is drawn.
        HWND focus = ::GetFocus();
        HWND inner = ::GetWindow(host_, GW_CHILD);
        if (!inner) return;
        while (HWND child = ::GetWindow(inner, GW_CHILD)) inner = child;
        if (focus != inner && !::IsChild(inner, focus)) ::SetFocus(inner);
    }

    bool TranslateAccelerator(MSG* msg) noexcept override {
        if (!browser_ || !msg) return false;
        if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
        // Keys typed elsewhere in the launcher are not the page's business.
        if (msg->hwnd != host_ && !::IsChild(host_, msg->hwnd)) return false;
        auto active = browser_.query<IOleInPlaceActiveObject>();
        return active && active->TranslateAccelerator(msg) == S_OK;
    }

    void Close() noexcept override {
        // Silence the events first: deactivation and closing may still raise some.
        if (sink_) sink_->Detach();
        if (events_point_) {
            events_point_->Unadvise(cookie_);
            events_point_.reset();
            cookie_ = 0;
        }
        if (in_place_) {
            in_place_->InPlaceDeactivate();
            in_place_.reset();
        }
        if (object_) {
            object_->Close(OLECLOSE_NOSAVE);
            object_->SetClientSite(nullptr);
        }
        browser_.reset();
        object_.reset();
        if (site_) site_->Detach();
        site_.reset();
        sink_.reset();
        host_ = nullptr;
    }

  private:
    // Creates the control, connects its events and activates it in place over the host's client area.
    bool Embed() noexcept {
        if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                      object_.put_void()))) {
            return false;
        }
        // Without a client site the control ignores Navigate.
        if (FAILED(object_->SetClientSite(site_.get()))) return false;
        object_->SetHostNames(L"Thornvale", nullptr);
        browser_ = object_.query<IWebBrowser2>();
        if (!browser_) return false;

        auto container = object_.query<IConnectionPointContainer>();
        if (!container ||
            FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, events_point_.put()))) {
            return false;
        }
        if (FAILED(events_point_->Advise(static_cast<IDispatch*>(sink_.get()), &cookie_))) {
            events_point_.reset();
            return false;
        }

        RECT client{};
        ::GetClientRect(host_, &client);
        if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, host_, &client))) {
            return false;
        }
        in_place_ = object_.query<IOleInPlaceObject>();
        if (!in_place_) return false;
        in_place_->SetObjectRects(&client, &client);
        return true;
    }

    HWND host_ = nullptr;
    tk::com_ptr<ClientSite> site_;
    tk::com_ptr<EventSink> sink_;
    tk::com_ptr<IOleObject> object_;
    tk::com_ptr<IWebBrowser2> browser_;
    tk::com_ptr<IOleInPlaceObject> in_place_;
    tk::com_ptr<IConnectionPoint> events_point_;
    DWORD cookie_ = 0;
};

}  // namespace

std::unique_ptr<tk::WebEngine> CreateWebBrowserEngine() {
    return std::make_unique<WebBrowserEngine>();
}

}  // namespace browser
