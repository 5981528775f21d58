// The editor's three tool windows against the real step editor, with
// scripted message boxes and a scripted player.
#include "core/edit/barops.h"
#include "core/edit/clipboardbar.h"
#include "ui/editor/powertools.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/tooldock.h"
#include "ui/editor/transformations.h"
#include "ui/editor/wideview.h"

#include "testapp.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {

const QString kBar100Question = QStringLiteral(
    "Kolvo only allows a maximum of 9999 bars per step pattern. Inserting a bar will cause the "
    "steps in bar 9999 to be irrevocably lost. Continue?");
// The last bar a chart can have.
constexpr int kLast = kMaxBars;
QString deleteQuestion(int bar) {
    return QStringLiteral("Warning! This will irrevocably delete all steps in bar %1! Go ahead?")
        .arg(bar);
}
const QString kInvalidClipboard =
    QStringLiteral("The clipboard does not contain a valid Kolvo bar.");

// A chart with one arrow in every bar that tells the bar apart.
// (The chart is the one the editor shows: Double Maniac throughout.)
void markBars(SongModel& m, int style = Double, int level = Maniac) {
    for (int b = 1; b <= kBars; ++b)
        m.setStep(style, level, b, 1 + (b - 1) % 32, 1 + (b - 1) / 32 % 10, StepArrow);
}
// Every note of the chart, in every bar.
std::vector<Note> chartCells(const SongModel& m, int style = Double, int level = Maniac) {
    const auto notes = m.chartSteps(style, level).notes();
    return {notes.begin(), notes.end()};
}

class ToolWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        app.model.resetparameters();
        app.ctx.session.currentstyle = Double;
        app.ctx.session.currentlevel = Maniac;
        openEditor();
    }
    void TearDown() override {
        ToolDock::setEmbeddedOverride(std::nullopt);
        delete editor.data();
    }
    void openEditor() {
        editor = new StepEditorWindow(app.ctx, nullptr);
        editor->move(100, 80);
        editor->show();
    }
    template <class W> W* open() {
        auto* w = new W(app.ctx, editor);
        w->show();
        return w;
    }
    void setBar(int bar) {
        app.ctx.session.currentbar = bar;
        editor->barnumber()->setText(QString::number(bar));
    }
    SongModel& model() { return app.model; }
    int s() { return app.ctx.session.currentstyle; }
    int l() { return app.ctx.session.currentlevel; }

    TestApp app;
    QPointer<StepEditorWindow> editor;
};

} // namespace

// ---- opening, closing and docking ----

TEST_F(ToolWindows, EachWindowSetsItsFlagAndCaptionAndRestoresThemHoweverClosed) {
    struct Case {
        const char* name;
        QPushButton* toggle;
        int AppContext::*flag;
        QString open, closed;
    };
    const Case cases[] = {
        {"PowerTools", editor->powerToolsButton(), &AppContext::powertoolsopen,
         QStringLiteral("<< Power Tools"), QStringLiteral("Power Tools >>")},
        {"Transformations", editor->transformsButton(), &AppContext::transformationsopen,
         QStringLiteral("<< Transforms"), QStringLiteral("Transforms >>")},
        {"WideView", editor->wideViewButton(), &AppContext::wideviewopen,
         QStringLiteral("<< Wide View"), QStringLiteral("Wide View >>")},
    };
    auto openByName = [&](const QString& name) -> QWidget* {
        if (name == "PowerTools")
            return open<PowerTools>();
        if (name == "Transformations")
            return open<Transformations>();
        return open<WideView>();
    };
    for (const Case& c : cases) {
        // Closed by its own close box.
        QPointer<QWidget> w = openByName(c.name);
        EXPECT_EQ(w->objectName(), c.name);
        EXPECT_EQ(app.ctx.*c.flag, 1) << c.name;
        EXPECT_EQ(c.toggle->text(), c.open) << c.name;
        EXPECT_TRUE(w->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.isNull()) << c.name;
        EXPECT_EQ(app.ctx.*c.flag, 0) << c.name;
        EXPECT_EQ(c.toggle->text(), c.closed) << c.name;

        // Closed by the editor's toggle (which finds it by name).
        w = openByName(c.name);
        c.toggle->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.isNull()) << c.name;
        EXPECT_EQ(app.ctx.*c.flag, 0) << c.name;
    }

    // The editor closing closes all three.
    QPointer<QWidget> tools[] = {open<PowerTools>(), open<Transformations>(), open<WideView>()};
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const auto& t : tools)
        EXPECT_TRUE(t.isNull());
    EXPECT_EQ(app.ctx.powertoolsopen + app.ctx.transformationsopen + app.ctx.wideviewopen, 0);
}

