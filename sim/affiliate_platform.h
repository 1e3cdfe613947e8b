#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/app/endpoints.h"
#include "sim/catalog.h"

// The affiliate platform as the simulated world plays it: a login page that
// sets a session cookie, and the four JSON endpoints, which answer only a
// request that carries that cookie (others are sent to the login page).
namespace tovakin::sim {

struct SimAnswer {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

class AffiliatePlatform {
public:
    static constexpr const char* kSessionCookie = "cookie2";

    // `hosts` are the simulated hosts (the click and redirect hosts appear in
    // the answers); `session` is the value of the session cookie.
    AffiliatePlatform(const Catalog& catalog, app::Endpoints hosts, std::string session);

    const std::string& session() const { return m_session; }

    // The login page: GET shows the form, POST logs in (any name) and sets the cookie.
    SimAnswer loginPage(std::string_view method) const;

    // One of the four JSON paths. `query` is the raw query string, `cookieHeader`
    // the request's Cookie header.
    SimAnswer api(std::string_view path, std::string_view query, std::string_view cookieHeader) const;

private:
    SimAnswer linkConversion(const CatalogItem* item, std::string_view itemId) const;
    SimAnswer auctionSearch(const CatalogItem* item) const;
    SimAnswer auctionCode(const CatalogItem* item, std::string_view itemId) const;
    SimAnswer toLogin() const;

    const Catalog& m_catalog;
    app::Endpoints m_hosts;
    std::string m_session;
};

// Decodes %XX escapes (and "+" as a space) of a query value.
std::string percentDecode(std::string_view text);
// The values of a query string by key (decoded); the first of equal keys wins.
std::map<std::string, std::string> parseQuery(std::string_view query);

}  // namespace tovakin::sim
