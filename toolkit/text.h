// Text is UTF-8 inside the program; these convert at the Win32 boundary, where the W functions are called.
#pragma once

#include <string>
#include <string_view>

namespace tk {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace tk
