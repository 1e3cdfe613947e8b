#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <optional>

#include "core/app/application.h"
#include "core/app/configuration.h"
#include "core/app/control_names.h"
#include "core/app/dialogs.h"
#include "core/collect/collection_run.h"
#include "core/web/http_client.h"
#include "gui/main_window.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_desktop.h"
#include "platform/text_codec.h"
#include "support/app_fixture.h"
#include "support/temp_dir.h"

extern char** environ;

namespace tovakin::gui {
namespace {

// The simulated world as `tovakin-cli sim`, a child process (the GUI tests
// link no simulator), stopped by its process id.
class SimProcess {
public:
    explicit SimProcess(const std::filesystem::path& dir) {
        const std::filesystem::path cli =
            std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" /
            "tovakin-cli";
        m_config = dir / "sim.ini";
        const std::string cookies = (dir / "cookies.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, m_config.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all{cli.string(), "sim", "--cookie-file", cookies};
        std::vector<char*> argv;
        for (std::string& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, cli.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SimProcess() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    // The configuration it printed, once it is complete.
    std::optional<app::Configuration> configuration() const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_pid > 0 && std::chrono::steady_clock::now() < deadline) {
            if (testing::readFile(m_config).find("cookies=") != std::string::npos) {
                app::LoadedConfiguration loaded = app::loadConfiguration(m_config, true);
                if (loaded.error.empty()) {
                    return loaded.configuration;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return std::nullopt;
    }

private:
    std::filesystem::path m_config;
    pid_t m_pid = -1;
};

class CollectionGuiTest : public ::testing::Test, protected testing::FakeServices {
protected:
    void SetUp() override {
        const std::optional<app::Configuration> configuration = sim.configuration();
        ASSERT_TRUE(configuration) << "tovakin-cli sim did not start";
        application =
            std::make_unique<app::Application>(app::AppOptions{dir.path(), *configuration}, services());
        window = std::make_unique<MainWindow>(*application);
        window->show();
        application->start();
        application->waitUntilLoaded();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        application.reset();
    }
    template <typename Widget>
    Widget* widget(const char* name) {
        return window->findChild<Widget*>(QString::fromUtf8(name));
    }
    int tabIndex(const char* caption) {
        for (int i = 0; i < window->tabBar()->count(); ++i) {
            if (window->tabBar()->tabText(i) == QString::fromUtf8(caption)) {
                return i;
            }
        }
        return -1;
    }

    testing::TempDir dir;
    SimProcess sim{dir.path()};
    std::unique_ptr<app::Application> application;
    std::unique_ptr<MainWindow> window;
};

TEST_F(CollectionGuiTest, TheWindowAnswersWhileTheRunFillsTheTable) {
    // The run of the button, except that the first page of the last source
    // waits until the test lets it go: everything below happens during the run.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    collect::CollectionRunContext context = collect::collectionContextFor(*application);
    context.fetch = [released](const std::string& url) {
        if (url.find("/guang-main-page-1.html") != std::string::npos) {
            released.wait();
        }
        return web::PlainHttpGet(url);
    };
    application->loop().post([context] { collect::CollectionRun(context).run(); });

    QProgressBar* bar = widget<QProgressBar>("进度条7");
    QPushButton* button = widget<QPushButton>("按钮_启动获取数据");
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(button, nullptr);
    std::set<int> positions;
    QObject::connect(bar, &QProgressBar::valueChanged, bar,
                     [&positions](int value) { positions.insert(value); });
    QTRY_VERIFY_WITH_TIMEOUT(!button->isEnabled(), 10000);

    // Three sources are in: the log box on its page shows their lines.
    window->tabBar()->setCurrentIndex(tabIndex("操作日志"));
    QPlainTextEdit* log = widget<QPlainTextEdit>("编辑框3");
    ASSERT_NE(log, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(log->toPlainText().contains(QString::fromUtf8("自在购物 第10页      20")),
                             20000);
    EXPECT_GE(positions.size(), 2u);  // the bar moved (the window shows coalesced changes)
    EXPECT_EQ(bar->maximum(), 20);

    // Input is handled meanwhile: another page, typing into the item-id box.
    window->tabBar()->setCurrentIndex(tabIndex("自主获取"));
    QLineEdit* itemId = widget<QLineEdit>("编辑框4");
    ASSERT_NE(itemId, nullptr);
    itemId->setFocus();
    QTest::keyClicks(itemId, "39005872107");
    EXPECT_EQ(itemId->text(), QString("39005872107"));
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(application->controls().text("编辑框4")),
                              QString("39005872107"), 5000);
    EXPECT_FALSE(application->controls().enabled(app::names::findChatWindowsButton));  // still running

    release.set_value();
    QPushButton* findChats = widget<QPushButton>("按钮_获取句柄");
    QTRY_VERIFY_WITH_TIMEOUT(findChats->isEnabled(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(window->windowTitle().endsWith(QString::fromUtf8("652条记录")), 10000);
    EXPECT_FALSE(button->isEnabled());

    // The table's pictures are real JPEG files.
    const std::string picture = application->products().cell(0, app::kPictureColumn);
    QImage image;
    ASSERT_TRUE(image.loadFromData(QByteArray::fromStdString(web::PlainHttpGet(picture + "_160x160.jpg"))));
    EXPECT_EQ(image.size(), QSize(160, 160));
    ASSERT_TRUE(image.loadFromData(QByteArray::fromStdString(web::PlainHttpGet(picture))));
    EXPECT_GE(image.width(), 160);
}

}  // namespace
}  // namespace tovakin::gui
