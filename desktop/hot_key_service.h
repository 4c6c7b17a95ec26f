// The boss key: a system-wide hot key (F10) that tells a label window to hide the launcher or the game.
// The first window that registers a key is subclassed so that WM_HOTKEY reaches this service; each
// notification is forwarded to the most recently registered label as kHotKeyNotifyMessage.
// The state is application-wide and lives as long as the program; identifiers are never reused.
#pragma once

#include <windows.h>

namespace desktop {

// Sent to the target label: wParam = hot-key identifier, lParam = 0.
inline constexpr UINT kHotKeyNotifyMessage = 0x8075;
inline constexpr int kBossKeyVirtualKey = VK_F10;
inline constexpr int kBossKeyModifierCode = 0;
// Identifiers handed out are kHotKeyIdBase + 1, kHotKeyIdBase + 2, ...
inline constexpr int kHotKeyIdBase = 33000;

class HotKeyService {
  public:
    // Makes `targetLabel` the receiver of notifications (even when the key is refused), hooks `owner`
    // if no window is hooked yet, and registers the key on `owner`. Modifier codes: 1 Ctrl, 2 Shift,
    // 4 Alt and their sums; any other code is passed to the system unchanged. Returns the identifier,
    // or 0 when the system refuses the key (nothing is reported).
    static int Register(HWND owner, HWND targetLabel, int modifierCode, int virtualKey) noexcept;

    // The MOD_* flags for a modifier code.
    static UINT TranslateModifierCode(int modifierCode) noexcept;

    struct State {
        HWND targetLabel;
        HWND firstTargetLabel;
        HWND hookedWindow;
        WNDPROC previousWindowProc;
        int lastIdentifier;
    };
    static State StateForTests() noexcept;

  private:
    static LRESULT CALLBACK HookedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
};

}  // namespace desktop
