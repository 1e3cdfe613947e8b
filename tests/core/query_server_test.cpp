#include "core/query/query_server.h"

#include <gtest/gtest.h>

#include <asio.hpp>
#include <atomic>
#include <condition_variable>
#include <random>
#include <sstream>
#include <thread>

#include "core/app/application.h"
#include "core/app/configuration.h"
#include "core/query/link_lookup.h"
#include "core/query/query_client.h"
#include "core/query/query_reply.h"
#include "core/text/gbk_literal.h"
#include "core/web/affiliate_client.h"
#include "core/web/cookie_store.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_desktop.h"
#include "platform/text_codec.h"
#include "sim/simulated_world.h"
#include "support/app_fixture.h"
#include "support/temp_dir.h"

namespace tovakin::query {
namespace {

using namespace std::chrono_literals;
using namespace text::literals;
using asio::ip::tcp;

constexpr auto kWait = 20s;  // a bound for waits that end much sooner, never a measured goal
const char* const kApiHost = "pub.alimama.localhost";
const char* const kAuctionCodePath = "/common/code/getAuctionCode.json";
const char* const kSearchPath = "/pubauc/searchAuctionList.json";

// Waits for a condition another thread brings about.
template <typename Condition>
bool eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// A raw client for what QueryClient would not send: exact bytes, half-closes.
struct RawClient {
    explicit RawClient(std::uint16_t port) : socket(io) {
        socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    }
    void send(std::string_view bytes) { asio::write(socket, asio::buffer(bytes.data(), bytes.size())); }
    // Everything until the server closes the connection.
    std::string readToEnd() {
        std::string all;
        std::array<char, 8192> buffer{};
        asio::error_code ec;
        while (true) {
            const std::size_t n = socket.read_some(asio::buffer(buffer), ec);
            if (ec) {
                return all;
            }
            all.append(buffer.data(), n);
        }
    }
    asio::io_context io;
    tcp::socket socket;
};

// The simulated platform in this process and a server on a free loopback port asking it.
class QueryServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.start());
        client.emplace(web::AffiliateRequests(world.endpoints(), {}));
        web::cookieStore().importNetscape(world.sessionCookies());
        world.server().setRecording(true);
        startServer({});
    }

    void startServer(QueryServerOptions options) {
        options.address = "127.0.0.1";
        options.port = 0;
        server = std::make_unique<QueryServer>(
            options, [this](const std::string& id) { return answerQuery(*client, id); },
            [this](const std::string& identity) {
                std::lock_guard lock(mutex);
                connections.push_back(identity);
            });
        ASSERT_TRUE(server->start()) << server->error();
    }

    std::string ask(std::string_view id) {
        QueryClient queryClient;
        EXPECT_TRUE(queryClient.connect("127.0.0.1", server->port(), kWait)) << queryClient.error();
        return queryClient.ask(id, kWait).value_or("(no reply: " + queryClient.error() + ")");
    }

    const sim::CatalogItem& itemWith(bool commission) const {
        for (const sim::CatalogItem& item : world.catalog().items()) {
            if (item.commissionRate.empty() != commission) {
                return item;
            }
        }
        throw std::logic_error("catalog without such an item");
    }

    std::string redirectPrefix() const {
        return "http://redirect.simba.taobao.localhost:" + std::to_string(world.port()) +
               "/rd?w=unionnojs&f=";
    }

    std::vector<sim::HttpRequest> upstream(std::string_view path) {
        std::vector<sim::HttpRequest> matching;
        for (sim::HttpRequest& request : world.server().requests()) {
            if (request.path == path) {
                matching.push_back(std::move(request));
            }
        }
        return matching;
    }

    sim::SimulatedWorld world;
    std::optional<web::AffiliateClient> client;  // once the world has its port
    std::unique_ptr<QueryServer> server;
    std::mutex mutex;
    std::vector<std::string> connections;
};

