#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Unicode helpers for the iconv backend, which has no composite check of its own.
namespace tovakin::platform::posix {

// Decodes one well-formed UTF-8 character at the start of `rest` (no overlong
// forms, no surrogates). Returns its length in bytes, or 0 when malformed.
std::size_t decodeUtf8(std::string_view rest, char32_t& cp);

// Replaces each base character followed by a combining mark with the
// precomposed character where Unicode has one; malformed bytes are kept as
// they are.
std::string composeMarks(std::string_view utf8);

}  // namespace tovakin::platform::posix
