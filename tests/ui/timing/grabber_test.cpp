// The step grabber setup, the key tester and the grabber, with a scripted
// player and stand-ins for the editor and its tool windows.
#include "ui/timing/grabber.h"
#include "ui/timing/keytester.h"
#include "ui/timing/stepgrabbersetup.h"
#include "ui/timing/synchro.h"
#include "ui/timing/windowlock.h"

#include "timingfixture.h"
#include "ui/platform/settings.h"
#include "ui/timing/toolwidgets.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace kolvo;
using namespace kolvo::test;

namespace {

void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void clearGrabberSettings() {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, "Kolvo", "Kolvo");
    s.remove("stepgrabber");
    s.sync();
}

QString setting(const char* key) {
    return ReadSetting("stepgrabber", QString::fromLatin1(key), "absent");
}

class GrabberTest : public ::testing::Test, public TimingFixture {
  protected:
    void SetUp() override {
        clearGrabberSettings();
        editor = std::make_unique<QWidget>();
        editor->setObjectName("Kolvo");
        wideView = std::make_unique<QWidget>();
        powerTools = std::make_unique<QWidget>();
        app.model.setField(SummaryField::Bpm, "120");
        app.model.setField(SummaryField::Gap, "500");
        app.ctx.session.currentstyle = 1;
        app.ctx.session.currentlevel = 2;
    }
    void TearDown() override { deleteToolWindows(); }

    EditorLink link() {
        EditorLink l;
        l.editor = editor.get();
        l.openToolWindows = [this] {
            QList<QWidget*> open;
            for (QWidget* w : {wideView.get(), powerTools.get()}) {
                if (w)
                    open << w;
            }
            return open;
        };
        l.startUpdatenow = [this] { ++repaints; };
        return l;
    }
    QPointer<StepGrabberSetup> openSetup() {
        auto* s = new StepGrabberSetup(app.ctx, link());
        s->show();
        return s;
    }
    bool editorSideEnabled() const {
        return editor->isEnabled() && (!wideView || wideView->isEnabled()) &&
               (!powerTools || powerTools->isEnabled());
    }
    bool editorSideDisabled() const {
        return !editor->isEnabled() && (!wideView || !wideView->isEnabled()) &&
               (!powerTools || !powerTools->isEnabled());
    }
    // A grabber running on the scripted player, as the setup leaves it.
    QPointer<Grabber> startGrabber() {
        app.player.running = true;
        auto* g = new Grabber(app.ctx, link());
        g->show();
        EXPECT_TRUE(g->start());
        return g;
    }
    std::uint8_t cell(int bar, int row, int panel) const {
        return app.model.step(app.ctx.session.currentstyle, app.ctx.session.currentlevel, bar, row,
                              panel);
    }

    std::unique_ptr<QWidget> editor;
    std::unique_ptr<QWidget> wideView;
    std::unique_ptr<QWidget> powerTools;
    int repaints = 0;
};

// ------------------------------------------------------- window locks --

TEST(WindowLock, EnabledAgainWhenTheLastHolderLetsGoInEitherOrder) {
    for (bool firstGoesFirst : {true, false}) {
        QWidget w;
        auto first = std::make_unique<WindowLock>();
        auto second = std::make_unique<WindowLock>();
        first->lock(&w);
        first->lock(&w); // once per holder
        second->lock(&w);
        EXPECT_FALSE(w.isEnabled());
        EXPECT_EQ(WindowLock::lockCount(&w), 2);
        (firstGoesFirst ? first : second).reset();
        EXPECT_FALSE(w.isEnabled());
        (firstGoesFirst ? second : first).reset();
        EXPECT_TRUE(w.isEnabled());
        EXPECT_EQ(WindowLock::lockCount(&w), 0);
    }
    // A window that goes first is simply forgotten.
    WindowLock lock;
    auto gone = std::make_unique<QWidget>();
    QWidget stays;
    lock.lock({gone.get(), &stays, nullptr});
    gone.reset();
    lock.release();
    EXPECT_TRUE(stays.isEnabled());
}

