#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock.h"

// The TCP query service: a client sends an item id, the server answers with
// the reply of query_reply.h on the same connection, which stays open for
// further ids. One received chunk is one request.
//
// One I/O thread runs the sockets; the upstream requests run on a worker
// pool, so neither the window nor other clients wait for a slow platform.
// Each connection's replies go out in the order of its requests.
namespace tovakin::query {

struct QueryServerOptions {
    std::string address = "0.0.0.0";  // all local IPv4 addresses
    std::uint16_t port = 19730;       // 0: any free port
    std::size_t maxConnections = 2048;
    // Chunks received but not yet answered, per connection; at the limit the
    // server stops reading from that client until a reply has gone out.
    std::size_t maxInFlightPerConnection = 8;
    // A connection that neither sent a chunk nor took a reply for this long is closed.
    std::chrono::milliseconds idleTimeout{std::chrono::hours(1)};
    std::size_t minWorkers = 2;
    std::size_t maxWorkers = 128;
    std::chrono::milliseconds workerIdleExit{std::chrono::seconds(30)};
    // How long stop() waits for requests already sent upstream.
    std::chrono::milliseconds stopGrace{std::chrono::seconds(2)};
};

// Answers one item id (a chunk accepted by itemIdOfChunk) with a reply text.
// Runs on worker threads, several at once.
using QueryAnswerer = std::function<std::string(const std::string& itemId)>;
// Told of every accepted connection, with the client identity ("1.2.3.4:5678").
// Runs on the I/O thread.
using ConnectionObserver = std::function<void(const std::string& identity)>;

// The list-box line of an accepted connection: identity, five spaces, date-time text.
std::string connectionLogEntry(std::string_view identity, const platform::LocalTime& moment);

class QueryServer {
public:
    QueryServer(QueryServerOptions options, QueryAnswerer answerer, ConnectionObserver onConnection = {});
    ~QueryServer();  // stops
    QueryServer(const QueryServer&) = delete;
    QueryServer& operator=(const QueryServer&) = delete;

    // Listens and starts serving; false (with error()) when the port cannot be had.
    bool start();
    // Closes the listener and every connection. Idempotent.
    void stop();

    bool running() const;
    std::uint16_t port() const;  // the port listened on (after start)
    std::string error() const;   // why start() failed, one line
    std::size_t openConnections() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tovakin::query
