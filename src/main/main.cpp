// kolvo: the desktop program. Builds the real services around the one song
// and starts with the splash, which opens the song summary window; a .kolvo
// file named on the command line is opened once that window is up (so a file
// manager can open songs with the program).
#include "ui/app/frmsplash.h"
#include "core/song/songmodel.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/filedialogs.h"
#include "ui/platform/launcher.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"
#include "ui/platform/settings.h"
#include "ui/summary/mainmenu.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>

#include <memory>

namespace {

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
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kolvo.svg")));

    const QStringList args = QApplication::arguments();
    kolvo::setDebugLogFromArguments(args);

    kolvo::SongModel model;
    kolvo::QtMessageBoxes boxes;
    kolvo::QtFileDialogs dialogs;
    kolvo::ProcessLauncher launcher;
    kolvo::MpvPlayerLink player;
    kolvo::AppContext ctx{model, boxes, dialogs, launcher, player};
    ctx.arguments = args;

    // The splash settles the folders, the auto-display flags and the update
    // question, then hands over to the summary window.
    std::unique_ptr<kolvo::MainMenu> window;
    const QString file = fileArgument(args);
    auto openMainMenu = [&] {
        window = std::make_unique<kolvo::MainMenu>(ctx);
        // Closing the summary window ends the program, whatever else is open.
        QObject::connect(window.get(), &kolvo::MainMenu::closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        window->show();
        if (!file.isEmpty())
            window->openFile(QFileInfo(file).absoluteFilePath());
    };
    (new kolvo::frmSplash(ctx, openMainMenu))->show();
    return QApplication::exec();
}