// ---------------------------------------------------------------- setup --

TEST_F(GrabberTest, FirstRunSelectsAndStoresTheDefaults) {
    QPointer<StepGrabberSetup> s = openSetup();
    EXPECT_EQ(s->windowTitle(), "StepGrabber Setup");
    EXPECT_TRUE(s->snapButton(1)->isChecked());
    EXPECT_EQ(s->snapButton(1)->text(), "Half beats (8 steps/bar)");
    EXPECT_TRUE(s->freezeButton(2)->isChecked());
    EXPECT_EQ(s->freezeButton(2)->text(), "don't create freezes");
    // The grabber makes no freezes, and its freeze group says so.
    const auto freezeNotes = s->freezeButton(2)->parentWidget()->findChildren<QLabel*>();
    ASSERT_EQ(freezeNotes.size(), 1);
    EXPECT_EQ(freezeNotes[0]->text(), "(Freeze arrows not yet implemented)");
    EXPECT_EQ(setting("option1"), "1");
    EXPECT_EQ(setting("option3"), "2");
    EXPECT_EQ(app.ctx.grabsetupopen, 1);
    EXPECT_EQ(s->grabberStarted(), 0);
    s->close();
    EXPECT_EQ(app.ctx.grabsetupopen, 0);
}

TEST_F(GrabberTest, StoredOptionsAreSelected) {
    struct Case {
        const char* option1;
        const char* option3;
        int selected1;
        int selected3;
    };
    const Case cases[] = {
        {"0", "1", 0, 1}, {"2", "0", 2, 0}, {"7", "x", 1, 2}, {"1.5", "-1", 1, 2}};
    for (const Case& c : cases) {
        WriteSetting("stepgrabber", "option1", c.option1);
        WriteSetting("stepgrabber", "option3", c.option3);
        QPointer<StepGrabberSetup> s = openSetup();
        EXPECT_TRUE(s->snapButton(c.selected1)->isChecked()) << c.option1;
        EXPECT_TRUE(s->freezeButton(c.selected3)->isChecked()) << c.option3;
        EXPECT_EQ(setting("option1"), QString::number(c.selected1));
        EXPECT_EQ(setting("option3"), QString::number(c.selected3));
        EXPECT_TRUE(app.boxes.shown.isEmpty()); // no warning on opening
        s->close();
        settle();
    }
}

TEST_F(GrabberTest, OptionClicksStoreTheChoiceQuarterBeatsWarnsEveryTime) {
    QPointer<StepGrabberSetup> s = openSetup();
    for (int i = 0; i < 2; ++i) {
        s->snapButton(2)->click();
        EXPECT_EQ(setting("option1"), "2");
        ASSERT_EQ(app.boxes.shown.size(), i + 1);
        EXPECT_EQ(app.boxes.last().title, "Warning");
        EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
        EXPECT_TRUE(app.boxes.last().text.startsWith("Warning! If your BPM and Gap is not "
                                                     "PERFECTLY synchronised"));
    }
    s->snapButton(0)->click();
    EXPECT_EQ(setting("option1"), "0");
    s->freezeButton(1)->click();
    EXPECT_EQ(setting("option3"), "1");
    EXPECT_EQ(app.boxes.shown.size(), 2);
}

