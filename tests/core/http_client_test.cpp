#include "core/web/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "core/text/gbk_literal.h"
#include "core/web/cookie_store.h"
#include "sim/http_server.h"

namespace tovakin {
namespace {

using namespace text::literals;
using sim::HttpRequest;
using sim::HttpResponse;
using web::HttpClient;

constexpr const char* kAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n";
constexpr const char* kTimedAgent =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)\r\n";
constexpr const char* kAccept =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
constexpr const char* kLanguage = "Accept-Language: zh-cn\r\n";
constexpr const char* kHost = "pub.example.test";

// Options with only the named fields set.
template <typename T, typename Set>
T with(Set set) {
    T value;
    set(value);
    return value;
}

// A loopback server that plays "pub.example.test" on every port; each test
// starts from an empty cookie store.
class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        web::cookieStore().clear();
        m_server.route("*", "*",
                       [](const HttpRequest& request) { return HttpResponse::text("ok " + request.path); });
        ASSERT_TRUE(m_server.start());
        m_server.serveHostForClients(kHost);
    }
    void TearDown() override {
        m_server.stop();
        web::clearHostOverrides();
        web::setHttpLimits({});
        web::cookieStore().clear();
    }

    std::string lastRaw() const {
        const auto requests = m_server.requests();
        return requests.empty() ? std::string() : requests.back().raw;
    }

    sim::HttpServer m_server;
};

struct ExactCase {
    const char* name;
    std::string url;
    web::RequestOptions options;
    std::string expected;  // the raw request
};

TEST_F(HttpClientTest, RequestSendsTheExactRequestLineAndHeaderBlock) {
    const std::string h = std::string("Host: ") + kHost;
    const std::vector<ExactCase> cases = {
        {"no scheme: http on port 80, path and query kept",
         "pub.example.test/a/b?x=1&y=2",
         {},
         "GET /a/b?x=1&y=2 HTTP/1.1\r\n" + h + "\r\n" + kAgent + kAccept +
             "Referer: http://pub.example.test/a/b?x=1&y=2\r\n" + kLanguage + "\r\n"},
        {"explicit port and query",
         "http://pub.example.test:8081/list.htm?page=2",
         {},
         "GET /list.htm?page=2 HTTP/1.1\r\n" + h + ":8081\r\n" + kAgent + kAccept +
             "Referer: http://pub.example.test:8081/list.htm?page=2\r\n" + kLanguage + "\r\n"},
        {"nothing after the host: path /, spaces trimmed",
         "  http://PUB.example.test  ",
         {},
         "GET / HTTP/1.1\r\n" + h + "\r\n" + kAgent + kAccept + "Referer: http://PUB.example.test\r\n" +
             kLanguage + "\r\n"},
        {"cookies end the block with their line", "http://pub.example.test/c",
         with<web::RequestOptions>([](auto& o) { o.cookies = "a=1; b=2"; }),
         "GET /c HTTP/1.1\r\n" + h + "\r\n" + kAgent + kAccept + "Referer: http://pub.example.test/c\r\n" +
             kLanguage + "Cookie: a=1; b=2\r\n\r\n"},
        {"caller headers in any letter case suppress the defaults they name", "http://pub.example.test/h",
         with<web::RequestOptions>([](auto& o) {
             o.headers = "accept-language: en\r\nX-Token: 7\r\nREFERER: http://elsewhere/\r\n";
         }),
         "GET /h HTTP/1.1\r\n" + h + "\r\n" + kAgent + "accept-language: en\r\nX-Token: 7\r\n" +
             "REFERER: http://elsewhere/\r\n" + kAccept + "\r\n"},
        {"POST with a body: form type and length, even when the caller gave a type",
         "http://pub.example.test/p", with<web::RequestOptions>([](auto& o) {
             o.method = 1;
             o.headers = "Content-Type: text/plain\r\n";
             o.body = "id=5&x=%41";
         }),
         "POST /p HTTP/1.1\r\n" + h + "\r\n" + kAgent + "Content-Type: text/plain\r\n" + kAccept +
             "Referer: http://pub.example.test/p\r\n" + kLanguage +
             "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 10\r\n\r\nid=5&x=%41"},
        {"POST without a body: neither type nor length", "http://pub.example.test/e",
         with<web::RequestOptions>([](auto& o) {
             o.method = 1;
             o.cookies = "s=1";
         }),
         "POST /e HTTP/1.1\r\n" + h + "\r\n" + kAgent + kAccept + "Referer: http://pub.example.test/e\r\n" +
             kLanguage + "Cookie: s=1\r\n\r\n"},
    };
    HttpClient client;
    for (const ExactCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string url = c.url;
        std::string headers;
        const std::string body = client.request(url, c.options, &headers);
        EXPECT_EQ(lastRaw(), c.expected);
        EXPECT_EQ(body.substr(0, 3), "ok ");
        EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n")) << headers;
        EXPECT_TRUE(headers.ends_with("Connection: keep-alive\r\n")) << headers;
    }
    std::string url = "  pub.example.test/x ";
    client.request(url);
    EXPECT_EQ(url, "http://pub.example.test/x");

    // A URL cannot break the request line or smuggle in header lines.
    url = "http://pub.example.test/a b?q=1\r\nX-Evil: 1#frag";
    client.request(url);
    EXPECT_TRUE(
        lastRaw().starts_with("GET /a%20b?q=1%0D%0AX-Evil:%201 HTTP/1.1\r\nHost: pub.example.test\r\n"))
        << lastRaw();
    EXPECT_EQ(lastRaw().find("\nX-Evil"), std::string::npos) << lastRaw();
}

