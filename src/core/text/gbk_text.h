#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Helpers for GBK byte strings. Inside core every text is GBK: lengths and
// positions count bytes, and a Chinese character is a lead byte (0x81-0xFE)
// followed by one trail byte.
namespace tovakin::text {

inline bool isGbkLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

// Length in bytes of the character that starts at `pos` (1 or 2). A lead byte
// at the very end of the text counts as a character of its own.
std::size_t gbkCharLength(std::string_view text, std::size_t pos);

// Finds `needle` in `text` at a character boundary, from `from` (which must be
// a boundary). Byte search alone could match across two characters, since GBK
// trail bytes overlap ASCII and lead-byte ranges.
std::size_t findAtCharBoundary(std::string_view text, std::string_view needle, std::size_t from = 0);

// Splits at every occurrence of `separator`; empty parts are kept, so "a--b"
// split at "-" gives three parts. An empty text gives no parts at all.
std::vector<std::string> splitText(std::string_view text, std::string_view separator);

// Removes the first line from `text` and returns it, without its line feed
// and without a carriage return before it.
std::string_view takeLine(std::string_view& text);

// Joins `parts` with `separator` between them.
std::string joinText(const std::vector<std::string>& parts, std::string_view separator);

// Compares two texts folding ASCII letters only, and only where they are whole
// characters: a trail byte that happens to be a letter is compared exactly.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The text folded the same way, usable as a lookup key.
std::string foldAsciiCase(std::string_view text);

// At most `maxBytes` bytes of `text`, never ending in half a character.
std::string_view cutAtCharBoundary(std::string_view text, std::size_t maxBytes);

// Reads the leading number of a text the way the C library's atof does
// (leading white space, sign, decimals, exponent, hex, inf/nan), independent
// of the process locale. A text without a leading number reads as 0.
double textToNumber(std::string_view text);

// textToNumber truncated toward zero and clamped to the 64-bit range; NaN reads as 0.
std::int64_t textToInteger(std::string_view text);

}  // namespace tovakin::text
