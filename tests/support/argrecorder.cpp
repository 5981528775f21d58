// kolvo_argrecorder: a stand-in for any program the editor starts (the
// simulator "DWI2.exe", a browser or URL handler, the player). It appends
// one line of JSON to the file named by the environment variable
// KOLVO_ARGRECORDER_OUT:
//
//     {"args":["arg1","arg2",...],"cwd":"/its/working/folder"}
//
// and exits with 0 (or with the number in KOLVO_ARGRECORDER_EXIT, if set).
// Without KOLVO_ARGRECORDER_OUT it does nothing.
//
// Use from a test (helpers in testapp.h):
//   - as the simulator: installArgRecorder(sim + "/DWI2.exe") copies it there
//     (a native program, so the launcher runs it directly, not through wine);
//   - as a URL handler or browser: point the window's handler program at
//     argRecorderPath(), or install it under the handler's name in a folder
//     put first on PATH;
//   - setArgRecorderOutput(file) before the launch, then
//     waitForArgRecord(file) to read what it was given.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdlib>

int main(int argc, char** argv) {
    const QByteArray out = qgetenv("KOLVO_ARGRECORDER_OUT");
    if (!out.isEmpty()) {
        QJsonArray args;
        for (int i = 1; i < argc; ++i)
            args.append(QString::fromLocal8Bit(argv[i]));
        const QJsonObject record{{QStringLiteral("args"), args},
                                 {QStringLiteral("cwd"), QDir::currentPath()}};
        QFile f(QString::fromLocal8Bit(out));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
            return 3;
        // One write, so a reader never sees half a line.
        f.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n');
    }
    const QByteArray code = qgetenv("KOLVO_ARGRECORDER_EXIT");
    return code.isEmpty() ? 0 : std::atoi(code.constData());
}
