#include "gui/main_window.h"

#include <gtest/gtest.h>

#include <sstream>

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeView>
#include <thread>

#include "core/app/control_names.h"
#include "core/app/dialogs.h"
#include "core/app/product_files.h"
#include "core/profile/profile_file.h"
#include "core/text/gbk_literal.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_desktop.h"
#include "support/app_fixture.h"
#include "support/temp_dir.h"

namespace tovakin::gui {
namespace {

using namespace text::literals;
using app::ControlKind;

class MainWindowTest : public ::testing::Test, protected testing::FakeServices {
protected:
    void SetUp() override {
        const auto dayFile = app::daily_data_file::pathFor(dir.path(), clock.now());
        profile::writeProfileString(dayFile, "数量"_gbk, "数量"_gbk, "3");
        for (int i = 1; i <= 3; ++i) {
            profile::writeProfileString(
                dayFile, "详细信息"_gbk, std::to_string(i),
                app::daily_data_file::formatEntry(testing::productNamed(std::to_string(i))));
        }
        application = std::make_unique<app::Application>(app::AppOptions{dir.path(), {}}, services());
        window = std::make_unique<MainWindow>(*application);
        window->show();
        application->start();
        application->waitUntilLoaded();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        waitForRows(3);
    }
    void TearDown() override {
        window.reset();
        application.reset();
    }

    QTreeView* productView() { return window->findChild<QTreeView*>(QString::fromUtf8("超级列表框1")); }
    void waitForRows(int rows) { QTRY_COMPARE_WITH_TIMEOUT(productView()->model()->rowCount(), rows, 20000); }

    testing::TempDir dir;
    std::unique_ptr<app::Application> application;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, PagesCaptionAndControlStatesAfterStart) {
    QTabBar* tabs = window->tabBar();
    ASSERT_EQ(tabs->count(), 6);
    const char* pages[] = {"获取", "采集数据", "发送信息", "自主获取", "操作日志", "留言"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tabs->tabText(i), QString::fromUtf8(pages[i]));
    }
    QTRY_COMPARE(window->windowTitle(), QString::fromUtf8("Tovakin-8-16        2条记录"));

    for (const app::ControlSpec& spec : app::mainWindowControls()) {
        const QString name = QString::fromUtf8(spec.name.data(), static_cast<qsizetype>(spec.name.size()));
        if (spec.kind == ControlKind::Timer || spec.kind == ControlKind::TcpServer ||
            spec.kind == ControlKind::Window) {
            continue;
        }
        QWidget* widget = window->findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << spec.name;
        if (spec.kind != ControlKind::TabPage) {
            EXPECT_EQ(widget->isHidden(), spec.hidden) << spec.name;
        }
        const bool enabled = spec.name == app::names::findChatWindowsButton ? true : !spec.disabled;
        EXPECT_EQ(widget->isEnabled(), enabled) << spec.name;
    }
    auto* fetch = window->findChild<QPushButton*>(QString::fromUtf8("按钮_启动获取数据"));
    EXPECT_EQ(fetch->text(), QString::fromUtf8("获取数据"));
    // Controls on the first page are shown; those of other pages are not until their page is.
    EXPECT_TRUE(fetch->isVisible());
    EXPECT_FALSE(productView()->isVisible());
    tabs->setCurrentIndex(1);
    EXPECT_TRUE(productView()->isVisible());
}

TEST_F(MainWindowTest, ProductTableColumnsAndRows) {
    QTreeView* view = productView();
    const char* headers[] = {"编号", "单价", "图片链接", "佣金", "商品名称", "推广链接"};
    const int widths[] = {80, 80, 150, 0, 80, 120};
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(view->model()->headerData(column, Qt::Horizontal).toString(),
                  QString::fromUtf8(headers[column]));
        EXPECT_EQ(view->isColumnHidden(column), widths[column] == 0) << column;
        if (widths[column] != 0) {
            EXPECT_EQ(view->columnWidth(column), widths[column]) << column;
        }
    }
    EXPECT_EQ(view->model()->index(2, 4).data().toString(), QString("title-3"));
}

TEST_F(MainWindowTest, DoubleClickCopiesThePromotionLink) {
    window->tabBar()->setCurrentIndex(1);
    QTreeView* view = productView();
    const QRect cell = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    application->loop().invoke([] {});
    EXPECT_EQ(clipboard.text(), "http://s.click/2");
}

TEST_F(MainWindowTest, ShowsControlChangesMadeOnOtherThreads) {
    auto* log = window->findChild<QPlainTextEdit*>(QString::fromUtf8("编辑框3"));
    auto* handles = window->findChild<QPushButton*>(QString::fromUtf8("按钮_排列位置"));
    std::jthread worker([&] {
        auto& controls = application->controls();
        controls.appendLine(controls.id(app::names::logBox), "第一行"_gbk);
        controls.appendLine(controls.id(app::names::logBox), "second");
        controls.setEnabled(app::names::arrangeButton, true);
    });
    worker.join();
    QTRY_COMPARE(log->toPlainText(), QString::fromUtf8("第一行\nsecond"));
    QTRY_VERIFY(handles->isEnabled());
}

TEST_F(MainWindowTest, KeepsUpWithTenThousandRowsFromAWorker) {
    std::jthread worker([&] {
        for (int i = 0; i < 10000; ++i) {
            const auto index = application->products().append(testing::productNamed(std::to_string(100 + i)));
            application->products().setCell(index, app::kTitleColumn, "set-" + std::to_string(i));
        }
        application->products().remove(0);
    });
    worker.join();
    waitForRows(10002);
    QAbstractItemModel* model = productView()->model();
    EXPECT_EQ(model->index(0, 0).data().toString(), QString("2"));
    EXPECT_EQ(model->index(10001, 4).data().toString(), QString("set-9999"));
}

}  // namespace
}  // namespace tovakin::gui
