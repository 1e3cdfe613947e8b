#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/app/dialogs.h"

// All web traffic goes through HttpClient and PlainHttpGet. Requests carry
// browser-like default headers, send the cookies the process-wide cookie
// store (cookie_store.h) holds for their URL and write the cookies of every
// answer into it. Texts and bodies are byte strings; texts are GBK.
//
// The request as sent: the request line, "Host", "User-Agent", a "Cookie"
// line from the store when it holds cookies for the URL ("Proxy-Connection"
// through a proxy), then the composed header lines (the caller's lines, then
// the defaults). No other line is added: there is no cache to bypass and no
// compression to negotiate. Redirects are followed here, hop by hop, so each
// hop sends the cookies of its own host; at most 10. An "https://" URL is
// sent over TLS to its own port (443 by default).
namespace tovakin::web {

// How the body of an answer is handed back.
enum ResponseConversion : int {
    kBodyAsReceived = 0,
    kUtf8ToGbk = 1,
    kBig5ToSimplifiedGbk = 2,
};

struct RequestOptions {
    int method = 0;       // 0 "GET", 1 "POST"; request() refuses any other value
    std::string proxy;    // host[:port] of an HTTP proxy for http traffic; empty: direct
    std::string headers;  // extra header lines, each ending in "\r\n"
    std::string body;     // sent with "POST" only
    std::string cookies;  // the value of a Cookie header
    int conversion = kBodyAsReceived;
};

struct TimedRequestOptions {
    int method = 0;  // 1 "POST", anything else "GET"
    std::string proxy;
    std::string headers;  // a "User-Agent:" line also sets the agent; "RefererNo" suppresses the Referer
    std::string body;
    std::string cookies;  // given: the store's cookies are not sent for this request
    int timeoutSeconds = 60;
    int conversion = kBodyAsReceived;
    bool allowRedirect = true;
};

// What the client needs from its surroundings; every member may stay empty.
struct HttpClientHooks {
    // Shows the wrong-method message; empty: the standard-error dialogs.
    app::Dialogs* dialogs = nullptr;
    // Runs the calling thread's pending events; request() calls it while it
    // waits for the answer (between chunks), so a window thread stays live.
    std::function<void()> pumpEvents;
    // Waits until `done()` holds or `timeout` passes while keeping the calling
    // thread's events running (e.g. EventLoop::pumpUntil); requestTimed()
    // waits with it. Empty: a plain blocking wait.
    std::function<bool(const std::function<bool()>& done, std::chrono::milliseconds timeout)> wait;
};

class HttpClient {
public:
    HttpClient() = default;
    explicit HttpClient(HttpClientHooks hooks);

    // One exchange on the calling thread. `url` receives the trimmed URL with
    // "http://" in front where it had no scheme. Returns the body (after the
    // conversion); `responseHeaders`, when given, receives the raw header
    // block: the status line and every header line, each ending in "\r\n"
    // (empty when no answer came). Follows redirects.
    std::string request(std::string& url, const RequestOptions& options = {},
                        std::string* responseHeaders = nullptr) const;

    // request() for a plain GET; the body as text (up to its first zero byte).
    std::string getText(std::string url) const;

    // The exchange on a worker thread, with a time-out. On time-out the body
    // is timeoutMessage() and the outputs stay as they were. `responseCookies`
    // receives "name=value;" for every Set-Cookie line of the answer.
    std::string requestTimed(std::string url, const TimedRequestOptions& options = {},
                             std::string* responseHeaders = nullptr,
                             std::string* responseCookies = nullptr) const;

private:
    HttpClientHooks m_hooks;
};

// A GET without options (HTTP/1.0, the fixed agent, "Accept: */*"), following
// redirects, with the cookie store. The body, or empty bytes on any failure.
std::string PlainHttpGet(std::string_view url);

// The body requestTimed() returns when it gives up waiting (GBK).
const std::string& timeoutMessage();

// Limits for the exchanges that have no time-out of their own (request(),
// getText(), PlainHttpGet), so a server that never answers cannot hold a
// thread forever. Process-wide.
struct HttpLimits {
    std::chrono::milliseconds connect{30'000};
    std::chrono::milliseconds total{120'000};
};
void setHttpLimits(HttpLimits limits);
HttpLimits httpLimits();

// Sends every request for `host` (any port) to `address`:`port` instead,
// keeping the URL and the Host line; the simulated world uses it. Process-wide.
void setHostOverride(std::string_view host, std::string_view address, std::uint16_t port);
void clearHostOverrides();

}  // namespace tovakin::web
