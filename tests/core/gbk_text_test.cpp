#include "core/text/gbk_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/text/gbk_literal.h"

namespace tovakin::text {
namespace {

using namespace literals;

TEST(GbkTextSplit, KeepsEmptyPartsAndGivesNothingForEmptyText) {
    const std::string sep = "-分割线-"_gbk;
    EXPECT_EQ(splitText("a" + sep + sep + "b" + sep, sep), (std::vector<std::string>{"a", "", "b", ""}));
    EXPECT_TRUE(splitText("", sep).empty());
    EXPECT_EQ(splitText("abc", sep), (std::vector<std::string>{"abc"}));
}

TEST(GbkTextSplit, NeverMatchesAcrossTwoCharacters) {
    // "！~！" is A3A1 7E A3A1. In "\xB0\xA3" + "\xA1\x7E" + "！" the bytes A3 A1 7E A3 A1
    // appear, but A3 is the trail byte of the first character.
    const std::string sep = "！~！"_gbk;
    const std::string text = std::string("\xB0\xA3\xA1\x7E") + "！"_gbk + "x";
    EXPECT_EQ(splitText(text, sep).size(), 1u);
    EXPECT_EQ(splitText("a" + sep + "b", sep), (std::vector<std::string>{"a", "b"}));
}

TEST(GbkTextCase, FoldsAsciiLettersButNotTrailBytes) {
    EXPECT_TRUE(equalsIgnoringAsciiCase("DaTa", "data"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("data", "date"));
    // 0x81 0x41 and 0x81 0x61 are two different characters whose trail bytes are 'A' and 'a'.
    EXPECT_FALSE(equalsIgnoringAsciiCase("\x81\x41", "\x81\x61"));
    EXPECT_EQ(foldAsciiCase("K\x81\x41Z"), "k\x81\x41z");
}

TEST(GbkTextCut, NeverEndsInHalfACharacter) {
    const std::string text = "ab"_gbk + "数量"_gbk;  // 2 + 4 bytes
    EXPECT_EQ(cutAtCharBoundary(text, 10), text);
    EXPECT_EQ(cutAtCharBoundary(text, 5), "ab"_gbk + "数"_gbk);
    EXPECT_EQ(cutAtCharBoundary(text, 3), "ab");
}

TEST(GbkTextNumber, ReadsLikeAtof) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"", 0},       {"abc", 0},     {"12", 12},       {"  -7.5xyz", -7.5}, {"+3", 3},
        {"1e3", 1000}, {"0x1A", 26},   {"0x", 0},        {"39.90", 39.9},     {"--5", 0},
        {".5", 0.5},   {"\t\n42", 42}, {"5-分割线-", 5},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(textToNumber(c.text), c.value) << c.text;
    }
    EXPECT_TRUE(std::isinf(textToNumber("1e999")));
}

TEST(GbkTextNumber, IntegerTruncatesTowardZeroAndClamps) {
    EXPECT_EQ(textToInteger("6.9"), 6);
    EXPECT_EQ(textToInteger("-6.9"), -6);
    EXPECT_EQ(textToInteger("nan"), 0);
    EXPECT_EQ(textToInteger("1e300"), INT64_MAX);
}

}  // namespace
}  // namespace tovakin::text
