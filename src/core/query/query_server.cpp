#include "core/query/query_server.h"

#include <array>
#include <asio.hpp>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_set>

#include "core/app/date_texts.h"
#include "core/query/query_reply.h"
#include "core/query/worker_pool.h"

namespace tovakin::query {

using asio::ip::tcp;
using SteadyClock = std::chrono::steady_clock;

namespace {

// How workers hand replies back to the I/O thread. Cut off at stop, so a
// worker that outlives the server posts nowhere.
class Dispatch {
public:
    explicit Dispatch(asio::io_context& io) : m_io(&io) {}
    void post(std::function<void()> handler) {
        std::lock_guard lock(m_mutex);
        if (m_io != nullptr) {
            asio::post(*m_io, std::move(handler));
        }
    }
    void cutOff() {
        std::lock_guard lock(m_mutex);
        m_io = nullptr;
    }

private:
    std::mutex m_mutex;
    asio::io_context* m_io;
};

std::string identityOf(const tcp::socket& socket) {
    asio::error_code ec;
    const tcp::endpoint peer = socket.remote_endpoint(ec);
    if (ec) {
        return {};
    }
    asio::ip::address address = peer.address();
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    }
    return address.to_string() + ":" + std::to_string(peer.port());
}

}  // namespace

std::string connectionLogEntry(std::string_view identity, const platform::LocalTime& moment) {
    return std::string(identity) + "     " + app::dateTimeText(moment);
}

struct QueryServer::Impl {
    class Connection;

    Impl(QueryServerOptions opts, QueryAnswerer answer, ConnectionObserver observer)
        : options(std::move(opts)),
          answerer(std::make_shared<const QueryAnswerer>(std::move(answer))),
          onConnection(std::move(observer)),
          dispatch(std::make_shared<Dispatch>(io)),
          pool(options.minWorkers, options.maxWorkers, options.workerIdleExit) {}

    void accept();
    void acceptLater();

    QueryServerOptions options;
    std::shared_ptr<const QueryAnswerer> answerer;
    ConnectionObserver onConnection;
    asio::io_context io;
    tcp::acceptor acceptor{io};
    asio::steady_timer acceptRetry{io};
    std::shared_ptr<Dispatch> dispatch;
    WorkerPool pool;
    std::unordered_set<std::shared_ptr<Connection>> connections;  // I/O thread only
    std::atomic<std::size_t> open{0};
    std::thread ioThread;

    mutable std::mutex mutex;
    bool running = false;
    bool stopped = false;
    std::uint16_t port = 0;
    std::string lastError;
};

class QueryServer::Impl::Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(Impl& server, tcp::socket socket)
        : m_server(server), m_socket(std::move(socket)), m_idle(server.io) {}

    void start() {
        asio::error_code ignored;
        m_socket.set_option(tcp::no_delay(true), ignored);
        m_lastActivity = SteadyClock::now();
        armIdleTimer();
        read();
    }

    // Ends the connection; requests of it still queued are not sent upstream.
    void close() {
        if (m_closed) {
            return;
        }
        m_closed = true;
        *m_gone = true;
        asio::error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
        m_idle.cancel();
        --m_server.open;
        m_server.connections.erase(shared_from_this());
    }

private:
    struct Slot {
        bool ready = false;
        std::string reply;
    };

    void read() {
        if (m_closed || m_reading || m_endOfInput ||
            m_pending.size() >= m_server.options.maxInFlightPerConnection) {
            return;  // a reply going out resumes reading
        }
        m_reading = true;
        m_socket.async_read_some(
            asio::buffer(m_buffer),
            [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
                self->m_reading = false;
                if (error == asio::error::eof) {
                    // The client sent all it will: answer, then close.
                    self->m_endOfInput = true;
                    self->closeWhenAnswered();
                    return;
                }
                if (error) {
                    self->close();
                    return;
                }
                self->m_lastActivity = SteadyClock::now();
                self->request(std::string_view(self->m_buffer.data(), size));
                self->read();
            });
    }

    // One received chunk is one request.
    void request(std::string_view chunk) {
        const std::uint64_t sequence = m_firstSequence + m_pending.size();
        m_pending.emplace_back();
        std::string itemId = itemIdOfChunk(chunk);
        if (itemId.empty()) {
            finish(sequence, notFoundReply());
            return;
        }
        m_server.pool.submit([answerer = m_server.answerer, dispatch = m_server.dispatch, gone = m_gone,
                              connection = weak_from_this(), sequence, itemId = std::move(itemId)] {
            if (*gone) {
                return;
            }
            std::string reply;
            try {
                reply = (*answerer)(itemId);
            } catch (const std::exception&) {
                reply = notFoundReply();
            }
            dispatch->post([connection, sequence, reply = std::move(reply)]() mutable {
                if (const auto alive = connection.lock()) {
                    alive->finish(sequence, std::move(reply));
                }
            });
        });
    }

    void finish(std::uint64_t sequence, std::string reply) {
        if (m_closed || sequence < m_firstSequence) {
            return;
        }
        Slot& slot = m_pending[static_cast<std::size_t>(sequence - m_firstSequence)];
        slot.ready = true;
        slot.reply = std::move(reply);
        write();
    }

    void closeWhenAnswered() {
        if (m_endOfInput && m_pending.empty()) {
            close();
        }
    }

    // Replies leave in the order of their requests, one write at a time.
    void write() {
        if (m_closed || m_writing || m_pending.empty() || !m_pending.front().ready) {
            return;
        }
        m_writing = true;
        asio::async_write(m_socket, asio::buffer(m_pending.front().reply),
                          [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                              self->m_writing = false;
                              if (error) {
                                  self->close();
                                  return;
                              }
                              self->m_lastActivity = SteadyClock::now();
                              self->m_pending.pop_front();
                              ++self->m_firstSequence;
                              self->write();
                              self->read();
                              self->closeWhenAnswered();
                          });
    }

    // Nothing received and no reply taken by the client for the idle time:
    // the client is gone or stuck, and its socket is better given back.
    void armIdleTimer() {
        m_idle.expires_at(m_lastActivity + m_server.options.idleTimeout);
        m_idle.async_wait([self = shared_from_this()](const asio::error_code& error) {
            if (error || self->m_closed) {
                return;
            }
            if (SteadyClock::now() - self->m_lastActivity >= self->m_server.options.idleTimeout) {
                self->close();
            } else {
                self->armIdleTimer();
            }
        });
    }

    Impl& m_server;
    tcp::socket m_socket;
    asio::steady_timer m_idle;
    std::array<char, 4096> m_buffer{};
    std::deque<Slot> m_pending;  // requests not yet answered in full, oldest first
    std::uint64_t m_firstSequence = 0;
    bool m_reading = false;
    bool m_writing = false;
    bool m_endOfInput = false;
    bool m_closed = false;
    std::shared_ptr<std::atomic<bool>> m_gone = std::make_shared<std::atomic<bool>>(false);
    SteadyClock::time_point m_lastActivity;
};

