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

// Latencies in 0.1 ms buckets up to 10 s, allocated once: the driver's own
// data does not grow with the length of a run, so RSS shows the server's.
class Histogram {
public:
    Histogram() : m_buckets(kBuckets + 1) {}
    void add(double milliseconds) {
        const auto bucket = static_cast<std::size_t>(std::max(0.0, milliseconds) * 10.0);
        m_buckets[std::min(bucket, kBuckets)].fetch_add(1, std::memory_order_relaxed);
        m_count.fetch_add(1, std::memory_order_relaxed);
    }
    std::size_t count() const { return m_count.load(); }
    double percentile(double share) const {
        const auto wanted = static_cast<std::size_t>(share * static_cast<double>(count()));
        std::size_t seen = 0;
        for (std::size_t i = 0; i <= kBuckets; ++i) {
            seen += m_buckets[i].load();
            if (seen > wanted) {
                return static_cast<double>(i) / 10.0;
            }
        }
        return static_cast<double>(kBuckets) / 10.0;
    }

private:
    static constexpr std::size_t kBuckets = 100'000;
    std::vector<std::atomic<std::size_t>> m_buckets;
    std::atomic<std::size_t> m_count{0};
};

struct LevelResult {
    Histogram latencies;
    std::atomic<std::size_t> wrong{0};
    double seconds = 0;
    long halfwayKilobytes = -1;
};

// One client connection asking until the end time.
class Client : public std::enable_shared_from_this<Client> {
public:
    Client(asio::io_context& io, const std::vector<std::string>& ids, Clock::time_point end,
           std::uint32_t seed, LevelResult& result)
        : m_socket(io), m_ids(ids), m_end(end), m_random(seed), m_result(result) {}

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
                return;
            }
            self->m_reply.append(self->m_buffer.data(), n);
            if (!query::isCompleteReply(self->m_reply)) {
                self->read();
                return;
            }
            self->m_result.latencies.add(
                std::chrono::duration<double, std::milli>(Clock::now() - self->m_started).count());
            if (self->m_reply == query::notFoundReply()) {
                ++self->m_result.wrong;
            }
            self->ask();
        });
    }

    tcp::socket m_socket;
    const std::vector<std::string>& m_ids;
    Clock::time_point m_end;
    std::minstd_rand m_random;
    LevelResult& m_result;
    std::string m_id;
    std::string m_reply;
    std::array<char, 1024> m_buffer{};
    Clock::time_point m_started;
};

void runLevel(std::uint16_t port, std::size_t clients, std::chrono::seconds duration,
              const std::vector<std::string>& ids, LevelResult& result) {
    asio::io_context io;
    const auto started = Clock::now();
    const auto end = started + duration;
    const tcp::endpoint server(asio::ip::make_address("127.0.0.1"), port);
    for (std::size_t i = 0; i < clients; ++i) {
        std::make_shared<Client>(io, ids, end, static_cast<std::uint32_t>(i + 1), result)->start(server);
    }
    std::thread helper([&io] { io.run(); });
    // Memory half-way through, to tell growth during a level from its start-up.
    std::thread sampler([&result, duration] {
        std::this_thread::sleep_for(duration / 2);
        result.halfwayKilobytes = residentKilobytes();
    });
    io.run();
    helper.join();
    sampler.join();
    result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
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
    std::printf("%7s %10s %8s %9s %9s %7s %7s %9s %9s %9s %9s\n", "clients", "queries/s", "x floor", "p50 ms",
                "p99 ms", "p99/L", "errors", "upstream", "RSS0 kB", "RSSmid kB", "RSS1 kB");
    for (const std::size_t clients : levels) {
        const long before = residentKilobytes();
        const std::size_t connectionsBefore = world.server().connectionCount();
        LevelResult result;
        runLevel(server.port(), clients, std::chrono::seconds(seconds), ids, result);
        const double rate = static_cast<double>(result.latencies.count()) / result.seconds;
        const double p50 = result.latencies.percentile(0.50);
        const double p99 = result.latencies.percentile(0.99);
        std::printf("%7zu %10.1f %8.1f %9.1f %9.1f %7.2f %7zu %9zu %9ld %9ld %9ld\n", clients, rate,
                    rate / floor, p50, p99, p99 / latencyMs, result.wrong.load(),
                    world.server().connectionCount() - connectionsBefore, before, result.halfwayKilobytes,
                    residentKilobytes());
        std::fflush(stdout);
    }
    std::printf(
        "errors: not-found replies for known items; upstream: platform connections opened during the\n"
        "level (libcurl keeps one per worker thread); RSS before, half-way through and after the level\n");
    server.stop();
    return 0;
}
