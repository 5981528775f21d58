#include "core/files/regularfile.h"

#include <QFile>

#include <sys/stat.h>

namespace kolvo {

std::optional<QString> notARegularFile(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt; // missing or unreadable: opening it says why
    if (S_ISREG(st.st_mode))
        return std::nullopt;
    QString what;
    if (S_ISDIR(st.st_mode))
        what = QStringLiteral("a folder");
    else if (S_ISFIFO(st.st_mode))
        what = QStringLiteral("a named pipe");
    else if (S_ISSOCK(st.st_mode))
        what = QStringLiteral("a socket");
    else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        what = QStringLiteral("a device");
    else
        what = QStringLiteral("a special file");
    return QStringLiteral("is %1, not a regular file; only regular files can be opened").arg(what);
}

} // namespace kolvo
