#include "desktop/desktop_shortcut.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "toolkit/handle.h"
#include "toolkit/text.h"
#include "toolkit/toolkit.h"

namespace desktop {
std::wstring DesktopDirectory() {
    // The shell writes at most MAX_PATH characters here.
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_DESKTOPDIRECTORY, FALSE)) return {};
    std::wstring directory(buffer);
    if (!directory.empty() && directory.back() != L'\\') directory += L'\\';
    return directory;
}

bool FileExists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    tk::unique_hfind find(FindFirstFileW(path.c_str(), &data));
    return static_cast<bool>(find);
}

bool CreateShortcutFile(const std::wstring& linkPath, const std::wstring& targetPath,
                        const std::wstring& description, const std::wstring& arguments,
                        const std::wstring& workingDirectory) {
    tk::com_ptr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put_void())))
        return false;
    auto file = link.query<IPersistFile>();
    if (!file) return false;

    link->SetPath(targetPath.c_str());
    link->SetShowCmd(SW_SHOW);
    if (!description.empty()) link->SetDescription(description.c_str());
    if (!arguments.empty()) link->SetArguments(arguments.c_str());
    if (!workingDirectory.empty()) link->SetWorkingDirectory(workingDirectory.c_str());

    std::wstring path = linkPath;
    if (path.find(L'.') == std::wstring::npos) path += L".lnk";
    return SUCCEEDED(file->Save(path.c_str(), TRUE));
}

void CreateShortcutInFolder(std::wstring folder, const std::wstring& targetPath) {
    if (folder.empty() || targetPath.empty()) return;
    if (folder.back() != L'\\') folder += L'\\';
    const std::wstring linkPath = folder + kDesktopShortcutName;
    if (FileExists(linkPath)) return;
    CreateShortcutFile(linkPath, targetPath);
}

void CreateDesktopShortcut() {
    // The program path as recorded when the toolkit came up; empty before that, and then nothing is written.
    CreateShortcutInFolder(DesktopDirectory(), tk::Widen(tk::ProgramFilePath()));
}

}  // namespace desktop
