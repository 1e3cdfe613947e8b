#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A small HTTP/1.1 server on loopback that plays the outside services: one
// port, many virtual hosts, routed by the Host header (without its port) and
// the path. It keeps connections alive, records every request with its exact
// bytes, and can delay or fail a route on purpose. Request bodies are read
// by their Content-Length (no chunked uploads).
//
//     HttpServer server;
//     server.route("pub.alimama.com", "/urltrans/urltrans.json", [](const HttpRequest& request) {
//         return HttpResponse::text("{...}");
//     });
//     server.start();                               // port 0: any free port
//     server.serveHostForClients("pub.alimama.com"); // the HTTP client connects here for that host
namespace tovakin::sim {

using HeaderFields = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method;
    std::string target;    // as in the request line
    std::string path;      // the target before "?"
    std::string query;     // the target after "?" (without it)
    std::string version;   // "HTTP/1.1"
    HeaderFields headers;  // in the order sent, names as sent, values without surrounding spaces
    std::string body;
    std::string host;  // the Host header without its port, lower case
    std::string raw;   // the exact bytes received: request line, header lines, empty line, body

    // The first header of that name, letter case ignored; empty when absent.
    std::string header(std::string_view name) const;
    bool hasHeader(std::string_view name) const;
};

struct HttpResponse {
    int status = 200;
    HeaderFields headers;  // sent as given; "Content-Length" and "Connection" are added
    std::string body;

    HttpResponse& addHeader(std::string name, std::string value);
    static HttpResponse text(std::string body, std::string contentType = "text/html; charset=gbk");
    static HttpResponse redirect(int status, std::string location);
    static HttpResponse notFound();
};

// Runs on a server thread; several handlers may run at the same time.
using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

enum class RouteFailure {
    None,
    CloseWithoutAnswer,  // read the request, then close the connection
    NeverAnswer,         // read the request and keep the connection open, silent
};

struct RouteBehaviour {
    std::chrono::milliseconds latency{0};  // before the answer is sent (the server thread stays free)
    RouteFailure failure = RouteFailure::None;

    static RouteBehaviour delayed(std::chrono::milliseconds latency) { return {latency, RouteFailure::None}; }
    static RouteBehaviour failing(RouteFailure failure) { return {std::chrono::milliseconds(0), failure}; }
};

class HttpServer {
public:
    HttpServer();
    ~HttpServer();  // stops
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // `host`: a host name, or "*" for any host. `path`: the exact path, or a
    // prefix followed by "*" ("/item/*", "*"). A route for the very host wins
    // over "*"; then an exact path over a prefix, then the longer prefix.
    // Routes may be added and changed while the server runs; the same host
    // and path replace the route.
    void route(std::string host, std::string path, HttpHandler handler);
    // Latency and failure of an existing route (same host and path as given to route()).
    void setBehaviour(std::string_view host, std::string_view path, RouteBehaviour behaviour);
    // Answers requests no route takes (default: 404).
    void setFallback(HttpHandler handler);

    // Listens on 127.0.0.1:`port` (0: a free port) with `threads` server
    // threads. Returns false when the port cannot be had.
    bool start(std::uint16_t port = 0, int threads = 2);
    // Closes every connection and ends the threads. Idempotent; not from a handler.
    void stop();
    std::uint16_t port() const;

    // "http://" + host + ":" + port + pathAndQuery.
    std::string url(std::string_view host, std::string_view pathAndQuery = "/") const;
    // Makes the HTTP client of core connect here for `host` (process-wide).
    void serveHostForClients(std::string_view host) const;

    // Every request received so far, in order of arrival (when recording).
    std::vector<HttpRequest> requests() const;
    void clearRequests();
    void setRecording(bool on);
    // Connections accepted since start (how well clients reuse theirs).
    std::size_t connectionCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tovakin::sim
