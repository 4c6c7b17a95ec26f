#include "toolkit/portable/picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadAsset(const std::string& name) {
    std::ifstream file(std::string(THORNVALE_ASSETS_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A minimal GIF writer, so that each fixture states exactly what is stored: colour tables, frame, row order.
// The LZW stream holds literal codes only, with a clear code often enough that the code width never grows.
struct GifImage {
    int width = 0, height = 0, left = 0, top = 0;
    std::vector<uint32_t> localColors;  // 0xRRGGBB; empty = none; otherwise a power of two entries
    bool interlaced = false;
    Bytes storedIndices;  // in the order the file stores them
    int transparentIndex = -1;
};

struct GifFile {
    int screenWidth = 0, screenHeight = 0;
    std::vector<uint32_t> globalColors;
    int background = 0;
    GifImage image;
};

void Put16(Bytes& out, int value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

int TableSizeField(size_t entries) {
    int field = 0;
    while ((2u << field) < entries) ++field;
    return field;
}

void PutColors(Bytes& out, const std::vector<uint32_t>& colors) {
    for (uint32_t c : colors) {
        out.push_back(static_cast<uint8_t>(c >> 16));
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c));
    }
}

void PutLiteralLzw(Bytes& out, int minCodeSize, const Bytes& indices) {
    const int clear = 1 << minCodeSize;
    const int width = minCodeSize + 1;
    std::vector<int> codes{clear};
    int sinceClear = 0;
    for (uint8_t index : indices) {
        if (sinceClear == clear - 2) {
            codes.push_back(clear);
            sinceClear = 0;
        }
        codes.push_back(index);
        ++sinceClear;
    }
    codes.push_back(clear + 1);

    Bytes packed;
    uint32_t bits = 0;
    int bitCount = 0;
    for (int code : codes) {
        bits |= static_cast<uint32_t>(code) << bitCount;
        bitCount += width;
        while (bitCount >= 8) {
            packed.push_back(static_cast<uint8_t>(bits));
            bits >>= 8;
            bitCount -= 8;
        }
    }
    if (bitCount > 0) packed.push_back(static_cast<uint8_t>(bits));

    out.push_back(static_cast<uint8_t>(minCodeSize));
    for (size_t i = 0; i < packed.size(); i += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - i);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), packed.begin() + i, packed.begin() + i + n);
    }
    out.push_back(0);
}

