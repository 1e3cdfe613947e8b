#include "core/profile/profile_document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/text/gbk_literal.h"

namespace tovakin::profile {
namespace {

using namespace tovakin::text::literals;

// Re-reading a document from its own bytes must give the same bytes again and
// the same answer for every key: memory and file never disagree.
void expectStableRoundTrip(const ProfileDocument& document,
                           const std::vector<std::pair<std::string, std::string>>& probes) {
    const std::string bytes = document.serialize();
    const ProfileDocument reread = ProfileDocument::parse(bytes);
    EXPECT_EQ(reread.serialize(), bytes);
    for (const auto& [section, key] : probes) {
        EXPECT_EQ(document.value(section, key), reread.value(section, key)) << "[" << section << "] " << key;
    }
}

// ---- writes ---------------------------------------------------------------

struct Edit {
    std::string section;
    std::string key;
    std::string value;
    bool remove = false;
};

Edit put(std::string section, std::string key, std::string value) {
    return {std::move(section), std::move(key), std::move(value), false};
}
Edit erase(std::string section, std::string key) {
    return {std::move(section), std::move(key), {}, true};
}

struct WriteCase {
    std::string name;
    std::string initial;
    std::vector<Edit> edits;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const WriteCase& c) {
    return out << c.name;
}

class ProfileDocumentWriteTest : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileDocumentWriteTest, LeavesExactBytes) {
    const WriteCase& c = GetParam();
    ProfileDocument document = ProfileDocument::parse(c.initial);
    std::vector<std::pair<std::string, std::string>> probes;
    for (const Edit& edit : c.edits) {
        if (edit.remove) {
            document.removeKey(edit.section, edit.key);
        } else {
            document.setValue(edit.section, edit.key, edit.value);
        }
        probes.emplace_back(edit.section, edit.key);
    }
    EXPECT_EQ(document.serialize(), c.expected);
    expectStableRoundTrip(document, probes);
}

std::vector<WriteCase> writeCases() {
    const std::string& count = "数量"_gbk;
    const std::string& details = "详细信息"_gbk;
    return {
        {"FromNothing",
         "",
         {put("S1", "a", "1"), put("S2", "b", "2"), put("S1", "c", "3"), put("s1", "A", "9")},
         "[S1]\r\na=9\r\nc=3\r\n[S2]\r\nb=2\r\n"},
        {"GbkNamesFromNothing",
         "",
         {put(count, count, "1"), put(details, "1", "x"), put(count, count, "2")},
         "[" + count + "]\r\n" + count + "=2\r\n[" + details + "]\r\n1=x\r\n"},
        {"NewKeyBeforeBlankSeparator",
         "[A]\r\nx=1\r\n\r\n\r\n[B]\r\ny=2\r\n",
         {put("A", "z", "3")},
         "[A]\r\nx=1\r\nz=3\r\n\r\n\r\n[B]\r\ny=2\r\n"},
        {"BlankLineOfSpacesCountsAsBlank",
         "[A]\r\nx=1\r\n \t\r\n[B]\r\n",
         {put("A", "z", "3")},
         "[A]\r\nx=1\r\nz=3\r\n \t\r\n[B]\r\n"},
        {"NewKeyAfterTrailingComment",
         "[A]\r\nx=1\r\n; note\r\n\r\n",
         {put("A", "y", "2")},
         "[A]\r\nx=1\r\n; note\r\ny=2\r\n\r\n"},
        {"NewKeyInEmptySection",
         "[A]\r\n\r\n[B]\r\nk=1\r\n",
         {put("A", "k", "v")},
         "[A]\r\nk=v\r\n\r\n[B]\r\nk=1\r\n"},
        {"NewKeyInMiddleSectionThenItsRewrite",
         "[A]\r\n[B]\r\n[C]\r\n",
         {put("B", "k", "1"), put("B", "k", "2"), put("A", "j", "3")},
         "[A]\r\nj=3\r\n[B]\r\nk=2\r\n[C]\r\n"},
        {"NewSectionAfterLastLineWithoutLineEnd",
         "[A]\nx=1",
         {put("B", "y", "2")},
         "[A]\r\nx=1\r\n[B]\r\ny=2\r\n"},
        {"NewSectionAfterTrailingBlankLines",
         "[A]\r\nx=1\r\n\r\n",
         {put("B", "y", "2")},
         "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
        {"RewriteKeepsFirstSpellingAndDropsSpaces",
         "[Sec]\r\n  Key = old \r\n",
         {put("SEC", "kEY", "new")},
         "[Sec]\r\nKey=new\r\n"},
        {"ValueWrittenVerbatim", "", {put("A", "k", "  \"v\"  ")}, "[A]\r\nk=  \"v\"  \r\n"},
        {"NamesTrimmed", "[A]\r\n", {put(" A\t", " k ", "v")}, "[A]\r\nk=v\r\n"},
        {"FirstOfDuplicateSectionsWins",
         "[A]\r\nx=1\r\n[a]\r\nx=2\r\n",
         {put("a", "x", "9"), put("A", "y", "3")},
         "[A]\r\nx=9\r\ny=3\r\n[a]\r\nx=2\r\n"},
        {"FirstOfDuplicateKeysWins", "[A]\r\nx=1\r\nX=2\r\n", {put("A", "x", "9")}, "[A]\r\nx=9\r\nX=2\r\n"},
        {"CommentsAndJunkNeverMatch",
         "[A]\r\n;x=1\r\nx\r\n[x=5\r\n",
         {put("A", "x", "2")},
         "[A]\r\n;x=1\r\nx\r\n[x=5\r\nx=2\r\n"},
        {"LinesBeforeFirstSectionBelongToNone",
         "x=1\r\n[A]\r\n",
         {put("A", "x", "2")},
         "x=1\r\n[A]\r\nx=2\r\n"},
        {"TrailByteLetterIsNotFolded",
         "[\x81"
         "A]\r\nk=1\r\n",
         {put("\x81"
              "a",
              "k", "2")},
         "[\x81"
         "A]\r\nk=1\r\n[\x81"
         "a]\r\nk=2\r\n"},
        {"EqualsInValueKept", "[A]\r\nk=a=b\r\n", {put("A", "k", "c=d")}, "[A]\r\nk=c=d\r\n"},
        {"RemoveFirstOfDuplicateKeys", "[A]\r\nx=1\r\nx=2\r\n", {erase("A", "x")}, "[A]\r\nx=2\r\n"},
        {"RemoveThenRewriteUsesFreshIndex",
         "[A]\r\na=1\r\nb=2\r\nc=3\r\n",
         {erase("A", "a"), put("A", "c", "9"), put("A", "b", "8"), put("A", "d", "7")},
         "[A]\r\nb=8\r\nc=9\r\nd=7\r\n"},
        {"RemoveMissingKeyChangesNothing",
         "[A]\r\nk=1\r\n",
         {erase("A", "j"), erase("B", "k")},
         "[A]\r\nk=1\r\n"},
        {"RemoveKeepsSectionHeader", "[A]\r\nk=1\r\n[B]\r\n", {erase("a", "K")}, "[A]\r\n[B]\r\n"},
        {"LineBreakInValueSplitsTheLine",
         "",
         {put("A", "k", "1\r\nj=2"), put("A", "j", "3")},
         "[A]\r\nk=1\r\nj=3\r\n"},
        {"EqualsInKeyReadsAsShorterKey", "", {put("A", "a=b", "c"), put("A", "a", "d")}, "[A]\r\na=d\r\n"},
        {"BracketInSectionName", "", {put("a]b", "k", "1"), put("a", "k", "2")}, "[a]b]\r\nk=2\r\n"},
    };
}

INSTANTIATE_TEST_SUITE_P(ProfileWrites, ProfileDocumentWriteTest, testing::ValuesIn(writeCases()),
                         [](const testing::TestParamInfo<WriteCase>& param) { return param.param.name; });

TEST(ProfileDocumentTest, ManyAppendedKeysStayIndexed) {
    // The key index is kept up to date on append rather than rebuilt; a stale
    // entry would show up as a wrong value or a duplicated line.
    ProfileDocument document = ProfileDocument::parse("[first]\r\nn=0\r\n[list]\r\n\r\n");
    for (int i = 1; i <= 3000; ++i) {
        document.setValue("first", "n", std::to_string(i));
        document.setValue("list", std::to_string(i), std::to_string(i) + "v");
    }
    document.setValue("list", "1500", "changed");
    EXPECT_EQ(document.value("first", "n"), "3000");
    EXPECT_EQ(document.value("list", "1500"), "changed");
    EXPECT_EQ(document.value("list", "3000"), "3000v");
    const std::string bytes = document.serialize();
    EXPECT_TRUE(bytes.starts_with("[first]\r\nn=3000\r\n[list]\r\n1=1v\r\n"));
    EXPECT_TRUE(bytes.ends_with("\r\n3000=3000v\r\n\r\n"));
    EXPECT_EQ(ProfileDocument::parse(bytes).serialize(), bytes);
}

// ---- reading --------------------------------------------------------------

struct ReadCase {
    std::string name;
    std::string file;
    std::string section;
    std::string key;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const ReadCase& c) {
    return out << c.name;
}

class ProfileDocumentReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ProfileDocumentReadTest, ReadsValue) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(ProfileDocument::parse(c.file).value(c.section, c.key), c.expected);
}

