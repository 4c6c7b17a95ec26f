// The application shell: start-up, the one piece of shared state and shut-down.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// The address handed from the launcher to the game window (UTF-8). Empty means absent.
extern std::string SavedGameAddress;

int32_t ProgramMain();
void InitApplicationData();
int32_t StartupHook();
void OnProgramExit();

}  // namespace app
