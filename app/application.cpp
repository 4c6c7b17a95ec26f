#include "app/application.h"

#include "browser/webbrowser_engine.h"
#include "desktop/hot_key_service.h"
#include "game/game_window.h"
#include "launcher/launcher_window.h"
#include "toolkit/toolkit.h"
#include "toolkit/web_engine.h"

namespace app {

// The boss key reaches a label through the toolkit's feedback message.
static_assert(desktop::kHotKeyNotifyMessage == tk::kLabelFeedbackMessage);

std::string SavedGameAddress;

namespace {
const tk::WindowLayout* const kLayouts[] = {&launcher::LauncherWindow, &game::GameWindow};
}

int32_t ProgramMain() {
    tk::SetWebEngineFactory(&browser::CreateWebBrowserEngine);
    tk::InitToolkit(kLayouts);
    InitApplicationData();
    tk::SetExitRoutine(&OnProgramExit);
    StartupHook();
    tk::LoadStartupWindow(launcher::LauncherWindow);
    return tk::RunMessageLoop();
}

void InitApplicationData() {}

int32_t StartupHook() {
    return 0;
}

void OnProgramExit() {
    SavedGameAddress.clear();
    SavedGameAddress.shrink_to_fit();
}

}  // namespace app
