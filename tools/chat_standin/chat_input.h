#pragma once

#include <QImage>
#include <QTextEdit>
#include <vector>

namespace tovakin::standin {

// One piece of a composed message: a run of text or a picture.
struct MessagePart {
    QString text;
    QImage picture;  // null for a text part
};

// The input box of a group chat window: takes pasted text and pictures, and
// copies its selection with the pictures' own pixels, so that a paste into
// another window (of this process or another) carries both.
class ChatInput final : public QTextEdit {
public:
    explicit ChatInput(QWidget* parent = nullptr);

    // The whole input, text runs and pictures in order.
    std::vector<MessagePart> parts() const;
    void insertPicture(const QImage& picture);

    // The private clipboard format: the parts, pictures as PNG.
    static const QString kPartsMimeType;

protected:
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    std::vector<MessagePart> partsOf(const QTextCursor& selection) const;
    void removeSelection();
    void insertPlain(const QString& text);
    int m_pictureCount = 0;
};

}  // namespace tovakin::standin