TEST_F(ToolWindows, WindowsDockBesideTheEditorAndFollowIt) {
    auto* power = open<PowerTools>();
    auto* trans = open<Transformations>();
    auto* wide = open<WideView>();
    QTest::qWait(150);

    auto check = [&] {
        const QRect e = editor->frameGeometry();
        EXPECT_EQ(power->pos(), QPoint(e.x(), e.bottom() + 1 + 2));
        EXPECT_EQ(trans->pos(),
                  QPoint(e.right() + 1 - trans->frameGeometry().width() - 2, e.bottom() + 1 + 2));
        EXPECT_EQ(wide->pos(), QPoint(e.right() + 1 + 2, e.y()));
    };
    check();
    EXPECT_TRUE(power->isWindow());

    editor->move(300, 40);
    trans->move(0, 0); // dragged away: comes back within one tick
    QTest::qWait(150);
    check();
}

TEST_F(ToolWindows, WindowsOpenedBeforeTheEditorShowsDockOnceItDoes) {
    // What the editor's auto-display does: the tools open while it loads.
    delete editor.data();
    editor = new StepEditorWindow(app.ctx, nullptr);
    editor->move(200, 150);
    QPointer<QWidget> tools[] = {open<WideView>(), open<PowerTools>(), open<Transformations>()};
    editor->show();
    QTest::qWait(150);
    const QRect e = editor->frameGeometry();
    for (const auto& t : tools)
        EXPECT_TRUE(t->isVisible()) << t->objectName().toStdString();
    EXPECT_EQ(tools[0]->pos(), QPoint(e.right() + 1 + 2, e.y()));
    EXPECT_EQ(tools[1]->pos(), QPoint(e.x(), e.bottom() + 1 + 2));
}

TEST_F(ToolWindows, WithoutWindowPlacementTheToolsAreLaidIntoTheEditor) {
    delete editor.data();
    ToolDock::setEmbeddedOverride(true);
    openEditor();
    const QSize base = editor->size();

    QPointer<PowerTools> power = open<PowerTools>();
    QPointer<Transformations> trans = open<Transformations>();
    QPointer<WideView> wide = open<WideView>();
    for (QWidget* w : {static_cast<QWidget*>(power.data()), static_cast<QWidget*>(trans.data()),
                       static_cast<QWidget*>(wide.data())}) {
        EXPECT_FALSE(w->isWindow()) << w->objectName().toStdString();
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(editor->rect().contains(w->geometry())) << w->objectName().toStdString();
    }
    EXPECT_EQ(power->pos(), QPoint(0, base.height() + 2));
    EXPECT_EQ(trans->geometry().right() + 1, base.width());
    EXPECT_EQ(wide->pos(), QPoint(base.width() + 2, 0));

    // Still working: a bar tool changes the chart and the wide view follows.
    setBar(3);
    model().setStep(s(), l(), 3, 1, PanelLeft, StepArrow);
    trans->mirrorButton()->click();
    EXPECT_EQ(model().step(s(), l(), 3, 1, PanelRight), StepArrow);
    QTest::qWait(100);
    EXPECT_TRUE(wide->Lines(WideView::cellIndex(2, PanelRight, 1)).visible);

    editor->wideViewButton()->click();
    editor->powerToolsButton()->click();
    EXPECT_NE(editor->size(), base);
    editor->transformsButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(power.isNull() && trans.isNull() && wide.isNull());
    EXPECT_EQ(editor->size(), base);
    EXPECT_EQ(editor->powerToolsButton()->text(), "Power Tools >>");
}