TEST_F(GrabberTest, FinerSnapIsChosenBesideTheOldThreeAndKept) {
    WriteSetting("stepgrabber", "finesnap", "x");
    QPointer<StepGrabberSetup> s = openSetup();
    QComboBox* finer = s->finerSnapChoice();
    EXPECT_EQ(s->snapButton(3)->objectName(), "Option1(3)");
    EXPECT_FALSE(s->snapButton(3)->isChecked());
    EXPECT_EQ(finer->currentData().toInt(), 32); // not a snap: the 32nd rows
    EXPECT_EQ(setting("finesnap"), "32");
    QList<int> offered;
    for (int i = 0; i < finer->count(); ++i)
        offered << finer->itemData(i).toInt();
    EXPECT_EQ(offered, (QList<int>{12, 24, 32, 48, 64, 192}));

    // Picking a number is choosing the finer snap.
    const int index = finer->findData(24);
    finer->setCurrentIndex(index);
    emit finer->activated(index);
    EXPECT_TRUE(s->snapButton(3)->isChecked());
    EXPECT_EQ(setting("option1"), "3");
    EXPECT_EQ(setting("finesnap"), "24");
    EXPECT_EQ(grabberStepsPerBar(), 24);
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    s->snapButton(1)->click();
    EXPECT_EQ(grabberStepsPerBar(), 8);
    s->snapButton(3)->click();
    s->close();
    settle();

    s = openSetup();
    EXPECT_TRUE(s->snapButton(3)->isChecked());
    EXPECT_EQ(s->finerSnapChoice()->currentData().toInt(), 24);
    s->close();
}

TEST_F(GrabberTest, CloseEnablesTheEditorAndItsToolWindows) {
    QPointer<StepGrabberSetup> s = openSetup();
    EXPECT_TRUE(editorSideDisabled());
    powerTools.reset(); // a tool window that goes while the setup is open
    s->closeButton()->click();
    EXPECT_TRUE(editorSideEnabled());
    settle();
    EXPECT_TRUE(s.isNull());
}

TEST_F(GrabberTest, KeyTesterAndSyncCheckerHoldTheSetup) {
    QPointer<StepGrabberSetup> s = openSetup();
    s->keyTesterButton()->click();
    QPointer<KeyTester> k = s->keyTester();
    ASSERT_TRUE(k);
    EXPECT_EQ(k->windowTitle(), "Key Tester");
    EXPECT_FALSE(s->isEnabled());
    k->okButton()->click(); // OK
    EXPECT_TRUE(s->isEnabled());

    app.model.setField(SummaryField::Gap, "500");
    s->syncCheckerButton()->click();
    QPointer<Synchro> sync = s->synchro();
    ASSERT_TRUE(sync);
    EXPECT_FALSE(s->isEnabled());
    EXPECT_TRUE(summary.isEnabled()); // the summary is not its opener here
    sync->tooEarlyButton()->click();
    sync->okButton()->click(); // OK writes the summary values
    EXPECT_EQ(app.model.gap(), "510");
    EXPECT_TRUE(s->isEnabled());
    EXPECT_TRUE(editorSideDisabled());

    // The setup going first takes its key tester along; all comes back.
    s->keyTesterButton()->click();
    k = s->keyTester();
    s->close();
    settle();
    EXPECT_TRUE(k.isNull());
    EXPECT_TRUE(editorSideEnabled());
}

TEST_F(GrabberTest, EditorClosingTakesTheGrabberWindowsAlong) {
    QPointer<StepGrabberSetup> s = openSetup();
    editor.reset();
    settle();
    EXPECT_TRUE(s.isNull());
    EXPECT_TRUE(wideView->isEnabled());
    EXPECT_TRUE(powerTools->isEnabled());
}

struct StartCase {
    bool fromBarOne;
    int currentbar;
    int jump;
};

class GrabberStartTest : public GrabberTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(GrabberStartTest, StartHandsTheEditorOverToTheGrabber) {
    const StartCase c = GetParam();
    app.ctx.session.currentbar = 5;
    QPointer<StepGrabberSetup> s = openSetup();
    (c.fromBarOne ? s->startAtBarOneButton() : s->startAtCurrentBarButton())->click();
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    QPointer<Grabber> g = s->grabber();
    ASSERT_TRUE(g);
    EXPECT_EQ(s->grabberStarted(), 1);
    settle();
    EXPECT_TRUE(s.isNull());
    EXPECT_EQ(app.ctx.grabsetupopen, 0);
    EXPECT_EQ(app.ctx.session.currentbar, c.currentbar);
    EXPECT_EQ(repaints, c.fromBarOne ? 1 : 0);
    // LoadWinamp stops; the grabber stops, plays and jumps to the bar.
    EXPECT_EQ(app.player.commands, (QList<int>{winamp::Stop, winamp::Stop, winamp::Play}));
    EXPECT_EQ(app.player.jumps, QList<int>{c.jump});
    EXPECT_TRUE(editorSideDisabled()); // held by the grabber now

