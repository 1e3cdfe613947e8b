#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/control_registry.h"
#include "core/app/event_loop.h"
#include "core/app/product_table.h"
#include "core/collect/guide_pages.h"
#include "platform/clock.h"

namespace tovakin::app {
class Application;
}  // namespace tovakin::app

// "获取数据": the four shopping-guide sources one after the other into the
// product table, one log line per page, then the hand-over to the enrichment
// loops and the day-file timer.
namespace tovakin::collect {

inline constexpr std::string_view kCollectButton = "按钮_启动获取数据";
inline constexpr std::string_view kCollectProgressBar = "进度条7";

struct CollectionRunContext {
    app::ControlRegistry& controls;
    app::ProductTable& products;
    const platform::Clock& clock;
    GuideHosts hosts;
    std::function<std::string()> versionText;
    // The loop of the thread the run is called on. Pages are then fetched and
    // parsed on a worker thread while the loop keeps running other events;
    // null: everything on the calling thread.
    app::EventLoop* loop = nullptr;
    std::function<void(std::string_view timer, int milliseconds)> setTimer;
    // The six enrichment loops.
    std::function<void()> startEnrichment;
    // A page's body, empty on failure (default: PlainHttpGet). Called on the worker.
    std::function<std::string(const std::string& url)> fetch;
};

// The context of the running program.
CollectionRunContext collectionContextFor(app::Application& application);

class CollectionRun {
public:
    explicit CollectionRun(CollectionRunContext context);

    // The whole run; returns when it is over. The end steps are left out only
    // when the loop quits during the run (the program is closing).
    void run();

private:
    // Fetches and parses one page, off the loop thread when there is a loop.
    // Empty when the loop quit meanwhile.
    std::optional<ParsedPage> load(GuideSource source, int page);
    void apply(GuideSource source, int page, const ParsedPage& parsed);
    void appendLog(const std::string& line);
    void setCaption();

    CollectionRunContext m_context;
    app::ControlId m_progressBar;
    app::ControlId m_logBox;
};

}  // namespace tovakin::collect
