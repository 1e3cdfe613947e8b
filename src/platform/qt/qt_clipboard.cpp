#include "platform/qt/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>
#include <QThread>

#include "platform/text_codec.h"

namespace tovakin::platform {

namespace {
template <typename Function>
void onGuiThread(Function&& function) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        function();
    } else {
        QMetaObject::invokeMethod(app, std::forward<Function>(function), Qt::BlockingQueuedConnection);
    }
}
}  // namespace

bool QtClipboard::setText(std::string_view gbkText) {
    const QString text = QString::fromStdString(gbkToUtf8(gbkText));
    bool done = false;
    onGuiThread([&] {
        if (QClipboard* clipboard = QGuiApplication::clipboard()) {
            clipboard->setText(text);
            done = true;
        }
    });
    return done;
}

std::string QtClipboard::text() const {
    std::string utf8;
    onGuiThread([&] {
        if (QClipboard* clipboard = QGuiApplication::clipboard()) {
            utf8 = clipboard->text().toStdString();
        }
    });
    return utf8ToGbk(utf8);
}

}  // namespace tovakin::platform
