#include "browser/context_menu_guard.h"

namespace browser {
namespace {

HWND g_hostWindow = nullptr;
bool g_installed = false;
WNDPROC g_previousWindowProc = nullptr;
UINT_PTR g_rearmTimerId = 0;
int g_rearmTicks = 0;

void StopRearmTimer() noexcept {
    if (g_rearmTimerId != 0) KillTimer(nullptr, g_rearmTimerId);
    g_rearmTimerId = 0;
}

void Hook(HWND page) noexcept {
    // A page that saw WM_DESTROY but lives on still runs the guard; chaining the guard to itself would
    // recurse.
    if (GetWindowLongPtrW(page, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&GuardWindowProc)) {
        g_previousWindowProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&GuardWindowProc)));
    }
    g_installed = true;
    // The page is guarded again; a timer still looking for it would only spend ticks.
    StopRearmTimer();
}

}  // namespace

HWND FindPageWindow(HWND host) noexcept {
    HWND window = host;
    for (int level = 0; level < 3 && window; ++level)
        window = FindWindowExW(window, nullptr, nullptr, nullptr);
    return window;
}

bool InstallContextMenuGuard(HWND host) noexcept {
    // The most recent box is the one to guard next, even when its page cannot be hooked yet: when the
    // launcher's page goes away, the game's page takes over.
    g_hostWindow = host;
    const HWND page = FindPageWindow(g_hostWindow);
    if (g_installed || !page) return false;
    Hook(page);
    return true;
}

LRESULT CALLBACK GuardWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_CONTEXTMENU:
        case WM_RBUTTONUP:
            return 1;
        case WM_DESTROY:
            g_installed = false;
            // Only one search for the next page may run; a second timer would leave the first one orphaned.
            StopRearmTimer();
            g_rearmTimerId = SetTimer(nullptr, 0, kGuardRearmIntervalMs, &GuardRearmTick);
            break;
        default:
            break;
    }
    return CallWindowProcW(g_previousWindowProc, hwnd, message, wParam, lParam);
}

void CALLBACK GuardRearmTick(HWND, UINT, UINT_PTR, DWORD) noexcept {
    ++g_rearmTicks;
    const HWND page = FindPageWindow(g_hostWindow);
    if (page && !g_installed) Hook(page);
}

ContextMenuGuardState GuardStateForTests() noexcept {
    return {g_hostWindow, g_installed, g_previousWindowProc, g_rearmTimerId, g_rearmTicks};
}

}  // namespace browser
