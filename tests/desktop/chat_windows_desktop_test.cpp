#include <gtest/gtest.h>

#include <sstream>

#include <QTabBar>
#include <QTreeView>
#include <set>

#include "core/app/application.h"
#include "core/app/control_names.h"
#include "core/app/dialogs.h"
#include "desktop/standin_process.h"
#include "gui/main_window.h"
#include "platform/fake/fake_clipboard.h"
#include "support/temp_dir.h"

namespace tovakin::testing {
namespace {

using platform::WindowGeometry;
using platform::WindowHandle;
using Rows = std::vector<std::vector<std::string>>;

// Finding, listing, arranging and dropping the group chat windows of a real
// desktop, through the main window as the operator uses it.
class ChatWindowsDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        application = std::make_unique<app::Application>(
            app::AppOptions{dir.path(), {}}, app::AppServices{clock, clipboard, desktop, dialogs});
        window = std::make_unique<gui::MainWindow>(*application);
        window->show();
        application->start();
        application->waitUntilLoaded();
        // Start-up enables the button once there are products; here the test does.
        application->controls().setEnabled(app::names::findChatWindowsButton, true);
    }
    void TearDown() override {
        window.reset();
        application.reset();
    }

    // Runs a click on the app thread and lets the window show the result.
    void click(std::string_view name) {
        application->click(name);
        application->loop().invoke([] {});
        QTest::qWait(50);
    }
    Rows rows() {
        return application->controls().state(application->controls().id(app::names::chatWindowTable)).rows;
    }
    bool enabled(std::string_view name) { return application->controls().enabled(name); }

    TempDir dir;
    platform::FakeClock clock{{2014, 8, 16, 9, 5, 7}};
    platform::FakeClipboard clipboard;
    platform::X11Desktop desktop;
    std::ostringstream dialogLog;
    app::LoggingDialogs dialogs{dialogLog};
    std::unique_ptr<app::Application> application;
    std::unique_ptr<gui::MainWindow> window;
};

TEST_F(ChatWindowsDesktopTest, FindsArrangesAndDropsTheGroupChatWindows) {
    ASSERT_TRUE(desktop.open()) << desktop.openError();
    // A window of another class with a group-like title must not be listed.
    QWidget otherClass;
    otherClass.setWindowTitle(QString::fromUtf8("别的程序的群"));
    otherClass.resize(200, 100);
    otherClass.show();

    // Started one after another so that the window manager lists them in this order.
    StandInProcess first({QString::fromUtf8("淘宝特价一群"), QStringLiteral("Group 2")},
                         QStringLiteral("300x200"));
    auto handles = waitForWindows(desktop, {"淘宝特价一群", "Group 2"});
    StandInProcess second({QString::fromUtf8("第三群")}, QStringLiteral("420x260"));
    StandInProcess mainWindow({QStringLiteral("QQ2013")}, QStringLiteral("200x150"));
    handles = waitForWindows(desktop, {"淘宝特价一群", "Group 2", "第三群", "QQ2013", "别的程序的群"});
    ASSERT_EQ(handles.size(), 5u);

    EXPECT_FALSE(enabled(app::names::startBroadcastButton));
    EXPECT_FALSE(enabled(app::names::arrangeButton));
    click(app::names::findChatWindowsButton);

    // Rows in enumeration order: both windows of the first process, then the third group.
    const Rows listed = rows();
    ASSERT_EQ(listed.size(), 3u);
    std::vector<std::string> titles;
    for (const auto& row : listed) {
        const std::string title = platform::gbkToUtf8(row[0]);
        titles.push_back(title);
        EXPECT_EQ(row[1], std::to_string(handles[title])) << title;
    }
    EXPECT_EQ(titles[2], "第三群");
    EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()),
              (std::set<std::string>{"淘宝特价一群", "Group 2", "第三群"}));
    EXPECT_TRUE(enabled(app::names::startBroadcastButton));
    EXPECT_TRUE(enabled(app::names::arrangeButton));

    std::vector<WindowGeometry> before;
    for (const std::string& title : titles) {
        before.push_back(desktop.geometry(handles[title]).value_or(WindowGeometry{}));
    }
    click(app::names::arrangeButton);
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const WindowHandle handle = handles[titles[i]];
        const int top = 30 * static_cast<int>(i + 1);
        // The window manager may apply the move a moment after the request.
        EXPECT_TRUE(
            waitUntil([&] { return desktop.geometry(handle).value_or(WindowGeometry{}).top == top; }));
        EXPECT_EQ(desktop.geometry(handle), (WindowGeometry{50, top, before[i].width, before[i].height}))
            << titles[i];
    }

    // A double-click on the second row of the table in the window drops it.
    for (int page = 0; page < window->tabBar()->count(); ++page) {
        if (window->tabBar()->tabText(page) == QString::fromUtf8("发送信息")) {
            window->tabBar()->setCurrentIndex(page);
        }
    }
    auto* view = window->findChild<QTreeView*>(QString::fromUtf8("超级列表框2"));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(waitUntil([&] { return view->model()->rowCount() == 3; }));
    const QRect secondRow = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, secondRow.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, secondRow.center());
    ASSERT_TRUE(waitUntil([&] { return rows().size() == 2; }));
    EXPECT_EQ(rows(), (Rows{listed[0], listed[2]}));
    EXPECT_TRUE(waitUntil([&] { return view->model()->rowCount() == 2; }));

    // With no chat window left, a refresh empties the table; the buttons stay as they were.
    first.stop();
    second.stop();
    mainWindow.stop();
    ASSERT_TRUE(waitUntil([&] {
        const auto all = windowsByTitle(desktop);
        return !all.contains("淘宝特价一群") && !all.contains("Group 2") && !all.contains("第三群");
    }));
    click(app::names::findChatWindowsButton);
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(enabled(app::names::startBroadcastButton));
    EXPECT_TRUE(enabled(app::names::arrangeButton));
}

}  // namespace
}  // namespace tovakin::testing
