#include "ui/platform/launcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

namespace kolvo {

namespace {
void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QString resolveProgram(const QString& program) {
    if (program.contains(u'/'))
        return QFileInfo(program).absoluteFilePath();
    return QStandardPaths::findExecutable(program);
}
} // namespace

bool ProcessLauncher::isNativeExecutable(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isExecutable())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(4);
    return head.startsWith("\x7f"
                           "ELF") ||
           head.startsWith("#!");
}

ProcessLauncher::Plan ProcessLauncher::plan(const QString& program, const QStringList& args,
                                            QString* error) {
    const QString path = resolveProgram(program);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        setError(error, QStringLiteral("Could not find the program %1.").arg(program));
        return {};
    }
    if (isNativeExecutable(path))
        return {path, args};
    if (path.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive)) {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (wine.isEmpty()) {
            setError(error, QStringLiteral("%1 is a Windows program, and wine, which could run "
                                           "it, was not found.")
                                .arg(path));
            return {};
        }
        return {wine, QStringList{path} + args};
    }
    setError(error, QStringLiteral("%1 is not a program that can be run.").arg(path));
    return {};
}

bool ProcessLauncher::start(const QString& program, const QStringList& args,
                            const QString& workingDir, QString* error) {
    const Plan p = plan(program, args, error);
    if (p.program.isEmpty())
        return false;
    if (!workingDir.isEmpty() && !QFileInfo(workingDir).isDir()) {
        setError(error, QStringLiteral("Could not start %1: the folder %2 does not exist.")
                            .arg(program, workingDir));
        return false;
    }
    QProcess process;
    process.setProgram(p.program);
    process.setArguments(p.args);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.setStandardInputFile(QProcess::nullDevice());
    lastProcessId = 0;
    if (!process.startDetached(&lastProcessId)) {
        setError(error,
                 QStringLiteral("Could not start %1: %2").arg(program, process.errorString()));
        return false;
    }
    return true;
}

QProcess* Launcher::startChild(const QString&, const QStringList&, const QString&, QString* error) {
    setError(error, QStringLiteral("This launcher starts no child programs."));
    return nullptr;
}

QProcess* ProcessLauncher::startChild(const QString& program, const QStringList& args,
                                      const QString& workingDir, QString* error) {
    const Plan p = plan(program, args, error);
    if (p.program.isEmpty())
        return nullptr;
    if (!workingDir.isEmpty() && !QFileInfo(workingDir).isDir()) {
        setError(error, QStringLiteral("Could not start %1: the folder %2 does not exist.")
                            .arg(program, workingDir));
        return nullptr;
    }
    auto* process = new QProcess;
    process->setProgram(p.program);
    process->setArguments(p.args);
    if (!workingDir.isEmpty())
        process->setWorkingDirectory(workingDir);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] {
        // Runs in the child between fork and exec: only async-signal-safe
        // calls. If we are already gone the signal would never come.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
    lastProcessId = 0;
    process->start();
    if (process->state() == QProcess::NotRunning) {
        setError(error,
                 QStringLiteral("Could not start %1: %2").arg(program, process->errorString()));
        delete process;
        return nullptr;
    }
    return process;
}

} // namespace kolvo
