#include "core/app/date_texts.h"

#include <charconv>

#include "core/text/gbk_literal.h"

namespace tovakin::app {

using namespace text::literals;

namespace {
std::string joined(int a, const std::string& sepA, int b, const std::string& sepB, int c,
                   const std::string& tail = {}) {
    return std::to_string(a) + sepA + std::to_string(b) + sepB + std::to_string(c) + tail;
}

// A "0" in front, then the last two characters.
std::string twoDigits(int value) {
    std::string padded = std::to_string(value);
    padded.insert(padded.begin(), '0');
    return padded.substr(padded.size() - 2);
}
}  // namespace

std::string dateText(int style, const LocalTime& m) {
    switch (style) {
        case 0:
            return joined(m.year, "年"_gbk, m.month, "月"_gbk, m.day, "日"_gbk);
        case 1:
            return joined(m.year, "-", m.month, "-", m.day);
        case 2:
            return joined(m.year, "/", m.month, "/", m.day);
        case 3:
            return joined(m.year, "", m.month, "", m.day);
        default:
            return {};
    }
}

std::string timeText(int style, const LocalTime& m) {
    switch (style) {
        case 0:
            return joined(m.hour, "时"_gbk, m.minute, "分"_gbk, m.second, "秒"_gbk);
        case 1:
            return joined(m.hour, ":", m.minute, ":", m.second);
        case 2:
            return joined(m.hour, "-", m.minute, "-", m.second);
        case 3:
            return joined(m.hour, "/", m.minute, "/", m.second);
        default:
            return {};
    }
}

std::string timestampText(const LocalTime& m) {
    return dateText(1, m) + " " + std::to_string(m.hour) + ":" + twoDigits(m.minute) + ":" +
           twoDigits(m.second);
}

std::string dateTimeText(const LocalTime& m) {
    std::string text = dateText(0, m);
    if (m.hour == 0 && m.minute == 0 && m.second == 0) {
        return text;
    }
    text += std::to_string(m.hour) + "时"_gbk;
    if (m.minute == 0 && m.second == 0) {
        return text;
    }
    text += std::to_string(m.minute) + "分"_gbk;
    if (m.second == 0) {
        return text;
    }
    return text + std::to_string(m.second) + "秒"_gbk;
}

std::optional<LocalTime> parseLocalTime(std::string_view text) {
    // Fixed layout: YYYY-MM-DD HH:MM:SS
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':') {
        return std::nullopt;
    }
    auto field = [&](std::size_t pos, std::size_t len, int& out) {
        const char* first = text.data() + pos;
        const auto [end, ec] = std::from_chars(first, first + len, out);
        return ec == std::errc() && end == first + len;
    };
    LocalTime t;
    if (!field(0, 4, t.year) || !field(5, 2, t.month) || !field(8, 2, t.day) || !field(11, 2, t.hour) ||
        !field(14, 2, t.minute) || !field(17, 2, t.second)) {
        return std::nullopt;
    }
    static constexpr int daysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > daysInMonth[t.month - 1] ||
        (t.month == 2 && t.day == 29 && !leap) || t.hour > 23 || t.minute > 59 || t.second > 59) {
        return std::nullopt;
    }
    return t;
}

}  // namespace tovakin::app
