#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "cli/cli_runner.h"
#include "core/text/gbk_literal.h"
#include "support/temp_dir.h"

namespace tovakin {
namespace {

using namespace text::literals;

using Result = testing::CliResult;

// Runs the real tovakin-cli with `input` on standard input; standard error
// goes to the same bytes.
Result cli(const std::vector<std::string>& args, const std::string& input = "") {
    return testing::runCli(args, testing::Stderr::Merged, input);
}

TEST(TextCommands, ExtractFromGbkOnStandardInputWithUtf8Markers) {
    const std::string page = "<li>名称：甲</li>\n<li>名称：乙</li>\n"_gbk;
    EXPECT_EQ(cli({"text", "find-all", "名称：", "</li>"}, page).out, "甲\n乙\n"_gbk);
    EXPECT_EQ(cli({"text", "find-all", "none", "</li>"}, page).out, "");
    EXPECT_EQ(cli({"text", "between", "#引号ID#引号:", ","}, R"({"id":7,"x":1})").out, "7\n");
    EXPECT_EQ(cli({"text", "between-at", "<li>", "</li>", "2"}, page).out, "36\n" + "名称：乙"_gbk + "\n");
    EXPECT_EQ(cli({"text", "between-at", "<b>", "</b>", "0"}, page).out, "0\n\n");
}

TEST(TextCommands, ConvertAndUnescapeWriteBytes) {
    EXPECT_EQ(cli({"convert", "utf8-to-gbk"}, "中文 \xF0\x9F\x98\x80").out, "中文 ?"_gbk);
    EXPECT_EQ(cli({"convert", "utf8-bytes-to-gbk"}, "e\xCC\x81").out, "é"_gbk);
    EXPECT_EQ(cli({"convert", "big5-to-gbk"}, "\xB8\xEA\xAE\xC6").out, "资料"_gbk);
    EXPECT_EQ(cli({"text", "unescape"}, "\\u4E2D%20a\\/b\r\n").out, "中 a/b\r\n"_gbk);
    EXPECT_EQ(cli({"text", "unescape"}, "bad\\").out, "");
}

TEST(TextCommands, BadArgumentsGiveOneLineAndANonZeroStatus) {
    const std::vector<std::vector<std::string>> bad = {
        {"text"},
        {"text", "between", "a"},
        {"text", "between-at", "a", "b", "x1"},
        {"text", "find-all", "a", "b", "c"},
        {"text", "unescape", "x"},
        {"text", "split"},
        {"convert"},
        {"convert", "gbk-to-utf8"},
    };
    for (const auto& args : bad) {
        const Result result = cli(args);
        EXPECT_NE(result.status, 0) << args.size();
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
        EXPECT_EQ(result.out.rfind("tovakin-cli: ", 0), 0u) << result.out;
    }
}

}  // namespace
}  // namespace tovakin
