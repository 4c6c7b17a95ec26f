// The whole story with the real launcher and game layouts over the fake web engine: the launcher hands a game
// address over to the game window, the game window follows its size, and the launcher comes back when the
// game window closes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/application.h"
#include "desktop/desktop_shortcut.h"
#include "desktop/portable/addresses.h"
#include "fake_web_engine.h"
#include "game/game_window.h"
#include "launcher/launcher_window.h"
#include "toolkit/toolkit.h"
#include "toolkit/web_engine.h"
#include "message_pump.h"

namespace {

using game::GameWindow;
using launcher::LauncherWindow;

constexpr const char* kLauncherBrowser = "超文本浏览框1";
constexpr const char* kGameBrowser = "超文本浏览框2";

using testsupport::PumpUntil;

void Pump() {
    PumpUntil([] { return false; }, 50);
}

// Every WM_SIZE sent on this thread, with whether the receiver's top-level window was visible then.
struct SizeRecord {
    HWND hwnd;
    int width, height;
    bool topVisible;
};
std::vector<SizeRecord> g_sizes;

LRESULT CALLBACK RecordSizes(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HC_ACTION) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
        if (message->message == WM_SIZE) {
            const HWND top = GetAncestor(message->hwnd, GA_ROOT);
            g_sizes.push_back({message->hwnd, LOWORD(message->lParam), HIWORD(message->lParam),
                               (GetWindowLongW(top, GWL_STYLE) & WS_VISIBLE) != 0});
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The sizes one window went through, each change once.
std::vector<SizeRecord> SizesOf(HWND hwnd) {
    std::vector<SizeRecord> result;
    for (const SizeRecord& r : g_sizes) {
        if (r.hwnd != hwnd) continue;
        if (!result.empty() && result.back().width == r.width && result.back().height == r.height &&
            result.back().topVisible == r.topVisible)
            continue;
        result.push_back(r);
    }
    return result;
}

std::string Describe(const std::vector<SizeRecord>& sizes) {
    std::string text;
    for (const SizeRecord& r : sizes)
        text += std::to_string(r.width) + "x" + std::to_string(r.height) +
                (r.topVisible ? " shown; " : " hidden; ");
    return text;
}

// The navigations among a fake's calls.
std::vector<std::string> Navigations(const std::vector<std::string>& calls) {
    std::vector<std::string> result;
    for (const std::string& call : calls)
        if (call.starts_with("Navigate(")) result.push_back(call);
    return result;
}

RECT WindowRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

void FatalToStderr(const std::string& message) {
    std::fprintf(stderr, "fatal end: %s\n", message.c_str());
}

const tk::WindowLayout* const kLayouts[] = {&LauncherWindow, &GameWindow};

class HandOverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tk::SetFatalHandlers(&FatalToStderr, nullptr);
        tk::SetWebEngineFactory(&FakeWebEngine::Create);
        tk::InitToolkit(kLayouts);
        link_ = desktop::DesktopDirectory() + desktop::kDesktopShortcutName;
        linkExisted_ = desktop::FileExists(link_);
        hook_ = SetWindowsHookExW(WH_CALLWNDPROC, &RecordSizes, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook_, nullptr);
        tk::LoadStartupWindow(LauncherWindow);
        launcher_ = tk::GetHandle(LauncherWindow);
        launcherFake_ = FakeWebEngine::ForHost(tk::GetHandle(LauncherWindow, kLauncherBrowser));
        ASSERT_NE(launcherFake_, nullptr);
        loginPage_ = desktop::LoginPageAddress();
        ASSERT_EQ(launcherFake_->LocationUrl(), loginPage_);
    }

    void TearDown() override {
        if (hook_) UnhookWindowsHookEx(hook_);
        if (tk::IsLoaded(GameWindow)) tk::RequestDestroy(GameWindow, true);
        if (tk::IsLoaded(LauncherWindow)) tk::RequestDestroy(LauncherWindow, true);
        Pump();
        if (!linkExisted_) DeleteFileW(link_.c_str());
    }

    // The launcher's browser is asked to open `address`; true when the launcher went ahead with it.
    bool Navigate(const std::string& address) { return launcherFake_->StartNavigation(address); }

    FakeWebEngine* GameFake() {
        return tk::IsLoaded(GameWindow) ? FakeWebEngine::ForHost(tk::GetHandle(GameWindow, kGameBrowser))
                                        : nullptr;
    }

