#pragma once

#include <chrono>
#include <memory>

#include "core/app/control_registry.h"
#include "core/app/enrichment_progress.h"
#include "core/app/product_table.h"
#include "core/web/affiliate_client.h"

// Completes the products of the table on background threads: promotion link,
// commission rate and title, each by its affiliate request.
//
// A loop walks the rows by index but reads and writes a row through its
// identity, so a value always lands in the row of the product it was asked
// for, even when rows above it are removed meanwhile. A loop's counter holds
// the number of steps it has finished: a pair's counters reach the row count
// only once both loops have written their last row, which is what the backup
// waits for.
namespace tovakin::collect {

class Enrichment {
public:
    // The client is kept for as long as the loops may use it.
    Enrichment(app::ProductTable& table, app::ControlRegistry& controls, app::EnrichmentProgress& progress,
               web::AffiliateClient client);
    // Asks every loop to stop at its next step and waits for them.
    ~Enrichment();
    Enrichment(const Enrichment&) = delete;
    Enrichment& operator=(const Enrichment&) = delete;

    // The end of a collection run: link, commission and title loops, each as a
    // forward and a backward loop (a pair), six threads in all.
    void startAfterCollection();
    // "获取推广地址": one forward link loop and one forward commission loop.
    void startButtonLoops();

    // True while any loop runs.
    bool running() const;
    // Waits until every loop started so far has ended.
    void waitUntilDone();
    // The same with a limit; false when loops still run after `timeout`.
    bool waitUntilDone(std::chrono::milliseconds timeout);
    // Asks every loop to stop at its next step, waits for them, and starts no
    // loop afterwards (the program is closing). Idempotent.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tovakin::collect
