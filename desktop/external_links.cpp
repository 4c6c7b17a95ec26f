#include "desktop/external_links.h"

#include <shellapi.h>

#include "toolkit/text.h"

namespace desktop {
namespace {

void ShellExecuteOpener(HWND owner, const std::wstring& verb, const std::wstring& file, int show) {
    ShellExecuteW(owner, verb.c_str(), file.c_str(), nullptr, nullptr, show);
}

ShellOpener g_opener = &ShellExecuteOpener;

}  // namespace

void SetShellOpenerForTests(ShellOpener opener) noexcept {
    g_opener = opener ? opener : &ShellExecuteOpener;
}

void OpenInDefaultBrowser(const std::string& address) noexcept {
    try {
        const HWND owner = FindWindowExW(nullptr, nullptr, nullptr, L"Microsoft Internet Explorer");
        g_opener(owner, L"open", tk::Widen(address), SW_SHOWNORMAL);
    } catch (...) {
        // Out of memory for the text: the page is simply not opened, as with any other failure.
    }
}

}  // namespace desktop
