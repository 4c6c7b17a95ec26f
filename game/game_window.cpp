// The game window: its layout and its handlers.
#include "game/game_window.h"

#include "app/application.h"
#include "browser/context_menu_guard.h"
#include "desktop/hot_key_service.h"
#include "launcher/launcher_window.h"
#include "toolkit/toolkit.h"

namespace game {
namespace {

using namespace tk;

constexpr const char* kGameBrowser = "超文本浏览框2";
constexpr const char* kBossKeyLabel = "标签1";

// The browser follows the window's outer size: less 45 in height at creation, 40 on every size change.
void SizeBrowser(int heightMargin) {
    SetInt(GameWindow, kGameBrowser, kWidth, GetInt(GameWindow, nullptr, kWidth) - 15);
    SetInt(GameWindow, kGameBrowser, kHeight, GetInt(GameWindow, nullptr, kHeight) - heightMargin);
}

void OnCreated(Event&) noexcept {
    SizeBrowser(45);
    SetText(GameWindow, kGameBrowser, kAddress, app::SavedGameAddress);
    desktop::HotKeyService::Register(GetHandle(GameWindow), GetHandle(GameWindow, kBossKeyLabel),
                                     desktop::kBossKeyModifierCode, desktop::kBossKeyVirtualKey);
}

void OnSizeChanged(Event&) noexcept {
    SizeBrowser(40);
}

// The launcher comes back when the game window closes.
void OnWillBeDestroyed(Event&) noexcept {
    SetBool(launcher::LauncherWindow, nullptr, kVisible, true);
}

// Every navigation of the game browser goes ahead.
void OnBrowserAboutToNavigate(Event&) noexcept {}

void OnBrowserReady(Event&) noexcept {
    browser::InstallContextMenuGuard(GetHandle(GameWindow, kGameBrowser));
}

void OnBossKey(Event&) noexcept {
    SetInt(GameWindow, nullptr, kPosition, kPositionMinimised);
}

const ControlLayout kControls[] = {
    {.name = kBossKeyLabel,
     .kind = Kind::Label,
     .left = 40,
     .top = 152,
     .width = 72,
     .height = 40,
     .visible = false},
    {.name = kGameBrowser,
     .kind = Kind::WebBrowserBox,
     .left = 0,
     .top = 0,
     .width = 864,
     .height = 420,
     .tabStop = true,
     .fontSize = 2,
     .offline = false,
     .silent = true,
     .address = nullptr},
};

const EventBinding kEvents[] = {
    {nullptr, event::kCreated, OnCreated},
    {nullptr, event::kSizeChanged, OnSizeChanged},
    {nullptr, event::kWillBeDestroyed, OnWillBeDestroyed},
    {kGameBrowser, event::kAboutToNavigate, OnBrowserAboutToNavigate},
    {kGameBrowser, event::kReady, OnBrowserReady},
    {kBossKeyLabel, event::kFeedback, OnBossKey},
};

}  // namespace

const tk::WindowLayout GameWindow = {
    .name = "GameWindow",
    .title = "",
    .left = 50,
    .top = 50,
    .width = 1000,
    .height = 800,
    .visible = true,
    .frameStyle = 1,
    .backColor = kSystemButtonFace,
    .picture = nullptr,
    .controlBox = true,
    .maximiseBox = true,
    .minimiseBox = true,
    .position = kPositionMaximised,
    .movable = true,
    .enterMovesFocus = false,
    .escClosesWindow = false,
    .taskbarButton = true,
    .dragToMove = true,
    .alwaysOnTop = false,
    .controls = kControls,
    .events = kEvents,
};

}  // namespace game
