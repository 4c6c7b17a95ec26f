#include "desktop/desktop_shortcut.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>

#include "toolkit/handle.h"
#include "toolkit/toolkit.h"

namespace {

using desktop::CreateShortcutFile;
using desktop::kDesktopShortcutName;

std::wstring TestExePath() {
    wchar_t buffer[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    return buffer;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveEntry(const std::wstring& path) {
    if (IsDirectory(path))
        RemoveDirectoryW(path.c_str());
    else
        DeleteFileW(path.c_str());
}

// A fresh folder of this process's own under the temp folder, removed with whatever is in it.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::wstring& name) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
        WIN32_FIND_DATAW data;
        tk::unique_hfind find(FindFirstFileW((path_ + L"\\*").c_str(), &data));
        if (find) {
            do {
                const std::wstring name = data.cFileName;
                if (name != L"." && name != L"..") RemoveEntry(path_ + L"\\" + name);
            } while (FindNextFileW(find.get(), &data));
        }
        find.reset();
        RemoveDirectoryW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
};

struct LinkFields {
    std::wstring path, arguments, workingDirectory, description, iconLocation;
    int showCommand = -1;
    WORD hotkey = 0xFFFF;
};

LinkFields ReadLink(const std::wstring& linkPath) {
    LinkFields fields;
    tk::com_ptr<IShellLinkW> link;
    EXPECT_HRESULT_SUCCEEDED(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()));
    if (!link) return fields;
    auto file = link.query<IPersistFile>();
    EXPECT_HRESULT_SUCCEEDED(file->Load(linkPath.c_str(), STGM_READ));
    wchar_t buffer[1024];
    int icon = 0;
    buffer[0] = 0;
    link->GetPath(buffer, 1024, nullptr, SLGP_RAWPATH);
    fields.path = buffer;
    buffer[0] = 0;
    link->GetArguments(buffer, 1024);
    fields.arguments = buffer;
    buffer[0] = 0;
    link->GetWorkingDirectory(buffer, 1024);
    fields.workingDirectory = buffer;
    buffer[0] = 0;
    link->GetDescription(buffer, 1024);
    fields.description = buffer;
    buffer[0] = 0;
    link->GetIconLocation(buffer, 1024, &icon);
    fields.iconLocation = buffer;
    link->GetHotkey(&fields.hotkey);
    return fields;
}

// The show command as stored in the file's header (offset 0x3C). Wine's IShellLinkW reads back any value but
// SW_SHOWMAXIMIZED and SW_SHOWMINNOACTIVE as SW_SHOWNORMAL, so the file itself is the witness.
int StoredShowCommand(const std::wstring& linkPath) {
    const HANDLE raw = CreateFileW(linkPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (raw == INVALID_HANDLE_VALUE) return -1;
    tk::unique_handle file(raw);
    unsigned char header[0x4C] = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), header, sizeof header, &read, nullptr) || read != sizeof header) return -1;
    return header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | header[0x3F] << 24;
}

FILETIME LastWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// Works on the session's real desktop folder; an entry already there is set aside and put back afterwards.
class DesktopShortcutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // As at the program's start: the toolkit records the program path the link points at.
        tk::InitToolkit({});
        desktop_ = desktop::DesktopDirectory();
        ASSERT_FALSE(desktop_.empty());
        ASSERT_EQ(desktop_.back(), L'\\');
        link_ = desktop_ + kDesktopShortcutName;
        aside_ = link_ + L".aside" + std::to_wstring(GetCurrentProcessId());
        if (desktop::FileExists(link_)) {
            ASSERT_TRUE(MoveFileW(link_.c_str(), aside_.c_str()));
        }
    }
    void TearDown() override {
        RemoveEntry(link_);
        if (desktop::FileExists(aside_)) MoveFileW(aside_.c_str(), link_.c_str());
    }

    std::wstring desktop_, link_, aside_;
};