    // Closes the game window as its close box would.
    void CloseGame() {
        ASSERT_TRUE(tk::IsLoaded(GameWindow));
        SendMessageW(tk::GetHandle(GameWindow), WM_CLOSE, 0, 0);
        Pump();
        ASSERT_FALSE(tk::IsLoaded(GameWindow));
    }

    static void Click(HWND button) {
        SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    }

    HHOOK hook_ = nullptr;
    HWND launcher_ = nullptr;
    FakeWebEngine* launcherFake_ = nullptr;
    std::string loginPage_;
    std::wstring link_;
    bool linkExisted_ = true;
};

TEST_F(HandOverTest, OnlyTheExactMarkerHandsOver) {
    struct Case {
        const char* address;
        bool handsOver;
    };
    const Case cases[] = {
        {"game=mezo&server=7", true},       {"http://h/play?x=1&game=mezo&y=2", true},
        {"http://h/play?Game=mezo", false}, {"http://h/play?GAME=MEZO", false},
        {"http://h/news?game=mez", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        app::SavedGameAddress.clear();
        const std::string before = launcherFake_->LocationUrl();
        const bool wentAhead = Navigate(c.address);
        EXPECT_EQ(wentAhead, !c.handsOver);
        EXPECT_EQ(tk::IsLoaded(GameWindow), c.handsOver);
        EXPECT_EQ(IsWindowVisible(launcher_) != FALSE, !c.handsOver);
        if (c.handsOver) {
            EXPECT_EQ(app::SavedGameAddress, c.address);
            EXPECT_EQ(launcherFake_->LocationUrl(), before);
            CloseGame();
            EXPECT_TRUE(IsWindowVisible(launcher_));
        } else {
            EXPECT_EQ(app::SavedGameAddress, "");
            EXPECT_EQ(launcherFake_->LocationUrl(), c.address);
        }
    }
}

TEST_F(HandOverTest, TheGameWindowOpensMaximisedOnTheSavedAddressAndTheLauncherHides) {
    const std::string address = "http://h/play?game=mezo&s=1";
    const auto launcherNavigations = Navigations(launcherFake_->Calls());
    g_sizes.clear();

    EXPECT_FALSE(Navigate(address));

    EXPECT_EQ(app::SavedGameAddress, address);
    ASSERT_TRUE(tk::IsLoaded(GameWindow));
    const HWND game = tk::GetHandle(GameWindow);
    EXPECT_TRUE(IsWindowVisible(game));
    EXPECT_TRUE(IsZoomed(game));
    EXPECT_FALSE(IsWindowVisible(launcher_));
    EXPECT_EQ(launcherFake_->LocationUrl(), loginPage_);
    EXPECT_EQ(Navigations(launcherFake_->Calls()), launcherNavigations);

    FakeWebEngine* fake = GameFake();
    ASSERT_NE(fake, nullptr);
    EXPECT_EQ(Navigations(fake->Calls()), std::vector<std::string>{"Navigate(" + address + ")"});
    EXPECT_EQ(fake->LocationUrl(), address);

    // Sized at creation (less 45), then on the size event of the load (less 40) while still hidden, then to
    // the maximised size once shown.
    const RECT maximised = WindowRect(game);
    const int maxWidth = maximised.right - maximised.left, maxHeight = maximised.bottom - maximised.top;
    const HWND box = tk::GetHandle(GameWindow, kGameBrowser);
    const auto sizes = SizesOf(box);
    SCOPED_TRACE(Describe(sizes));
    auto at = [&](int w, int h) {
        return std::find_if(sizes.begin(), sizes.end(),
                            [&](const SizeRecord& r) { return r.width == w && r.height == h; });
    };
    const auto creation = at(985, 755), loaded = at(985, 760);
    ASSERT_NE(creation, sizes.end());
    ASSERT_NE(loaded, sizes.end());
    EXPECT_LT(creation - sizes.begin(), loaded - sizes.begin());
    EXPECT_FALSE(creation->topVisible);
    EXPECT_FALSE(loaded->topVisible);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().width, maxWidth - 15);
    EXPECT_EQ(sizes.back().height, maxHeight - 40);
    EXPECT_TRUE(sizes.back().topVisible);
    EXPECT_EQ(tk::GetInt(GameWindow, kGameBrowser, tk::kWidth), maxWidth - 15);
    EXPECT_EQ(tk::GetInt(GameWindow, kGameBrowser, tk::kHeight), maxHeight - 40);
}

