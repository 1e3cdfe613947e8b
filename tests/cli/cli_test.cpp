#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <sstream>

#include "cli/cli_runner.h"
#include "core/text/gbk_literal.h"
#include "support/temp_dir.h"

namespace tovakin {
namespace {

using namespace text::literals;

using Result = testing::CliResult;

// Standard error joins standard output.
Result cli(const std::vector<std::string>& args) {
    return testing::runCli(args);
}

std::vector<std::string> lines(const std::string& text) {
    return testing::outputLines(text);
}

TEST(Cli, ProfileRoundTripWritesGbkAndPrintsUtf8) {
    testing::TempDir dir;
    const std::string file = (dir / "t.ini").string();
    EXPECT_EQ(cli({"profile", "set", file, "数据", "标题", "  \"夏季 T恤\"  "}).status, 0);
    EXPECT_EQ(cli({"profile", "set", file, "数据", "条数", "1"}).status, 0);
    EXPECT_EQ(testing::readFile(file), "[数据]\r\n标题=  \"夏季 T恤\"  \r\n条数=1\r\n"_gbk);
    EXPECT_EQ(cli({"profile", "get", file, "数据", "标题"}).out, "夏季 T恤\n");
    EXPECT_EQ(cli({"profile", "delete", file, "数据", "标题"}).status, 0);
    EXPECT_EQ(cli({"profile", "get", file, "数据", "标题"}).out, "\n");
    EXPECT_EQ(cli({"profile", "get", (dir / "none.ini").string(), "a", "b"}).out, "\n");
}

TEST(Cli, DateAndTimeTexts) {
    EXPECT_EQ(cli({"date-text", "0", "2014-08-16 09:05:07"}).out, "2014年8月16日\n");
    EXPECT_EQ(cli({"time-text", "3", "2015-01-01 00:00:00"}).out, "0/0/0\n");
    EXPECT_EQ(cli({"timestamp-text", "2015-01-01 00:00:00"}).out, "2015-1-1 0:00:00\n");
    EXPECT_EQ(cli({"date-text", "9", "2015-01-01 00:00:00"}).out, "\n");
}

TEST(Cli, BadArgumentsGiveOneLineAndANonZeroStatus) {
    const std::vector<std::vector<std::string>> bad = {
        {"frobnicate"},
        {"profile", "get", "f"},
        {"profile", "set", "f", "s", "k"},
        {"date-text"},
        {"date-text", "x"},
        {"time-text", "1", "2014-02-30 00:00:00"},
        {"timestamp-text", "now", "extra"},
        {"controls", "--bogus"},
    };
    for (const auto& args : bad) {
        const Result result = cli(args);
        EXPECT_NE(result.status, 0) << args[0];
        EXPECT_EQ(lines(result.out).size(), 1u) << result.out;
    }
}

TEST(Cli, ControlsStartsHeadlessAndPrintsEveryControl) {
    testing::TempDir dir;
    const std::string day = (dir / "2014-8-16.txt").string();
    cli({"profile", "set", day, "数量", "数量", "1"});
    cli({"profile", "set", day, "详细信息", "1",
         "7-分割线-9.90-分割线-p-分割线-5%-分割线-衬衫-分割线-http://s.click/7"});
    const Result result = cli({"controls", "--run-dir", dir.path().string(), "--now", "2014-08-16 10:00:00"});
    ASSERT_EQ(result.status, 0) << result.out;
    const auto all = lines(result.out);
    ASSERT_GT(all.size(), 60u);
    EXPECT_EQ(all[0], "{\"caption\":\"Tovakin-8-16        0条记录\"}");
    const auto find = [&](const std::string& name) {
        for (const auto& line : all) {
            if (line.find("{\"name\":\"" + name + "\"") == 0) {
                return line;
            }
        }
        return std::string();
    };
    EXPECT_NE(
        find("超级列表框1").find("\"rows\":[[\"7\",\"9.90\",\"p\",\"5%\",\"衬衫\",\"http://s.click/7\"]]"),
        std::string::npos);
    EXPECT_NE(find("按钮_获取句柄").find("\"enabled\":true"), std::string::npos);
    EXPECT_NE(find("按钮3").find("\"visible\":false"), std::string::npos);
    EXPECT_NE(find("进度条1").find("\"progressMax\":1,\"progressPosition\":1"), std::string::npos);
}

TEST(Cli, AnUnusableRunDirectoryIsAClearError) {
    testing::TempDir dir;
    testing::writeFile(dir / "file", "x");
    // /proc takes no new files, not even from root.
    for (const std::string& runDir :
         {(dir / "missing").string(), (dir / "file").string(), std::string("/proc")}) {
        const Result result = cli({"controls", "--run-dir", runDir});
        EXPECT_EQ(result.status, 1) << runDir;
        EXPECT_EQ(lines(result.out).size(), 1u) << result.out;
        EXPECT_NE(result.out.find("run directory " + runDir), std::string::npos) << result.out;
    }
}

}  // namespace
}  // namespace tovakin
