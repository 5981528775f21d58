// kolvo: the desktop program. Builds the real services around the one song
// and starts with the splash, which opens the song summary window; a .kolvo
// file named on the command line is opened once that window is up (so a file
// manager can open songs with the program).
#include "core/app/startuprules.h"
#include "core/files/atomicwrite.h"
#include "core/files/kolvofile.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "document/autosave.h"
#include "ui/app/frmsplash.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/filedialogs.h"
#include "ui/platform/launcher.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"
#include "ui/platform/settings.h"
#include "ui/summary/mainmenu.h"
#include "ui/summary/recovery.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>

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
            if (n.size() == 6)
                doc.setStep(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt(), n[4].toInt(),
                            std::uint8_t(n[5].toInt()));
            continue;
        }
        for (int i = 0; i < kolvo::kSummaryTextFields; ++i)
            if (key == QLatin1String(kolvo::summaryFieldKey(kolvo::SummaryField(i)))) {
                doc.closeMerging();
                doc.setField(kolvo::SummaryField(i), value);
            }
    }
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
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kolvo.svg")));

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
    std::unique_ptr<kolvo::MainMenu> window;
    const QString file = fileArgument(args);
    auto openMainMenu = [&] {
        window = std::make_unique<kolvo::MainMenu>(ctx);
        // Closing the summary window ends the program, whatever else is open.
        QObject::connect(window.get(), &kolvo::MainMenu::closed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        window->show();
        const bool restored = kolvo::offerRecovery(ctx, *window, autosave);
        if (!restored && !file.isEmpty())
            window->openFile(QFileInfo(file).absoluteFilePath());
        if (qEnvironmentVariableIsSet("KOLVO_TEST_EDITS"))
            applyTestEdits(ctx.document, qEnvironmentVariable("KOLVO_TEST_EDITS"));
        // A test hook: the song as the program holds it once started.
        if (qEnvironmentVariableIsSet("KOLVO_TEST_DUMP"))
            kolvo::writeFileAtomically(qEnvironmentVariable("KOLVO_TEST_DUMP"),
                                       kolvo::kolvoFileText(model));
    };
    (new kolvo::frmSplash(ctx, openMainMenu))->show();
    const int status = QApplication::exec();
    autosave.remove(); // a clean exit leaves nothing to recover
    return status;
}
