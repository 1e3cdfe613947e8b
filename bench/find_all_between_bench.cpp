// findAllBetween on a 1 MB shopping-guide page, side by side with the regular
// expression engines it replaces: PCRE2 with JIT and std::regex, each given
// the expression the markers make (left + "(.*?)" + right, letter case
// ignored). All three must give the same values; the counters report GB/s
// and how many times faster the direct scan is.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "core/text/gbk_literal.h"
#include "core/web/text_extraction.h"

namespace {

using namespace tovakin::text::literals;
using Values = std::vector<std::string>;

struct Markers {
    const char* name;
    std::string left;
    std::string right;
};

const std::vector<Markers>& markerPairs() {
    static const std::vector<Markers> pairs = {
        {"links", "item.htm?id=", "\"></a>"},
        {"prices", "<span class=\"price\">", "</span>"},
        {"titles", "title=\"", "\""},
    };
    return pairs;
}

// About 1 MB of GBK markup: product blocks with links, pictures, Chinese
// titles, prices, and some lines that only start a value.
const std::string& page() {
    static const std::string built = [] {
        const std::vector<std::string> titles = {"夏季新款纯棉短袖T恤男士宽松"_gbk,
                                                 "韩版女装连衣裙修身显瘦"_gbk, "包邮 不锈钢保温杯 500ml"_gbk,
                                                 "儿童益智积木玩具 大颗粒"_gbk};
        std::string html = "<html><head><meta charset=\"gbk\"><title>"_gbk + "今日特价"_gbk +
                           "</title></head>\n<body>\n<ul class=\"list\">\n";
        for (int i = 0; html.size() < (1u << 20) - 600; ++i) {
            const std::string id = std::to_string(35000000000LL + i * 7919LL);
            const std::string& title = titles[static_cast<std::size_t>(i) % titles.size()];
            html += "<li class=\"goods\" data-index=\"" + std::to_string(i) + "\">\n";
            html += "  <div class=\"pic\"><a href=\"http://item.taobao.com/item.htm?id=" + id +
                    "\" target=\"_blank\"><img src=\"http://img.alicdn.com/bao/uploaded/i" +
                    std::to_string(i % 4) + "/TB1" + id + ".jpg_160x160.jpg\"></a></div>\n";
            html += "  <h3 title=\"" + title + "\"><a href=\"http://detail.tmall.com/item.htm?id=" + id +
                    "\"></a>" + title + "</h3>\n";
            html += "  <p>" + "原价"_gbk + " <del>" + std::to_string(50 + i % 90) +
                    ".00</del> <span class=\"price\">" + "￥"_gbk + std::to_string(9 + i % 40) +
                    ".90</span> " + "月销"_gbk + std::to_string(i % 5000) + "</p>\n</li>\n";
        }
        return html + "</ul>\n</body></html>\n";
    }();
    return built;
}

std::string expression(const Markers& markers) {
    const auto escape = [](const std::string& marker) {
        std::string escaped;
        for (const char c : marker) {
            if (std::string_view("?*+[](){}").find(c) != std::string_view::npos) {
                escaped += '\\';
            }
            escaped += c;
        }
        return escaped;
    };
    return escape(markers.left) + "(.*?)" + escape(markers.right);
}

Values runOurs(const Markers& markers) {
    Values values;
    tovakin::web::findAllBetween(page(), markers.left, markers.right, values);
    return values;
}

class Pcre2 {
public:
    explicit Pcre2(const Markers& markers) {
        const std::string pattern = expression(markers);
        int error = 0;
        PCRE2_SIZE offset = 0;
        m_code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                               PCRE2_CASELESS | PCRE2_MULTILINE, &error, &offset, nullptr);
        if (m_code == nullptr || pcre2_jit_compile(m_code, PCRE2_JIT_COMPLETE) != 0) {
            std::fprintf(stderr, "PCRE2 cannot compile or JIT %s\n", pattern.c_str());
            std::abort();
        }
        m_data = pcre2_match_data_create_from_pattern(m_code, nullptr);
    }
    ~Pcre2() {
        pcre2_match_data_free(m_data);
        pcre2_code_free(m_code);
    }
    Pcre2(const Pcre2&) = delete;
    Pcre2& operator=(const Pcre2&) = delete;

