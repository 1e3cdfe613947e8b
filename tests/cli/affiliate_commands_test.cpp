#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "cli/cli_runner.h"
#include "sim/simulated_world.h"
#include "support/temp_dir.h"

namespace tovakin {
namespace {

using Result = testing::CliResult;

Result run(const std::string& arguments) {
    return testing::runCliLine(arguments);
}

// The simulated world in this process; the real tovakin-cli talks to it with
// the configuration and session cookie file the world hands out.
class AffiliateCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.start());
        ASSERT_TRUE(world.writeSessionCookies(dir / "cookies.txt"));
        testing::writeFile(dir / "sim.ini", world.configurationText(dir / "cookies.txt"));
        config = " --config " + (dir / "sim.ini").string();
    }
    testing::TempDir dir;
    sim::SimulatedWorld world;
    std::string config;
};

TEST_F(AffiliateCommandsTest, FetchesEveryKindForAKnownItem) {
    const sim::CatalogItem& item = world.catalog().items().front();
    const Result link = run("affiliate fetch link " + item.itemId + config);
    EXPECT_EQ(link.status, 0);
    EXPECT_EQ(link.out.rfind("http://s.click.taobao.localhost:" + std::to_string(world.port()) + "/t?", 0),
              0u)
        << link.out;
    EXPECT_EQ(run("affiliate fetch commission " + item.itemId + config).out,
              (item.commissionRate.empty() ? "0.00" : item.commissionRate) + "\n");
    EXPECT_EQ(run("affiliate fetch title " + item.itemId + config).out, item.title + "\n");
    const Result code = run("affiliate fetch code " + item.itemId + config);
    EXPECT_EQ(code.status, 0);
    EXPECT_NE(code.out.find("/rd?w=unionnojs"), std::string::npos) << code.out;
}

TEST_F(AffiliateCommandsTest, UnknownIdsAndMissingSessionsFindNothing) {
    const Result unknown = run("affiliate fetch code 123" + config);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "http://redirect.simba.taobao.localhost:" + std::to_string(world.port()) + "/\n");
    // A hostile id stays inside its query value.
    EXPECT_EQ(run("affiliate fetch link '1\r\nHost: x'" + config).status, 1);
    // Without the session cookie the platform sends the login page: no value.
    testing::writeFile(dir / "cookies.txt", "");
    EXPECT_EQ(run("affiliate fetch link " + world.catalog().items().front().itemId + config).status, 1);
}

TEST_F(AffiliateCommandsTest, BadArgumentsAndMissingConfiguration) {
    EXPECT_EQ(run("affiliate fetch nothing 1").status, 2);
    EXPECT_EQ(run("affiliate url link").status, 2);
    EXPECT_EQ(run("affiliate url link 1 --config " + (dir / "missing.ini").string()).status, 2);
}

}  // namespace
}  // namespace tovakin
