// File > New, Open, Save, Export and closing the summary window: the save
// question and its three answers, cancelled dialogs, failed saves and reads,
// the progress window, and the exported file.
#include "core/files/kolvofile.h"
#include "core/song/songmodel.h"
#include "testapp.h"
#include "ui/platform/settings.h"
#include "ui/summary/filecommands.h"
#include "ui/summary/process.h"
#include "ui/summary/songsummarywindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QWindow>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kolvo;

namespace {

const QString kQuestion = "Do you want to save your current stepfile?";
const QString kSaveFilter = "Kolvo Work In Progress (*.kolvo)|*.kolvo";
const QString kOpenFilter = "Kolvo Work In Progress File (*.kolvo)|*.kolvo";
const QString kExportWarning = "A DWI file does not keep everything in your stepfile; do you "
                               "want to save your stepfile as a Kolvo file before exporting?";

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class FileCommandsTest : public ::testing::Test {
  protected:
    test::TestApp app;
    std::unique_ptr<SongSummaryWindow> w;

    void SetUp() override {
        w = std::make_unique<SongSummaryWindow>(app.ctx);
        SongModel& m = app.model;
        m.setField(SummaryField::SongName, "Old Song");
        m.setField(SummaryField::Bpm, "150");
        m.setMarkAsNew(0);
        m.setStep(Single, Basic, 1, 1, PanelLeft, StepArrow);
        m.setStep(Solo, SManiac, 100, 32, PanelUpRight, StepFreezeStart);
        m.setDataexists(Single, Basic, Value::number(1));
        m.setDataexists(Solo, SManiac, Value::number(1));
        m.setFootlevels(Single, Basic, Value::text("7"));
        m.setTempo(Single, Basic, 5, 3, BPMCHANNEL, 75.5);
        w->datacheck();
    }

    bool songIntact() const {
        return app.model.songname() == "Old Song" && app.model.bpm() == "150" &&
               app.model.hasData(Single, Basic) &&
               app.model.step(Single, Basic, 1, 1, PanelLeft) == StepArrow;
    }
    bool songReset() const {
        return app.model.songname().isEmpty() && app.model.bpm() == "120" &&
               !app.model.hasData(Single, Basic) && app.model.markAsNew() == 2;
    }
    bool allButtonsNoData() const {
        for (int n = 1; n <= 16; ++n)
            if (w->chartButton(n)->text() != "No Data")
                return false;
        return true;
    }
    void expectSaveQuestion(int index) const {
        ASSERT_GT(app.boxes.shown.size(), index);
        const auto& b = app.boxes.shown[index];
        EXPECT_EQ(b.text, kQuestion);
        EXPECT_EQ(b.title, "Kolvo");
        EXPECT_EQ(b.buttons, MsgButtons::YesNoCancel);
        EXPECT_EQ(b.icon, MsgIcon::Question);
    }
    void trigger(const char* menu) { w->menuAction(menu)->trigger(); }
};

// What New does after each answer to the save question and the save dialog.
TEST_F(FileCommandsTest, NewAfterEachAnswer) {
    struct Case {
        const char* what;
        MsgAnswer answer;
        std::optional<QString> saveTo; // the save dialog's answer, if it is asked
        bool dialogAsked;
        bool saved;
        bool reset;
    };
    const QString good = app.path("saved.kolvo");
    const QString bad = app.path("no such folder/x.kolvo");
    const Case cases[] = {
        {"Yes, saved", MsgAnswer::Yes, good, true, true, true},
        {"Yes, dialog cancelled", MsgAnswer::Yes, std::nullopt, true, false, false},
        {"Yes, save failed", MsgAnswer::Yes, bad, true, false, false},
        {"No", MsgAnswer::No, std::nullopt, false, false, true},
        {"Cancel", MsgAnswer::Cancel, std::nullopt, false, false, false},
    };
    for (const Case& c : cases) {
        SetUp();
        app.boxes.shown.clear();
        app.dialogs.asked.clear();
        QFile::remove(good);
        app.boxes.answers = {c.answer};
        if (c.dialogAsked)
            app.dialogs.answers = {c.saveTo};
        trigger("newmenu");
        SCOPED_TRACE(c.what);
        expectSaveQuestion(0);
        EXPECT_EQ(app.dialogs.asked.size(), c.dialogAsked ? 1 : 0);
        EXPECT_EQ(QFile::exists(good), c.saved);
        EXPECT_EQ(c.reset ? songReset() : songIntact(), true);
        EXPECT_EQ(allButtonsNoData(), c.reset);
        EXPECT_EQ(app.ctx.session.dialogcancelled, 0);
        EXPECT_TRUE(w->isEnabled());
        if (c.saveTo == bad) {
            ASSERT_EQ(app.boxes.shown.size(), 2);
            EXPECT_TRUE(app.boxes.last().text.startsWith("Kolvo could not save your stepfile."));
            EXPECT_TRUE(app.boxes.last().text.contains("x.kolvo"));
            EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
        } else {
            EXPECT_EQ(app.boxes.shown.size(), 1);
        }
    }
}

TEST_F(FileCommandsTest, SaveAsksBeforeReplacingAndShowsProgressPerChart) {
    const QString path = app.path("song.kolvo");
    QList<int> widths;
    QList<bool> windowEnabled;
    QObject::connect(&w->fileCommands(), &FileCommands::chartWritten, [&](int chartsDone) {
        ASSERT_NE(w->fileCommands().progressWindow(), nullptr);
        EXPECT_EQ(w->fileCommands().progressWindow()->windowTitle(),
                  "Saving Kolvo Work In Progress");
        widths << w->fileCommands().progressWindow()->barWidthTwips();
        windowEnabled << w->isEnabled();
        EXPECT_EQ(chartsDone, widths.size());
    });
    app.dialogs.answers << path;
    trigger("savemenu");
    ASSERT_EQ(app.dialogs.asked.size(), 1);
    const FileDialogRequest& r = app.dialogs.asked[0];
    EXPECT_EQ(r.mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(r.filter, kSaveFilter);
    EXPECT_EQ(r.defaultExt, "kolvo");
    EXPECT_TRUE(r.overwritePrompt);
    ASSERT_EQ(widths.size(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(widths[i], 2655 * (i + 1) / 16);
    EXPECT_FALSE(windowEnabled.contains(true));
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(w->fileCommands().progressWindow(), nullptr);
    EXPECT_EQ(readAll(path), kolvoFileText(app.model));

    // The next dialog starts in the folder just saved to.
    app.dialogs.answers << std::nullopt;
    trigger("savemenu");
    EXPECT_EQ(app.dialogs.asked[1].initialDir, app.dir.path() + "/");
    EXPECT_EQ(app.ctx.session.dialogcancelled, 1); // left for a calling command
}

TEST_F(FileCommandsTest, ASongThatCannotBeWrittenIsRefusedAndNotDiscarded) {
    app.model.setTempo(Single, Basic, 2, 1, FREEZECHANNEL, -5);
    app.boxes.answers << MsgAnswer::Yes;
    app.dialogs.answers << app.path("quoted.kolvo");
    trigger("newmenu");
    EXPECT_FALSE(QFile::exists(app.path("quoted.kolvo")));
    EXPECT_TRUE(songIntact());
    ASSERT_EQ(app.boxes.shown.size(), 2);
    EXPECT_TRUE(app.boxes.last().text.startsWith("Kolvo could not save your stepfile."));
}

TEST_F(FileCommandsTest, OpenAfterEachAnswer) {
    // A file to open: the fixture's song under another name.
    app.model.setField(SummaryField::SongName, "From File");
    const QString file = app.path("in/from.kolvo");
    ASSERT_FALSE(test::writeScratchFile(file, kolvoFileText(app.model)).isEmpty());
    app.model.setField(SummaryField::SongName, "Old Song");

    // Cancel: nothing happens.
    app.boxes.answers = {MsgAnswer::Cancel};
    trigger("openmenu");
    expectSaveQuestion(0);
    EXPECT_TRUE(songIntact());
    EXPECT_TRUE(app.dialogs.asked.isEmpty());

    // Yes, then the save dialog cancelled: nothing is opened.
    app.boxes.answers = {MsgAnswer::Yes};
    app.dialogs.answers = {std::nullopt};
    trigger("openmenu");
    EXPECT_TRUE(songIntact());
    ASSERT_EQ(app.dialogs.asked.size(), 1);
    EXPECT_EQ(app.dialogs.asked[0].mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(app.ctx.session.dialogcancelled, 0);

    // No, then a file.
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {file};
    trigger("openmenu");
    ASSERT_EQ(app.dialogs.asked.size(), 2);
    const FileDialogRequest& r = app.dialogs.asked[1];
    EXPECT_EQ(r.mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(r.filter, kOpenFilter);
    EXPECT_EQ(r.defaultExt, "kolvo");
    EXPECT_TRUE(r.fileMustExist);
    EXPECT_EQ(app.model.songname(), "From File");
    EXPECT_EQ(w->windowTitle(), "From File - Kolvo DWI Creator");
    EXPECT_TRUE(w->markAsNewOption(2)->isChecked()); // Check1 0: "Never"
    EXPECT_EQ(app.model.tempo(Single, Basic, 5, 3, BPMCHANNEL), 75.5);
    EXPECT_EQ(w->chartButton(1)->text(), "Data");
    EXPECT_EQ(w->chartButton(16)->text(), "Data");
    EXPECT_EQ(w->chartButton(2)->text(), "No Data");
    EXPECT_TRUE(w->isEnabled());

    // No, then the open dialog cancelled: the song stays as it was.
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {std::nullopt};
    trigger("openmenu");
    EXPECT_EQ(app.model.songname(), "From File");
    EXPECT_EQ(app.model.tempo(Single, Basic, 5, 3, BPMCHANNEL), 75.5);
    EXPECT_EQ(w->chartButton(1)->text(), "Data");
    EXPECT_EQ(app.ctx.session.dialogcancelled, 0);
    EXPECT_EQ(app.dialogs.asked[2].initialDir, app.path("in") + "/");
}

TEST_F(FileCommandsTest, AFileThatCannotBeReadIsReportedAndLeavesAnEmptySong) {
    const QString broken = app.writeFile(
        "broken.kolvo", "\"KOLVO-DEF\"\r\n\"a.mp3\",\"musicadd\"\r\n\"LEVELS\",\"\"\r\n"
                        "\"x\",\"level\",9,1\r\n");
    const QString pipe = app.path("pipe.kolvo"); // would wait forever for a writer
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : {broken, app.path("missing.kolvo"), pipe}) {
        SongModel scratch;
        scratch.resetparameters();
        const std::optional<FileError> expected = readKolvoFile(path, scratch);
        ASSERT_TRUE(expected.has_value()) << path.toStdString();
        app.boxes.shown.clear();
        app.boxes.answers = {MsgAnswer::No};
        app.dialogs.answers = {path};
        trigger("openmenu");
        ASSERT_EQ(app.boxes.shown.size(), 2);
        EXPECT_EQ(app.boxes.last().text,
                  "Kolvo could not open this file.\n\n" + expected->message());
        EXPECT_EQ(app.boxes.last().title, "Kolvo");
        EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
        EXPECT_TRUE(songReset());
        EXPECT_TRUE(w->isEnabled());
    }
}

// Whatever a damaged file holds, the message shows no control characters
// and no endless line.
TEST_F(FileCommandsTest, AMessageAboutAFileShowsNoRawBytes) {
    // The older layout: the seventh line is a value the message quotes.
    QByteArray bytes;
    for (int i = 0; i < 6; ++i)
        bytes += "\"x\"\r\n";
    bytes += QByteArray("\x01\x02\x1b[31m\x7f") + QByteArray(900, 'x') + "\x03\r\n";
    for (int i = 0; i < 20; ++i)
        bytes += "\"y\"\r\n";
    const QString junk = app.writeFile("junk.kolvo", bytes);
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {junk};
    trigger("openmenu");
    ASSERT_EQ(app.boxes.shown.size(), 2);
    const QString text = app.boxes.last().text;
    EXPECT_TRUE(text.startsWith("Kolvo could not open this file.")) << text.toStdString();
    for (const QString& line : text.split(u'\n')) {
        EXPECT_LE(line.size(), 161) << line.toStdString();
        for (QChar c : line)
            EXPECT_TRUE(c.isPrint() || c == u'\t') << int(c.unicode());
    }
}

TEST_F(FileCommandsTest, ClosingAfterEachAnswer) {
    struct Case {
        const char* what;
        MsgAnswer answer;
        std::optional<QString> saveTo;
        bool closes;
    };
    const Case cases[] = {
        {"Yes, saved", MsgAnswer::Yes, app.path("close.kolvo"), true},
        {"Yes, dialog cancelled", MsgAnswer::Yes, std::nullopt, false},
        {"Yes, save failed", MsgAnswer::Yes, app.path("nowhere/close.kolvo"), false},
        {"No", MsgAnswer::No, std::nullopt, true},
        {"Cancel", MsgAnswer::Cancel, std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        w->show();
        app.boxes.shown.clear();
        app.boxes.answers = {c.answer};
        app.dialogs.answers = {c.saveTo};
        QSignalSpy closed(w.get(), &SongSummaryWindow::closed);
        trigger("exitmenu");
        expectSaveQuestion(0);
        EXPECT_EQ(w->isVisible(), !c.closes);
        EXPECT_EQ(closed.size(), c.closes ? 1 : 0);
        EXPECT_TRUE(songIntact());
        EXPECT_EQ(app.ctx.session.dialogcancelled, 0);
    }
    // The close box asks the same.
    SetUp();
    w->show();
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::Cancel};
    EXPECT_FALSE(w->close());
    expectSaveQuestion(0);
    EXPECT_TRUE(w->isVisible());
}

// Text that ends or splits a DWI tag is warned about once, before anything
// else; OK exports it as typed, Cancel ends the command.
TEST_F(FileCommandsTest, ExportWarnsOnceAboutTextThatSplitsATag) {
    struct Case {
        const char* name;
        SummaryField field;
        QString text;
        QString shown; // the field as the window names it, and the character
        MsgAnswer answer;
    } cases[] = {
        {"title, export anyway", SummaryField::SongName, "Act 1: Go",
         "\"Name of song\" holds \":\"", MsgAnswer::Ok},
        {"artist, cancel", SummaryField::Artist, "A;B", "\"Name of artist\" holds \";\"",
         MsgAnswer::Cancel},
        {"genre", SummaryField::Genre, "x//y", "\"Genre\" holds \"//\"", MsgAnswer::Ok},
        {"CD title", SummaryField::CdTitle, "a:b.png", "\"Location of CD pic\" holds \":\"",
         MsgAnswer::Ok},
        {"file tag", SummaryField::FileTag, "t;.mp3", "\"#FILE tag\" holds \";\"", MsgAnswer::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString before = app.model.field(c.field);
        app.model.setField(c.field, c.text);
        const QString out = app.path(QStringLiteral("%1.dwi").arg(int(c.field)));
        app.boxes.shown.clear();
        app.dialogs.asked.clear();
        app.boxes.answers = {c.answer, MsgAnswer::No};
        app.dialogs.answers = {out};
        trigger("dwimenu");
        ASSERT_GE(app.boxes.shown.size(), 1);
        const auto& warning = app.boxes.shown[0];
        EXPECT_TRUE(warning.text.contains(c.shown)) << warning.text.toStdString();
        EXPECT_TRUE(warning.text.endsWith("Export anyway?"));
        EXPECT_EQ(warning.title, "Kolvo");
        EXPECT_EQ(warning.buttons, MsgButtons::OkCancel);
        EXPECT_EQ(warning.icon, MsgIcon::Exclamation);
        if (c.answer == MsgAnswer::Ok) {
            ASSERT_EQ(app.boxes.shown.size(), 3);
            EXPECT_EQ(app.boxes.shown[1].text, kExportWarning);
            EXPECT_EQ(app.boxes.last().text, "DWI export complete!");
            EXPECT_TRUE(readAll(out).contains(c.text.toUtf8())); // as typed
        } else {
            EXPECT_EQ(app.boxes.shown.size(), 1);
            EXPECT_TRUE(app.dialogs.asked.isEmpty());
            EXPECT_FALSE(QFile::exists(out));
        }
        app.model.setField(c.field, before);
    }
    // Nothing to warn about: the command starts with its own question.
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {std::nullopt};
    trigger("dwimenu");
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.shown[0].text, kExportWarning);
}

// A song put back from a recovery copy is unsaved; New or Open replaces it
// with a song that is not.
TEST_F(FileCommandsTest, NewOrOpenAfterARestoredSongClearTheUnsavedMark) {
    const QString file = app.writeFile("saved.kolvo", kolvoFileText(app.model));
    w->show();
    ASSERT_NE(w->windowHandle(), nullptr);
    for (const char* menu : {"newmenu", "openmenu"}) {
        SCOPED_TRACE(menu);
        app.ctx.document.startRestored(QString());
        ASSERT_TRUE(w->windowHandle()->title().endsWith(" *"));
        app.boxes.answers = {MsgAnswer::No};
        app.dialogs.answers = {file};
        trigger(menu);
        EXPECT_FALSE(app.ctx.document.isModified());
        EXPECT_FALSE(w->isWindowModified());
        EXPECT_FALSE(w->windowHandle()->title().endsWith(" *"))
            << w->windowHandle()->title().toStdString();
    }
}

// The songs last opened, imported and saved, newest first, ten at most;
// an entry opens its song after the save question.
TEST_F(FileCommandsTest, RecentSongsListsOpenedImportedAndSavedFiles) {
    for (int n = 1; n <= FileCommands::kRecentSongs; ++n) // other tests' songs
        WriteSetting("recentsongs", QStringLiteral("song%1").arg(n), QString());
    const QString work = app.writeFile("a/work.kolvo", kolvoFileText(app.model));
    const QString steps = app.writeFile(
        "b/steps.sm", "#TITLE:Imported;#BPMS:0=140;#NOTES:dance-single::Easy:3::1000\n0100;");
    ASSERT_TRUE(w->openFile(work));
    ASSERT_TRUE(w->openFile(steps)); // a step file named at start is imported
    EXPECT_EQ(app.model.songname(), "Imported");
    app.dialogs.answers = {app.path("c/saved.kolvo")};
    QDir().mkpath(app.path("c"));
    trigger("savemenu");
    EXPECT_EQ(FileCommands::recentSongs(), (QStringList{app.path("c/saved.kolvo"), steps, work}));
    QAction* second = w->menuAction("recentsong2");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->text(), "&2 steps.sm  (" + app.path("b") + ")");

    // An entry: the save question, then its song (here a work file again).
    app.boxes.answers = {MsgAnswer::No};
    w->menuAction("recentsong3")->trigger();
    expectSaveQuestion(int(app.boxes.shown.size()) - 1);
    EXPECT_TRUE(songIntact());
    EXPECT_EQ(FileCommands::recentSongs().first(), work);

    // Ten at most, each once.
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(w->openFile(
            app.writeFile(QStringLiteral("many/%1.kolvo").arg(i), kolvoFileText(app.model))));
    const QStringList recent = FileCommands::recentSongs();
    EXPECT_EQ(recent.size(), FileCommands::kRecentSongs);
    EXPECT_EQ(recent.first(), app.path("many/11.kolvo"));
    EXPECT_EQ(QSet<QString>(recent.begin(), recent.end()).size(), recent.size());
    EXPECT_NE(w->menuAction("recentsong10"), nullptr);
    EXPECT_EQ(w->menuAction("recentsong11"), nullptr);
}

// Save As starts in the folder of the song that is open, however it came.
TEST_F(FileCommandsTest, TheSaveDialogStartsInTheOpenSongsFolder) {
    const QString work = app.writeFile("start/work.kolvo", kolvoFileText(app.model));
    const QString steps = app.writeFile(
        "imports/steps.sm", "#TITLE:Imported;#BPMS:0=140;#NOTES:dance-single::Easy:3::1000;");
    for (const QString& file : {work, steps}) {
        SCOPED_TRACE(file.toStdString());
        ASSERT_TRUE(w->openFile(file)); // as from the command line
        app.dialogs.answers = {std::nullopt};
        trigger("savemenu");
        EXPECT_EQ(app.dialogs.asked.last().initialDir, QFileInfo(file).absolutePath() + "/");
    }
    // A song put back from a recovery copy: its work file's folder.
    w->fileCommands().startDialogsAt(app.path("elsewhere/song.kolvo"));
    app.dialogs.answers = {std::nullopt};
    trigger("savemenu");
    EXPECT_EQ(app.dialogs.asked.last().initialDir, app.path("elsewhere") + "/");
}

TEST_F(FileCommandsTest, AFileNamedAtStartIsOpenedWithoutTheQuestion) {
    const QString file = app.writeFile("start.kolvo", kolvoFileText(app.model));
    app.model.resetparameters();
    EXPECT_TRUE(w->openFile(file));
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_TRUE(songIntact());
    EXPECT_EQ(w->chartButton(1)->text(), "Data");
}

} // namespace
