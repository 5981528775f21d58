// kolvo: the desktop program. Builds the real services around the one song
// and starts with the splash, which opens the song summary window; a song
// named on the command line (a work file, or a step file to import) is
// opened once that window is up, so a file manager can open songs with the
// program. --help and --version print and end without a window.
#include "core/app/startuprules.h"
#include "core/files/atomicwrite.h"
#include "core/files/kolvofile.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "document/autosave.h"
#include "ui/app/splashwindow.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/filedialogs.h"
#include "ui/platform/launcher.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/onscreen.h"
#include "ui/platform/playerlink.h"
#include "ui/platform/settings.h"
#include "ui/summary/recovery.h"
#include "ui/summary/songsummarywindow.h"

#include "core/app/version.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

// Seconds between recovery copies: setting "autosaveseconds" of "Settings"
// (60 when absent or not a number; 0 or less turns the timed copies off).
int autosaveSeconds() {
    const QString text = kolvo::ReadSetting(
        kolvo::kSettingsSection, QStringLiteral("autosaveseconds"), QStringLiteral("60"));
    bool ok = false;
    const int seconds = text.trimmed().toInt(&ok);
    return ok ? seconds : 60;
}

// A test hook: KOLVO_TEST_ANSWERS="Yes,No,..." answers the program's
// message boxes in order (each box is also printed to stderr) instead of
// showing them, so a test can drive the real program.
class AnsweringBoxes : public kolvo::MessageBoxes {
  public:
    explicit AnsweringBoxes(const QString& answers) {
        for (const QString& a : answers.split(u',', Qt::SkipEmptyParts))
            m_answers << a.trimmed().toLower();
    }
    kolvo::MsgAnswer show(QWidget*, const QString& text, const QString& title, kolvo::MsgButtons,
                          kolvo::MsgIcon) override {
        std::fprintf(stderr, "kolvo-box: %s | %s\n", qUtf8Printable(title), qUtf8Printable(text));
        std::fflush(stderr);
        const QString a = m_answers.isEmpty() ? QStringLiteral("ok") : m_answers.takeFirst();
        if (a == QStringLiteral("yes"))
            return kolvo::MsgAnswer::Yes;
        if (a == QStringLiteral("no"))
            return kolvo::MsgAnswer::No;
        if (a == QStringLiteral("cancel"))
            return kolvo::MsgAnswer::Cancel;
        return kolvo::MsgAnswer::Ok;
    }

  private:
    QStringList m_answers;
};

// A test hook: KOLVO_TEST_EDITS="songname=Title;step=1,1,3,5,2,1" makes
// edits through the document, as the windows would: summary fields by their
// key, and arrow cells as style,level,bar,row,panel,value.
void applyTestEdits(kolvo::Document& doc, const QString& edits) {
    for (const QString& edit : edits.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = edit.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = edit.left(eq).trimmed();
        const QString value = edit.mid(eq + 1);
        if (key == QStringLiteral("step")) {
            const QStringList n = value.split(u',');
            if (n.size() == 6 && kolvo::ChartId{n[0].toInt(), n[1].toInt()}.hasSlot())
                doc.setStep(kolvo::SongModel::slotOf(n[0].toInt(), n[1].toInt()), n[2].toInt(),
                            n[3].toInt(), n[4].toInt(), std::uint8_t(n[5].toInt()));
            continue;
        }
        for (int i = 0; i < kolvo::kSummaryTextFields; ++i)
            if (key == QLatin1String(kolvo::summaryFieldKey(kolvo::SummaryField(i)))) {
                doc.closeMerging();
                doc.setField(kolvo::SummaryField(i), value);
            }
    }
}

struct CommandLine {
    enum class Action { Run, Exit };
    Action action = Action::Run;
    int status = 0;
    QString file; // a song to open, or ""
};

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Kolvo DWI Creator: write step charts for dance simulators.\n\n"
                       "SONG is a Kolvo work file (.kolvo) to open, or a step file (.dwi, .sm, "
                       ".ssc) to import. /debug writes kolvodebug.txt in the per-user data "
                       "folder."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("SONG"), QStringLiteral("The song to open."),
                                 QStringLiteral("[SONG]"));
}

