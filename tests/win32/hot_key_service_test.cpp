#include "desktop/hot_key_service.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "toolkit/handle.h"
#include "message_pump.h"

namespace {

using desktop::HotKeyService;
using desktop::kHotKeyNotifyMessage;

struct Notification {
    HWND label;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Notification> g_notifications;
// What the owner's own procedure saw, in order.
std::vector<std::pair<UINT, WPARAM>> g_ownerMessages;
constexpr UINT kEchoMessage = WM_APP + 7;

LRESULT CALLBACK LabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == kHotKeyNotifyMessage) {
        g_notifications.push_back({hwnd, wParam, lParam});
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_HOTKEY || message == kEchoMessage) g_ownerMessages.emplace_back(message, wParam);
    if (message == kEchoMessage) return static_cast<LRESULT>(wParam * 3);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterClasses() {
    WNDCLASSW wc{};
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpfnWndProc = &OwnerProc;
    wc.lpszClassName = L"HotKeyTestOwner";
    RegisterClassW(&wc);
    wc.lpfnWndProc = &LabelProc;
    wc.lpszClassName = L"HotKeyTestLabel";
    RegisterClassW(&wc);
}

tk::unique_hwnd MakeOwner() {
    return tk::unique_hwnd(CreateWindowExW(0, L"HotKeyTestOwner", L"hot key owner", WS_OVERLAPPEDWINDOW, 0, 0,
                                           200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
}

// Labels are hidden children of their window, as in the launcher and the game window.
tk::unique_hwnd MakeLabel(HWND parent) {
    return tk::unique_hwnd(CreateWindowExW(0, L"HotKeyTestLabel", L"", WS_CHILD, 0, 0, 10, 10, parent,
                                           nullptr, GetModuleHandleW(nullptr), nullptr));
}

BOOL CALLBACK CountVisible(HWND hwnd, LPARAM count) {
    if (IsWindowVisible(hwnd)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

class HotKeyServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The service keeps its state for the life of the process, so every test needs a process of its own.
        ASSERT_EQ(HotKeyService::StateForTests().lastIdentifier, 0) << "run one test per process";
        RegisterClasses();
        g_notifications.clear();
        g_ownerMessages.clear();
    }
};

TEST_F(HotKeyServiceTest, IdentifiersCountUpAndARefusedKeyStillMovesTheTarget) {
    auto launcher = MakeOwner();
    auto launcherLabel = MakeLabel(launcher.get());
    auto game = MakeOwner();
    auto gameLabel = MakeLabel(game.get());

    EXPECT_EQ(HotKeyService::Register(launcher.get(), launcherLabel.get(), 0, VK_F10), 33001);
    // F10 already belongs to the launcher window: refused, but the game's label becomes the target.
    EXPECT_EQ(HotKeyService::Register(game.get(), gameLabel.get(), 0, VK_F10), 0);
    EXPECT_EQ(HotKeyService::Register(game.get(), gameLabel.get(), 1, VK_F11), 33003);

    const auto state = HotKeyService::StateForTests();
    EXPECT_EQ(state.targetLabel, gameLabel.get());
    EXPECT_EQ(state.hookedWindow, launcher.get());
    EXPECT_EQ(state.lastIdentifier, 33003);

    SendMessageW(launcher.get(), WM_HOTKEY, 33001, MAKELPARAM(0, VK_F10));
    ASSERT_EQ(g_notifications.size(), 1u);
    EXPECT_EQ(g_notifications[0].label, gameLabel.get());
    EXPECT_EQ(g_notifications[0].wParam, 33001u);
    EXPECT_EQ(g_notifications[0].lParam, 0);
}

TEST_F(HotKeyServiceTest, ForwardsOnlyIdentifiersItHandedOut) {
    auto owner = MakeOwner();
    auto label = MakeLabel(owner.get());
    ASSERT_EQ(HotKeyService::Register(owner.get(), label.get(), 0, VK_F10), 33001);
    ASSERT_EQ(HotKeyService::Register(owner.get(), label.get(), 3, VK_F10), 33002);

    struct Case {
        WPARAM id;
        bool forwarded;
    };
    for (auto c : {Case{33001, true}, Case{33002, true}, Case{33000, false}, Case{33003, false},
                   Case{1, false}, Case{static_cast<WPARAM>(IDHOT_SNAPDESKTOP), false}}) {
        g_notifications.clear();
        SendMessageW(owner.get(), WM_HOTKEY, c.id, 0);
        ASSERT_EQ(g_notifications.size(), c.forwarded ? 1u : 0u) << c.id;
        if (c.forwarded) {
            EXPECT_EQ(g_notifications[0].wParam, c.id);
        }
    }

    // A posted WM_HOTKEY, as the system delivers the key, takes the same way.
    g_notifications.clear();
    PostMessageW(owner.get(), WM_HOTKEY, 33002, 0);
    testsupport::DispatchPending();
    ASSERT_EQ(g_notifications.size(), 1u);
    EXPECT_EQ(g_notifications[0].label, label.get());
    EXPECT_EQ(g_notifications[0].wParam, 33002u);
}

TEST_F(HotKeyServiceTest, AfterTheTargetLabelIsDestroyedTheFirstLabelIsNotified) {
    auto launcher = MakeOwner();
    auto launcherLabel = MakeLabel(launcher.get());
    auto game = MakeOwner();
    auto gameLabel = MakeLabel(game.get());
    ASSERT_EQ(HotKeyService::Register(launcher.get(), launcherLabel.get(), 0, VK_F10), 33001);
    HotKeyService::Register(game.get(), gameLabel.get(), 0, VK_F10);

    const HWND goneLabel = gameLabel.get();
    game.reset();  // the game window closes, its label with it
    ASSERT_FALSE(IsWindow(goneLabel));

    SendMessageW(launcher.get(), WM_HOTKEY, 33001, 0);
    ASSERT_EQ(g_notifications.size(), 1u);
    EXPECT_EQ(g_notifications[0].label, launcherLabel.get());
    EXPECT_EQ(g_notifications[0].wParam, 33001u);

    // With no label left at all the key is simply passed on.
    launcherLabel.reset();
    g_notifications.clear();
    SendMessageW(launcher.get(), WM_HOTKEY, 33001, 0);
    EXPECT_TRUE(g_notifications.empty());
    EXPECT_EQ(g_ownerMessages.size(), 2u);
}

TEST_F(HotKeyServiceTest, ThePreviousProcedureSeesEveryMessageAndItsResultIsReturned) {
    auto owner = MakeOwner();
    auto label = MakeLabel(owner.get());
    ASSERT_EQ(HotKeyService::Register(owner.get(), label.get(), 0, VK_F10), 33001);
    // A second owner is not hooked: its messages never pass through the service.
    auto other = MakeOwner();
    HotKeyService::Register(other.get(), label.get(), 0, VK_F12);
    EXPECT_EQ(HotKeyService::StateForTests().hookedWindow, owner.get());
    EXPECT_EQ(GetWindowLongPtrW(other.get(), GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&OwnerProc));

    SendMessageW(owner.get(), WM_HOTKEY, 33001, 0);
    SendMessageW(owner.get(), WM_HOTKEY, 40000, 0);
    EXPECT_EQ(SendMessageW(owner.get(), kEchoMessage, 14, 0), 42);

    const std::vector<std::pair<UINT, WPARAM>> expected{
        {WM_HOTKEY, 33001}, {WM_HOTKEY, 40000}, {kEchoMessage, 14}};
    EXPECT_EQ(g_ownerMessages, expected);
    EXPECT_EQ(g_notifications.size(), 1u);
}

TEST_F(HotKeyServiceTest, AKeyTakenElsewhereIsRefusedWithoutAWord) {
    auto holder = MakeOwner();
    ASSERT_TRUE(RegisterHotKey(holder.get(), 1, 0, VK_F10));
    auto owner = MakeOwner();
    auto label = MakeLabel(owner.get());

    EXPECT_EQ(HotKeyService::Register(owner.get(), label.get(), 0, VK_F10), 0);
    const auto state = HotKeyService::StateForTests();
    EXPECT_EQ(state.lastIdentifier, 33001);
    EXPECT_EQ(state.targetLabel, label.get());
    EXPECT_EQ(state.hookedWindow, owner.get());

    // Nothing was shown: no window of this thread besides the test's own is visible.
    int visible = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountVisible, reinterpret_cast<LPARAM>(&visible));
    EXPECT_EQ(visible, 0);
    UnregisterHotKey(holder.get(), 1);
}

TEST(HotKeyModifiers, CodesMapToSystemFlags) {
    struct Case {
        int code;
        UINT flags;
    };
    for (auto c : {Case{0, 0}, Case{1, MOD_CONTROL}, Case{2, MOD_SHIFT}, Case{4, MOD_ALT},
                   Case{3, MOD_CONTROL | MOD_SHIFT}, Case{5, MOD_CONTROL | MOD_ALT},
                   Case{6, MOD_SHIFT | MOD_ALT}, Case{7, 7}, Case{8, MOD_WIN}}) {
        EXPECT_EQ(HotKeyService::TranslateModifierCode(c.code), c.flags) << c.code;
    }
}

}  // namespace
