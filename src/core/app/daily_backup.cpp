#include "core/app/daily_backup.h"

#include <algorithm>
#include <climits>

#include "core/app/control_names.h"
#include "core/app/product_files.h"
#include "core/profile/profile_file.h"
#include "core/text/gbk_literal.h"
#include "core/text/gbk_text.h"

namespace tovakin::app {

using namespace text::literals;

DailyBackup::DailyBackup(ProductTable& table, ControlRegistry& controls, const EnrichmentProgress& progress,
                         std::function<std::filesystem::path()> dayFilePath, std::function<void()> stopTimer)
    : m_table(table),
      m_controls(controls),
      m_progress(progress),
      m_dayFilePath(std::move(dayFilePath)),
      m_stopTimer(std::move(stopTimer)) {}

DailyBackup::~DailyBackup() {
    // A pass cut short still leaves a consistent file: count and entries are
    // flushed together.
    std::lock_guard lock(m_threadMutex);
    m_thread.request_stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void DailyBackup::check() {
    const auto rows = static_cast<std::int64_t>(m_table.rowCount());
    const std::int64_t links =
        (std::int64_t{m_progress.linkStepForward} + std::int64_t{m_progress.linkStepBackward}) / 2;
    const std::int64_t commissions =
        (std::int64_t{m_progress.commissionStepForward} + std::int64_t{m_progress.commissionStepBackward}) /
        2;
    if (links != rows || commissions != rows) {
        return;
    }
    std::error_code ec;
    if (std::filesystem::exists(m_dayFilePath(), ec)) {
        m_stopTimer();
        return;
    }
    if (m_running.exchange(true)) {
        return;
    }
    std::lock_guard lock(m_threadMutex);
    if (m_thread.joinable()) {
        m_thread.join();  // the previous pass has ended (m_running was false)
    }
    m_thread = std::jthread([this](std::stop_token stop) {
        runPass(stop);
        m_running = false;
    });
}

std::size_t DailyBackup::runPass(std::stop_token stop) {
    const ControlId progressBar = m_controls.id(names::loadProgressBar);
    const ControlId progressLabel = m_controls.id(names::backupProgressLabel);
    const std::size_t total = m_table.rowCount();
    m_controls.setProgressMax(progressBar, static_cast<int>(std::min<std::size_t>(total, INT_MAX)));

    profile::ProfileFile file(m_dayFilePath());
    std::size_t written = 0;
    for (std::size_t i = 1; i <= total && !stop.stop_requested(); ++i) {
        m_controls.setText(progressLabel, "正在备份数据"_gbk + std::to_string(i) + "/" +
                                              std::to_string(m_table.rowCount()) + "条"_gbk);
        m_controls.setProgressPosition(progressBar, static_cast<int>(std::min<std::size_t>(i, INT_MAX)));
        // One read of the whole row, so an entry never mixes the cells of two
        // products when the broadcast removes rows meanwhile. A row past the
        // end reads as empty and is passed over.
        const auto row = m_table.row(i - 1);
        if (!row || (*row)[kCommissionColumn].empty()) {
            continue;
        }
        const std::int64_t count =
            text::textToInteger(file.read(daily_data_file::countSection(), daily_data_file::countKey()));
        const std::string next = std::to_string(count + 1);
        file.write(daily_data_file::countSection(), daily_data_file::countKey(), next);
        file.write(daily_data_file::entrySection(), next, daily_data_file::formatEntry(*row));
        ++written;
        if (written == 1 || written % kFlushBatch == 0) {
            file.flush();
        }
    }
    file.flush();
    return total;
}

void DailyBackup::waitForPass() {
    std::lock_guard lock(m_threadMutex);
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

}  // namespace tovakin::app
