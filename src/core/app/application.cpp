#include "core/app/application.h"

#include <iostream>

#include "core/app/control_names.h"
#include "core/app/date_texts.h"
#include "core/app/product_files.h"
#include "core/app/product_loaders.h"
#include "core/app/record_caption.h"
#include "core/broadcast/chat_windows.h"
#include "core/collect/collection_run.h"
#include "core/collect/enrichment.h"
#include "core/query/link_lookup.h"
#include "core/query/query_reply.h"
#include "core/query/query_server.h"
#include "core/text/gbk_literal.h"
#include "core/web/affiliate_client.h"
#include "platform/text_codec.h"

namespace tovakin::app {

using namespace text::literals;

Application::Application(AppOptions options, AppServices services)
    : m_options(std::move(options)),
      m_services(services),
      m_controls(mainWindowControls(),
                 [this](std::string_view text) {
                     return platform::utf8ToGbk(m_options.configuration.endpoints.expand(text));
                 }),
      m_backup(
          m_products, m_controls, m_progress, [this] { return dayFilePath(); },
          [this] { setTimer(names::backupTimer, 0); }) {
    m_loop.setTimerHandler(std::string(names::captionTimer), [this] { refreshRecordCaption(); });
    m_loop.setTimerHandler(std::string(names::backupTimer), [this] { m_backup.check(); });
    m_doubleClickHandlers.emplace(names::productTable, [this] { copySelectedPromotionLink(); });
    m_clickHandlers.emplace(names::findChatWindowsButton,
                            [this] { broadcast::RefreshChatWindows(m_controls, m_services.desktop); });
    m_clickHandlers.emplace(names::arrangeButton,
                            [this] { broadcast::ArrangeChatWindows(m_controls, m_services.desktop); });
    m_doubleClickHandlers.emplace(names::chatWindowTable,
                                  [this] { broadcast::RemoveSelectedChatWindow(m_controls); });
    m_linkLookup = std::make_unique<query::LinkLookup>(
        m_controls, m_services.clipboard, m_services.dialogs,
        [client = affiliateClient()](const std::string& id) { return client.lookupPromotionLink(id); });
    m_clickHandlers.emplace("按钮8", [this] { m_linkLookup->lookup(); });
    m_clickHandlers.emplace("按钮9", [this] { m_linkLookup->copy(); });
    m_enrichment =
        std::make_unique<collect::Enrichment>(m_products, m_controls, m_progress, affiliateClient());
    m_clickHandlers.emplace(collect::kCollectButton,
                            [this] { collect::CollectionRun(collect::collectionContextFor(*this)).run(); });
    m_clickHandlers.emplace("按钮2", [this] {
        m_enrichment->startButtonLoops();
        m_controls.setEnabled("按钮2", false);
        m_controls.setEnabled(names::findChatWindowsButton, true);
    });
}

Application::~Application() {
    close();
}

std::string Application::versionText() const {
    std::lock_guard lock(m_mutex);
    return m_versionText;
}

web::AffiliateClient Application::affiliateClient() const {
    return web::AffiliateClient(
        web::AffiliateRequests(m_options.configuration.endpoints, m_options.configuration.affiliate));
}

void Application::startQueryServer() {
    if (!m_options.configuration.queryPort) {
        return;
    }
    query::QueryServerOptions options;
    options.port = *m_options.configuration.queryPort;
    options.address = m_options.configuration.queryAddress;
    auto server = std::make_unique<query::QueryServer>(
        options,
        [client = affiliateClient()](const std::string& id) { return query::answerQuery(client, id); },
        [this](const std::string& identity) {
            m_controls.addItem(m_controls.id("列表框3"),
                               query::connectionLogEntry(identity, m_services.clock.now()));
        });
    if (!server->start()) {
        // The rest of the program goes on without the query service.
        std::cerr << "tovakin: query server: " << server->error() << "\n";
        m_controls.appendLine(m_controls.id(names::logBox), "查询服务未能启动："_gbk + server->error());
        return;
    }
    std::lock_guard lock(m_mutex);
    m_queryServer = std::move(server);
}

void Application::start() {
    std::lock_guard lock(m_mutex);
    if (m_appThread.joinable() || m_closed) {
        return;
    }
    m_loop.post([this] { onCreated(); });
    m_appThread = std::jthread([this] { m_loop.run(); });
}

void Application::waitUntilLoaded() {
    m_loop.invoke([] {});  // the created handler was posted first, so it has run
    std::lock_guard lock(m_mutex);
    if (m_dayFileLoader.joinable()) {
        m_dayFileLoader.join();
    }
}

void Application::close() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) {
            return;
        }
        m_closed = true;
    }
    if (m_appThread.joinable()) {
        m_loop.invoke([this] { onWillBeDestroyed(); });
    } else {
        onWillBeDestroyed();
    }
    // The loops write into the table and the controls; none may outlive the app.
    m_enrichment->close();
    m_loop.quit();
    // Joined without holding the lock: a handler still finishing on the app
    // thread may need it (the version text, the query server slot).
    std::jthread appThread;
    std::jthread dayFileLoader;
    {
        std::lock_guard lock(m_mutex);
        appThread = std::move(m_appThread);
        dayFileLoader = std::move(m_dayFileLoader);
    }
    if (appThread.joinable()) {
        appThread.join();
    }
    // The created handler has run or never will: the server is there or not.
    if (m_queryServer) {
        m_queryServer->stop();
    }
    m_linkLookup->stop();
    dayFileLoader.request_stop();
    if (dayFileLoader.joinable()) {
        dayFileLoader.join();
    }
}

