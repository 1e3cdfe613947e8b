#include "core/web/cookie_store.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <ctime>

#include "core/text/gbk_text.h"

namespace tovakin::web {

namespace {

struct UrlParts {
    bool https = false;
    std::string host;
    std::string path;
};

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lowerAscii);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

UrlParts splitUrl(std::string_view url) {
    UrlParts parts;
    const auto scheme = url.find("://");
    if (scheme != std::string_view::npos) {
        parts.https = equalsNoCase(url.substr(0, scheme), "https");
        url.remove_prefix(scheme + 3);
    }
    const auto hostEnd = url.find_first_of("/?#");
    std::string_view authority = url.substr(0, hostEnd);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    if (const auto colon = authority.find(':'); colon != std::string_view::npos) {
        authority = authority.substr(0, colon);
    }
    parts.host = lower(authority);
    std::string_view rest = hostEnd == std::string_view::npos ? std::string_view() : url.substr(hostEnd);
    rest = rest.substr(0, rest.find_first_of("?#"));
    parts.path = rest.empty() || rest.front() != '/' ? "/" : std::string(rest);
    return parts;
}

// The directory of the request path, as a cookie without a path attribute gets it.
std::string defaultPath(const std::string& requestPath) {
    const auto slash = requestPath.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : requestPath.substr(0, slash);
}

bool isIpAddress(std::string_view host) {
    return !host.empty() && (host.find(':') != std::string_view::npos ||
                             host.find_first_not_of("0123456789.") == std::string_view::npos);
}

bool domainMatches(std::string_view host, const Cookie& cookie) {
    if (host == cookie.domain) {
        return true;
    }
    return !cookie.hostOnly && !isIpAddress(host) && host.size() > cookie.domain.size() &&
           host.ends_with(cookie.domain) && host[host.size() - cookie.domain.size() - 1] == '.';
}

bool pathMatches(std::string_view requestPath, std::string_view cookiePath) {
    if (requestPath == cookiePath) {
        return true;
    }
    return requestPath.starts_with(cookiePath) &&
           (cookiePath.ends_with('/') || requestPath[cookiePath.size()] == '/');
}

std::int64_t now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

bool expired(const Cookie& cookie, std::int64_t at) {
    return cookie.expires != 0 && cookie.expires <= at;
}

bool sameCookie(const Cookie& a, const Cookie& b) {
    return a.name == b.name && a.domain == b.domain && a.path == b.path;
}

}  // namespace

