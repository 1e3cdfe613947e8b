#include "sim/http_server.h"

#include <algorithm>
#include <asio.hpp>
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "core/text/gbk_text.h"
#include "core/web/http_client.h"

namespace tovakin::sim {

namespace {

constexpr std::size_t kMaxHeaderBlock = 1 << 20;
constexpr std::size_t kMaxBody = 64 << 20;

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

const char* reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 204:
            return "No Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 307:
            return "Temporary Redirect";
        case 308:
            return "Permanent Redirect";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

// Parses the request line and header lines of `block` (without the empty line).
std::optional<HttpRequest> parseHead(std::string_view block) {
    HttpRequest request;
    const auto lineEnd = block.find("\r\n");
    const std::string_view requestLine = block.substr(0, lineEnd);
    const auto firstSpace = requestLine.find(' ');
    const auto lastSpace = requestLine.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace == firstSpace) {
        return std::nullopt;
    }
    request.method = requestLine.substr(0, firstSpace);
    request.target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    request.version = requestLine.substr(lastSpace + 1);
    const auto question = request.target.find('?');
    request.path = request.target.substr(0, question);
    request.query = question == std::string::npos ? std::string() : request.target.substr(question + 1);
    std::string_view rest =
        lineEnd == std::string_view::npos ? std::string_view() : block.substr(lineEnd + 2);
    while (!rest.empty()) {
        const auto end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        request.headers.emplace_back(std::string(line.substr(0, colon)),
                                     std::string(trim(line.substr(colon + 1))));
    }
    std::string host = request.header("Host");
    if (!host.empty() && host.front() == '[') {
        host = host.substr(0, host.find(']') + 1);
    } else {
        host = host.substr(0, host.find(':'));
    }
    request.host = text::foldAsciiCase(host);
    return request;
}

bool keepsAlive(const HttpRequest& request) {
    const std::string connection = text::foldAsciiCase(request.header("Connection"));
    if (request.version == "HTTP/1.0") {
        return connection == "keep-alive";
    }
    return connection != "close";
}

std::string serialise(const HttpResponse& response, bool keepAlive, bool headRequest) {
    std::string out =
        "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) + "\r\n";
    bool hasLength = false;
    for (const auto& [name, value] : response.headers) {
        hasLength = hasLength || text::equalsIgnoringAsciiCase(name, "Content-Length");
        out += name + ": " + value + "\r\n";
    }
    if (!hasLength) {
        out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    out += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    out += "\r\n";
    if (!headRequest) {
        out += response.body;
    }
    return out;
}

struct Route {
    std::string host;
    std::string path;
    std::shared_ptr<const HttpHandler> handler;
    RouteBehaviour behaviour;
};

// Higher is better; nullopt when the route does not take the request.
std::optional<std::size_t> matchScore(const Route& route, const HttpRequest& request) {
    std::size_t score = 0;
    if (route.host == request.host) {
        score += 1'000'000'000;
    } else if (route.host != "*") {
        return std::nullopt;
    }
    if (route.path == request.path) {
        return score + 500'000'000;
    }
    if (route.path.ends_with('*')) {
        const std::string_view prefix = std::string_view(route.path).substr(0, route.path.size() - 1);
        if (request.path.starts_with(prefix)) {
            return score + prefix.size();
        }
    }
    return std::nullopt;
}

}  // namespace

std::string HttpRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (text::equalsIgnoringAsciiCase(key, name)) {
            return value;
        }
    }
    return {};
}

bool HttpRequest::hasHeader(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& field) { return text::equalsIgnoringAsciiCase(field.first, name); });
}

HttpResponse& HttpResponse::addHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
    return *this;
}

HttpResponse HttpResponse::text(std::string body, std::string contentType) {
    HttpResponse response;
    response.headers.emplace_back("Content-Type", std::move(contentType));
    response.body = std::move(body);
    return response;
}

HttpResponse HttpResponse::redirect(int status, std::string location) {
    HttpResponse response;
    response.status = status;
    response.headers.emplace_back("Location", std::move(location));
    return response;
}

HttpResponse HttpResponse::notFound() {
    HttpResponse response = text("not found", "text/plain");
    response.status = 404;
    return response;
}

namespace http_detail {

// Routes and the request log, shared by the server's threads.
struct Registry {
    mutable std::mutex mutex;
    std::vector<Route> routes;
    std::shared_ptr<const HttpHandler> fallback;
    std::vector<HttpRequest> recorded;
    bool recording = true;

