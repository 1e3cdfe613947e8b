#include "core/web/text_extraction.h"

#include <gtest/gtest.h>

#include <random>

#include "core/text/gbk_literal.h"
#include "core/web/regex_matcher.h"

namespace tovakin::web {
namespace {

using namespace text::literals;
using Values = std::vector<std::string>;

// 乤 is 81 61 and 丄 81 41: their trail bytes read as "a" and "A".
const std::string kTrailA = "\x81\x61";
const std::string kTrailUpperA = "\x81\x41";

TEST(TextBetween, FindsTheFirstValueIgnoringAsciiCase) {
    struct Case {
        std::string text, left, right, expected;
    };
    const std::string answer = R"({"data":{"pageList":[{"commissionRatePercent":12.5,"title":"x"}]}})";
    const std::vector<Case> cases = {
        {answer, "COMMISSIONratePercent\":", ",", "12.5"},
        {answer, "commissionRate\":", ",", ""},                   // left marker absent
        {answer, "\"title\":\"", "#", ""},                        // right marker absent
        {"a,b=1,c", "b=", ",", "1"},                              // a right marker before the left one
        {answer, "#引号title#引号:#引号"_gbk, "#引号"_gbk, "x"},  // placeholder for a double quote
        {kTrailA + "=9;a=1;", "A=", ";", "1"},                    // a trail byte is not a letter
        {kTrailUpperA + "=9;", "a=", ";", ""},
        {"标题：短袖T恤，"_gbk, "标题："_gbk, "，"_gbk, "短袖T恤"_gbk},
        {"abc", "", "c", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(textBetween(c.text, c.left, c.right), c.expected) << c.text << " / " << c.left;
    }
}

TEST(TextBetweenAt, WalksThroughTheTextByPosition) {
    const std::string page = "<b>11</b>x<b>22</b>";
    std::int64_t position = 0;
    EXPECT_EQ(textBetweenAt(page, "<b>", "</b>", position), "11");
    EXPECT_EQ(position, 10);  // just after the first "</b>", counted from 1
    EXPECT_EQ(textBetweenAt(page, "<b>", "</b>", position), "22");
    EXPECT_EQ(position, 20);
    EXPECT_EQ(textBetweenAt(page, "<b>", "</b>", position), "");
    EXPECT_EQ(position, 0);

    position = -7;  // below 1 means from the start
    EXPECT_EQ(textBetweenAt(page, "<b>", "</b>", position), "11");
    position = 1;
    EXPECT_EQ(textBetweenAt("<b></b>", "<b>", "</b>", position), "");  // touching markers
    EXPECT_EQ(position, 8);
}

TEST(TextBetweenAt, FailsWithPositionZero) {
    struct Case {
        std::string text, left, right;
        std::int64_t from;
    };
    const std::vector<Case> cases = {
        {"<B>1</B>", "<b>", "</b>", 0},           // exact bytes
        {"<b>1</b>", "<b>", "</b>", 2},           // left marker only before the position
        {"<b>1</b>", "<b>", "</b>", 99},          // beyond the text
        {"<b>1</b>", "", "</b>", 0},              // empty marker
        {"", "<b>", "</b>", 0},                   // empty text
        {kTrailA + "]1[", "a]", "[", 0},          // the marker would start on a trail byte
        {"a]1" + kTrailA + "[x", "a]", "a[", 0},  // so would the right one
    };
    for (const auto& c : cases) {
        std::int64_t position = c.from;
        EXPECT_EQ(textBetweenAt(c.text, c.left, c.right, position), "") << c.text;
        EXPECT_EQ(position, 0) << c.text;
    }
    std::int64_t position = 0;
    EXPECT_EQ(textBetweenAt(kTrailA + "]1[a]2[", "a]", "[", position), "2");
}

struct FindCase {
    std::string name, subject, left, right;
    Values expected;
};

TEST(FindAllBetween, FollowsTheRulesOfTheMarkerExpression) {
    const std::string link = R"(<a href="http://item.taobao.com/item.htm?id=)";
    const std::string page = "<ul>\n<li>" + link + "101\"></a></li>\n<li>" + link + "102\"></a>" + link +
                             "103\"></a></li>\n</ul>\n";
    const std::vector<FindCase> cases = {
        {"three links in page order", page, "item.htm?id=", "\"></a>", {"101", "102", "103"}},
        {"letter case ignored", "ITEM.HTM?ID=7\"></A>", "item.htm?id=", "\"></a>", {"7"}},
        {"none", "<ul></ul>", "item.htm?id=", "\"></a>", {}},
        {"no line feed in a value", "<i>1\n2</i><i>3</i>", "<i>", "</i>", {"3"}},
        {"a carriage return is no line feed", "<i>1\r2</i>", "<i>", "</i>", {"1\r2"}},
        {"braces are literal", R"([{"id":1},{"id":22}])", "\"id\":", "}", {"1", "22"}},
        {"shortest value, no overlap", "aXaYbZb", "a", "b", {"XaY"}},
        {"dot keeps its meaning", "itemXhtm=1;item.htm=2;", "item.htm=", ";", {"1", "2"}},
        {"dot takes a whole character", "a中b=1;"_gbk, "a.b=", ";", {"1"}},
        {"dollar is a line end", "k=1\r\nk=2\nk=3", "k=", "$", {"1", "2", "3"}},
        {"escapes of the expression", "id 42;id x;", "id \\d", ";", {"2"}},
        {"never on a trail byte", kTrailA + "=1;a=2;" + kTrailUpperA + "=3;", "a=", ";", {"2"}},
        {"values between Chinese markers",
         "名称：甲，名称：乙，"_gbk,
         "名称："_gbk,
         "，"_gbk,
         {"甲"_gbk, "乙"_gbk}},
        {"empty right marker", "a1a2", "a", "", {"", ""}},
        {"lone backslash rejects the expression", "a\\b;", "a\\", ";", {}},
        {"a backslash before ? makes it a quantifier", "a\\1;a2;", "a\\?", ";", {"1", "2"}},
        {"alternation goes to the full engine", "x=1;y=2;", "x=|y=", ";", {"", "2"}},
    };
    for (const auto& c : cases) {
        Values values = {"left over"};
        EXPECT_EQ(findAllBetween(c.subject, c.left, c.right, values), c.expected.size()) << c.name;
        EXPECT_EQ(values, c.expected) << c.name;
    }
}

// The direct scan must give what the expression engine gives, on subjects
// full of the traps: mixed case, line ends, trail bytes that look like letters,
// Chinese characters under ".".
TEST(FindAllBetween, AgreesWithTheExpressionEngine) {
    const std::vector<std::string> subjectPieces = {"a",  "A",  "b",      "B",     "x",          ".", "=",
                                                    "\n", "\r", "中"_gbk, kTrailA, kTrailUpperA, "1", " "};
    const std::vector<std::string> markerPieces = {"a",      "A",   "b", "x", ".", "=",
                                                   "中"_gbk, "\\d", "$", "^", "1"};
    std::mt19937 random(20140816);
    const auto build = [&](const std::vector<std::string>& pieces, std::size_t maxLength) {
        std::string text;
        const std::size_t length = random() % (maxLength + 1);
        for (std::size_t i = 0; i < length; ++i) {
            text += pieces[random() % pieces.size()];
        }
        return text;
    };
    for (int round = 0; round < 4000; ++round) {
        const std::string subject = build(subjectPieces, round % 10 == 0 ? 400 : 40);
        const std::string left = build(markerPieces, 3);
        const std::string right = build(markerPieces, 2);
        Values expected;
        RegexMatcher matcher;
        ASSERT_TRUE(matcher.execute(left + "(.*?)" + right, subject));
        for (int i = 1; i <= matcher.count(); ++i) {
            expected.push_back(matcher.submatch(i, 1));
        }
        Values values;
        findAllBetween(subject, left, right, values);
        ASSERT_EQ(values, expected) << "subject [" << subject << "] left [" << left << "] right [" << right
                                    << "]";
    }
}

TEST(RegexMatcher, KeepsEveryMatchWithItsGroups) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute("(\\w+)=(\\d+)?;", "A=1;b=;名=3;"_gbk));
    EXPECT_EQ(matcher.count(), 2);
    EXPECT_EQ(matcher.submatch(1, 1), "A");
    EXPECT_EQ(matcher.submatch(1, 2), "1");
    EXPECT_EQ(matcher.submatch(2, 2), "");  // took no part
    EXPECT_EQ(matcher.submatch(3, 1), "");  // no such match
    EXPECT_EQ(matcher.submatch(1, 3), "");  // no such group

    ASSERT_TRUE(matcher.execute("名(.)"_gbk, "名称名单"_gbk, true, true, false));
    EXPECT_EQ(matcher.count(), 1);
    EXPECT_EQ(matcher.submatch(1, 1), "称"_gbk);

    // line anchors as the script engines have them: a lone carriage return ends a line too
    ASSERT_TRUE(matcher.execute("^(\\w)$", "a\rb\nc\r\nd[$]"));
    EXPECT_EQ(matcher.count(), 3);
    EXPECT_EQ(matcher.submatch(3, 1), "c");
    ASSERT_TRUE(matcher.execute("[$^]", "$^"));
    EXPECT_EQ(matcher.count(), 2);

    EXPECT_TRUE(matcher.execute("a", "b"));
    EXPECT_EQ(matcher.count(), 0);
    EXPECT_FALSE(matcher.execute("(", "("));
    EXPECT_EQ(matcher.count(), 0);
}

}  // namespace
}  // namespace tovakin::web