// ---- power tools ----

TEST_F(ToolWindows, InsertDeleteAndClearAskOnlyWhenStepsAreLostAndActOnlyOnYes) {
    auto* power = open<PowerTools>();
    struct Case {
        const char* what;
        int bar;
        bool fillBar100;  // give bar 100 steps (the insert question)
        bool emptyTheBar; // the current bar holds nothing
        QPushButton* (PowerTools::*button)() const;
        std::optional<MsgAnswer> answer; // nothing: no question expected
        QString question;
        bool changes;
    };
    const Case cases[] = {
        {"insert, last bar full, Yes", kLast, true, false, &PowerTools::insertBarButton,
         MsgAnswer::Yes, kBar100Question, true},
        {"insert, last bar full, No", kLast, true, false, &PowerTools::insertBarButton,
         MsgAnswer::No, kBar100Question, false},
        {"insert, last bar empty",
         40,
         false,
         false,
         &PowerTools::insertBarButton,
         std::nullopt,
         {},
         true},
        {"delete the last bar, Yes", kLast, true, false, &PowerTools::deleteBarButton,
         MsgAnswer::Yes, deleteQuestion(kLast), true},
        {"delete the last bar, No", kLast, true, false, &PowerTools::deleteBarButton, MsgAnswer::No,
         deleteQuestion(kLast), false},
        {"delete an empty bar moves the rest up",
         7,
         true,
         true,
         &PowerTools::deleteBarButton,
         std::nullopt,
         {},
         true},
        {"clear, Yes", 9, true, false, &PowerTools::clearBarButton, MsgAnswer::Yes,
         deleteQuestion(9), true},
        {"clear, No", 9, true, false, &PowerTools::clearBarButton, MsgAnswer::No, deleteQuestion(9),
         false},
        {"clear an empty bar", 9, true, true, &PowerTools::clearBarButton, std::nullopt, {}, false},
        {"cut never asks", kLast, true, false, &PowerTools::cutBarButton, std::nullopt, {}, true},
    };
    for (const Case& c : cases) {
        for (int b = 1; b <= kBars; ++b)
            clearBar(model(), s(), l(), b);
        markBars(model());
        clearBar(model(), s(), l(), kLast);
        if (c.fillBar100)
            model().setStep(s(), l(), kLast, 5, PanelDown, StepArrow);
        if (c.emptyTheBar)
            clearBar(model(), s(), l(), c.bar);
        setBar(c.bar);
        editor->updatenow()->stop();
        const auto before = chartCells(model());
        app.boxes.shown.clear();
        app.boxes.answers.clear();
        if (c.answer)
            app.boxes.answers << *c.answer;

        (power->*c.button)()->click();

        if (c.answer) {
            ASSERT_EQ(app.boxes.shown.size(), 1) << c.what;
            EXPECT_EQ(app.boxes.last().text, c.question) << c.what;
            EXPECT_EQ(app.boxes.last().title, "Sure?") << c.what;
            EXPECT_EQ(app.boxes.last().buttons, MsgButtons::YesNo) << c.what;
            EXPECT_EQ(app.boxes.last().icon, MsgIcon::None) << c.what;
        } else {
            EXPECT_TRUE(app.boxes.shown.isEmpty()) << c.what;
        }
        EXPECT_EQ(chartCells(model()) != before, c.changes) << c.what;
        EXPECT_EQ(editor->updatenow()->isActive(), c.changes) << c.what;
        EXPECT_EQ(app.ctx.session.currentbar, c.bar) << c.what;
        if (c.changes && c.bar == kLast) {
            EXPECT_FALSE(barHasSteps(model(), s(), l(), kLast)) << c.what;
        }
    }
}

