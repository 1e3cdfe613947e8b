#pragma once

#include <string>
#include <string_view>

#include "core/app/configuration.h"

// The four requests of the affiliate platform for one item: their URLs and
// the one value each caller cuts out of the answer. Answers are not parsed
// as JSON; values are taken between fixed markers, escapes left as they are.
namespace tovakin::web {

class AffiliateRequests {
public:
    AffiliateRequests(const app::Endpoints& endpoints, app::AffiliateAccount account);

    // URLs; the timestamp is taken while building unless one is given.
    std::string linkConversionUrl(std::string_view itemId) const;
    std::string commissionSearchUrl(std::string_view itemId) const;
    std::string auctionCodeUrl(std::string_view itemId) const;
    std::string titleSearchUrl(std::string_view itemId) const;
    std::string linkConversionUrl(std::string_view itemId, std::string_view timestamp) const;
    std::string commissionSearchUrl(std::string_view itemId, std::string_view timestamp) const;
    std::string auctionCodeUrl(std::string_view itemId, std::string_view timestamp) const;
    std::string titleSearchUrl(std::string_view itemId, std::string_view timestamp) const;

    // The promotion link of a link-conversion answer; empty unless the answer
    // holds the affiliate click host (an error answer or the login page).
    std::string promotionLink(std::string_view answer) const;
    // The same value without the click-host test (the interactive lookup).
    static std::string promotionLinkUnchecked(std::string_view answer);
    // The commission rate of a commission-search answer, e.g. "5.50".
    static std::string commissionRate(std::string_view answer);
    struct RedirectLink {
        std::string link;  // the prefix followed by the rest of the link
        bool found = false;
    };
    RedirectLink redirectLink(std::string_view answer) const;
    // The title of a title-search answer, given as the UTF-8 body bytes.
    static std::string title(std::string_view utf8Answer);

    // "http://" + redirect-link host + "/".
    const std::string& redirectLinkPrefix() const { return m_redirectPrefix; }
    const std::string& clickHost() const { return m_clickHost; }

    // Each byte of an item id that is a letter, a digit or one of "-._~"
    // stays as it is; every other byte is percent-encoded, so no text from a
    // client or the window can change the request line or add a header.
    static std::string encodeItemId(std::string_view itemId);

private:
    std::string encodedItemUrl(std::string_view itemId) const;

    std::string m_apiBase;  // "http://" + API host
    std::string m_mallItemHost;
    std::string m_clickHost;
    std::string m_redirectPrefix;
    app::AffiliateAccount m_account;
};

}  // namespace tovakin::web
