// Parse time of one shopping-guide page per source: page text, the three
// marker lists (or the item blocks) and the rows, as the collection run does
// on its worker thread. Pages come from the simulated sites, in memory.
#include <benchmark/benchmark.h>

#include "core/collect/guide_pages.h"
#include "sim/catalog.h"
#include "sim/shopping_guide_sites.h"

namespace {

using tovakin::collect::GuideSource;

const tovakin::sim::Catalog& catalog() {
    static const tovakin::sim::Catalog items(400);
    return items;
}

const tovakin::sim::ShoppingGuideSites& sites() {
    static const tovakin::sim::ShoppingGuideSites guide(
        catalog(), {"zhe800.example", "maidehao.example", "zizai.example", "uzhan.example", "item.example",
                    "img.example"});
    return guide;
}

const tovakin::collect::GuideHosts kHosts{"zhe800.example", "maidehao.example", "zizai.example",
                                          "uzhan.example", "item.example"};

void parse(benchmark::State& state, GuideSource source, const std::string& body) {
    std::size_t rows = 0;
    for (auto _ : state) {
        const auto parsed =
            tovakin::collect::parsePage(source, tovakin::collect::pageText(source, body), kHosts);
        rows = parsed.entries.size();
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * body.size()));
    state.counters["products"] = static_cast<double>(rows);
    state.counters["page_bytes"] = static_cast<double>(body.size());
}

void BM_ParsePage(benchmark::State& state) {
    const auto source = static_cast<GuideSource>(state.range(0));
    parse(state, source, sites().page(static_cast<tovakin::sim::GuideSource>(state.range(0)), 1));
}
BENCHMARK(BM_ParsePage)->DenseRange(0, 3)->ArgName("source")->Unit(benchmark::kMicrosecond);

// A page padded to 10 MB with markup that holds no marker.
void BM_ParseHugePage(benchmark::State& state) {
    std::string body = sites().page(tovakin::sim::GuideSource::Zizai, 1);
    const std::string filler =
        "<!-- recommendation slot reserved for the next promotion wave, nothing here -->\n";
    const std::size_t end = body.rfind("</body>");
    std::string padding;
    while (padding.size() < 10u * 1024 * 1024) {
        padding += filler;
    }
    body.insert(end, padding);
    parse(state, GuideSource::Zizai, body);
}
BENCHMARK(BM_ParseHugePage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