TEST_F(ToolWindows, CopyAndPasteCarryABarBetweenCharts) {
    auto* power = open<PowerTools>();

    setBar(5);
    power->copyBarButton()->click();
    QString empty = QStringLiteral("KOLVO-BAR-DEF-v09");
    for (int i = 0; i < 320; ++i)
        empty += QStringLiteral("0,");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), empty);
    EXPECT_FALSE(editor->updatenow()->isActive());

    model().setStep(s(), l(), 5, 1, PanelLeft, StepFreezeStart);
    model().setStep(s(), l(), 5, 17, PanelUp2, StepArrow);
    model().setStep(s(), l(), 5, 32, PanelRight2, StepArrow);
    power->copyBarButton()->click();

    // Into another chart, in a fresh editor.
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app.ctx.session.currentstyle = Couple;
    app.ctx.session.currentlevel = Basic;
    openEditor();
    power = open<PowerTools>();
    setBar(60);
    model().setStep(Couple, Basic, 60, 3, PanelDown, StepArrow);
    power->pasteReplaceButton()->click(); // Paste Replc
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            EXPECT_EQ(model().step(Couple, Basic, 60, r, p), model().step(Double, Maniac, 5, r, p))
                << r << "/" << p;
    EXPECT_TRUE(editor->updatenow()->isActive());

    // Paste Merge keeps what is there: a freeze start stays a freeze start.
    setBar(61);
    model().setStep(Couple, Basic, 61, 17, PanelUp2, StepFreezeStart);
    model().setStep(Couple, Basic, 61, 2, PanelUp, StepArrow);
    power->pasteMergeButton()->click();
    EXPECT_EQ(model().step(Couple, Basic, 61, 17, PanelUp2), StepFreezeStart);
    EXPECT_EQ(model().step(Couple, Basic, 61, 2, PanelUp), StepArrow);
    EXPECT_EQ(model().step(Couple, Basic, 61, 1, PanelLeft), StepFreezeStart);

    // Paste Insert: bar 61 moves to 62, the pasted bar lands at 61.
    const auto bar61 = clipboardTextFromBar(model(), Couple, Basic, 61);
    power->pasteInsertButton()->click();
    EXPECT_EQ(clipboardTextFromBar(model(), Couple, Basic, 62), bar61);
    EXPECT_EQ(clipboardTextFromBar(model(), Couple, Basic, 61),
              clipboardTextFromBar(model(), Double, Maniac, 5));
    EXPECT_TRUE(app.boxes.shown.isEmpty());

    // With steps in the last bar, Paste Insert asks first; No changes nothing.
    model().setStep(Couple, Basic, kLast, 1, PanelLeft, StepArrow);
    const auto before = chartCells(model());
    app.boxes.answers << MsgAnswer::No;
    power->pasteInsertButton()->click();
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text, kBar100Question);
    EXPECT_EQ(chartCells(model()), before);

    // At the last bar, Yes: the old last bar gives way to the pasted one.
    setBar(kLast);
    app.boxes.answers << MsgAnswer::Yes;
    power->pasteInsertButton()->click();
    EXPECT_EQ(app.boxes.shown.size(), 2);
    EXPECT_EQ(clipboardTextFromBar(model(), Couple, Basic, kLast),
              clipboardTextFromBar(model(), Double, Maniac, 5));
    EXPECT_EQ(clipboardTextFromBar(model(), Couple, Basic, kLast - 1),
              clipboardTextFromBar(SongModel(), Single, Basic, 1)); // untouched, empty
}

