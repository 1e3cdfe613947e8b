#include "gui/gui_main.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTabBar>
#include <QTimer>
#include <chrono>
#include <iostream>

#include "core/app/application.h"
#include "core/app/control_names.h"
#include "core/app/run_directory.h"
#include "core/collect/collection_run.h"
#include "core/collect/enrichment.h"
#include "core/web/cookie_store.h"
#include "gui/main_window.h"
#include "gui/qt_dialogs.h"
#include "platform/atomic_file.h"
#include "platform/qt/qt_clipboard.h"
#include "platform/x11/x11_desktop.h"

namespace tovakin::gui {

int runGui(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tovakin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tovakin: collect, complete and broadcast products"));
    parser.addHelpOption();
    const QCommandLineOption runDirOption(QStringLiteral("run-dir"),
                                          QStringLiteral("Directory of the program's files."),
                                          QStringLiteral("DIR"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the screen once the table is loaded, then quit."),
        QStringLiteral("FILE"));
    const QCommandLineOption configOption(
        QStringLiteral("config"),
        QStringLiteral("Configuration file (default: tovakin.ini in the run directory)."),
        QStringLiteral("FILE"));
    parser.addOption(configOption);
    const QCommandLineOption pageOption(QStringLiteral("page"),
                                        QStringLiteral("Open the window on this tab page."),
                                        QStringLiteral("CAPTION"));
    const QCommandLineOption clickOption(
        QStringLiteral("click"),
        QStringLiteral(
            "Click this control once the table is loaded (e.g. 按钮_启动获取数据); with --screenshot "
            "the picture is taken once the run it starts has completed the table."),
        QStringLiteral("NAME"));
    parser.addOption(clickOption);
    parser.addOption(runDirOption);
    parser.addOption(screenshotOption);
    parser.addOption(pageOption);
    parser.process(qtApp);

    std::optional<std::filesystem::path> requested;
    if (parser.isSet(runDirOption)) {
        requested = parser.value(runDirOption).toStdString();
    }
    const app::RunDirectory runDirectory = app::resolveRunDirectory(requested);
    if (!runDirectory.error.empty()) {
        std::cerr << "tovakin: " << runDirectory.error << "\n";
        return 1;
    }

    std::optional<std::filesystem::path> configFile;
    if (parser.isSet(configOption)) {
        configFile = parser.value(configOption).toStdString();
    }
    app::LoadedConfiguration loaded = app::configurationFor(runDirectory.path, configFile);
    if (!loaded.error.empty()) {
        std::cerr << "tovakin: " << loaded.error << "\n";
        return 1;
    }
    if (!loaded.configuration.cookieFile.empty()) {
        // The login session of a headless deployment (or of the simulated world).
        if (const auto cookies = platform::readWholeFile(loaded.configuration.cookieFile)) {
            web::cookieStore().importNetscape(*cookies);
        }
    }

    platform::SystemClock clock;
    platform::QtClipboard clipboard;
    platform::X11Desktop desktop;
    QtDialogs dialogs;
    app::Application application({runDirectory.path, std::move(loaded.configuration)},
                                 {clock, clipboard, desktop, dialogs});
    MainWindow window(application);
    dialogs.setOwner(&window);
    if (parser.isSet(pageOption)) {
        for (int i = 0; i < window.tabBar()->count(); ++i) {
            if (window.tabBar()->tabText(i) == parser.value(pageOption)) {
                window.tabBar()->setCurrentIndex(i);
            }
        }
    }
    window.show();
    application.start();

    const std::string clickName = parser.value(clickOption).toStdString();
    if (!clickName.empty()) {
        QTimer::singleShot(0, &window, [&application, clickName] {
            application.waitUntilLoaded();
            application.click(clickName);
        });
    }
    // With a click that starts the collection: settled once its run has ended
    // (the chat-window button is enabled) and the enrichment loops are through.
    const auto settled = [&application, collecting = clickName == collect::kCollectButton] {
        return !collecting || (application.controls().enabled(app::names::findChatWindowsButton) &&
                               !application.enrichment().running());
    };
    if (parser.isSet(screenshotOption)) {
        const QString file = parser.value(screenshotOption);
        auto* poll = new QTimer(&window);
        const auto started = std::chrono::steady_clock::now();
        QObject::connect(poll, &QTimer::timeout, &window, [&, poll, file, started] {
            application.waitUntilLoaded();
            if (!settled() && std::chrono::steady_clock::now() - started < std::chrono::minutes(2)) {
                return;
            }
            poll->stop();
            // Let the window show what the loader put in the table.
            QTimer::singleShot(1500, &window, [&, file] {
                window.applyPendingChanges();
                QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
                const bool saved = screen && screen->grabWindow(0).save(file);
                std::cerr << (saved ? "screenshot saved: " : "could not save screenshot: ")
                          << file.toStdString() << "\n";
                window.close();
            });
        });
        poll->start(200);
    }
    const int status = QApplication::exec();
    application.close();
    return status;
}

}  // namespace tovakin::gui
