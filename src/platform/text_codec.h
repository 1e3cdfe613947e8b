#pragma once

#include <string>
#include <string_view>

// Conversions between the GBK texts of core and the UTF-8 of the desktop,
// the terminal and the web. A character the target cannot hold becomes "?",
// and so does each malformed input sequence.
namespace tovakin::platform {

std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);

}  // namespace tovakin::platform
