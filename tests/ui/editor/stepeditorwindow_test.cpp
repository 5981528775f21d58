// The step editor window: opening a chart, presses on the grid, bar
// navigation, the foot level, the tool-window toggles and closing.
#include "core/song/songmodel.h"
#include "testapp.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/stepgrid.h"
#include "ui/timing/grabber.h"
#include "ui/timing/stepgrabbersetup.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

using namespace kolvo;

namespace {

// Pixel position of the middle of a cell (15 twips to a pixel).
QPoint cellCentre(int row, int column) {
    return StepGrid::cellRect(row, column).topLeft() + QPoint(16, 4);
}

class EditorTest : public ::testing::Test {
  protected:
    test::TestApp app;
    QWidget summary;
    QPointer<StepEditorWindow> editor;

    void open(int style, int level) {
        app.ctx.session.currentstyle = style;
        app.ctx.session.currentlevel = level;
        editor = new StepEditorWindow(app.ctx, &summary);
        editor->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    }
    void TearDown() override { delete editor.data(); }

    int bar() const { return app.ctx.session.currentbar; }
    QString barText() const { return editor->barnumber()->text(); }
    // A bar number typed into the bar box, then Enter.
    void typeIntoGotobat(const QString& typed) {
        QTest::keyClicks(editor->gotobat(), typed);
        QTest::keyClick(editor->gotobat(), Qt::Key_Return);
    }
    void press(Qt::MouseButton button, int row, int column) {
        QTest::mousePress(editor->grid(), button, {}, cellCentre(row, column));
    }
};

// ---- opening ----

struct OpenCase {
    const char* what;
    int style, level;
    Value dataexists, footBefore;
    Value footAfter;
    const char* boxText;
};

class OpenChart : public EditorTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenChart, MarksChartAndShowsItsFootLevel) {
    const OpenCase& c = GetParam();
    app.model.setDataexists(c.style, c.level, c.dataexists);
    app.model.setFootlevels(c.style, c.level, c.footBefore);
    app.ctx.session.currentbar = 57;
    app.model.setStep(c.style, c.level, 1, 9, 1, StepArrow);
    app.model.setStep(c.style, c.level, 57, 9, 3, StepArrow);
    open(c.style, c.level);

    EXPECT_FALSE(summary.isEnabled());
    EXPECT_EQ(bar(), 1);
    EXPECT_EQ(barText(), "1");
    EXPECT_TRUE(app.model.hasData(c.style, c.level));
    EXPECT_EQ(app.model.footlevels(c.style, c.level), c.footAfter);
    EXPECT_EQ(app.model.footlevels(c.style, c.level).kind(), c.footAfter.kind());
    EXPECT_EQ(editor->footlevel()->text(), c.boxText);
    EXPECT_EQ(editor->grid()->shownValue(9, 1), StepArrow); // bar 1 is shown
    EXPECT_EQ(editor->grid()->shownValue(9, 3), StepEmpty);
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_EQ(editor->windowTitle(), "Edit Steps");
    EXPECT_TRUE(editor->stepGrabButton()->isEnabled());
    EXPECT_TRUE(editor->arrowHelpButton()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Charts, OpenChart,
    ::testing::Values(OpenCase{"new chart", Single, Basic, Value::number(0), Value::text(""),
                               Value::number(1), "1"},
                      OpenCase{"never set", Double, Maniac, Value(), Value(), Value::number(1),
                               "1"},
                      OpenCase{"deleted chart keeps no old level", Solo, SManiac, Value::number(0),
                               Value::text("9"), Value::number(1), "1"},
                      OpenCase{"chart with data keeps its level", Couple, Another, Value::number(1),
                               Value::text("12"), Value::text("12"), "12"},
                      OpenCase{"with data, level as read from a file", Single, Maniac,
                               Value::text("1"), Value::number(1), Value::number(1), "1"},
                      OpenCase{"with data, no level", Double, Basic, Value::number(1),
                               Value::text(""), Value::text(""), ""},
                      OpenCase{"stored level out of range is shown, not changed", Solo, Basic,
                               Value::number(1), Value::text("25"), Value::text("25"), "25"}),
    [](const auto& param) { return std::to_string(param.index); });

TEST_F(EditorTest, HeadersShowOnlyTheStylesColumns) {
    const char* names[] = {"Label16", "Label15", "Label14", "Label13", "Label11",
                           "Label12", "Label21", "Label22", "Label23", "Label24"};
    const char* shown[] = {nullptr, "1.11.1....", "1.11.11111", "1.11.11111", "111111...."};
    const QString arrows =
        QString::fromUtf8("\u2190\u2196\u2193\u2191\u2197\u2192\u2190\u2193\u2191\u2192");
    for (int style = Single; style <= Solo; ++style) {
        open(style, Basic);
        for (int column = 1; column <= 10; ++column) {
            auto* label = editor->findChild<QLabel*>(names[column - 1]);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->isVisible(), shown[style][column - 1] == '1')
                << style << "/" << column;
            EXPECT_EQ(label->text(), arrows.mid(column - 1, 1));
        }
        delete editor.data();
    }
}

