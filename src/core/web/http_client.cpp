#include "core/web/http_client.h"

#include <curl/curl.h>

#include <atomic>
#include <charconv>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/text/gbk_literal.h"
#include "core/text/gbk_text.h"
#include "core/web/cookie_store.h"
#include "core/web/text_encoding.h"

namespace tovakin::web {

using namespace text::literals;

namespace {

constexpr const char* kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr const char* kTimedAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; .NET CLR 3.0.04506.648; "
    ".NET "
    "CLR 3.5.21022)";
constexpr const char* kAcceptLine =
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
constexpr const char* kAcceptLanguageLine = "Accept-Language: zh-cn\r\n";
constexpr const char* kFormTypeLine = "Content-Type: application/x-www-form-urlencoded\r\n";
constexpr int kMaxRedirects = 10;

// ---- libcurl handles ----------------------------------------------------

void initCurlOnce() {
    static const bool initialised = [] {
        curl_global_init(CURL_GLOBAL_ALL);
        return true;
    }();
    (void)initialised;
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

class HeaderList {
public:
    HeaderList() = default;
    HeaderList(const HeaderList&) = delete;
    HeaderList& operator=(const HeaderList&) = delete;
    ~HeaderList() { curl_slist_free_all(m_list); }
    void add(const std::string& line) {
        if (curl_slist* grown = curl_slist_append(m_list, line.c_str())) {
            m_list = grown;
        }
    }
    curl_slist* get() const { return m_list; }

private:
    curl_slist* m_list = nullptr;
};

// Each thread keeps one multi handle, and with it a pool of open
// connections, so repeated requests to the same host reuse them. libcurl
// does not support sharing one pool between concurrent threads. A request
// started while another is running on the same thread (from an event run by
// pumpEvents) gets a pool of its own.
struct ThreadPool {
    MultiHandle multi;
    bool busy = false;
};
thread_local ThreadPool t_pool;

class PoolLease {
public:
    PoolLease() {
        if (!t_pool.busy) {
            if (!t_pool.multi) {
                t_pool.multi.reset(curl_multi_init());
            }
            t_pool.busy = true;
            m_shared = true;
            m_multi = t_pool.multi.get();
        } else {
            m_own.reset(curl_multi_init());
            m_multi = m_own.get();
        }
    }
    ~PoolLease() {
        if (m_shared) {
            t_pool.busy = false;
        }
    }
    PoolLease(const PoolLease&) = delete;
    PoolLease& operator=(const PoolLease&) = delete;
    CURLM* multi() const { return m_multi; }

private:
    MultiHandle m_own;
    CURLM* m_multi = nullptr;
    bool m_shared = false;
};

// ---- process-wide settings ---------------------------------------------

struct Settings {
    std::mutex mutex;
    HttpLimits limits;
    std::map<std::string, std::string> overrides;  // host -> "host::address:port"
};

Settings& settings() {
    static Settings* instance = new Settings;  // never destroyed: abandoned workers may still read it
    return *instance;
}

// ---- texts ------------------------------------------------------------

bool containsNoCase(std::string_view text, std::string_view name) {
    return text::foldAsciiCase(text).find(text::foldAsciiCase(name)) != std::string::npos;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           text::equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// Removes ASCII spaces and full-width spaces (A1 A1) from both ends.
std::string trimSpaces(std::string_view text) {
    constexpr std::string_view kWide = "\xA1\xA1";
    bool changed = true;
    while (changed && !text.empty()) {
        changed = false;
        if (text.front() == ' ') {
            text.remove_prefix(1);
            changed = true;
        } else if (text.starts_with(kWide)) {
            text.remove_prefix(2);
            changed = true;
        }
        if (text.ends_with(' ')) {
            text.remove_suffix(1);
            changed = true;
        } else if (text.size() >= 2 && text.ends_with(kWide) &&
                   text::gbkCharLength(text, text.size() - 2) == 2) {
            text.remove_suffix(2);
            changed = true;
        }
    }
    return std::string(text);
}

std::string withScheme(std::string url) {
    if (!url.starts_with("http://") && !url.starts_with("https://")) {
        url.insert(0, "http://");
    }
    return url;
}

std::string textUpToZero(std::string_view bytes) {
    return std::string(bytes.substr(0, bytes.find('\0')));
}

// The body after the conversion the caller asked for; the converted body is a text.
std::string converted(std::string body, int conversion) {
    if (conversion == kUtf8ToGbk) {
        return utf8TextToGbk(textUpToZero(body));
    }
    if (conversion == kBig5ToSimplifiedGbk) {
        return big5ToSimplifiedGbk(textUpToZero(body));
    }
    return body;
}

// ---- URLs ---------------------------------------------------------------

// Control bytes (and spaces, when asked) as %XX escapes.
std::string escapeControls(std::string_view text, bool spaces) {
    constexpr const char* kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (spaces && byte == 0x20)) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

struct Target {
    bool https = false;
    std::string host;  // lower case
    std::uint16_t port = 80;
    std::string path;  // with the query; "/" when the URL has none
    bool valid = false;
};

// Host, port and path of a URL the way the request rules split it: every
// "http://" and "https://" removed before the host is cut out, the host in
// lower case. A query or fragment right after the host ends it too.
Target splitTarget(std::string_view url) {
    Target target;
    target.https = startsWithNoCase(url, "https://");
    std::string stripped(url);
    for (const std::string_view scheme : {std::string_view("https://"), std::string_view("http://")}) {
        for (auto at = stripped.find(scheme); at != std::string::npos; at = stripped.find(scheme, at)) {
            stripped.erase(at, scheme.size());
        }
    }
    std::string host = stripped.substr(0, stripped.find_first_of("/?#"));
    host = host.substr(0, host.find(':'));
    target.host = text::foldAsciiCase(host);

    std::string_view rest = url;
    if (const auto scheme = rest.find("://");
        scheme != std::string_view::npos && (startsWithNoCase(rest, "http://") || target.https)) {
        rest.remove_prefix(scheme + 3);
    }
    const auto authorityEnd = rest.find_first_of("/?#");
    const std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view path =
        authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
    path = path.substr(0, path.find('#'));  // a fragment never leaves the client
    if (path.empty() || path.front() != '/') {
        target.path = "/";
    }
    // Spaces and control bytes are escaped, so no URL can end the request
    // line early or add header lines of its own; other bytes go as they are.
    target.path += escapeControls(path, true);

    int port = 0;
    if (const auto colon = authority.find(':'); colon != std::string_view::npos) {
        const std::string_view digits = authority.substr(colon + 1);
        std::from_chars(digits.data(), digits.data() + digits.size(), port);
    }
    if (port <= 0) {
        port = target.https ? 443 : 80;
    }
    target.valid = !target.host.empty() && port <= 65535;
    target.port = static_cast<std::uint16_t>(port);
    return target;
}

std::string originOf(const Target& target) {
    return (target.https ? "https://" : "http://") + target.host + ":" + std::to_string(target.port);
}

// The target of a Location header, relative to the URL that answered with it.
std::string resolveLocation(const Target& from, std::string_view location) {
    std::string resolved;
    CURLU* url = curl_url();
    if (url == nullptr) {
        return resolved;
    }
    const std::string base = originOf(from) + from.path;
    const std::string next(location);
    char* text = nullptr;
    if (curl_url_set(url, CURLUPART_URL, base.c_str(), CURLU_PATH_AS_IS) == CURLUE_OK &&
        curl_url_set(url, CURLUPART_URL, next.c_str(), CURLU_URLENCODE | CURLU_PATH_AS_IS) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
        resolved = text;
        curl_free(text);
    }
    curl_url_cleanup(url);
    return resolved;
}

// ---- one exchange -------------------------------------------------------

enum class CookieSending { FromStore, CallerOnly };

struct ExchangePlan {
    std::string url;  // the URL as given (the Referer line carries it)
    std::string method;
    std::string agent;
    std::string proxy;  // host[:port]; applies to http traffic only
    std::string body;
    bool http10 = false;
    bool followRedirects = true;
    CookieSending cookieSending = CookieSending::FromStore;
    // Store the cookies of redirect answers too (the final answer's are stored by the caller).
    bool storeRedirectCookies = true;
    std::chrono::milliseconds connectTimeout{0};
    std::chrono::milliseconds totalTimeout{0};
    // The composed header text for a hop: its method, and whether the hop
    // still goes to the host first asked (the caller's cookies go only there).
    std::function<std::string(const std::string& method, bool sameHost)> compose;
    const std::atomic<bool>* cancel = nullptr;
    std::function<void()> pump;
};

struct ExchangeResult {
    bool answered = false;  // a status line arrived
    bool complete = false;  // the transfer finished without error
    long status = 0;
    std::string body;
    std::string headers;   // raw block of the last answer, each line ending in "\r\n"
    std::string location;  // its Location header
    Target target;         // the host that gave the last answer
};

struct Capture {
    std::string body;
    std::string headers;
    std::string location;
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    static_cast<Capture*>(user)->body.append(data, size * count);
    return size * count;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* capture = static_cast<Capture*>(user);
    std::string_view line(data, size * count);
    while (line.ends_with('\n') || line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    if (line.starts_with("HTTP/")) {
        // A new answer (after an interim 1xx one): only the last block counts.
        capture->headers.clear();
        capture->location.clear();
    }
    if (!line.empty()) {
        capture->headers.append(line);
        capture->headers += "\r\n";
        if (startsWithNoCase(line, "Location:")) {
            capture->location = trimSpaces(line.substr(9));
        }
    }
    return size * count;
}

// The composed header text as libcurl header lines. libcurl's own "Accept",
// "Expect", "Content-Type" and "Content-Length" lines are switched off: the
// composed text decides those.
void addHeaderLines(HeaderList& list, std::string_view text) {
    while (!text.empty()) {
        const std::string_view line = text::takeLine(text);
        if (!line.empty()) {
            list.add(std::string(line));
        }
    }
    for (const char* internal : {"Accept:", "Expect:", "Content-Type:", "Content-Length:"}) {
        list.add(internal);
    }
}

CURLcode runTransfer(CURL* easy, const std::atomic<bool>* cancel, const std::function<void()>& pump) {
    PoolLease lease;
    CURLM* multi = lease.multi();
    if (multi == nullptr || curl_multi_add_handle(multi, easy) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_OK;
    while (true) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        bool done = false;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                result = message->data.result;
                done = true;
            }
        }
        if (done) {
            break;
        }
        if (cancel != nullptr && cancel->load()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (pump) {
            pump();
        }
        // Short waits only when something else needs a look between them.
        const int waitMs = pump || cancel != nullptr ? 20 : 1000;
        curl_multi_poll(multi, nullptr, 0, waitMs, nullptr);
    }
    curl_multi_remove_handle(multi, easy);
    return result;
}

ExchangeResult exchangeOnce(const ExchangePlan& plan, const Target& target, const std::string& method,
                            const std::string& headerText, bool sendBody) {
    ExchangeResult result;
    result.target = target;
    initCurlOnce();
    EasyHandle easy(curl_easy_init());
    if (!easy) {
        return result;
    }
    CURL* handle = easy.get();
    Capture capture;
    HeaderList headers;
    HeaderList connectTo;

    std::string storeCookies;
    if (plan.cookieSending == CookieSending::FromStore) {
        storeCookies = cookieStore().cookieHeader(originOf(target) + target.path);
    }
    // The caller's own Cookie line (the composed text) already names some
    // cookies: the store adds only the others to it, so one Cookie line goes out.
    std::string text = headerText;
    if (!storeCookies.empty()) {
        const auto cookieLine = text::foldAsciiCase(text).find("\ncookie: ");
        const bool leading = startsWithNoCase(text, "Cookie: ");
        if (leading || cookieLine != std::string::npos) {
            const std::size_t valueStart = leading ? 8 : cookieLine + 9;
            const std::size_t valueEnd = text.find("\r\n", valueStart);
            const std::string callerValue = text.substr(valueStart, valueEnd - valueStart);
            std::string extra;
            for (const std::string& pair : text::splitText(storeCookies, "; ")) {
                const std::string name = pair.substr(0, pair.find('=') + 1);
                if (callerValue.find(name) == std::string::npos) {
                    extra += "; " + pair;
                }
            }
            text.insert(valueEnd == std::string::npos ? text.size() : valueEnd, extra);
        } else {
            headers.add("Cookie: " + storeCookies);
        }
    }
    addHeaderLines(headers, text);

    const bool viaProxy = !plan.proxy.empty() && !target.https;
    std::string requestTarget = target.path;
    if (viaProxy) {
        requestTarget = "http://" + target.host +
                        (target.port == 80 ? "" : ":" + std::to_string(target.port)) + target.path;
    }
    const std::string url = originOf(target) + "/";
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_REQUEST_TARGET, requestTarget.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION,
                     plan.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, plan.agent.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    const std::string proxy = viaProxy ? "http://" + plan.proxy : std::string();
    curl_easy_setopt(handle, CURLOPT_PROXY, proxy.c_str());  // empty: direct, whatever the environment says
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    if (plan.connectTimeout.count() > 0) {
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(plan.connectTimeout.count()));
    }
    if (plan.totalTimeout.count() > 0) {
        curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(plan.totalTimeout.count()));
    }
    {
        std::lock_guard lock(settings().mutex);
        if (const auto found = settings().overrides.find(target.host); found != settings().overrides.end()) {
            connectTo.add(found->second);
        }
    }
    curl_easy_setopt(handle, CURLOPT_CONNECT_TO, connectTo.get());
    if (method == "POST") {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        const std::size_t size = sendBody ? plan.body.size() : 0;
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, sendBody ? plan.body.c_str() : "");
    } else {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &capture);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &capture);