bool CookieStore::setCookie(std::string_view url, std::string_view name, std::string_view data) {
    if (name.empty()) {
        return false;
    }
    const UrlParts target = splitUrl(url);
    if (target.host.empty()) {
        return false;
    }
    Cookie cookie;
    cookie.name = name;
    cookie.domain = target.host;
    cookie.path = defaultPath(target.path);

    const auto semicolon = data.find(';');
    cookie.value = trim(data.substr(0, semicolon));
    std::string_view attributes =
        semicolon == std::string_view::npos ? std::string_view() : data.substr(semicolon + 1);
    bool hasMaxAge = false;
    while (!attributes.empty()) {
        const auto end = attributes.find(';');
        const std::string_view attribute = attributes.substr(0, end);
        attributes = end == std::string_view::npos ? std::string_view() : attributes.substr(end + 1);
        const auto equals = attribute.find('=');
        const std::string key = lower(trim(attribute.substr(0, equals)));
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : trim(attribute.substr(equals + 1));
        if (key == "domain" && !value.empty()) {
            std::string domain = lower(value);
            if (domain.front() == '.') {
                domain.erase(0, 1);
            }
            Cookie probe;
            probe.domain = domain;
            probe.hostOnly = false;
            if (domain.empty() || !domainMatches(target.host, probe)) {
                return false;
            }
            cookie.domain = domain;
            cookie.hostOnly = isIpAddress(domain);
        } else if (key == "path") {
            cookie.path =
                !value.empty() && value.front() == '/' ? std::string(value) : defaultPath(target.path);
        } else if (key == "expires" && !hasMaxAge) {
            const std::string date(value);
            const time_t when = curl_getdate(date.c_str(), nullptr);
            if (when != -1) {
                // A date at or before the epoch still means "already expired".
                cookie.expires = std::max<std::int64_t>(when, 1);
            }
        } else if (key == "max-age") {
            std::int64_t seconds = 0;
            const auto [end2, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            if (ec == std::errc() && end2 == value.data() + value.size()) {
                hasMaxAge = true;
                cookie.expires = seconds <= 0 ? 1 : now() + seconds;
            }
        } else if (key == "secure") {
            cookie.secure = true;
        } else if (key == "httponly") {
            cookie.httpOnly = true;
        }
    }
    put(std::move(cookie));
    return true;
}

bool CookieStore::setFromHeader(std::string_view url, std::string_view setCookieValue) {
    const auto semicolon = setCookieValue.find(';');
    const std::string_view pair = setCookieValue.substr(0, semicolon);
    const auto equals = pair.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    return setCookie(url, trim(setCookieValue.substr(0, equals)), setCookieValue.substr(equals + 1));
}

void CookieStore::put(Cookie cookie) {
    std::lock_guard lock(m_mutex);
    const auto same = std::find_if(m_entries.begin(), m_entries.end(),
                                   [&](const Entry& entry) { return sameCookie(entry.cookie, cookie); });
    if (expired(cookie, now())) {
        if (same != m_entries.end()) {
            m_entries.erase(same);
        }
        return;
    }
    if (same != m_entries.end()) {
        // A replaced cookie keeps its age, so the order of the Cookie header stays put.
        same->cookie = std::move(cookie);
        return;
    }
    m_entries.push_back({std::move(cookie), m_nextOrder++});
}

std::string CookieStore::cookieHeader(std::string_view url) const {
    const UrlParts target = splitUrl(url);
    const std::int64_t at = now();
    std::vector<const Entry*> matching;
    std::lock_guard lock(m_mutex);
    for (const Entry& entry : m_entries) {
        const Cookie& cookie = entry.cookie;
        if (!expired(cookie, at) && domainMatches(target.host, cookie) &&
            pathMatches(target.path, cookie.path) && (!cookie.secure || target.https)) {
            matching.push_back(&entry);
        }
    }
    std::stable_sort(matching.begin(), matching.end(), [](const Entry* a, const Entry* b) {
        if (a->cookie.path.size() != b->cookie.path.size()) {
            return a->cookie.path.size() > b->cookie.path.size();
        }
        return a->order < b->order;
    });
    std::string header;
    for (const Entry* entry : matching) {
        if (!header.empty()) {
            header += "; ";
        }
        header += entry->cookie.name + "=" + entry->cookie.value;
    }
    return header;
}

void CookieStore::set(std::string_view host, std::string_view name, std::string_view value) {
    Cookie cookie;
    cookie.domain = lower(host);
    cookie.name = name;
    cookie.value = value;
    put(std::move(cookie));
}

std::optional<std::string> CookieStore::get(std::string_view host, std::string_view name) const {
    const std::string target = lower(host);
    const std::int64_t at = now();
    std::lock_guard lock(m_mutex);
    const Entry* best = nullptr;
    for (const Entry& entry : m_entries) {
        const Cookie& cookie = entry.cookie;
        if (cookie.name == name && !expired(cookie, at) && domainMatches(target, cookie) && !cookie.secure &&
            (best == nullptr || cookie.path.size() > best->cookie.path.size() ||
             (cookie.path.size() == best->cookie.path.size() && entry.order < best->order)) &&
            pathMatches("/", cookie.path)) {
            best = &entry;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return best->cookie.value;
}

void CookieStore::remove(std::string_view host, std::string_view name) {
    std::string domain = lower(host);
    if (!domain.empty() && domain.front() == '.') {
        domain.erase(0, 1);
    }
    std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [&](const Entry& entry) {
        return entry.cookie.domain == domain && entry.cookie.name == name;
    });
}

std::size_t CookieStore::importNetscape(std::string_view text) {
    constexpr std::string_view kHttpOnly = "#HttpOnly_";
    std::size_t taken = 0;
    const std::int64_t at = now();
    while (!text.empty()) {
        std::string_view line = text::takeLine(text);
        Cookie cookie;
        if (line.starts_with(kHttpOnly)) {
            cookie.httpOnly = true;
            line.remove_prefix(kHttpOnly.size());
        } else if (line.starts_with('#')) {
            continue;
        }
        std::vector<std::string_view> fields;
        while (true) {
            const auto tab = line.find('\t');
            fields.push_back(line.substr(0, tab));
            if (tab == std::string_view::npos) {
                break;
            }
            line.remove_prefix(tab + 1);
        }
        if (fields.size() == 6) {
            fields.emplace_back();  // a cookie with an empty value, its last tab stripped
        }
        if (fields.size() != 7 || fields[0].empty() || fields[5].empty()) {
            continue;
        }
        std::string domain = lower(fields[0]);
        const bool leadingDot = domain.front() == '.';
        if (leadingDot) {
            domain.erase(0, 1);
        }
        cookie.domain = domain;
        cookie.hostOnly = !(equalsNoCase(fields[1], "TRUE") || leadingDot);
        cookie.path = fields[2].empty() ? "/" : std::string(fields[2]);
        cookie.secure = equalsNoCase(fields[3], "TRUE");
        std::int64_t expires = 0;
        std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), expires);
        cookie.expires = std::max<std::int64_t>(expires, 0);
        cookie.name = fields[5];
        cookie.value = fields[6];
        if (cookie.domain.empty() || expired(cookie, at)) {
            continue;
        }
        put(std::move(cookie));
        ++taken;
    }
    return taken;
}

std::string CookieStore::exportNetscape() const {
    std::string text = "# Netscape HTTP Cookie File\n";
    for (const Cookie& cookie : cookies()) {
        if (cookie.httpOnly) {
            text += "#HttpOnly_";
        }
        text += (cookie.hostOnly ? "" : ".") + cookie.domain + "\t" + (cookie.hostOnly ? "FALSE" : "TRUE") +
                "\t" + cookie.path + "\t" + (cookie.secure ? "TRUE" : "FALSE") + "\t" +
                std::to_string(cookie.expires) + "\t" + cookie.name + "\t" + cookie.value + "\n";
    }
    return text;
}

std::vector<Cookie> CookieStore::cookies() const {
    const std::int64_t at = now();
    std::lock_guard lock(m_mutex);
    std::vector<Cookie> all;
    for (const Entry& entry : m_entries) {
        if (!expired(entry.cookie, at)) {
            all.push_back(entry.cookie);
        }
    }
    return all;
}

void CookieStore::clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

CookieStore& cookieStore() {
    static CookieStore* store = new CookieStore;  // never destroyed: abandoned workers may still use it
    return *store;
}

}  // namespace tovakin::web
