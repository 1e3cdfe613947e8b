#include "core/web/cookie_store.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tovakin {
namespace {

using web::CookieStore;

TEST(CookieStore, SetCookieFollowsDomainPathExpiryAndSecureRules) {
    CookieStore store;
    EXPECT_TRUE(store.setCookie("http://pub.alimama.com", "sid", "abc; path=/; HttpOnly"));
    EXPECT_TRUE(store.setCookie("http://pub.alimama.com/a/b.htm", "deep", "1"));  // default path /a
    EXPECT_TRUE(store.setCookie("http://login.alimama.com", "all", "x; Domain=.ALIMAMA.com"));
    EXPECT_TRUE(store.setCookie("https://pub.alimama.com", "safe", "s; secure"));
    EXPECT_FALSE(store.setCookie("http://pub.alimama.com", "foreign", "f; domain=taobao.com"));
    EXPECT_FALSE(store.setCookie("http://pub.alimama.com", "", "v"));

    EXPECT_EQ(store.cookieHeader("http://pub.alimama.com/a/x?y=1"), "deep=1; sid=abc; all=x");
    EXPECT_EQ(store.cookieHeader("http://pub.alimama.com/ab"), "sid=abc; all=x");
    EXPECT_EQ(store.cookieHeader("https://PUB.alimama.com:443/"), "sid=abc; all=x; safe=s");
    EXPECT_EQ(store.cookieHeader("http://www.alimama.com/"), "all=x");
    EXPECT_EQ(store.cookieHeader("http://alimama.com.evil.test/"), "");
    EXPECT_EQ(store.cookieHeader("http://xalimama.com/"), "");

    // A later value replaces the cookie in its place; a past expiry or max-age=0 removes it.
    store.setCookie("http://pub.alimama.com", "sid", "new");
    EXPECT_EQ(store.get("pub.alimama.com", "sid"), "new");
    EXPECT_EQ(store.cookieHeader("http://pub.alimama.com/"), "sid=new; all=x");
    store.setCookie("http://pub.alimama.com", "sid", "gone; expires=Thu, 01 Jan 1970 00:00:01 GMT");
    store.setCookie("http://login.alimama.com", "all", "; domain=alimama.com; Max-Age=0");
    EXPECT_EQ(store.cookieHeader("http://pub.alimama.com/"), "");
    EXPECT_EQ(store.get("pub.alimama.com", "sid"), std::nullopt);

    store.setCookie("http://pub.alimama.com", "later", "v; expires=Fri, 01 Jan 2100 00:00:00 GMT");
    ASSERT_EQ(store.cookies().size(), 3u);
    EXPECT_EQ(store.cookies().back().expires, 4102444800);
}

TEST(CookieStore, SetFromHeaderTakesNameValueAndAttributes) {
    CookieStore store;
    EXPECT_TRUE(store.setFromHeader("http://a.test/", "t=9=9; Path=/p"));
    EXPECT_FALSE(store.setFromHeader("http://a.test/", "no-equals-sign"));
    EXPECT_EQ(store.cookieHeader("http://a.test/p/q"), "t=9=9");
    EXPECT_EQ(store.cookieHeader("http://a.test/"), "");
}

TEST(CookieStore, NetscapeTextRoundTrips) {
    const std::string file =
        "# Netscape HTTP Cookie File\r\n"
        "# comment line\n"
        "\n"
        ".alimama.com\tTRUE\t/\tFALSE\t0\tcookie2\tabc123\n"
        "#HttpOnly_pub.alimama.com\tFALSE\t/api\tTRUE\t4102444800\t_tb_token_\tQm7r\r\n"
        "old.test\tFALSE\t/\tFALSE\t1000\texpired\tx\n"
        "empty.test\tFALSE\t/\tFALSE\t0\tnovalue\t\n"
        "broken line without tabs\n";
    CookieStore store;
    EXPECT_EQ(store.importNetscape(file), 3u);
    EXPECT_EQ(store.cookieHeader("http://www.alimama.com/"), "cookie2=abc123");
    EXPECT_EQ(store.cookieHeader("https://pub.alimama.com/api/x"), "_tb_token_=Qm7r; cookie2=abc123");
    EXPECT_EQ(store.cookieHeader("http://pub.alimama.com/api/x"), "cookie2=abc123");
    EXPECT_EQ(store.cookieHeader("http://empty.test/"), "novalue=");

    const std::string exported = store.exportNetscape();
    EXPECT_EQ(exported,
              "# Netscape HTTP Cookie File\n"
              ".alimama.com\tTRUE\t/\tFALSE\t0\tcookie2\tabc123\n"
              "#HttpOnly_pub.alimama.com\tFALSE\t/api\tTRUE\t4102444800\t_tb_token_\tQm7r\n"
              "empty.test\tFALSE\t/\tFALSE\t0\tnovalue\t\n");
    CookieStore copy;
    EXPECT_EQ(copy.importNetscape(exported), 3u);
    EXPECT_EQ(copy.exportNetscape(), exported);
}

TEST(CookieStore, SetGetAndRemoveByHost) {
    CookieStore store;
    store.set("Pub.Alimama.com", "cookie2", "s1");
    EXPECT_EQ(store.get("pub.alimama.com", "cookie2"), "s1");
    EXPECT_EQ(store.get("www.alimama.com", "cookie2"), std::nullopt);  // host only
    EXPECT_EQ(store.cookieHeader("http://pub.alimama.com/any/path"), "cookie2=s1");
    store.remove("pub.alimama.com", "cookie2");
    EXPECT_EQ(store.get("pub.alimama.com", "cookie2"), std::nullopt);
}

TEST(CookieStore, ManyThreadsWriteAndReadAtOnce) {
    CookieStore store;
    for (int t = 0; t < 4; ++t) {
        store.set("h.test", "c" + std::to_string(t), "start");  // fixes the order; replacing keeps it
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 200; ++i) {
                store.set("h.test", "c" + std::to_string(t), std::to_string(i));
                store.cookieHeader("http://h.test/");
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(store.cookieHeader("http://h.test/"), "c0=199; c1=199; c2=199; c3=199");
}

}  // namespace
}  // namespace tovakin
