#include "core/app/application.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/app/control_names.h"
#include "core/app/dialogs.h"
#include "core/app/product_files.h"
#include "core/profile/profile_file.h"
#include "core/text/gbk_literal.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_desktop.h"
#include "support/app_fixture.h"
#include "support/temp_dir.h"

namespace tovakin::app {
namespace {

using namespace text::literals;
using testing::productNamed;

class ApplicationTest : public ::testing::Test, protected testing::FakeServices {
protected:
    void writeDayFile(int rows) {
        const auto path = daily_data_file::pathFor(dir.path(), clock.now());
        profile::writeProfileString(path, "数量"_gbk, "数量"_gbk, std::to_string(rows));
        for (int i = 1; i <= rows; ++i) {
            profile::writeProfileString(path, "详细信息"_gbk, std::to_string(i),
                                        daily_data_file::formatEntry(productNamed(std::to_string(i))));
        }
    }
    void writeCollectionFile(int rows) {
        const auto path = collection_file::pathIn(dir.path());
        profile::writeProfileString(path, "数据"_gbk, "条数"_gbk, std::to_string(rows));
        for (int i = 1; i <= rows; ++i) {
            const std::string sep = collection_file::separator();
            profile::writeProfileString(path, "数据"_gbk, std::to_string(i),
                                        std::to_string(i) + sep + "1.00" + sep + "http://p" + sep + "t");
        }
    }
    Application& startApp() {
        app = std::make_unique<Application>(AppOptions{dir.path(), {}}, services());
        app->start();
        app->waitUntilLoaded();
        return *app;
    }

    testing::TempDir dir;
    std::unique_ptr<Application> app;
};

TEST_F(ApplicationTest, WithTheDayFileTheTableLoadsInTheBackgroundAndHandlesAreEnabled) {
    writeDayFile(4);
    writeCollectionFile(2);  // not used on a day with a data file
    Application& a = startApp();
    EXPECT_EQ(a.products().rowCount(), 4u);
    EXPECT_TRUE(a.controls().enabled(names::findChatWindowsButton));
    EXPECT_EQ(a.controls().text(names::window), "Tovakin-8-16        3条记录"_gbk);
    EXPECT_EQ(a.versionText(), "8-16");
}

TEST_F(ApplicationTest, WithoutTheDayFileTheCollectionFileIsLoaded) {
    writeCollectionFile(3);
    Application& a = startApp();
    EXPECT_EQ(a.products().rowCount(), 3u);
    EXPECT_EQ(a.products().cell(2, kCommissionColumn), "");
    EXPECT_FALSE(a.controls().enabled(names::findChatWindowsButton));
    EXPECT_EQ(a.controls().text(names::window), "Tovakin-8-16");
}

TEST_F(ApplicationTest, WithNeitherFileTheTableIsEmpty) {
    Application& a = startApp();
    EXPECT_EQ(a.products().rowCount(), 0u);
    EXPECT_EQ(a.controls().text(names::window), "Tovakin-8-16");
    for (const char* timer : {"时钟2", "时钟3", "时钟4", "时钟_是否重启"}) {
        EXPECT_EQ(a.loop().timerPeriod(timer), 0) << timer;
    }
}

TEST_F(ApplicationTest, DoubleClickCopiesTheSelectedRowsLinkOrAnEmptyText) {
    writeDayFile(2);
    Application& a = startApp();
    a.products().setCell(0, kLinkColumn, "");
    const ControlId table = a.controls().id(names::productTable);
    for (const int selected : {1, 0, -1}) {
        a.controls().setSelectedIndex(table, selected);
        a.doubleClick(names::productTable);
        a.loop().invoke([] {});  // the handler reads the selection when it runs
    }
    EXPECT_EQ(clipboard.history(), (std::vector<std::string>{"http://s.click/2", "", ""}));
}

TEST_F(ApplicationTest, ChatWindowButtonsAndTableDoubleClickReachTheDesktop) {
    writeDayFile(2);  // enables 按钮_获取句柄
    desktop.addWindow({{31, 1, 0, "group-a", "TXGuiFoundation"}, {400, 400, 320, 240}});
    desktop.addWindow({{32, 1, 0, "group-b", "TXGuiFoundation"}, {0, 0, 500, 300}});
    Application& a = startApp();
    const ControlId table = a.controls().id(names::chatWindowTable);

    a.click(names::arrangeButton);  // still disabled: nothing moves
    a.click(names::findChatWindowsButton);
    a.loop().invoke([] {});
    EXPECT_TRUE(desktop.moves().empty());
    EXPECT_EQ(a.controls().state(table).rows,
              (std::vector<std::vector<std::string>>{{"group-a", "31"}, {"group-b", "32"}}));

    a.click(names::arrangeButton);
    a.loop().invoke([] {});
    EXPECT_EQ(desktop.geometry(31), (platform::WindowGeometry{50, 30, 320, 240}));
    EXPECT_EQ(desktop.geometry(32), (platform::WindowGeometry{50, 60, 500, 300}));

    a.controls().setSelectedIndex(table, 0);
    a.doubleClick(names::chatWindowTable);
    a.loop().invoke([] {});
    EXPECT_EQ(a.controls().state(table).rows, (std::vector<std::vector<std::string>>{{"group-b", "32"}}));
}

TEST_F(ApplicationTest, CaptionTimerShowsTheRecordCount) {
    Application& a = startApp();
    a.products().append(productNamed("1"));
    a.setTimer(names::captionTimer, 10);
    a.loop().invoke([&] {
        a.loop().pumpUntil(
            [&] { return a.controls().text(names::window).find("条记录"_gbk) != std::string::npos; },
            std::chrono::seconds(5));
    });
    EXPECT_EQ(a.controls().text(names::window), "Tovakin-8-16        1条记录"_gbk);
    EXPECT_EQ(a.controls().timerPeriod(a.controls().id(names::captionTimer)), 10);
}

TEST_F(ApplicationTest, BackupTimerWritesTheDayFileAndStopsItself) {
    Application& a = startApp();
    a.products().append(productNamed("1"));
    a.products().append(productNamed("2", false));
    auto& progress = a.enrichmentProgress();
    progress.linkStepForward = progress.linkStepBackward = 2;
    progress.commissionStepForward = progress.commissionStepBackward = 2;
    a.setTimer(names::backupTimer, 10);
    a.loop().invoke([&] {
        a.loop().pumpUntil([&] { return a.loop().timerPeriod("时钟3") == 0; }, std::chrono::seconds(10));
    });
    EXPECT_EQ(a.loop().timerPeriod("时钟3"), 0);
    EXPECT_EQ(profile::readProfileString(a.dayFilePath(), "数量"_gbk, "数量"_gbk), "1");
    EXPECT_EQ(a.dayFilePath().filename(), "2014-8-16.txt");
}

}  // namespace
}  // namespace tovakin::app
