#include "browser/context_menu_guard.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "toolkit/handle.h"
#include "message_pump.h"

namespace {

using browser::GuardStateForTests;
using browser::InstallContextMenuGuard;

// Messages that reached the page's own procedure.
std::vector<UINT> g_pageMessages;

LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP || message == WM_CONTEXTMENU ||
        message >= WM_APP)
        g_pageMessages.push_back(message);
    if (message == WM_RBUTTONDOWN) return 77;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND MakeWindow(const wchar_t* windowClass, HWND parent) {
    const DWORD style = parent ? WS_CHILD | WS_VISIBLE : WS_OVERLAPPEDWINDOW;
    return CreateWindowExW(0, windowClass, L"", style, 0, 0, 300, 200, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// A browser box as the engine builds it: host > embedding > view > page.
struct Box {
    explicit Box(int levels = 3) {
        host.reset(MakeWindow(L"GuardTestPlain", nullptr));
        HWND parent = host.get();
        for (int level = 1; level <= levels; ++level) {
            parent = MakeWindow(level == 3 ? L"GuardTestPage" : L"GuardTestPlain", parent);
            (level == 2 ? view : level == 3 ? page : embedding) = parent;
        }
    }
    void AddPage() { page = MakeWindow(L"GuardTestPage", view); }
    // The engine throws its page window away and makes a new one.
    void ReplacePage() {
        DestroyWindow(page);
        AddPage();
    }

    tk::unique_hwnd host;
    HWND embedding = nullptr, view = nullptr, page = nullptr;
};

bool IsGuarded(HWND page) {
    return GetWindowLongPtrW(page, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&browser::GuardWindowProc);
}

using testsupport::PumpFor;
using testsupport::PumpUntil;

class ContextMenuGuardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The guard is one per program, so every test needs a process of its own.
        ASSERT_EQ(GuardStateForTests().hostWindow, nullptr) << "run one test per process";
        WNDCLASSW wc{};
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpfnWndProc = &DefWindowProcW;
        wc.lpszClassName = L"GuardTestPlain";
        RegisterClassW(&wc);
        wc.lpfnWndProc = &PageProc;
        wc.lpszClassName = L"GuardTestPage";
        RegisterClassW(&wc);
        g_pageMessages.clear();
    }
};

TEST_F(ContextMenuGuardTest, SwallowsRightButtonUpAndContextMenuOnly) {
    Box box;
    EXPECT_EQ(browser::FindPageWindow(box.host.get()), box.page);
    ASSERT_TRUE(InstallContextMenuGuard(box.host.get()));
    const auto state = GuardStateForTests();
    EXPECT_EQ(state.hostWindow, box.host.get());
    EXPECT_TRUE(state.installed);
    EXPECT_EQ(state.previousWindowProc, &PageProc);
    EXPECT_TRUE(IsGuarded(box.page));

    EXPECT_EQ(SendMessageW(box.page, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5)), 77);
    EXPECT_EQ(SendMessageW(box.page, WM_RBUTTONUP, 0, MAKELPARAM(5, 5)), 1);
    EXPECT_EQ(SendMessageW(box.page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box.page), MAKELPARAM(5, 5)),
              1);
    SendMessageW(box.page, WM_APP, 0, 0);
    EXPECT_EQ(g_pageMessages, (std::vector<UINT>{WM_RBUTTONDOWN, WM_APP}));
}

TEST_F(ContextMenuGuardTest, ASecondBoxWhileOneIsGuardedOnlyBecomesTheHost) {
    Box launcher, game;
    ASSERT_TRUE(InstallContextMenuGuard(launcher.host.get()));
    EXPECT_FALSE(InstallContextMenuGuard(game.host.get()));
    const auto state = GuardStateForTests();
    EXPECT_EQ(state.hostWindow, game.host.get());
    EXPECT_TRUE(state.installed);
    EXPECT_EQ(state.previousWindowProc, &PageProc);
    EXPECT_TRUE(IsGuarded(launcher.page));
    EXPECT_FALSE(IsGuarded(game.page));
    EXPECT_EQ(state.rearmTimerId, 0u);
}

