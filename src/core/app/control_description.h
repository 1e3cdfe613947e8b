#pragma once

#include <span>
#include <string_view>

// The main window described as data: one entry per control, with its form
// name, its parent, its place and its state when the window is created. Core
// builds its control registry from this table and the GUI builds its widgets
// from the same table, so the two can never disagree about a control.
namespace tovakin::app {

enum class ControlKind {
    Window,
    TabControl,
    TabPage,
    Timer,
    Button,
    CheckBox,
    EditBox,
    Label,
    TransparentLabel,
    GroupBox,
    Panel,
    ProgressBar,
    ListBox,
    ReportListView,
    PictureBox,
    WebBrowser,
    TcpServer,
};

std::string_view controlKindName(ControlKind kind);

struct Geometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ColumnSpec {
    std::string_view header;  // UTF-8
    int width = 0;            // 0: the column exists but is not shown
};

struct ControlSpec {
    ControlKind kind;
    std::string_view name;    // form name, UTF-8; also the widget's object name
    std::string_view parent;  // form name of the parent; empty for the window
    Geometry geometry;
    // Initial caption or text, UTF-8. "${name}" stands for a configured host.
    std::string_view text = {};
    bool hidden = false;
    bool disabled = false;
    bool checked = false;
    bool multiline = false;
    std::span<const ColumnSpec> columns = {};
    std::span<const std::string_view> items = {};
};

// Every control of the main window, parents before children, tab pages in
// their order on the tab control.
std::span<const ControlSpec> mainWindowControls();

}  // namespace tovakin::app