    int unloaded = 0;
    QObject::connect(g, &Grabber::unloaded, [&unloaded] { ++unloaded; });
    QTest::keyClick(g, Qt::Key_Escape);
    EXPECT_EQ(unloaded, 1);
    EXPECT_TRUE(editorSideEnabled());
    EXPECT_EQ(repaints, (c.fromBarOne ? 1 : 0) + 1);
    // The music the grabber started stops with it.
    EXPECT_EQ(app.player.commands,
              (QList<int>{winamp::Stop, winamp::Stop, winamp::Play, winamp::Stop}));
}

INSTANTIATE_TEST_SUITE_P(Buttons, GrabberStartTest,
                         ::testing::Values(StartCase{false, 5, 8500}, StartCase{true, 1, 500}));

TEST_F(GrabberTest, FailedStartEnablesTheEditorAgain) {
    app.ctx.winamppath = app.path("nowhere");
    QPointer<StepGrabberSetup> s = openSetup();
    s->startAtCurrentBarButton()->click();
    EXPECT_EQ(app.boxes.last().title, "Could not find winamp.exe");
    settle();
    EXPECT_TRUE(s.isNull());
    EXPECT_TRUE(editorSideEnabled());
}

TEST_F(GrabberTest, NoMusicFileKeepsTheSetupOpen) {
    app.model.setField(SummaryField::MusicFile, QString());
    QPointer<StepGrabberSetup> s = openSetup();
    s->startAtBarOneButton()->click();
    EXPECT_EQ(app.boxes.last().title, "No MP3 file selected");
    EXPECT_TRUE(s->isVisible());
    EXPECT_TRUE(editorSideDisabled());
    EXPECT_EQ(app.ctx.session.currentbar, 1);
    EXPECT_EQ(repaints, 0);
}

TEST_F(GrabberTest, UnusableBpmRefusesToStart) {
    for (const char* bpm : {"0", "fast", "-1"}) {
        app.boxes.shown.clear();
        app.model.setField(SummaryField::Bpm, bpm);
        QPointer<StepGrabberSetup> s = openSetup();
        s->startAtCurrentBarButton()->click();
        ASSERT_EQ(app.boxes.shown.size(), 1) << bpm;
        EXPECT_EQ(app.boxes.last().title, "Cannot grab steps");
        EXPECT_TRUE(app.boxes.last().text.contains("greater than 0"));
        EXPECT_TRUE(app.player.launchedFiles.isEmpty());
        EXPECT_TRUE(s->isVisible());
        s->close();
        settle();

        // The grabber itself refuses too.
        app.player.running = true;
        QPointer<Grabber> g = new Grabber(app.ctx, link());
        EXPECT_FALSE(g->start());
        EXPECT_EQ(app.boxes.last().title, "Cannot grab steps");
        settle();
        EXPECT_TRUE(g.isNull());
        EXPECT_TRUE(app.player.commands.isEmpty());
        EXPECT_TRUE(editorSideEnabled());
    }
}

TEST_F(GrabberTest, GrabberWithoutAPlayerCloses) {
    QPointer<Grabber> g = new Grabber(app.ctx, link());
    EXPECT_FALSE(g->start());
    EXPECT_EQ(app.boxes.last().text, "WinAMP doesn't appear to be open!");
    EXPECT_EQ(app.boxes.last().title, "Ack!");
    settle();
    EXPECT_TRUE(g.isNull());
    EXPECT_TRUE(editorSideEnabled());
}

// -------------------------------------------------------------- grabber --

