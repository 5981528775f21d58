// File > Export to StepMania: the menu item, the save-first question, the
// warning about text that splits a tag, the dialog, failures, and the file
// it writes, which is the command-line tool's export of the saved song.
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"
#include "testapp.h"
#include "ui/summary/filecommands.h"
#include "ui/summary/mainmenu.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

const QString kSmFilter = "StepMania Step File (*.sm)|*.sm";
const QString kSmWarning = "A StepMania file does not keep everything in your stepfile; do you "
                           "want to save your stepfile as a Kolvo file before exporting?";

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SmExportTest : public ::testing::Test {
  protected:
    test::TestApp app;
    std::unique_ptr<MainMenu> w;

    void SetUp() override {
        w = std::make_unique<MainMenu>(app.ctx);
        SongModel& m = app.model;
        m.setField(SummaryField::Songname, "Old Song");
        m.setField(SummaryField::Bpm, "150");
        m.setField(SummaryField::Filetag, "track.ogg");
        m.setStep(Single, Basic, 1, 1, PanelLeft, StepFreezeStart);
        m.setStep(Single, Basic, 1, 17, PanelLeft, StepArrow);
        m.setDataexists(Single, Basic, Value::number(1));
        m.setFootlevels(Single, Basic, Value::text("7"));
        m.setTempo(Single, Basic, 5, 3, BPMCHANNEL, 75.5);
        m.setTempo(Single, Basic, 2, 1, FREEZECHANNEL, 250);
        w->datacheck();
    }
    void trigger(const char* menu) { w->menuAction(menu)->trigger(); }
};

TEST_F(SmExportTest, TheMenuItemFollowsExportToDwi) {
    QAction* sm = w->menuAction("smmenu");
    ASSERT_NE(sm, nullptr);
    const QList<QAction*> items = w->findChild<QMenu*>("filemenu")->actions();
    const qsizetype dwi = items.indexOf(w->menuAction("dwimenu"));
    ASSERT_GE(dwi, 0);
    ASSERT_LT(dwi + 1, items.size());
    EXPECT_EQ(items[dwi + 1], sm);
}

TEST_F(SmExportTest, ExportsAsExportToDwiDoes) {
    const QByteArray expected = encodeSmFile(app.model);

    // No: the dialog comes at once; an existing file is replaced.
    const QString out = app.writeFile("out/song.sm", "an older export");
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {out};
    trigger("smmenu");
    ASSERT_EQ(app.boxes.shown.size(), 2);
    EXPECT_EQ(app.boxes.shown[0].text, kSmWarning);
    EXPECT_EQ(app.boxes.shown[0].title, "Warning");
    EXPECT_EQ(app.boxes.shown[0].buttons, MsgButtons::YesNo);
    ASSERT_EQ(app.dialogs.asked.size(), 1);
    const FileDialogRequest& r = app.dialogs.asked[0];
    EXPECT_EQ(r.mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(r.filter, kSmFilter);
    EXPECT_EQ(r.defaultExt, "sm");
    EXPECT_FALSE(r.overwritePrompt);
    EXPECT_EQ(readAll(out), expected);
    EXPECT_EQ(app.boxes.last().text, "StepMania export complete!");
    EXPECT_EQ(app.boxes.last().title, "Kolvo");
    EXPECT_EQ(app.boxes.last().buttons, MsgButtons::Ok);
    EXPECT_TRUE(w->isEnabled());

    // Yes, save cancelled: no dialog for the .sm, nothing exported.
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::Yes};
    app.dialogs.answers = {std::nullopt, app.path("never.sm")};
    trigger("smmenu");
    EXPECT_EQ(app.dialogs.asked.size(), 2);
    EXPECT_EQ(app.boxes.shown.size(), 1);
    EXPECT_FALSE(QFile::exists(app.path("never.sm")));
    EXPECT_EQ(app.ctx.session.dialogcancelled, 0);

    // Yes, saved: the dialog starts in the saved file's folder; cancelling it
    // writes nothing and says nothing.
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::Yes};
    app.dialogs.answers = {app.path("work/song.kolvo"), std::nullopt};
    QDir().mkpath(app.path("work"));
    trigger("smmenu");
    ASSERT_EQ(app.dialogs.asked.size(), 4);
    EXPECT_TRUE(QFile::exists(app.path("work/song.kolvo")));
    EXPECT_EQ(app.dialogs.asked[3].initialDir, app.path("work") + "/");
    EXPECT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.ctx.session.dialogcancelled, 0);

    // A file that cannot be written is reported with the reason.
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {app.path("missing folder/song.sm")};
    trigger("smmenu");
    ASSERT_EQ(app.boxes.shown.size(), 2);
    EXPECT_TRUE(app.boxes.last().text.startsWith("Kolvo could not export the StepMania file.\n\n" +
                                                 app.path("missing folder/song.sm") +
                                                 ": cannot be written"))
        << app.boxes.last().text.toStdString();
    EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
    EXPECT_TRUE(w->isEnabled());
}

