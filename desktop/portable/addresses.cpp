#include "desktop/portable/addresses.h"

#include "build_config.h"

namespace desktop {

std::string OfficialSiteAddress() {
    return "http://" THORNVALE_OFFICIAL_HOST "/";
}

std::string TopUpAddress() {
    return "http://" THORNVALE_PLATFORM_HOST "/pay/";
}

std::string CustomerServiceChatAddress() {
    return "http://" THORNVALE_CHAT_HOST "/msgrd?v=3&uin=" THORNVALE_SERVICE_ACCOUNT "&site=qq&menu=yes";
}

std::string LoginPageAddress() {
    return "http://" THORNVALE_PLATFORM_HOST "/member/wd/mezo/login/";
}

}  // namespace desktop