TEST_F(GrabberTest, BarDisplayFollowsThePlayer) {
    QPointer<Grabber> g = startGrabber();
    EXPECT_EQ(g->windowTitle(), "Now grabbing.");
    EXPECT_EQ(g->barDisplay()->text(), "Stand by...");
    EXPECT_TRUE(g->barDisplayTimer()->isActive());
    EXPECT_EQ(g->barDisplayTimer()->interval(), 50);
    const struct {
        int ms;
        const char* text;
    } ticks[] = {{0, "Bar 0"}, {500, "Bar 1"}, {2499, "Bar 1"}, {2500, "Bar 2"}, {8500, "Bar 5"}};
    for (const auto& t : ticks) {
        app.player.playPosition = t.ms;
        g->updateBarDisplay();
        EXPECT_EQ(g->barDisplay()->text(), t.text) << t.ms;
    }
    g->close();
}

struct PressCase {
    const char* what;
    const char* snap; // stored option1; nullptr = absent
    const char* bpm;
    const char* gap;
    int positionMs;
    int bar;
    int row;
};

class GrabberPressTest : public GrabberTest, public ::testing::WithParamInterface<PressCase> {};

TEST_P(GrabberPressTest, KeyLandsOnTheSnappedRow) {
    const PressCase c = GetParam();
    if (c.snap)
        WriteSetting("stepgrabber", "option1", c.snap);
    app.model.setField(SummaryField::Bpm, c.bpm);
    app.model.setField(SummaryField::Gap, c.gap);
    QPointer<Grabber> g = startGrabber();
    app.player.playPosition = c.positionMs;
    QTest::keyPress(g, Qt::Key_Left);
    EXPECT_EQ(cell(c.bar, c.row, PanelLeft), StepArrow) << c.what;
    int set = 0;
    for (int bar = 1; bar <= kBars; ++bar)
        for (int row = 1; row <= kRows; ++row)
            set += cell(bar, row, PanelLeft) ? 1 : 0;
    EXPECT_EQ(set, 1) << c.what;
    EXPECT_TRUE(isLit(g->keyIndicator()));
    QTest::keyRelease(g, Qt::Key_Left);
    EXPECT_FALSE(isLit(g->keyIndicator()));
    g->close();
}

INSTANTIATE_TEST_SUITE_P(
    Positions, GrabberPressTest,
    ::testing::Values(PressCase{"absent setting counts as every beat", nullptr, "120", "0", 1900, 2,
                                1},
                      PressCase{"beat, 2000 ms", "0", "120", "0", 2000, 2, 1},
                      PressCase{"beat, 1900 ms goes on", "0", "120", "0", 1900, 2, 1},
                      PressCase{"half, r 29.9", "1", "120", "0", 1868, 1, 29}, // r 29.888
                      PressCase{"half, r 30", "1", "120", "0", 1875, 2, 1},
                      PressCase{"quarter, r 30.9", "2", "120", "0", 1931, 1, 31}, // r 30.896
                      PressCase{"gap 500, bar 5 half beat", "1", "120", "500", 8750, 5, 5},
                      PressCase{"180 BPM quarter", "2", "180", "1234", 1234 + 2083, 2, 19},
                      PressCase{"no snap for an unknown setting", "9", "120", "0", 1931, 1, 31},
                      PressCase{"just before the first beat", "1", "120", "500", 480, 1, 1}));

// The grabber times presses through the song's BPM changes and freezes: at
// 120 BPM bar 1 takes 2 s; from bar 2 on 240 BPM gives 1 s a bar, and bar 3
// beat 1 holds the arrows for 1 s.
TEST_F(GrabberTest, KeyLandsOnItsRowAcrossABpmChangeAndAFreeze) {
    WriteSetting("stepgrabber", "option1", "2");
    app.model.setField(SummaryField::Bpm, "120");
    app.model.setField(SummaryField::Gap, "0");
    app.model.setTempo(Single, Basic, 2, 1, BPMCHANNEL, 240);
    app.model.setTempo(Single, Basic, 3, 1, FREEZECHANNEL, 1000);
    const struct {
        int ms, bar, row;
    } presses[] = {
        {1500, 1, 25}, // bar 1 beat 4 at 120 BPM
        {2500, 2, 17}, // bar 2 beat 3 at 240 BPM
        {3500, 3, 1},  // inside the freeze: its beat
        {4250, 3, 9},  // bar 3 beat 2, after the freeze
        {4375, 3, 13},
    };
    QPointer<Grabber> g = startGrabber();
    for (const auto& p : presses) {
        app.player.playPosition = p.ms;
        QTest::keyClick(g, Qt::Key_Left);
        EXPECT_EQ(cell(p.bar, p.row, PanelLeft), StepArrow) << p.ms;
    }
    g->close();
}

