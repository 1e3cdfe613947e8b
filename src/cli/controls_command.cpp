#include <ostream>

#include "cli/commands.h"
#include "cli/json_text.h"
#include "core/app/application.h"
#include "core/app/control_names.h"
#include "core/app/date_texts.h"
#include "core/app/dialogs.h"
#include "core/app/run_directory.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_desktop.h"
#include "platform/text_codec.h"

namespace tovakin::cli {

namespace {

using platform::gbkToUtf8;

std::string jsonRows(const std::vector<std::vector<std::string>>& rows) {
    std::string out = "[";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out += r ? ",[" : "[";
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            out += (c ? "," : "") + jsonString(gbkToUtf8(rows[r][c]));
        }
        out += "]";
    }
    return out + "]";
}

std::string controlJson(app::Application& application, app::ControlId id) {
    const app::ControlRegistry& controls = application.controls();
    const app::ControlSpec& spec = controls.spec(id);
    const app::ControlState state = controls.state(id);
    std::string line = "{\"name\":" + jsonString(spec.name) +
                       ",\"kind\":" + jsonString(app::controlKindName(spec.kind)) +
                       ",\"text\":" + jsonString(gbkToUtf8(state.text)) +
                       ",\"enabled\":" + (state.enabled ? "true" : "false") +
                       ",\"visible\":" + (state.visible ? "true" : "false") +
                       ",\"checked\":" + (state.checked ? "true" : "false");
    if (spec.kind == app::ControlKind::ProgressBar) {
        line += ",\"progressMax\":" + std::to_string(state.progressMax) +
                ",\"progressPosition\":" + std::to_string(state.progressPosition);
    }
    if (spec.kind == app::ControlKind::Timer) {
        line += ",\"period\":" + std::to_string(state.timerPeriod);
    }
    if (spec.kind == app::ControlKind::ListBox) {
        line += ",\"items\":[";
        for (std::size_t i = 0; i < state.items.size(); ++i) {
            line += (i ? "," : "") + jsonString(gbkToUtf8(state.items[i]));
        }
        line += "]";
    }
    if (spec.kind == app::ControlKind::ReportListView) {
        std::vector<std::vector<std::string>> rows = state.rows;
        if (spec.name == app::names::productTable) {
            rows.clear();
            for (const app::ProductRow& row : application.products().rows()) {
                rows.emplace_back(row.begin(), row.end());
            }
        }
        line += ",\"rows\":" + jsonRows(rows);
    }
    return line + "}";
}

}  // namespace

int controlsCommand(const Args& args, std::ostream& out, std::ostream& err) {
    std::optional<std::filesystem::path> runDir;
    std::optional<app::LocalTime> now;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--run-dir" && i + 1 < args.size()) {
            runDir = args[++i];
        } else if (args[i] == "--now" && i + 1 < args.size()) {
            now = app::parseLocalTime(args[++i]);
            if (!now) {
                throw UsageError("--now needs YYYY-MM-DD HH:MM:SS");
            }
        } else {
            throw UsageError("usage: controls [--run-dir DIR] [--now TIME]");
        }
    }
    const app::RunDirectory directory = app::resolveRunDirectory(runDir);
    if (!directory.error.empty()) {
        err << "tovakin-cli: " << directory.error << "\n";
        return 1;
    }

    platform::SystemClock systemClock;
    platform::FakeClock fixedClock(now.value_or(app::LocalTime{}));
    platform::FakeClipboard clipboard;
    platform::FakeDesktop desktop;  // headless: no chat windows
    app::Application application({directory.path, {}},
                                 {now ? static_cast<platform::Clock&>(fixedClock) : systemClock, clipboard,
                                  desktop, app::stderrDialogs()});
    application.start();
    application.waitUntilLoaded();

    out << "{\"caption\":" << jsonString(gbkToUtf8(application.controls().text(app::names::window))) << "}\n";
    for (app::ControlId id = 0; id < application.controls().size(); ++id) {
        out << controlJson(application, id) << "\n";
    }
    application.close();
    return 0;
}

}  // namespace tovakin::cli
