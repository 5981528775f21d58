// Every edit a window makes is one step of the song's history: done,
// undone and redone, the whole song is exactly as before and after.
#include "core/edit/clipboardbar.h"
#include "core/song/songmodel.h"
#include "document/document.h"
#include "testapp.h"
#include "ui/dwi/freezes.h"
#include "ui/editor/notetools.h"
#include "ui/editor/powertools.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/stepgrid.h"
#include "ui/editor/transformations.h"
#include "ui/summary/filecommands.h"
#include "ui/summary/songsummarywindow.h"
#include "ui/timing/grabber.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <functional>

using namespace kolvo;

namespace {

// A song with something in every part an edit can touch.
void fillSong(SongModel& m) {
    m.resetparameters();
    m.setField(SummaryField::SongName, QStringLiteral("Before"));
    for (int b = 1; b <= kBars; b += 3)
        for (int p = 1; p <= kArrowPanels; ++p)
            m.setStep(Double, Maniac, b, 1 + (b + p) % kRows, p, p % 3 == 0 ? 2 : 1);
    m.setStep(Double, Maniac, kBars, 5, PanelUp, StepArrow); // Insert Bar asks about this
    m.setStep(Single, Basic, 4, 9, PanelLeft, StepArrow);
    m.setDataexists(Single, Basic, Value::number(1));
    m.setDataexists(Double, Maniac, Value::number(1));
    m.setFootlevels(Double, Maniac, Value::text("6"));
    m.setTempo(1, 1, 7, 2, BPMCHANNEL, 150);
    m.setTempo(1, 1, 9, 3, FREEZECHANNEL, 400);
}

QString barText(int firstRow) {
    QString t = QString::fromLatin1(kClipboardBarHeader);
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            t += QString::number((r + p + firstRow) % 5 == 0 ? 1 : 0) + u',';
    return t;
}

class UndoTest : public ::testing::Test {
  public: // the table's edits drive the fixture
    void SetUp() override {
        fillSong(app.model);
        app.ctx.document.startFresh();
        app.ctx.session.currentstyle = Double;
        app.ctx.session.currentlevel = Maniac;
    }
    void TearDown() override {
        delete editor.data();
        delete summary.data();
    }
    // With `summaryWindow`, the editor locks it as a chart button does.
    StepEditorWindow* openEditor(int bar, QWidget* summaryWindow = nullptr) {
        editor = new StepEditorWindow(app.ctx, summaryWindow);
        editor->show();
        app.ctx.session.currentbar = bar;
        editor->barnumber()->setText(QString::number(bar));
        return editor;
    }
    template <class W> W* tool(int bar, QWidget* summaryWindow = nullptr) {
        openEditor(bar, summaryWindow);
        auto* w = new W(app.ctx, editor);
        w->show();
        return w;
    }
    SongSummaryWindow* openSummary() {
        summary = new SongSummaryWindow(app.ctx);
        summary->show();
        return summary;
    }

