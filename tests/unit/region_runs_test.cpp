#include "toolkit/portable/region_runs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAreArray;
using tk::RunRect;

constexpr uint32_t kWhiteRef = 0x00FFFFFF;

// One character a pixel: 'W' white, 'n' (254,255,255) — one step off white —, 'r' red (255,0,0), 'b' blue.
tk::Picture PictureFromRows(const std::vector<std::string>& rows) {
    tk::Picture picture;
    picture.height = static_cast<int>(rows.size());
    picture.width = rows.empty() ? 0 : static_cast<int>(rows[0].size());
    for (const std::string& row : rows) {
        for (char c : row) {
            const uint8_t rgb[4][3] = {{255, 255, 255}, {254, 255, 255}, {255, 0, 0}, {0, 0, 255}};
            const int i = c == 'W' ? 0 : c == 'n' ? 1 : c == 'r' ? 2 : 3;
            picture.rgb.insert(picture.rgb.end(), rgb[i], rgb[i] + 3);
        }
    }
    return picture;
}

TEST(RegionRuns, CutsMaximalRunsAgainstWhite) {
    const struct {
        std::vector<std::string> rows;
        std::vector<RunRect> runs;
    } cases[] = {
        {{"WWWW", "WWWW"}, {}},
        {{"nnnn"}, {{0, 0, 4}}},  // no tolerance: one step off white is opaque
        {{"nWWn"}, {{0, 0, 1}, {3, 0, 4}}},
        {{"WrbW"}, {{1, 0, 3}}},
        {{"WrWWbrW"}, {{1, 0, 2}, {4, 0, 6}}},
        // A run that ends a row does not carry on into the next row.
        {{"WWrr", "rrWW", "rWWr"}, {{2, 0, 4}, {0, 1, 2}, {0, 2, 1}, {3, 2, 4}}},
        {{"W"}, {}},
        {{"r"}, {{0, 0, 1}}},
    };
    for (const auto& c : cases) {
        EXPECT_THAT(tk::ScanOpaqueRuns(PictureFromRows(c.rows), kWhiteRef), ElementsAreArray(c.runs))
            << ::testing::PrintToString(c.rows);
    }
}

TEST(RegionRuns, TransparentColourIsBlueGreenRed) {
    // 0x000000FF is red as a COLORREF; blue (0,0,255) must stay opaque.
    EXPECT_THAT(tk::ScanOpaqueRuns(PictureFromRows({"rbrW"}), 0x000000FF),
                ElementsAreArray(std::vector<RunRect>{{1, 0, 2}, {3, 0, 4}}));
}

TEST(RegionRuns, EmptyPictureHasNoRuns) {
    EXPECT_TRUE(tk::ScanOpaqueRuns(tk::Picture{}, kWhiteRef).empty());
}

TEST(RegionRuns, LauncherBackgroundOutline) {
    std::ifstream file(std::string(THORNVALE_ASSETS_DIR) + "/LauncherBackground.gif", std::ios::binary);
    const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(file), {});
    auto picture = tk::DecodePicture(bytes);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, 1100);
    ASSERT_EQ(picture->height, 756);

    const auto runs = tk::ScanOpaqueRuns(*picture, kWhiteRef);
    EXPECT_EQ(runs.size(), 1400u);
    for (const RunRect& r : runs) {
        EXPECT_TRUE(r.y >= 3 && r.y <= 741) << "row " << r.y;
        EXPECT_TRUE(r.x0 >= 5 && r.x1 <= 1098 && r.x0 < r.x1) << r.x0 << ".." << r.x1 << " in row " << r.y;
    }
}

}  // namespace
