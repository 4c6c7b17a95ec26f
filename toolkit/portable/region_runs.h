// The scan that cuts a window to the outline of its picture, free of any window system.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/portable/picture.h"

namespace tk {

// The one-pixel-high rectangle (x0, y)-(x1, y + 1); x1 is exclusive.
struct RunRect {
    int x0;
    int y;
    int x1;

    friend bool operator==(const RunRect&, const RunRect&) = default;
};

// Every maximal horizontal run of pixels that differ from the transparent colour (0x00BBGGRR) in at least
// one of R, G, B, rows from top to bottom and each row from left to right. The comparison is exact: a
// colour one step away from the transparent one is opaque.
std::vector<RunRect> ScanOpaqueRuns(const Picture& picture, uint32_t transparentColorRef);

}  // namespace tk
