#include "gui/qt_dialogs.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>

#include "gui/qt_text.h"

namespace tovakin::gui {

void QtDialogs::showMessage(const std::string& title, const std::string& text) {
    QObject* context = m_owner ? static_cast<QObject*>(m_owner.data()) : QCoreApplication::instance();
    if (!context) {
        return;
    }
    QMetaObject::invokeMethod(
        context,
        [owner = m_owner, title = fromGbk(title), text = fromGbk(text)] {
            auto* box = new QMessageBox(QMessageBox::Information, title, text, QMessageBox::Ok, owner.data());
            box->setObjectName(QStringLiteral("informationBox"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
            box->open();
        },
        Qt::QueuedConnection);
}

}  // namespace tovakin::gui
