#include "desktop/portable/addresses.h"

#include <gtest/gtest.h>

#include <regex>

#include "build_config.h"

namespace {

TEST(Addresses, KeepTheirShapeForAnyConfiguredHosts) {
    // Top-up and login live on one platform host; the chat query keeps its parameters in this order.
    const std::regex platform(R"(http://([^/]+)/(pay|member/wd/mezo/login)/)");
    std::smatch topUp, login;
    const std::string topUpAddress = desktop::TopUpAddress(), loginAddress = desktop::LoginPageAddress();
    ASSERT_TRUE(std::regex_match(topUpAddress, topUp, platform)) << topUpAddress;
    ASSERT_TRUE(std::regex_match(loginAddress, login, platform)) << loginAddress;
    EXPECT_EQ(topUp[1], login[1]);
    EXPECT_EQ(topUp[2], "pay");
    EXPECT_TRUE(std::regex_match(desktop::CustomerServiceChatAddress(),
                                 std::regex(R"(http://[^/]+/msgrd\?v=3&uin=[0-9]+&site=qq&menu=yes)")));
    EXPECT_TRUE(std::regex_match(desktop::OfficialSiteAddress(), std::regex(R"(http://[^/]+/)")));
}

TEST(Addresses, DefaultBuildPointsAtTheLiveHosts) {
    if (std::string(THORNVALE_PLATFORM_HOST) != "game.quillbay.com") GTEST_SKIP() << "built with other hosts";
    EXPECT_EQ(desktop::TopUpAddress(), "http://game.quillbay.com/pay/");
    EXPECT_EQ(desktop::LoginPageAddress(), "http://game.quillbay.com/member/wd/mezo/login/");
    EXPECT_EQ(desktop::OfficialSiteAddress(), "http://thornvale.quillbay.com/");
    EXPECT_EQ(desktop::CustomerServiceChatAddress(),
              "http://wpa.qq.com/msgrd?v=3&uin=800012345&site=qq&menu=yes");
}

}  // namespace