// The song of the snap table: 120 BPM from 0 ms (bar 1 takes
// 2 s), 240 BPM from bar 2 (1 s a bar), and a stop of 1 s on bar 3's first
// beat (3000..4000 ms); bar n >= 3 starts at 4000 + (n - 3) * 1000 ms.
struct TempoSong {
    static void write(SongModel& model) {
        model.setField(SummaryField::Bpm, "120");
        model.setField(SummaryField::Gap, "0");
        model.setTempo(Single, Basic, 2, 1, BPMCHANNEL, 240);
        model.setTempo(Single, Basic, 3, 1, FREEZECHANNEL, 1000);
    }
};

TEST_F(GrabberTest, PressLandsOnTheChosenSnapThroughTempoChangesAndAStop) {
    struct Case {
        const char* what;
        const char* snap;     // stored option1
        const char* fineSnap; // stored finesnap
        int ms;
        int bar;
        int fineRow; // 0..191
    };
    const Case cases[] = {
        {"12ths, bar 1", "3", "12", 340, 1, 32},                 // beat 0.68: step 2.04
        {"12ths, the last step goes on", "3", "12", 1950, 2, 0}, // step 11.7 of 12
        {"24ths at 240 BPM", "3", "24", 2380, 2, 72},            // beat 1.52 of bar 2: step 9.12
        {"64ths inside the stop: its beat", "3", "64", 3500, 3, 0},
        {"192nds after the stop", "3", "192", 4010, 3, 2}, // beat 0.04: fine 1.92
        {"48ths after the stop", "3", "48", 4100, 3, 20},  // beat 0.4: step 4.8
        {"32nds after the stop", "3", "32", 4120, 3, 24},  // beat 0.48: step 3.84
        {"an unknown finer snap keeps the 32nd row", "3", "7", 4120, 3, 18},
        {"half beats, as before", "1", "12", 4120, 3, 24},
        {"12ths past bar 100", "3", "12", 151340, 150, 64}, // beat 1.36: step 4.08
    };
    TempoSong::write(app.model);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteSetting("stepgrabber", "option1", c.snap);
        WriteSetting("stepgrabber", "finesnap", c.fineSnap);
        app.model.clearChart(1, 2);
        QPointer<Grabber> g = startGrabber();
        app.player.playPosition = c.ms;
        QTest::keyClick(g, Qt::Key_Left);
        const Note want{tickOf(c.bar, c.fineRow), PanelLeft, NoteKind::Arrow};
        const auto notes = app.model.chartSteps(1, 2).notes();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0], want) << "bar " << barOfTick(notes[0].tick) << " fine row "
                                  << fineRowOfTick(notes[0].tick);
        g->close();
        settle();
    }
}