TEST_F(QueryServerTest, AnswersFoundAndNotFoundOnOneConnectionAndLogsIt) {
    const sim::CatalogItem& earning = itemWith(true);
    const sim::CatalogItem& plain = itemWith(false);
    QueryClient queryClient;
    ASSERT_TRUE(queryClient.connect("127.0.0.1", server->port(), kWait));

    const std::string found = queryClient.ask(earning.itemId, kWait).value_or("");
    ASSERT_TRUE(found.starts_with(redirectPrefix())) << found;
    EXPECT_TRUE(found.ends_with("分割线"_gbk + earning.commissionRate + "分割线"_gbk)) << found;
    EXPECT_EQ(found.find("分割线"_gbk), found.rfind("分割线"_gbk) - earning.commissionRate.size() - 6);
    // The platform answers 0.00 for an item without commission.
    EXPECT_TRUE(queryClient.ask(plain.itemId, kWait).value_or("").ends_with("分割线0.00分割线"_gbk));
    EXPECT_EQ(queryClient.ask("123", kWait), notFoundReply());
    EXPECT_EQ(platform::gbkToUtf8(notFoundReply()), "分割线分割线商品信息不存在或商品编号不正确，！");

    // The auction code first, then the commission search, for every id.
    const auto requests = world.server().requests();
    ASSERT_EQ(requests.size(), 6u);
    for (std::size_t i = 0; i < requests.size(); i += 2) {
        EXPECT_EQ(requests[i].path, kAuctionCodePath);
        EXPECT_EQ(requests[i + 1].path, kSearchPath);
    }
    std::lock_guard lock(mutex);
    ASSERT_EQ(connections.size(), 1u);
    EXPECT_TRUE(connections[0].starts_with("127.0.0.1:")) << connections[0];
}

TEST_F(QueryServerTest, AFoundItemWithoutCommissionFieldEndsWithTwoMarkers) {
    world.server().route(kApiHost, kSearchPath, [](const sim::HttpRequest&) {
        return sim::HttpResponse::text(R"({"data":{"pagelist":null},"ok":true})", "application/json");
    });
    const std::string reply = ask(itemWith(true).itemId);
    EXPECT_TRUE(reply.starts_with(redirectPrefix())) << reply;
    EXPECT_TRUE(reply.ends_with("分割线分割线"_gbk)) << reply;
    EXPECT_EQ(reply.find("分割线"_gbk), reply.size() - 12);
}

TEST_F(QueryServerTest, ChunksAreIdsAsTheyStandAndNeverReachTheRequestLine) {
    const std::string id = itemWith(true).itemId;
    const std::string other = world.catalog().items().back().itemId;
    struct Case {
        std::string chunk;
        bool found;
        std::string auctionIdSent;  // empty: no request upstream at all
    };
    const Case cases[] = {
        {id + "\r\n", false, id + "%0D%0A"},
        {id + "\r\nX-Injected: 1", false, id + "%0D%0AX-Injected%3A%201"},
        {id + other, false, id + other},                 // two ids in one chunk: one request
        {id + std::string(1, '\0') + "tail", true, id},  // a text ends at its first zero byte
        {std::string(65, '1'), false, ""},               // cannot be an item id
        {std::string(1, '\0'), false, ""},
    };
    for (const Case& c : cases) {
        world.server().clearRequests();
        const std::string reply = ask(c.chunk);
        EXPECT_EQ(reply != notFoundReply(), c.found) << c.chunk;
        const auto codes = upstream(kAuctionCodePath);
        if (c.auctionIdSent.empty()) {
            EXPECT_TRUE(world.server().requests().empty()) << c.chunk;
            continue;
        }
        ASSERT_EQ(codes.size(), 1u) << c.chunk;
        EXPECT_NE(codes[0].target.find("auctionid=" + c.auctionIdSent + "&"), std::string::npos)
            << codes[0].target;
        for (const sim::HttpRequest& request : world.server().requests()) {
            EXPECT_FALSE(request.hasHeader("X-Injected"));
            EXPECT_EQ(request.raw.find("\r\nX-Injected"), std::string::npos);
        }
    }
}

TEST_F(QueryServerTest, AMegabyteOfRandomBytesGetsNotFoundRepliesWithoutAskingThePlatform) {
    std::string noise(1 << 20, '\0');
    std::mt19937 random(7);
    for (char& c : noise) {
        c = static_cast<char>(random() | 1);  // no zero byte, so every chunk is long
    }
    RawClient raw(server->port());
    raw.send(noise);
    raw.socket.shutdown(tcp::socket::shutdown_send);
    // Every chunk answered before the server closes the half-closed connection.
    const std::string replies = raw.readToEnd();
    ASSERT_FALSE(replies.empty());
    ASSERT_EQ(replies.size() % notFoundReply().size(), 0u);
    EXPECT_GE(replies.size() / notFoundReply().size(), (1u << 20) / 4096);
    for (std::size_t at = 0; at < replies.size(); at += notFoundReply().size()) {
        ASSERT_EQ(replies.compare(at, notFoundReply().size(), notFoundReply()), 0) << at;
    }
    EXPECT_TRUE(world.server().requests().empty());
    EXPECT_TRUE(ask(itemWith(true).itemId).starts_with(redirectPrefix()));
}