    test::TestApp app;
    QPointer<StepEditorWindow> editor;
    QPointer<SongSummaryWindow> summary;
};

struct EditCase {
    const char* step; // the step's name as the Undo item shows it
    std::function<void(UndoTest&)> edit;
};

TEST_F(UndoTest, EveryEditIsOneStepThatUndoesAndRedoesExactly) {
    const EditCase cases[] = {
        {"Place arrow, bar 3",
         [](UndoTest& t) {
             t.openEditor(3);
             QTest::mousePress(t.editor->grid(), Qt::LeftButton, {},
                               StepGrid::cellRect(12, 4).center());
         }},
        {"Place mine, bar 3",
         [](UndoTest& t) {
             // Shift and the left button at the sixth 24th row.
             StepEditorWindow* k = t.openEditor(3);
             k->findChild<NoteTools*>()->setSnap(24);
             QTest::mousePress(k->grid(), Qt::LeftButton, Qt::ShiftModifier,
                               QPoint(StepGrid::cellRect(1, 1).center().x(),
                                      twips(grid::kOriginY + 160 * 5 + 80)));
         }},
        {"Insert Bar, bar 12",
         [](UndoTest& t) {
             t.app.boxes.answers << MsgAnswer::Yes;
             t.tool<PowerTools>(12)->insertBarButton()->click();
         }},
        {"Delete Bar, bar 4",
         [](UndoTest& t) {
             t.app.boxes.answers << MsgAnswer::Yes;
             t.tool<PowerTools>(4)->deleteBarButton()->click();
         }},
        {"Clear Bar, bar 7",
         [](UndoTest& t) {
             t.app.boxes.answers << MsgAnswer::Yes;
             t.tool<PowerTools>(7)->clearBarButton()->click();
         }},
        {"Cut Bar, bar 10", [](UndoTest& t) { t.tool<PowerTools>(10)->cutBarButton()->click(); }},
        {"Paste Insert, bar 2",
         [](UndoTest& t) {
             QGuiApplication::clipboard()->setText(barText(1));
             t.app.boxes.answers << MsgAnswer::Yes;
             t.tool<PowerTools>(2)->pasteInsertButton()->click();
         }},
        {"Paste Replace, bar 12",
         [](UndoTest& t) {
             QGuiApplication::clipboard()->setText(barText(2));
             t.tool<PowerTools>(12)->pasteReplaceButton()->click();
         }},
        {"Paste Merge, bar 13",
         [](UndoTest& t) {
             QGuiApplication::clipboard()->setText(barText(3));
             t.tool<PowerTools>(13)->pasteMergeButton()->click();
         }},
        {"Mirror Bar, bar 1",
         [](UndoTest& t) { t.tool<Transformations>(1)->mirrorButton()->click(); }},
        {"Flip Bar, bar 4", [](UndoTest& t) { t.tool<Transformations>(4)->flipButton()->click(); }},
        {"Turn Bar, bar 7", [](UndoTest& t) { t.tool<Transformations>(7)->turnButton()->click(); }},
        {"Foot Level",
         [](UndoTest& t) {
             // Typing "12" over the old level is one step.
             QLineEdit* box = t.openEditor(1)->footlevel();
             box->setFocus();
             box->selectAll();
             QTest::keyClicks(box, QStringLiteral("12"));
         }},
        {"Delete Single Basic",
         [](UndoTest& t) {
             t.app.boxes.answers << MsgAnswer::Yes;
             t.openSummary()->menuAction(QStringLiteral("delsinglebasicmenu"))->trigger();
         }},
        {"Add BPM Change, bar 20",
         [](UndoTest& t) {
             auto* f = new Freezes(t.app.ctx, t.openSummary());
             f->setAttribute(Qt::WA_DeleteOnClose, false);
             f->show();
             f->findChild<QLineEdit*>("Text1")->setText("20");
             f->findChild<QLineEdit*>("Text2")->setText("2");
             f->findChild<QLineEdit*>("Text3")->setText("175");
             f->findChild<QPushButton*>("Command3")->click();
             delete f;
         }},
        {"Add Freeze, bar 21",
         [](UndoTest& t) {
             auto* f = new Freezes(t.app.ctx, t.openSummary());
             f->show();
             f->findChild<QLineEdit*>("Text4")->setText("21");
             f->findChild<QLineEdit*>("Text5")->setText("1");
             f->findChild<QLineEdit*>("Text6")->setText("300");
             f->findChild<QPushButton*>("Command4")->click();
             delete f;
         }},
        {"Delete Freeze, bar 9",
         [](UndoTest& t) {
             auto* f = new Freezes(t.app.ctx, t.openSummary());
             f->show();
             auto* list = f->findChild<QListWidget*>("List1");
             for (int i = 0; i < list->count(); ++i)
                 if (list->item(i)->text().contains("freeze"))
                     list->setCurrentRow(i);
             f->findChild<QPushButton*>("Command2")->click();
             delete f;
         }},
        {"Step Grab",
         [](UndoTest& t) {
             t.app.model.setField(SummaryField::Bpm, "120");
             t.app.model.setField(SummaryField::Gap, "0");
             t.app.player.running = true;
             EditorLink link;
             link.editor = t.openEditor(1);
             link.openToolWindows = [] { return QList<QWidget*>(); };
             link.startUpdatenow = [] {};
             QPointer<Grabber> g = new Grabber(t.app.ctx, link);
             g->show();
             ASSERT_TRUE(g->start());
             // Three arrows in bars 2..4, then the session ends.
             for (int ms : {2100, 4300, 6600}) {
                 t.app.player.playPosition = ms;
                 g->keyDown(37); // Left
             }
             g->close();
         }},
        {"Edit Song Name",
         [](UndoTest& t) {
             QLineEdit* name = t.openSummary()->findChild<QLineEdit*>("songname");
             name->setFocus();
             QTest::keyClicks(name, QStringLiteral(" and after"));
         }},
        {"Mark as New", [](UndoTest& t) { t.openSummary()->markAsNewOption(2)->click(); }},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.step);
        fillSong(app.model);
        app.ctx.document.startFresh();
        SongModel before;
        before.copySongFrom(app.model);

        c.edit(*this);
        QCoreApplication::processEvents();

        QUndoStack& history = app.ctx.document.history();
        ASSERT_EQ(history.count(), 1);
        EXPECT_EQ(history.undoText(), QString::fromLatin1(c.step));
        EXPECT_TRUE(app.ctx.document.isModified());
        SongModel after;
        after.copySongFrom(app.model);
        EXPECT_FALSE(after.sameSongAs(before));

        history.undo();
        EXPECT_TRUE(app.model.sameSongAs(before));
        EXPECT_FALSE(app.ctx.document.isModified());
        history.redo();
        EXPECT_TRUE(app.model.sameSongAs(after));
        history.undo();
        EXPECT_TRUE(app.model.sameSongAs(before));

        delete editor.data();
        delete summary.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(UndoTest, UndoItemsNameTheStepAndRefreshTheWindowsShowingTheSong) {
    SongSummaryWindow* w = openSummary();
    QAction* undo = w->menuAction(QStringLiteral("undomenu"));
    QAction* redo = w->menuAction(QStringLiteral("redomenu"));
    ASSERT_NE(undo, nullptr);
    ASSERT_NE(redo, nullptr);
    EXPECT_EQ(undo->text(), "&Undo");
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_EQ(redo->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    // Ctrl+Y stays the Synchronisation Checker's.
    EXPECT_EQ(w->menuAction(QStringLiteral("synchromenu"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::Key_Y));

    // A paste in the editor: its item names it, the summary's too.
    QGuiApplication::clipboard()->setText(barText(0));
    auto* power = tool<PowerTools>(12, w);
    ASSERT_FALSE(w->isEnabled());
    power->pasteReplaceButton()->click();
    EXPECT_EQ(undo->text(), "&Undo Paste Replace, Single Basic bar 12");
    auto* editorUndo = editor->findChild<QAction*>(QStringLiteral("undomenu"));
    ASSERT_NE(editorUndo, nullptr);
    EXPECT_EQ(editorUndo->text(), "&Undo Paste Replace, bar 12");
    EXPECT_TRUE(w->isWindowModified());

    // The summary window is locked while the editor is open: its undo does
    // nothing; the editor's takes the step back and repaints the grid.
    editor->updatenow()->stop();
    undo->trigger();
    EXPECT_EQ(app.ctx.document.history().index(), 1);
    editorUndo->trigger();
    EXPECT_EQ(app.ctx.document.history().index(), 0);
    EXPECT_EQ(redo->text(), "&Redo Paste Replace, Single Basic bar 12");
    EXPECT_TRUE(editor->updatenow()->isActive());
    EXPECT_FALSE(w->isWindowModified());

    // Edit > Delete undone from the summary window shows on its chart button.
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(w->isEnabled());
    w->datacheck();
    app.boxes.answers << MsgAnswer::Yes;
    w->menuAction(QStringLiteral("delsinglebasicmenu"))->trigger();
    EXPECT_EQ(w->chartButton(1)->text(), "No Data");
    undo->trigger();
    EXPECT_EQ(w->chartButton(1)->text(), "Data");
    redo->trigger();
    EXPECT_EQ(w->chartButton(1)->text(), "No Data");
}

// An editor shows one chart: a step of another chart is named with its chart
// and left for the summary window, where every chart step is named.
TEST_F(UndoTest, AnotherChartsStepIsNamedAndLeftForTheSummaryWindow) {
    app.model.setStep(Single, Maniac, 12, 1, PanelLeft, StepEmpty);
    app.ctx.document.startFresh();
    SongSummaryWindow* w = openSummary();
    QAction* undo = w->menuAction(QStringLiteral("undomenu"));
    app.ctx.document.setStep(SongModel::slotOf(Single, Maniac), 12, 1, PanelLeft, StepArrow);
    EXPECT_EQ(undo->text(), "&Undo Place arrow, Single Maniac bar 12");

    app.ctx.session.currentstyle = Single;
    app.ctx.session.currentlevel = Basic;
    openEditor(1, w);
    auto* editorUndo = editor->findChild<QAction*>(QStringLiteral("undomenu"));
    ASSERT_NE(editorUndo, nullptr);
    EXPECT_EQ(editorUndo->text(), "&Undo Place arrow, Single Maniac bar 12 (another chart: "
                                  "close the editor to undo it)");
    EXPECT_FALSE(editorUndo->isEnabled());
    editorUndo->trigger();
    EXPECT_EQ(app.model.step(Single, Maniac, 12, 1, PanelLeft), StepArrow);
    // A step of the whole song is the editor's to take back.
    app.ctx.document.setField(SummaryField::Artist, "Someone");
    EXPECT_EQ(editorUndo->text(), "&Undo Edit Artist");
    EXPECT_TRUE(editorUndo->isEnabled());
    editorUndo->trigger();
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // In that chart's own editor the step is plainly its own.
    app.ctx.session.currentlevel = Maniac;
    openEditor(12, w);
    editorUndo = editor->findChild<QAction*>(QStringLiteral("undomenu"));
    EXPECT_EQ(editorUndo->text(), "&Undo Place arrow, bar 12");
    editorUndo->trigger();
    EXPECT_EQ(app.model.step(Single, Maniac, 12, 1, PanelLeft), StepEmpty);
    auto* editorRedo = editor->findChild<QAction*>(QStringLiteral("redomenu"));
    EXPECT_EQ(editorRedo->text(), "&Redo Place arrow, bar 12");
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w->menuAction(QStringLiteral("redomenu"))->text(),
              "&Redo Place arrow, Single Maniac bar 12");
}

TEST_F(UndoTest, TypingInOneFieldIsOneStepUntilAnotherFieldTakesOver) {
    SongSummaryWindow* w = openSummary();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    auto* name = w->findChild<QLineEdit*>("songname");
    auto* artist = w->findChild<QLineEdit*>("artist");
    name->setFocus();
    QTest::keyClicks(name, "abc");
    artist->setFocus();
    QTest::keyClicks(artist, "xy");
    name->setFocus();
    QTest::keyClicks(name, "d");
    QUndoStack& h = app.ctx.document.history();
    ASSERT_EQ(h.count(), 3);
    EXPECT_EQ(h.text(0), "Edit Song Name");
    EXPECT_EQ(h.text(1), "Edit Artist");
    EXPECT_EQ(app.model.songname(), "Beforeabcd");
    // Ctrl+Z in the field is the history's Undo, not the box's own.
    QTest::keyClick(name, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(app.model.songname(), "Beforeabc");
    EXPECT_EQ(h.index(), 2);
    EXPECT_EQ(name->text(), "Beforeabc"); // the field shows the undone text
    h.undo();
    EXPECT_EQ(app.model.artist(), "");
    h.undo();
    EXPECT_EQ(name->text(), "Before");
    EXPECT_FALSE(app.ctx.document.isModified());
}

TEST_F(UndoTest, NewOpenAndSaveSetTheHistoryAndTheUnsavedState) {
    SongSummaryWindow* w = openSummary();
    app.ctx.document.setField(SummaryField::Artist, "Someone");
    EXPECT_TRUE(app.ctx.document.isModified());
    // Save: the history stays, the song counts as saved.
    app.dialogs.answers << app.path("song.kolvo");
    w->fileCommands().savemenu();
    EXPECT_FALSE(app.ctx.document.isModified());
    EXPECT_EQ(app.ctx.document.history().count(), 1);
    EXPECT_EQ(app.ctx.document.filePath(), app.path("song.kolvo"));
    app.ctx.document.history().undo();
    EXPECT_TRUE(app.ctx.document.isModified());
    // New: no history left to undo into the old song.
    app.boxes.answers << MsgAnswer::No;
    w->fileCommands().newmenu();
    EXPECT_EQ(app.ctx.document.history().count(), 0);
    EXPECT_FALSE(app.ctx.document.isModified());
    // Open: the same.
    app.ctx.document.setField(SummaryField::Genre, "Pop");
    EXPECT_TRUE(w->openFile(app.path("song.kolvo")));
    EXPECT_EQ(app.ctx.document.history().count(), 0);
    EXPECT_FALSE(app.ctx.document.isModified());
    EXPECT_EQ(app.model.artist(), "Someone");
}

} // namespace
