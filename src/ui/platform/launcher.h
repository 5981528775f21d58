#pragma once

#include <QString>
#include <QStringList>

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