TEST_F(ToolWindows, AnInvalidClipboardIsRefusedByEveryPasteAndChangesNothing) {
    auto* power = open<PowerTools>();
    markBars(model());
    setBar(4);
    const QString good = clipboardTextFromBar(model(), s(), l(), 4);
    const QString texts[] = {
        good.toLower(),                    // a lower-case header
        good.left(17 + 2 * 200),           // 200 fields
        QString(good).replace(40, 1, "7"), // a field other than 0, 1, 2
        QStringLiteral("hello"),
    };
    for (const QString& text : texts) {
        for (QPushButton* paste :
             {power->pasteInsertButton(), power->pasteReplaceButton(), power->pasteMergeButton()}) {
            QGuiApplication::clipboard()->setText(text);
            const auto before = chartCells(model());
            app.boxes.shown.clear();
            editor->updatenow()->stop();
            paste->click();
            ASSERT_EQ(app.boxes.shown.size(), 1) << paste->text().toStdString();
            EXPECT_EQ(app.boxes.last().text, kInvalidClipboard);
            EXPECT_EQ(app.boxes.last().title, "Could not load from clipboard.");
            EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
            EXPECT_EQ(app.boxes.last().buttons, MsgButtons::Ok);
            EXPECT_EQ(chartCells(model()), before);
            EXPECT_FALSE(editor->updatenow()->isActive());
        }
    }
}

TEST_F(ToolWindows, TempoEventsStayPutWhenBarsMoveInSingleBasic) {
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app.ctx.session.currentstyle = Single;
    app.ctx.session.currentlevel = Basic;
    openEditor();
    auto* power = open<PowerTools>();
    model().setTempo(Single, Basic, 10, 2, BPMCHANNEL, 180);
    model().setTempo(Single, Basic, 11, 4, FREEZECHANNEL, 400);
    model().setStep(Single, Basic, 10, 9, PanelDown, StepArrow);

    setBar(3);
    power->insertBarButton()->click(); // insert
    EXPECT_EQ(model().step(Single, Basic, 11, 9, PanelDown), StepArrow);
    power->cutBarButton()->click();    // cut
    power->deleteBarButton()->click(); // delete (bar 3 is empty now: no question)
    EXPECT_EQ(model().step(Single, Basic, 9, 9, PanelDown), StepArrow);
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_EQ(model().tempo(Single, Basic, 10, 2, BPMCHANNEL), 180);
    EXPECT_EQ(model().tempo(Single, Basic, 11, 4, FREEZECHANNEL), 400);
    EXPECT_FALSE(model().hasTempo(Single, Basic, 9, 2, BPMCHANNEL));
}

// ---- transformations ----

TEST_F(ToolWindows, TransformationsRewriteTheCurrentBarAndHideTurnForSolo) {
    auto* trans = open<Transformations>();
    EXPECT_TRUE(trans->turnButton()->isVisible());
    EXPECT_EQ(trans->turnButton()->text(), QStringLiteral("Turn Bar 90\u00B0 Clockwise"));
    setBar(8);
    model().setStep(s(), l(), 8, 5, PanelLeft, StepArrow);
    model().setStep(s(), l(), 8, 6, PanelDown2, StepFreezeStart);
    editor->updatenow()->stop();

    trans->mirrorButton()->click();
    EXPECT_EQ(model().step(s(), l(), 8, 5, PanelRight), StepArrow);
    EXPECT_EQ(model().step(s(), l(), 8, 5, PanelLeft2), StepEmpty);
    EXPECT_TRUE(editor->updatenow()->isActive());
    EXPECT_EQ(model().step(s(), l(), 8, 6, PanelDown2), StepFreezeStart); // not moved by Mirror

    trans->flipButton()->click();
    EXPECT_EQ(model().step(s(), l(), 8, 6, PanelDown2), StepEmpty); // moved by Flip
    EXPECT_EQ(model().step(s(), l(), 8, 6, PanelUp2), StepFreezeStart);
    trans->turnButton()->click();
    EXPECT_EQ(model().step(s(), l(), 8, 5, PanelDown), StepArrow);
    EXPECT_EQ(model().step(s(), l(), 8, 6, PanelRight2), StepFreezeStart);
    EXPECT_EQ(app.ctx.session.currentbar, 8);

    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app.ctx.session.currentstyle = Solo;
    openEditor();
    trans = open<Transformations>();
    EXPECT_TRUE(trans->mirrorButton()->isVisible());
    EXPECT_TRUE(trans->flipButton()->isVisible());
    EXPECT_FALSE(trans->turnButton()->isVisible());
}

