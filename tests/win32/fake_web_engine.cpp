#include "fake_web_engine.h"

#include <algorithm>

namespace {

constexpr wchar_t kLevelClass[] = L"ThornvaleFakeWebLevel";

std::vector<FakeWebEngine*>& Registry() {
    static std::vector<FakeWebEngine*> fakes;
    return fakes;
}

bool g_create_fails = false;

LRESULT CALLBACK LevelProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) noexcept {
    return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

bool RegisterLevelClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = LevelProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kLevelClass;
        return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

HWND CreateLevel(HWND parent) {
    RECT client{};
    ::GetClientRect(parent, &client);
    return ::CreateWindowExW(0, kLevelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                             0, 0, client.right, client.bottom, parent, nullptr, ::GetModuleHandleW(nullptr),
                             nullptr);
}

void FillParent(HWND child) {
    if (!child) return;
    RECT client{};
    ::GetClientRect(::GetParent(child), &client);
    ::MoveWindow(child, 0, 0, client.right, client.bottom, TRUE);
}

}  // namespace

std::unique_ptr<tk::WebEngine> FakeWebEngine::Create() {
    return std::make_unique<FakeWebEngine>();
}

FakeWebEngine* FakeWebEngine::ForHost(HWND host) {
    auto& fakes = Registry();
    auto it =
        std::find_if(fakes.rbegin(), fakes.rend(), [host](FakeWebEngine* f) { return f->host_ == host; });
    return it == fakes.rend() ? nullptr : *it;
}

FakeWebEngine* FakeWebEngine::Latest() {
    return Registry().empty() ? nullptr : Registry().back();
}

void FakeWebEngine::SetCreateFails(bool fails) {
    g_create_fails = fails;
}

FakeWebEngine::~FakeWebEngine() {
    Close();
    std::erase(Registry(), this);
}

bool FakeWebEngine::Create(HWND host, tk::WebEngineEvents* events) noexcept {
    if (g_create_fails || !host || host_ || !RegisterLevelClass()) return false;
    HWND parent = host;
    for (auto& level : levels_) {
        level.reset(CreateLevel(parent));
        if (!level) {
            DestroyLevels();
            return false;
        }
        parent = level.get();
    }
    host_ = host;
    events_ = events;
    Registry().push_back(this);
    return true;
}

void FakeWebEngine::SetOffline(bool offline) noexcept {
    calls_.push_back(offline ? "SetOffline(true)" : "SetOffline(false)");
}

void FakeWebEngine::SetSilent(bool silent) noexcept {
    calls_.push_back(silent ? "SetSilent(true)" : "SetSilent(false)");
}

void FakeWebEngine::SetFontSize(int size) noexcept {
    calls_.push_back("SetFontSize(" + std::to_string(size) + ")");
}

void FakeWebEngine::Navigate(const std::string& url) noexcept {
    calls_.push_back("Navigate(" + url + ")");
    StartNavigation(url);
}

std::string FakeWebEngine::LocationUrl() noexcept {
    return location_;
}

void FakeWebEngine::Resize(int, int) noexcept {
    // The host has already been resized; every level follows its parent, as the control's windows do.
    for (auto& level : levels_) FillParent(level.get());
}

void FakeWebEngine::Focus() noexcept {
    calls_.push_back("Focus()");
    if (PageWindow()) ::SetFocus(PageWindow());
}

bool FakeWebEngine::TranslateAccelerator(MSG* msg) noexcept {
    if (msg) translated_.push_back(*msg);
    return translate_result_;
}

void FakeWebEngine::Close() noexcept {
    if (closed_ || !host_) return;
    calls_.push_back("Close()");
    closed_ = true;
    events_ = nullptr;
    DestroyLevels();
}

bool FakeWebEngine::StartNavigation(const std::string& url) {
    if (!events_) return false;
    if (events_->OnBeforeNavigate(url)) return false;
    location_ = url;
    return true;
}

void FakeWebEngine::CompleteDocument(const std::string& url) {
    if (events_) events_->OnDocumentComplete(url);
}

void FakeWebEngine::ReplacePageWindow() {
    if (!ViewWindow()) return;
    // The new window exists before the old one goes, so the two handles always differ.
    tk::unique_hwnd fresh(CreateLevel(ViewWindow()));
    levels_[2] = std::move(fresh);
}

void FakeWebEngine::DestroyLevels() noexcept {
    // Innermost first, so each window is destroyed through its own owner.
    for (int i = 2; i >= 0; --i) levels_[i].reset();
}