TEST_F(DesktopShortcutTest, FirstStartWritesALinkToTheProgramWithNothingElseSet) {
    desktop::CreateDesktopShortcut();
    ASSERT_TRUE(desktop::FileExists(link_));
    ASSERT_FALSE(IsDirectory(link_));

    const LinkFields fields = ReadLink(link_);
    EXPECT_EQ(fields.path, TestExePath());
    EXPECT_EQ(StoredShowCommand(link_), SW_SHOW);
    EXPECT_EQ(fields.arguments, L"");
    EXPECT_EQ(fields.workingDirectory, L"");
    EXPECT_EQ(fields.description, L"");
    EXPECT_EQ(fields.iconLocation, L"");
    EXPECT_EQ(fields.hotkey, 0);
}

TEST_F(DesktopShortcutTest, AnExistingLinkIsLeftUntouched) {
    desktop::CreateDesktopShortcut();
    ASSERT_TRUE(desktop::FileExists(link_));
    // Date the file far back, so that any rewrite would show.
    {
        const HANDLE raw = CreateFileW(link_.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(raw, INVALID_HANDLE_VALUE);
        tk::unique_handle file(raw);
        SYSTEMTIME old{2001, 2, 0, 3, 4, 5, 6, 0};
        FILETIME stamp;
        SystemTimeToFileTime(&old, &stamp);
        ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &stamp));
    }
    const FILETIME before = LastWriteTime(link_);

    desktop::CreateDesktopShortcut();
    const FILETIME after = LastWriteTime(link_);
    EXPECT_EQ(CompareFileTime(&before, &after), 0);
}

TEST_F(DesktopShortcutTest, AFolderOfThatNameCountsAsPresent) {
    ASSERT_TRUE(CreateDirectoryW(link_.c_str(), nullptr));
    desktop::CreateDesktopShortcut();
    EXPECT_TRUE(IsDirectory(link_));
    // Still empty: RemoveDirectory only removes an empty folder.
    EXPECT_TRUE(RemoveDirectoryW(link_.c_str()));
    EXPECT_FALSE(desktop::FileExists(desktop_ + L"QuillbayThornvale"));
}

TEST(ShortcutFile, AnUnwritablePlaceFailsQuietly) {
    ScratchFolder folder(L"thornvale-link-");
    const std::wstring link = folder.path() + L"\\no-such-folder\\Thornvale.lnk";
    EXPECT_FALSE(CreateShortcutFile(link, TestExePath()));
    EXPECT_FALSE(desktop::FileExists(link));
}

TEST(ShortcutFile, WithoutADesktopFolderNothingIsWrittenInTheCurrentDirectory) {
    ScratchFolder folder(L"thornvale-cwd-");
    wchar_t previous[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    desktop::CreateShortcutInFolder(L"", TestExePath());
    const bool written = desktop::FileExists(kDesktopShortcutName);
    SetCurrentDirectoryW(previous);
    EXPECT_FALSE(written);
}

TEST(ShortcutFile, AFolderWithoutTrailingBackslashAndNonAsciiNameGetsTheLink) {
    ScratchFolder parent(L"thornvale-desk-");
    const std::wstring folder = parent.path() + L"\\桌面 Ünïcode";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    desktop::CreateShortcutInFolder(folder, TestExePath());
    const std::wstring link = folder + L"\\" + kDesktopShortcutName;
    ASSERT_TRUE(desktop::FileExists(link));
    EXPECT_EQ(ReadLink(link).path, TestExePath());
    EXPECT_EQ(StoredShowCommand(link), SW_SHOW);
    RemoveEntry(link);
    RemoveDirectoryW(folder.c_str());
}

TEST(ShortcutFile, APathWithoutAnyDotGetsTheLinkExtension) {
    ScratchFolder folder(L"thornvale-ext-");
    if (folder.path().find(L'.') != std::wstring::npos) GTEST_SKIP() << "temp folder has a dot in its path";
    ASSERT_TRUE(CreateShortcutFile(folder.path() + L"\\Thornvale", TestExePath(), L"the launcher", L"-x"));
    EXPECT_FALSE(desktop::FileExists(folder.path() + L"\\Thornvale"));
    ASSERT_TRUE(desktop::FileExists(folder.path() + L"\\Thornvale.lnk"));
    const LinkFields fields = ReadLink(folder.path() + L"\\Thornvale.lnk");
    EXPECT_EQ(fields.description, L"the launcher");
    EXPECT_EQ(fields.arguments, L"-x");
}

}  // namespace