    const CURLcode code = runTransfer(handle, plan.cancel, plan.pump);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.status);
    result.answered = !capture.headers.empty();
    result.complete = code == CURLE_OK;
    result.body = std::move(capture.body);
    result.headers = std::move(capture.headers);
    result.location = std::move(capture.location);
    return result;
}

void storeResponseCookies(const std::string& headers, const std::string& host, std::string* cookieText);

// One exchange with its redirects (followed here, so that every hop sends
// the cookies the store holds for its own host).
ExchangeResult exchange(const ExchangePlan& plan) {
    Target target = splitTarget(plan.url);
    if (!target.valid) {
        return {};
    }
    const std::string firstHost = target.host;
    std::string method = plan.method;
    bool sendBody = method == "POST";
    for (int hop = 0;; ++hop) {
        ExchangeResult result =
            exchangeOnce(plan, target, method, plan.compose(method, target.host == firstHost), sendBody);
        const long status = result.status;
        const bool redirect =
            status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (!plan.followRedirects || !redirect || result.location.empty() || hop >= kMaxRedirects ||
            !result.complete) {
            return result;
        }
        const std::string next = resolveLocation(target, result.location);
        const Target nextTarget = splitTarget(next);
        if (next.empty() || !nextTarget.valid) {
            return result;
        }
        if (plan.storeRedirectCookies) {
            storeResponseCookies(result.headers, target.host, nullptr);
        }
        // As browsers do: 303, and 301/302 after a POST, continue with a GET without body.
        if (status == 303 || ((status == 301 || status == 302) && method == "POST")) {
            method = "GET";
            sendBody = false;
        }
        target = nextTarget;
    }
}

