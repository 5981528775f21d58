#include "core/files/digest.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace kolvo {

QString DigestFile(const QString& path) {
    const QString notFound = QStringLiteral("Not found.");
    if (path.isEmpty())
        return notFound;
    const QFileInfo info(path);
    // Only regular files: opening a FIFO or a device could wait forever.
    if (!info.isFile())
        return notFound;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return notFound;
    QCryptographicHash hash(QCryptographicHash::Md5);
    constexpr qint64 kChunk = 1 << 16;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            return notFound;
        if (chunk.isEmpty())
            break;
        hash.addData(chunk);
    }
    if (file.error() != QFileDevice::NoError)
        return notFound;
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace kolvo
