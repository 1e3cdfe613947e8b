#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The process-wide cookie store: every request of every thread sends what it
// holds for the request's URL and writes the cookies of the answer into it.
// The embedded browsers exchange their cookies with it as Netscape
// cookie-file text, the form curl and browser exports use.
namespace tovakin::web {

struct Cookie {
    std::string domain;    // lower case, without a leading dot
    bool hostOnly = true;  // false: also sent to every subdomain of `domain`
    std::string path = "/";
    bool secure = false;  // sent over https only
    bool httpOnly = false;
    std::int64_t expires = 0;  // Unix time in seconds; 0 for a session cookie
    std::string name;
    std::string value;
};

class CookieStore {
public:
    // Stores the cookie `name` as the platform's set-a-cookie call does:
    // `data` is the value, optionally followed by attributes
    // ("v; path=/x; domain=.a.com; expires=...; max-age=...; secure; httponly").
    // A cookie whose expiry has passed removes the stored one. Returns false
    // when the cookie was refused (no name, a domain the URL's host is not in).
    bool setCookie(std::string_view url, std::string_view name, std::string_view data);
    // The value of a Set-Cookie header ("name=value; attributes") received from `url`.
    bool setFromHeader(std::string_view url, std::string_view setCookieValue);

    // The value of the Cookie header for a request to `url` ("a=1; b=2"),
    // empty when no cookie applies. Longer paths first, then older cookies.
    std::string cookieHeader(std::string_view url) const;

    // Simple access by host: a session cookie for path "/" of that host only,
    // and the value a request to "http://" + host + "/" would send.
    void set(std::string_view host, std::string_view name, std::string_view value);
    std::optional<std::string> get(std::string_view host, std::string_view name) const;
    // Removes every cookie of that name stored for exactly that host or domain.
    void remove(std::string_view host, std::string_view name);

    // Netscape cookie-file text: one cookie a line, seven fields separated by
    // tabs (domain, subdomains TRUE/FALSE, path, secure TRUE/FALSE, expiry,
    // name, value), "#HttpOnly_" before the domain of an http-only cookie,
    // other lines starting with "#" are comments. Expired cookies are skipped.
    // Returns the number of cookies taken.
    std::size_t importNetscape(std::string_view text);
    std::string exportNetscape() const;

    std::vector<Cookie> cookies() const;
    void clear();

private:
    struct Entry {
        Cookie cookie;
        std::uint64_t order = 0;
    };
    void put(Cookie cookie);

    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    std::uint64_t m_nextOrder = 0;
};

// The one store of the process.
CookieStore& cookieStore();

}  // namespace tovakin::web