// Every "Set-Cookie:" line of a header block goes into the store under
// "http://" + host; `cookieText` collects "name=value;" for each.
void storeResponseCookies(const std::string& headers, const std::string& host, std::string* cookieText) {
    constexpr std::string_view kName = "Set-Cookie:";
    for (const std::string& line : text::splitText(headers, "\r\n")) {
        if (!startsWithNoCase(line, kName)) {
            continue;
        }
        std::string_view value(line);
        value.remove_prefix(kName.size());
        while (value.starts_with(' ')) {
            value.remove_prefix(1);
        }
        if (cookieText != nullptr) {
            *cookieText += std::string(value.substr(0, value.find(';'))) + ";";
        }
        const auto equals = value.find('=');
        if (equals != std::string_view::npos) {
            cookieStore().setCookie("http://" + host, value.substr(0, equals), value.substr(equals + 1));
        }
    }
}

std::string composeRequestHeaders(const std::string& url, const RequestOptions& options,
                                  const std::string& method, bool sameHost) {
    std::string text = options.headers;
    if (!containsNoCase(text, "Accept: ")) {
        text += kAcceptLine;
    }
    if (!containsNoCase(text, "Referer: ")) {
        text += "Referer: " + escapeControls(url, false) + "\r\n";
    }
    if (!containsNoCase(text, "Accept-Language: ")) {
        text += kAcceptLanguageLine;
    }
    if (method == "POST" && !options.body.empty()) {
        text += kFormTypeLine;
        text += "Content-Length: " + std::to_string(options.body.size()) + "\r\n";
    }
    if (!options.cookies.empty() && sameHost) {
        text += "Cookie: " + options.cookies + "\r\n\r\n";
    }
    return text;
}

