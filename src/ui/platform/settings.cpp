#include "ui/platform/settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace kolvo {

namespace {
bool g_debugLog = false;

QString settingsKey(const QString& section, const QString& key) {
    return section.toLower() + u'/' + key.toLower();
}

QSettings store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kolvo"),
                     QStringLiteral("Kolvo"));
}
} // namespace

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue) {
    QSettings s = store();
    // The program writes lower-case names; a hand-edited file may spell them
    // otherwise ("[Settings]", "AutoSaveSeconds").
    const QString wanted = settingsKey(section, key);
    QVariant v;
    if (s.contains(wanted)) {
        v = s.value(wanted);
    } else {
        for (const QString& k : s.allKeys())
            if (k.toLower() == wanted) {
                v = s.value(k);
                break;
            }
    }
    if (!v.isValid())
        v = defaultValue;
    // A hand-edited value with a comma reads as a list; it is still one text.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(u',');
    return v.toString();
}

void WriteSetting(const QString& section, const QString& key, const QString& text) {
    QSettings s = store();
    s.setValue(settingsKey(section, key), text);
    s.sync();
}

QString settingsFilePath() {
    return store().fileName();
}

QString dataFilePath(const QString& name) {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.local/share/Kolvo");
    QDir().mkpath(dir);
    return dir + u'/' + name;
}

void setDebugLogFromArguments(const QStringList& arguments) {
    g_debugLog = arguments.mid(1).join(u' ').contains(QStringLiteral("/debug"));
}

bool debugLogEnabled() {
    return g_debugLog;
}

void DebugLog(const QString& message) {
    if (!g_debugLog)
        return;
    QFile f(dataFilePath(QStringLiteral("kolvodebug.txt")));
    if (!f.open(QIODevice::Append))
        return; // a diagnostic only
    f.write(message.toUtf8());
    f.write("\r\n");
}

} // namespace kolvo
