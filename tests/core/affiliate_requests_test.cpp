#include "core/web/affiliate_requests.h"

#include <gtest/gtest.h>

#include "core/text/gbk_literal.h"
#include "platform/text_codec.h"
#include "sim/affiliate_platform.h"

namespace tovakin::web {
namespace {

using namespace text::literals;

AffiliateRequests defaultRequests() {
    app::Configuration config;
    return AffiliateRequests(config.endpoints, config.affiliate);
}

TEST(AffiliateRequests, UrlsCarryTheKeysInOrder) {
    const AffiliateRequests requests = defaultRequests();
    const std::string t = "1408152307123";
    EXPECT_EQ(
        requests.linkConversionUrl("38417265930", t),
        "http://pub.alimama.com/urltrans/urltrans.json?siteid=3318257&adzoneid=11524763&promotionURL="
        "http%3A%2F%2Fdetail.tmall.com%2Fitem.htm%3Fid%3D38417265930&t=14081523071233&_tb_token_=Qm7rTz2LpXe"
        "&_input_charset=utf-8");
    EXPECT_EQ(
        requests.commissionSearchUrl("1", t),
        "http://pub.alimama.com/pubauc/searchAuctionList.json?spm=7.3.1.8.G3kaKI&q=http%3A%2F%2Fdetail.tmall."
        "com%2Fitem.htm%3Fid%3D1&toPage=1&perPagesize=40&t=1408152307123&_tb_token_=Hb3kWq9YdRu");
    EXPECT_EQ(
        requests.auctionCodeUrl("1", t),
        "http://pub.alimama.com/common/code/getAuctionCode.json?auctionid=1&adzoneid=11524763&siteid=3318257"
        "&t=1408152307123&_tb_token_=Ve4tGj6MwPo");
    EXPECT_EQ(requests.titleSearchUrl("1", t),
              "http://pub.alimama.com/pubauc/"
              "searchAuctionList.json?q=http%3A%2F%2Fdetail.tmall.com%2Fitem.htm%3Fid%"
              "3D1&t=1408152307123&_tb_token_=Lr8yDn5CfBa");
}

TEST(AffiliateRequests, TheLinkUrlEndsWithAFreshTimestampAndThree) {
    const std::string url = defaultRequests().linkConversionUrl("123");
    const std::string tail = "3&_tb_token_=Qm7rTz2LpXe&_input_charset=utf-8";
    ASSERT_GT(url.size(), tail.size() + 14);
    EXPECT_EQ(url.substr(url.size() - tail.size()), tail);
    const std::string stamp = url.substr(url.size() - tail.size() - 13, 13);
    EXPECT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos) << stamp;
    EXPECT_EQ(url.substr(url.size() - tail.size() - 16, 3), "&t=");
}

TEST(AffiliateRequests, NoIdCanChangeTheRequestLine) {
    struct Case {
        std::string id;
        const char* encoded;
    };
    const Case cases[] = {
        {"12 34", "12%2034"},
        {"1\r\nHost: evil", "1%0D%0AHost%3A%20evil"},
        {"1&siteid=9#x%", "1%26siteid%3D9%23x%25"},
        {"a-b.c_d~E", "a-b.c_d~E"},
        {"编号"_gbk, "%B1%E0%BA%C5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AffiliateRequests::encodeItemId(c.id), c.encoded);
        const std::string url = defaultRequests().auctionCodeUrl(c.id, "1");
        EXPECT_EQ(url.find_first_of(" \r\n#"), std::string::npos) << url;
    }
}

TEST(AffiliateRequests, ReadersTakeTheirValueBetweenTheMarkers) {
    const AffiliateRequests requests = defaultRequests();
    const std::string link = R"({"data":{"sclick":"http://s.click.taobao.com/t?e=abc"},"info":{"ok":true}})";
    EXPECT_EQ(requests.promotionLink(link), "http://s.click.taobao.com/t?e=abc");
    const std::string noClickHost = R"({"data":{"sclick":"http://elsewhere/x"},"info":{"ok":true}})";
    EXPECT_EQ(requests.promotionLink(noClickHost), "");
    EXPECT_EQ(AffiliateRequests::promotionLinkUnchecked(noClickHost), "http://elsewhere/x");
    EXPECT_EQ(AffiliateRequests::commissionRate(R"({"pagelist":[{"commissionRatePercent":5.50,"x":1}]})"),
              "5.50");
    EXPECT_EQ(AffiliateRequests::commissionRate("<html>login</html>"), "");
    const auto found = requests.redirectLink(R"({"clickUrl":"http://redirect.simba.taobao.com/rd?w=1"})");
    EXPECT_TRUE(found.found);
    EXPECT_EQ(found.link, "http://redirect.simba.taobao.com/rd?w=1");
    const auto missing = requests.redirectLink(R"({"data":null})");
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(missing.link, requests.redirectLinkPrefix());
    EXPECT_EQ(AffiliateRequests::title(R"({"title":"夏季T恤","shop":"x"})"), "夏季T恤"_gbk);
    EXPECT_EQ(AffiliateRequests::title(R"({"title":"a","," b","x":1})"), "a");
}

// The simulated platform's answers hold exactly what the readers look for.
TEST(AffiliateRequests, TheSimulatedPlatformAnswersTheReaders) {
    sim::Catalog catalog(50);
    app::Endpoints hosts;
    sim::AffiliatePlatform platform(catalog, hosts, "session-1");
    const AffiliateRequests requests = defaultRequests();
    const auto pathAndQuery = [](const std::string& url) {
        const std::string rest = url.substr(url.find('/', 7));
        return std::pair{rest.substr(0, rest.find('?')), rest.substr(rest.find('?') + 1)};
    };
    const auto ask = [&](const std::string& url, const std::string& cookies = "x=1; cookie2=session-1") {
        const auto [path, query] = pathAndQuery(url);
        return platform.api(path, query, cookies);
    };
    for (const sim::CatalogItem& item : catalog.items()) {
        const std::string link = requests.promotionLink(ask(requests.linkConversionUrl(item.itemId)).body);
        EXPECT_EQ(link.rfind("http://s.click.taobao.com/t?", 0), 0u) << link;
        EXPECT_EQ(AffiliateRequests::commissionRate(ask(requests.commissionSearchUrl(item.itemId)).body),
                  item.commissionRate.empty() ? "0.00" : item.commissionRate);
        EXPECT_TRUE(requests.redirectLink(ask(requests.auctionCodeUrl(item.itemId)).body).found);
        EXPECT_EQ(AffiliateRequests::title(ask(requests.titleSearchUrl(item.itemId)).body),
                  platform::utf8ToGbk(item.title));
    }
    EXPECT_EQ(requests.promotionLink(ask(requests.linkConversionUrl("1")).body), "");
    EXPECT_FALSE(requests.redirectLink(ask(requests.auctionCodeUrl("1\r\n2")).body).found);
    EXPECT_EQ(ask(requests.auctionCodeUrl(catalog.items()[0].itemId), "cookie2=wrong").status, 302);
}

}  // namespace
}  // namespace tovakin::web
