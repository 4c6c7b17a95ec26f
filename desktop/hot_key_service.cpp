#include "desktop/hot_key_service.h"

namespace desktop {
namespace {

// Application-wide; set up by the first registration and never reset while the program runs.
HWND g_targetLabel = nullptr;
// The launcher's label: when the game's label is gone, F10 still has to reach the launcher.
HWND g_firstTargetLabel = nullptr;
HWND g_hookedWindow = nullptr;
WNDPROC g_previousWindowProc = nullptr;
int g_registerCalls = 0;
int g_lastIdentifier = 0;

}  // namespace

UINT HotKeyService::TranslateModifierCode(int modifierCode) noexcept {
    switch (modifierCode) {
        case 0:
            return 0;
        case 1:
            return MOD_CONTROL;
        case 2:
            return MOD_SHIFT;
        case 4:
            return MOD_ALT;
        case 3:
            return MOD_CONTROL | MOD_SHIFT;
        case 5:
            return MOD_CONTROL | MOD_ALT;
        case 6:
            return MOD_SHIFT | MOD_ALT;
        default:
            return static_cast<UINT>(modifierCode);
    }
}

int HotKeyService::Register(HWND owner, HWND targetLabel, int modifierCode, int virtualKey) noexcept {
    g_targetLabel = targetLabel;
    if (g_registerCalls == 0) g_firstTargetLabel = targetLabel;
    const UINT modifiers = TranslateModifierCode(modifierCode);

    // Only the first owner is hooked; later owners register their keys on themselves, and the
    // messages of those keys never reach this service.
    if (!g_hookedWindow) {
        g_hookedWindow = owner;
        g_previousWindowProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookedWindowProc)));
    }

    ++g_registerCalls;
    g_lastIdentifier = kHotKeyIdBase + g_registerCalls;
    const int id = g_lastIdentifier;
    return RegisterHotKey(owner, id, modifiers, static_cast<UINT>(virtualKey)) ? id : 0;
}

HotKeyService::State HotKeyService::StateForTests() noexcept {
    return {g_targetLabel, g_firstTargetLabel, g_hookedWindow, g_previousWindowProc, g_lastIdentifier};
}

LRESULT CALLBACK HotKeyService::HookedWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                                 LPARAM lParam) noexcept {
    if (message == WM_HOTKEY && wParam >= static_cast<WPARAM>(kHotKeyIdBase + 1) &&
        wParam <= static_cast<WPARAM>(g_lastIdentifier)) {
        // The game window's label dies with the game window; the launcher's label takes over then.
        HWND target = g_targetLabel;
        if (!IsWindow(target)) target = IsWindow(g_firstTargetLabel) ? g_firstTargetLabel : nullptr;
        if (target) SendMessageW(target, kHotKeyNotifyMessage, wParam, 0);
    }
    return CallWindowProcW(g_previousWindowProc, hwnd, message, wParam, lParam);
}

}  // namespace desktop