TEST_F(QueryServerTest, SilentClientsAreClosedWhenIdleAndLeavingClientsDoNoHarm) {
    QueryServerOptions options;
    options.idleTimeout = 300ms;
    startServer(options);
    RawClient silent(server->port());
    // A client that leaves before its slow answer came.
    world.server().setBehaviour(kApiHost, kAuctionCodePath, sim::RouteBehaviour::delayed(200ms));
    {
        RawClient leaving(server->port());
        leaving.send(itemWith(true).itemId);
    }
    world.server().setBehaviour(kApiHost, kAuctionCodePath, {});
    EXPECT_TRUE(ask(itemWith(true).itemId).starts_with(redirectPrefix()));
    EXPECT_EQ(silent.readToEnd(), "");  // closed by the server
    EXPECT_TRUE(eventually([&] { return server->openConnections() == 0; }));
}

TEST_F(QueryServerTest, PlatformDownOrAnsweringGarbageGivesNotFound) {
    world.server().route(kApiHost, kAuctionCodePath, [](const sim::HttpRequest&) {
        return sim::HttpResponse::text("<html>garbage \"http://redirect</html>");
    });
    EXPECT_EQ(ask(itemWith(true).itemId), notFoundReply());
    world.stop();
    EXPECT_EQ(ask(itemWith(true).itemId), notFoundReply());
}

