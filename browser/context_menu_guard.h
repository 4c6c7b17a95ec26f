// Keeps the right-click menu of an embedded web page from appearing. The page's window sits three child
// levels below the browser box's window; its procedure is replaced by the guard's. When the page window is
// destroyed (the engine rebuilds it on some navigations) a timer looks for the new one and guards it too. One
// guard serves the whole program; its state is application-wide and GUI-thread only.
#pragma once

#include <windows.h>

namespace browser {

// The first child, three levels down; nullptr when any level is missing.
HWND FindPageWindow(HWND host) noexcept;

// Remembers `host` as the box to guard and guards its page window unless a page is already guarded or the
// host has no page window yet. Returns whether the page was hooked now.
bool InstallContextMenuGuard(HWND host) noexcept;

LRESULT CALLBACK GuardWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
void CALLBACK GuardRearmTick(HWND hwnd, UINT message, UINT_PTR timerId, DWORD time) noexcept;

inline constexpr UINT kGuardRearmIntervalMs = 100;

struct ContextMenuGuardState {
    HWND hostWindow;
    bool installed;
    WNDPROC previousWindowProc;
    UINT_PTR rearmTimerId;
    int rearmTicks;  // how many times GuardRearmTick has run
};
ContextMenuGuardState GuardStateForTests() noexcept;

}  // namespace browser