TEST_F(HandOverTest, RestoredAndMinimisedTheBrowserFollowsTheWindow) {
    ASSERT_FALSE(Navigate("http://h/play?game=mezo"));
    ASSERT_TRUE(tk::IsLoaded(GameWindow));
    const HWND game = tk::GetHandle(GameWindow);

    ShowWindow(game, SW_RESTORE);
    EXPECT_FALSE(IsZoomed(game));
    const RECT normal = WindowRect(game);
    EXPECT_EQ(normal.left, 50);
    EXPECT_EQ(normal.top, 50);
    EXPECT_EQ(normal.right - normal.left, 1000);
    EXPECT_EQ(normal.bottom - normal.top, 800);
    EXPECT_EQ(tk::GetInt(GameWindow, kGameBrowser, tk::kWidth), 985);
    EXPECT_EQ(tk::GetInt(GameWindow, kGameBrowser, tk::kHeight), 760);

    ShowWindow(game, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(game));
    const RECT iconic = WindowRect(game);
    const int width = iconic.right - iconic.left, height = iconic.bottom - iconic.top;
    SCOPED_TRACE("minimised to " + std::to_string(width) + "x" + std::to_string(height));
    EXPECT_EQ(tk::GetInt(GameWindow, kGameBrowser, tk::kWidth), std::max(0, width - 15));
    EXPECT_EQ(tk::GetInt(GameWindow, kGameBrowser, tk::kHeight), std::max(0, height - 40));
    EXPECT_GE(tk::GetInt(GameWindow, kGameBrowser, tk::kHeight), 0);
}

TEST_F(HandOverTest, ClosingTheGameBringsTheLauncherBackAndLaterHandOversReplaceTheAddress) {
    ASSERT_FALSE(Navigate("http://h/play?game=mezo&round=1"));
    CloseGame();
    EXPECT_TRUE(IsWindowVisible(launcher_));
    EXPECT_FALSE(IsIconic(launcher_));
    EXPECT_EQ(launcherFake_->LocationUrl(), loginPage_);
    EXPECT_EQ(app::SavedGameAddress, "http://h/play?game=mezo&round=1");

    // A second hand-over loads a new game window on the new address.
    ASSERT_FALSE(Navigate("http://h/play?game=mezo&round=2"));
    EXPECT_EQ(app::SavedGameAddress, "http://h/play?game=mezo&round=2");
    ASSERT_TRUE(tk::IsLoaded(GameWindow));
    const HWND game = tk::GetHandle(GameWindow);
    FakeWebEngine* fake = GameFake();
    ASSERT_NE(fake, nullptr);
    EXPECT_EQ(fake->LocationUrl(), "http://h/play?game=mezo&round=2");
    EXPECT_FALSE(IsWindowVisible(launcher_));

    // A hand-over while that window is minimised brings it back without loading it again.
    ShowWindow(game, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(game));
    const std::vector<std::string> callsBefore = fake->Calls();
    g_sizes.clear();
    EXPECT_FALSE(Navigate("http://h/play?game=mezo&round=3"));
    EXPECT_EQ(app::SavedGameAddress, "http://h/play?game=mezo&round=3");
    ASSERT_TRUE(tk::IsLoaded(GameWindow));
    EXPECT_EQ(tk::GetHandle(GameWindow), game);
    EXPECT_EQ(GameFake(), fake);
    EXPECT_FALSE(IsIconic(game));
    EXPECT_TRUE(IsWindowVisible(game));
    EXPECT_EQ(Navigations(fake->Calls()), Navigations(callsBefore));
    EXPECT_EQ(fake->LocationUrl(), "http://h/play?game=mezo&round=2");
    // No created event: the browser was never set to the creation height (window height less 45).
    const RECT now = WindowRect(game);
    for (const SizeRecord& r : SizesOf(tk::GetHandle(GameWindow, kGameBrowser)))
        EXPECT_NE(r.height, now.bottom - now.top - 45);
    EXPECT_EQ(tk::GetInt(GameWindow, kGameBrowser, tk::kHeight), now.bottom - now.top - 40);
    EXPECT_FALSE(IsWindowVisible(launcher_));
}