TEST_F(HttpClientTest, TimedRequestComposesOnlyTheLinesTheCallerLacks) {
    const std::string h = std::string("Host: ") + kHost + "\r\n";
    HttpClient client;
    web::TimedRequestOptions post;
    post.method = 1;
    post.headers = "content-type: text/plain\r\n";
    post.body = "id=12";
    client.requestTimed("pub.example.test/q", post);
    EXPECT_EQ(lastRaw(), "POST /q HTTP/1.1\r\n" + h + kTimedAgent + "content-type: text/plain\r\n" + kAccept +
                             "Referer: http://pub.example.test/q\r\n" + kLanguage +
                             "Content-Length: 5\r\n\r\nid=12");

    web::TimedRequestOptions get;
    get.method = 2;  // anything but 1 is a GET
    get.headers = "user-agent:  Robot/2.0 \r\nRefererNo";
    get.cookies = "own=1";
    web::cookieStore().set(kHost, "stored", "2");
    client.requestTimed("http://pub.example.test/g", get);
    // The caller's agent line is the only one; its own cookies replace the store's.
    EXPECT_EQ(lastRaw(), "GET /g HTTP/1.1\r\n" + h + "user-agent:  Robot/2.0 \r\n" + kAccept + kLanguage +
                             "Cookie: own=1\r\n\r\n");
}

TEST_F(HttpClientTest, WrongMethodShowsTheBoxAndSendsNothing) {
    std::ostringstream log;
    app::LoggingDialogs dialogs(log);
    HttpClient client(with<web::HttpClientHooks>([&](auto& h) { h.dialogs = &dialogs; }));
    std::string url = "http://pub.example.test/m";
    EXPECT_EQ(client.request(url, with<web::RequestOptions>([](auto& o) { o.method = 2; })), "");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "友情提醒"_gbk);
    EXPECT_EQ(dialogs.messages()[0].text, "【网页_访问】命令的第二个【访问方式】参数有误,请返回修改"_gbk);
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(HttpClientTest, CookiesOfOneAnswerGoWithTheNextRequestFromAnyThread) {
    m_server.route(kHost, "/login", [](const HttpRequest&) {
        return HttpResponse::text("in")
            .addHeader("Set-Cookie", "cookie2=abc; Path=/; HttpOnly")
            .addHeader("set-cookie", "t=9");
    });
    HttpClient client;
    std::string url = "http://pub.example.test/login";
    client.request(url);
    EXPECT_EQ(web::cookieStore().get(kHost, "cookie2"), "abc");

    std::thread other([&] { EXPECT_EQ(client.getText("http://pub.example.test/api"), "ok /api"); });
    other.join();
    const HttpRequest sent = m_server.requests().back();
    EXPECT_EQ(sent.header("Cookie"), "cookie2=abc; t=9");
    // The store's line comes right after the agent, before the composed lines.
    EXPECT_NE(sent.raw.find(std::string(kAgent) + "Cookie: cookie2=abc; t=9\r\n" + kAccept),
              std::string::npos);

    // PlainHttpGet shares the store.
    web::PlainHttpGet("http://pub.example.test/plain");
    EXPECT_EQ(m_server.requests().back().header("Cookie"), "cookie2=abc; t=9");
}

