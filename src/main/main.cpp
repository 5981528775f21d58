// kolvo: the desktop program. Builds the real services around the one song
// and opens the song summary window; a .kolvo file named on the command line
// is opened at once (so a file manager can open songs with the program).
#include "model/numbertext.h"
#include "model/songmodel.h"
#include "platform/appcontext.h"
#include "platform/filedialogs.h"
#include "platform/launcher.h"
#include "platform/messageboxes.h"
#include "platform/playerlink.h"
#include "platform/settings.h"
#include "summary/mainmenu.h"

#include <QApplication>
#include <QFileInfo>
#include <QStringList>

namespace {

// An auto-display flag: 1 or 0; never set yet ("No") means on, stored so.
int autoDisplayFlag(const QString& key) {
    const QString value = kolvo::ReadSetting(QStringLiteral("Settings"), key, QStringLiteral("No"));
    if (value == QStringLiteral("No")) {
        kolvo::WriteSetting(QStringLiteral("Settings"), key, QStringLiteral("1"));
        return 1;
    }
    return kolvo::numericValue(value) == 1 ? 1 : 0;
}

// The first argument that names a file to open (not the "/debug" switch).
QString fileArgument(const QStringList& args) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QStringLiteral("/debug") || a.startsWith(u'-'))
            continue;
        return a;
    }
    return QString();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolvo"));
    QApplication::setDesktopFileName(QStringLiteral("kolvo"));

    const QStringList args = QApplication::arguments();
    kolvo::setDebugLogFromArguments(args);

    kolvo::SongModel model;
    kolvo::QtMessageBoxes boxes;
    kolvo::QtFileDialogs dialogs;
    kolvo::ProcessLauncher launcher;
    kolvo::MpvPlayerLink player;
    kolvo::AppContext ctx{model, boxes, dialogs, launcher, player};
    ctx.arguments = args;
    ctx.simulatorpath = kolvo::ReadSetting(QStringLiteral("DirInfo"),
                                           QStringLiteral("DDRSimulator"), QStringLiteral("/"));
    ctx.winamppath = kolvo::ReadSetting(QStringLiteral("DirInfo"), QStringLiteral("Winamp"),
                                        QStringLiteral("/"));
    model.autowide = autoDisplayFlag(QStringLiteral("autowide"));
    model.autopower = autoDisplayFlag(QStringLiteral("autopower"));
    model.autotrans = autoDisplayFlag(QStringLiteral("autotrans"));

    kolvo::MainMenu window(ctx);
    // Closing the summary window ends the program, whatever else is open.
    QObject::connect(&window, &kolvo::MainMenu::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    const QString file = fileArgument(args);
    if (!file.isEmpty())
        window.openFile(QFileInfo(file).absoluteFilePath());
    return QApplication::exec();
}
