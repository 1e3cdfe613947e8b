#include "core/collect/enrichment.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace tovakin::collect {

namespace {

enum class Kind { Link, Commission, Title };

int targetColumn(Kind kind) {
    switch (kind) {
        case Kind::Link:
            return app::kLinkColumn;
        case Kind::Commission:
            return app::kCommissionColumn;
        case Kind::Title:
            return app::kTitleColumn;
    }
    return app::kLinkColumn;
}

// How a loop shows its progress.
struct Display {
    app::ControlId label = 0;
    app::ControlId bar = 0;
    std::mutex* mutex = nullptr;  // one per pair, so the label ends on the last loop's count
};

struct LoopPlan {
    Kind kind = Kind::Link;
    bool backward = false;
    bool setsMaximum = false;
    std::atomic<std::int32_t>* counter = nullptr;        // own counter; null: none
    const std::atomic<std::int32_t>* partner = nullptr;  // pair loops: the partner's counter
    std::optional<Display> display;                      // title loops show nothing
};

}  // namespace

struct Enrichment::Impl {
    Impl(app::ProductTable& table, app::ControlRegistry& controls, app::EnrichmentProgress& progress,
         web::AffiliateClient client)
        : m_table(table),
          m_controls(controls),
          m_progress(progress),
          m_client(std::move(client)),
          m_linkLabel(controls.id("透明标签1")),
          m_linkBar(controls.id("进度条5")),
          m_commissionLabel(controls.id("透明标签2")),
          m_commissionBar(controls.id("进度条6")) {}

    struct Loop {
        std::jthread thread;
        bool done = false;
    };

    void start(const LoopPlan& plan);
    void run(const LoopPlan& plan, std::stop_token stop);
    void enrichRow(Kind kind, std::optional<app::RowId> row);
    void showProgress(const LoopPlan& plan, std::int32_t step, std::int32_t total);
    void close();

    app::ProductTable& m_table;
    app::ControlRegistry& m_controls;
    app::EnrichmentProgress& m_progress;
    const web::AffiliateClient m_client;
    const app::ControlId m_linkLabel;
    const app::ControlId m_linkBar;
    const app::ControlId m_commissionLabel;
    const app::ControlId m_commissionBar;
    std::mutex m_linkDisplay;
    std::mutex m_commissionDisplay;

    mutable std::mutex m_mutex;  // guards the members below
    std::condition_variable m_idle;
    std::list<Loop> m_loops;
    int m_active = 0;
    bool m_closed = false;
};

void Enrichment::Impl::start(const LoopPlan& plan) {
    std::lock_guard lock(m_mutex);
    if (m_closed) {
        return;
    }
    // Loops that have ended are joined here so the list does not grow with
    // every press of the button.
    m_loops.remove_if([](Loop& loop) { return loop.done; });
    Loop& loop = m_loops.emplace_back();
    try {
        loop.thread = std::jthread([this, plan, &loop](std::stop_token stop) {
            run(plan, stop);
            std::lock_guard finished(m_mutex);
            loop.done = true;
            --m_active;
            m_idle.notify_all();
        });
    } catch (const std::system_error&) {
        // No thread to be had: this loop does not run, like a failed request.
        m_loops.pop_back();
        return;
    }
    ++m_active;
}

void Enrichment::Impl::run(const LoopPlan& plan, std::stop_token stop) {
    const auto total = static_cast<std::int32_t>(std::min<std::size_t>(m_table.rowCount(), INT32_MAX));
    if (plan.setsMaximum && plan.display) {
        m_controls.setProgressMax(plan.display->bar, total);
    }
    for (std::int32_t i = 1; i <= total && !stop.stop_requested(); ++i) {
        std::optional<app::RowId> row;
        if (!plan.backward) {
            row = m_table.idAt(static_cast<std::size_t>(i - 1));
        } else if (plan.kind == Kind::Title) {
            // The backward title loop follows the table's current end, so rows
            // appended meanwhile are walked too.
            const std::size_t now = m_table.rowCount();
            if (static_cast<std::size_t>(i) <= now) {
                row = m_table.idAt(now - static_cast<std::size_t>(i));
            }
        } else {
            row = m_table.idAt(static_cast<std::size_t>(total - i));
        }
        enrichRow(plan.kind, row);
        // The step is counted once its row is written, so a counter at the
        // row count means this loop has passed every row.
        showProgress(plan, i, total);
    }
}

