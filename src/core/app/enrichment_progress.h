#pragma once

#include <atomic>
#include <cstdint>

namespace tovakin::app {

// How far the enrichment loops have walked the product table. Each loop
// writes its own counter; partner loops and the backup check read them.
struct EnrichmentProgress {
    std::atomic<std::int32_t> linkStepForward{0};
    std::atomic<std::int32_t> linkStepBackward{0};
    std::atomic<std::int32_t> commissionStepForward{0};
    std::atomic<std::int32_t> commissionStepBackward{0};
};

}  // namespace tovakin::app
