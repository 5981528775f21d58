#include "core/app/versioncheck.h"

#include "core/song/numbertext.h"

#include <QList>

namespace kolvo {

QString versionText(const VersionNumber& v) {
    return QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision);
}

std::optional<VersionFile> readVersionFile(const QByteArray& content) {
    QList<QByteArray> lines = content.split('\n');
    // A final line end closes the last line; it does not start another one.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() < 3)
        return std::nullopt;
    auto text = [&](int i) {
        QByteArray line = lines.at(i);
        if (line.endsWith('\r'))
            line.chop(1);
        return QString::fromUtf8(line).trimmed();
    };
    VersionFile f;
    f.major = text(0);
    f.minor = text(1);
    f.revision = text(2);
    f.majorValue = numericValue(f.major);
    f.minorValue = numericValue(f.minor);
    f.revisionValue = numericValue(f.revision);
    return f;
}

UpdateDecision compareWithRunning(const VersionFile& file, const VersionNumber& running) {
    UpdateDecision d;
    if (file.majorValue != running.major)
        d.newer = file.majorValue > running.major;
    else if (file.minorValue != running.minor)
        d.newer = file.minorValue > running.minor;
    else
        d.newer = file.revisionValue > running.revision;
    if (d.newer) {
        d.majorGreater = file.majorValue > running.major;
        d.minorGreater = file.minorValue > running.minor;
        d.revisionGreater = file.revisionValue > running.revision;
    }
    return d;
}

QString updateOfferText(const VersionFile& file) {
    return QStringLiteral("A new version, ") + file.major + u'.' + file.minor + u'.' +
           file.revision +
           QStringLiteral(" is available. Do you want to launch your default web browser and go "
                          "to the Kolvo web page?");
}

namespace {
QUrl addressWithPath(const QString& updateAddress, const QString& path) {
    QString base = updateAddress.trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    if (base.isEmpty())
        return {};
    QUrl url(base + path, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QStringLiteral("http") && scheme != QStringLiteral("https")))
        return {};
    return url;
}
} // namespace

QUrl versionFileUrl(const QString& updateAddress, int randomNumber) {
    return addressWithPath(updateAddress,
                           QStringLiteral("/kolvo/autoupdate.txt?random=%1").arg(randomNumber));
}

QUrl webPageUrl(const QString& updateAddress) {
    return addressWithPath(updateAddress, QStringLiteral("/kolvo/"));
}

} // namespace kolvo
