#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "core/app/control_registry.h"
#include "core/app/enrichment_progress.h"
#include "core/app/product_table.h"

// Writes the day's data file once the enrichment has passed every row.
namespace tovakin::app {

class DailyBackup {
public:
    // Entries are flushed to the file after the first one (so the file exists
    // from then on, which stops further checks) and then in batches of this size.
    static constexpr std::size_t kFlushBatch = 1000;

    DailyBackup(ProductTable& table, ControlRegistry& controls, const EnrichmentProgress& progress,
                std::function<std::filesystem::path()> dayFilePath, std::function<void()> stopTimer);
    ~DailyBackup();
    DailyBackup(const DailyBackup&) = delete;
    DailyBackup& operator=(const DailyBackup&) = delete;

    // The backup timer's tick: when both link loops and both commission loops
    // have passed every row, either stop the timer (the day's file exists) or
    // start a pass on a thread of its own. A pass already running is left to
    // finish, so two passes never write the same file.
    void check();

    // One pass over the table: every row with a commission is appended to the
    // day's file, numbered on from the count the file holds. Returns the row
    // count it started with.
    std::size_t runPass(std::stop_token stop = {});

    bool passRunning() const { return m_running.load(); }
    // Waits for a running pass to end.
    void waitForPass();

private:
    ProductTable& m_table;
    ControlRegistry& m_controls;
    const EnrichmentProgress& m_progress;
    std::function<std::filesystem::path()> m_dayFilePath;
    std::function<void()> m_stopTimer;
    std::atomic<bool> m_running{false};
    std::mutex m_threadMutex;
    std::jthread m_thread;
};

}  // namespace tovakin::app