TEST_F(HandOverTest, TheMinimiseButtonMinimisesAndTheFirstReturnAfterAHandOverFollowsIt) {
    Click(tk::GetHandle(LauncherWindow, "最小化按钮"));
    EXPECT_TRUE(IsIconic(launcher_));
    EXPECT_EQ(tk::GetInt(LauncherWindow, nullptr, tk::kPosition), tk::kPositionMinimised);

    // Restored from outside (as from the taskbar): the stored position stays minimised.
    ShowWindow(launcher_, SW_RESTORE);
    ASSERT_FALSE(IsIconic(launcher_));
    EXPECT_EQ(tk::GetInt(LauncherWindow, nullptr, tk::kPosition), tk::kPositionMinimised);

    // The first show after the load follows the stored position...
    ASSERT_FALSE(Navigate("http://h/play?game=mezo&round=1"));
    CloseGame();
    EXPECT_TRUE(IsWindowVisible(launcher_));
    EXPECT_TRUE(IsIconic(launcher_));

    // ...later ones only show the window as it was.
    ShowWindow(launcher_, SW_RESTORE);
    ASSERT_FALSE(IsIconic(launcher_));
    ASSERT_FALSE(Navigate("http://h/play?game=mezo&round=2"));
    CloseGame();
    EXPECT_TRUE(IsWindowVisible(launcher_));
    EXPECT_FALSE(IsIconic(launcher_));
}

TEST_F(HandOverTest, ALauncherWithItsPositionNeverWrittenComesBackWhereItWas) {
    SetWindowPos(launcher_, nullptr, 100, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT before = WindowRect(launcher_);
    ASSERT_EQ(before.left, 100);
    ASSERT_EQ(before.top, 70);

    ASSERT_FALSE(Navigate("http://h/play?game=mezo"));
    CloseGame();

    EXPECT_TRUE(IsWindowVisible(launcher_));
    EXPECT_FALSE(IsIconic(launcher_));
    const RECT after = WindowRect(launcher_);
    EXPECT_EQ(after.left, 100);
    EXPECT_EQ(after.top, 70);
    EXPECT_EQ(after.right - after.left, 1103);
    EXPECT_EQ(after.bottom - after.top, 756);
}

// Bounds tk::RunMessageLoop: the quit message comes by itself after this long at the latest, with its own
// code.
constexpr int kLoopTimedOut = 99;
void CALLBACK EndStuckLoop(HWND, UINT, UINT_PTR, DWORD) noexcept {
    PostQuitMessage(kLoopTimedOut);
}

TEST_F(HandOverTest, TheCloseButtonEndsTheProgramAndTheExitRoutineForgetsTheAddress) {
    ASSERT_FALSE(Navigate("http://h/play?game=mezo"));
    CloseGame();
    ASSERT_EQ(app::SavedGameAddress, "http://h/play?game=mezo");

    Click(tk::GetHandle(LauncherWindow, "关闭按钮"));
    // The handler has returned and the window still exists: it goes from the message loop.
    EXPECT_TRUE(IsWindow(launcher_));
    EXPECT_TRUE(tk::IsLoaded(LauncherWindow));

    const UINT_PTR timer = SetTimer(nullptr, 0, 10000, &EndStuckLoop);
    EXPECT_EQ(tk::RunMessageLoop(), 0);
    KillTimer(nullptr, timer);
    EXPECT_FALSE(IsWindow(launcher_));
    EXPECT_FALSE(tk::IsLoaded(LauncherWindow));

    tk::SetExitRoutine(&app::OnProgramExit);
    tk::EndProgram(0);
    EXPECT_EQ(app::SavedGameAddress, "");
    // The routine runs once: a second end leaves a new address alone.
    app::SavedGameAddress = "kept";
    tk::EndProgram(0);
    EXPECT_EQ(app::SavedGameAddress, "kept");
}

TEST_F(HandOverTest, TheLauncherIsCutToItsArtwork) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(region, nullptr);
    const int kind = GetWindowRgn(launcher_, region);
    ASSERT_TRUE(kind == SIMPLEREGION || kind == COMPLEXREGION) << kind;

    int inside = 0;
    for (int y = 0; y < 756; ++y) {
        for (int x = 0; x < 1103; ++x) {
            const bool margin = y <= 2 || y >= 742 || x <= 4 || x >= 1098;
            if (margin && PtInRegion(region, x, y)) ++inside;
        }
    }
    EXPECT_EQ(inside, 0) << "points of the white margin lie inside the window";
    EXPECT_TRUE(PtInRegion(region, 551, 378));  // the browser panel
    EXPECT_TRUE(PtInRegion(region, 200, 20));   // an ornament above the frame
    DeleteObject(region);
}

}  // namespace
