#pragma once

#include <optional>
#include <string>
#include <string_view>

// Conversions between the GBK texts of core and the UTF-8 of the desktop,
// the terminal and the web. A character the target cannot hold becomes "?",
// and so does each malformed input sequence.
namespace tovakin::platform {

std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);

struct GbkEncoding {
    // Replace a base letter followed by combining marks with the precomposed
    // character first, where one exists (what Windows calls a composite check).
    bool composeMarks = false;
    // End the result before the first character GBK cannot hold instead of
    // writing "?" for it. Malformed input still becomes "?".
    bool stopAtUnmappable = false;
};

std::string utf8ToGbk(std::string_view utf8, const GbkEncoding& encoding);

// Big5 (the Windows code page 950, euro sign included) to UTF-8; each malformed
// sequence becomes "?".
std::string big5ToUtf8(std::string_view big5);

// Traditional Chinese characters of a UTF-8 text mapped to simplified ones
// (the zh-CN mapping). Empty when no mapping is available on this system.
std::optional<std::string> traditionalToSimplified(std::string_view utf8);

}  // namespace tovakin::platform
