#include "chat_window.h"
#include "pixel_hash.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QVBoxLayout>

#include "chat_input.h"

namespace tovakin::standin {

namespace {}  // namespace

ChatWindow::ChatWindow(const QString& group, const QString& transcriptPath, QWidget* parent)
    : QWidget(parent), m_group(group), m_transcriptPath(transcriptPath) {
    setWindowTitle(group);
    auto* layout = new QVBoxLayout(this);
    m_history = new QPlainTextEdit(this);
    m_history->setReadOnly(true);
    m_history->setFocusPolicy(Qt::NoFocus);
    m_input = new ChatInput(this);
    m_input->setObjectName(QStringLiteral("input"));
    layout->addWidget(m_history, 2);
    layout->addWidget(m_input, 1);
    auto* sendShortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_S), this);
    sendShortcut->setContext(Qt::WindowShortcut);
    QObject::connect(sendShortcut, &QShortcut::activated, this, [this] { send(); });
    // The input has the keyboard focus whenever the window is brought to the front.
    m_input->setFocus();
}

bool ChatWindow::send() {
    QString text;
    QJsonArray pictures;
    for (const MessagePart& part : m_input->parts()) {
        if (part.picture.isNull()) {
            text += part.text;
        } else {
            pictures.append(QJsonObject{{QStringLiteral("width"), part.picture.width()},
                                        {QStringLiteral("height"), part.picture.height()},
                                        {QStringLiteral("hash"), pixelHash(part.picture)}});
        }
    }
    if (text.trimmed().isEmpty() && pictures.isEmpty()) {
        return true;  // like the chat client: an empty input is not sent
    }
    const QJsonObject message{
        {QStringLiteral("group"), m_group},
        {QStringLiteral("time"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
        {QStringLiteral("text"), text},
        {QStringLiteral("pictures"), pictures}};
    bool written = true;
    if (!m_transcriptPath.isEmpty()) {
        QFile file(m_transcriptPath);
        // One write per line in append mode, so windows of several processes may share a file.
        written = file.open(QIODevice::WriteOnly | QIODevice::Append) &&
                  file.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n') > 0;
    }
    m_history->appendPlainText(
        text + (pictures.isEmpty() ? QString() : QStringLiteral(" [%1 picture(s)]").arg(pictures.size())));
    m_input->clear();
    m_input->setCurrentCharFormat(QTextCharFormat());
    return written;
}

}  // namespace tovakin::standin