TEST_F(HttpClientTest, TimedRequestReturnsAndStoresTheAnswersCookies) {
    m_server.route(kHost, "/set", [](const HttpRequest&) {
        return HttpResponse::text("body")
            .addHeader("Set-Cookie", "a=1; path=/x")
            .addHeader("Set-Cookie", "b=2");
    });
    HttpClient client;
    std::string headers = "untouched";
    std::string cookies;
    EXPECT_EQ(client.requestTimed("http://pub.example.test/set", {}, &headers, &cookies), "body");
    EXPECT_EQ(cookies, "a=1;b=2;");
    EXPECT_NE(headers.find("Set-Cookie: a=1; path=/x\r\n"), std::string::npos);
    EXPECT_EQ(web::cookieStore().cookieHeader("http://pub.example.test/x/y"), "a=1; b=2");
    EXPECT_EQ(web::cookieStore().cookieHeader("http://pub.example.test/"), "b=2");
}

TEST_F(HttpClientTest, RedirectsAreFollowedWithTheirCookiesOrHandedBack) {
    m_server.route(kHost, "/from", [](const HttpRequest&) {
        return HttpResponse::redirect(302, "/to?n=1").addHeader("Set-Cookie", "hop=1");
    });
    m_server.route("other.example.test", "/to", [](const HttpRequest& request) {
        return HttpResponse::text("landed " + request.method + " " + request.header("Cookie"));
    });
    m_server.route(kHost, "/away", [this](const HttpRequest&) {
        return HttpResponse::redirect(303, m_server.url("other.example.test", "/to"));
    });
    m_server.serveHostForClients("other.example.test");
    HttpClient client;

    std::string url = "http://pub.example.test/from";
    std::string headers;
    EXPECT_EQ(client.request(url, {}, &headers), "ok /to");
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(m_server.requests().back().target, "/to?n=1");
    EXPECT_EQ(m_server.requests().back().header("Cookie"), "hop=1");

    // A POST answered with 303 goes on as a GET to the other host, which gets none of this host's cookies.
    url = "http://pub.example.test/away";
    EXPECT_EQ(client.request(url, with<web::RequestOptions>([](auto& o) {
                                 o.method = 1;
                                 o.body = "k=v";
                             })),
              "landed GET ");

    web::TimedRequestOptions noRedirect;
    noRedirect.allowRedirect = false;
    std::string cookies;
    EXPECT_EQ(client.requestTimed("http://pub.example.test/from", noRedirect, &headers, &cookies), "");
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 302 Found\r\n")) << headers;
    EXPECT_NE(headers.find("Location: /to?n=1\r\n"), std::string::npos);
    EXPECT_EQ(cookies, "hop=1;");
    EXPECT_EQ(m_server.requests().back().path, "/from");
}