Bytes MakeGif(const GifFile& gif) {
    Bytes out{'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, gif.screenWidth);
    Put16(out, gif.screenHeight);
    out.push_back(gif.globalColors.empty()
                      ? 0x00
                      : static_cast<uint8_t>(0xF0 | TableSizeField(gif.globalColors.size())));
    out.push_back(static_cast<uint8_t>(gif.background));
    out.push_back(0);
    PutColors(out, gif.globalColors);

    const GifImage& image = gif.image;
    if (image.transparentIndex >= 0) {
        out.insert(out.end(),
                   {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, static_cast<uint8_t>(image.transparentIndex), 0x00});
    }
    out.push_back(0x2C);
    Put16(out, image.left);
    Put16(out, image.top);
    Put16(out, image.width);
    Put16(out, image.height);
    uint8_t flags = image.interlaced ? 0x40 : 0x00;
    if (!image.localColors.empty()) flags |= 0x80 | TableSizeField(image.localColors.size());
    out.push_back(flags);
    PutColors(out, image.localColors);
    const size_t entries = image.localColors.empty() ? gif.globalColors.size() : image.localColors.size();
    PutLiteralLzw(out, std::max(2, TableSizeField(entries) + 1), image.storedIndices);
    out.push_back(0x3B);
    return out;
}

GifImage Frame(int width, int height, int left, int top, Bytes storedIndices) {
    GifImage image;
    image.width = width;
    image.height = height;
    image.left = left;
    image.top = top;
    image.storedIndices = std::move(storedIndices);
    return image;
}

uint32_t ColorRef(uint32_t rrggbb) {
    return ((rrggbb >> 16) & 0xFF) | (rrggbb & 0xFF00) | ((rrggbb & 0xFF) << 16);
}

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kGrey = 0x808080;

TEST(Picture, ColorRefAtIsBlueGreenRed) {
    tk::Picture picture{2, 1, {0, 0, 0, 0x11, 0x22, 0x33}};
    EXPECT_EQ(picture.ColorRefAt(1, 0), 0x00332211u);
}

TEST(Picture, GifFirstImageOnBackgroundOfLogicalScreen) {
    GifFile gif;
    gif.screenWidth = 4;
    gif.screenHeight = 3;
    gif.globalColors = {kRed, kGreen, kBlue, kWhite};
    gif.background = 3;
    gif.image = Frame(2, 2, 1, 1, {0, 1, 2, 0});
    gif.image.transparentIndex = 0;

    auto picture = tk::DecodePicture(MakeGif(gif));
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, 4);
    ASSERT_EQ(picture->height, 3);
    ASSERT_EQ(picture->rgb.size(), 4u * 3 * 3);
    // The transparent index is drawn in its palette colour; the window shape comes from a colour key instead.
    const uint32_t expected[3][4] = {
        {kWhite, kWhite, kWhite, kWhite}, {kWhite, kRed, kGreen, kWhite}, {kWhite, kBlue, kRed, kWhite}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(picture->ColorRefAt(x, y), ColorRef(expected[y][x])) << x << "," << y;
}

TEST(Picture, GifLocalColorsWinAndNoGlobalMapMeansBlackBackground) {
    GifFile gif;
    gif.screenWidth = 3;
    gif.screenHeight = 1;
    gif.background = 1;
    gif.image = Frame(2, 1, 1, 0, {1, 0});
    gif.image.localColors = {kGrey, kBlue};

    auto picture = tk::DecodePicture(MakeGif(gif));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->ColorRefAt(0, 0), 0u);
    EXPECT_EQ(picture->ColorRefAt(1, 0), ColorRef(kBlue));
    EXPECT_EQ(picture->ColorRefAt(2, 0), ColorRef(kGrey));

    // With both maps present, the local one still decides the image's pixels.
    gif.globalColors = {kRed, kGreen};
    picture = tk::DecodePicture(MakeGif(gif));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->ColorRefAt(0, 0), ColorRef(kGreen));  // background from the global map
    EXPECT_EQ(picture->ColorRefAt(1, 0), ColorRef(kBlue));
}

TEST(Picture, GifInterlacedRowsLandInDisplayOrder) {
    // Ten rows reach all four interlace passes: 0 8 | 4 | 2 6 | 1 3 5 7 9.
    GifFile gif;
    gif.screenWidth = 2;
    gif.screenHeight = 10;
    for (uint32_t i = 0; i < 16; ++i) gif.globalColors.push_back(i * 0x0F0F0F);
    gif.image = Frame(2, 10, 0, 0, {});
    gif.image.interlaced = true;
    for (int row : {0, 8, 4, 2, 6, 1, 3, 5, 7, 9})
        gif.image.storedIndices.insert(gif.image.storedIndices.end(), 2, row);

    auto picture = tk::DecodePicture(MakeGif(gif));
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->height, 10);
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(picture->ColorRefAt(0, y), y * 0x0F0F0Fu) << "row " << y;
        EXPECT_EQ(picture->ColorRefAt(1, y), y * 0x0F0F0Fu) << "row " << y;
    }
}

TEST(Picture, GifWithoutLogicalScreenTakesImageSize) {
    GifFile gif;
    gif.globalColors = {kRed, kGreen};
    gif.image = Frame(2, 1, 5, 5, {1, 0});
    auto picture = tk::DecodePicture(MakeGif(gif));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 2);
    EXPECT_EQ(picture->height, 1);
    EXPECT_EQ(picture->ColorRefAt(0, 0), ColorRef(kGreen));
    EXPECT_EQ(picture->ColorRefAt(1, 0), ColorRef(kRed));
}

