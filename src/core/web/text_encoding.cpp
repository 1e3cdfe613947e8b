#include "core/web/text_encoding.h"
#include "platform/utf8.h"

#include <chrono>
#include <optional>

#include "platform/text_codec.h"

namespace tovakin::web {
namespace {

std::string_view upToZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// UTF-8 from the platform's GBK decoding is well-formed; anything else reads as "?".
std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[pos]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (pos + length > utf8.size()) {
            out += u'?';
            break;
        }
        char32_t cp = length == 1   ? lead
                      : length == 2 ? (lead & 0x1F)
                      : length == 3 ? (lead & 0x0F)
                                    : (lead & 0x07);
        for (std::size_t i = 1; i < length; ++i) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[pos + i]) & 0x3F);
        }
        pos += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

// A lone surrogate cannot be written in UTF-8; like any other character GBK
// lacks, it becomes "?".
std::string utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size() * 3);
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = u'?';
        }
        platform::appendUtf8(out, cp);
    }
    return out;
}

void replaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::u16string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// The value of `digits` hex digits at `pos`, or nothing when they are not all there.
std::optional<char16_t> hexAt(std::u16string_view text, std::size_t pos, std::size_t digits) {
    if (pos + digits > text.size()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const int digit = hexValue(text[pos + i]);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<char16_t>(value);
}

bool isOctal(char16_t c) {
    return c >= u'0' && c <= u'7';
}

// The body of a single-quoted JScript string literal (no quote can occur in
// it any more). Nothing when the literal would not parse.
std::optional<std::u16string> readLiteralBody(std::u16string_view body) {
    std::u16string out;
    out.reserve(body.size());
    std::size_t pos = 0;
    while (pos < body.size()) {
        const char16_t c = body[pos++];
        if (c == u'\n' || c == u'\r') {
            return std::nullopt;
        }
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (pos == body.size()) {  // the backslash would escape the closing quote
            return std::nullopt;
        }
        const char16_t e = body[pos++];
        switch (e) {
            case u'\n':
            case u'\r':
                return std::nullopt;
            case u'b':
                out += u'\b';
                break;
            case u't':
                out += u'\t';
                break;
            case u'n':
                out += u'\n';
                break;
            case u'v':
                out += u'\v';
                break;
            case u'f':
                out += u'\f';
                break;
            case u'r':
                out += u'\r';
                break;
            case u'x':
            case u'u': {
                const std::size_t digits = e == u'x' ? 2 : 4;
                if (const auto value = hexAt(body, pos, digits)) {
                    out += *value;
                    pos += digits;
                } else {
                    out += e;  // the legacy engine reads a broken hex escape as the letter
                }
                break;
            }
            default:
                if (isOctal(e)) {  // legacy octal escape: up to three digits, at most \377
                    unsigned value = static_cast<unsigned>(e - u'0');
                    const std::size_t maxDigits = e <= u'3' ? 3 : 2;
                    for (std::size_t n = 1; n < maxDigits && pos < body.size() && isOctal(body[pos]); ++n) {
                        value = value * 8 + static_cast<unsigned>(body[pos++] - u'0');
                    }
                    out += static_cast<char16_t>(value);
                } else {
                    out += e;
                }
        }
    }
    return out;
}

// ECMAScript unescape: %uXXXX and %XX; any other "%" stays.
std::u16string unescapePercent(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char16_t c = text[pos++];
        if (c == u'%') {
            if (pos < text.size() && text[pos] == u'u') {
                if (const auto value = hexAt(text, pos + 1, 4)) {
                    out += *value;
                    pos += 5;
                    continue;
                }
            }
            if (const auto value = hexAt(text, pos, 2)) {
                out += *value;
                pos += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace

std::string utf8TextToGbk(std::string_view text) {
    return platform::utf8ToGbk(upToZero(text));
}

std::string utf8BytesToGbk(std::string_view bytes) {
    // A zero byte decodes to a zero character, which ends the text anyway.
    return platform::utf8ToGbk(upToZero(bytes), {.composeMarks = true});
}

std::string big5ToSimplifiedGbk(std::string_view text) {
    const std::string decoded = platform::big5ToUtf8(upToZero(text));
    // Cut before the first character GBK lacks, then map what is left.
    const std::string kept = platform::gbkToUtf8(platform::utf8ToGbk(decoded, {.stopAtUnmappable = true}));
    const std::optional<std::string> simplified = platform::traditionalToSimplified(kept);
    return platform::utf8ToGbk(simplified.value_or(kept));
}

std::string timestampMs() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::string unescapeText(std::string_view text) {
    // Work on characters, not bytes: a GBK trail byte may equal "\" or "{".
    std::u16string units = utf8ToUtf16(platform::gbkToUtf8(upToZero(text)));
    replaceAll(units, u"\r\n", u"{$}");
    if (!units.empty() && units.front() == u'\r') {
        units.erase(0, 1);
    }
    replaceAll(units, u"\\u", u"%u");
    replaceAll(units, u"'", u"\u2019");
    const std::optional<std::u16string> literal = readLiteralBody(units);
    if (!literal) {
        return {};
    }
    std::u16string result = unescapePercent(*literal);
    result.resize(std::min(result.size(), result.find(u'\0')));  // the result is a text
    replaceAll(result, u"\u2019", u"'");
    replaceAll(result, u"{$}", u"\r\n");
    return platform::utf8ToGbk(utf16ToUtf8(result));
}

}  // namespace tovakin::web
