// Opens web pages in the user's default browser, outside the launcher.
#pragma once

#include <windows.h>

#include <string>

namespace desktop {

// Opens `address` (UTF-8) with the shell's "open" verb, owned by an Internet Explorer window when one exists.
// The outcome is not checked and nothing is reported.
void OpenInDefaultBrowser(const std::string& address) noexcept;

// The shell call, replaceable so that tests can see what would be opened without starting a browser.
using ShellOpener = void (*)(HWND owner, const std::wstring& verb, const std::wstring& file, int show);
// nullptr restores the real ShellExecuteW.
void SetShellOpenerForTests(ShellOpener opener) noexcept;

}  // namespace desktop
