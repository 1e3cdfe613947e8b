#include "core/web/text_encoding.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/text/gbk_literal.h"

namespace tovakin::web {
namespace {

using namespace text::literals;

struct Case {
    std::string input;
    std::string expected;
};

TEST(Utf8TextToGbk, ConvertsWithTheWindowsReplacements) {
    const std::vector<Case> cases = {
        {"中文", "中文"_gbk},
        {"plain ASCII 123", "plain ASCII 123"},
        {"\xE2\x82\xAC", "\x80"},       // the euro sign has its own byte in GBK
        {"a\xF0\x9F\x98\x80z", "a?z"},  // an emoji GBK cannot hold
        {"a\xFF"
         "b\xE4\xB8"
         "c",
         "a?b?c"},                         // one "?" per malformed sequence
        {std::string("ab\0cd", 5), "ab"},  // a text ends at its first zero byte
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8TextToGbk(c.input), c.expected) << c.input;
    }
}

TEST(Utf8BytesToGbk, ComposesMarksAndEndsAtAZeroByte) {
    const std::vector<Case> cases = {
        {"\xF0\x9F\x98\x80 标题", "? 标题"_gbk},
        {"e\xCC\x81", "é"_gbk},          // e + combining acute: the pinyin é of GBK
        {"u\xCC\x88\xCC\x84", "ǖ"_gbk},  // two marks compose step by step
        {"a\xCC\x83", "?"},              // ã exists but not in GBK: one "?"
        {std::string("ab\0cd", 5), "ab"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8BytesToGbk(c.input), c.expected) << c.input;
    }
    EXPECT_EQ(utf8TextToGbk("e\xCC\x81"), "e?");  // the text conversion does not compose
}

TEST(Big5ToSimplifiedGbk, MapsToSimplifiedAndEndsBeforeWhatGbkLacks) {
    const std::vector<Case> cases = {
        {"\xB8\xEA\xAE\xC6", "资料"_gbk},        // 資料
        {"\xBB\x4F\xC6\x57 ok", "台湾 ok"_gbk},  // 臺灣
        {"\xB8\xEA\xA1\x45\xAE\xC6", "资"_gbk},  // ‧ (A145) is not in GBK: the text ends there
        {"\xA3\xE1", "\x80"},                    // euro
        {std::string("\xB8\xEA\0\xAE\xC6", 5), "资"_gbk},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(big5ToSimplifiedGbk(c.input), c.expected);
    }
}

TEST(TimestampMs, GivesThirteenDigitsThatDoNotGoBack) {
    const std::string first = timestampMs();
    const std::string second = timestampMs();
    for (const auto& t : {first, second}) {
        EXPECT_EQ(t.size(), 13u) << t;
        EXPECT_TRUE(std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; })) << t;
    }
    EXPECT_LE(first, second);
}

TEST(UnescapeText, ResolvesLiteralAndPercentEscapes) {
    const std::vector<Case> cases = {
        {"\\u4E2D\\u6587", "中文"_gbk},
        {"%u4E2D%u6587", "中文"_gbk},
        {"\\\\u4E2D", "中"_gbk},         // "\\u": the second backslash still starts %u
        {"a%20b%zz%u12", "a b%zz%u12"},  // an incomplete escape stays as it is
        {"http:\\/\\/x.cn\\/a\\\"b", "http://x.cn/a\"b"},
        {"\\n\\t\\x41\\101\\q", "\n\tAAq"},
        {"%u00e9", "é"_gbk},
        {"%uD83D%uDE00!", "?!"},  // outside GBK
        {"it's ’quoted’"_gbk, "it's 'quoted'"},
        {"a{$}b", "a\r\nb"},
        {"line1\r\nline2", "line1\r\nline2"},
        {"\rabc", "abc"},  // one leading carriage return goes
        {"a\\0b", "a"},    // a zero character ends the text
    };
    for (const auto& c : cases) {
        EXPECT_EQ(unescapeText(c.input), c.expected) << c.input;
    }
}

TEST(UnescapeText, GivesEmptyTextForALiteralThatWouldNotParse) {
    for (const std::string input : {"abc\\", "a\nb", "a\rb", "a\\\nb", "\r\rx", ""}) {
        EXPECT_EQ(unescapeText(input), "") << input;
    }
}

TEST(UnescapeText, ReadsWholeGbkCharacters) {
    // 乗 is 81 5C: its trail byte is a backslash, which must not escape the "u" after it,
    // nor make the text end "in a backslash".
    const std::string jou = "\x81\x5C";
    EXPECT_EQ(unescapeText(jou + "u4E2D"), jou + "u4E2D");
    EXPECT_EQ(unescapeText("a" + jou), "a" + jou);
    EXPECT_EQ(unescapeText("\x81\x7B$}"), "\x81\x7B$}");  // 亄 + "$}" is no "{$}"
}

}  // namespace
}  // namespace tovakin::web