std::vector<ReadCase> readCases() {
    const std::string& count = "数量"_gbk;
    const std::string limit(kMaxValueBytes, 'x');
    return {
        {"TrimsSpaces", "[S]\r\nk=  v w  \r\n", "S", "k", "v w"},
        {"TrimsTabs", "[S]\r\nk=\tv\t\r\n", "S", "k", "v"},
        {"DoubleQuotesRemoved", "[S]\r\nk=\"  v  \"\r\n", "S", "k", "  v  "},
        {"SingleQuotesRemoved", "[S]\r\nk='v'\r\n", "S", "k", "v"},
        {"QuotesRemovedAfterTrim", "[S]\r\nk=  \"v\"  \r\n", "S", "k", "v"},
        {"OnlyOnePairRemoved", "[S]\r\nk=\"\"v\"\"\r\n", "S", "k", "\"v\""},
        {"MismatchedQuotesKept", "[S]\r\nk=\"v'\r\n", "S", "k", "\"v'"},
        {"LoneQuoteKept", "[S]\r\nk=\"\r\n", "S", "k", "\""},
        {"EmptyQuotes", "[S]\r\nk=\"\"\r\n", "S", "k", ""},
        {"InnerQuoteKept", "[S]\r\nk=\"a\"b\"\r\n", "S", "k", "a\"b"},
        {"EqualsInValue", "[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
        {"KeyAndSectionTrimmed", " [ S ] \r\n  k\t= v\r\n", "S", "k", "v"},
        {"LookupNamesTrimmed", "[S]\r\nk=v\r\n", " S ", "\tk ", "v"},
        {"SectionCaseIgnored", "[Sec]\r\nk=v\r\n", "sEC", "k", "v"},
        {"KeyCaseIgnored", "[S]\r\nKey=v\r\n", "S", "kEY", "v"},
        {"FirstDuplicateSection", "[S]\r\nk=1\r\n[s]\r\nk=2\r\nj=3\r\n", "S", "k", "1"},
        {"DuplicateSectionNotMerged", "[S]\r\nk=1\r\n[s]\r\nk=2\r\nj=3\r\n", "S", "j", ""},
        {"FirstDuplicateKey", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", "1"},
        {"MissingSection", "[S]\r\nk=1\r\n", "T", "k", ""},
        {"MissingKey", "[S]\r\nk=1\r\n", "S", "j", ""},
        {"KeyOfOtherSection", "[S]\r\nk=1\r\n[T]\r\n", "T", "k", ""},
        {"EmptyFile", "", "S", "k", ""},
        {"CommentNeverMatches", "[S]\r\n;k=1\r\n", "S", ";k", ""},
        {"LineWithoutEqualsNeverMatches", "[S]\r\nk\r\n", "S", "k", ""},
        {"BrokenHeaderIsNotAKey", "[S]\r\n[k=1\r\n", "S", "[k", ""},
        {"LinesBeforeFirstSection", "k=1\r\n[S]\r\n", "", "k", ""},
        {"EmptySectionName", "[]\r\nk=1\r\n", "", "k", "1"},
        {"BareLineFeeds", "[S]\nj=1\nk=2", "S", "k", "2"},
        {"TextAfterHeaderIgnored", "[S] ; note\r\nk=1\r\n", "S", "k", "1"},
        {"GbkNames", "[" + count + "]\r\n" + count + "=5\r\n", count, count, "5"},
        {"TrailByteLetterNotFolded",
         "[\x81"
         "A]\r\nk=1\r\n",
         "\x81"
         "a",
         "k", ""},
        {"TrailByteLetterExact",
         "[\x81"
         "A]\r\nk=1\r\n",
         "\x81"
         "A",
         "k", "1"},
        {"TrailByteLetterInKeyNotFolded",
         "[S]\r\n\x81"
         "Ab=1\r\n",
         "S",
         "\x81"
         "aB",
         ""},
        {"TrailByteBracketInsideSectionName", "[\x81]]\r\nk=1\r\n", "\x81]", "k", "1"},
        // Invalid pairs follow the same character rule as valid ones.
        {"QuoteInsideLastCharDoesNotClose", "[S]\r\nk=\"ab\x81\"\r\n", "S", "k", "\"ab\x81\""},
        {"EqualsInsideCharIsNotTheSeparator", "[S]\r\n\x81=k=1\r\n", "S", "\x81=k", "1"},
        {"ValueAtLimitKept", "[S]\r\nk=" + limit + "\r\n", "S", "k", limit},
        {"ValueCutAtLimit", "[S]\r\nk=" + limit + "yz\r\n", "S", "k", limit},
        {"CutAfterQuotesRemoved", "[S]\r\nk=\"" + limit + "\"\r\n", "S", "k", limit},
        {"CutAfterTrim", "[S]\r\nk=   " + limit + "\r\n", "S", "k", limit},
        {"CharStraddlingLimitDropped", "[S]\r\nk=" + limit.substr(1) + count + "\r\n", "S", "k",
         limit.substr(1)},
        {"CharEndingAtLimitKept", "[S]\r\nk=" + limit.substr(2) + count + "\r\n", "S", "k",
         limit.substr(2) + count.substr(0, 2)},
    };
}

INSTANTIATE_TEST_SUITE_P(ProfileReads, ProfileDocumentReadTest, testing::ValuesIn(readCases()),
                         [](const testing::TestParamInfo<ReadCase>& param) { return param.param.name; });

TEST(ProfileDocumentTest, RemovedKeyUncoversItsDuplicate) {
    ProfileDocument document = ProfileDocument::parse("[S]\r\nk=1\r\nj=0\r\nK=2\r\n");
    EXPECT_TRUE(document.hasKey("s", "K"));
    document.removeKey("S", "k");
    EXPECT_EQ(document.value("S", "k"), "2");
    EXPECT_EQ(document.value("S", "j"), "0");
    document.removeKey("S", "k");
    EXPECT_FALSE(document.hasKey("S", "k"));
    EXPECT_EQ(document.value("S", "k"), "");
}

TEST(ProfileDocumentTest, EmptyValueIsStillAKey) {
    const ProfileDocument document = ProfileDocument::parse("[S]\r\nk=\r\n");
    EXPECT_TRUE(document.hasKey("S", "k"));
    EXPECT_FALSE(document.hasKey("S", "j"));
    EXPECT_FALSE(document.hasKey("T", "k"));
}

// ---- junk -----------------------------------------------------------------

TEST(ProfileDocumentJunkTest, KeepsJunkVerbatimAndStillFindsKeys) {
    const std::string junk("\0\x01\xff\xfe\r\n", 6);
    const std::string file = junk + "[S]\r\nlone\rcr=1\r\n" + std::string("nul\0key=2\r\n", 11) +
                             "k=\x81\nj=3\r\n\x81\r\n" + "tail\x81";
    ProfileDocument document = ProfileDocument::parse(file);
    EXPECT_EQ(document.value("S", "lone\rcr"), "1");
    EXPECT_EQ(document.value("S", std::string("nul\0key", 7)), "2");
    // A lead byte right before a line feed must not swallow the line end.
    EXPECT_EQ(document.value("S", "k"), "\x81");
    EXPECT_EQ(document.value("S", "j"), "3");

    document.setValue("S", "new", "4");
    const std::string expected = junk + "[S]\r\nlone\rcr=1\r\n" + std::string("nul\0key=2\r\n", 11) +
                                 "k=\x81\r\nj=3\r\n\x81\r\ntail\x81\r\nnew=4\r\n";
    EXPECT_EQ(document.serialize(), expected);
    expectStableRoundTrip(document, {{"S", "new"}, {"S", "j"}, {"S", "k"}});
}

TEST(ProfileDocumentJunkTest, HugeValueIsCutAndHugeJunkIsHarmless) {
    const std::size_t huge = 50u << 20;
    std::string file = "[S]\r\nk=";
    file.append(huge, '\xb0');  // lead bytes throughout: every pair reads as one character
    file += "\r\n";
    file.append(std::size_t{1} << 20, 'z');  // one long line, no "=" and no line end
    ProfileDocument document = ProfileDocument::parse(file);
    const std::string value = document.value("S", "k");
    EXPECT_EQ(value.size(), kMaxValueBytes - 1);
    EXPECT_EQ(document.value("S", std::string(10, 'z')), "");

    document.setValue("S", "k", std::string(huge, 'q'));
    EXPECT_EQ(document.value("S", "k"), std::string(kMaxValueBytes, 'q'));
    EXPECT_EQ(document.serialize().size(), 5 + 2 + huge + 2 + (std::size_t{1} << 20) + 2);
}

TEST(ProfileDocumentJunkTest, RandomBytesNeverBreakTheDocument) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string alphabet =
        "[]=;\"' \t\r\n\x81\xfe"
        "aA";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int round = 0; round < 50; ++round) {
        std::string file;
        for (int i = 0; i < 4000; ++i) {
            // Mostly the bytes the parser cares about, so headers and keys do occur.
            file += (i % 3 == 0) ? static_cast<char>(byte(random)) : alphabet[pick(random)];
        }
        ProfileDocument document = ProfileDocument::parse(file);
        std::vector<std::pair<std::string, std::string>> probes;
        for (int i = 0; i < 20; ++i) {
            std::string section(1, alphabet[pick(random)]);
            std::string key(1, alphabet[pick(random)]);
            std::string value(3, alphabet[pick(random)]);
            if (i % 4 == 3) {
                document.removeKey(section, key);
            } else {
                document.setValue(section, key, value);
            }
            probes.emplace_back(std::move(section), std::move(key));
        }
        expectStableRoundTrip(document, probes);
    }
}

}  // namespace
}  // namespace tovakin::profile
