// The desktop shortcut to the launcher, made at every start when the user's desktop has none. Paths here come
// from the system and go straight back to it, so they stay UTF-16 end to end.
#pragma once

#include <string>

namespace desktop {

inline constexpr wchar_t kDesktopShortcutName[] = L"QuillbayThornvale.lnk";

// Makes sure (once the toolkit is up) the current user's desktop holds kDesktopShortcutName pointing at the
// running program. An entry of that name (file or folder) is left alone. Nothing is reported on failure.
void CreateDesktopShortcut();

// The same for a given folder; an empty folder writes nothing (never a link in the current directory).
void CreateShortcutInFolder(std::wstring folder, const std::wstring& targetPath);

// The current user's desktop folder with a trailing backslash; empty when the system has none.
std::wstring DesktopDirectory();

// True when FindFirstFileW finds an entry of that name, file or folder.
bool FileExists(const std::wstring& path);

// Writes a shell link to `targetPath`, shown normally. Empty optional fields are not set. A path without any
// '.' gets ".lnk" appended. Returns whether the link was saved.
bool CreateShortcutFile(const std::wstring& linkPath, const std::wstring& targetPath,
                        const std::wstring& description = {}, const std::wstring& arguments = {},
                        const std::wstring& workingDirectory = {});

}  // namespace desktop
