#include "core/web/affiliate_client.h"

namespace tovakin::web {

AffiliateClient::AffiliateClient(AffiliateRequests requests, HttpClient client)
    : m_requests(std::move(requests)), m_client(std::move(client)) {}

std::string AffiliateClient::promotionLink(std::string_view itemId) const {
    return m_requests.promotionLink(m_client.getText(m_requests.linkConversionUrl(itemId)));
}

std::string AffiliateClient::lookupPromotionLink(std::string_view itemId) const {
    return AffiliateRequests::promotionLinkUnchecked(m_client.getText(m_requests.linkConversionUrl(itemId)));
}

std::string AffiliateClient::commissionRate(std::string_view itemId) const {
    return AffiliateRequests::commissionRate(m_client.getText(m_requests.commissionSearchUrl(itemId)));
}

std::string AffiliateClient::title(std::string_view itemId) const {
    return AffiliateRequests::title(PlainHttpGet(m_requests.titleSearchUrl(itemId)));
}

AffiliateRequests::RedirectLink AffiliateClient::redirectLink(std::string_view itemId) const {
    return m_requests.redirectLink(PlainHttpGet(m_requests.auctionCodeUrl(itemId)));
}

std::string AffiliateClient::queryCommissionRate(std::string_view itemId) const {
    return AffiliateRequests::commissionRate(PlainHttpGet(m_requests.commissionSearchUrl(itemId)));
}

}  // namespace tovakin::web
