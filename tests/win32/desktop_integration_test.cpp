// The desktop services as the program uses them, with the real launcher and game layouts over the fake web
// engine: the context-menu guard following the browser events and the page windows, the four link buttons,
// and the boss key reaching whichever window is current.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "browser/context_menu_guard.h"
#include "desktop/desktop_shortcut.h"
#include "desktop/external_links.h"
#include "desktop/hot_key_service.h"
#include "desktop/portable/addresses.h"
#include "fake_web_engine.h"
#include "game/game_window.h"
#include "launcher/launcher_window.h"
#include "toolkit/text.h"
#include "toolkit/toolkit.h"
#include "toolkit/web_engine.h"
#include "message_pump.h"

namespace {

using browser::GuardStateForTests;
using desktop::HotKeyService;
using game::GameWindow;
using launcher::LauncherWindow;

constexpr const char* kLauncherBrowser = "超文本浏览框1";
constexpr const char* kGameBrowser = "超文本浏览框2";
constexpr const char* kBossKeyLabel = "标签1";
constexpr WPARAM kBossKeyId = desktop::kHotKeyIdBase + 1;
constexpr char kGameAddress[] = "http://h/play?game=mezo&s=1";

// Every WM_TIMER of the guard's re-arm timer that was dispatched, by timer id.
std::vector<UINT_PTR> g_guardTimerTicks;

void RecordGuardTick(const MSG& msg) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr &&
        msg.lParam == reinterpret_cast<LPARAM>(&browser::GuardRearmTick))
        g_guardTimerTicks.push_back(msg.wParam);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    return testsupport::PumpUntil(done, ms, RecordGuardTick);
}
void PumpFor(DWORD ms) {
    testsupport::PumpFor(ms, RecordGuardTick);
}

bool IsGuarded(HWND page) {
    return GetWindowLongPtrW(page, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&browser::GuardWindowProc);
}

// ---- Observing windows by subclassing them: the messages that reached the procedure underneath.

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;
std::map<HWND, WNDPROC> g_underneath;

bool Observed(UINT message) {
    return message == WM_RBUTTONDOWN || message == WM_RBUTTONUP || message == WM_CONTEXTMENU ||
           message == desktop::kHotKeyNotifyMessage;
}

LRESULT CALLBACK ObservingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (Observed(message)) g_seen.push_back({hwnd, message, wParam, lParam});
    return CallWindowProcW(g_underneath[hwnd], hwnd, message, wParam, lParam);
}

void Observe(HWND hwnd) {
    g_underneath[hwnd] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ObservingProc)));
}

std::vector<UINT> MessagesSeenBy(HWND hwnd) {
    std::vector<UINT> messages;
    for (const Seen& s : g_seen)
        if (s.hwnd == hwnd) messages.push_back(s.message);
    return messages;
}

// ---- The shell opener, replaced.

struct OpenRequest {
    std::wstring verb, file;
    int show;
};
std::vector<OpenRequest> g_opened;

void RecordingOpener(HWND, const std::wstring& verb, const std::wstring& file, int show) {
    g_opened.push_back({verb, file, show});
}

std::vector<std::string> g_fatalReports;
void RecordFatal(const std::string& message) {
    g_fatalReports.push_back(message);
}

const tk::WindowLayout* const kLayouts[] = {&LauncherWindow, &GameWindow};

class DesktopIntegrationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The guard and the hot-key service keep their state for the life of the process.
        ASSERT_EQ(HotKeyService::StateForTests().lastIdentifier, 0) << "run one test per process";
        g_guardTimerTicks.clear();
        g_seen.clear();
        g_opened.clear();
        g_fatalReports.clear();
        tk::SetFatalHandlers(&RecordFatal, nullptr);
        tk::SetWebEngineFactory(&FakeWebEngine::Create);
        desktop::SetShellOpenerForTests(&RecordingOpener);
        tk::InitToolkit(kLayouts);
        link_ = desktop::DesktopDirectory() + desktop::kDesktopShortcutName;
        linkExisted_ = desktop::FileExists(link_);
        if (loadLauncher_) LoadLauncher();
    }

    void LoadLauncher() {
        tk::LoadStartupWindow(LauncherWindow);
        launcher_ = tk::GetHandle(LauncherWindow);
        ASSERT_NE(launcher_, nullptr);
        launcherBox_ = tk::GetHandle(LauncherWindow, kLauncherBrowser);
        launcherFake_ = FakeWebEngine::ForHost(launcherBox_);
        ASSERT_NE(launcherFake_, nullptr);
    }

    void TearDown() override {
        if (tk::IsLoaded(GameWindow)) tk::RequestDestroy(GameWindow, true);
        if (tk::IsLoaded(LauncherWindow)) tk::RequestDestroy(LauncherWindow, true);
        PumpFor(50);
        desktop::SetShellOpenerForTests(nullptr);
        if (!linkExisted_) DeleteFileW(link_.c_str());
        EXPECT_TRUE(g_fatalReports.empty()) << g_fatalReports.front();
    }

    // The launcher's browser is about to open a game page: the game window takes it over.
    void HandOver() {
        ASSERT_FALSE(launcherFake_->StartNavigation(kGameAddress));
        ASSERT_TRUE(tk::IsLoaded(GameWindow));
        gameBox_ = tk::GetHandle(GameWindow, kGameBrowser);
        gameFake_ = FakeWebEngine::ForHost(gameBox_);
        ASSERT_NE(gameFake_, nullptr);
    }

    // Closes the game window as its close box would.
    void CloseGame() {
        ASSERT_TRUE(tk::IsLoaded(GameWindow));
        SendMessageW(tk::GetHandle(GameWindow), WM_CLOSE, 0, 0);
        PumpFor(20);
        ASSERT_FALSE(tk::IsLoaded(GameWindow));
        gameFake_ = nullptr;
    }

    // The boss key as the system delivers it: posted to the window that registered it.
    static void PressBossKey(HWND launcher) {
        PostMessageW(launcher, WM_HOTKEY, kBossKeyId, MAKELPARAM(0, VK_F10));
        PumpFor(50);
    }

    bool loadLauncher_ = true;
    HWND launcher_ = nullptr;
    HWND launcherBox_ = nullptr;
    FakeWebEngine* launcherFake_ = nullptr;
    HWND gameBox_ = nullptr;
    FakeWebEngine* gameFake_ = nullptr;
    std::wstring link_;
    bool linkExisted_ = true;
};

// ---- The context-menu guard

TEST_F(DesktopIntegrationTest, TheLauncherBrowsersNavigationEventGuardsItsPage) {
    // Events are suspended while a window loads: the first page is guarded by the first event after that.
    const HWND page = launcherFake_->PageWindow();
    Observe(page);
    ASSERT_FALSE(GuardStateForTests().installed);
    ASSERT_TRUE(launcherFake_->StartNavigation("http://h/news"));
    EXPECT_TRUE(GuardStateForTests().installed);
    EXPECT_EQ(GuardStateForTests().hostWindow, launcherBox_);
    EXPECT_TRUE(IsGuarded(page));

    const LPARAM at = MAKELPARAM(20, 30);
    EXPECT_EQ(SendMessageW(page, WM_RBUTTONUP, 0, at), 1);
    EXPECT_EQ(SendMessageW(page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(page), at), 1);
    EXPECT_TRUE(MessagesSeenBy(page).empty());
    SendMessageW(page, WM_RBUTTONDOWN, MK_RBUTTON, at);
    EXPECT_EQ(MessagesSeenBy(page), std::vector<UINT>{WM_RBUTTONDOWN});

    // The engine rebuilds its page window: the new one is found by the re-arm timer and guarded the same way.
    launcherFake_->ReplacePageWindow();
    const HWND next = launcherFake_->PageWindow();
    Observe(next);
    ASSERT_TRUE(PumpUntil([&] { return IsGuarded(next); }, 500));
    EXPECT_EQ(SendMessageW(next, WM_RBUTTONUP, 0, at), 1);
    EXPECT_EQ(SendMessageW(next, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(next), at), 1);
    SendMessageW(next, WM_RBUTTONDOWN, MK_RBUTTON, at);
    EXPECT_EQ(MessagesSeenBy(next), std::vector<UINT>{WM_RBUTTONDOWN});
}