// ---- presses ----

TEST_F(EditorTest, PressesFollowThePressTableAndRepaintTheCell) {
    open(Double, Basic);
    QSignalSpy refreshed(editor.data(), &StepEditorWindow::refreshed);
    struct Step {
        Qt::MouseButton button;
        std::uint8_t after;
        QColor fill;
    };
    const QColor blue(128, 128, 255), green(128, 255, 128);
    const Step steps[] = {
        {Qt::RightButton, StepFreezeStart, green}, {Qt::RightButton, StepEmpty, QColor()},
        {Qt::LeftButton, StepArrow, blue},         {Qt::RightButton, StepFreezeStart, green},
        {Qt::LeftButton, StepArrow, blue},         {Qt::LeftButton, StepEmpty, QColor()},
        {Qt::MiddleButton, StepEmpty, QColor()},
    };
    int edits = 0;
    for (const Step& s : steps) {
        press(s.button, 17, 8);
        edits += s.button == Qt::MiddleButton ? 0 : 1;
        EXPECT_EQ(app.model.step(Double, Basic, 1, 17, 8), s.after);
        EXPECT_EQ(editor->grid()->cellFill(17, 8), s.fill);
        EXPECT_EQ(refreshed.count(), edits);
    }
    // What is on screen: the cell's middle pixel takes the fill colour.
    press(Qt::LeftButton, 32, 10);
    press(Qt::RightButton, 1, 1);
    const QImage shot = editor->grab().toImage();
    EXPECT_EQ(shot.pixelColor(cellCentre(32, 10)), blue);
    EXPECT_EQ(shot.pixelColor(cellCentre(1, 1)), green);
    EXPECT_NE(shot.pixelColor(cellCentre(2, 1)), green);
}

TEST_F(EditorTest, PressesOnUnusedColumnsAndOutsideChangeNothing) {
    open(Single, Basic);
    for (int column : {2, 5, 7, 8, 9, 10})
        press(Qt::LeftButton, 5, column);
    QTest::mousePress(editor->grid(), Qt::LeftButton, {}, QPoint(100, 79));  // above row 1
    QTest::mousePress(editor->grid(), Qt::LeftButton, {}, QPoint(100, 336)); // below row 32
    QTest::mousePress(editor->grid(), Qt::LeftButton, {}, QPoint(20, 200));  // left of the grid
    for (int column = 1; column <= 10; ++column)
        for (int row = 1; row <= 32; ++row)
            ASSERT_EQ(app.model.step(Single, Basic, 1, row, column), 0) << row << "/" << column;
    // The gap between the pads edits the first pad's Right panel.
    QTest::mousePress(editor->grid(), Qt::LeftButton, {}, QPoint(293, 81)); // x = 4395 twips
    EXPECT_EQ(app.model.step(Single, Basic, 1, 1, PanelRight), StepArrow);
}