    Values run() const {
        Values values;
        const std::string& subject = page();
        const auto* text = reinterpret_cast<PCRE2_SPTR>(subject.data());
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(m_data);
        PCRE2_SIZE start = 0;
        while (start <= subject.size() &&
               pcre2_jit_match(m_code, text, subject.size(), start, 0, m_data, nullptr) > 0) {
            values.emplace_back(subject, ovector[2], ovector[3] - ovector[2]);
            start = ovector[1] > ovector[0] ? ovector[1] : ovector[1] + 1;
        }
        return values;
    }

private:
    pcre2_code* m_code = nullptr;
    pcre2_match_data* m_data = nullptr;
};

Values runStdRegex(const Markers& markers) {
    const std::regex regex(expression(markers), std::regex::ECMAScript | std::regex::icase);
    Values values;
    const std::string& subject = page();
    for (std::sregex_iterator it(subject.begin(), subject.end(), regex), end; it != end; ++it) {
        values.push_back((*it)[1].str());
    }
    return values;
}

// Seconds per run of each engine, measured once, for the ratio counters.
struct Baseline {
    double pcre2 = 0;
    double stdRegex = 0;
};

// Processor time, like the benchmark's own rates; the best of a few batches,
// since other processes share the machine.
template <typename Run>
double secondsPerRun(Run run, int runs, int batches) {
    double best = 0;
    for (int batch = 0; batch < batches; ++batch) {
        const std::clock_t start = std::clock();
        for (int i = 0; i < runs; ++i) {
            benchmark::DoNotOptimize(run());
        }
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / runs;
        best = batch == 0 ? seconds : std::min(best, seconds);
    }
    return best;
}

const Baseline& baseline(std::size_t pair) {
    static std::map<std::size_t, Baseline> measured;
    auto it = measured.find(pair);
    if (it == measured.end()) {
        const Markers& markers = markerPairs()[pair];
        const Pcre2 pcre2(markers);
        const Values ours = runOurs(markers);
        if (ours.empty() || pcre2.run() != ours || runStdRegex(markers) != ours) {
            std::fprintf(stderr, "%s: the engines disagree\n", markers.name);
            std::abort();
        }
        Baseline b;
        b.pcre2 = secondsPerRun([&] { return pcre2.run(); }, 20, 5);
        b.stdRegex = secondsPerRun([&] { return runStdRegex(markers); }, 1, 3);
        it = measured.emplace(pair, b).first;
    }
    return it->second;
}

void report(benchmark::State& state, std::size_t pair, std::size_t values) {
    const Baseline& b = baseline(pair);
    const double bytes = static_cast<double>(page().size());
    state.counters["GB"] = benchmark::Counter(bytes / 1e9, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["x_pcre2_jit"] =
        benchmark::Counter(b.pcre2, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["x_std_regex"] =
        benchmark::Counter(b.stdRegex, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["values"] = static_cast<double>(values);
}

void BM_FindAllBetween(benchmark::State& state) {
    const auto pair = static_cast<std::size_t>(state.range(0));
    const Markers& markers = markerPairs()[pair];
    baseline(pair);
    std::size_t count = 0;
    for (auto _ : state) {
        Values values = runOurs(markers);
        count = values.size();
        benchmark::DoNotOptimize(values);
    }
    state.SetLabel(markers.name);
    report(state, pair, count);
}

void BM_Pcre2Jit(benchmark::State& state) {
    const auto pair = static_cast<std::size_t>(state.range(0));
    const Pcre2 pcre2(markerPairs()[pair]);
    baseline(pair);
    std::size_t count = 0;
    for (auto _ : state) {
        Values values = pcre2.run();
        count = values.size();
        benchmark::DoNotOptimize(values);
    }
    state.SetLabel(markerPairs()[pair].name);
    report(state, pair, count);
}

void BM_StdRegex(benchmark::State& state) {
    const auto pair = static_cast<std::size_t>(state.range(0));
    baseline(pair);
    std::size_t count = 0;
    for (auto _ : state) {
        Values values = runStdRegex(markerPairs()[pair]);
        count = values.size();
        benchmark::DoNotOptimize(values);
    }
    state.SetLabel(markerPairs()[pair].name);
    report(state, pair, count);
}

BENCHMARK(BM_FindAllBetween)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcre2Jit)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StdRegex)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
