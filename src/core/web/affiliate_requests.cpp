#include "core/web/affiliate_requests.h"

#include "core/web/text_encoding.h"
#include "core/web/text_extraction.h"

namespace tovakin::web {

AffiliateRequests::AffiliateRequests(const app::Endpoints& endpoints, app::AffiliateAccount account)
    : m_apiBase("http://" + endpoints.host("affiliate-api-host")),
      m_mallItemHost(endpoints.host("mall-item-host")),
      m_clickHost(endpoints.host("affiliate-click-host")),
      m_redirectPrefix("http://" + endpoints.host("redirect-link-host") + "/"),
      m_account(std::move(account)) {}

std::string AffiliateRequests::encodeItemId(std::string_view itemId) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(itemId.size());
    for (const char c : itemId) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                                (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string AffiliateRequests::encodedItemUrl(std::string_view itemId) const {
    return "http%3A%2F%2F" + m_mallItemHost + "%2Fitem.htm%3Fid%3D" + encodeItemId(itemId);
}

std::string AffiliateRequests::linkConversionUrl(std::string_view itemId, std::string_view timestamp) const {
    return m_apiBase + "/urltrans/urltrans.json?siteid=" + m_account.siteId +
           "&adzoneid=" + m_account.adZoneId + "&promotionURL=" + encodedItemUrl(itemId) +
           "&t=" + std::string(timestamp) + "3&_tb_token_=" + m_account.linkToken + "&_input_charset=utf-8";
}

std::string AffiliateRequests::commissionSearchUrl(std::string_view itemId,
                                                   std::string_view timestamp) const {
    return m_apiBase + "/pubauc/searchAuctionList.json?spm=7.3.1.8.G3kaKI&q=" + encodedItemUrl(itemId) +
           "&toPage=1&perPagesize=40&t=" + std::string(timestamp) +
           "&_tb_token_=" + m_account.commissionToken;
}

std::string AffiliateRequests::auctionCodeUrl(std::string_view itemId, std::string_view timestamp) const {
    return m_apiBase + "/common/code/getAuctionCode.json?auctionid=" + encodeItemId(itemId) +
           "&adzoneid=" + m_account.adZoneId + "&siteid=" + m_account.siteId +
           "&t=" + std::string(timestamp) + "&_tb_token_=" + m_account.auctionCodeToken;
}

std::string AffiliateRequests::titleSearchUrl(std::string_view itemId, std::string_view timestamp) const {
    return m_apiBase + "/pubauc/searchAuctionList.json?q=" + encodedItemUrl(itemId) +
           "&t=" + std::string(timestamp) + "&_tb_token_=" + m_account.titleToken;
}

std::string AffiliateRequests::linkConversionUrl(std::string_view itemId) const {
    return linkConversionUrl(itemId, timestampMs());
}
std::string AffiliateRequests::commissionSearchUrl(std::string_view itemId) const {
    return commissionSearchUrl(itemId, timestampMs());
}
std::string AffiliateRequests::auctionCodeUrl(std::string_view itemId) const {
    return auctionCodeUrl(itemId, timestampMs());
}
std::string AffiliateRequests::titleSearchUrl(std::string_view itemId) const {
    return titleSearchUrl(itemId, timestampMs());
}

std::string AffiliateRequests::promotionLinkUnchecked(std::string_view answer) {
    return textBetween(answer, "{\"sclick\":\"", "\"},\"info");
}

std::string AffiliateRequests::promotionLink(std::string_view answer) const {
    if (m_clickHost.empty() || answer.find(m_clickHost) == std::string_view::npos) {
        return {};
    }
    return promotionLinkUnchecked(answer);
}

std::string AffiliateRequests::commissionRate(std::string_view answer) {
    return textBetween(answer, "commissionRatePercent\":", ",");
}

AffiliateRequests::RedirectLink AffiliateRequests::redirectLink(std::string_view answer) const {
    const std::string tail = textBetween(answer, m_redirectPrefix, "\"");
    return {m_redirectPrefix + tail, !tail.empty()};
}

std::string AffiliateRequests::title(std::string_view utf8Answer) {
    return textBetween(utf8BytesToGbk(utf8Answer), "\"title\":\"", "\",\"");
}

}  // namespace tovakin::web
