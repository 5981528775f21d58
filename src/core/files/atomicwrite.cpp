#include "core/files/atomicwrite.h"

#include <QSaveFile>

namespace kolvo {

std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& data,
                                           const std::function<void()>& beforeCommit) {
    QSaveFile file(path);
    auto failed = [&file]() -> std::optional<QString> {
        QString why = file.errorString();
        file.cancelWriting();
        return QStringLiteral("cannot be written: %1").arg(why);
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed();
    // A short write (disk full, size limit) can look like success to
    // write() and even commit(); the flush and the size on disk tell the truth.
    if (file.write(data) != data.size() || !file.flush() || file.size() != data.size())
        return failed();
    if (beforeCommit)
        beforeCommit();
    if (!file.commit())
        return QStringLiteral("cannot be written: %1").arg(file.errorString());
    return std::nullopt;
}

} // namespace kolvo
