#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "cli/cli_runner.h"
#include "sim/http_server.h"
#include "support/temp_dir.h"

namespace tovakin {
namespace {

using sim::HttpRequest;
using sim::HttpResponse;

using CliRun = testing::CliResult;

// Standard output only, bytes as written.
CliRun cli(const std::string& arguments) {
    return testing::runCliLine(arguments);
}

class HttpCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_server.route("shop.localhost", "/page", [](const HttpRequest& request) {
            return HttpResponse::text(std::string("\xC9\xCC\xC6\xB7\0end", 8))
                .addHeader("X-Seen-Cookie", request.header("Cookie"));
        });
        m_server.route("shop.localhost", "/closed",
                       [](const HttpRequest&) { return HttpResponse::text(""); });
        m_server.setBehaviour("shop.localhost", "/closed",
                              sim::RouteBehaviour::failing(sim::RouteFailure::CloseWithoutAnswer));
        ASSERT_TRUE(m_server.start());
    }

    sim::HttpServer m_server;
};

TEST_F(HttpCommandTest, GetPrintsTheHeaderBlockAnEmptyLineAndTheBodyBytes) {
    const CliRun run = cli("http get " + m_server.url("shop.localhost", "/page"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\nX-Seen-Cookie: \r\n"
              "Content-Length: 8\r\nConnection: keep-alive\r\n\r\n" +
                  std::string("\xC9\xCC\xC6\xB7\0end", 8));
    ASSERT_EQ(m_server.requests().size(), 1u);
    EXPECT_TRUE(m_server.requests()[0].raw.starts_with("GET /page HTTP/1.1\r\n"));
}

TEST_F(HttpCommandTest, CookiesOptionSendsTheFilesCookies) {
    testing::TempDir dir;
    testing::writeFile(dir / "cookies.txt",
                       "# Netscape HTTP Cookie File\n"
                       "shop.localhost\tFALSE\t/\tFALSE\t0\tcookie2\tsess42\n"
                       ".other.test\tTRUE\t/\tFALSE\t0\tnot\tsent\n");
    const CliRun run = cli("http --cookies " + (dir / "cookies.txt").string() + " get " +
                           m_server.url("shop.localhost", "/page"));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("X-Seen-Cookie: cookie2=sess42\r\n"), std::string::npos) << run.out;
}

TEST_F(HttpCommandTest, FailuresAndBadArguments) {
    EXPECT_EQ(cli("http get " + m_server.url("shop.localhost", "/closed")).status, 1);
    EXPECT_EQ(cli("http put x").status, 2);
    EXPECT_EQ(cli("http get").status, 2);
    EXPECT_EQ(cli("http get x --cookies /nonexistent/cookies.txt").status, 2);
}

}  // namespace
}  // namespace tovakin
