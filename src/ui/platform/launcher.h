#pragma once

#include <QString>
#include <QStringList>

class QProcess;

namespace kolvo {

// Starts another program detached from this one, the way a desktop shell
// would: the program keeps running after we exit and we never wait for it.
class Launcher {
  public:
    virtual ~Launcher() = default;
    // `program` is a path or a name looked up on PATH; `workingDir` empty
    // means "inherit ours". On failure returns false and, when `error` is
    // given, a sentence the caller may show the user.
    virtual bool start(const QString& program, const QStringList& args, const QString& workingDir,
                       QString* error = nullptr) = 0;

    // Starts `program` as a child of this program that ends when this
    // program ends, however it ends (a crash or a kill included). The
    // process is returned still starting (wait for it to leave
    // QProcess::Starting) and is the caller's to delete; null with `error`
    // set when it cannot be run. Only where startsChildren() holds.
    virtual QProcess* startChild(const QString& program, const QStringList& args,
                                 const QString& workingDir, QString* error = nullptr);
    // Whether startChild starts anything (a launcher for tests may not).
    virtual bool startsChildren() const { return false; }

    // Process id of the program the last successful start ran; 0 when not
    // known (nothing started, or a launcher that starts nothing).
    qint64 lastProcessId = 0;
};

// The real thing: QProcess::startDetached. A Windows program (".exe" that is
// not a native executable) is run through `wine` when wine is on PATH.
class ProcessLauncher : public Launcher {
  public:
    bool start(const QString& program, const QStringList& args, const QString& workingDir,
               QString* error = nullptr) override;
    // A QProcess whose child asks the kernel for SIGKILL when this program
    // ends. Call it from the thread that lives as long as the program (the
    // main thread): the kernel ties the signal to the thread that started
    // the child.
    QProcess* startChild(const QString& program, const QStringList& args, const QString& workingDir,
                         QString* error = nullptr) override;
    bool startsChildren() const override { return true; }

    // The program and arguments that `start` would run for `program`, or an
    // empty program with `error` set when it cannot be run at all. Exposed
    // so the choice (native or wine) can be tested without wine installed.
    struct Plan {
        QString program;
        QStringList args;
    };
    static Plan plan(const QString& program, const QStringList& args, QString* error = nullptr);
    // True for a file that the kernel can run here (ELF or "#!" script with
    // the execute bit); false for a Windows program or anything else.
    static bool isNativeExecutable(const QString& path);
};

} // namespace kolvo
