#pragma once

#include <string>
#include <string_view>

namespace tovakin::cli {

// `utf8` as a JSON string literal, quotes included. Invalid UTF-8 is not
// checked here: callers convert from GBK first, which never yields any.
std::string jsonString(std::string_view utf8);

}  // namespace tovakin::cli