// Reads the command line. Help, version and mistakes are printed here,
// before any window (a terminal without a display can ask for them).
CommandLine readCommandLine(int argc, char** argv) {
    QCoreApplication probe(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kolvo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KOLVO_VERSION));
    QCommandLineParser parser;
    describe(parser);
    // Qt's own window options (-platform xcb, -style fusion, ...) are the
    // QApplication's: taken out here; anything else unknown is refused.
    static const QStringList qtValued = {
        QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowtitle"),
        QStringLiteral("qwindowicon"),     QStringLiteral("style"),
        QStringLiteral("stylesheet"),      QStringLiteral("session"),
        QStringLiteral("display"),         QStringLiteral("geometry")};
    static const QStringList qtFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                        QStringLiteral("sync"), QStringLiteral("nograb"),
                                        QStringLiteral("dograb")};
    QStringList args;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 0; i < all.size(); ++i) {
        QString name = all[i];
        while (i > 0 && name.startsWith(u'-'))
            name.remove(0, 1);
        if (i > 0 && all[i].startsWith(u'-') && qtValued.contains(name)) {
            ++i; // and its value
            continue;
        }
        if (i > 0 && all[i].startsWith(u'-') && qtFlags.contains(name))
            continue;
        args << all[i];
    }
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const bool parsed = parser.parse(args);
    CommandLine out;
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return {CommandLine::Action::Exit, 0, {}};
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("kolvo %s\n", KOLVO_VERSION);
        return {CommandLine::Action::Exit, 0, {}};
    }
    QStringList files;
    for (const QString& a : parser.positionalArguments())
        if (a != QStringLiteral("/debug"))
            files << a;
    if (!parsed) {
        std::fprintf(stderr, "kolvo: %s\nTry 'kolvo --help'.\n", qPrintable(parser.errorText()));
        return {CommandLine::Action::Exit, 2, {}};
    }
    if (files.size() > 1) {
        std::fprintf(stderr, "kolvo: give one song at most\nTry 'kolvo --help'.\n");
        return {CommandLine::Action::Exit, 2, {}};
    }
    out.file = files.isEmpty() ? QString() : files.first();
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.action == CommandLine::Action::Exit)
        return commandLine.status;

    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(KOLVO_VERSION));
    QApplication::setApplicationName(QStringLiteral("Kolvo"));
    QApplication::setDesktopFileName(QStringLiteral("kolvo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kolvo.svg")));
    // Every window fully on its screen (a tool window beside the editor
    // moves the editor and its tools as one).
    kolvo::keepWindowsOnScreen();

    const QStringList args = QApplication::arguments();
    kolvo::setDebugLogFromArguments(args);

    kolvo::SongModel model;
    kolvo::QtMessageBoxes realBoxes;
    std::unique_ptr<AnsweringBoxes> answering;
    if (qEnvironmentVariableIsSet("KOLVO_TEST_ANSWERS"))
        answering = std::make_unique<AnsweringBoxes>(qEnvironmentVariable("KOLVO_TEST_ANSWERS"));
    kolvo::MessageBoxes& boxes = answering ? static_cast<kolvo::MessageBoxes&>(*answering)
                                           : static_cast<kolvo::MessageBoxes&>(realBoxes);
    kolvo::QtFileDialogs dialogs;
    kolvo::ProcessLauncher launcher;
    kolvo::MpvPlayerLink player;
    kolvo::AppContext ctx{model, boxes, dialogs, launcher, player};
    ctx.arguments = args;

    // Recovery copies of the unsaved song; this running copy owns one slot.
    kolvo::Autosave autosave(ctx.document, kolvo::dataFilePath(QStringLiteral("recovery")),
                             autosaveSeconds());
    if (!autosave.claimSlot())
        kolvo::DebugLog(QStringLiteral("No recovery slot free; no recovery copies"));
    QObject::connect(&autosave, &kolvo::Autosave::written, [](const QString& path) {
        kolvo::DebugLog(QStringLiteral("Recovery copy written: ") + path);
    });

    // The splash settles the folders, the auto-display flags and the update
    // question, then hands over to the summary window.
    std::unique_ptr<kolvo::SongSummaryWindow> window;
    const QString file = commandLine.file;
    auto openMainMenu = [&] {
        window = std::make_unique<kolvo::SongSummaryWindow>(ctx);
        // Closing the summary window ends the program, whatever else is open.
        QObject::connect(window.get(), &kolvo::SongSummaryWindow::closed, &app,
                         &QCoreApplication::quit, Qt::QueuedConnection);
        window->show();
        // After the splash has gone: a question or a refusal about the file
        // comes over the summary window alone.
        QTimer::singleShot(0, window.get(), [&] {
            const bool restored = kolvo::offerRecovery(ctx, *window, autosave);
            if (!restored && !file.isEmpty())
                window->openFile(QFileInfo(file).absoluteFilePath());
            if (qEnvironmentVariableIsSet("KOLVO_TEST_EDITS"))
                applyTestEdits(ctx.document, qEnvironmentVariable("KOLVO_TEST_EDITS"));
            // A test hook: the song as the program holds it once started.
            if (qEnvironmentVariableIsSet("KOLVO_TEST_DUMP"))
                kolvo::writeFileAtomically(qEnvironmentVariable("KOLVO_TEST_DUMP"),
                                           kolvo::kolvoFileText(model));
        });
    };
    (new kolvo::SplashWindow(ctx, openMainMenu))->show();
    const int status = QApplication::exec();
    autosave.remove(); // a clean exit leaves nothing to recover
    return status;
}
