#include "chat_input.h"

#include <QBuffer>
#include <QDataStream>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

namespace tovakin::standin {

namespace {

QByteArray pngOf(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

// The selection's text in the document's terms: paragraph separators become line feeds.
QString plainText(QString text) {
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    text.remove(QChar::ObjectReplacementCharacter);
    return text;
}

}  // namespace

void ChatInput::removeSelection() {
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    setTextCursor(cursor);
}

void ChatInput::insertPlain(const QString& text) {
    QTextCursor cursor = textCursor();
    cursor.insertText(text, QTextCharFormat());
    setTextCursor(cursor);
}

const QString ChatInput::kPartsMimeType = QStringLiteral("application/x-tovakin-chat-parts");

ChatInput::ChatInput(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(true);
}

void ChatInput::insertPicture(const QImage& picture) {
    if (picture.isNull()) {
        return;
    }
    // A process-unique resource name; what travels between windows is the pixels, never this name.
    const QUrl name(QStringLiteral("standin-picture:%1").arg(++m_pictureCount));
    document()->addResource(QTextDocument::ImageResource, name, picture);
    QTextImageFormat format;
    format.setName(name.toString());
    format.setWidth(picture.width());
    format.setHeight(picture.height());
    QTextCursor cursor = textCursor();
    cursor.insertImage(format);
    // Text typed or pasted after the picture must not take on the picture's format.
    cursor.setCharFormat(QTextCharFormat());
    setTextCursor(cursor);
    setCurrentCharFormat(QTextCharFormat());
}

std::vector<MessagePart> ChatInput::partsOf(const QTextCursor& selection) const {
    std::vector<MessagePart> parts;
    const int start = selection.selectionStart();
    const int end = selection.selectionEnd();
    auto addText = [&parts](const QString& text) {
        if (text.isEmpty()) {
            return;
        }
        if (!parts.empty() && parts.back().picture.isNull()) {
            parts.back().text += text;
        } else {
            parts.push_back({text, {}});
        }
    };
    for (QTextBlock block = document()->findBlock(start); block.isValid() && block.position() <= end;
         block = block.next()) {
        if (block.position() > start) {
            addText(QStringLiteral("\n"));
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(start, fragment.position());
            const int to = std::min(end, fragment.position() + fragment.length());
            if (from >= to) {
                continue;
            }
            if (fragment.charFormat().isImageFormat()) {
                const QTextImageFormat format = fragment.charFormat().toImageFormat();
                const QImage picture = qvariant_cast<QImage>(
                    document()->resource(QTextDocument::ImageResource, QUrl(format.name())));
                for (int i = from; i < to; ++i) {
                    parts.push_back({{}, picture});
                }
            } else {
                addText(plainText(fragment.text().mid(from - fragment.position(), to - from)));
            }
        }
    }
    return parts;
}

std::vector<MessagePart> ChatInput::parts() const {
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    return partsOf(all);
}

QMimeData* ChatInput::createMimeDataFromSelection() const {
    const std::vector<MessagePart> parts = partsOf(textCursor());
    auto* mime = new QMimeData;
    QByteArray encoded;
    QDataStream stream(&encoded, QIODevice::WriteOnly);
    stream << static_cast<qint32>(parts.size());
    QString text;
    QString html = QStringLiteral("<html><body>");
    for (const MessagePart& part : parts) {
        const bool isPicture = !part.picture.isNull();
        stream << isPicture;
        if (isPicture) {
            const QByteArray png = pngOf(part.picture);
            stream << png;
            html += QStringLiteral("<img src=\"data:image/png;base64,%1\" width=\"%2\" height=\"%3\">")
                        .arg(QString::fromLatin1(png.toBase64()))
                        .arg(part.picture.width())
                        .arg(part.picture.height());
        } else {
            stream << part.text;
            text += part.text;
            html += part.text.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
        }
    }
    mime->setData(kPartsMimeType, encoded);
    mime->setHtml(html + QStringLiteral("</body></html>"));
    mime->setText(text);
    if (parts.size() == 1 && !parts.front().picture.isNull()) {
        mime->setImageData(parts.front().picture);
    }
    return mime;
}

bool ChatInput::canInsertFromMimeData(const QMimeData* source) const {
    return source && (source->hasFormat(kPartsMimeType) || source->hasImage() || source->hasText());
}

void ChatInput::insertFromMimeData(const QMimeData* source) {
    // An empty clipboard gives no data (or none we know): paste nothing.
    if (!source) {
        return;
    }
    if (source->hasFormat(kPartsMimeType)) {
        QDataStream stream(source->data(kPartsMimeType));
        qint32 count = 0;
        stream >> count;
        removeSelection();
        for (qint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
            bool isPicture = false;
            stream >> isPicture;
            if (isPicture) {
                QByteArray png;
                stream >> png;
                insertPicture(QImage::fromData(png, "PNG"));
            } else {
                QString text;
                stream >> text;
                insertPlain(text);
            }
        }
        ensureCursorVisible();
        return;
    }
    if (source->hasImage()) {
        removeSelection();
        insertPicture(qvariant_cast<QImage>(source->imageData()));
        ensureCursorVisible();
        return;
    }
    if (source->hasText()) {
        QString text = source->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        insertPlain(text);
        ensureCursorVisible();
    }
}

}  // namespace tovakin::standin
