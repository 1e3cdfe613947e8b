#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>

#include "cli/cli_runner.h"
#include "sim/simulated_world.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tovakin {
namespace {

using Result = testing::CliResult;

Result run(const std::string& arguments) {
    return testing::runCliLine(arguments);
}

// `tovakin-cli serve` as a child process with its standard output and error on pipes.
class ServeProcess {
public:
    explicit ServeProcess(const std::vector<std::string>& arguments) {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        std::vector<std::string> all{TOVAKIN_CLI, "serve"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, TOVAKIN_CLI, &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        m_out = fdopen(out[0], "r");
        m_err = fdopen(err[0], "r");
    }
    ~ServeProcess() {
        stop();
        if (m_out != nullptr) {
            fclose(m_out);
        }
        if (m_err != nullptr) {
            fclose(m_err);
        }
    }
    // One line of standard output or error; empty at its end.
    std::string outLine() { return line(m_out); }
    std::string errLine() { return line(m_err); }
    // SIGTERM, then the exit status.
    int stop() {
        if (m_pid <= 0) {
            return m_status;
        }
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return m_status;
    }

private:
    static std::string line(FILE* file) {
        std::array<char, 1024> buffer{};
        return file != nullptr && fgets(buffer.data(), static_cast<int>(buffer.size()), file) != nullptr
                   ? std::string(buffer.data())
                   : std::string();
    }
    pid_t m_pid = -1;
    int m_status = -1;
    FILE* m_out = nullptr;
    FILE* m_err = nullptr;
};

class QueryCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.start());
        ASSERT_TRUE(world.writeSessionCookies(dir / "cookies.txt"));
        testing::writeFile(dir / "sim.ini",
                           world.configurationText(dir / "cookies.txt") + "[query]\r\naddress=127.0.0.1\r\n");
    }
    testing::TempDir dir;
    sim::SimulatedWorld world;
};

TEST_F(QueryCommandsTest, ServeAnswersQueriesAndLogsConnectionsUntilTerminated) {
    ServeProcess serve(
        {"--port", "0", "--config", (dir / "sim.ini").string(), "--run-dir", dir.path().string()});
    const std::string listening = serve.errLine();
    const auto at = listening.find("port ");
    ASSERT_NE(at, std::string::npos) << listening;
    const std::string port = std::to_string(std::stoi(listening.substr(at + 5)));

    const sim::CatalogItem& item = world.catalog().items().front();
    const Result found = run("query --port " + port + " " + item.itemId);
    EXPECT_EQ(found.status, 0);
    const std::string rate = item.commissionRate.empty() ? "0.00" : item.commissionRate;
    EXPECT_TRUE(found.out.starts_with(
        "http://redirect.simba.taobao.localhost:" + std::to_string(world.port()) + "/rd?w=unionnojs&f="))
        << found.out;
    EXPECT_TRUE(found.out.ends_with("分割线" + rate + "分割线\n")) << found.out;

    const Result unknown = run("query --host 127.0.0.1 --port " + port + " 123");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "分割线分割线商品信息不存在或商品编号不正确，！\n");

    // One log line per connection: identity, five spaces, the date-time text.
    for (int i = 0; i < 2; ++i) {
        const std::string line = serve.outLine();
        EXPECT_TRUE(line.starts_with("127.0.0.1:")) << line;
        EXPECT_NE(line.find("     20"), std::string::npos) << line;
        EXPECT_NE(line.find("年"), std::string::npos) << line;
    }
    EXPECT_EQ(serve.stop(), 0);
    EXPECT_EQ(run("query --port " + port + " --timeout 2 " + item.itemId).status, 3);
}

TEST_F(QueryCommandsTest, UsageErrorsAndAPortInUse) {
    EXPECT_EQ(run("query").status, 2);
    EXPECT_EQ(run("query --port 70000 1").status, 2);
    EXPECT_EQ(run("serve --port x").status, 2);
    EXPECT_EQ(run("serve --config " + (dir / "missing.ini").string()).status, 2);
    // The simulated world holds its port: serve cannot listen there.
    const std::string port = std::to_string(world.port());
    ServeProcess serve({"--port", port, "--config", (dir / "sim.ini").string()});
    EXPECT_NE(serve.errLine().find("in use"), std::string::npos);
    EXPECT_EQ(serve.stop(), 1);
}

}  // namespace
}  // namespace tovakin
