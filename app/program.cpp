#include "app/program.h"

#include "app/application.h"
#include "toolkit/toolkit.h"

namespace app {

int RunProgram() {
    int code = ProgramMain();
    // The end sequence runs the exit routine once; the exit code is the quit message's value.
    tk::EndProgram(code);
    return code;
}

}  // namespace app
