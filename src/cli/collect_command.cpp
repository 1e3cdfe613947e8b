#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <ostream>
#include <thread>

#include "cli/commands.h"
#include "cli/web_options.h"
#include "core/app/application.h"
#include "core/app/control_names.h"
#include "core/app/dialogs.h"
#include "core/app/run_directory.h"
#include "core/collect/collection_run.h"
#include "core/collect/enrichment.h"
#include "core/profile/profile_file.h"
#include "core/text/gbk_literal.h"
#include "core/text/gbk_text.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_desktop.h"
#include "platform/text_codec.h"

namespace tovakin::cli {

namespace {

using namespace text::literals;
using namespace std::chrono_literals;

constexpr int kPages = 8 + 1 + 10 + 8;

// Prints the log lines as they come and a progress bar: redrawn in place on
// a terminal, as occasional plain lines otherwise.
class ProgressPrinter {
public:
    ProgressPrinter(app::Application& application, std::ostream& out, bool terminal)
        : m_app(application), m_out(out), m_terminal(terminal) {}

    void update(std::string_view phase, int done, int total) {
        const std::string log = m_app.controls().text(app::names::logBox);
        if (log.size() > m_printedLog) {
            std::string fresh = platform::gbkToUtf8(log.substr(m_printedLog));
            m_printedLog = log.size();
            std::string lines;
            for (const char c : fresh) {
                if (c != '\r') {
                    lines += c;
                }
            }
            clearBar();
            m_out << lines;
            if (!lines.empty() && lines.back() != '\n') {
                m_out << "\n";
            }
            m_logLines += static_cast<int>(std::count(lines.begin(), lines.end(), '\n'));
        }
        const int percent = total > 0 ? std::min(100, done * 100 / total) : 0;
        if (m_terminal) {
            constexpr int width = 30;
            const int filled = percent * width / 100;
            m_out << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(width - filled), ' ') << "] " << percent << "% "
                  << phase << " " << done << "/" << total << "   " << std::flush;
            m_barShown = true;
        } else if (phase != m_lastPhase || percent >= m_lastPercent + 25) {
            m_out << phase << " " << done << "/" << total << "\n" << std::flush;
            m_lastPercent = percent;
        }
        m_lastPhase = std::string(phase);
    }

    void clearBar() {
        if (m_barShown) {
            m_out << "\r" << std::string(60, ' ') << "\r";
            m_barShown = false;
        }
    }

    int logLines() const { return m_logLines; }

private:
    app::Application& m_app;
    std::ostream& m_out;
    bool m_terminal;
    std::size_t m_printedLog = 0;
    int m_logLines = 0;
    bool m_barShown = false;
    std::string m_lastPhase;
    int m_lastPercent = -100;
};

int progressPosition(app::Application& application, std::string_view bar) {
    const app::ControlRegistry& controls = application.controls();
    return controls.state(controls.id(bar)).progressPosition;
}

}  // namespace

int collectCommand(const Args& arguments, std::ostream& out, std::ostream& err) {
    Args args = arguments;
    const WebOptions webOptions = takeWebOptions(args);
    std::optional<std::filesystem::path> runDir;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--run-dir" && i + 1 < args.size()) {
            runDir = args[++i];
        } else {
            throw UsageError("usage: collect [--run-dir DIR] [--config FILE] [--cookies FILE]");
        }
    }
    const app::RunDirectory directory = app::resolveRunDirectory(runDir);
    if (!directory.error.empty()) {
        err << "tovakin-cli: " << directory.error << "\n";
        return 1;
    }
    app::Configuration configuration = applyWebOptions(webOptions, directory.path);
    configuration.queryPort.reset();  // a window may serve queries meanwhile; this run does not

    platform::SystemClock clock;
    platform::FakeClipboard clipboard;
    platform::FakeDesktop desktop;
    app::Application application({directory.path, configuration},
                                 {clock, clipboard, desktop, app::stderrDialogs()});
    const std::filesystem::path dayFile = application.dayFilePath();
    std::error_code ec;
    if (std::filesystem::exists(dayFile, ec)) {
        err << "tovakin-cli: today's data file " << dayFile.string()
            << " exists already; the program loads it instead of collecting (one run a day)\n";
        return 1;
    }
    application.start();
    application.waitUntilLoaded();
    const std::size_t rowsBefore = application.products().rowCount();

    const bool terminal = &out == &std::cout && ::isatty(STDOUT_FILENO) == 1;
    ProgressPrinter printer(application, out, terminal);
    application.click(collect::kCollectButton);
    // The end steps of the run enable the chat-window button.
    while (!application.controls().enabled(app::names::findChatWindowsButton)) {
        printer.update("collecting pages", printer.logLines(), kPages);
        std::this_thread::sleep_for(100ms);
    }
    printer.update("collecting pages", kPages, kPages);
    const std::size_t collected = application.products().rowCount() - rowsBefore;
    printer.clearBar();
    out << "collected " << collected << " products\n" << std::flush;
    if (collected == 0) {
        err << "tovakin-cli: nothing could be collected: no shopping-guide page gave a product "
               "(are the sites reachable? see the log lines above)\n";
        application.close();
        return 1;
    }

    const int rows = static_cast<int>(application.products().rowCount());
    while (!application.enrichment().waitUntilDone(100ms)) {
        const int done =
            std::min(progressPosition(application, "进度条5"), progressPosition(application, "进度条6"));
        printer.update("completing products", done, rows);
    }
    printer.update("completing products", rows, rows);

    // The backup timer writes the file once the loops are through; a pass that
    // finds no product with a commission writes nothing, so give up after a while.
    auto quietSince = std::chrono::steady_clock::now();
    while (!std::filesystem::exists(dayFile, ec)) {
        if (application.backup().passRunning()) {
            quietSince = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - quietSince > 5s) {
            printer.clearBar();
            err << "tovakin-cli: no product got a commission from the affiliate platform, so there is no "
                   "data file to write (is the login session in the cookie file valid?)\n";
            application.close();
            return 1;
        }
        printer.update("writing the data file", progressPosition(application, app::names::loadProgressBar),
                       rows);
        std::this_thread::sleep_for(100ms);
    }
    application.backup().waitForPass();
    printer.update("writing the data file", rows, rows);
    printer.clearBar();
    const std::string count = profile::readProfileString(dayFile, "数量"_gbk, "数量"_gbk);
    out << "wrote " << dayFile.string() << ": " << text::textToInteger(count)
        << " products with a commission\n";
    application.close();
    return 0;
}

}  // namespace tovakin::cli
