#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace kolvo::test {

// Points the settings, data, cache and runtime folders at `home`, so a test
// program never touches the real user's files (the runtime folder private,
// as the player link requires).
inline void usePrivateHome(const QString& home) {
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + "/data").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home + "/cache").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (home + "/run").toLocal8Bit());
    QDir().mkpath(home + "/run");
    QFile::setPermissions(home + "/run",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace kolvo::test
