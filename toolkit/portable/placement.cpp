#include "toolkit/portable/placement.h"

namespace tk {
static_assert(CenteredOrigin(1024, 1103) == -39);
static_assert(CenteredOrigin(768, 756) == 6);
static_assert(CenteredOrigin(1920, 1103) == 408);
static_assert(CenteredOrigin(1080, 756) == 162);
static_assert(CenteredOrigin(1366, 1103) == 131);
static_assert(CenteredOrigin(-1, 0) == 0);  // truncation toward zero, not flooring
}  // namespace tk