void Enrichment::Impl::enrichRow(Kind kind, std::optional<app::RowId> row) {
    if (!row) {
        return;  // past the current end: removed rows leave nothing to fill
    }
    // One read of the row: its target cell and its item id belong together.
    const std::optional<app::ProductRow> cells = m_table.rowOf(*row);
    const int column = targetColumn(kind);
    if (!cells || !(*cells)[column].empty()) {
        return;
    }
    const std::string& itemId = (*cells)[app::kItemIdColumn];
    std::string value;
    switch (kind) {
        case Kind::Link:
            value = m_client.promotionLink(itemId);
            break;
        case Kind::Commission:
            value = m_client.commissionRate(itemId);
            break;
        case Kind::Title:
            value = m_client.title(itemId);
            break;
    }
    // An empty answer is written as "nothing": writing it could wipe the value
    // the partner loop has just written into the same row.
    if (!value.empty()) {
        m_table.setCellOf(*row, column, std::move(value));
    }
}

void Enrichment::Impl::showProgress(const LoopPlan& plan, std::int32_t step, std::int32_t total) {
    if (!plan.display) {
        return;
    }
    const Display& display = *plan.display;
    std::lock_guard lock(*display.mutex);
    std::int64_t shown = step;
    if (plan.counter) {
        plan.counter->store(step);
    }
    if (plan.partner) {
        shown = (std::int64_t{step} + std::int64_t{plan.partner->load()}) / 2;
    }
    m_controls.setText(display.label, std::to_string(shown) + "/" + std::to_string(total));
    m_controls.setProgressPosition(display.bar, static_cast<int>(shown));
}

void Enrichment::Impl::close() {
    std::list<Loop> stopping;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        for (Loop& loop : m_loops) {
            loop.thread.request_stop();
        }
        stopping.splice(stopping.end(), m_loops);
    }
    // Joined outside the lock: an ending loop takes it to say so.
    for (Loop& loop : stopping) {
        if (loop.thread.joinable()) {
            loop.thread.join();
        }
    }
}

Enrichment::Enrichment(app::ProductTable& table, app::ControlRegistry& controls,
                       app::EnrichmentProgress& progress, web::AffiliateClient client)
    : m_impl(std::make_unique<Impl>(table, controls, progress, std::move(client))) {}

Enrichment::~Enrichment() {
    m_impl->close();
}

void Enrichment::startAfterCollection() {
    Impl& impl = *m_impl;
    app::EnrichmentProgress& p = impl.m_progress;
    const Display link{impl.m_linkLabel, impl.m_linkBar, &impl.m_linkDisplay};
    const Display commission{impl.m_commissionLabel, impl.m_commissionBar, &impl.m_commissionDisplay};
    impl.start({Kind::Link, false, true, &p.linkStepForward, &p.linkStepBackward, link});
    impl.start({Kind::Link, true, false, &p.linkStepBackward, &p.linkStepForward, link});
    impl.start(
        {Kind::Commission, false, true, &p.commissionStepForward, &p.commissionStepBackward, commission});
    impl.start(
        {Kind::Commission, true, false, &p.commissionStepBackward, &p.commissionStepForward, commission});
    impl.start({Kind::Title, false, false, nullptr, nullptr, std::nullopt});
    impl.start({Kind::Title, true, false, nullptr, nullptr, std::nullopt});
}

void Enrichment::startButtonLoops() {
    Impl& impl = *m_impl;
    // No partners: the labels show the loop's own step. The commission loop
    // writes the forward counter anew from 1.
    impl.start({Kind::Link, false, true, nullptr, nullptr,
                Display{impl.m_linkLabel, impl.m_linkBar, &impl.m_linkDisplay}});
    impl.start({Kind::Commission, false, true, &impl.m_progress.commissionStepForward, nullptr,
                Display{impl.m_commissionLabel, impl.m_commissionBar, &impl.m_commissionDisplay}});
}

bool Enrichment::running() const {
    std::lock_guard lock(m_impl->m_mutex);
    return m_impl->m_active > 0;
}

void Enrichment::waitUntilDone() {
    std::unique_lock lock(m_impl->m_mutex);
    m_impl->m_idle.wait(lock, [this] { return m_impl->m_active == 0; });
}

bool Enrichment::waitUntilDone(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_impl->m_mutex);
    return m_impl->m_idle.wait_for(lock, timeout, [this] { return m_impl->m_active == 0; });
}

void Enrichment::close() {
    m_impl->close();
}

}  // namespace tovakin::collect