// Whatever the freeze choice holds, a key makes a plain arrow where it goes
// down and nothing where it is let go; the whole grab undoes as one step.
TEST_F(GrabberTest, HeldKeysMakePlainArrowsThatUndoAsOneStep) {
    WriteSetting("stepgrabber", "option1", "1");
    WriteSetting("stepgrabber", "option3", "0"); // "for more than 1 beat"
    QPointer<Grabber> g = startGrabber();
    app.player.playPosition = 500; // gap 500: bar 1, beat 1
    QTest::keyPress(g, Qt::Key_Up);
    QTest::keyPress(g, Qt::Key_Down);
    app.player.playPosition = 1000;
    QTest::keyRelease(g, Qt::Key_Down); // one beat
    app.player.playPosition = 1750;
    QTest::keyRelease(g, Qt::Key_Up); // two and a half beats
    const std::vector<Note> want = {{tickOf(1, 0), PanelDown, NoteKind::Arrow},
                                    {tickOf(1, 0), PanelUp, NoteKind::Arrow}};
    const auto notes = app.model.chartSteps(1, 2).notes();
    EXPECT_EQ(std::vector<Note>(notes.begin(), notes.end()), want);
    g->close();
    app.ctx.document.history().undo();
    EXPECT_TRUE(app.model.chartSteps(1, 2).empty());
}

TEST_F(GrabberTest, KeysToPanelsPerStyle) {
    struct KeyPress {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int single, dbl, solo; // panel, 0 = nothing
    };
    const Qt::KeyboardModifiers kp = Qt::KeypadModifier;
    const KeyPress keys[] = {
        {Qt::Key_Left, {}, 1, 1, 1},  {Qt::Key_Down, {}, 3, 3, 3}, {Qt::Key_Up, {}, 4, 4, 4},
        {Qt::Key_Right, {}, 6, 6, 6}, {Qt::Key_4, kp, 1, 7, 1},    {Qt::Key_2, kp, 3, 8, 3},
        {Qt::Key_8, kp, 4, 9, 4},     {Qt::Key_6, kp, 6, 10, 6},   {Qt::Key_Left, kp, 1, 7, 1},
        {Qt::Key_Home, kp, 0, 0, 2}, // Num Lock off
        {Qt::Key_7, kp, 0, 0, 2},     {Qt::Key_9, kp, 0, 0, 5},    {Qt::Key_4, {}, 0, 0, 0},
        {Qt::Key_Space, {}, 0, 0, 0},
    };
    WriteSetting("stepgrabber", "option1", "2");
    for (int style : {1, 2, 3, 4}) {
        app.ctx.session.currentstyle = style;
        QPointer<Grabber> g = startGrabber();
        int row = 1;
        for (const KeyPress& k : keys) {
            // each key on its own quarter beat of bar 1
            app.player.playPosition = 500 + (row - 1) * 125 / 2;
            QTest::keyClick(g, k.key, k.mods);
            const int want = style == 1 ? k.single : style == 4 ? k.solo : k.dbl;
            for (int panel = 1; panel <= kArrowPanels; ++panel)
                EXPECT_EQ(cell(1, row, panel), panel == want ? 1 : 0)
                    << "style " << style << " key 0x" << std::hex << k.key << " panel " << panel;
            row += 2;
        }
        g->close();
        settle();
    }
}

TEST_F(GrabberTest, OverwritesAFreezeStartWithAnArrow) {
    app.model.setStep(1, 2, 1, 1, PanelDown, StepFreezeStart);
    QPointer<Grabber> g = startGrabber();
    app.player.playPosition = 500;
    g->keyDown(40);
    EXPECT_EQ(cell(1, 1, PanelDown), StepArrow);
    g->close();
}

TEST_F(GrabberTest, HeldKeyRecordsOnce) {
    WriteSetting("stepgrabber", "option1", "2");
    QPointer<Grabber> g = startGrabber();
    app.player.playPosition = 500;
    QTest::keyPress(g, Qt::Key_Up);
    app.player.playPosition = 1000;
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(g, &repeat);
    EXPECT_EQ(cell(1, 1, PanelUp), StepArrow);
    EXPECT_EQ(cell(1, 9, PanelUp), StepEmpty);
    g->close();
}

