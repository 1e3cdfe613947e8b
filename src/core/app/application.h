#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/app/configuration.h"
#include "core/app/control_registry.h"
#include "core/app/daily_backup.h"
#include "core/app/dialogs.h"
#include "core/app/enrichment_progress.h"
#include "core/app/event_loop.h"
#include "core/app/product_table.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/desktop.h"

namespace tovakin::web {
class AffiliateClient;
}  // namespace tovakin::web
namespace tovakin::collect {
class Enrichment;
}  // namespace tovakin::collect
namespace tovakin::query {
class LinkLookup;
class QueryServer;
}  // namespace tovakin::query

// The running program without its window: the controls' state, the product
// table, the app thread with its timers, and the handlers of the window's
// events. The GUI shows this state and forwards the operator's clicks; the
// command line and the tests drive it directly.
namespace tovakin::app {

struct AppServices {
    platform::Clock& clock;
    platform::Clipboard& clipboard;
    platform::Desktop& desktop;
    Dialogs& dialogs;
};

struct AppOptions {
    std::filesystem::path runDirectory;
    Configuration configuration;
};

class Application {
public:
    Application(AppOptions options, AppServices services);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    ControlRegistry& controls() { return m_controls; }
    ProductTable& products() { return m_products; }
    EventLoop& loop() { return m_loop; }
    EnrichmentProgress& enrichmentProgress() { return m_progress; }
    const std::filesystem::path& runDirectory() const { return m_options.runDirectory; }
    const Configuration& configuration() const { return m_options.configuration; }
    const AppServices& services() const { return m_services; }
    std::string versionText() const;

    // Starts the app thread and runs the window's created handler on it.
    void start();
    // Waits until the created handler has run and the day-file loader (if it
    // was started) has finished.
    void waitUntilLoaded();
    // Runs the will-be-destroyed handler and ends the app thread. Idempotent.
    void close();

    // Events of the window, from any thread; the handlers run on the app thread.
    void click(std::string_view controlName);
    void doubleClick(std::string_view controlName);

    // Starts (period > 0) or stops (0) a timer of the window.
    void setTimer(std::string_view timerName, int milliseconds);

    // The day's data file for the current date.
    std::filesystem::path dayFilePath() const;

    // Handlers, public so that tests can run them on their own.
    void onCreated();
    void onWillBeDestroyed();
    void refreshRecordCaption();
    void copySelectedPromotionLink();
    DailyBackup& backup() { return m_backup; }
    // The TCP query server (服务器1) once the created handler started it; null
    // when the configuration serves no queries or the port could not be had.
    query::QueryServer* queryServer() { return m_queryServer.get(); }
    query::LinkLookup& linkLookup() { return *m_linkLookup; }
    // The enrichment loops (the collection run and 按钮2 start them).
    collect::Enrichment& enrichment() { return *m_enrichment; }

private:
    using Handler = std::function<void()>;

    web::AffiliateClient affiliateClient() const;
    void startQueryServer();

    AppOptions m_options;
    AppServices m_services;
    ControlRegistry m_controls;
    ProductTable m_products;
    EnrichmentProgress m_progress;
    EventLoop m_loop;
    DailyBackup m_backup;
    std::map<std::string, Handler, std::less<>> m_clickHandlers;
    std::map<std::string, Handler, std::less<>> m_doubleClickHandlers;
    std::unique_ptr<query::LinkLookup> m_linkLookup;
    std::unique_ptr<query::QueryServer> m_queryServer;
    std::unique_ptr<collect::Enrichment> m_enrichment;

    mutable std::mutex m_mutex;
    std::string m_versionText;
    std::jthread m_appThread;
    std::jthread m_dayFileLoader;
    bool m_closed = false;
};

}  // namespace tovakin::app
