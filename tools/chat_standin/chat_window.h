#pragma once

#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace tovakin::standin {

class ChatInput;

// One group chat: a window titled with the group's name, the messages sent so
// far above and the input box below. Alt+S sends the input: it is appended to
// the transcript file as one JSON line and the input is cleared.
class ChatWindow final : public QWidget {
public:
    ChatWindow(const QString& group, const QString& transcriptPath, QWidget* parent = nullptr);

    ChatInput* input() const { return m_input; }
    // Sends the input; an empty input sends nothing. False when the transcript could not be written.
    bool send();

private:
    QString m_group;
    QString m_transcriptPath;
    QPlainTextEdit* m_history = nullptr;
    ChatInput* m_input = nullptr;
};

}  // namespace tovakin::standin
