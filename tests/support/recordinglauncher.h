#pragma once

#include "ui/platform/launcher.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kolvo {

// For tests: records every request and answers from `succeed` / `failure`.
// Nothing is started.
class RecordingLauncher : public Launcher {
  public:
    struct Call {
        QString program;
        QStringList args;
        QString workingDir;
    };
    QList<Call> calls;
    bool succeed = true;
    QString failure = QStringLiteral("The program could not be started.");

    bool start(const QString& program, const QStringList& args, const QString& workingDir,
               QString* error = nullptr) override;
};

} // namespace kolvo
