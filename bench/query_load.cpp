// Load driver for the TCP query server: N client connections, each asking
// for one known item after another (send an id, wait for the whole reply,
// send the next) against the simulated platform answering every request
// after a fixed latency L. Reports queries per second, p50/p99 latency and
// resident memory for each N, beside the floor of a serial server that
// sends the two requests of a query one after another and answers one
// query at a time: 1 / (2 L) queries per second.
//
//     query_load [--seconds S] [--latency-ms L] [--clients 1,10,100,1000] [--long]
//
// --long runs two minutes per N (memory over a long run).
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <asio.hpp>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/query/query_reply.h"
#include "core/query/query_server.h"
#include "core/web/affiliate_client.h"
#include "core/web/cookie_store.h"
#include "sim/simulated_world.h"

namespace {

using namespace tovakin;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

struct LevelResult {
    std::size_t queries = 0;
    std::size_t wrong = 0;
    double seconds = 0;
    std::vector<double> latenciesMs;
};

// One client connection asking until the end time.
class Client : public std::enable_shared_from_this<Client> {
public:
    Client(asio::io_context& io, const std::vector<std::string>& ids, Clock::time_point end,
           std::uint32_t seed, LevelResult& result, std::mutex& mutex)
        : m_socket(io), m_ids(ids), m_end(end), m_random(seed), m_result(result), m_mutex(mutex) {}

    void start(const tcp::endpoint& server) {
        m_socket.async_connect(server, [self = shared_from_this()](const asio::error_code& error) {
            if (!error) {
                self->m_socket.set_option(tcp::no_delay(true));
                self->ask();
            }
        });
    }

private:
    void ask() {
        if (Clock::now() >= m_end) {
            flush();
            return;
        }
        m_id = m_ids[m_random() % m_ids.size()];
        m_reply.clear();
        m_started = Clock::now();
        asio::async_write(m_socket, asio::buffer(m_id),
                          [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                              if (!error) {
                                  self->read();
                              }
                          });
    }

    void read() {
        m_socket.async_read_some(asio::buffer(m_buffer), [self = shared_from_this()](
                                                             const asio::error_code& error, std::size_t n) {
            if (error) {
                self->flush();
                return;
            }
            self->m_reply.append(self->m_buffer.data(), n);
            if (!query::isCompleteReply(self->m_reply)) {
                self->read();
                return;
            }
            self->m_latencies.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - self->m_started).count());
            self->m_wrong += self->m_reply == query::notFoundReply() ? 1 : 0;
            self->ask();
        });
    }

    void flush() {
        std::lock_guard lock(m_mutex);
        m_result.queries += m_latencies.size();
        m_result.wrong += m_wrong;
        m_result.latenciesMs.insert(m_result.latenciesMs.end(), m_latencies.begin(), m_latencies.end());
        m_latencies.clear();
    }

    tcp::socket m_socket;
    const std::vector<std::string>& m_ids;
    Clock::time_point m_end;
    std::minstd_rand m_random;
    LevelResult& m_result;
    std::mutex& m_mutex;
    std::string m_id;
    std::string m_reply;
    std::array<char, 1024> m_buffer{};
    Clock::time_point m_started;
    std::vector<double> m_latencies;
    std::size_t m_wrong = 0;
};

LevelResult runLevel(std::uint16_t port, std::size_t clients, std::chrono::seconds duration,
                     const std::vector<std::string>& ids) {
    asio::io_context io;
    LevelResult result;
    std::mutex mutex;
    const auto started = Clock::now();
    const auto end = started + duration;
    const tcp::endpoint server(asio::ip::make_address("127.0.0.1"), port);
    for (std::size_t i = 0; i < clients; ++i) {
        std::make_shared<Client>(io, ids, end, static_cast<std::uint32_t>(i + 1), result, mutex)
            ->start(server);
    }
    std::thread helper([&io] { io.run(); });
    io.run();
    helper.join();
    result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return result;
}

double percentile(std::vector<double>& values, double share) {
    if (values.empty()) {
        return 0;
    }
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
    return values[at];
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 10;
    int latencyMs = 20;
    std::vector<std::size_t> levels{1, 10, 100, 1000};
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--seconds" && hasValue) {
            seconds = std::max(1, std::atoi(argv[++i]));
        } else if (option == "--latency-ms" && hasValue) {
            latencyMs = std::max(1, std::atoi(argv[++i]));
        } else if (option == "--long") {
            seconds = 120;
        } else if (option == "--clients" && hasValue) {
            levels.clear();
            std::stringstream list(argv[++i]);
            for (std::string item; std::getline(list, item, ',');) {
                levels.push_back(static_cast<std::size_t>(std::stoul(item)));
            }
        } else {
            std::fprintf(
                stderr,
                "usage: query_load [--seconds S] [--latency-ms L] [--clients 1,10,100,1000] [--long]\n");
            return 2;
        }
    }
    // Both ends of every connection live in this process.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    sim::WorldSettings settings;
    settings.latency = std::chrono::milliseconds(latencyMs);
    sim::SimulatedWorld world(settings);
    if (!world.start()) {
        std::fprintf(stderr, "query_load: the simulated world cannot start\n");
        return 1;
    }
    web::cookieStore().importNetscape(world.sessionCookies());
    const web::AffiliateClient client(web::AffiliateRequests(world.endpoints(), {}));
    query::QueryServerOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    query::QueryServer server(options,
                              [&client](const std::string& id) { return query::answerQuery(client, id); });
    if (!server.start()) {
        std::fprintf(stderr, "query_load: %s\n", server.error().c_str());
        return 1;
    }
    std::vector<std::string> ids;
    for (const sim::CatalogItem& item : world.catalog().items()) {
        ids.push_back(item.itemId);
    }

    const double floor = 1000.0 / (2.0 * latencyMs);
    std::printf("platform latency L = %d ms; serial floor 1/(2L) = %.1f queries/s; %d s per level\n",
                latencyMs, floor, seconds);
    std::printf("%7s %10s %8s %9s %9s %7s %7s %9s %9s %9s\n", "clients", "queries/s", "x floor", "p50 ms",
                "p99 ms", "p99/L", "errors", "upstream", "RSS0 kB", "RSS1 kB");
    for (const std::size_t clients : levels) {
        const long before = residentKilobytes();
        const std::size_t connectionsBefore = world.server().connectionCount();
        LevelResult result = runLevel(server.port(), clients, std::chrono::seconds(seconds), ids);
        const double rate = static_cast<double>(result.queries) / result.seconds;
        const double p50 = percentile(result.latenciesMs, 0.50);
        const double p99 = percentile(result.latenciesMs, 0.99);
        std::printf("%7zu %10.1f %8.1f %9.1f %9.1f %7.2f %7zu %9zu %9ld %9ld\n", clients, rate, rate / floor,
                    p50, p99, p99 / latencyMs, result.wrong,
                    world.server().connectionCount() - connectionsBefore, before, residentKilobytes());
        std::fflush(stdout);
    }
    std::printf(
        "upstream: platform connections opened during the level (libcurl keeps one per worker thread)\n");
    server.stop();
    return 0;
}
