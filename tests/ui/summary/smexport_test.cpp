// File > Export to StepMania: the menu item and the warning about text that
// splits a tag (the export's flow is tested with the DWI export's in
// exportcommands_test.cpp).
#include "core/song/songmodel.h"
#include "testapp.h"
#include "ui/summary/filecommands.h"
#include "ui/summary/songsummarywindow.h"

#include <QAction>
#include <QFile>
#include <QMenu>

#include <gtest/gtest.h>

#include <utility>

using namespace kolvo;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SmExportTest : public ::testing::Test {
  protected:
    test::TestApp app;
    std::unique_ptr<SongSummaryWindow> w;

    void SetUp() override {
        w = std::make_unique<SongSummaryWindow>(app.ctx);
        SongModel& m = app.model;
        m.setField(SummaryField::SongName, "Old Song");
        m.setField(SummaryField::Bpm, "150");
        m.setField(SummaryField::FileTag, "track.ogg");
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

// Export to StepMania follows Export to DWI, and the .ssc export the .sm one.
TEST_F(SmExportTest, TheExportItemsFollowEachOther) {
    const std::pair<const char*, const char*> pairs[] = {{"dwimenu", "smmenu"},
                                                         {"smmenu", "sscmenu"}};
    const QList<QAction*> items = w->findChild<QMenu*>("filemenu")->actions();
    for (const auto& [before, after] : pairs) {
        SCOPED_TRACE(after);
        QAction* a = w->menuAction(after);
        ASSERT_NE(a, nullptr);
        const qsizetype b = items.indexOf(w->menuAction(before));
        ASSERT_GE(b, 0);
        ASSERT_LT(b + 1, items.size());
        EXPECT_EQ(items[b + 1], a);
    }
}

TEST_F(SmExportTest, TextThatSplitsATagIsWarnedAboutBeforeTheDialog) {
    app.model.setField(SummaryField::SongName, "Act 1: The Start");
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
    app.model.setField(SummaryField::SongName, "Act 1 - The Start");
    app.model.setField(SummaryField::Genre, "drum and bass");
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {out};
    trigger("smmenu");
    ASSERT_EQ(app.boxes.shown.size(), 2);
    EXPECT_EQ(app.boxes.last().text, "StepMania export complete!");
}

} // namespace
