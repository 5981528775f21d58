#include "recordinglauncher.h"

namespace kolvo {

bool RecordingLauncher::start(const QString& program, const QStringList& args,
                              const QString& workingDir, QString* error) {
    calls.append({program, args, workingDir});
    if (!succeed && error)
        *error = failure;
    return succeed;
}

} // namespace kolvo
