#include <QApplication>
#include <QCommandLineParser>
#include <QSize>
#include <iostream>
#include <memory>
#include <vector>

#include "chat_window.h"

// A stand-in for the chat client's group chat windows: one window per group
// named on the command line, of the chat client's window class.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The X window class (WM_CLASS) is taken from the application name.
    QApplication::setApplicationName(QStringLiteral("TXGuiFoundation"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stand-in group chat windows"));
    parser.addHelpOption();
    const QCommandLineOption transcriptOption(
        QStringLiteral("transcript"), QStringLiteral("Append every sent message to FILE (JSON lines)."),
        QStringLiteral("FILE"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Window size WIDTHxHEIGHT."),
                                        QStringLiteral("SIZE"), QStringLiteral("420x320"));
    parser.addOption(transcriptOption);
    parser.addOption(sizeOption);
    parser.addPositionalArgument(QStringLiteral("group"), QStringLiteral("Group names, one window each."),
                                 QStringLiteral("GROUP..."));
    parser.process(app);

    const QStringList groups = parser.positionalArguments();
    const QStringList size = parser.value(sizeOption).split(u'x');
    if (groups.isEmpty() || size.size() != 2 || size[0].toInt() <= 0 || size[1].toInt() <= 0) {
        std::cerr << "usage: tovakin-chat-standin [--transcript FILE] [--size WxH] GROUP...\n";
        return 2;
    }
    std::vector<std::unique_ptr<tovakin::standin::ChatWindow>> windows;
    for (const QString& group : groups) {
        auto window = std::make_unique<tovakin::standin::ChatWindow>(group, parser.value(transcriptOption));
        window->resize(size[0].toInt(), size[1].toInt());
        window->show();
        windows.push_back(std::move(window));
    }
    return QApplication::exec();
}
