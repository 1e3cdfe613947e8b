#pragma once

#include <QCryptographicHash>
#include <QImage>
#include <QString>

namespace tovakin::standin {

// A hash of a picture's pixels (32-bit ARGB, row by row without padding), so
// that the same picture gives the same hash whatever its file format was.
// The transcript records it; tests compute it for the picture they pasted.
inline QString pixelHash(const QImage& picture) {
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int y = 0; y < argb.height(); ++y) {
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(argb.constScanLine(y)),
                                    static_cast<qsizetype>(argb.width()) * 4));
    }
    return QString::fromLatin1(hash.result().toHex());
}

}  // namespace tovakin::standin
