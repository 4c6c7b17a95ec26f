// What the web browser box needs from a web engine. The program uses the WebBrowser ActiveX control
// (browser/webbrowser_engine.h); tests use a fake that builds the same child windows and lets a test drive
// navigations. The box owns its engine; everything runs on the GUI thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace tk {

// Notifications from the engine to its box. Both run synchronously inside the engine's own notification.
class WebEngineEvents {
  public:
    // A navigation (of the page or of a frame inside it) is about to start. Returning true cancels it.
    virtual bool OnBeforeNavigate(const std::string& url) noexcept = 0;
    // A document (the page's or a frame's) has been completed.
    virtual void OnDocumentComplete(const std::string& url) noexcept = 0;

  protected:
    ~WebEngineEvents() = default;
};

class WebEngine {
  public:
    virtual ~WebEngine() = default;

    // Creates the engine inside `host` (the box's window), filling its client area. Its window is the only
    // child of the host. Returns false when the engine cannot be created.
    virtual bool Create(HWND host, WebEngineEvents* events) noexcept = 0;
    // Settings, applied by the box in this order before the first navigation.
    virtual void SetOffline(bool offline) noexcept = 0;
    virtual void SetSilent(bool silent) noexcept = 0;
    // Font size 0 (smallest) to 4 (largest), applied as the engine's zoom without prompting.
    virtual void SetFontSize(int size) noexcept = 0;
    // Starts a navigation to `url` (UTF-8), with no flags, target frame, post data or headers.
    virtual void Navigate(const std::string& url) noexcept = 0;
    // The address of the top-level document (UTF-8); empty when there is none.
    virtual std::string LocationUrl() noexcept = 0;
    // The host's client area changed to width x height.
    virtual void Resize(int width, int height) noexcept = 0;
    // Gives the keyboard focus to the page.
    virtual void Focus() noexcept = 0;
    // Lets the page handle a keyboard message before it is dispatched (Tab, accelerators). True when used.
    virtual bool TranslateAccelerator(MSG* msg) noexcept = 0;
    // Tears the engine down; called before the host window is destroyed. No notification arrives after it.
    virtual void Close() noexcept = 0;
};

using WebEngineFactory = std::unique_ptr<WebEngine> (*)();

// The factory every web browser box created from now on uses. The program sets the WebBrowser engine at
// start; tests set the fake.
void SetWebEngineFactory(WebEngineFactory factory) noexcept;
std::unique_ptr<WebEngine> CreateWebEngine() noexcept;

}  // namespace tk
