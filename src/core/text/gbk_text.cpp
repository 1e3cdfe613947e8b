#include "core/text/gbk_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tovakin::text {

std::size_t gbkCharLength(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && isGbkLeadByte(static_cast<unsigned char>(text[pos]))) {
        return 2;
    }
    return 1;
}

std::size_t findAtCharBoundary(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) {
        return from <= text.size() ? from : std::string_view::npos;
    }
    std::size_t boundary = from;  // next character start at or after which we may match
    std::size_t pos = from;
    while (true) {
        pos = text.find(needle, pos);
        if (pos == std::string_view::npos) {
            return pos;
        }
        while (boundary < pos) {
            boundary += gbkCharLength(text, boundary);
        }
        if (boundary == pos) {
            return pos;
        }
        pos = boundary;
    }
}

std::vector<std::string> splitText(std::string_view text, std::string_view separator) {
    std::vector<std::string> parts;
    if (text.empty()) {
        return parts;
    }
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t hit = findAtCharBoundary(text, separator, start);
        if (hit == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, hit - start));
        start = hit + separator.size();
    }
}

std::string_view takeLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

std::string joinText(const std::vector<std::string>& parts, std::string_view separator) {
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i != 0) {
            joined += separator;
        }
        joined += parts[i];
    }
    return joined;
}

namespace {
char foldByte(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    std::size_t pos = 0;
    while (pos < a.size()) {
        const std::size_t len = gbkCharLength(a, pos);
        if (len == 2) {
            if (a[pos] != b[pos] || a[pos + 1] != b[pos + 1]) {
                return false;
            }
        } else if (foldByte(a[pos]) != foldByte(b[pos])) {
            return false;
        }
        pos += len;
    }
    return true;
}

std::string foldAsciiCase(std::string_view text) {
    std::string folded(text);
    std::size_t pos = 0;
    while (pos < folded.size()) {
        const std::size_t len = gbkCharLength(folded, pos);
        if (len == 1) {
            folded[pos] = foldByte(folded[pos]);
        }
        pos += len;
    }
    return folded;
}

std::string_view cutAtCharBoundary(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t pos = 0;
    while (pos < maxBytes) {
        const std::size_t len = gbkCharLength(text, pos);
        if (pos + len > maxBytes) {
            break;
        }
        pos += len;
    }
    return text.substr(0, pos);
}

namespace {
bool isCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}
}  // namespace

double textToNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isCSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::string_view rest = text.substr(pos);
    if (rest.empty() || rest.front() == '+' || rest.front() == '-') {
        return 0.0;
    }
    double value = 0.0;
    std::from_chars_result result{};
    if (startsWithNoCase(rest, "0x") && rest.size() > 2 && rest[2] != '+' && rest[2] != '-') {
        result = std::from_chars(rest.data() + 2, rest.data() + rest.size(), value, std::chars_format::hex);
        if (result.ec == std::errc::invalid_argument) {
            return 0.0;  // "0x" without digits: atof reads the 0
        }
    } else {
        result = std::from_chars(rest.data(), rest.data() + rest.size(), value);
        if (result.ec == std::errc::invalid_argument) {
            return 0.0;
        }
    }
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow gives HUGE_VAL like strtod; underflow gives 0.
        const auto digits = rest.find_first_of("123456789");
        const auto exponent = rest.find_first_of("eEpP");
        const bool underflow = exponent != std::string_view::npos && exponent + 1 < rest.size() &&
                               rest[exponent + 1] == '-' && digits != std::string_view::npos;
        value = underflow ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

std::int64_t textToInteger(std::string_view text) {
    const double value = std::trunc(textToNumber(text));
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double limit = 9.2233720368547748e18;  // 2^63
    if (value >= limit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value <= -limit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

}  // namespace tovakin::text
