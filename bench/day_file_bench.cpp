// A day's data file as the backup fills it: per entry the count is read,
// incremented and written back, and the entry goes under the next number.
// Batched writers keep one ProfileFile and flush now and then; naive writers
// call the single-write functions, each of which rewrites the whole file, so
// their cost grows with the square of the entry count.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/app/control_registry.h"
#include "core/app/daily_backup.h"
#include "core/app/product_loaders.h"
#include "core/profile/profile_file.h"
#include "core/text/gbk_literal.h"
#include "core/text/gbk_text.h"
#include "platform/text_codec.h"

namespace {

namespace fs = std::filesystem;
using namespace tovakin::text::literals;
using tovakin::profile::ProfileFile;

constexpr int kDayEntries = 10000;
constexpr int kFlushEvery = 1000;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "tovakin-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw fs::filesystem_error("mkdtemp", fs::path(pattern),
                                       std::make_error_code(std::errc::io_error));
        }
        m_path = pattern;
    }
    ~TempDir() {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

const std::string& countName() {
    return "数量"_gbk;
}
const std::string& detailsName() {
    return "详细信息"_gbk;
}

// Six cells as a scraped item has them: id, price, picture, commission, title, link.
std::string entryValue(std::int64_t n) {
    const std::string id = std::to_string(600000000000 + n * 7919);
    const std::vector<std::string> cells = {
        id,
        std::to_string(19 + n % 300) + ".90",
        "https://img.cdn.cn/" + id + ".jpg",
        std::to_string(1 + n % 40) + ".55",
        "夏季新款纯棉短袖T恤男宽松"_gbk,
        "https://s.cn/t?id=" + id,
    };
    return tovakin::text::joinText(cells, "-分割线-"_gbk);
}

template <typename Read, typename Write>
void appendEntry(Read&& read, Write&& write) {
    const std::int64_t count = tovakin::text::textToInteger(read(countName(), countName()));
    const std::string next = std::to_string(count + 1);
    write(countName(), countName(), next);
    write(detailsName(), next, entryValue(count + 1));
}

void fillBatched(const fs::path& file, int entries) {
    ProfileFile profile(file);
    for (int i = 0; i < entries; ++i) {
        appendEntry([&](const auto& s, const auto& k) { return profile.read(s, k); },
                    [&](const auto& s, const auto& k, const auto& v) { profile.write(s, k, v); });
        if ((i + 1) % kFlushEvery == 0 && !profile.flush()) {
            throw std::runtime_error("flush failed");
        }
    }
    if (!profile.flush()) {
        throw std::runtime_error("flush failed");
    }
}

void fillNaive(const fs::path& file, int entries) {
    for (int i = 0; i < entries; ++i) {
        appendEntry(
            [&](const auto& s, const auto& k) { return tovakin::profile::readProfileString(file, s, k); },
            [&](const auto& s, const auto& k, const auto& v) {
                if (!tovakin::profile::writeProfileString(file, s, k, v)) {
                    throw std::runtime_error("write failed");
                }
            });
    }
}

template <void (*Fill)(const fs::path&, int)>
void BM_WriteDay(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    TempDir dir;
    const fs::path file = dir.path() / "day.ini";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(file);
        state.ResumeTiming();
        Fill(file, entries);
    }
    state.SetItemsProcessed(state.iterations() * entries);
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(file));
    state.counters["value_bytes"] = static_cast<double>(entryValue(1).size());
}

// Memory only, no flushing: the time per entry must not grow with the day.
void BM_AppendInMemory(benchmark::State& state) {
    const int entries = static_cast<int>(state.range(0));
    for (auto _ : state) {
        tovakin::profile::ProfileDocument document;
        for (int i = 0; i < entries; ++i) {
            appendEntry([&](const auto& s, const auto& k) { return document.value(s, k); },
                        [&](const auto& s, const auto& k, const auto& v) { document.setValue(s, k, v); });
        }
        benchmark::DoNotOptimize(document);
    }
    state.SetItemsProcessed(state.iterations() * entries);
}

// The same day file for every loading run.
const fs::path& dayFile() {
    static TempDir dir;
    static const fs::path file = [] {
        fs::path path = dir.path() / "day.ini";
        fillBatched(path, kDayEntries);
        return path;
    }();
    return file;
}

void BM_LoadParsedOnce(benchmark::State& state) {
    const fs::path& file = dayFile();
    for (auto _ : state) {
        ProfileFile profile(file);
        const std::int64_t count = tovakin::text::textToInteger(profile.read(countName(), countName()));
        std::size_t bytes = 0;
        for (std::int64_t k = 1; k <= count; ++k) {
            bytes += profile.read(detailsName(), std::to_string(k)).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kDayEntries);
}

// Reads the count and the first range(0) entries, each with a fresh parse of
// the whole 10,000-entry file.
void BM_LoadPerKey(benchmark::State& state) {
    const fs::path& file = dayFile();
    const std::int64_t keys = state.range(0);
    for (auto _ : state) {
        const std::int64_t count =
            tovakin::text::textToInteger(tovakin::profile::readProfileString(file, countName(), countName()));
        std::size_t bytes = 0;
        for (std::int64_t k = 1; k <= std::min(count, keys); ++k) {
            bytes += tovakin::profile::readProfileString(file, detailsName(), std::to_string(k)).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * keys);
}

// The naive runs are quadratic: a full day takes minutes, so by default they
// run on part of a day; TOVAKIN_BENCH_FULL=1 adds the whole day.
void naiveSizes(benchmark::internal::Benchmark* bench, std::initializer_list<int> parts, int whole) {
    for (int part : parts) {
        bench->Arg(part);
    }
    if (std::getenv("TOVAKIN_BENCH_FULL") != nullptr) {
        bench->Arg(whole);
    }
}

BENCHMARK_TEMPLATE(BM_WriteDay, fillBatched)->Arg(2000)->Arg(kDayEntries)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_WriteDay, fillNaive)
    ->Apply([](auto* bench) {
        naiveSizes(bench, {1000, 2000, 4000}, kDayEntries);
    }) -> Iterations(1) -> Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendInMemory)->Arg(kDayEntries)->Arg(10 * kDayEntries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadParsedOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPerKey)->Apply([](auto* bench) {
                            naiveSizes(bench, {500, 1000}, kDayEntries);
                        }) -> Iterations(1) -> Unit(benchmark::kMillisecond);

}  // namespace

// The program's own path end to end: the backup pass over a table of
// 10,000 enriched rows, then the start-up loader reading the file back.
void BM_BackupPassAndLoad(benchmark::State& state) {
    using namespace tovakin::app;
    ControlRegistry controls(mainWindowControls(),
                             [](std::string_view text) { return tovakin::platform::utf8ToGbk(text); });
    ProductTable table;
    for (int i = 0; i < kDayEntries; ++i) {
        const std::string id = std::to_string(38000000000LL + i);
        table.append({id, "39.90", "http://img.alicdn.com/bao/uploaded/i1/" + id + ".jpg", "5.50",
                      "夏季纯棉短袖T恤"_gbk, "http://s.click.taobao.com/t?e=m%3D2%26s%3D" + id});
    }
    EnrichmentProgress progress;
    for (auto _ : state) {
        TempDir dir;
        const fs::path file = dir.path() / "2014-8-16.txt";
        DailyBackup backup(
            table, controls, progress, [&] { return file; }, [] {});
        backup.runPass();
        ProductTable loaded;
        benchmark::DoNotOptimize(loadDailyDataFile(file, loaded, controls, "8-16"));
    }
}
BENCHMARK(BM_BackupPassAndLoad)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