void QueryServer::Impl::accept() {
    acceptor.async_accept([this](const asio::error_code& error, tcp::socket socket) {
        if (error == asio::error::operation_aborted || !acceptor.is_open()) {
            return;
        }
        if (error) {
            acceptLater();  // e.g. out of file descriptors: try again soon rather than spin
            return;
        }
        if (open.load() >= options.maxConnections) {
            asio::error_code ignored;
            socket.close(ignored);
        } else {
            const std::string identity = identityOf(socket);
            auto connection = std::make_shared<Connection>(*this, std::move(socket));
            connections.insert(connection);
            ++open;
            if (onConnection) {
                onConnection(identity);
            }
            connection->start();
        }
        accept();
    });
}

void QueryServer::Impl::acceptLater() {
    acceptRetry.expires_after(std::chrono::milliseconds(100));
    acceptRetry.async_wait([this](const asio::error_code& error) {
        if (!error && acceptor.is_open()) {
            accept();
        }
    });
}

QueryServer::QueryServer(QueryServerOptions options, QueryAnswerer answerer, ConnectionObserver onConnection)
    : m_impl(std::make_unique<Impl>(std::move(options), std::move(answerer), std::move(onConnection))) {}

QueryServer::~QueryServer() {
    stop();
}

bool QueryServer::start() {
    std::lock_guard lock(m_impl->mutex);
    if (m_impl->running || m_impl->stopped) {
        return m_impl->running;
    }
    asio::error_code ec;
    const asio::ip::address address = asio::ip::make_address(m_impl->options.address, ec);
    if (ec) {
        m_impl->lastError = "bad listen address " + m_impl->options.address;
        return false;
    }
    const tcp::endpoint endpoint(address, m_impl->options.port);
    tcp::acceptor& acceptor = m_impl->acceptor;
    std::string step = "open";
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        // Lets a restarted program listen again at once; a port another
        // program listens on stays refused.
        acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    }
    if (!ec) {
        step = "bind";
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        step = "listen";
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        m_impl->lastError = "cannot listen on " + m_impl->options.address + ":" +
                            std::to_string(m_impl->options.port) + " (" + step + ": " + ec.message() + ")";
        asio::error_code ignored;
        acceptor.close(ignored);
        return false;
    }
    m_impl->port = acceptor.local_endpoint(ec).port();
    m_impl->running = true;
    m_impl->accept();
    m_impl->ioThread = std::thread([impl = m_impl.get()] { impl->io.run(); });
    return true;
}

void QueryServer::stop() {
    {
        std::lock_guard lock(m_impl->mutex);
        if (m_impl->stopped) {
            return;
        }
        m_impl->stopped = true;
        if (!m_impl->running) {
            return;
        }
        m_impl->running = false;
    }
    m_impl->dispatch->cutOff();
    asio::post(m_impl->io, [impl = m_impl.get()] {
        asio::error_code ignored;
        impl->acceptor.close(ignored);
        impl->acceptRetry.cancel();
        const auto connections = impl->connections;
        for (const auto& connection : connections) {
            connection->close();
        }
        impl->io.stop();
    });
    m_impl->ioThread.join();
    m_impl->pool.stop(m_impl->options.stopGrace);
}

bool QueryServer::running() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->running;
}

std::uint16_t QueryServer::port() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->port;
}

std::string QueryServer::error() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->lastError;
}

std::size_t QueryServer::openConnections() const {
    return m_impl->open.load();
}

}  // namespace tovakin::query