// The top pixel row of row 1 (twips y 1200-1214) lies under the arrow
// headers; a press there on the window reaches the grid.
TEST_F(EditorTest, PressesUnderTheArrowHeadersReachRowOne) {
    open(Single, Basic);
    struct Case {
        QPoint at; // pixels in the window
        int row, column;
    } cases[] = {
        {QPoint(100, 80), 1, 1}, // x 1500, y 1200 twips, under the Left header
        {QPoint(260, 80), 1, 6}, // under the Right header
        {QPoint(100, 81), 1, 1}, // the next pixel row, below the headers
    };
    for (const Case& c : cases) {
        app.model.setStep(Single, Basic, 1, c.row, c.column, StepEmpty);
        editor->grid()->refreshgrid();
        QTest::mousePress(editor->windowHandle(), Qt::LeftButton, {}, c.at);
        QTest::mouseRelease(editor->windowHandle(), Qt::LeftButton, {}, c.at);
        EXPECT_EQ(app.model.step(Single, Basic, 1, c.row, c.column), StepArrow)
            << c.at.x() << "," << c.at.y();
    }
}

// ---- bars ----

TEST_F(EditorTest, LastAndNextStopAtTheEnds) {
    app.model.setStep(Single, Basic, 2, 3, 4, StepArrow);
    app.model.setStep(Single, Basic, kMaxBars, 32, 6, StepFreezeStart);
    open(Single, Basic);
    auto* last = editor->findChild<QPushButton*>("Command1");
    auto* next = editor->findChild<QPushButton*>("Command2");
    QSignalSpy refreshed(editor.data(), &StepEditorWindow::refreshed);

    last->click();
    EXPECT_EQ(bar(), 1);
    EXPECT_EQ(barText(), "1");
    EXPECT_EQ(refreshed.count(), 0);

    next->click();
    EXPECT_EQ(bar(), 2);
    EXPECT_EQ(barText(), "2");
    EXPECT_EQ(editor->gotobat()->text(), "2");
    EXPECT_EQ(editor->grid()->shownValue(3, 4), StepArrow);
    for (int i = 0; i < 120; ++i)
        next->click();
    EXPECT_EQ(bar(), 122); // past the old limit of 100 bars
    EXPECT_EQ(refreshed.count(), 121);

    // Next stops at the last bar a chart can have.
    app.ctx.session.currentbar = kMaxBars - 1;
    next->click();
    next->click();
    EXPECT_EQ(bar(), kMaxBars);
    EXPECT_EQ(barText(), QString::number(kMaxBars));
    EXPECT_EQ(editor->grid()->shownValue(32, 6), StepFreezeStart);
    EXPECT_EQ(refreshed.count(), 122);

    last->click();
    EXPECT_EQ(bar(), kMaxBars - 1);
    EXPECT_EQ(editor->grid()->shownValue(32, 6), StepEmpty);
    EXPECT_TRUE(app.boxes.shown.isEmpty());
}

struct GotoCase {
    const char* text; // typed before Enter ("": Enter alone goes to the bar shown)
    int bar;          // 0: refused
};

class GotoBar : public EditorTest, public ::testing::WithParamInterface<GotoCase> {};

