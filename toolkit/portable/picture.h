// Decoded pictures (the launcher's GIF background and JPEG buttons), free of any window system.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tk {

struct Picture {
    int width = 0;
    int height = 0;
    // Three bytes per pixel in the order R, G, B; rows from top to bottom, no padding.
    std::vector<uint8_t> rgb;

    // The pixel at (x, y) as a Windows COLORREF value, 0x00BBGGRR. (x, y) must lie inside the picture.
    uint32_t ColorRefAt(int x, int y) const;
};

// Pictures larger than this on either side are refused rather than allocated.
constexpr int kMaxPictureSide = 16384;

// Decodes a GIF (its first image, on a canvas of the logical screen) or a baseline/progressive JPEG,
// recognised from the leading bytes. Returns nullopt for anything that cannot be decoded: no bytes, an
// unknown format, a truncated or corrupt file, a zero or oversized picture.
std::optional<Picture> DecodePicture(std::span<const uint8_t> bytes);

}  // namespace tk