TEST_F(SmExportTest, TextThatSplitsATagIsWarnedAboutBeforeTheDialog) {
    app.model.setField(SummaryField::Songname, "Act 1: The Start");
    app.model.setField(SummaryField::Genre, "drum//bass");
    const QString out = app.path("song.sm");

    // Cancel at the warning: no dialog, nothing written.
    app.boxes.answers = {MsgAnswer::Cancel};
    app.dialogs.answers = {out};
    trigger("smmenu");
    ASSERT_EQ(app.boxes.shown.size(), 1);
    const auto& warning = app.boxes.shown[0];
    EXPECT_EQ(warning.title, "Kolvo");
    EXPECT_EQ(warning.buttons, MsgButtons::OkCancel);
    EXPECT_EQ(warning.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(warning.text.contains("\"Name of song\" holds \":\"\n\"Genre\" holds \"//\""))
        << warning.text.toStdString();
    EXPECT_TRUE(warning.text.endsWith("\n\nExport anyway?"));
    EXPECT_TRUE(app.dialogs.asked.isEmpty());
    EXPECT_FALSE(QFile::exists(out));

    // Export anyway: the values are written as typed.
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::Ok, MsgAnswer::No};
    trigger("smmenu");
    ASSERT_EQ(app.dialogs.asked.size(), 1);
    EXPECT_EQ(app.boxes.last().text, "StepMania export complete!");
    EXPECT_TRUE(readAll(out).startsWith("#TITLE:Act 1: The Start;\r\n"));

    // Without such text there is no warning.
    app.model.setField(SummaryField::Songname, "Act 1 - The Start");
    app.model.setField(SummaryField::Genre, "drum and bass");
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {out};
    trigger("smmenu");
    ASSERT_EQ(app.boxes.shown.size(), 2);
    EXPECT_EQ(app.boxes.last().text, "StepMania export complete!");
}

// The window's export of a song equals the command-line tool's export of
// the same song saved.
TEST_F(SmExportTest, ExportEqualsTheCommandLineExportOfTheSavedSong) {
    app.model.setField(SummaryField::Samplestart, "12000");
    const QString work = app.path("song.kolvo");
    const QString sm = app.path("window.sm");
    app.boxes.answers = {MsgAnswer::Yes};
    app.dialogs.answers = {work, sm};
    trigger("smmenu");
    ASSERT_TRUE(QFile::exists(work));
    ASSERT_EQ(app.boxes.last().text, "StepMania export complete!");

    const QString cliSm = app.path("cli.sm");
    QProcess cli;
    cli.start(QStringLiteral(KOLVO_BINARY_DIR) + "/src/cli/kolvo-cli", {"export", work, cliSm});
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(readAll(sm), readAll(cliSm));
    EXPECT_TRUE(readAll(sm).contains("#SAMPLESTART:12.000;"));
}

} // namespace
