#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <set>

#include "cli/cli_runner.h"
#include "core/app/product_files.h"
#include "core/profile/profile_file.h"
#include "core/text/gbk_literal.h"
#include "core/text/gbk_text.h"
#include "sim/simulated_world.h"
#include "support/temp_dir.h"

namespace tovakin {
namespace {

using namespace text::literals;

using Result = testing::CliResult;

Result run(const std::string& arguments) {
    return testing::runCliLine(arguments, testing::Stderr::Merged);
}

class CollectCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.start());
        const auto cookies = dir.path() / "cookies.txt";
        ASSERT_TRUE(world.writeSessionCookies(cookies));
        testing::writeFile(dir.path() / "sim.ini", world.configurationText(cookies));
        std::filesystem::create_directory(runDir());
    }
    std::filesystem::path runDir() const { return dir.path() / "run"; }
    std::string collect() const {
        return "collect --run-dir " + runDir().string() + " --config " + (dir.path() / "sim.ini").string();
    }
    std::vector<std::filesystem::path> dayFiles() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(runDir())) {
            if (entry.path().extension() == ".txt") {
                files.push_back(entry.path());
            }
        }
        return files;
    }

    testing::TempDir dir;
    sim::SimulatedWorld world;
};

TEST_F(CollectCommandTest, CollectsCompletesAndWritesTheDayFileOnceADay) {
    const Result result = run(collect());
    ASSERT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find("折800网 第1页   30         "), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("U站中心 第8页       24         "), std::string::npos);
    EXPECT_NE(result.out.find("collected 652 products"), std::string::npos);

    const auto files = dayFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::filesystem::path& file = files.front();
    const auto read = [&file](std::string_view section, std::string_view key) {
        return profile::readProfileString(file, section, key);
    };
    const std::int64_t count = text::textToInteger(read("数量"_gbk, "数量"_gbk));
    // Every collected product gets a commission from the simulated platform.
    ASSERT_EQ(count, 652);
    std::set<std::string> listed;
    for (const sim::CatalogItem& item : world.catalog().items()) {
        listed.insert(item.itemId);
    }
    for (std::int64_t key = 1; key <= count; ++key) {
        const auto parts =
            text::splitText(read("详细信息"_gbk, std::to_string(key)), app::daily_data_file::separator());
        ASSERT_EQ(parts.size(), 6u) << key;
        EXPECT_TRUE(listed.contains(parts[0])) << key;
        EXPECT_FALSE(parts[3].empty()) << key;  // only rows with a commission
        EXPECT_FALSE(parts[5].empty()) << key;
        EXPECT_FALSE(parts[4].empty()) << key;
    }
    EXPECT_TRUE(read("详细信息"_gbk, std::to_string(count + 1)).empty());
    // Numbered from 1 in table order: the first product of the first page comes first.
    EXPECT_EQ(text::splitText(read("详细信息"_gbk, "1"), app::daily_data_file::separator())[0],
              world.guideSites().itemsOn(sim::GuideSource::Zhe800, 1).front()->itemId);

    // A second start on the same day loads the file instead of collecting.
    const Result again = run(collect());
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.out.find("exists already"), std::string::npos) << again.out;
    const Result controls = run("controls --run-dir " + runDir().string());
    ASSERT_EQ(controls.status, 0);
    const std::size_t table = controls.out.find("{\"name\":\"超级列表框1\"");
    ASSERT_NE(table, std::string::npos);
    const std::string line = controls.out.substr(table, controls.out.find('\n', table) - table);
    std::size_t rows = 0;
    for (std::size_t at = line.find("[\""); at != std::string::npos; at = line.find("[\"", at + 1)) {
        ++rows;
    }
    EXPECT_EQ(rows, 652u);
}

TEST_F(CollectCommandTest, NothingCollectedIsAnError) {
    for (const auto source : {sim::GuideSource::Zhe800, sim::GuideSource::Maidehao, sim::GuideSource::Zizai,
                              sim::GuideSource::UzhanCenter}) {
        world.guideSites().setFault(source, 0, sim::PageFault::NoAnswer);
    }
    const Result result = run(collect());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("nothing could be collected"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("折800网 第8页   0         "), std::string::npos);
    EXPECT_TRUE(dayFiles().empty());
}

}  // namespace
}  // namespace tovakin
