#include "core/broadcast/chat_windows.h"

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "core/app/control_names.h"
#include "core/text/gbk_text.h"

namespace tovakin::broadcast {

namespace {

constexpr std::string_view kChatWindowClass = "TXGuiFoundation";
// The titles the chat clients give their main windows (ASCII, so the same in GBK).
constexpr std::array<std::string_view, 7> kMainWindowTitles = {"",       "QQ2010", "QQ2011", "TM2009",
                                                               "QQ2012", "QQ2013", "TM2013"};
constexpr int kCascadeLeft = 50;
constexpr int kCascadeStep = 30;
constexpr std::size_t kHandleColumn = 1;

}  // namespace

std::vector<WindowRecord> EnumerateTopLevelWindows(platform::Desktop& desktop) {
    std::vector<WindowRecord> records = desktop.topLevelWindows();
    for (WindowRecord& record : records) {
        // The fixed buffers of the window calls; cut at a character boundary.
        record.title = std::string(text::cutAtCharBoundary(record.title, platform::kMaxTitleBytes));
        if (record.className.size() > platform::kMaxClassBytes) {
            record.className.resize(platform::kMaxClassBytes);
        }
    }
    return records;
}

WindowHandle FindWindowOfProcess(platform::Desktop& desktop, std::uint32_t processId) {
    for (const WindowRecord& record : EnumerateTopLevelWindows(desktop)) {
        if (record.processId == processId) {
            return record.handle;
        }
    }
    return 0;
}

bool MoveWindowKeepSize(platform::Desktop& desktop, WindowHandle window, std::optional<int> left,
                        std::optional<int> top, std::optional<int> width, std::optional<int> height) {
    return desktop.moveKeepingSize(window, left, top, width, height);
}

bool isGroupChatWindow(const WindowRecord& record) {
    if (record.className != kChatWindowClass) {
        return false;
    }
    for (const std::string_view title : kMainWindowTitles) {
        if (record.title == title) {
            return false;
        }
    }
    return true;
}

WindowHandle handleFromText(const std::string& text) {
    const double number = std::trunc(text::textToNumber(text));
    // A text that names no 32-bit handle addresses no window (the move then fails quietly).
    if (!(number >= 0) || number > static_cast<double>(std::numeric_limits<WindowHandle>::max())) {
        return 0;
    }
    return static_cast<WindowHandle>(number);
}

void RefreshChatWindows(app::ControlRegistry& controls, platform::Desktop& desktop) {
    const std::vector<WindowRecord> records = EnumerateTopLevelWindows(desktop);
    const app::ControlId table = controls.id(app::names::chatWindowTable);
    controls.clearRows(table);
    for (const WindowRecord& record : records) {
        if (isGroupChatWindow(record)) {
            controls.addRow(table, {record.title, std::to_string(record.handle)});
        }
    }
    if (controls.rowCount(table) > 0) {
        controls.setEnabled(app::names::startBroadcastButton, true);
        controls.setEnabled(app::names::arrangeButton, true);
    }
}

void ArrangeChatWindows(app::ControlRegistry& controls, platform::Desktop& desktop) {
    const app::ControlId table = controls.id(app::names::chatWindowTable);
    const std::vector<std::vector<std::string>> rows = controls.state(table).rows;
    for (std::size_t i = 1; i <= rows.size(); ++i) {
        const std::vector<std::string>& row = rows[i - 1];
        const WindowHandle window = row.size() > kHandleColumn ? handleFromText(row[kHandleColumn]) : 0;
        // A stale handle fails without effect; the rest still move.
        MoveWindowKeepSize(desktop, window, kCascadeLeft, kCascadeStep * static_cast<int>(i));
    }
}

void RemoveSelectedChatWindow(app::ControlRegistry& controls) {
    const app::ControlId table = controls.id(app::names::chatWindowTable);
    const int selected = controls.selectedIndex(table);
    if (selected < 0) {
        return;
    }
    if (controls.removeRow(table, static_cast<std::size_t>(selected))) {
        // The selected row is gone; nothing is selected until the operator picks again.
        controls.setSelectedIndex(table, -1);
    }
}

}  // namespace tovakin::broadcast