std::string composeTimedHeaders(const std::string& url, const TimedRequestOptions& options,
                                const std::string& method, bool sameHost) {
    std::string text = options.headers;
    if (!containsNoCase(text, "Accept")) {
        text += kAcceptLine;
    }
    const auto refererNo = text::foldAsciiCase(text).find("refererno");
    if (refererNo != std::string::npos) {
        text.erase(refererNo, 9);
    } else if (!containsNoCase(text, "Referer")) {
        text += "Referer: " + escapeControls(url, false) + "\r\n";
    }
    if (!containsNoCase(text, "Accept-Language")) {
        text += kAcceptLanguageLine;
    }
    if (method == "POST" && !options.body.empty()) {
        if (!containsNoCase(text, "Content-Type")) {
            text += kFormTypeLine;
        }
        if (!containsNoCase(text, "Content-Length")) {
            text += "Content-Length: " + std::to_string(options.body.size()) + "\r\n";
        }
    }
    if (!options.cookies.empty() && sameHost) {
        text += "Cookie: " + options.cookies + "\r\n\r\n";
    }
    return text;
}

// The agent of a timed request: the caller's "User-Agent:" line, else the default.
std::string timedAgent(const std::string& headers) {
    const std::string folded = text::foldAsciiCase(headers);
    const auto at = folded.find("user-agent:");
    if (at == std::string::npos) {
        return kTimedAgent;
    }
    const auto start = at + 11;
    const auto end = headers.find("\r\n", start);
    if (end == std::string::npos) {
        return kTimedAgent;
    }
    return trimSpaces(std::string_view(headers).substr(start, end - start));
}

