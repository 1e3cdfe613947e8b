#include "core/broadcast/chat_windows.h"

#include <gtest/gtest.h>

#include "core/app/control_names.h"
#include "core/text/gbk_literal.h"
#include "platform/fake/fake_desktop.h"
#include "support/app_fixture.h"

namespace tovakin::broadcast {
namespace {

using namespace text::literals;
using platform::FakeDesktop;
using platform::WindowGeometry;
using Rows = std::vector<std::vector<std::string>>;

constexpr std::string_view kChatClass = "TXGuiFoundation";

FakeDesktop::Window window(platform::WindowHandle handle, std::string_view className, std::string title,
                           WindowGeometry geometry = {200, 200, 400, 300}) {
    return {{handle, 1000 + handle, 0, std::move(title), std::string(className)}, geometry};
}

class ChatWindowsTest : public ::testing::Test {
protected:
    Rows rows() const { return controls.state(table).rows; }

    app::ControlRegistry controls = testing::mainWindowRegistry();
    app::ControlId table = controls.id(app::names::chatWindowTable);
    FakeDesktop desktop;
};

TEST_F(ChatWindowsTest, RefreshListsOnlyGroupChatsOfTheChatClientInEnumerationOrder) {
    struct Case {
        std::string_view className;
        std::string title;
        bool listed;
    };
    const std::vector<Case> cases = {
        {kChatClass, "淘宝特价群一"_gbk, true},
        {kChatClass, "", false},
        {kChatClass, "QQ2010", false},
        {kChatClass, "QQ2011", false},
        {kChatClass, "TM2009", false},
        {kChatClass, "QQ2012", false},
        {kChatClass, "QQ2013", false},
        {kChatClass, "TM2013", false},
        {kChatClass, "QQ2014", true},  // only the seven titles are main windows
        {kChatClass, "qq2012", true},  // compared exactly
        {kChatClass, " QQ2012", true},
        {"txguifoundation", "群B", false},  // the class is case-sensitive
        {"TXGuiFoundation2", "群C", false},
        {"XTerm", "群D", false},
        {kChatClass, "Beta group", true},
    };
    platform::WindowHandle handle = 100;
    Rows expected;
    for (const Case& c : cases) {
        desktop.addWindow(window(++handle, c.className, c.title));
        if (c.listed) {
            expected.push_back({c.title, std::to_string(handle)});
        }
    }
    // An invisible window of the class is not listed either.
    FakeDesktop::Window hidden = window(999, kChatClass, "hidden group");
    hidden.visible = false;
    desktop.addWindow(hidden);

    RefreshChatWindows(controls, desktop);
    EXPECT_EQ(rows(), expected);
    EXPECT_TRUE(controls.enabled(app::names::startBroadcastButton));
    EXPECT_TRUE(controls.enabled(app::names::arrangeButton));
}

TEST_F(ChatWindowsTest, RefreshReplacesTheTableAndWithNothingFoundLeavesTheButtonsAsTheyWere) {
    controls.addRow(table, {"stale", "77"});
    RefreshChatWindows(controls, desktop);
    EXPECT_TRUE(rows().empty());
    EXPECT_FALSE(controls.enabled(app::names::startBroadcastButton));
    EXPECT_FALSE(controls.enabled(app::names::arrangeButton));

    desktop.addWindow(window(5, kChatClass, "group"));
    RefreshChatWindows(controls, desktop);
    EXPECT_EQ(rows(), (Rows{{"group", "5"}}));

    desktop.clearWindows();
    RefreshChatWindows(controls, desktop);
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(controls.enabled(app::names::startBroadcastButton));  // not switched off again
    EXPECT_TRUE(controls.enabled(app::names::arrangeButton));
}

TEST_F(ChatWindowsTest, ArrangeCascadesFromTheTopKeepingSizesAndSkipsStaleHandles) {
    desktop.addWindow(window(11, kChatClass, "a", {300, 400, 500, 350}));
    desktop.addWindow(window(12, kChatClass, "b", {0, 0, 640, 480}));
    desktop.addWindow(window(13, kChatClass, "c", {700, 10, 320, 200}));
    RefreshChatWindows(controls, desktop);
    desktop.closeWindow(12);  // closed after the refresh: its row stays, its move fails

    ArrangeChatWindows(controls, desktop);
    EXPECT_EQ(desktop.geometry(11), (WindowGeometry{50, 30, 500, 350}));
    EXPECT_FALSE(desktop.geometry(12));
    EXPECT_EQ(desktop.geometry(13), (WindowGeometry{50, 90, 320, 200}));
    EXPECT_EQ(rows().size(), 3u);
}

TEST_F(ChatWindowsTest, ArrangeReadsTheHandleTextAsANumber) {
    desktop.addWindow(window(42, kChatClass, "a", {1, 2, 30, 40}));
    controls.addRow(table, {"a", "42.9xyz"});  // the leading number, truncated
    controls.addRow(table, {"b", "-42"});      // names no window
    ArrangeChatWindows(controls, desktop);
    EXPECT_EQ(desktop.geometry(42), (WindowGeometry{50, 30, 30, 40}));
    const std::vector<FakeDesktop::Move> moves = desktop.moves();
    ASSERT_EQ(moves.size(), 1u);  // no window could be asked about handle 0
}

TEST_F(ChatWindowsTest, DoubleClickRemovesOnlyTheSelectedRow) {
    for (const char* name : {"a", "b", "c"}) {
        controls.addRow(table, {name, "1"});
    }
    RemoveSelectedChatWindow(controls);  // no selection: nothing removed
    EXPECT_EQ(rows().size(), 3u);

    controls.setSelectedIndex(table, 1);
    RemoveSelectedChatWindow(controls);
    EXPECT_EQ(rows(), (Rows{{"a", "1"}, {"c", "1"}}));
    EXPECT_EQ(controls.selectedIndex(table), -1);
    RemoveSelectedChatWindow(controls);  // a second double-click with nothing selected
    EXPECT_EQ(rows().size(), 2u);
}

TEST_F(ChatWindowsTest, EnumerationCutsLongTextsAndFindsTheFirstWindowOfAProcess) {
    std::string longTitle;
    for (int i = 0; i < 200; ++i) {
        longTitle += "群"_gbk;  // 400 bytes
    }
    desktop.addWindow(window(1, std::string(60, 'K'), "xy" + longTitle));
    desktop.addWindow({{7, 500, 0, "first", "C"}, {}});
    desktop.addWindow({{8, 500, 0, "second", "C"}, {}});
    const std::vector<platform::WindowRecord> records = EnumerateTopLevelWindows(desktop);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].className.size(), 49u);
    // 255 bytes would split a character: 254 remain.
    EXPECT_EQ(records[0].title, "xy" + longTitle.substr(0, 252));

    EXPECT_EQ(FindWindowOfProcess(desktop, 500), 7u);
    EXPECT_EQ(FindWindowOfProcess(desktop, 501), 0u);
}

TEST_F(ChatWindowsTest, MoveWindowKeepSizeKeepsWhatIsNotGiven) {
    desktop.addWindow(window(3, "C", "w", {10, 20, 300, 200}));
    EXPECT_TRUE(MoveWindowKeepSize(desktop, 3, std::nullopt, 99));
    EXPECT_EQ(desktop.geometry(3), (WindowGeometry{10, 99, 300, 200}));
    EXPECT_TRUE(MoveWindowKeepSize(desktop, 3, 5, std::nullopt, std::nullopt, 50));
    EXPECT_EQ(desktop.geometry(3), (WindowGeometry{5, 99, 300, 50}));
    EXPECT_FALSE(MoveWindowKeepSize(desktop, 4, 1, 1));
}

}  // namespace
}  // namespace tovakin::broadcast
