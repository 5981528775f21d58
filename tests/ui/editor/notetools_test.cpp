// The step editor at every snap and with every note kind: where a press
// lands, what it writes, how notes between the snap's rows are shown,
// selected and removed, and that changing the snap moves nothing.
#include "core/edit/snaps.h"
#include "core/files/kolvofile.h"
#include "core/import/stepimport.h"
#include "core/song/songmodel.h"
#include "core/ssc/sscwriter.h"
#include "testapp.h"
#include "ui/editor/notecolours.h"
#include "ui/editor/notetools.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/stepgrid.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

class NoteToolsTest : public ::testing::Test {
  protected:
    test::TestApp app;
    QWidget summary;
    QPointer<StepEditorWindow> editor;

    void open(int style = Single, int level = Basic) {
        app.ctx.session.currentstyle = style;
        app.ctx.session.currentlevel = level;
        editor = new StepEditorWindow(app.ctx, &summary);
        editor->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    }
    void TearDown() override { delete editor.data(); }
    NoteTools* tools() const { return editor->findChild<NoteTools*>(); }

    // The pixel in the middle of row `row` (0-based) of the snap, column 1..10.
    static QPoint rowCentre(int snap, int row, int column) {
        const int y = grid::kOriginY + grid::rowPitchAt(snap) * row + grid::rowPitchAt(snap) / 2;
        return QPoint(twips(grid::columnLeft(column)) + 16, twips(y));
    }
    void press(Qt::MouseButton button, QPoint at, Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(editor->grid(), button, mods, at);
    }
    NoteKind noteAt(int bar, int fineRow, int panel) const {
        return app.model.chartSteps(Single, Basic).kindAt(bar, fineRow, panel);
    }
    QColor shown(QPoint at) const { return editor->grid()->grab().toImage().pixelColor(at); }
};

TEST_F(NoteToolsTest, APressAtEachSnapPlacesAndRemovesOnItsRow) {
    struct Case {
        int snap, row, fineRow;
    };
    const Case cases[] = {{4, 3, 144}, {8, 5, 120},   {12, 1, 16},    {12, 11, 176}, {16, 7, 84},
                          {24, 1, 8},  {24, 23, 184}, {48, 13, 52},   {64, 1, 3},    {64, 63, 189},
                          {192, 1, 1}, {192, 97, 97}, {192, 191, 191}};
    open();
    for (const Case& c : cases) {
        tools()->setSnap(c.snap);
        ASSERT_EQ(editor->grid()->snap(), c.snap);
        const QPoint at = rowCentre(c.snap, c.row, PanelDown);
        press(Qt::LeftButton, at);
        EXPECT_EQ(noteAt(1, c.fineRow, PanelDown), NoteKind::Arrow) << c.snap << "/" << c.row;
        EXPECT_EQ(app.model.chartSteps(Single, Basic).size(), 1u) << c.snap << "/" << c.row;
        EXPECT_EQ(shown(at), noteKindColour(NoteKind::Arrow)) << c.snap << "/" << c.row;
        press(Qt::LeftButton, at);
        EXPECT_TRUE(app.model.chartSteps(Single, Basic).empty()) << c.snap << "/" << c.row;
    }
}

TEST_F(NoteToolsTest, EachKindComesFromTheChoiceOrAModifierAndShowsInItsColour) {
    struct Case {
        NoteKind chosen;
        Qt::MouseButton button;
        Qt::KeyboardModifiers mods;
        NoteKind written;
    };
    const Case cases[] = {
        {NoteKind::Arrow, Qt::LeftButton, {}, NoteKind::Arrow},
        {NoteKind::Arrow, Qt::RightButton, {}, NoteKind::FreezeStart},
        {NoteKind::Arrow, Qt::LeftButton, Qt::ShiftModifier, NoteKind::Mine},
        {NoteKind::Arrow, Qt::RightButton, Qt::ShiftModifier, NoteKind::RollStart},
        {NoteKind::RollStart, Qt::LeftButton, {}, NoteKind::RollStart},
        {NoteKind::Mine, Qt::LeftButton, {}, NoteKind::Mine},
        {NoteKind::Lift, Qt::LeftButton, {}, NoteKind::Lift},
        {NoteKind::Fake, Qt::LeftButton, {}, NoteKind::Fake},
        {NoteKind::Fake, Qt::RightButton, {}, NoteKind::FreezeStart},
    };
    open();
    for (int snap : {32, 24}) {
        tools()->setSnap(snap);
        for (const Case& c : cases) {
            ChartSteps none;
            app.model.swapChartSteps(Single, Basic, none);
            editor->refreshgrid();
            tools()->setNoteKind(c.chosen);
            const QPoint at = rowCentre(snap, 0, PanelUp);
            press(c.button, at, c.mods);
            EXPECT_EQ(noteAt(1, 0, PanelUp), c.written) << snap << " " << int(c.chosen);
            EXPECT_EQ(shown(at), noteKindColour(c.written)) << snap << " " << int(c.chosen);
        }
    }
    // Another kind replaces a note; the same kind again removes it; each is
    // one step of the history.
    tools()->setNoteKind(NoteKind::Mine);
    const QPoint at = rowCentre(24, 5, PanelLeft);
    press(Qt::LeftButton, at);
    tools()->setNoteKind(NoteKind::Lift);
    press(Qt::LeftButton, at);
    EXPECT_EQ(noteAt(1, 40, PanelLeft), NoteKind::Lift);
    EXPECT_EQ(app.ctx.document.history().undoText(), "Place lift, bar 1");
    app.ctx.document.history().undo();
    EXPECT_EQ(noteAt(1, 40, PanelLeft), NoteKind::Mine);
    QTest::qWait(80); // the editor repaints from the history on its 50 ms timer
    EXPECT_EQ(shown(at), noteKindColour(NoteKind::Mine));
    press(Qt::LeftButton, at, Qt::ShiftModifier);
    EXPECT_EQ(noteAt(1, 40, PanelLeft), NoteKind::None);
}