TEST_F(ContextMenuGuardTest, AHostWithoutThreeLevelsIsHookedOnceThePageAppears) {
    for (int levels : {0, 1, 2}) {
        Box box(levels);
        EXPECT_EQ(browser::FindPageWindow(box.host.get()), nullptr) << levels;
        EXPECT_FALSE(InstallContextMenuGuard(box.host.get())) << levels;
        EXPECT_FALSE(GuardStateForTests().installed) << levels;
        EXPECT_EQ(GuardStateForTests().hostWindow, box.host.get()) << levels;
    }
    Box box(2);
    EXPECT_FALSE(InstallContextMenuGuard(box.host.get()));
    box.AddPage();
    EXPECT_TRUE(InstallContextMenuGuard(box.host.get()));
    EXPECT_TRUE(IsGuarded(box.page));
}

TEST_F(ContextMenuGuardTest, ANewPageAfterTheGuardedOneIsDestroyedIsHookedByTheTimer) {
    Box box;
    ASSERT_TRUE(InstallContextMenuGuard(box.host.get()));
    box.ReplacePage();
    auto state = GuardStateForTests();
    EXPECT_FALSE(state.installed);
    EXPECT_NE(state.rearmTimerId, 0u);
    EXPECT_FALSE(IsGuarded(box.page));

    ASSERT_TRUE(PumpUntil([] { return GuardStateForTests().installed; }, 1000));
    state = GuardStateForTests();
    EXPECT_TRUE(IsGuarded(box.page));
    EXPECT_EQ(state.rearmTimerId, 0u);
    EXPECT_EQ(SendMessageW(box.page, WM_RBUTTONUP, 0, 0), 1);
    EXPECT_EQ(SendMessageW(box.page, WM_RBUTTONDOWN, 0, 0), 77);

    // The timer has stopped: no more ticks come.
    const int ticks = GuardStateForTests().rearmTicks;
    PumpFor(400);
    EXPECT_EQ(GuardStateForTests().rearmTicks, ticks);
}

TEST_F(ContextMenuGuardTest, TheGamePageTakesOverWhenTheLauncherPageGoes) {
    Box launcher, game;
    ASSERT_TRUE(InstallContextMenuGuard(launcher.host.get()));
    ASSERT_FALSE(InstallContextMenuGuard(game.host.get()));
    launcher.host.reset();

    ASSERT_TRUE(PumpUntil([] { return GuardStateForTests().installed; }, 1000));
    EXPECT_TRUE(IsGuarded(game.page));
    EXPECT_EQ(GuardStateForTests().rearmTimerId, 0u);
    EXPECT_EQ(SendMessageW(game.page, WM_CONTEXTMENU, 0, 0), 1);
    EXPECT_EQ(g_pageMessages, std::vector<UINT>{});
}

TEST_F(ContextMenuGuardTest, RepeatedReplacementsLeaveNoTimerBehind) {
    Box box;
    ASSERT_TRUE(InstallContextMenuGuard(box.host.get()));
    for (int round = 0; round < 10; ++round) {
        box.ReplacePage();
        ASSERT_TRUE(InstallContextMenuGuard(box.host.get())) << round;
        EXPECT_EQ(GuardStateForTests().rearmTimerId, 0u) << round;
    }
    PumpFor(400);
    EXPECT_EQ(GuardStateForTests().rearmTicks, 0);

    // One more replacement left to the timer: one tick hooks the page, then the ticks stop.
    box.ReplacePage();
    ASSERT_TRUE(PumpUntil([] { return GuardStateForTests().installed; }, 1000));
    PumpFor(400);
    EXPECT_EQ(GuardStateForTests().rearmTicks, 1);
    EXPECT_TRUE(IsGuarded(box.page));
}

TEST_F(ContextMenuGuardTest, AStrayDestroyMessageStartsOneTimerAndNeverChainsTheGuardToItself) {
    Box box;
    ASSERT_TRUE(InstallContextMenuGuard(box.host.get()));
    // WM_DESTROY twice to a page that lives on: the second search replaces the first.
    SendMessageW(box.page, WM_DESTROY, 0, 0);
    const UINT_PTR first = GuardStateForTests().rearmTimerId;
    SendMessageW(box.page, WM_DESTROY, 0, 0);
    EXPECT_NE(GuardStateForTests().rearmTimerId, 0u);
    EXPECT_NE(first, 0u);

    ASSERT_TRUE(PumpUntil([] { return GuardStateForTests().installed; }, 1000));
    PumpFor(400);
    EXPECT_EQ(GuardStateForTests().rearmTicks, 1);
    EXPECT_EQ(GuardStateForTests().previousWindowProc, &PageProc);
    EXPECT_EQ(SendMessageW(box.page, WM_RBUTTONDOWN, 0, 0), 77);
    EXPECT_EQ(SendMessageW(box.page, WM_RBUTTONUP, 0, 0), 1);
}

}  // namespace