TEST_F(QueryServerTest, APortInUseIsReportedAndTheServerStaysDown) {
    asio::io_context io;
    tcp::acceptor holder(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    QueryServerOptions options;
    options.address = "127.0.0.1";
    options.port = holder.local_endpoint().port();
    QueryServer blocked(options, [](const std::string&) { return std::string("x"); });
    EXPECT_FALSE(blocked.start());
    EXPECT_NE(blocked.error().find("in use"), std::string::npos) << blocked.error();
    EXPECT_NE(blocked.error().find(std::to_string(options.port)), std::string::npos) << blocked.error();
    EXPECT_FALSE(blocked.running());
}

// Answers in parallel, yet each connection gets its replies in the order it asked.
TEST(QueryServerOrder, ClientsAreServedAtOnceAndEachInItsOwnOrder) {
    constexpr int kClients = 8;
    std::mutex mutex;
    std::condition_variable changed;
    int slowRunning = 0;
    bool allAtOnce = false;
    const auto answer = [&](const std::string& id) {
        std::unique_lock lock(mutex);
        if (id.starts_with("slow")) {
            // Held until every client's slow request runs: proof that they run together.
            allAtOnce = allAtOnce || ++slowRunning == kClients;
            changed.notify_all();
            changed.wait_for(lock, kWait, [&] { return allAtOnce; });
        }
        return "reply-" + id;
    };
    QueryServerOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    QueryServer server(options, answer);
    ASSERT_TRUE(server.start());

    std::vector<std::string> received(kClients);
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i] {
            RawClient raw(server.port());
            const std::string slow = "slow" + std::to_string(i);
            const std::string fast = "fast" + std::to_string(i);
            raw.send(slow);
            std::this_thread::sleep_for(50ms);  // a chunk of its own
            raw.send(fast);
            const std::size_t expected = ("reply-" + slow + "reply-" + fast).size();
            std::array<char, 256> buffer{};
            while (received[i].size() < expected) {
                received[i].append(buffer.data(), raw.socket.read_some(asio::buffer(buffer)));
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_TRUE(allAtOnce);
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(received[i], "reply-slow" + std::to_string(i) + "reply-fast" + std::to_string(i));
    }
}

TEST(QueryReply, ShapesAndConnectionLogEntry) {
    EXPECT_EQ(foundReply("http://r/1", "5.50"), "http://r/1分割线5.50分割线"_gbk);
    EXPECT_TRUE(isCompleteReply(foundReply("http://r/1", "")));
    EXPECT_TRUE(isCompleteReply(notFoundReply()));
    for (const std::string& partial :
         {std::string("http://r/1"), "http://r/1分割线5.5"_gbk, "http://r/1分割线"_gbk, "分割线分割线"_gbk}) {
        EXPECT_FALSE(isCompleteReply(partial)) << partial;
    }
    EXPECT_EQ(platform::gbkToUtf8(connectionLogEntry("10.0.0.7:50123", {2014, 8, 16, 14, 0, 30})),
              "10.0.0.7:50123     2014年8月16日14时0分30秒");
}

TEST(QueryConfiguration, PortAndAddressKeys) {
    testing::TempDir dir;
    struct Case {
        std::string text;
        std::uint16_t port;
        std::string address;
    };
    const Case cases[] = {
        {"", 19730, "0.0.0.0"},
        {"[query]\r\nport=0\r\naddress=127.0.0.1\r\n", 0, "127.0.0.1"},
        {"[query]\r\nport=8080\r\n", 8080, "0.0.0.0"},
        {"[query]\r\nport=70000\r\n", 19730, "0.0.0.0"},
        {"[query]\r\nport=12ab\r\n", 19730, "0.0.0.0"},
    };
    for (const Case& c : cases) {
        testing::writeFile(dir / "tovakin.ini", c.text);
        const app::LoadedConfiguration loaded = app::configurationFor(dir.path(), std::nullopt);
        EXPECT_EQ(loaded.configuration.queryPort, c.port) << c.text;
        EXPECT_EQ(loaded.configuration.queryAddress, c.address) << c.text;
    }
    // Built in code (tests, one-shot commands): no query service.
    EXPECT_FALSE(app::Configuration{}.queryPort);
}

// The server as the window runs it: started by the created handler,
// connections in 列表框3, a port in use reported in 编辑框3.
class QueryServiceInApplicationTest : public QueryServerTest, protected testing::FakeServices {
protected:
    QueryServiceInApplicationTest() { clock.set({2014, 8, 16, 14, 5, 0}); }

protected:
    app::Application& startApp(std::uint16_t port) {
        app::Configuration config;
        config.endpoints = world.endpoints();
        config.queryPort = port;
        config.queryAddress = "127.0.0.1";
        application = std::make_unique<app::Application>(app::AppOptions{dir.path(), config}, services());
        application->start();
        application->waitUntilLoaded();
        return *application;
    }
    testing::TempDir dir;
    std::unique_ptr<app::Application> application;
};

TEST_F(QueryServiceInApplicationTest, ConnectionsAreLoggedAndAnswered) {
    app::Application& app = startApp(0);
    ASSERT_NE(app.queryServer(), nullptr);
    QueryClient queryClient;
    ASSERT_TRUE(queryClient.connect("127.0.0.1", app.queryServer()->port(), kWait));
    EXPECT_TRUE(queryClient.ask(itemWith(true).itemId, kWait).value_or("").starts_with(redirectPrefix()));
    const auto items = app.controls().state(app.controls().id("列表框3")).items;
    ASSERT_EQ(items.size(), 1u);
    EXPECT_TRUE(platform::gbkToUtf8(items[0]).starts_with("127.0.0.1:")) << platform::gbkToUtf8(items[0]);
    EXPECT_TRUE(platform::gbkToUtf8(items[0]).ends_with("     2014年8月16日14时5分"))
        << platform::gbkToUtf8(items[0]);
    EXPECT_EQ(app.controls().text("编辑框3"), "");
    app.close();
    EXPECT_FALSE(queryClient.ask("1", 2s));  // closed with the window
}

TEST_F(QueryServiceInApplicationTest, APortInUseIsLoggedAndTheRestGoesOn) {
    asio::io_context io;
    tcp::acceptor holder(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    app::Application& app = startApp(holder.local_endpoint().port());
    EXPECT_EQ(app.queryServer(), nullptr);
    const std::string log = platform::gbkToUtf8(app.controls().text("编辑框3"));
    EXPECT_TRUE(log.starts_with("查询服务未能启动：cannot listen on 127.0.0.1:")) << log;
    EXPECT_EQ(app.versionText(), "8-16");
    // The lookup buttons work as ever.
    app.controls().setText("编辑框4", itemWith(true).itemId);
    app.click("按钮8");
    app.loop().invoke([] {});
    ASSERT_TRUE(app.linkLookup().waitUntilIdle(kWait));
    const std::string link = app.controls().text("编辑框5");
    EXPECT_TRUE(link.starts_with("http://s.click.taobao.localhost:")) << link;
    app.click("按钮9");
    app.loop().invoke([] {});
    EXPECT_EQ(clipboard.text(), link);
}

}  // namespace
}  // namespace tovakin::query
