#pragma once

#include <string>
#include <string_view>

#include "core/web/affiliate_requests.h"
#include "core/web/http_client.h"

// The affiliate requests sent, each over the transport its callers use, with
// the value each caller takes from the answer.
namespace tovakin::web {

class AffiliateClient {
public:
    AffiliateClient(AffiliateRequests requests, HttpClient client = HttpClient());

    const AffiliateRequests& requests() const { return m_requests; }

    // The enrichment loops: empty unless the platform made a promotion link.
    std::string promotionLink(std::string_view itemId) const;
    // The interactive lookup: whatever lies between the markers.
    std::string lookupPromotionLink(std::string_view itemId) const;
    std::string commissionRate(std::string_view itemId) const;
    std::string title(std::string_view itemId) const;
    // The query server's pair: the redirect link, then the commission rate.
    AffiliateRequests::RedirectLink redirectLink(std::string_view itemId) const;
    std::string queryCommissionRate(std::string_view itemId) const;

private:
    AffiliateRequests m_requests;
    HttpClient m_client;
};

}  // namespace tovakin::web
