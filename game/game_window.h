// The game window: a maximised window that is almost entirely a browser showing the game page.
#pragma once

#include "toolkit/layout.h"

namespace game {

extern const tk::WindowLayout GameWindow;

}  // namespace game
