#include "clirun.h"

#include <QFile>
#include <QProcess>

namespace kolvo::test {

CliRun cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(KOLVO_BINARY_DIR "/src/cli/kolvo-cli"), args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished(5000);
        return {-1, {}, QStringLiteral("did not finish")};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace kolvo::test
