#include "core/query/query_client.h"

#include <array>
#include <asio.hpp>

#include "core/query/query_reply.h"

namespace tovakin::query {

using asio::ip::tcp;

struct QueryClient::Impl {
    asio::io_context io;
    tcp::socket socket{io};
};

QueryClient::QueryClient() : m_impl(std::make_unique<Impl>()) {}

QueryClient::~QueryClient() = default;

bool QueryClient::connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout) {
    tcp::resolver resolver(m_impl->io);
    asio::error_code ec;
    const auto endpoints = resolver.resolve(host, std::to_string(port), ec);
    if (ec) {
        m_error = "cannot resolve " + host + ": " + ec.message();
        return false;
    }
    asio::error_code result = asio::error::timed_out;
    asio::async_connect(m_impl->socket, endpoints,
                        [&result](const asio::error_code& error, const tcp::endpoint&) { result = error; });
    m_impl->io.restart();
    m_impl->io.run_for(timeout);
    if (result) {
        m_error = "cannot connect to " + host + ":" + std::to_string(port) + ": " + result.message();
        asio::error_code ignored;
        m_impl->socket.close(ignored);
        m_impl->io.restart();
        m_impl->io.run();  // the aborted connect must not outlive `result`
        return false;
    }
    m_impl->socket.set_option(tcp::no_delay(true), ec);
    return true;
}

std::optional<std::string> QueryClient::ask(std::string_view itemId, std::chrono::milliseconds timeout) {
    asio::error_code ec;
    asio::write(m_impl->socket, asio::buffer(itemId.data(), itemId.size()), ec);
    if (ec) {
        m_error = "cannot send: " + ec.message();
        return std::nullopt;
    }
    std::string reply;
    std::array<char, 4096> buffer{};
    bool failed = false;
    std::function<void()> readMore = [&] {
        m_impl->socket.async_read_some(asio::buffer(buffer), [&](const asio::error_code& error,
                                                                 std::size_t n) {
            if (error) {
                m_error = error == asio::error::eof ? "the server closed the connection" : error.message();
                failed = true;
                return;
            }
            reply.append(buffer.data(), n);
            if (!isCompleteReply(reply)) {
                readMore();
            }
        });
    };
    readMore();
    m_impl->io.restart();
    m_impl->io.run_for(timeout);
    if (failed) {
        return std::nullopt;
    }
    if (!isCompleteReply(reply)) {
        m_error = "no whole reply within " + std::to_string(timeout.count()) + " ms";
        m_impl->socket.close(ec);  // the pending read must not outlive this call
        m_impl->io.restart();
        m_impl->io.run();
        return std::nullopt;
    }
    return reply;
}

}  // namespace tovakin::query
