#include "toolkit/portable/region_runs.h"

namespace tk {

std::vector<RunRect> ScanOpaqueRuns(const Picture& picture, uint32_t transparentColorRef) {
    std::vector<RunRect> runs;
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.rgb.size() < static_cast<size_t>(picture.width) * picture.height * 3)
        return runs;

    // A shaped window usually has one or two runs a row; reserving that much avoids most regrowth.
    runs.reserve(static_cast<size_t>(picture.height) * 2);
    const uint32_t transparent = transparentColorRef & 0x00FFFFFFu;
    const int width = picture.width;
    const size_t stride = static_cast<size_t>(width) * 3;
    const uint8_t* row = picture.rgb.data();
    for (int y = 0; y < picture.height; ++y, row += stride) {
        auto isTransparent = [row, transparent](int x) {
            const uint8_t* p = row + static_cast<size_t>(x) * 3;
            return (p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16)) == transparent;
        };
        // One tight loop over each transparent stretch and one over each opaque stretch keep the work per
        // pixel to a load and a compare; the background is made of long stretches of both.
        int x = 0;
        while (x < width) {
            while (x < width && isTransparent(x)) ++x;
            if (x == width) break;
            const int start = x;
            while (x < width && !isTransparent(x)) ++x;
            runs.push_back({start, y, x});
        }
    }
    return runs;
}

}  // namespace tk
