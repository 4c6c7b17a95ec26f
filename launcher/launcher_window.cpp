// The launcher window: its layout and its handlers.
#include "launcher/launcher_window.h"

#include "app/application.h"
#include "browser/context_menu_guard.h"
#include "desktop/desktop_shortcut.h"
#include "desktop/external_links.h"
#include "desktop/hot_key_service.h"
#include "desktop/portable/addresses.h"
#include "game/game_window.h"
#include "toolkit/portable/text_search.h"
#include "toolkit/toolkit.h"

namespace launcher {
namespace {

using namespace tk;

constexpr const char* kLauncherBrowser = "超文本浏览框1";
constexpr const char* kBossKeyLabel = "标签1";
constexpr uint32_t kWhite = 0xFFFFFF;

const std::string kLoginPageAddress = desktop::LoginPageAddress();

// ---- Window ----

void OnCreated(Event&) noexcept {
    // 1. The boss key, received by the hidden label.
    desktop::HotKeyService::Register(GetHandle(LauncherWindow), GetHandle(LauncherWindow, kBossKeyLabel),
                                     desktop::kBossKeyModifierCode, desktop::kBossKeyVirtualKey);
    // 2. Cut the window to the non-white pixels of its background picture.
    Bytes picture = GetBytes(LauncherWindow, nullptr, kBackPicture);
    ShapeWindowFromPicture(LauncherWindow, picture, kWhite);
    // 3. The desktop shortcut, when it is missing.
    desktop::CreateDesktopShortcut();
}

void OnBossKey(Event&) noexcept {
    SetInt(LauncherWindow, nullptr, kPosition, kPositionMinimised);
}

void OnMinimiseClicked(Event&) noexcept {
    SetInt(LauncherWindow, nullptr, kPosition, kPositionMinimised);
}

void OnCloseClicked(Event&) noexcept {
    RequestDestroy(LauncherWindow, false);
}

// ---- Links ----

void OnOfficialSiteClicked(Event&) noexcept {
    desktop::OpenInDefaultBrowser(desktop::OfficialSiteAddress());
}
void OnTopUpClicked(Event&) noexcept {
    desktop::OpenInDefaultBrowser(desktop::TopUpAddress());
}
// The forum lives on the official site.
void OnForumClicked(Event&) noexcept {
    desktop::OpenInDefaultBrowser(desktop::OfficialSiteAddress());
}
void OnCustomerServiceClicked(Event&) noexcept {
    desktop::OpenInDefaultBrowser(desktop::CustomerServiceChatAddress());
}

// ---- Browser: game-page detection and hand-over ----

void OnBrowserAboutToNavigate(Event& e) noexcept {
    browser::InstallContextMenuGuard(GetHandle(LauncherWindow, kLauncherBrowser));
    std::string address = GetText(LauncherWindow, kLauncherBrowser, kAddress);
    if (FindText(address, GameAddressMarker) <= 0) return;  // not a game page: the launcher opens it itself
    app::SavedGameAddress = GetText(LauncherWindow, kLauncherBrowser, kAddress);
    LoadWindow(game::GameWindow, nullptr, false);
    SetBool(LauncherWindow, nullptr, kVisible, false);
    e.Return(false);  // cancelled: the launcher keeps the page it had
}

void OnBrowserReady(Event&) noexcept {
    browser::InstallContextMenuGuard(GetHandle(LauncherWindow, kLauncherBrowser));
}

// ---- Layout ----

constexpr ControlLayout PictureButton(const char* name, int left, int top, int width, int height,
                                      const char* picture) {
    return ControlLayout{.name = name,
                         .kind = Kind::PictureButton,
                         .left = left,
                         .top = top,
                         .width = width,
                         .height = height,
                         .mousePointer = kHandPointer,
                         .picture = picture};
}

const ControlLayout kControls[] = {
    {.name = kBossKeyLabel,
     .kind = Kind::Label,
     .left = 216,
     .top = 16,
     .width = 112,
     .height = 40,
     .visible = false},
    PictureButton("图形按钮4", 834, 96, 156, 35, "CustomerServiceButtonImage"),
    PictureButton("图形按钮3", 672, 100, 156, 35, "ForumButtonImage"),
    PictureButton("图形按钮2", 272, 100, 156, 35, "TopUpButtonImage"),
    PictureButton("图形按钮1", 110, 100, 156, 35, "OfficialSiteButtonImage"),
    PictureButton("最小化按钮", 989, 47, 24, 23, "MinimiseButtonImage"),
    PictureButton("关闭按钮", 1023, 48, 23, 23, "CloseButtonImage"),
    {.name = "外形框1",
     .kind = Kind::ShapeBox,
     .left = 48,
     .top = 136,
     .width = 1000,
     .height = 570,
     .backColor = 0x000000,
     .shape = 0,
     .style3d = 0,
     .lineStyle = 1,
     .lineWidth = 1,
     .lineColor = 0x000000,
     .filled = false},
    {.name = kLauncherBrowser,
     .kind = Kind::WebBrowserBox,
     .parent = "外形框1",
     .left = 5,
     .top = -1,
     .width = 1002,
     .height = 562,
     .tabStop = true,
     .fontSize = 2,
     .offline = false,
     .silent = true,
     .address = kLoginPageAddress.c_str()},
};

const EventBinding kEvents[] = {
    {nullptr, event::kCreated, OnCreated},
    {kBossKeyLabel, event::kFeedback, OnBossKey},
    {"图形按钮4", event::kClicked, OnCustomerServiceClicked},
    {"图形按钮3", event::kClicked, OnForumClicked},
    {"图形按钮2", event::kClicked, OnTopUpClicked},
    {"图形按钮1", event::kClicked, OnOfficialSiteClicked},
    {"最小化按钮", event::kClicked, OnMinimiseClicked},
    {"关闭按钮", event::kClicked, OnCloseClicked},
    {kLauncherBrowser, event::kAboutToNavigate, OnBrowserAboutToNavigate},
    {kLauncherBrowser, event::kReady, OnBrowserReady},
};

}  // namespace

const tk::WindowLayout LauncherWindow = {
    .name = "LauncherWindow",
    .title = "Thornvale",
    .left = 0,
    .top = 0,
    .width = 1103,
    .height = 756,
    .visible = true,
    .frameStyle = 0,
    .backColor = kSystemButtonFace,
    .picture = "LauncherBackground",
    .pictureMode = 1,
    .position = kPositionCentred,
    .movable = true,
    .enterMovesFocus = false,
    .escClosesWindow = false,
    .taskbarButton = true,
    .dragToMove = true,
    .alwaysOnTop = false,
    .controls = kControls,
    .events = kEvents,
};

}  // namespace launcher
