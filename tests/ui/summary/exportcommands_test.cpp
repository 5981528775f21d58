// File > Export to DWI, StepMania and StepMania 5, one table over all: the
// save-first question and its answers, the dialog, a failed write, and the
// file itself, which is the format writer's text and the command-line
// tool's export of the saved song.
#include "core/dwi/dwiwriter.h"
#include "core/formats/fileformat.h"
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"
#include "core/ssc/sscwriter.h"
#include "testapp.h"
#include "ui/summary/songsummarywindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

struct ExportKind {
    const char* name;
    const char* menu;
    const char* ext;
    const char* filter;
    const char* question; // asked first: save the song as a work file?
    const char* done;     // the message after a written file
    const char* failed;   // the first line of a failure
    const char* sampleStartTag;
    QByteArray (*expected)(const SongModel&);
};

void PrintTo(const ExportKind& k, std::ostream* os) {
    *os << k.name;
}

const ExportKind kKinds[] = {
    {"dwi", "dwimenu", "dwi", "Dance With Intensity Datafile (*.dwi)|*.dwi",
     "A DWI file does not keep everything in your stepfile; do you want to save your stepfile "
     "as a Kolvo file before exporting?",
     "DWI export complete!", "Kolvo could not export the DWI file.", "#SAMPLESTART:12000;",
     [](const SongModel& m) { return dwiFileText(m, DwiMode::Export); }},
    {"sm", "smmenu", "sm", "StepMania Step File (*.sm)|*.sm",
     "A StepMania file does not keep everything in your stepfile; do you want to save your "
     "stepfile as a Kolvo file before exporting?",
     "StepMania export complete!", "Kolvo could not export the StepMania file.",
     "#SAMPLESTART:12.000;", [](const SongModel& m) { return encodeSmFile(m); }},
    {"ssc", "sscmenu", "ssc", "StepMania 5 Step File (*.ssc)|*.ssc",
     "A StepMania 5 file does not keep everything in your stepfile; do you want to save your "
     "stepfile as a Kolvo file before exporting?",
     "StepMania 5 export complete!", "Kolvo could not export the StepMania 5 file.",
     "#SAMPLESTART:12.000;", [](const SongModel& m) { return encodeSscFile(m); }},
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ExportCommandTest : public ::testing::TestWithParam<ExportKind> {
  protected:
    test::TestApp app;
    std::unique_ptr<SongSummaryWindow> w;

    void SetUp() override {
        w = std::make_unique<SongSummaryWindow>(app.ctx);
        SongModel& m = app.model;
        m.setField(SummaryField::SongName, "Old Song");
        m.setField(SummaryField::Bpm, "150");
        m.setField(SummaryField::FileTag, "music/track.ogg");
        m.setStep(Single, Basic, 1, 1, PanelLeft, StepFreezeStart);
        m.setStep(Single, Basic, 1, 17, PanelLeft, StepArrow);
        m.setStep(Solo, SManiac, 100, 32, PanelUpRight, StepFreezeStart);
        m.setDataexists(Single, Basic, Value::number(1));
        m.setDataexists(Solo, SManiac, Value::number(1));
        m.setFootlevels(Single, Basic, Value::text("7"));
        m.setFootlevels(Solo, SManiac, Value::number(9));
        m.setTempo(Single, Basic, 5, 3, BPMCHANNEL, 75.5);
        m.setTempo(Single, Basic, 2, 1, FREEZECHANNEL, 250);
        w->datacheck();
    }
    void trigger() { w->menuAction(GetParam().menu)->trigger(); }
    QString file(const char* base) const {
        return app.path(QString::fromLatin1(base) + '.' + GetParam().ext);
    }
};

TEST_P(ExportCommandTest, WritesWhatTheFormatsWriterWritesAfterEachAnswer) {
    const ExportKind& k = GetParam();
    const QByteArray expected = k.expected(app.model);
    ASSERT_FALSE(expected.isEmpty());

    // No: the dialog comes at once, and asks before replacing a file.
    const QString out = app.writeFile(QStringLiteral("out/song.") + k.ext, "an older export");
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {out};
    trigger();
    ASSERT_EQ(app.boxes.shown.size(), 2);
    EXPECT_EQ(app.boxes.shown[0].text, k.question);
    EXPECT_EQ(app.boxes.shown[0].title, "Warning");
    EXPECT_EQ(app.boxes.shown[0].buttons, MsgButtons::YesNo);
    ASSERT_EQ(app.dialogs.asked.size(), 1);
    const FileDialogRequest& r = app.dialogs.asked[0];
    EXPECT_EQ(r.mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(r.filter, k.filter);
    EXPECT_EQ(r.defaultExt, k.ext);
    EXPECT_TRUE(r.overwritePrompt);
    EXPECT_EQ(r.initialDir, ""); // no file chosen yet
    EXPECT_EQ(readAll(out), expected);
    EXPECT_EQ(app.boxes.last().text, k.done);
    EXPECT_EQ(app.boxes.last().title, "Kolvo");
    EXPECT_EQ(app.boxes.last().buttons, MsgButtons::Ok);
    EXPECT_TRUE(w->isEnabled());

    // Yes, save cancelled: no export dialog, nothing exported.
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::Yes};
    app.dialogs.answers = {std::nullopt, file("never")};
    trigger();
    EXPECT_EQ(app.dialogs.asked.size(), 2);
    EXPECT_EQ(app.boxes.shown.size(), 1);
    EXPECT_FALSE(QFile::exists(file("never")));
    EXPECT_EQ(app.ctx.session.dialogcancelled, 0);

    // Yes, saved: the export dialog starts in the saved file's folder;
    // cancelling it writes nothing and says nothing.
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::Yes};
    app.dialogs.answers = {app.path("work/song.kolvo"), std::nullopt};
    QDir().mkpath(app.path("work"));
    trigger();
    ASSERT_EQ(app.dialogs.asked.size(), 4);
    EXPECT_TRUE(QFile::exists(app.path("work/song.kolvo")));
    EXPECT_EQ(app.dialogs.asked[3].initialDir, app.path("work") + "/");
    EXPECT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.ctx.session.dialogcancelled, 0);

    // A file that cannot be written is reported with the reason, not called
    // complete.
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {file("missing folder/song")};
    trigger();
    ASSERT_EQ(app.boxes.shown.size(), 2);
    EXPECT_TRUE(app.boxes.last().text.startsWith(
        QString::fromUtf8(k.failed) + "\n\n" + file("missing folder/song") + ": cannot be written"))
        << app.boxes.last().text.toStdString();
    EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
    EXPECT_TRUE(w->isEnabled());
}

