#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// A client of the query service for the command line and the tests: one
// connection, one id at a time, each reply read until it is whole.
namespace tovakin::query {

class QueryClient {
public:
    QueryClient();
    ~QueryClient();
    QueryClient(const QueryClient&) = delete;
    QueryClient& operator=(const QueryClient&) = delete;

    // False (with error()) when no connection was made within `timeout`.
    bool connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout);
    // Sends the bytes as one chunk and waits for the whole reply; nullopt
    // (with error()) on time-out or when the server closed the connection.
    std::optional<std::string> ask(std::string_view itemId, std::chrono::milliseconds timeout);
    std::string error() const { return m_error; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::string m_error;
};

}  // namespace tovakin::query
