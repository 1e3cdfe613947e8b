// Requests per second against the loopback server: the HTTP client with its
// per-thread connection reuse, the same client made to open a connection per
// request, PlainHttpGet, and the curl command spawned once per request.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <memory>
#include <string>
#include <vector>

#include "core/web/affiliate_client.h"
#include "core/web/cookie_store.h"
#include "core/web/http_client.h"
#include "sim/http_server.h"
#include "sim/simulated_world.h"

extern char** environ;

namespace {

using tovakin::sim::HttpRequest;
using tovakin::sim::HttpResponse;

constexpr const char* kHost = "pub.bench.test";

tovakin::sim::HttpServer& server() {
    static const std::unique_ptr<tovakin::sim::HttpServer> instance = [] {
        auto created = std::make_unique<tovakin::sim::HttpServer>();
        created->setRecording(false);
        created->route("*", "*", [](const HttpRequest&) {
            return HttpResponse::text(
                R"({"data":{"sclick":"http://s.click.test/t?e=1"},"info":{"ok":true}})");
        });
        created->start(0, 2);
        created->serveHostForClients(kHost);
        return created;
    }();
    return *instance;
}

std::string benchUrl() {
    return server().url(kHost, "/urltrans/urltrans.json?siteid=1&t=1");
}

// Runs the curl command once, as a script would; false when it fails.
bool runCurl(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void reportConnections(benchmark::State& state, std::size_t before) {
    state.SetItemsProcessed(state.iterations());
    state.counters["connections"] = static_cast<double>(server().connectionCount() - before);
}

void BM_HttpClientRequest(benchmark::State& state) {
    const tovakin::web::HttpClient client;
    const std::string target = benchUrl();
    const std::size_t before = server().connectionCount();
    for (auto _ : state) {
        std::string url = target;
        benchmark::DoNotOptimize(client.request(url));
    }
    reportConnections(state, before);
}
BENCHMARK(BM_HttpClientRequest)->UseRealTime();
BENCHMARK(BM_HttpClientRequest)->Threads(4)->UseRealTime();

void BM_HttpClientNewConnectionEachTime(benchmark::State& state) {
    const tovakin::web::HttpClient client;
    const std::string target = benchUrl();
    tovakin::web::RequestOptions closing;
    closing.headers = "Connection: close\r\n";
    const std::size_t before = server().connectionCount();
    for (auto _ : state) {
        std::string url = target;
        benchmark::DoNotOptimize(client.request(url, closing));
    }
    reportConnections(state, before);
}
BENCHMARK(BM_HttpClientNewConnectionEachTime)->UseRealTime();

void BM_PlainHttpGet(benchmark::State& state) {
    const std::string target = benchUrl();
    const std::size_t before = server().connectionCount();
    for (auto _ : state) {
        benchmark::DoNotOptimize(tovakin::web::PlainHttpGet(target));
    }
    reportConnections(state, before);
}
BENCHMARK(BM_PlainHttpGet)->UseRealTime();

// One worker thread per request, as the timed operation is defined; each worker opens its own connection.
void BM_HttpClientRequestTimed(benchmark::State& state) {
    const tovakin::web::HttpClient client;
    const std::string target = benchUrl();
    const std::size_t before = server().connectionCount();
    for (auto _ : state) {
        benchmark::DoNotOptimize(client.requestTimed(target));
    }
    reportConnections(state, before);
}
BENCHMARK(BM_HttpClientRequestTimed)->UseRealTime();

// The baseline: one curl process per request, as a script would do it.
void BM_CurlCommandPerRequest(benchmark::State& state) {
    const std::string target = benchUrl();
    const std::string connectTo = std::string(kHost) + "::127.0.0.1:" + std::to_string(server().port());
    const std::size_t before = server().connectionCount();
    for (auto _ : state) {
        if (!runCurl({"curl", "-s", "-o", "/dev/null", "--connect-to", connectTo, target})) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    reportConnections(state, before);
}
BENCHMARK(BM_CurlCommandPerRequest)->UseRealTime();

// The simulated affiliate platform: commission searches for catalogue items
// through the client the enrichment uses, against the same URLs fetched by
// spawning curl with the session cookie.
tovakin::sim::SimulatedWorld& world() {
    static const std::unique_ptr<tovakin::sim::SimulatedWorld> instance = [] {
        auto created = std::make_unique<tovakin::sim::SimulatedWorld>();
        created->start();
        tovakin::web::cookieStore().importNetscape(created->sessionCookies());
        return created;
    }();
    return *instance;
}

tovakin::web::AffiliateClient platformClient() {
    return tovakin::web::AffiliateClient(
        tovakin::web::AffiliateRequests(world().endpoints(), tovakin::app::AffiliateAccount{}));
}

void BM_SimulatedPlatformCommission(benchmark::State& state) {
    const tovakin::web::AffiliateClient client = platformClient();
    const auto& items = world().catalog().items();
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(client.commissionRate(items[next++ % items.size()].itemId));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SimulatedPlatformCommission)->UseRealTime();
BENCHMARK(BM_SimulatedPlatformCommission)->Threads(4)->UseRealTime();

void BM_SimulatedPlatformCommissionByCurl(benchmark::State& state) {
    const tovakin::web::AffiliateClient client = platformClient();
    const auto& items = world().catalog().items();
    std::string cookie = "Cookie: cookie2=" + world().platform().session();
    std::size_t next = 0;
    for (auto _ : state) {
        const std::string target = client.requests().commissionSearchUrl(items[next++ % items.size()].itemId);
        if (!runCurl({"curl", "-s", "-o", "/dev/null", "-H", cookie, target})) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SimulatedPlatformCommissionByCurl)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
