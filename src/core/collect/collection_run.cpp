#include "core/collect/collection_run.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "core/app/application.h"
#include "core/app/control_names.h"
#include "core/app/record_caption.h"
#include "core/collect/enrichment.h"
#include "core/web/http_client.h"

namespace tovakin::collect {

namespace {

// Shared with the worker, which may outlive a run cut short by closing.
struct PendingPage {
    std::atomic<bool> done{false};
    ParsedPage parsed;
};

ParsedPage fetchAndParse(const std::function<std::string(const std::string&)>& fetch, GuideSource source,
                         const GuideHosts& hosts, int page) {
    const std::string url = pageUrl(source, hosts, page);
    const std::string body = fetch ? fetch(url) : web::PlainHttpGet(url);
    return parsePage(source, pageText(source, body), hosts);
}

}  // namespace

CollectionRunContext collectionContextFor(app::Application& application) {
    return CollectionRunContext{
        .controls = application.controls(),
        .products = application.products(),
        .clock = application.services().clock,
        .hosts = GuideHosts::from(application.configuration().endpoints),
        .versionText = [&application] { return application.versionText(); },
        .loop = &application.loop(),
        .setTimer = [&application](std::string_view timer,
                                   int milliseconds) { application.setTimer(timer, milliseconds); },
        .startEnrichment = [&application] { application.enrichment().startAfterCollection(); },
        .fetch = {},
    };
}

CollectionRun::CollectionRun(CollectionRunContext context)
    : m_context(std::move(context)),
      m_progressBar(m_context.controls.id(kCollectProgressBar)),
      m_logBox(m_context.controls.id(app::names::logBox)) {}

void CollectionRun::run() {
    if (m_context.setTimer) {
        m_context.setTimer(app::names::captionTimer, 500);
    }
    // For good: the run and the start of its enrichment happen once per process.
    m_context.controls.setEnabled(kCollectButton, false);
    for (const GuideSource source : kGuideSources) {
        for (int page = 1; page <= pageCount(source); ++page) {
            const std::optional<ParsedPage> parsed = load(source, page);
            if (!parsed) {
                return;  // the program is closing
            }
            apply(source, page, *parsed);
        }
    }
    if (m_context.startEnrichment) {
        m_context.startEnrichment();
    }
    m_context.controls.setEnabled(app::names::findChatWindowsButton, true);
    if (m_context.setTimer) {
        m_context.setTimer(app::names::backupTimer, 1000);
    }
}

std::optional<ParsedPage> CollectionRun::load(GuideSource source, int page) {
    app::EventLoop* loop = m_context.loop;
    if (loop == nullptr || !loop->inLoopThread()) {
        return fetchAndParse(m_context.fetch, source, m_context.hosts, page);
    }
    auto pending = std::make_shared<PendingPage>();
    std::thread worker([pending, fetch = m_context.fetch, source, hosts = m_context.hosts, page] {
        pending->parsed = fetchAndParse(fetch, source, hosts, page);
        pending->done.store(true, std::memory_order_release);
    });
    // The HTTP limits end every fetch, so this wait ends too; meanwhile the
    // window's other events (clicks, timers) keep running.
    while (!loop->pumpUntil([&pending] { return pending->done.load(std::memory_order_acquire); },
                            std::chrono::minutes(1))) {
        if (loop->quitting()) {
            worker.detach();  // it only holds its own copies and `pending`
            return std::nullopt;
        }
    }
    worker.join();
    return std::move(pending->parsed);
}

void CollectionRun::apply(GuideSource source, int page, const ParsedPage& parsed) {
    app::ControlRegistry& controls = m_context.controls;
    if (source == GuideSource::Maidehao && !parsed.sectionFound) {
        // No section, no blocks: say so in the log and go on with the next source.
        appendLog(logLine(source, page, 0, m_context.clock.now()));
        return;
    }
    if (setsProgressMaximum(source)) {
        controls.setProgressMax(m_progressBar, static_cast<int>(parsed.count));
    }
    if (!parsed.listsMatch) {
        return;
    }
    appendLog(logLine(source, page, parsed.count, m_context.clock.now()));
    for (std::size_t n = 0; n < parsed.entries.size(); ++n) {
        controls.setProgressPosition(m_progressBar, static_cast<int>(n + 1));
        if (parsed.entries[n]) {
            m_context.products.append(*parsed.entries[n]);
            setCaption();
        }
    }
}

void CollectionRun::appendLog(const std::string& line) {
    // Log lines carry their own line end; a line another part appended
    // without one is ended first.
    app::ControlRegistry& controls = m_context.controls;
    std::string text = controls.text(m_logBox);
    if (!text.empty() && !text.ends_with("\r\n")) {
        text += "\r\n";
    }
    controls.setText(m_logBox, text + line);
}

void CollectionRun::setCaption() {
    const std::string version =
        m_context.versionText ? m_context.versionText() : std::string(app::kVersionText);
    m_context.controls.setText(app::names::window,
                               app::recordCountCaption(version, m_context.products.rowCount()));
}

}  // namespace tovakin::collect
