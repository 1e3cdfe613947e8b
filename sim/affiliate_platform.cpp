#include "sim/affiliate_platform.h"

#include <functional>

namespace tovakin::sim {

namespace {

const char* const kJsonType = "application/json;charset=UTF-8";

std::string okJson(const std::string& data) {
    return "{\"data\":" + data + ",\"info\":{\"message\":null,\"ok\":true},\"ok\":true,\"invalidKey\":null}";
}

// What the platform says for an item it does not know.
std::string errorJson() {
    return "{\"data\":null,\"info\":{\"message\":\"该商品不存在或已下架，无法推广\",\"ok\":false},\"ok\":"
           "false,"
           "\"invalidKey\":null}";
}

// The item id inside an encoded item URL ("...item.htm?id=123").
std::string itemIdOfItemUrl(const std::string& url) {
    const std::size_t at = url.find("id=");
    return at == std::string::npos ? std::string() : url.substr(at + 3);
}

bool hasSession(std::string_view cookieHeader, const std::string& session) {
    const std::string wanted = std::string(AffiliatePlatform::kSessionCookie) + "=" + session;
    std::size_t pos = 0;
    while (pos <= cookieHeader.size()) {
        std::size_t end = cookieHeader.find(';', pos);
        if (end == std::string_view::npos) {
            end = cookieHeader.size();
        }
        std::string_view pair = cookieHeader.substr(pos, end - pos);
        while (!pair.empty() && pair.front() == ' ') {
            pair.remove_prefix(1);
        }
        if (pair == wanted) {
            return true;
        }
        pos = end + 1;
    }
    return false;
}

std::string shortCode(std::string_view itemId, std::string_view salt) {
    static constexpr char alphabet[] = "abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    std::size_t hash = std::hash<std::string>{}(std::string(itemId) + std::string(salt));
    std::string code;
    for (int i = 0; i < 10; ++i) {
        code += alphabet[hash % (sizeof(alphabet) - 1)];
        hash /= sizeof(alphabet) - 1;
        if (hash == 0) {
            hash = std::hash<std::string>{}(code);
        }
    }
    return code;
}

}  // namespace

std::string percentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto hexValue = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i] == '+' ? ' ' : text[i];
        }
    }
    return decoded;
}

std::map<std::string, std::string> parseQuery(std::string_view query) {
    std::map<std::string, std::string> values;
    std::size_t pos = 0;
    while (pos < query.size()) {
        std::size_t end = query.find('&', pos);
        if (end == std::string_view::npos) {
            end = query.size();
        }
        const std::string_view pair = query.substr(pos, end - pos);
        const std::size_t equals = pair.find('=');
        const std::string key = percentDecode(pair.substr(0, equals));
        const std::string value =
            equals == std::string_view::npos ? std::string() : percentDecode(pair.substr(equals + 1));
        values.emplace(key, value);
        pos = end + 1;
    }
    return values;
}

AffiliatePlatform::AffiliatePlatform(const Catalog& catalog, app::Endpoints hosts, std::string session)
    : m_catalog(catalog), m_hosts(std::move(hosts)), m_session(std::move(session)) {}

SimAnswer AffiliatePlatform::loginPage(std::string_view method) const {
    SimAnswer answer;
    answer.headers.emplace_back("Content-Type", "text/html;charset=UTF-8");
    if (method == "POST") {
        answer.headers.emplace_back("Set-Cookie", std::string(kSessionCookie) + "=" + m_session + "; Path=/");
        answer.body = "<html><head><title>阿里妈妈</title></head><body><p>登录成功</p></body></html>";
        return answer;
    }
    answer.body =
        "<html><head><meta charset=\"utf-8\"><title>阿里妈妈-登录</title></head><body>"
        "<form method=\"post\" action=\"/member/login.htm\">"
        "<label>会员名 <input name=\"logname\"></label> <label>密码 <input name=\"password\" "
        "type=\"password\"></label>"
        "<button type=\"submit\">登录</button></form></body></html>";
    return answer;
}

SimAnswer AffiliatePlatform::toLogin() const {
    SimAnswer answer;
    answer.status = 302;
    answer.headers.emplace_back("Location",
                                "http://" + m_hosts.host("affiliate-web-host") + "/member/login.htm");
    answer.headers.emplace_back("Content-Type", "text/html;charset=UTF-8");
    answer.body = "<html><body>请先登录</body></html>";
    return answer;
}

SimAnswer AffiliatePlatform::api(std::string_view path, std::string_view query,
                                 std::string_view cookieHeader) const {
    if (!hasSession(cookieHeader, m_session)) {
        return toLogin();
    }
    const auto values = parseQuery(query);
    const auto value = [&](const char* key) {
        const auto found = values.find(key);
        return found == values.end() ? std::string() : found->second;
    };
    if (path == "/urltrans/urltrans.json") {
        const std::string id = itemIdOfItemUrl(value("promotionURL"));
        return linkConversion(m_catalog.find(id), id);
    }
    if (path == "/pubauc/searchAuctionList.json") {
        return auctionSearch(m_catalog.find(itemIdOfItemUrl(value("q"))));
    }
    if (path == "/common/code/getAuctionCode.json") {
        const std::string id = value("auctionid");
        return auctionCode(m_catalog.find(id), id);
    }
    return {404, {{"Content-Type", "text/html"}}, "<html><body>404 Not Found</body></html>"};
}

SimAnswer AffiliatePlatform::linkConversion(const CatalogItem* item, std::string_view itemId) const {
    if (!item) {
        return {200, {{"Content-Type", kJsonType}}, errorJson()};
    }
    const std::string link =
        "http://" + m_hosts.host("affiliate-click-host") + "/t?e=m%3D2%26s%3D" + shortCode(itemId, "click");
    return {200, {{"Content-Type", kJsonType}}, okJson("{\"sclick\":\"" + link + "\"}")};
}

SimAnswer AffiliatePlatform::auctionSearch(const CatalogItem* item) const {
    std::string data;
    if (!item) {
        data = "{\"head\":{\"docsfound\":0},\"pagelist\":null,\"paginator\":null}";
    } else {
        const std::string rate = item->commissionRate.empty() ? "0.00" : item->commissionRate;
        data = "{\"head\":{\"docsfound\":1,\"pageNo\":1},\"pagelist\":[{\"auctionId\":" + item->itemId +
               ",\"title\":\"" + item->title + "\",\"shopTitle\":\"小店\",\"zkPrice\":" + item->price +
               ",\"commissionRatePercent\":" + rate +
               ",\"totalNum\":1234,\"nick\":\"seller\"}],"
               "\"paginator\":{\"items\":1,\"page\":1,\"pages\":1}}";
    }
    return {200, {{"Content-Type", kJsonType}}, okJson(data)};
}

SimAnswer AffiliatePlatform::auctionCode(const CatalogItem* item, std::string_view itemId) const {
    if (!item) {
        return {200, {{"Content-Type", kJsonType}}, errorJson()};
    }
    const std::string redirect = "http://" + m_hosts.host("redirect-link-host") +
                                 "/rd?w=unionnojs&f=" + shortCode(itemId, "redirect") +
                                 "&k=" + shortCode(itemId, "k");
    return {200,
            {{"Content-Type", kJsonType}},
            okJson("{\"clickUrl\":\"" + redirect + "\",\"shortLinkUrl\":null,\"taoToken\":\"￥" +
                   shortCode(itemId, "token") + "￥\"}")};
}

}  // namespace tovakin::sim