TEST_F(DesktopIntegrationTest, TheGuardFollowsTheHandOverAndComesBackToTheLauncher) {
    const HWND launcherPage = launcherFake_->PageWindow();
    HandOver();
    // The launcher's navigation event named the launcher's box; its page stays guarded.
    EXPECT_EQ(GuardStateForTests().hostWindow, launcherBox_);
    EXPECT_TRUE(IsGuarded(launcherPage));

    // The game page is ready: its box is the one to guard next, but one page is guarded at a time.
    gameFake_->CompleteDocument(kGameAddress);
    EXPECT_EQ(GuardStateForTests().hostWindow, gameBox_);
    EXPECT_TRUE(GuardStateForTests().installed);
    EXPECT_TRUE(IsGuarded(launcherPage));
    EXPECT_FALSE(IsGuarded(gameFake_->PageWindow()));

    // The launcher's page window goes: the re-arm timer hooks the page of the box named last.
    launcherFake_->ReplacePageWindow();
    EXPECT_FALSE(GuardStateForTests().installed);
    EXPECT_NE(GuardStateForTests().rearmTimerId, 0u);
    const HWND gamePage = gameFake_->PageWindow();
    EXPECT_TRUE(PumpUntil([&] { return IsGuarded(gamePage); }, 500));
    EXPECT_TRUE(GuardStateForTests().installed);
    EXPECT_EQ(GuardStateForTests().rearmTimerId, 0u);
    EXPECT_FALSE(IsGuarded(launcherFake_->PageWindow()));
    EXPECT_EQ(SendMessageW(gamePage, WM_RBUTTONUP, 0, 0), 1);

    // The game window closes with its page: the guard is free and keeps looking.
    CloseGame();
    EXPECT_TRUE(IsWindowVisible(launcher_));
    EXPECT_FALSE(GuardStateForTests().installed);
    EXPECT_NE(GuardStateForTests().rearmTimerId, 0u);
    const int ticks = GuardStateForTests().rearmTicks;
    PumpFor(250);
    EXPECT_GT(GuardStateForTests().rearmTicks, ticks);
    EXPECT_FALSE(GuardStateForTests().installed);
    EXPECT_FALSE(IsGuarded(launcherFake_->PageWindow()));

    // The launcher's next event guards its page again and stops the search: its ready event here, its
    // navigation event after another replacement.
    launcherFake_->CompleteDocument("http://h/news");
    EXPECT_EQ(GuardStateForTests().hostWindow, launcherBox_);
    EXPECT_TRUE(IsGuarded(launcherFake_->PageWindow()));
    EXPECT_EQ(GuardStateForTests().rearmTimerId, 0u);

    HandOver();
    gameFake_->CompleteDocument(kGameAddress);
    launcherFake_->ReplacePageWindow();
    const HWND secondGamePage = gameFake_->PageWindow();
    ASSERT_TRUE(PumpUntil([&] { return IsGuarded(secondGamePage); }, 500));
    CloseGame();
    ASSERT_FALSE(GuardStateForTests().installed);
    ASSERT_TRUE(launcherFake_->StartNavigation("http://h/other"));
    EXPECT_TRUE(IsGuarded(launcherFake_->PageWindow()));
    EXPECT_TRUE(GuardStateForTests().installed);
    EXPECT_EQ(GuardStateForTests().rearmTimerId, 0u);
}

TEST_F(DesktopIntegrationTest, ReplacedPagesLeaveAtMostOneRearmTimer) {
    ASSERT_TRUE(launcherFake_->StartNavigation("http://h/news"));
    std::set<UINT_PTR> timers;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(IsGuarded(launcherFake_->PageWindow()));
        launcherFake_->ReplacePageWindow();
        launcherFake_->ReplacePageWindow();  // the second page goes before any tick: it was never guarded
        timers.insert(GuardStateForTests().rearmTimerId);
        if (round % 2 == 0) {
            // Found by the timer...
            const HWND page = launcherFake_->PageWindow();
            ASSERT_TRUE(PumpUntil([&] { return IsGuarded(page); }, 500));
        } else {
            // ...or hooked by the next event, which stops the timer.
            launcherFake_->CompleteDocument("http://h/news");
        }
        EXPECT_EQ(GuardStateForTests().rearmTimerId, 0u);
    }

    // Once the page is guarded nothing ticks any more: no timer was left behind.
    const int ticks = GuardStateForTests().rearmTicks;
    g_guardTimerTicks.clear();
    PumpFor(400);
    EXPECT_EQ(GuardStateForTests().rearmTicks, ticks);
    EXPECT_TRUE(g_guardTimerTicks.empty());
    EXPECT_FALSE(timers.contains(0));
}

// ---- The link buttons

TEST_F(DesktopIntegrationTest, EachLinkButtonOpensItsAddressInTheDefaultBrowser) {
    struct Case {
        const char* button;
        std::string address;
    };
    const Case cases[] = {
        {"图形按钮1", desktop::OfficialSiteAddress()},
        {"图形按钮2", desktop::TopUpAddress()},
        {"图形按钮3", desktop::OfficialSiteAddress()},
        {"图形按钮4", desktop::CustomerServiceChatAddress()},
    };
    const std::string location = launcherFake_->LocationUrl();
    const std::vector<std::string> calls = launcherFake_->Calls();

    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        const HWND button = tk::GetHandle(LauncherWindow, c.button);
        ASSERT_NE(button, nullptr);
        for (int click = 1; click <= 2; ++click) {
            g_opened.clear();
            SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(78, 17));
            SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(78, 17));
            PumpFor(20);
            ASSERT_EQ(g_opened.size(), 1u) << "click " << click;
            EXPECT_EQ(g_opened[0].file, tk::Widen(c.address));
            EXPECT_EQ(g_opened[0].verb, L"open");
            EXPECT_EQ(g_opened[0].show, SW_SHOWNORMAL);
        }
        EXPECT_TRUE(IsWindowVisible(launcher_));
        EXPECT_FALSE(IsIconic(launcher_));
        EXPECT_EQ(launcherFake_->LocationUrl(), location);
        EXPECT_EQ(launcherFake_->Calls(), calls);
        EXPECT_FALSE(tk::IsLoaded(GameWindow));
    }
}