    // The handler and behaviour for a request.
    std::pair<std::shared_ptr<const HttpHandler>, RouteBehaviour> lookup(const HttpRequest& request) const {
        std::lock_guard lock(mutex);
        const Route* best = nullptr;
        std::size_t bestScore = 0;
        for (const Route& route : routes) {
            const auto score = matchScore(route, request);
            if (score && (best == nullptr || *score > bestScore)) {
                best = &route;
                bestScore = *score;
            }
        }
        if (best == nullptr) {
            return {fallback, {}};
        }
        return {best->handler, best->behaviour};
    }
    void record(const HttpRequest& request) {
        std::lock_guard lock(mutex);
        if (recording) {
            recorded.push_back(request);
        }
    }
};

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(asio::ip::tcp::socket socket, Registry& server)
        : m_socket(std::move(socket)), m_timer(m_socket.get_executor()), m_server(server) {}

    void readHead() {
        asio::async_read_until(
            m_socket, asio::dynamic_buffer(m_buffer, kMaxHeaderBlock), "\r\n\r\n",
            [self = shared_from_this()](const asio::error_code& error, std::size_t length) {
                self->onHead(error, length);
            });
    }

private:
    void onHead(const asio::error_code& error, std::size_t headLength) {
        if (error) {
            close();
            return;
        }
        auto request = parseHead(std::string_view(m_buffer).substr(0, headLength - 4));
        if (!request) {
            close();
            return;
        }
        std::size_t bodyLength = 0;
        const std::string length = request->header("Content-Length");
        if (!length.empty()) {
            const auto [end, ec] = std::from_chars(length.data(), length.data() + length.size(), bodyLength);
            if (ec != std::errc() || bodyLength > kMaxBody) {
                close();
                return;
            }
        }
        m_request = std::move(*request);
        const std::size_t total = headLength + bodyLength;
        if (m_buffer.size() >= total) {
            onRequest(headLength, bodyLength);
            return;
        }
        asio::async_read(m_socket, asio::dynamic_buffer(m_buffer),
                         asio::transfer_exactly(total - m_buffer.size()),
                         [self = shared_from_this(), headLength, bodyLength](
                             const asio::error_code& readError, std::size_t) {
                             if (readError) {
                                 self->close();
                                 return;
                             }
                             self->onRequest(headLength, bodyLength);
                         });
    }

    void onRequest(std::size_t headLength, std::size_t bodyLength) {
        m_request.raw = m_buffer.substr(0, headLength + bodyLength);
        m_request.body = m_buffer.substr(headLength, bodyLength);
        m_buffer.erase(0, headLength + bodyLength);
        m_server.record(m_request);
        auto [handler, behaviour] = m_server.lookup(m_request);
        m_behaviour = behaviour;
        m_handler = handler;
        if (behaviour.latency.count() > 0) {
            m_timer.expires_after(behaviour.latency);
            m_timer.async_wait([self = shared_from_this()](const asio::error_code& error) {
                if (!error) {
                    self->answer();
                }
            });
            return;
        }
        answer();
    }

    void answer() {
        switch (m_behaviour.failure) {
            case RouteFailure::CloseWithoutAnswer:
                close();
                return;
            case RouteFailure::NeverAnswer:
                waitForClose();
                return;
            case RouteFailure::None:
                break;
        }
        const HttpResponse response = m_handler ? (*m_handler)(m_request) : HttpResponse::notFound();
        const bool keepAlive = keepsAlive(m_request);
        m_out = serialise(response, keepAlive, m_request.method == "HEAD");
        asio::async_write(m_socket, asio::buffer(m_out),
                          [self = shared_from_this(), keepAlive](const asio::error_code& error, std::size_t) {
                              if (error || !keepAlive) {
                                  self->close();
                                  return;
                              }
                              self->readHead();
                          });
    }

    // Stays silent; the session lives until the client gives up or the server stops.
    void waitForClose() {
        m_socket.async_read_some(asio::buffer(m_discard),
                                 [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                                     if (error) {
                                         self->close();
                                         return;
                                     }
                                     self->waitForClose();
                                 });
    }

    void close() {
        asio::error_code ignored;
        m_socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
    }

    asio::ip::tcp::socket m_socket;
    asio::steady_timer m_timer;
    Registry& m_server;
    std::string m_buffer;
    std::string m_out;
    std::array<char, 1024> m_discard{};
    HttpRequest m_request;
    RouteBehaviour m_behaviour;
    std::shared_ptr<const HttpHandler> m_handler;
};

}  // namespace http_detail

using namespace http_detail;

struct HttpServer::Impl {
    Registry registry;
    std::atomic<std::size_t> connections{0};
    std::unique_ptr<asio::io_context> io;
    std::unique_ptr<asio::ip::tcp::acceptor> acceptor;
    std::vector<std::thread> threads;
    std::uint16_t port = 0;

