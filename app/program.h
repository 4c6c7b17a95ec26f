#pragma once

namespace app {
// Runs the whole program and returns the process exit code.
int RunProgram();
}  // namespace app