TEST_F(HttpClientTest, TimedRequestGivesUpWithTheMessage) {
    m_server.route(kHost, "/never", [](const HttpRequest&) { return HttpResponse::text("late"); });
    m_server.setBehaviour(kHost, "/never", sim::RouteBehaviour::failing(sim::RouteFailure::NeverAnswer));
    HttpClient client;
    std::string headers = "kept";
    std::string cookies = "kept";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(client.requestTimed("http://pub.example.test/never",
                                  with<web::TimedRequestOptions>([](auto& o) { o.timeoutSeconds = 1; }),
                                  &headers, &cookies),
              web::timeoutMessage());
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(headers, "kept");
    EXPECT_EQ(cookies, "kept");
    EXPECT_EQ(
        web::timeoutMessage(),
        "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些。"_gbk);

    // A time-out of 0 never leaves time for an answer.
    EXPECT_EQ(client.requestTimed("http://pub.example.test/quick",
                                  with<web::TimedRequestOptions>([](auto& o) { o.timeoutSeconds = 0; })),
              web::timeoutMessage());
    // An empty URL sends nothing.
    m_server.clearRequests();
    EXPECT_EQ(client.requestTimed("   ", {}), "");
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(HttpClientTest, TimedRequestWaitsThroughTheGivenPumpingWait) {
    int pumped = 0;
    HttpClient client(with<web::HttpClientHooks>([&](auto& h) {
        h.wait = [&](const std::function<bool()>& done, std::chrono::milliseconds timeout) {
            const auto until = std::chrono::steady_clock::now() + timeout;
            while (!done() && std::chrono::steady_clock::now() < until) {
                ++pumped;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return done();
        };
    }));
    EXPECT_EQ(client.requestTimed("http://pub.example.test/w"), "ok /w");
    EXPECT_GT(pumped, 0);
}

TEST_F(HttpClientTest, OperationsWithoutTimeOutStillEndOnASilentServer) {
    m_server.route(kHost, "/never", [](const HttpRequest&) { return HttpResponse::text("late"); });
    m_server.setBehaviour(kHost, "/never", sim::RouteBehaviour::failing(sim::RouteFailure::NeverAnswer));
    m_server.route(kHost, "/closed", [](const HttpRequest&) { return HttpResponse::text("none"); });
    m_server.setBehaviour(kHost, "/closed",
                          sim::RouteBehaviour::failing(sim::RouteFailure::CloseWithoutAnswer));
    web::setHttpLimits({.connect = std::chrono::milliseconds(500), .total = std::chrono::milliseconds(500)});
    HttpClient client;
    std::string url = "http://pub.example.test/never";
    std::string headers = "old";
    EXPECT_EQ(client.request(url, {}, &headers), "");
    EXPECT_EQ(headers, "");
    EXPECT_EQ(web::PlainHttpGet("http://pub.example.test/never"), "");
    EXPECT_EQ(web::PlainHttpGet("http://pub.example.test/closed"), "");
}

TEST_F(HttpClientTest, LargeBodiesAndHeaderBlocksArriveWhole) {
    std::string big(6 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 31 % 251);
    }
    m_server.route(kHost, "/big", [&big](const HttpRequest&) { return HttpResponse::text(big); });
    m_server.route(kHost, "/many-headers", [](const HttpRequest&) {
        HttpResponse response = HttpResponse::text("h");
        for (int i = 0; i < 3000; ++i) {
            response.addHeader("X-Filler-" + std::to_string(i), std::string(20, 'v'));
        }
        return response.addHeader("Set-Cookie", "last=1");
    });
    HttpClient client;
    std::string url = "http://pub.example.test/big";
    EXPECT_TRUE(client.request(url) == big);
    EXPECT_TRUE(web::PlainHttpGet(url) == big);
    std::string posted(3 << 20, 'p');
    url = "http://pub.example.test/echo";
    client.request(url, with<web::RequestOptions>([&](auto& o) {
                       o.method = 1;
                       o.body = posted;
                   }));
    EXPECT_TRUE(m_server.requests().back().body == posted);

    std::string headers;
    std::string cookies;
    EXPECT_EQ(client.requestTimed("http://pub.example.test/many-headers", {}, &headers, &cookies), "h");
    EXPECT_GT(headers.size(), 3000u * 30);
    EXPECT_NE(headers.find("X-Filler-2999: vvvvvvvvvvvvvvvvvvvv\r\nSet-Cookie: last=1\r\n"),
              std::string::npos);
    EXPECT_EQ(cookies, "last=1;");
    EXPECT_EQ(web::cookieStore().get(kHost, "last"), "1");
}

TEST_F(HttpClientTest, BodyBytesConversionsAndZeroBytes) {
    m_server.route(kHost, "/zero",
                   [](const HttpRequest&) { return HttpResponse::text(std::string("ab\0cd", 5)); });
    m_server.route(kHost, "/utf8", [](const HttpRequest&) { return HttpResponse::text("标题"); });
    HttpClient client;
    std::string url = "http://pub.example.test/zero";
    EXPECT_EQ(client.request(url), std::string("ab\0cd", 5));
    EXPECT_EQ(client.getText(url), "ab");
    url = "http://pub.example.test/utf8";
    EXPECT_EQ(client.request(url, with<web::RequestOptions>([](auto& o) { o.conversion = web::kUtf8ToGbk; })),
              "标题"_gbk);
    EXPECT_EQ(client.requestTimed(
                  url, with<web::TimedRequestOptions>([](auto& o) { o.conversion = web::kUtf8ToGbk; })),
              "标题"_gbk);
    m_server.route(kHost, "/big5", [](const HttpRequest&) { return HttpResponse::text("\xB4\xFA\xB8\xD5"); });
    url = "http://pub.example.test/big5";
    EXPECT_EQ(client.request(
                  url, with<web::RequestOptions>([](auto& o) { o.conversion = web::kBig5ToSimplifiedGbk; })),
              "测试"_gbk);
}

TEST_F(HttpClientTest, PlainGetIsAnHttp10GetWithKeepAlive) {
    EXPECT_EQ(web::PlainHttpGet("pub.example.test/page?p=1"), "ok /page");
    EXPECT_EQ(lastRaw(), std::string("GET /page?p=1 HTTP/1.0\r\nHost: pub.example.test\r\n") + kAgent +
                             "Accept: */*\r\nConnection: Keep-Alive\r\n\r\n");
}

TEST_F(HttpClientTest, ProxyGetsTheAbsoluteTarget) {
    HttpClient client;
    std::string url = "http://far.example.test:8080/item?id=1";
    EXPECT_EQ(client.request(url, with<web::RequestOptions>([this](auto& o) {
                                 o.proxy = "127.0.0.1:" + std::to_string(m_server.port());
                             })),
              "ok http://far.example.test:8080/item");
    const HttpRequest sent = m_server.requests().back();
    EXPECT_EQ(sent.target, "http://far.example.test:8080/item?id=1");
    EXPECT_EQ(sent.header("Host"), "far.example.test:8080");
    // Through a proxy the client adds its keep-alive line, as a browser does.
    EXPECT_EQ(sent.raw, std::string("GET http://far.example.test:8080/item?id=1 HTTP/1.1\r\n") +
                            "Host: far.example.test:8080\r\n" + kAgent + "Proxy-Connection: Keep-Alive\r\n" +
                            kAccept + "Referer: http://far.example.test:8080/item?id=1\r\n" + kLanguage +
                            "\r\n");
}

TEST_F(HttpClientTest, EventsRunWhileARequestWaitsAndMayRequestThemselves) {
    m_server.route(kHost, "/slow", [](const HttpRequest&) { return HttpResponse::text("slow"); });
    m_server.setBehaviour(kHost, "/slow", sim::RouteBehaviour::delayed(std::chrono::milliseconds(200)));
    std::string nested;
    int pumped = 0;
    HttpClient client;
    HttpClient pumping(with<web::HttpClientHooks>([&](auto& h) {
        h.pumpEvents = [&] {
            if (pumped++ == 0) {
                nested = client.getText("http://pub.example.test/inner");
            }
        };
    }));
    std::string url = "http://pub.example.test/slow";
    EXPECT_EQ(pumping.request(url), "slow");
    EXPECT_EQ(nested, "ok /inner");
    EXPECT_GT(pumped, 1);
}

TEST_F(HttpClientTest, RepeatedRequestsReuseOneConnection) {
    HttpClient client;
    for (int i = 0; i < 5; ++i) {
        std::string url = "http://pub.example.test/r" + std::to_string(i);
        client.request(url);
        web::PlainHttpGet(url);
    }
    EXPECT_EQ(m_server.connectionCount(), 1u);
}

}  // namespace
}  // namespace tovakin