void Application::click(std::string_view controlName) {
    m_loop.post([this, name = std::string(controlName)] {
        // A hidden or disabled control cannot be clicked.
        const ControlId id = m_controls.id(name);
        if (!m_controls.enabled(id) || !m_controls.visible(id)) {
            return;
        }
        if (const auto handler = m_clickHandlers.find(name); handler != m_clickHandlers.end()) {
            handler->second();
        }
    });
}

void Application::doubleClick(std::string_view controlName) {
    m_loop.post([this, name = std::string(controlName)] {
        if (const auto handler = m_doubleClickHandlers.find(name); handler != m_doubleClickHandlers.end()) {
            handler->second();
        }
    });
}

void Application::setTimer(std::string_view timerName, int milliseconds) {
    m_controls.setTimerPeriod(m_controls.id(timerName), milliseconds);
    m_loop.setTimerPeriod(std::string(timerName), milliseconds);
}

std::filesystem::path Application::dayFilePath() const {
    return daily_data_file::pathFor(m_options.runDirectory, m_services.clock.now());
}

void Application::onCreated() {
    // The themed look is the toolkit's own; nothing to switch on here.
    {
        std::lock_guard lock(m_mutex);
        m_versionText = std::string(kVersionText);
    }
    m_controls.setText(names::window, "Tovakin-" + std::string(kVersionText));
    startQueryServer();

    const std::filesystem::path dayFile = dayFilePath();
    std::error_code ec;
    if (std::filesystem::exists(dayFile, ec)) {
        m_controls.setEnabled(names::findChatWindowsButton, true);
        std::lock_guard lock(m_mutex);
        m_dayFileLoader = std::jthread([this, dayFile](std::stop_token stop) {
            loadDailyDataFile(dayFile, m_products, m_controls, kVersionText, stop);
        });
    } else {
        loadCollectionFile(collection_file::pathIn(m_options.runDirectory), m_products);
    }
}

void Application::onWillBeDestroyed() {
    // The broadcast workers are ended here once the broadcast exists; every
    // other thread ends with the process.
}

void Application::refreshRecordCaption() {
    m_controls.setText(names::window, recordCountCaption(versionText(), m_products.rowCount()));
}

void Application::copySelectedPromotionLink() {
    const int selected = m_controls.selectedIndex(m_controls.id(names::productTable));
    const std::string link =
        selected < 0 ? std::string() : m_products.cell(static_cast<std::size_t>(selected), kLinkColumn);
    m_services.clipboard.setText(link);
}

}  // namespace tovakin::app
