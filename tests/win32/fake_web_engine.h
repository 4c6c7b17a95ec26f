// A stand-in for the WebBrowser control in tests. It builds the three levels of child windows the real
// control builds under its host (outer window > document view > page window, the last one getting the mouse),
// records what it is asked to do, and lets the test raise the navigation notifications.
#pragma once

#include "toolkit/handle.h"
#include "toolkit/web_engine.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class FakeWebEngine final : public tk::WebEngine {
  public:
    // Suitable for tk::SetWebEngineFactory.
    static std::unique_ptr<tk::WebEngine> Create();
    // The live fake created inside `host`, or null.
    static FakeWebEngine* ForHost(HWND host);
    // The live fake created most recently, or null.
    static FakeWebEngine* Latest();
    // Makes every following Create fail (returns false, builds no window) until called with false.
    static void SetCreateFails(bool fails);

    FakeWebEngine() = default;
    FakeWebEngine(const FakeWebEngine&) = delete;
    FakeWebEngine& operator=(const FakeWebEngine&) = delete;
    ~FakeWebEngine() override;

    bool Create(HWND host, tk::WebEngineEvents* events) noexcept override;
    void SetOffline(bool offline) noexcept override;
    void SetSilent(bool silent) noexcept override;
    void SetFontSize(int size) noexcept override;
    // Like the real control, raises OnBeforeNavigate synchronously (through StartNavigation).
    void Navigate(const std::string& url) noexcept override;
    std::string LocationUrl() noexcept override;
    void Resize(int width, int height) noexcept override;
    // Focuses the page window.
    void Focus() noexcept override;
    // Records the message; returns what SetTranslateResult chose (false unless told otherwise).
    bool TranslateAccelerator(MSG* msg) noexcept override;
    void Close() noexcept override;

    // Raises OnBeforeNavigate(url); unless the box cancels, the location becomes `url`. True when the
    // navigation went ahead. Does nothing (false) after Close.
    bool StartNavigation(const std::string& url);
    // Raises OnDocumentComplete(url). Does nothing after Close.
    void CompleteDocument(const std::string& url);
    // Destroys the page window and puts a new one (a different handle) in its place, as the real control
    // does when it loads a new document.
    void ReplacePageWindow();

    HWND Host() const { return host_; }
    // Level 1 (fills the host), level 2 (inside it) and level 3, the page window.
    HWND OuterWindow() const { return levels_[0].get(); }
    HWND ViewWindow() const { return levels_[1].get(); }
    HWND PageWindow() const { return levels_[2].get(); }
    bool Closed() const { return closed_; }

    // Settings and navigations in the order they were asked for, e.g. "SetOffline(true)", "SetSilent(false)",
    // "SetFontSize(2)", "Navigate(http://host/path)", then "Focus()" and "Close()".
    const std::vector<std::string>& Calls() const { return calls_; }
    // Every message handed to TranslateAccelerator, in order.
    const std::vector<MSG>& TranslatedMessages() const { return translated_; }
    void SetTranslateResult(bool used) { translate_result_ = used; }

  private:
    void DestroyLevels() noexcept;

    HWND host_ = nullptr;
    tk::WebEngineEvents* events_ = nullptr;
    tk::unique_hwnd levels_[3];
    bool closed_ = false;
    std::string location_;
    std::vector<std::string> calls_;
    std::vector<MSG> translated_;
    bool translate_result_ = false;
};