// A person saves and exports a song in the window; the headless tool's
// export of the saved file is the same file.
TEST_P(ExportCommandTest, EqualsTheCommandLineExportOfTheSavedSong) {
    const ExportKind& k = GetParam();
    app.model.setField(SummaryField::SampleStart, "12000");
    const QString work = app.path("song.kolvo");
    const QString window = file("window");
    app.boxes.answers = {MsgAnswer::Yes};
    app.dialogs.answers = {work, window};
    trigger();
    ASSERT_TRUE(QFile::exists(work));
    ASSERT_EQ(app.boxes.last().text, k.done);

    const QString cliOut = file("cli");
    QProcess cli;
    cli.start(QStringLiteral(KOLVO_BINARY_DIR) + "/src/cli/kolvo-cli", {"export", work, cliOut});
    ASSERT_TRUE(cli.waitForFinished(30000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(readAll(window), readAll(cliOut));
    EXPECT_TRUE(readAll(window).contains(k.sampleStartTag));
}

INSTANTIATE_TEST_SUITE_P(EveryExport, ExportCommandTest, ::testing::ValuesIn(kKinds),
                         [](const auto& kind) { return std::string(kind.param.name); });

// Every export whose format cannot carry something the song holds lists it
// all in one warning before anything else: Cancel writes nothing and asks
// nothing more, OK goes on to the export.
TEST(ExportCommand, WhatAFormatCannotCarryIsOneWarningBeforeWriting) {
    test::TestApp app;
    SongModel& m = app.model;
    m.resetparameters();
    m.setStep(Single, Basic, 1, 1, PanelLeft, StepArrow);
    m.setDataexists(Single, Basic, Value::number(1));
    m.setFootlevels(Single, Basic, Value::text("hard")); // no meter
    m.setDataexists(Double, Maniac, Value::number(1));
    m.setFootlevels(Double, Maniac, Value::text("?"));
    SongSummaryWindow w(app.ctx);
    int warned = 0;
    for (const FileFormat* format : exportFormats()) {
        const QStringList lines = format->cannotCarry(m);
        if (lines.isEmpty())
            continue;
        ++warned;
        SCOPED_TRACE(format->shortName().toStdString());
        QAction* menu = w.menuAction(format->exportCommand()->objectName);
        ASSERT_NE(menu, nullptr);
        const QString out = app.path("song." + format->extensions().first());

        app.boxes.shown.clear();
        app.dialogs.asked.clear();
        app.boxes.answers = {MsgAnswer::Cancel};
        menu->trigger();
        ASSERT_EQ(app.boxes.shown.size(), 1);
        EXPECT_EQ(app.boxes.shown[0].buttons, MsgButtons::OkCancel);
        for (const QString& line : lines)
            EXPECT_TRUE(app.boxes.shown[0].text.contains(line)) << line.toStdString();
        EXPECT_TRUE(app.dialogs.asked.isEmpty());
        EXPECT_FALSE(QFile::exists(out));

        app.boxes.shown.clear();
        app.boxes.answers = {MsgAnswer::Ok, MsgAnswer::No};
        app.dialogs.answers = {out};
        menu->trigger();
        ASSERT_EQ(app.boxes.shown.size(), 3); // the list, save first?, complete
        EXPECT_EQ(readAll(out), format->write(m));
    }
    EXPECT_GT(warned, 0); // the .ssc export at least names the foot levels
}

} // namespace