TEST_P(GotoBar, GoesOnlyToWholeBarNumbers) {
    const GotoCase& c = GetParam();
    app.model.setStep(Single, Basic, 100, 1, 1, StepArrow);
    open(Single, Basic);
    typeIntoGotobat("5");
    ASSERT_EQ(bar(), 5);
    ASSERT_EQ(editor->gotobat()->text(), "5");

    typeIntoGotobat(c.text);
    if (c.bar) {
        EXPECT_TRUE(app.boxes.shown.isEmpty());
        EXPECT_EQ(bar(), c.bar);
        EXPECT_EQ(barText(), QString::number(c.bar));
        EXPECT_EQ(editor->grid()->shownValue(1, 1), c.bar == 100 ? StepArrow : StepEmpty);
    } else {
        ASSERT_EQ(app.boxes.shown.size(), 1);
        EXPECT_EQ(app.boxes.last().text,
                  "That bar number is invalid; it must be a whole number between 1 and 9999.");
        EXPECT_EQ(app.boxes.last().title, "Kolvo");
        EXPECT_EQ(app.boxes.last().icon, MsgIcon::None);
        EXPECT_EQ(bar(), 5);
        EXPECT_EQ(barText(), "5");
    }
    // Whatever happened, the box shows the bar again and the editor stays.
    EXPECT_EQ(editor->gotobat()->text(), barText());
    EXPECT_TRUE(editor->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Texts, GotoBar,
                         ::testing::Values(GotoCase{"100", 100}, GotoCase{"1", 1},
                                           GotoCase{"42", 42}, GotoCase{"10000", 0},
                                           GotoCase{"0", 0}, GotoCase{"2.5", 0}, GotoCase{"07", 0},
                                           GotoCase{"", 5}, GotoCase{" 7", 0}, GotoCase{"+7", 0},
                                           GotoCase{"7.0", 0}, GotoCase{"-1", 0}),
                         [](const auto& param) { return std::to_string(param.index); });

TEST_F(EditorTest, TypingABarNumberShowsItAndEnterGoesThereWithoutClosing) {
    app.model.setStep(Single, Basic, 12, 3, PanelLeft, StepArrow);
    open(Single, Basic);
    editor->activateWindow();
    editor->gotobat()->setFocus();
    const QPoint middle = editor->barnumber()->geometry().center();
    QTest::keyClick(editor->gotobat(), '1');
    EXPECT_EQ(bar(), 1);
    QTest::keyClick(editor->gotobat(), '2');
    EXPECT_EQ(bar(), 1); // nothing happens until Enter
    EXPECT_EQ(editor->gotobat()->text(), "12");
    EXPECT_EQ(editor->childAt(middle), editor->gotobat()); // what is typed is what is seen

    QTest::keyClick(editor->gotobat(), Qt::Key_Return);
    EXPECT_EQ(bar(), 12);
    EXPECT_EQ(barText(), "12");
    EXPECT_EQ(editor->grid()->shownValue(3, PanelLeft), StepArrow);
    EXPECT_TRUE(editor->isVisible()); // Enter did not press Finish Editing
    EXPECT_EQ(editor->childAt(middle), editor->barnumber());
    EXPECT_TRUE(app.boxes.shown.isEmpty());

    // Escape gives the bar number back; nothing moves.
    QTest::keyClicks(editor->gotobat(), "3");
    QTest::keyClick(editor->gotobat(), Qt::Key_Escape);
    EXPECT_EQ(editor->gotobat()->text(), "12");
    EXPECT_EQ(bar(), 12);
    EXPECT_TRUE(editor->isVisible());

    // The box flashes after a jump.
    const QColor white(Qt::white), green(128, 255, 128);
    auto base = [&] { return editor->barnumber()->palette().color(QPalette::Base); };
    typeIntoGotobat("4");
    EXPECT_EQ(bar(), 4);
    QTRY_COMPARE_WITH_TIMEOUT(base(), green, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(base(), white, 1000);
}

// ---- foot level ----

struct FootCase {
    const char* typed;
    const char* box; // afterwards
    Value stored;    // afterwards
    bool refused;
};

class FootLevel : public EditorTest, public ::testing::WithParamInterface<FootCase> {};

TEST_P(FootLevel, AcceptsWholeNumbersOneToTwenty) {
    const FootCase& c = GetParam();
    app.model.setDataexists(Solo, Maniac, Value::number(1));
    app.model.setFootlevels(Solo, Maniac, Value::text("3"));
    open(Solo, Maniac);
    editor->footlevel()->setText(c.typed);
    EXPECT_EQ(editor->footlevel()->text(), c.box);
    EXPECT_EQ(app.model.footlevels(Solo, Maniac), c.stored);
    EXPECT_EQ(app.model.footlevels(Solo, Maniac).kind(), c.stored.kind());
    if (c.refused) {
        ASSERT_EQ(app.boxes.shown.size(), 1);
        EXPECT_EQ(app.boxes.last().text, "Footlevel must be a whole number between 1 and 20.");
        EXPECT_EQ(app.boxes.last().title, "Footlevel invalid.");
        EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
    } else {
        EXPECT_TRUE(app.boxes.shown.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, FootLevel,
                         ::testing::Values(FootCase{"0", "3", Value::text("3"), true},
                                           FootCase{"20", "20", Value::text("20"), false},
                                           FootCase{"1", "1", Value::text("1"), false},
                                           FootCase{"21", "3", Value::text("3"), true},
                                           FootCase{"1.5", "3", Value::text("3"), true},
                                           FootCase{"05", "5", Value::text("5"), false},
                                           FootCase{"", "", Value::text("3"), false},
                                           FootCase{"abc", "3", Value::text("3"), true},
                                           FootCase{"-4", "3", Value::text("3"), true}),
                         [](const auto& param) { return std::to_string(param.index); });

TEST_F(EditorTest, FootLevelTypedKeyByKey) {
    open(Double, Another); // a new chart: foot level 1
    editor->footlevel()->selectAll();
    QTest::keyClick(editor->footlevel(), Qt::Key_Backspace); // empty: silently nothing
    EXPECT_EQ(app.model.footlevels(Double, Another), Value::number(1));
    QTest::keyClicks(editor->footlevel(), "12");
    EXPECT_EQ(app.model.footlevels(Double, Another), Value::text("12"));
    QTest::keyClick(editor->footlevel(), '3'); // 123: refused, back to 12
    EXPECT_EQ(editor->footlevel()->text(), "12");
    EXPECT_EQ(app.model.footlevels(Double, Another), Value::text("12"));
    EXPECT_EQ(app.boxes.shown.size(), 1);
}

// ---- refresh and closing ----

TEST_F(EditorTest, UpdatenowRepaintsWhatOtherWindowsChanged) {
    open(Couple, Basic);
    QSignalSpy refreshed(editor.data(), &StepEditorWindow::refreshed);
    app.model.setStep(Couple, Basic, 1, 25, 9, StepArrow);
    editor->startUpdatenow();
    EXPECT_EQ(editor->grid()->shownValue(25, 9), StepEmpty); // not before the tick
    EXPECT_TRUE(editor->updatenow()->isActive());
    EXPECT_EQ(editor->updatenow()->interval(), 50);
    ASSERT_TRUE(refreshed.wait(1000));
    EXPECT_EQ(editor->grid()->shownValue(25, 9), StepArrow);
    EXPECT_FALSE(editor->updatenow()->isActive());
}

enum class CloseBy { FinishEditing, EnterKey, CloseBox, LoadFailure };

class Closing : public EditorTest, public ::testing::WithParamInterface<CloseBy> {};

TEST_P(Closing, UnloadsOnceClosesToolWindowsAndEnablesSummary) {
    open(Single, Another);
    // Stand-ins for the tool windows, which set their toggle's caption.
    auto toolWindow = [&](const char* name, QPushButton* toggle, const char* openCaption,
                          const char* closedCaption) {
        auto* w = new QWidget(editor.data(), Qt::Tool);
        w->setObjectName(name);
        w->setAttribute(Qt::WA_DeleteOnClose);
        toggle->setText(openCaption);
        QObject::connect(w, &QObject::destroyed, toggle,
                         [toggle, closedCaption] { toggle->setText(closedCaption); });
        w->show();
        return QPointer<QWidget>(w);
    };
    auto wide = toolWindow("WideView", editor->wideViewButton(), "<< Wide View", "Wide View >>");
    auto power =
        toolWindow("PowerTools", editor->powerToolsButton(), "<< Power Tools", "Power Tools >>");
    auto trans =
        toolWindow("Transformations", editor->transformsButton(), "<< Transforms", "Transforms >>");
    QSignalSpy unloaded(editor.data(), &StepEditorWindow::unloaded);

    switch (GetParam()) {
    case CloseBy::FinishEditing:
        editor->savemenu()->click();
        break;
    case CloseBy::EnterKey:
        QTest::keyClick(editor->footlevel(), Qt::Key_Return);
        break;
    case CloseBy::CloseBox:
        editor->close();
        break;
    case CloseBy::LoadFailure: // no player in the player folder: the editor closes
        app.model.setField(SummaryField::MusicFile, app.writeFile("song.mp3", "x"));
        app.ctx.winamppath = app.path("noplayer");
        editor->findChild<QPushButton*>("Command7")->click();
        break;
    }
    QTRY_VERIFY_WITH_TIMEOUT(editor.isNull(), 2000);
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_TRUE(summary.isEnabled());
    EXPECT_TRUE(wide.isNull());
    EXPECT_TRUE(power.isNull());
    EXPECT_TRUE(trans.isNull());
}

INSTANTIATE_TEST_SUITE_P(Ways, Closing,
                         ::testing::Values(CloseBy::FinishEditing, CloseBy::EnterKey,
                                           CloseBy::CloseBox, CloseBy::LoadFailure));

TEST_F(EditorTest, TogglePressedWhileToolWindowOpenClosesIt) {
    open(Single, Basic);
    auto* wide = new QWidget(editor.data(), Qt::Tool);
    wide->setObjectName("WideView");
    wide->show();
    editor->toolOpened(EditorTool::WideView, wide);
    editor->wideViewButton()->click();
    EXPECT_FALSE(wide->isVisible());
    EXPECT_TRUE(editor->isVisible());
}

QWidget* topLevel(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

// Each button opens its window: the three tools inside the editor, the grabber
// setup and the arrow help as windows of their own.
TEST_F(EditorTest, ButtonsOpenTheirWindows) {
    open(Double, Basic);
    editor->wideViewButton()->click();
    editor->powerToolsButton()->click();
    editor->transformsButton()->click();
    for (const char* name : {"WideView", "PowerTools", "Transformations"})
        EXPECT_NE(editor->findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(app.ctx.wideviewopen + app.ctx.powertoolsopen + app.ctx.transformationsopen, 3);

    editor->arrowHelpButton()->click();
    QWidget* help = topLevel("FreezeArrowHelp");
    ASSERT_NE(help, nullptr);
    help->close();

    editor->stepGrabButton()->click();
    QWidget* setup = topLevel("StepGrabberSetup");
    ASSERT_NE(setup, nullptr);
    EXPECT_FALSE(editor->isEnabled()); // the setup holds the editor while it is open
    setup->close();
    QApplication::processEvents();
    EXPECT_TRUE(editor->isEnabled());
}

// A grab from bar 1 started while the editor shows another bar: when it
// ends, the bar box, the grid and the bar a press edits are all bar 1.
TEST_F(EditorTest, AGrabFromBarOneLeavesTheEditorOnBarOne) {
    app.model.setField(SummaryField::MusicFile, app.writeFile("song.wav", "RIFF"));
    app.writeFile("player/mpv", "#!/bin/sh\n");
    app.ctx.winamppath = app.path("player");
    app.model.setField(SummaryField::Bpm, "120");
    app.model.setField(SummaryField::Gap, "0");
    app.model.setStep(Single, Basic, 1, 3, 4, StepArrow);
    app.model.setStep(Single, Basic, 9, 5, 6, StepArrow);
    open(Single, Basic);
    for (int i = 1; i < 9; ++i)
        editor->findChild<QPushButton*>("Command2")->click();
    ASSERT_EQ(barText(), "9");

    editor->stepGrabButton()->click();
    auto* setup = qobject_cast<StepGrabberSetup*>(topLevel("StepGrabberSetup"));
    ASSERT_NE(setup, nullptr);
    setup->startAtBarOneButton()->click();
    QPointer<Grabber> grabber = setup->grabber();
    ASSERT_TRUE(grabber) << (app.boxes.shown.isEmpty() ? "" : app.boxes.last().text.toStdString());
    QTest::keyClick(grabber, Qt::Key_Escape);
    QTest::qWait(100); // the editor's repaint after the grab
    ASSERT_TRUE(editor->isEnabled());

    EXPECT_EQ(bar(), 1);
    EXPECT_EQ(barText(), "1");
    EXPECT_EQ(editor->grid()->shownValue(3, 4), StepArrow);
    EXPECT_EQ(editor->grid()->shownValue(5, 6), StepEmpty);
    press(Qt::LeftButton, 17, 4);
    EXPECT_EQ(app.model.step(Single, Basic, 1, 17, 4), StepArrow);
    EXPECT_EQ(app.model.step(Single, Basic, 9, 17, 4), StepEmpty);
    EXPECT_EQ(editor->grid()->shownValue(17, 4), StepArrow);
}

TEST_F(EditorTest, LoadWithoutMusicFileSaysSoAndStaysOpen) {
    open(Single, Basic);
    editor->findChild<QPushButton*>("Command7")->click();
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().title, "No MP3 file selected");
    EXPECT_FALSE(editor.isNull());
    EXPECT_TRUE(app.launcher.calls.isEmpty());
}

} // namespace