// ---- workers of timed requests -------------------------------------------

struct TimedState {
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::string body;
    std::string headers;
    std::string cookies;
};

// Workers whose caller gave up: cancelled, and joined once they end (at the
// latest when the process ends), so none is left holding a lock.
class AbandonedWorkers {
public:
    ~AbandonedWorkers() {
        std::lock_guard lock(m_mutex);
        for (auto& [state, thread] : m_workers) {
            state->cancel = true;
            thread.join();
        }
    }
    void add(std::shared_ptr<TimedState> state, std::thread thread) {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_workers, [](auto& worker) {
            std::lock_guard stateLock(worker.first->mutex);
            if (worker.first->done) {
                worker.second.join();
                return true;
            }
            return false;
        });
        m_workers.emplace_back(std::move(state), std::move(thread));
    }

private:
    std::mutex m_mutex;
    std::vector<std::pair<std::shared_ptr<TimedState>, std::thread>> m_workers;
};

AbandonedWorkers& abandonedWorkers() {
    static AbandonedWorkers workers;
    return workers;
}

}  // namespace

HttpClient::HttpClient(HttpClientHooks hooks) : m_hooks(std::move(hooks)) {}

std::string HttpClient::request(std::string& url, const RequestOptions& options,
                                std::string* responseHeaders) const {
    url = withScheme(trimSpaces(url));
    if (options.method != 0 && options.method != 1) {
        app::Dialogs& dialogs = m_hooks.dialogs != nullptr ? *m_hooks.dialogs : app::stderrDialogs();
        dialogs.showMessage("友情提醒"_gbk, "【网页_访问】命令的第二个【访问方式】参数有误,请返回修改"_gbk);
        return {};
    }
    std::string proxy = options.proxy;
    std::erase(proxy, ' ');

    const HttpLimits limits = httpLimits();
    ExchangePlan plan;
    plan.url = url;
    plan.method = options.method == 1 ? "POST" : "GET";
    plan.agent = kAgent;
    plan.proxy = proxy.empty() ? std::string() : trimSpaces(options.proxy);
    plan.body = options.body;
    plan.connectTimeout = limits.connect;
    plan.totalTimeout = limits.total;
    plan.compose = [&](const std::string& method, bool sameHost) {
        return composeRequestHeaders(url, options, method, sameHost);
    };
    plan.pump = m_hooks.pumpEvents;

    ExchangeResult result = exchange(plan);
    if (responseHeaders != nullptr) {
        *responseHeaders = result.headers;
    }
    storeResponseCookies(result.headers, result.target.host, nullptr);
    return converted(std::move(result.body), options.conversion);
}

