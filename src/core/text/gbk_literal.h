#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

#include "platform/text_codec.h"

// "获取数据"_gbk: a system text written in UTF-8 in the source, converted to
// GBK once on first use and kept for the life of the process.
namespace tovakin::text {

template <std::size_t N>
struct Utf8Literal {
    char chars[N]{};
    constexpr Utf8Literal(const char (&literal)[N]) { std::copy_n(literal, N, chars); }
};

namespace literals {
template <Utf8Literal L>
const std::string& operator""_gbk() {
    static const std::string converted = platform::utf8ToGbk({L.chars, sizeof(L.chars) - 1});
    return converted;
}
}  // namespace literals

}  // namespace tovakin::text
