// The six enrichment loops over a table against the simulated affiliate
// platform with a fixed latency per request. Each kind walks the table from
// both ends, so it needs about rows/2 request times; the three kinds run side
// by side, so the whole run should take about rows/2 x latency (the floor).
//
//     enrichment_bench [--rows N] [--latency-ms L]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <thread>

#include "core/app/control_registry.h"
#include "core/app/enrichment_progress.h"
#include "core/app/product_table.h"
#include "core/collect/enrichment.h"
#include "core/web/affiliate_client.h"
#include "core/web/cookie_store.h"
#include "platform/text_codec.h"
#include "sim/simulated_world.h"

using namespace tovakin;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t rows = 1000;
    int latencyMs = 20;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--rows" && i + 1 < argc) {
            rows = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--latency-ms" && i + 1 < argc) {
            latencyMs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: enrichment_bench [--rows N] [--latency-ms L]\n");
            return 2;
        }
    }
    if (rows == 0 || latencyMs <= 0) {
        std::fprintf(stderr, "enrichment_bench: rows and latency must be positive\n");
        return 2;
    }

    sim::WorldSettings settings;
    settings.latency = std::chrono::milliseconds(latencyMs);
    settings.catalogSize = rows;
    sim::SimulatedWorld world(settings);
    if (!world.start()) {
        std::fprintf(stderr, "enrichment_bench: the simulated world cannot start\n");
        return 1;
    }
    web::cookieStore().importNetscape(world.sessionCookies());
    world.server().setRecording(true);

    app::ProductTable table;
    for (const sim::CatalogItem& item : world.catalog().items()) {
        table.append({item.itemId, item.price, "http://img/" + item.itemId + ".jpg", "", "", ""});
    }
    app::ControlRegistry controls(app::mainWindowControls(),
                                  [](std::string_view text) { return platform::utf8ToGbk(text); });
    app::EnrichmentProgress progress;
    const auto total = static_cast<std::int32_t>(rows);

    const std::size_t connectionsBefore = world.server().connectionCount();
    const Clock::time_point start = Clock::now();
    double linkDone = 0;
    double commissionDone = 0;
    {
        collect::Enrichment enrichment(table, controls, progress,
                                       web::AffiliateClient(web::AffiliateRequests(world.endpoints(), {})));
        enrichment.startAfterCollection();
        // When each pair has passed every row (what the backup waits for).
        while (enrichment.running()) {
            if (linkDone == 0 && progress.linkStepForward + progress.linkStepBackward == 2 * total) {
                linkDone = secondsSince(start);
            }
            if (commissionDone == 0 &&
                progress.commissionStepForward + progress.commissionStepBackward == 2 * total) {
                commissionDone = secondsSince(start);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        enrichment.waitUntilDone();
    }
    const double wall = secondsSince(start);
    const std::size_t connections = world.server().connectionCount() - connectionsBefore;

    std::map<std::string, std::size_t> requests;
    for (const sim::HttpRequest& request : world.server().requests()) {
        ++requests[request.path];
    }
    std::size_t incomplete = 0;
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        const auto row = table.row(r);
        if ((*row)[app::kLinkColumn].empty() || (*row)[app::kCommissionColumn].empty() ||
            (*row)[app::kTitleColumn].empty()) {
            ++incomplete;
        }
    }

    const double floor = static_cast<double>(rows) / 2.0 * latencyMs / 1000.0;
    std::printf("rows %zu, platform latency %d ms, floor rows/2 x latency = %.2f s\n", rows, latencyMs,
                floor);
    std::printf("link pair done      %7.2f s  (x%.3f floor)\n", linkDone, linkDone / floor);
    std::printf("commission pair done%7.2f s  (x%.3f floor)\n", commissionDone, commissionDone / floor);
    std::printf("all six loops done  %7.2f s  (x%.3f floor)\n", wall, wall / floor);
    std::printf("requests: link %zu, commission+title %zu (rows %zu per kind)\n",
                requests["/urltrans/urltrans.json"], requests["/pubauc/searchAuctionList.json"], rows);
    std::printf("connections opened to the platform: %zu (6 loops)\n", connections);
    std::printf("rows left incomplete: %zu\n", incomplete);
    return incomplete == 0 ? 0 : 1;
}
