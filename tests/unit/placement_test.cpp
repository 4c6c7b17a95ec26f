#include "toolkit/portable/placement.h"

#include <gtest/gtest.h>

namespace {

TEST(Placement, CentresOnCommonScreens) {
    struct Case {
        int sw, sh, x, y;
    };
    for (auto c : {Case{1024, 768, -39, 6}, Case{1366, 768, 131, 6}, Case{1920, 1080, 408, 162}}) {
        EXPECT_EQ(tk::CenteredOrigin(c.sw, 1103), c.x) << c.sw;
        EXPECT_EQ(tk::CenteredOrigin(c.sh, 756), c.y) << c.sh;
    }
}

TEST(Placement, ClampsPositionAndBoxDimensions) {
    EXPECT_EQ(tk::ClampPosition(-5), 0);
    EXPECT_EQ(tk::ClampPosition(2), 2);
    EXPECT_EQ(tk::ClampPosition(9), 3);
    EXPECT_EQ(tk::ClampBoxDimension(-25), 0);
    EXPECT_EQ(tk::ClampBoxDimension(985), 985);
    EXPECT_EQ(tk::ClampBoxDimension(40000), 32627);
}

}  // namespace