// ---- wide view ----

TEST_F(ToolWindows, WideViewShowsTwelveBarsAndTheMarker) {
    model().setStep(s(), l(), 1, 1, PanelLeft, StepArrow);
    model().setStep(s(), l(), 12, 32, PanelRight2, StepFreezeStart);
    model().setStep(s(), l(), 13, 1, PanelLeft, StepArrow); // not shown
    auto* wide = open<WideView>();

    EXPECT_EQ(wide->VScroll1()->minimum(), 1);
    EXPECT_EQ(wide->VScroll1()->maximum(), 89);
    EXPECT_EQ(wide->VScroll1()->pageStep(), 12);
    EXPECT_EQ(wide->barlabel(12)->text(), "12");

    const auto first = wide->Lines(WideView::cellIndex(0, PanelLeft, 1));
    EXPECT_TRUE(first.visible);
    EXPECT_EQ(first.color, QColor(128, 128, 255));
    EXPECT_EQ(first.rect, QRect(32, 1, 9, 1));
    const auto last = wide->Lines(WideView::cellIndex(11, PanelRight2, 32));
    EXPECT_TRUE(last.visible);
    EXPECT_EQ(last.color, QColor(128, 255, 128));
    EXPECT_FALSE(wide->Lines(WideView::cellIndex(0, PanelLeft, 2)).visible);

    // What is painted is what the cells say.
    const QImage image = wide->grab().toImage();
    EXPECT_EQ(image.pixelColor(first.rect.topLeft()), QColor(128, 128, 255));
    EXPECT_EQ(image.pixelColor(last.rect.center()), QColor(128, 255, 128));

    EXPECT_TRUE(wide->indicator()->isVisible());
    EXPECT_EQ(wide->indicator()->y(), wide->barlabel(1)->y());

    // Scrolling: labels follow, bar 13 shows in row 12, the marker goes.
    wide->VScroll1()->setValue(2);
    EXPECT_EQ(wide->barlabel(1)->text(), "2");
    EXPECT_EQ(wide->barlabel(12)->text(), "13");
    EXPECT_TRUE(wide->Lines(WideView::cellIndex(11, PanelLeft, 1)).visible);
    EXPECT_FALSE(wide->indicator()->isVisible());

    // The editor's navigation moves the marker along.
    editor->findChild<QPushButton*>("Command2")->click(); // Next bar: 2
    EXPECT_TRUE(wide->indicator()->isVisible());
    EXPECT_EQ(wide->indicator()->y(), wide->barlabel(1)->y());

    // An edit through the editor's updatenow shows up.
    model().setStep(s(), l(), 3, 9, PanelUp, StepArrow);
    editor->startUpdatenow();
    QTest::qWait(120);
    EXPECT_TRUE(wide->Lines(WideView::cellIndex(1, PanelUp, 9)).visible);
}

TEST_F(ToolWindows, WideViewLeftClickSelectsABarAndIgnoresPressesBelowTheRows) {
    auto* wide = open<WideView>();
    const struct {
        int scroll;
        int yTwips;
        int bar; // 0: ignored
    } cases[] = {
        {1, 500, 2},   {1, 0, 1},     {1, 479, 1},    {89, 5759, 100},
        {89, 5760, 0}, {50, 6500, 0}, {30, 2400, 35},
    };
    for (const auto& c : cases) {
        setBar(77);
        wide->VScroll1()->setValue(c.scroll);
        QTest::mouseClick(wide, Qt::LeftButton, {}, QPoint(60, c.yTwips / 15));
        const int expected = c.bar ? c.bar : 77;
        EXPECT_EQ(app.ctx.session.currentbar, expected) << c.scroll << "/" << c.yTwips;
        EXPECT_EQ(editor->barnumber()->text(), QString::number(expected));
    }
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_TRUE(app.player.commands.isEmpty());
}