    void accept();
};

void HttpServer::Impl::accept() {
    acceptor->async_accept([this](const asio::error_code& error, asio::ip::tcp::socket socket) {
        if (error) {
            if (error != asio::error::operation_aborted && acceptor->is_open()) {
                accept();
            }
            return;
        }
        ++connections;
        asio::error_code ignored;
        socket.set_option(asio::ip::tcp::no_delay(true), ignored);
        std::make_shared<Session>(std::move(socket), registry)->readHead();
        accept();
    });
}

HttpServer::HttpServer() : m_impl(std::make_unique<Impl>()) {
    m_impl->registry.fallback =
        std::make_shared<const HttpHandler>([](const HttpRequest&) { return HttpResponse::notFound(); });
}

HttpServer::~HttpServer() {
    stop();
}

void HttpServer::route(std::string host, std::string path, HttpHandler handler) {
    host = text::foldAsciiCase(host);
    auto shared = std::make_shared<const HttpHandler>(std::move(handler));
    std::lock_guard lock(m_impl->registry.mutex);
    for (Route& existing : m_impl->registry.routes) {
        if (existing.host == host && existing.path == path) {
            existing.handler = std::move(shared);
            return;
        }
    }
    m_impl->registry.routes.push_back({std::move(host), std::move(path), std::move(shared), {}});
}

void HttpServer::setBehaviour(std::string_view host, std::string_view path, RouteBehaviour behaviour) {
    const std::string folded = text::foldAsciiCase(host);
    std::lock_guard lock(m_impl->registry.mutex);
    for (Route& existing : m_impl->registry.routes) {
        if (existing.host == folded && existing.path == path) {
            existing.behaviour = behaviour;
        }
    }
}

void HttpServer::setFallback(HttpHandler handler) {
    auto shared = std::make_shared<const HttpHandler>(std::move(handler));
    std::lock_guard lock(m_impl->registry.mutex);
    m_impl->registry.fallback = std::move(shared);
}

bool HttpServer::start(std::uint16_t port, int threads) {
    if (m_impl->io) {
        return true;
    }
    m_impl->io = std::make_unique<asio::io_context>();
    asio::error_code error;
    auto acceptor = std::make_unique<asio::ip::tcp::acceptor>(*m_impl->io);
    const asio::ip::tcp::endpoint endpoint(asio::ip::address_v4::loopback(), port);
    acceptor->open(endpoint.protocol(), error);
    if (!error) {
        acceptor->set_option(asio::socket_base::reuse_address(true), error);
    }
    if (!error) {
        acceptor->bind(endpoint, error);
    }
    if (!error) {
        acceptor->listen(asio::socket_base::max_listen_connections, error);
    }
    if (error) {
        m_impl->io.reset();
        return false;
    }
    m_impl->port = acceptor->local_endpoint().port();
    m_impl->acceptor = std::move(acceptor);
    m_impl->connections = 0;
    m_impl->accept();
    for (int i = 0; i < std::max(threads, 1); ++i) {
        m_impl->threads.emplace_back([io = m_impl->io.get()] { io->run(); });
    }
    return true;
}

void HttpServer::stop() {
    if (!m_impl->io) {
        return;
    }
    asio::post(*m_impl->io, [acceptor = m_impl->acceptor.get()] {
        asio::error_code ignored;
        acceptor->close(ignored);
    });
    m_impl->io->stop();
    for (std::thread& thread : m_impl->threads) {
        thread.join();
    }
    m_impl->threads.clear();
    // Destroying the context destroys every session with its socket, so clients see the close.
    m_impl->acceptor.reset();
    m_impl->io.reset();
}

std::uint16_t HttpServer::port() const {
    return m_impl->port;
}

std::string HttpServer::url(std::string_view host, std::string_view pathAndQuery) const {
    return "http://" + std::string(host) + ":" + std::to_string(m_impl->port) + std::string(pathAndQuery);
}

void HttpServer::serveHostForClients(std::string_view host) const {
    web::setHostOverride(host, "127.0.0.1", m_impl->port);
}

std::vector<HttpRequest> HttpServer::requests() const {
    std::lock_guard lock(m_impl->registry.mutex);
    return m_impl->registry.recorded;
}

void HttpServer::clearRequests() {
    std::lock_guard lock(m_impl->registry.mutex);
    m_impl->registry.recorded.clear();
}

void HttpServer::setRecording(bool on) {
    std::lock_guard lock(m_impl->registry.mutex);
    m_impl->registry.recording = on;
}

std::size_t HttpServer::connectionCount() const {
    return m_impl->connections.load();
}

}  // namespace tovakin::sim