std::string HttpClient::getText(std::string url) const {
    return textUpToZero(request(url));
}

std::string HttpClient::requestTimed(std::string url, const TimedRequestOptions& options,
                                     std::string* responseHeaders, std::string* responseCookies) const {
    if (trimSpaces(url).empty()) {
        return {};
    }
    url = withScheme(std::move(url));
    const auto timeout = std::chrono::milliseconds(std::max(options.timeoutSeconds, 0) * 1000LL);

    auto state = std::make_shared<TimedState>();
    ExchangePlan plan;
    plan.url = url;
    plan.method = options.method == 1 ? "POST" : "GET";
    plan.agent = timedAgent(options.headers);
    plan.proxy = options.proxy;
    plan.body = options.body;
    plan.followRedirects = options.allowRedirect;
    const bool ownCookies = !trimSpaces(options.cookies).empty();
    plan.cookieSending = ownCookies ? CookieSending::CallerOnly : CookieSending::FromStore;
    plan.storeRedirectCookies = !ownCookies;
    plan.connectTimeout = std::min(httpLimits().connect, timeout + std::chrono::milliseconds(1));
    plan.totalTimeout =
        timeout + std::chrono::seconds(1);  // the worker ends on its own soon after the caller gives up
    plan.cancel = &state->cancel;
    plan.compose = [url, options](const std::string& method, bool sameHost) {
        return composeTimedHeaders(url, options, method, sameHost);
    };

    const auto started = std::chrono::steady_clock::now();
    std::thread worker([state, plan = std::move(plan)] {
        ExchangeResult result = exchange(plan);
        std::string cookies;
        storeResponseCookies(result.headers, result.target.host, &cookies);
        {
            std::lock_guard lock(state->mutex);
            state->body = std::move(result.body);
            state->headers = std::move(result.headers);
            state->cookies = std::move(cookies);
            state->done = true;
        }
        state->finished.notify_all();
    });

    const auto isDone = [&state] {
        std::lock_guard lock(state->mutex);
        return state->done;
    };
    if (m_hooks.wait) {
        m_hooks.wait(isDone, timeout);
    } else {
        std::unique_lock lock(state->mutex);
        state->finished.wait_until(lock, started + timeout, [&state] { return state->done; });
    }
    // An answer that arrives only as the time runs out counts as too late.
    if (std::chrono::steady_clock::now() - started >= timeout) {
        state->cancel = true;
        abandonedWorkers().add(state, std::move(worker));
        return timeoutMessage();
    }
    worker.join();
    if (responseHeaders != nullptr) {
        *responseHeaders = state->headers;
    }
    if (responseCookies != nullptr) {
        *responseCookies = state->cookies;
    }
    return converted(std::move(state->body), options.conversion);
}

std::string PlainHttpGet(std::string_view url) {
    const HttpLimits limits = httpLimits();
    ExchangePlan plan;
    plan.url = withScheme(trimSpaces(url));
    plan.method = "GET";
    plan.agent = kAgent;
    plan.http10 = true;
    plan.connectTimeout = limits.connect;
    plan.totalTimeout = limits.total;
    // HTTP/1.0 closes the connection after each answer unless asked to keep it.
    plan.compose = [](const std::string&, bool) {
        return std::string("Accept: */*\r\nConnection: Keep-Alive\r\n");
    };
    ExchangeResult result = exchange(plan);
    storeResponseCookies(result.headers, result.target.host, nullptr);
    if (!result.complete) {
        return {};
    }
    return std::move(result.body);
}

const std::string& timeoutMessage() {
    return "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些。"_gbk;
}

void setHttpLimits(HttpLimits limits) {
    std::lock_guard lock(settings().mutex);
    settings().limits = limits;
}

HttpLimits httpLimits() {
    std::lock_guard lock(settings().mutex);
    return settings().limits;
}

void setHostOverride(std::string_view host, std::string_view address, std::uint16_t port) {
    const std::string key = text::foldAsciiCase(host);
    std::lock_guard lock(settings().mutex);
    settings().overrides[key] = key + "::" + std::string(address) + ":" + std::to_string(port);
}

void clearHostOverrides() {
    std::lock_guard lock(settings().mutex);
    settings().overrides.clear();
}

}  // namespace tovakin::web