TEST_F(ToolWindows, WideViewRightClickPlaysTheBarAndPausesAtItsEnd) {
    app.player.running = true;
    model().setField(SummaryField::Bpm, "120");
    model().setField(SummaryField::Gap, "1000");
    auto* wide = open<WideView>();

    QTest::mouseClick(wide, Qt::RightButton, {}, QPoint(60, 2 * 32 + 5)); // bar 3
    EXPECT_EQ(app.ctx.session.currentbar, 3);
    EXPECT_EQ(app.player.commands, QList<int>{winamp::Play});
    EXPECT_EQ(app.player.jumps, QList<int>{5000});
    EXPECT_EQ(app.ctx.playbarend, 7000);
    EXPECT_TRUE(wide->barEndTimer()->isActive());
    EXPECT_EQ(wide->barEndTimer()->interval(), 30);

    app.player.playPosition = 7000; // not past the end yet
    QTest::qWait(70);
    EXPECT_EQ(app.player.commands.size(), 1);
    app.player.playPosition = 7001;
    QTest::qWait(70);
    EXPECT_EQ(app.player.commands, (QList<int>{winamp::Play, winamp::Pause}));
    EXPECT_EQ(app.ctx.playbarend, 0);
    EXPECT_FALSE(wide->barEndTimer()->isActive());

    // While playing, a right click only jumps.
    app.player.playState = 1;
    app.player.commands.clear();
    wide->pressRow(0, true);
    EXPECT_TRUE(app.player.commands.isEmpty());
    EXPECT_EQ(app.player.jumps.last(), 1000);
    EXPECT_EQ(app.ctx.playbarend, 3000);

    // The player going away ends the wait without a command.
    app.player.running = false;
    QTest::qWait(70);
    EXPECT_FALSE(wide->barEndTimer()->isActive());
    EXPECT_TRUE(app.player.commands.isEmpty());
}

TEST_F(ToolWindows, WideViewRightClickExplainsWhyItCannotPlay) {
    auto* wide = open<WideView>();

    // No player: the bar is still selected.
    wide->pressRow(4, true);
    EXPECT_EQ(app.ctx.session.currentbar, 5);
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text, "Winamp window not found. Load the file by clicking on the "
                                     "Winamp icon in the step chooser.");
    EXPECT_EQ(app.boxes.last().title, "Winamp not found.");
    EXPECT_EQ(app.boxes.last().icon, MsgIcon::None);

    app.player.running = true;
    app.player.FindWindowA();
    for (const char* bpm : {"0", "", "fast"}) {
        model().setField(SummaryField::Bpm, QString::fromLatin1(bpm));
        app.boxes.shown.clear();
        wide->pressRow(1, true);
        ASSERT_EQ(app.boxes.shown.size(), 1) << bpm;
        EXPECT_TRUE(
            app.boxes.last().text.startsWith("The song's BPM must be a number greater than 0"))
            << bpm;
        EXPECT_EQ(app.boxes.last().icon, MsgIcon::Exclamation);
    }
    model().setField(SummaryField::Bpm, "120");
    model().setField(SummaryField::Gap, "");
    app.boxes.shown.clear();
    wide->pressRow(1, true);
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_TRUE(app.boxes.last().text.startsWith("The song's gap must be a number"));
    EXPECT_TRUE(app.player.commands.isEmpty());
    EXPECT_TRUE(app.player.jumps.isEmpty());
    EXPECT_FALSE(wide->barEndTimer()->isActive());
}
