#include "desktop/external_links.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/handle.h"
#include "toolkit/text.h"

namespace {

struct OpenRequest {
    HWND owner;
    std::wstring verb, file;
    int show;
};
std::vector<OpenRequest> g_requests;

void RecordingOpener(HWND owner, const std::wstring& verb, const std::wstring& file, int show) {
    g_requests.push_back({owner, verb, file, show});
}

class ExternalLinksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_requests.clear();
        desktop::SetShellOpenerForTests(&RecordingOpener);
    }
    void TearDown() override { desktop::SetShellOpenerForTests(nullptr); }
};

TEST_F(ExternalLinksTest, EachAddressReachesTheShellUnchanged) {
    const std::string addresses[] = {"http://wpa.qq.com/msgrd?v=3&uin=800012345&site=qq&menu=yes",
                                     "http://game.quillbay.com/pay/", "http://例子.测试/路径?q=é#frag"};
    for (const auto& address : addresses) desktop::OpenInDefaultBrowser(address);

    ASSERT_EQ(g_requests.size(), 3u);
    EXPECT_EQ(g_requests[0].file, L"http://wpa.qq.com/msgrd?v=3&uin=800012345&site=qq&menu=yes");
    EXPECT_EQ(g_requests[1].file, L"http://game.quillbay.com/pay/");
    EXPECT_EQ(g_requests[2].file, L"http://例子.测试/路径?q=é#frag");
    for (const auto& request : g_requests) {
        EXPECT_EQ(request.verb, L"open");
        EXPECT_EQ(request.show, SW_SHOWNORMAL);
        EXPECT_EQ(request.owner, nullptr);
    }
}

TEST_F(ExternalLinksTest, AnInternetExplorerWindowBecomesTheOwner) {
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = L"LinksTestBrowserFrame";
    RegisterClassW(&wc);
    tk::unique_hwnd explorer(CreateWindowExW(0, wc.lpszClassName, L"Microsoft Internet Explorer",
                                             WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                             GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(explorer);

    desktop::OpenInDefaultBrowser("http://thornvale.quillbay.com/");
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].owner, explorer.get());
    EXPECT_EQ(g_requests[0].file, L"http://thornvale.quillbay.com/");
}

// Wine turns a Unix path into a Windows one with this kernel32 export; Windows has no such function.
std::wstring DosPathOf(const std::string& unixPath) {
    using Convert = WCHAR*(CDECL*)(const char*);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name");
    const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void (*)()>(found));
    if (!convert) return {};
    const auto heapFree = [](WCHAR* p) { HeapFree(GetProcessHeap(), 0, p); };
    std::unique_ptr<WCHAR, decltype(heapFree)> dosPath(convert(unixPath.c_str()), heapFree);
    return dosPath ? std::wstring(dosPath.get()) : std::wstring();
}

std::string ReadWholeFile(const std::wstring& path) {
    const HANDLE raw = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) return {};
    tk::unique_handle file(raw);
    std::string text(64 * 1024, '\0');
    DWORD read = 0;
    ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    text.resize(read);
    return text;
}

// Wine's winebrowser runs the first program of HKCU\Software\Wine\WineBrowser "Browsers" that starts. The
// test's own PATH cannot steer it: SetEnvironmentVariableW changes only the Windows environment, and the
// browser program inherits the Unix one. So the fake xdg-open is named there for the test's duration.
class RealShellTest : public ::testing::Test {
  protected:
    static constexpr wchar_t kKey[] = L"Software\\Wine\\WineBrowser";

    void SetUp() override {
        std::string source = __FILE__;
        if (source.empty() || source[0] != '/') GTEST_SKIP() << "needs the Unix path of the test sources";
        const std::string script = source.substr(0, source.rfind('/')) + "/fake_xdg_open.sh";
        wchar_t tmpdir[1024] = {};
        const std::string unixTemp =
            GetEnvironmentVariableW(L"TMPDIR", tmpdir, 1024) ? tk::Narrow(tmpdir) : std::string("/tmp");
        log_ = DosPathOf(unixTemp + "/thornvale-opened-addresses.log");
        if (log_.empty()) GTEST_SKIP() << "not running under Wine";
        DeleteFileW(log_.c_str());

        wchar_t previous[1024] = {};
        DWORD size = sizeof previous;
        hadPrevious_ = RegGetValueW(HKEY_CURRENT_USER, kKey, L"Browsers", RRF_RT_REG_SZ, nullptr, previous,
                                    &size) == ERROR_SUCCESS;
        previous_ = previous;
        const std::wstring browsers = tk::Widen(script);
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Browsers", REG_SZ, browsers.c_str(),
                                  static_cast<DWORD>((browsers.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        changed_ = true;
    }
    void TearDown() override {
        if (!changed_) return;
        if (hadPrevious_) {
            RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Browsers", REG_SZ, previous_.c_str(),
                            static_cast<DWORD>((previous_.size() + 1) * sizeof(wchar_t)));
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"Browsers");
        }
        DeleteFileW(log_.c_str());
    }

    std::wstring log_, previous_;
    bool hadPrevious_ = false, changed_ = false;
};

TEST_F(RealShellTest, TheDefaultBrowserGetsTheExactAddress) {
    // The process id keeps a concurrent run's address apart from this one's.
    const std::string address = "http://127.0.0.1:1/x?a=1&b=2&run=" + std::to_string(GetCurrentProcessId());
    desktop::OpenInDefaultBrowser(address);

    const std::string expected = address + "\n";
    const DWORD start = GetTickCount();
    std::string recorded;
    while ((recorded = ReadWholeFile(log_)).find(expected) == std::string::npos &&
           GetTickCount() - start < 20000)
        Sleep(50);
    EXPECT_NE(recorded.find(expected), std::string::npos) << recorded;
    RecordProperty("opened_after_ms", static_cast<int>(GetTickCount() - start));
}

}  // namespace
