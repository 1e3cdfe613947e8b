#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include "desktop/standin_process.h"

namespace tovakin::testing {
namespace {

struct CliResult {
    int status = -1;
    QString out;
    QString err;
};

CliResult runCli(const QStringList& args, bool withDisplay = true) {
    QProcess cli;
    if (!withDisplay) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        cli.setProcessEnvironment(environment);
    }
    cli.start(QStringLiteral(TOVAKIN_CLI), args);
    cli.waitForFinished(30000);
    return {cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1,
            QString::fromUtf8(cli.readAllStandardOutput()), QString::fromUtf8(cli.readAllStandardError())};
}

TEST(WindowsCommandDesktopTest, ListsTheVisibleWindowsAndWithChatOnlyTheGroupChats) {
    platform::X11Desktop desktop;
    ASSERT_TRUE(desktop.open()) << desktop.openError();
    StandInProcess standIn({QString::fromUtf8("淘宝特价一群"), QStringLiteral("QQ2012")},
                           QStringLiteral("300x200"));
    auto handles = waitForWindows(desktop, {"淘宝特价一群", "QQ2012"});
    ASSERT_EQ(handles.size(), 2u);
    const QString group =
        QString::number(handles["淘宝特价一群"]) + QString::fromUtf8("\tTXGuiFoundation\t淘宝特价一群\n");
    const QString main = QString::number(handles["QQ2012"]) + QStringLiteral("\tTXGuiFoundation\tQQ2012\n");

    const CliResult all = runCli({QStringLiteral("windows")});
    EXPECT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_TRUE(all.out.contains(group)) << all.out.toStdString();
    EXPECT_TRUE(all.out.contains(main)) << all.out.toStdString();
    for (const QString& line : all.out.split(u'\n', Qt::SkipEmptyParts)) {
        EXPECT_EQ(line.count(u'\t'), 2) << line.toStdString();
    }

    const CliResult chat = runCli({QStringLiteral("windows"), QStringLiteral("--chat")});
    EXPECT_EQ(chat.status, 0);
    EXPECT_EQ(chat.out, group);
}

TEST(WindowsCommandDesktopTest, WithoutADisplayItSaysSoOnOneLine) {
    const CliResult result = runCli({QStringLiteral("windows")}, false);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_EQ(result.err.count(u'\n'), 1) << result.err.toStdString();
    EXPECT_TRUE(result.err.startsWith(QStringLiteral("tovakin-cli: "))) << result.err.toStdString();
    // The other commands need no display.
    EXPECT_EQ(
        runCli({QStringLiteral("date-text"), QStringLiteral("0"), QStringLiteral("2013-10-08 09:05:07")},
               false)
            .out,
        QString::fromUtf8("2013年10月8日\n"));
}

}  // namespace
}  // namespace tovakin::testing