TEST_F(GrabberTest, BeforeTheFirstBeatEveryKeyIsAskedToWait) {
    QPointer<Grabber> g = startGrabber();
    app.player.playPosition = 100; // gap 500: bar 0
    QTest::keyClick(g, Qt::Key_Left);
    QTest::keyClick(g, Qt::Key_Down);
    ASSERT_EQ(app.boxes.shown.size(), 2);
    for (const auto& b : app.boxes.shown) {
        EXPECT_EQ(b.text, "Bar number is less than 1. Please wait until song starts.");
        EXPECT_EQ(b.title, "Please wait.");
        EXPECT_EQ(b.icon, MsgIcon::Information);
    }
    EXPECT_FALSE(g.isNull());
    EXPECT_TRUE(g->isVisible());
    EXPECT_EQ(cell(1, 1, PanelLeft), StepEmpty);
    // Escape is no step: it leaves at once, also here, and the music stops.
    app.player.commands.clear();
    QTest::keyClick(g, Qt::Key_Escape);
    EXPECT_EQ(app.boxes.shown.size(), 2);
    EXPECT_EQ(app.player.commands, QList<int>{winamp::Stop});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(g.isNull());
}

TEST_F(GrabberTest, PastTheLastBarTheBufferIsFull) {
    QPointer<Grabber> g = startGrabber();
    app.player.playPosition = 500 + (kMaxBars - 1) * 2000; // the last bar, row 1
    g->keyDown(37);
    EXPECT_EQ(cell(kMaxBars, 1, PanelLeft), StepArrow);
    app.player.playPosition = 500 + kMaxBars * 2000 - 20; // snaps on past it
    g->keyDown(39);
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().title, "Buffer full.");
    EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
    EXPECT_EQ(app.boxes.last().text,
              "Bar number is greater than 9999: Kolvo cannot cope with songs longer than 9999 "
              "bars. Exiting Grabber (steps have been saved).");
    settle();
    EXPECT_TRUE(g.isNull());
    EXPECT_EQ(cell(kMaxBars, 1, PanelLeft), StepArrow); // kept
    EXPECT_TRUE(editorSideEnabled());
    EXPECT_EQ(repaints, 1);
}

// ----------------------------------------------------------- key tester --

TEST_F(GrabberTest, KeyTesterLightsPerMode) {
    QWidget setupWindow;
    auto* k = new KeyTester(&setupWindow);
    k->show();
    EXPECT_FALSE(setupWindow.isEnabled());
    EXPECT_TRUE(k->modeButton(0)->isChecked());
    EXPECT_EQ(k->testBox()->text(), "Click inside this box to test.");
    const QStringList all{"l", "ul", "d", "u", "ur", "r", "l2", "d2", "u2", "r2"};
    for (const QString& name : all) {
        ASSERT_NE(k->indicator(name), nullptr) << name.toStdString();
        EXPECT_EQ(fillOf(k->indicator(name)), kOffWhite);
    }

    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        QStringList single;
        QStringList dbl;
    };
    const Qt::KeyboardModifiers kp = Qt::KeypadModifier;
    const QList<Case> cases = {
        {Qt::Key_Left, {}, {"l", "l2"}, {"l"}},
        {Qt::Key_Down, {}, {"d", "d2"}, {"d"}},
        {Qt::Key_4, kp, {"l2", "l"}, {"l2"}},
        {Qt::Key_Up, kp, {"u2", "u"}, {"u2"}},
        {Qt::Key_7, kp, {"ul"}, {}},
        {Qt::Key_PageUp, kp, {"ur"}, {}},
        {Qt::Key_4, {}, {}, {}},
    };
    for (int mode : {0, 1}) {
        k->modeButton(mode)->click();
        for (const Case& c : cases) {
            const QStringList& want = mode == 0 ? c.single : c.dbl;
            QTest::keyPress(k->testBox(), c.key, c.mods);
            for (const QString& name : all)
                EXPECT_EQ(k->lit(name), want.contains(name))
                    << "mode " << mode << " " << name.toStdString();
            QTest::keyRelease(k->testBox(), c.key, c.mods);
            for (const QString& name : all)
                EXPECT_FALSE(k->lit(name)) << name.toStdString();
        }
    }
    k->close();
    EXPECT_TRUE(setupWindow.isEnabled());
    settle();
}

} // namespace
