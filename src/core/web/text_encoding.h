#pragma once

#include <string>
#include <string_view>

// The conversions between web text (UTF-8, Big5, escaped JSON) and the GBK
// texts of core. None of them fails loudly: a character GBK cannot hold
// becomes "?" (or ends the text, for Big5), and a text ends at its first zero
// byte.
namespace tovakin::web {

// A UTF-8 text to GBK; each malformed sequence becomes one "?".
std::string utf8TextToGbk(std::string_view text);

// UTF-8 bytes (answers of the title requests) to GBK text; a base letter
// followed by a combining mark becomes the precomposed character first.
std::string utf8BytesToGbk(std::string_view bytes);

// A Big5 text to GBK in simplified characters. The text ends before the first
// character GBK cannot hold.
std::string big5ToSimplifiedGbk(std::string_view text);

// Milliseconds since 1970-01-01 00:00:00 UTC, in decimal.
std::string timestampMs();

// Resolves the escapes of a text the way a single-quoted JScript string
// literal followed by unescape() does: backslash escapes first, then %uXXXX
// and %XX. "\u" is read as "%u". Carriage-return/line-feed pairs and the
// quote "'" pass through unchanged; a text that would not make a valid
// literal (a bare line feed or carriage return, a trailing lone backslash)
// gives empty text. Works on whole GBK characters, so a trail byte that looks
// like a backslash is never taken for one.
std::string unescapeText(std::string_view text);

}  // namespace tovakin::web
