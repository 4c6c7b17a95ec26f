#include "app/program.h"

#include <windows.h>

namespace app {
int RunProgram() {
    MessageBoxW(nullptr, L"Thornvale", L"Thornvale", MB_OK);
    return 0;
}
}  // namespace app