TEST(Picture, ImageFrameOutsideTheScreenIsClipped) {
    GifFile gif;
    gif.screenWidth = 2;
    gif.screenHeight = 2;
    gif.globalColors = {kRed, kGreen};
    gif.image = Frame(2, 2, 1, 1, {1, 1, 1, 1});
    auto picture = tk::DecodePicture(MakeGif(gif));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->ColorRefAt(0, 0), ColorRef(kRed));
    EXPECT_EQ(picture->ColorRefAt(1, 1), ColorRef(kGreen));
}

Bytes Truncated(Bytes bytes, size_t keep) {
    bytes.resize(std::min(keep, bytes.size()));
    return bytes;
}

// The height field of the first baseline frame header, set to zero.
Bytes WithZeroJpegHeight(Bytes bytes) {
    for (size_t i = 2; i + 8 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
            bytes[i + 5] = 0;
            bytes[i + 6] = 0;
            return bytes;
        }
    }
    ADD_FAILURE() << "no frame header";
    return bytes;
}

TEST(Picture, UndecodableBlocksGiveNothing) {
    GifFile good;
    good.screenWidth = 4;
    good.screenHeight = 4;
    good.globalColors = {kRed, kGreen};
    good.image = Frame(4, 4, 0, 0, Bytes(16, 1));
    const Bytes goodGif = MakeGif(good);
    ASSERT_TRUE(tk::DecodePicture(goodGif));

    GifFile badIndex = good;
    badIndex.image.storedIndices[5] = 3;  // the code fits the LZW alphabet but not the 2-colour map
    GifFile zeroWidth = good;
    zeroWidth.image.width = 0;
    zeroWidth.image.storedIndices.clear();
    GifFile hugeScreen = good;
    hugeScreen.screenWidth = 20000;
    GifFile noColors = good;
    noColors.globalColors.clear();

    const Bytes button = ReadAsset("CloseButtonImage.jpg");
    ASSERT_GT(button.size(), 200u);
    Bytes scrambledJpeg = button;
    std::fill(scrambledJpeg.begin() + 3, scrambledJpeg.begin() + 40, 0x00);

    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"unknown format", {'B', 'M', 0x36, 0, 0, 0, 0, 0, 0, 0}},
        {"gif signature only", {'G', 'I', 'F', '8', '9', 'a'}},
        {"gif without trailer or image", Truncated(goodGif, 13 + 6)},
        {"gif cut in its pixels", Truncated(goodGif, goodGif.size() - 6)},
        {"gif index beyond colour map", MakeGif(badIndex)},
        {"gif zero width", MakeGif(zeroWidth)},
        {"gif absurd screen", MakeGif(hugeScreen)},
        {"gif without colour map", MakeGif(noColors)},
        {"jpeg start marker only", {0xFF, 0xD8, 0xFF}},
        {"jpeg cut in half", Truncated(button, button.size() / 2)},
        {"jpeg cut after headers", Truncated(button, 700)},
        {"jpeg scrambled headers", scrambledJpeg},
        {"jpeg zero height", WithZeroJpegHeight(button)},
    };
    for (const auto& c : cases) EXPECT_FALSE(tk::DecodePicture(c.bytes)) << c.name;
}

TEST(Picture, ButtonPicturesDecodeToTheirSizes) {
    const struct {
        const char* file;
        int width, height;
    } buttons[] = {
        {"OfficialSiteButtonImage.jpg", 156, 38}, {"TopUpButtonImage.jpg", 159, 36},
        {"ForumButtonImage.jpg", 157, 35},        {"CustomerServiceButtonImage.jpg", 156, 35},
        {"MinimiseButtonImage.jpg", 24, 21},      {"CloseButtonImage.jpg", 20, 22},
    };
    for (const auto& b : buttons) {
        auto picture = tk::DecodePicture(ReadAsset(b.file));
        ASSERT_TRUE(picture) << b.file;
        EXPECT_EQ(picture->width, b.width) << b.file;
        EXPECT_EQ(picture->height, b.height) << b.file;
        EXPECT_EQ(picture->rgb.size(), static_cast<size_t>(b.width) * b.height * 3) << b.file;
    }
}

}  // namespace