// ---- The boss key

TEST_F(DesktopIntegrationTest, TheBossKeyMinimisesTheLauncherAlone) {
    const HWND label = tk::GetHandle(LauncherWindow, kBossKeyLabel);
    Observe(label);
    ASSERT_FALSE(IsIconic(launcher_));

    PressBossKey(launcher_);

    EXPECT_TRUE(IsIconic(launcher_));
    EXPECT_EQ(tk::GetInt(LauncherWindow, nullptr, tk::kPosition), tk::kPositionMinimised);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].hwnd, label);
    EXPECT_EQ(g_seen[0].message, desktop::kHotKeyNotifyMessage);
    EXPECT_EQ(g_seen[0].wParam, kBossKeyId);
    EXPECT_EQ(g_seen[0].lParam, 0);
    // The launcher holds F10 itself.
    EXPECT_TRUE(UnregisterHotKey(launcher_, static_cast<int>(kBossKeyId)));
}

TEST_F(DesktopIntegrationTest, TheBossKeyMinimisesEachGameWindowThenTheLauncherAgain) {
    const HWND launcherLabel = tk::GetHandle(LauncherWindow, kBossKeyLabel);
    Observe(launcherLabel);

    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        HandOver();
        const HWND game = tk::GetHandle(GameWindow);
        const HWND gameLabel = tk::GetHandle(GameWindow, kBossKeyLabel);
        Observe(gameLabel);
        // The game's own F10 is refused (the launcher holds it), but its label takes the notifications.
        EXPECT_EQ(HotKeyService::StateForTests().targetLabel, gameLabel);
        EXPECT_FALSE(UnregisterHotKey(game, static_cast<int>(HotKeyService::StateForTests().lastIdentifier)));
        ASSERT_FALSE(IsIconic(game));

        g_seen.clear();
        PressBossKey(launcher_);

        EXPECT_TRUE(IsIconic(game));
        EXPECT_FALSE(IsWindowVisible(launcher_));
        EXPECT_FALSE(IsIconic(launcher_));
        ASSERT_EQ(g_seen.size(), 1u);
        EXPECT_EQ(g_seen[0].hwnd, gameLabel);
        EXPECT_EQ(g_seen[0].wParam, kBossKeyId);
        EXPECT_EQ(g_seen[0].lParam, 0);
        CloseGame();
        EXPECT_TRUE(IsWindowVisible(launcher_));
    }

    // The game's label has gone with its window: the launcher's label takes the key again.
    g_seen.clear();
    PressBossKey(launcher_);
    EXPECT_TRUE(IsIconic(launcher_));
    EXPECT_EQ(tk::GetInt(LauncherWindow, nullptr, tk::kPosition), tk::kPositionMinimised);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].hwnd, launcherLabel);
    EXPECT_EQ(g_seen[0].wParam, kBossKeyId);
}

class DesktopIntegrationF10TakenTest : public DesktopIntegrationTest {
  protected:
    void SetUp() override {
        loadLauncher_ = false;
        DesktopIntegrationTest::SetUp();
    }
};

BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM windows) {
    if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(windows)->push_back(hwnd);
    return TRUE;
}

TEST_F(DesktopIntegrationF10TakenTest, TheLauncherLoadsWithoutTheKeyAndSaysNothing) {
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = L"DesktopIntegrationKeyHolder";
    RegisterClassW(&wc);
    const HWND holder = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(holder, nullptr);
    ASSERT_TRUE(RegisterHotKey(holder, 7, 0, VK_F10));

    LoadLauncher();

    EXPECT_TRUE(tk::IsLoaded(LauncherWindow));
    EXPECT_TRUE(IsWindowVisible(launcher_));
    const auto state = HotKeyService::StateForTests();
    EXPECT_EQ(state.lastIdentifier, static_cast<int>(kBossKeyId));
    EXPECT_EQ(state.hookedWindow, launcher_);
    EXPECT_EQ(state.targetLabel, tk::GetHandle(LauncherWindow, kBossKeyLabel));
    // Refused: the launcher holds no key under its identifier; the holder still has F10.
    EXPECT_FALSE(UnregisterHotKey(launcher_, static_cast<int>(kBossKeyId)));
    EXPECT_TRUE(UnregisterHotKey(holder, 7));
    // Nothing was reported: the launcher is the only window shown.
    std::vector<HWND> visible;
    EnumThreadWindows(GetCurrentThreadId(), &CollectVisible, reinterpret_cast<LPARAM>(&visible));
    EXPECT_EQ(visible, std::vector<HWND>{launcher_});
    DestroyWindow(holder);
}

}  // namespace
