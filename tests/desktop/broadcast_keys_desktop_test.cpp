#include <gtest/gtest.h>

#include <QClipboard>
#include <QCryptographicHash>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <array>

#include "core/text/gbk_literal.h"
#include "desktop/standin_process.h"
#include "platform/qt/qt_clipboard.h"
#include "support/temp_dir.h"
#include "tools/chat_standin/pixel_hash.h"

// Xlib last: its macros clash with Qt and gtest names.
#include <X11/Xlib.h>

namespace tovakin::testing {
namespace {

using namespace text::literals;
using platform::WindowHandle;
namespace keys = platform::keys;

// A picture with content in every row, so that a lost or scaled row changes the hash.
QImage thumbnail() {
    QImage picture(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            picture.setPixel(x, y, qRgb(x * 3 % 256, y * 2 % 256, (x ^ y) % 256));
        }
    }
    return picture;
}

std::vector<QJsonObject> transcript(const QString& path) {
    std::vector<QJsonObject> messages;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.isEmpty()) {
                messages.push_back(QJsonDocument::fromJson(line).object());
            }
        }
    }
    return messages;
}

bool noKeyPressed() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return false;
    }
    std::array<char, 32> state{};
    XQueryKeymap(display, state.data());
    XCloseDisplay(display);
    for (const char byte : state) {
        if (byte != 0) {
            return false;
        }
    }
    return true;
}

// The broadcast's way of driving the chat windows: activation, pastes through
// the clipboard, chords, and the rich copy out of the first window.
TEST(BroadcastKeysDesktopTest, ComposedMessageReachesEveryGroupWithItsPicture) {
    platform::X11Desktop desktop;
    ASSERT_TRUE(desktop.open()) << desktop.openError();
    TempDir dir;
    const std::vector<std::string> groups = {"群甲", "群乙", "群丙"};
    std::vector<std::unique_ptr<StandInProcess>> processes;
    std::vector<QString> transcripts;
    for (const std::string& group : groups) {
        transcripts.push_back(QString::fromStdString((dir / (group + ".jsonl")).string()));
        processes.push_back(std::make_unique<StandInProcess>(QStringList{QString::fromStdString(group)},
                                                             QStringLiteral("400x300"), transcripts.back()));
    }
    auto handles = waitForWindows(desktop, groups);
    ASSERT_EQ(handles.size(), 3u);

    platform::QtClipboard clipboard;
    const QImage picture = thumbnail();
    const std::string link = "\r\nhttp://s.click.taobao.com/t?e=1\r\n";
    const std::string price = "\r\n【特价:9.90元,以拍下价格为准】夏季T恤"_gbk;
    auto chord = [&](int key, int modifier) {
        QTest::qWait(200);
        EXPECT_TRUE(desktop.pressKeyChord(key, modifier));
    };
    auto paste = [&] {
        chord(keys::kV, keys::kControl);
        QTest::qWait(500);
    };

    for (std::size_t i = 0; i < groups.size(); ++i) {
        ASSERT_TRUE(desktop.activate(handles[groups[i]])) << groups[i];
        QTest::qWait(300);
        if (i == 0) {
            // A paste from an empty clipboard inserts nothing (and must not bring the client down).
            QGuiApplication::clipboard()->clear();
            paste();
            ASSERT_TRUE(clipboard.setText(link));
            paste();
            QGuiApplication::clipboard()->setImage(picture);
            paste();
            ASSERT_TRUE(clipboard.setText(price));
            paste();
            chord(keys::kA, keys::kControl);
            chord(keys::kC, keys::kControl);
        } else {
            chord(keys::kA, keys::kControl);
            QTest::qWait(100);
            EXPECT_TRUE(desktop.pressKey(keys::kDelete));
            paste();
        }
        chord(keys::kS, keys::kAlt);
        chord(keys::kS, keys::kAlt);  // the second send finds the input empty
    }

    const QString expectedText =
        QString::fromUtf8("\nhttp://s.click.taobao.com/t?e=1\n\n【特价:9.90元,以拍下价格为准】夏季T恤");
    for (std::size_t i = 0; i < groups.size(); ++i) {
        ASSERT_TRUE(waitUntil([&] { return !transcript(transcripts[i]).empty(); })) << groups[i];
        QTest::qWait(200);
        const std::vector<QJsonObject> messages = transcript(transcripts[i]);
        ASSERT_EQ(messages.size(), 1u) << groups[i];
        const QJsonObject& message = messages.front();
        EXPECT_EQ(message[QStringLiteral("group")].toString(), QString::fromStdString(groups[i]));
        EXPECT_EQ(message[QStringLiteral("text")].toString(), expectedText) << groups[i];
        const QJsonArray pictures = message[QStringLiteral("pictures")].toArray();
        ASSERT_EQ(pictures.size(), 1) << groups[i];
        EXPECT_EQ(pictures[0][QStringLiteral("width")].toInt(), picture.width());
        EXPECT_EQ(pictures[0][QStringLiteral("height")].toInt(), picture.height());
        EXPECT_EQ(pictures[0][QStringLiteral("hash")].toString(), standin::pixelHash(picture)) << groups[i];
    }
    EXPECT_TRUE(noKeyPressed());
}

TEST(BroadcastKeysDesktopTest, ActivationRestoresAMinimisedWindowAndReportsTheTruth) {
    platform::X11Desktop desktop;
    ASSERT_TRUE(desktop.open()) << desktop.openError();
    StandInProcess standIn({QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("300x200"));
    auto handles = waitForWindows(desktop, {"a", "b"});
    ASSERT_EQ(handles.size(), 2u);

    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XIconifyWindow(display, handles["a"], DefaultScreen(display));
    XFlush(display);
    EXPECT_TRUE(waitUntil([&] { return !windowsByTitle(desktop).contains("a"); }));  // hidden: not listed

    EXPECT_TRUE(desktop.activate(handles["a"]));
    EXPECT_TRUE(windowsByTitle(desktop).contains("a"));
    EXPECT_TRUE(desktop.activate(handles["b"]));
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    EXPECT_EQ(focus, handles["b"]);
    XCloseDisplay(display);
}

TEST(BroadcastKeysDesktopTest, MissingWindowsAndUnknownKeysFailWithoutEffect) {
    platform::X11Desktop desktop;
    ASSERT_TRUE(desktop.open()) << desktop.openError();
    const WindowHandle gone = 0x7ffffff0;  // no such window
    EXPECT_FALSE(desktop.activate(0));
    EXPECT_FALSE(desktop.activate(gone));
    EXPECT_FALSE(desktop.geometry(gone));
    EXPECT_FALSE(desktop.moveKeepingSize(gone, 50, 30));
    // An unknown key presses nothing at all, not even the modifier given with it.
    EXPECT_FALSE(desktop.pressKeyChord(0xE8, keys::kControl, keys::kAlt));
    EXPECT_FALSE(desktop.pressKey(0xE8));
    EXPECT_TRUE(desktop.pressKeyChord(keys::kS, keys::kAlt, keys::kShift, keys::kControl));
    EXPECT_TRUE(noKeyPressed());
}

}  // namespace
}  // namespace tovakin::testing
