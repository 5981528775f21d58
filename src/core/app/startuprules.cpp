#include "core/app/startuprules.h"

namespace kolvo {

bool simulatorPathNeedsAsking(const QString& path) {
    return playerPathNeedsAsking(path) || path.toLower().contains(QStringLiteral("dwi support"));
}

bool playerPathNeedsAsking(const QString& path) {
    return path == kUnsetFolder || path.isEmpty();
}

QString folderForStorage(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    return p;
}

} // namespace kolvo