TEST_F(NoteToolsTest, TheKeysStepTheSnapAndChooseTheKind) {
    open();
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
    editor->setFocus();
    EXPECT_EQ(editor->grid()->snap(), 32);
    EXPECT_EQ(tools()->snapBox()->currentText(), "32nd");
    QTest::keyClick(editor, Qt::Key_Period);
    EXPECT_EQ(editor->grid()->snap(), 48);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(editor, Qt::Key_Period);
    EXPECT_EQ(tools()->snapBox()->currentText(), "192nd"); // the finest stays
    for (int i = 0; i < 12; ++i)
        QTest::keyClick(editor, Qt::Key_Comma);
    EXPECT_EQ(editor->grid()->snap(), 4);
    EXPECT_EQ(tools()->snapBox()->currentText(), "4th");

    const std::pair<Qt::Key, NoteKind> keys[] = {
        {Qt::Key_M, NoteKind::Mine},        {Qt::Key_R, NoteKind::RollStart},
        {Qt::Key_L, NoteKind::Lift},        {Qt::Key_K, NoteKind::Fake},
        {Qt::Key_F, NoteKind::FreezeStart}, {Qt::Key_A, NoteKind::Arrow}};
    for (auto [key, kind] : keys) {
        QTest::keyClick(editor, key);
        EXPECT_EQ(editor->grid()->noteKind(), kind) << int(key);
        EXPECT_EQ(NoteKind(tools()->kindBox()->currentData().toInt()), kind);
    }
}

TEST_F(NoteToolsTest, NotesBetweenTheRowsStayPutAreShownInTheirSnapsColourAndCanBeRemoved) {
    // A 12th, a 64th and a 192nd in bar 1, a 16th (on the 32nd grid) beside them.
    const Note notes[] = {{tickOf(1, 16), PanelLeft, NoteKind::Arrow},
                          {tickOf(1, 75), PanelDown, NoteKind::Mine},
                          {tickOf(1, 97), PanelUp, NoteKind::RollStart},
                          {tickOf(1, 36), PanelRight, NoteKind::FreezeStart}};
    ChartSteps steps;
    for (const Note& n : notes)
        steps.append(n);
    steps.finish();
    app.model.swapChartSteps(Single, Basic, steps);
    const ChartSteps before = app.model.chartSteps(Single, Basic);
    open();
    StepGrid* g = editor->grid();
    for (int snap : grid::kSnaps) {
        tools()->setSnap(snap);
        const QImage image = g->grab().toImage();
        for (const Note& n : notes) {
            const int own = grid::snapOfFineRow(fineRowOfTick(n.tick));
            const QRect r = g->noteRect(n);
            // On the snap: the kind's colour; between its rows: the note's
            // own snap colour beside a strip of the kind's.
            const QColor middle = image.pixelColor(r.center() + QPoint(4, 0));
            if (fineRowOfTick(n.tick) % grid::fineStep(snap) == 0)
                EXPECT_EQ(middle, noteKindColour(n.kind)) << snap << " " << n.tick;
            else
                EXPECT_EQ(middle, snapColour(own)) << snap << " " << n.tick;
            // Drawn at its own height at every snap.
            EXPECT_EQ(r.top(), twips(grid::kOriginY + 20 * fineRowOfTick(n.tick)))
                << snap << " " << n.tick;
        }
    }
    EXPECT_TRUE(app.model.chartSteps(Single, Basic) == before);
    EXPECT_FALSE(app.ctx.document.isModified());

    // At 16ths the 64th is between rows: a press selects it, a second press
    // removes it; the 192nd goes with Delete. Undo brings both back.
    tools()->setSnap(16);
    press(Qt::LeftButton, g->noteRect(notes[1]).center());
    ASSERT_TRUE(g->selectedNote().has_value());
    EXPECT_EQ(*g->selectedNote(), notes[1]);
    EXPECT_TRUE(app.model.chartSteps(Single, Basic) == before);
    press(Qt::LeftButton, g->noteRect(notes[1]).center());
    EXPECT_EQ(noteAt(1, 75, PanelDown), NoteKind::None);
    EXPECT_FALSE(g->selectedNote().has_value());

    press(Qt::RightButton, g->noteRect(notes[2]).center());
    EXPECT_EQ(*g->selectedNote(), notes[2]);
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Delete);
    EXPECT_EQ(noteAt(1, 97, PanelUp), NoteKind::None);
    EXPECT_EQ(app.model.chartSteps(Single, Basic).size(), 2u);

    app.ctx.document.history().undo();
    app.ctx.document.history().undo();
    EXPECT_TRUE(app.model.chartSteps(Single, Basic) == before);
}

