// The real WebBrowser engine, driven against a small HTTP server of the test's own on 127.0.0.1: what the box
// decides in OnBeforeNavigate must decide whether a request leaves the machine.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "browser/webbrowser_engine.h"
#include "toolkit/handle.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>
#include "message_pump.h"
#include "recording_events.h"

namespace {

inline void CloseSocket(SOCKET s) {
    ::closesocket(s);
}
using unique_socket = tk::unique_any<tk::handle_traits<SOCKET, CloseSocket, INVALID_SOCKET>>;

// Answers every request with a small page and records its request line ("GET /path HTTP/1.1").
class HttpServer {
  public:
    HttpServer() {
        WSADATA data;
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
        listener_.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        int size = sizeof(address);
        if (!listener_ || ::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener_.get(), 8) != 0 ||
            ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            listener_.reset();
            return;
        }
        port_ = ::ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    ~HttpServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        listener_.reset();
        if (started_) ::WSACleanup();
    }

    int Port() const { return port_; }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::vector<std::string> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

  private:
    void Serve() {
        while (!stop_) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(listener_.get(), &ready);
            timeval wait{0, 50 * 1000};
            if (::select(0, &ready, nullptr, nullptr, &wait) != 1) continue;
            unique_socket client(::accept(listener_.get(), nullptr, nullptr));
            if (client) Answer(client.get());
        }
    }

    void Answer(SOCKET client) {
        DWORD timeout_ms = 2000;
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms),
                     sizeof(timeout_ms));
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 64 * 1024) {
            int got = ::recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0) break;
            request.append(buffer, static_cast<size_t>(got));
        }
        if (request.empty()) return;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request.substr(0, request.find("\r\n")));
        }
        const std::string body = "<html><body>ok</body></html>";
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\nConnection: close\r\n\r\n" + body;
        ::send(client, reply.data(), static_cast<int>(reply.size()), 0);
        ::shutdown(client, SD_SEND);
    }

    bool started_ = false;
    unique_socket listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

using testsupport::PumpFor;
using testsupport::PumpUntil;

tk::unique_hwnd CreateHostWindow() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ThornvaleEngineTestHost";
        return ::RegisterClassExW(&wc) != 0;
    }();
    if (!registered) return {};
    tk::unique_hwnd host(::CreateWindowExW(0, L"ThornvaleEngineTestHost", L"engine host",
                                           WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 50, 50, 640, 480, nullptr,
                                           nullptr, ::GetModuleHandleW(nullptr), nullptr));
    if (host) ::ShowWindow(host.get(), SW_SHOWNORMAL);
    return host;
}

class WebBrowserEngineTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(server_.Port(), 0);
        host_ = CreateHostWindow();
        ASSERT_TRUE(host_);
        engine_ = browser::CreateWebBrowserEngine();
        ASSERT_TRUE(engine_->Create(host_.get(), &events_));
    }
    void TearDown() override {
        if (engine_) engine_->Close();
        engine_.reset();
        host_.reset();
    }

    HttpServer server_;
    RecordingEvents events_;
    tk::unique_hwnd host_;
    std::unique_ptr<tk::WebEngine> engine_;
};

TEST_F(WebBrowserEngineTest, FillsTheHostAsItsOnlyChildAndFollowsResize) {
    HWND control = ::GetWindow(host_.get(), GW_CHILD);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(::GetWindow(control, GW_HWNDNEXT), nullptr);

    auto expect_fills_host = [&] {
        RECT host{}, child{};
        ::GetClientRect(host_.get(), &host);
        ::GetWindowRect(control, &child);
        ::MapWindowPoints(nullptr, host_.get(), reinterpret_cast<POINT*>(&child), 2);
        EXPECT_EQ(child.left, 0);
        EXPECT_EQ(child.top, 0);
        EXPECT_EQ(child.right, host.right);
        EXPECT_EQ(child.bottom, host.bottom);
    };
    expect_fills_host();

    ::SetWindowPos(host_.get(), nullptr, 0, 0, 800, 560, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    ::GetClientRect(host_.get(), &client);
    engine_->Resize(client.right, client.bottom);
    expect_fills_host();
}

struct NavigationCase {
    const char* name;
    const char* path;
    bool cancel;
};

void PrintTo(const NavigationCase& c, std::ostream* os) {
    *os << c.name;
}

class WebBrowserEngineNavigationTest : public WebBrowserEngineTest,
                                       public testing::WithParamInterface<NavigationCase> {};

TEST_P(WebBrowserEngineNavigationTest, BeforeNavigateSeesTheExactUrlAndDecidesTheRequest) {
    const NavigationCase& c = GetParam();
    const std::string url = server_.Url(c.path);
    events_.cancel = c.cancel;

    engine_->Navigate(url);
    // The control asks before it sends anything, inside Navigate itself.
    ASSERT_EQ(events_.before, std::vector<std::string>{url});

    if (c.cancel) {
        PumpFor(1500);
        EXPECT_TRUE(server_.Requests().empty());
        EXPECT_EQ(engine_->LocationUrl(), "");
    } else {
        ASSERT_TRUE(PumpUntil([&] { return !server_.Requests().empty(); }, 10000))
            << "no request for " << url;
        EXPECT_EQ(server_.Requests().front(), std::string("GET ") + c.path + " HTTP/1.1");
        EXPECT_TRUE(PumpUntil([&] { return engine_->LocationUrl() == url; }, 5000)) << engine_->LocationUrl();
    }
    EXPECT_EQ(events_.before.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebBrowserEngineNavigationTest,
    testing::Values(NavigationCase{"Allowed", "/login/index.html", false},
                    NavigationCase{"AllowedWithQuery", "/login?user=a%20b&next=%2Fhome&x=1", false},
                    NavigationCase{"Cancelled", "/blocked/page.html", true},
                    NavigationCase{"CancelledWithQuery", "/pay?amount=10&to=me", true}),
    [](const testing::TestParamInfo<NavigationCase>& param) { return param.param.name; });

TEST_F(WebBrowserEngineTest, SettingsApplyAndCloseEndsAllNotifications) {
    engine_->SetOffline(false);
    engine_->SetSilent(true);
    engine_->SetFontSize(2);
    engine_->Focus();

    MSG elsewhere{nullptr, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_FALSE(engine_->TranslateAccelerator(&elsewhere));
    MSG mouse{::GetWindow(host_.get(), GW_CHILD), WM_MOUSEMOVE, 0, 0, 0, {}};
    EXPECT_FALSE(engine_->TranslateAccelerator(&mouse));
    MSG tab{::GetWindow(host_.get(), GW_CHILD), WM_KEYDOWN, VK_TAB, 0, 0, {}};
    engine_->TranslateAccelerator(&tab);

    // Settings do not get in the way of navigating.
    engine_->Navigate(server_.Url("/after-settings"));
    ASSERT_TRUE(PumpUntil([&] { return !server_.Requests().empty(); }, 10000));
    ASSERT_EQ(events_.before.size(), 1u);

    engine_->Close();
    EXPECT_EQ(::GetWindow(host_.get(), GW_CHILD), nullptr);
    EXPECT_EQ(engine_->LocationUrl(), "");
    engine_->Navigate(server_.Url("/after-close"));
    engine_->Resize(100, 100);
    engine_->Focus();
    engine_->Close();

    host_.reset();
    PumpFor(1500);
    EXPECT_EQ(events_.before.size(), 1u);
    EXPECT_TRUE(events_.completed.empty());
    EXPECT_EQ(server_.Requests().size(), 1u);
}

}  // namespace
