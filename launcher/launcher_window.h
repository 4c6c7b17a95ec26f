// The launcher: the start-up window with the login page, the link buttons and the hand-over to the game.
#pragma once

#include "toolkit/layout.h"

namespace launcher {

extern const tk::WindowLayout LauncherWindow;

// The marker of a game page in an address.
inline constexpr char GameAddressMarker[] = "game=mezo";

}  // namespace launcher
