// The web addresses the launcher opens, built from the hosts and the account chosen at build time.
#pragma once

#include <string>

namespace desktop {

std::string OfficialSiteAddress();
std::string TopUpAddress();
std::string CustomerServiceChatAddress();
std::string LoginPageAddress();

}  // namespace desktop