TEST_F(NoteToolsTest, AfterATripThroughEverySnapThe32ndGridIsAsItWas) {
    // The grid at 32nd rows after a trip through the other snaps is the grid
    // it was, pixel for pixel.
    app.model.setStep(Single, Basic, 1, 5, PanelLeft, StepArrow);
    app.model.setStep(Single, Basic, 1, 9, PanelRight, StepFreezeStart);
    open();
    const QImage first = editor->grid()->grab().toImage();
    for (int snap : grid::kSnaps)
        tools()->setSnap(snap);
    tools()->setSnap(32);
    EXPECT_EQ(editor->grid()->grab().toImage(), first);
}

// A Beginner chart written in the editor past bar 100 with notes of every
// kind at 12ths, 24ths, 48ths, 64ths and 192nds keeps every note through a
// save, an open and an .ssc export read back.
TEST_F(NoteToolsTest, ABeginnerChartOfEveryKindSurvivesSaveOpenAndSscExport) {
    open(Single, Beginner);
    QTest::keyClicks(editor->gotobat(), QStringLiteral("101"));
    QTest::keyClick(editor->gotobat(), Qt::Key_Return);
    ASSERT_EQ(app.ctx.session.currentbar, 101);
    struct Press {
        int snap, row, column;
        NoteKind chosen;
        Qt::MouseButton button;
        Qt::KeyboardModifiers mods;
    };
    const Press bar101[] = {
        {12, 1, PanelLeft, NoteKind::Arrow, Qt::LeftButton, {}},
        {192, 191, PanelLeft, NoteKind::Fake, Qt::LeftButton, {}},
        {24, 5, PanelDown, NoteKind::Arrow, Qt::RightButton, Qt::ShiftModifier},
        {64, 3, PanelUp, NoteKind::Arrow, Qt::LeftButton, Qt::ShiftModifier},
        {48, 7, PanelUp, NoteKind::Arrow, Qt::RightButton, {}},
        {192, 100, PanelRight, NoteKind::Lift, Qt::LeftButton, {}},
    };
    const Press bar102[] = {
        {4, 0, PanelDown, NoteKind::Arrow, Qt::LeftButton, {}},
        {8, 2, PanelUp, NoteKind::Arrow, Qt::LeftButton, {}},
    };
    auto write = [&](const Press& p) {
        tools()->setSnap(p.snap);
        tools()->setNoteKind(p.chosen);
        press(p.button, rowCentre(p.snap, p.row, p.column), p.mods);
    };
    for (const Press& p : bar101)
        write(p);
    editor->findChild<QPushButton*>(QStringLiteral("Command2"))->click(); // Next bar
    for (const Press& p : bar102)
        write(p);

    const std::vector<Note> expected = {
        {tickOf(101, 9), PanelUp, NoteKind::Mine},
        {tickOf(101, 16), PanelLeft, NoteKind::Arrow},
        {tickOf(101, 28), PanelUp, NoteKind::FreezeStart},
        {tickOf(101, 40), PanelDown, NoteKind::RollStart},
        {tickOf(101, 100), PanelRight, NoteKind::Lift},
        {tickOf(101, 191), PanelLeft, NoteKind::Fake},
        {tickOf(102, 0), PanelDown, NoteKind::Arrow},
        {tickOf(102, 48), PanelUp, NoteKind::Arrow},
    };
    auto notesOf = [](const SongModel& m) {
        const auto n = m.chartSteps(Single, Beginner).notes();
        return std::vector<Note>(n.begin(), n.end());
    };
    ASSERT_EQ(notesOf(app.model), expected);
    EXPECT_TRUE(app.model.chartSteps(Single, Basic).empty());

    const QString path = app.path(QStringLiteral("beginner.kolvo"));
    ASSERT_FALSE(writeKolvoFile(path, app.model).has_value());
    SongModel reopened;
    ASSERT_FALSE(readKolvoFile(path, reopened).has_value());
    EXPECT_EQ(notesOf(reopened), expected);
    EXPECT_TRUE(reopened.hasData(Single, Beginner));

    const QByteArray ssc = encodeSscFile(reopened);
    EXPECT_TRUE(ssc.contains("#DIFFICULTY:Beginner;"));
    const ImportResult back = importStepFile(ssc, QStringLiteral("beginner.ssc"), StepFormat::Ssc);
    ASSERT_TRUE(back.ok());
    EXPECT_TRUE(back.losses.isEmpty()) << importLossReport(back.losses).toStdString();
    EXPECT_EQ(notesOf(*back.song), expected);
}

} // namespace
