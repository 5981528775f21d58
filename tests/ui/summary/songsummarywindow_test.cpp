// The song summary window: its fields both ways with the model, the
// normalisations on leaving a field, the title, the music file digest, the
// "Mark as new" mapping, the music browse, the menus, and the chart buttons
// with their delete and auto-display commands.
#include "core/files/digest.h"
#include "core/song/songmodel.h"
#include "testapp.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/stepgrid.h"
#include "ui/platform/settings.h"
#include "ui/summary/clicklabel.h"
#include "ui/summary/filecommands.h"
#include "ui/summary/songsummarywindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QImage>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUndoStack>
#include <QWindow>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

class SongSummaryWindowTest : public ::testing::Test {
  protected:
    test::TestApp app;
    std::unique_ptr<SongSummaryWindow> w;

    void SetUp() override { w = std::make_unique<SongSummaryWindow>(app.ctx); }

    QLineEdit* edit(const char* name) {
        auto* e = w->findChild<QLineEdit*>(name);
        EXPECT_NE(e, nullptr) << name;
        return e;
    }
    // Types into a field and leaves it.
    void typeAndLeave(const char* name, const QString& text) {
        QLineEdit* e = edit(name);
        e->selectAll();
        if (text.isEmpty())
            QTest::keyClick(e, Qt::Key_Delete);
        else
            QTest::keyClicks(e, text);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(e, &out);
    }
    QPushButton* button(int n) { return w->chartButton(n); }
};

TEST_F(SongSummaryWindowTest, LeavingANumberFieldNormalisesIt) {
    struct Case {
        const char* field;
        QString typed;
        QString left;
    };
    const QMap<QString, SummaryField> fields{{"bpm", SummaryField::Bpm},
                                             {"gap", SummaryField::Gap},
                                             {"samplestart", SummaryField::SampleStart},
                                             {"samplelength", SummaryField::SampleLength}};
    const Case cases[] = {
        {"bpm", "150bpm", "150"},
        {"bpm", "", "0"},
        {"bpm", "128.50", "128.5"},
        {"bpm", " 1 2 0 ", "120"},
        {"gap", "-20", "0"},
        {"gap", "20.5", "20.5"},
        {"gap", "abc", "0"},
        {"samplestart", "-1500", "-1500"},
        {"samplelength", "-7.0", "-7"},
        {"samplelength", "12000ms", "12000"},
    };
    for (const Case& c : cases) {
        typeAndLeave(c.field, c.typed);
        EXPECT_EQ(edit(c.field)->text(), c.left) << c.field << " typed " << c.typed.toStdString();
        EXPECT_EQ(app.model.field(fields.value(c.field)), c.left) << c.field;
    }
    // Text fields are kept as typed.
    typeAndLeave("artist", " 007 ");
    EXPECT_EQ(app.model.artist(), " 007 ");
}

TEST_F(SongSummaryWindowTest, FieldsFollowTheModelBothWays) {
    EXPECT_EQ(edit("bpm")->text(), "120");
    EXPECT_EQ(edit("gap")->text(), "0");
    QTest::keyClicks(edit("genre"), "Trance");
    EXPECT_EQ(app.model.genre(), "Trance");
    app.ctx.document.setField(SummaryField::Bpm, "133"); // e.g. the BPM finder
    EXPECT_EQ(edit("bpm")->text(), "133");
    app.ctx.document.setField(SummaryField::FileTag, "song.mp3");
    EXPECT_EQ(edit("filetag")->text(), "song.mp3");
}

TEST_F(SongSummaryWindowTest, TitleFollowsTheSongName) {
    EXPECT_EQ(w->windowTitle(), "Kolvo DWI Creator");
    QTest::keyClicks(edit("songname"), "Butterfly");
    EXPECT_EQ(w->windowTitle(), "Butterfly - Kolvo DWI Creator");
    edit("songname")->selectAll();
    QTest::keyClick(edit("songname"), Qt::Key_Backspace);
    EXPECT_EQ(w->windowTitle(), "Kolvo DWI Creator");
    app.ctx.document.setField(SummaryField::SongName, "Loaded");
    EXPECT_EQ(w->windowTitle(), "Loaded - Kolvo DWI Creator");
}

TEST_F(SongSummaryWindowTest, DigestOfTheMusicFileFollowsEveryKeystroke) {
    const QString path = app.writeFile("music/a.wav", "abc");
    QLineEdit* text2 = edit("Text2");
    EXPECT_EQ(text2->text(), "Not found.");
    QTest::keyClicks(edit("musicadd"), path.chopped(1));
    EXPECT_EQ(text2->text(), "Not found.");
    QTest::keyClicks(edit("musicadd"), path.right(1));
    EXPECT_EQ(text2->text(), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_TRUE(text2->isReadOnly());

    // A bigger file than one read chunk.
    QByteArray big(200000, 'x');
    const QString bigPath = app.writeFile("big.bin", big);
    EXPECT_EQ(DigestFile(bigPath),
              QString::fromLatin1(QCryptographicHash::hash(big, QCryptographicHash::Md5).toHex()));
    EXPECT_EQ(DigestFile(app.path("missing.mp3")), "Not found.");
    EXPECT_EQ(DigestFile(app.dir.path()), "Not found."); // a folder
    EXPECT_EQ(DigestFile(""), "Not found.");
}

TEST_F(SongSummaryWindowTest, MarkAsNewMapsOptionsToCheck1) {
    EXPECT_TRUE(w->markAsNewOption(0)->isChecked());
    EXPECT_EQ(w->markAsNewOption(0)->text(), "Normal");
    EXPECT_EQ(w->markAsNewOption(1)->text(), "Always");
    EXPECT_EQ(w->markAsNewOption(2)->text(), "Never");
    auto* check1 = w->findChild<QCheckBox*>("Check1");
    ASSERT_NE(check1, nullptr);
    EXPECT_FALSE(check1->isVisibleTo(w.get()));
    EXPECT_EQ(check1->text(), "Invisible Status-New");

    const int expected[] = {2, 1, 0};
    for (int i : {2, 1, 0}) {
        QTest::mouseClick(w->markAsNewOption(i), Qt::LeftButton);
        EXPECT_EQ(app.model.markAsNew(), expected[i]) << "Option1(" << i << ")";
    }
    app.ctx.document.setMarkAsNew(0); // e.g. an undo
    EXPECT_TRUE(w->markAsNewOption(2)->isChecked());
    SongModel loaded;
    loaded.resetparameters();
    loaded.setMarkAsNew(1);
    app.ctx.document.loadSong(loaded, QString()); // as Open does
    EXPECT_TRUE(w->markAsNewOption(1)->isChecked());
    app.ctx.document.newSong();
    EXPECT_TRUE(w->markAsNewOption(0)->isChecked());
}

TEST_F(SongSummaryWindowTest, MusicBrowseUsesTheSharedDialog) {
    const QString music = app.writeFile("songs/track.mp3", "abc");
    app.ctx.simulatorpath = app.path("sim");
    app.dialogs.answers << music;
    w->findChild<QPushButton*>("Command18")->click();
    ASSERT_EQ(app.dialogs.asked.size(), 1);
    const FileDialogRequest& r = app.dialogs.asked[0];
    EXPECT_EQ(r.mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(r.filter, "Music File (*.wav, *.mp3, *.ogg)|*.wav;*.mp3;*.ogg");
    EXPECT_EQ(r.initialDir, app.path("sim"));
    EXPECT_EQ(r.fileName, "");
    EXPECT_TRUE(r.fileMustExist);
    EXPECT_EQ(app.model.musicadd(), music);
    EXPECT_EQ(edit("Text2")->text(), "900150983cd24fb0d6963f7d28e17f72");

    // The next file dialog starts in the music file's folder.
    w->fileCommands().savemenu();
    ASSERT_EQ(app.dialogs.asked.size(), 2);
    EXPECT_EQ(app.dialogs.asked[1].initialDir, app.path("songs") + "/");

    // A cancelled browse empties the path.
    w->findChild<QPushButton*>("Command18")->click();
    EXPECT_EQ(app.model.musicadd(), "");
    EXPECT_EQ(edit("Text2")->text(), "Not found.");
    ASSERT_EQ(app.dialogs.asked.size(), 3);
    EXPECT_EQ(app.dialogs.asked[2].defaultExt, ""); // not the work file's "kolvo"
}

TEST(SongSummaryWindowLoad, DeletesALeftoverIniAndTicksAutoDisplay) {
    test::TestApp app;
    const QString ini = dataFilePath("kolvo.ini");
    ASSERT_FALSE(test::writeScratchFile(ini, "old").isEmpty());
    app.ctx.session.autowide = 1;
    app.ctx.session.autopower = 1;
    app.ctx.session.currentstyle = 3;
    SongSummaryWindow w(app.ctx);
    EXPECT_FALSE(QFile::exists(ini));
    EXPECT_EQ(app.ctx.goahead, 10);
    EXPECT_EQ(app.ctx.session.currentstyle, 1);
    EXPECT_TRUE(w.menuAction("wideviewmenu")->isChecked());
    EXPECT_FALSE(w.menuAction("autodisplaytransformationsmenu")->isChecked());
    EXPECT_TRUE(w.menuAction("autodisplaypowertoolsmenu")->isChecked());
}

TEST_F(SongSummaryWindowTest, MenusHaveTheirCaptionsAndShortcuts) {
    struct Item {
        const char* name;
        const char* caption;
        const char* shortcut;
        bool enabled;
    };
    const Item items[] = {
        {"newmenu", "&New", "Ctrl+N", true},
        {"openmenu", "&Open Kolvo Work In Progress...", "Ctrl+O", true},
        {"savemenu", "&Save As Kolvo Work In Progress...", "Ctrl+S", true},
        {"dwimenu", "&Export to DWI...", "Ctrl+D", true},
        {"smmenu", "Export to Step&Mania...", "Ctrl+M", true},
        {"sscmenu", "Export to StepMania &5 (.ssc)...", "", true},
        {"exitmenu", "E&xit", "Ctrl+X", true},
        {"recentmenu", "&Recent Songs", "", true},
        {"deletemenu", "&Delete", "", true},
        {"findgapmenu", "Find The &Gap...", "Ctrl+G", true},
        {"findbpmmenu", "Find &BPM...", "Ctrl+B", true},
        {"detecttempomenu", "&Detect BPM and Gap...", "Ctrl+Shift+B", true},
        {"checkupdatesmenu", "Check for &Updates...", "Ctrl+Alt+U", true},
        {"synchromenu", "&Synchronisation Checker...", "Ctrl+Y", true},
        {"ddrlocationmenu", "&DDR Simulator Address...", "", true},
        {"winamplocationmenu", "&Winamp Address...", "", true},
        {"autodisplaymenu", "&Auto-Display on opening Step Editor...", "", true},
        {"wideviewmenu", "&Wide View", "", true},
        {"autodisplaytransformationsmenu", "&Transformations", "", true},
        {"autodisplaypowertoolsmenu", "&Power Tools", "", true},
        {"helpinfomenu", "Where to find &Help...", "F1", true},
        {"aboutmenu", "&About...", "", true},
        {"delsinglebasicmenu", "&Basic...", "", true},
        {"deldoublesmaniacmenu", "&S-Maniac...", "", true},
        {"delcoupleanothermenu", "&Another...", "", true},
        {"delsolomaniacmenu", "&Maniac...", "", true},
        {"delsoloeditmenu", "&Edit...", "", false},
    };
    for (const Item& it : items) {
        QAction* a = w->menuAction(it.name);
        ASSERT_NE(a, nullptr) << it.name;
        EXPECT_EQ(a->text(), it.caption) << it.name;
        EXPECT_EQ(a->shortcut().toString(), it.shortcut) << it.name;
        EXPECT_EQ(a->isEnabled(), it.enabled) << it.name;
    }
    // Ctrl+Q quits too.
    EXPECT_EQ(w->menuAction("exitmenu")->shortcuts(),
              (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_X),
                                   QKeySequence(Qt::CTRL | Qt::Key_Q)}));
    // No two entries of a menu share their Alt letter.
    for (QMenu* menu : w->findChildren<QMenu*>()) {
        QSet<QChar> letters;
        for (QAction* a : menu->actions()) {
            const qsizetype amp = a->text().indexOf(u'&');
            if (a->isSeparator() || amp < 0 || amp + 1 >= a->text().size())
                continue;
            const QChar letter = a->text().at(amp + 1).toLower();
            EXPECT_FALSE(letters.contains(letter))
                << menu->objectName().toStdString() << ": " << a->text().toStdString();
            letters << letter;
        }
    }
    for (const char* top : {"filemenu", "editmenu", "toolsmenu", "optionsmenu", "helpmenu"})
        EXPECT_NE(w->menuAction(top), nullptr) << top;
    for (const char* label : {"musicinfolabel", "filetaglabel", "findbpmlabel", "findgaplabel",
                              "Synchroloader", "Label27"}) {
        ClickLabel* l = w->clickLabel(label);
        ASSERT_NE(l, nullptr) << label;
        EXPECT_TRUE(l->isEnabled()) << label;
    }
    EXPECT_EQ(w->clickLabel("Label27")->text(), "test in DWI.");
    EXPECT_EQ(w->clickLabel("Synchroloader")->text(), "Sync Check");
    EXPECT_EQ(w->findChild<QPushButton*>("Command17")->text(), "Arrow freezes / BPM shifts");
}

TEST_F(SongSummaryWindowTest, ChartButtonsShowTheirChartsFlags) {
    for (int n = 1; n <= 16; ++n) {
        ASSERT_NE(button(n), nullptr);
        EXPECT_EQ(button(n)->text(), "No Data");
        EXPECT_EQ(button(n)->palette().color(QPalette::Button), QColor(255, 255, 255));
    }
    for (int n = 20; n <= 23; ++n) {
        EXPECT_EQ(button(n)->text(), "Unavailable");
        EXPECT_FALSE(button(n)->isEnabled());
    }
    // Command10 is Double Maniac; a flag set with no arrows still reads "Data".
    app.model.setDataexists(Double, Maniac, Value::number(1));
    EXPECT_EQ(button(10)->text(), "No Data"); // only datacheck changes the buttons
    w->datacheck();
    EXPECT_EQ(button(10)->text(), "Data");
    EXPECT_EQ(button(10)->palette().color(QPalette::Button), QColor(128, 255, 128));
    EXPECT_EQ(button(6)->text(), "No Data");
    app.ctx.document.newSong(); // a new song shows on the buttons at once
    EXPECT_EQ(button(10)->text(), "No Data");
}

// While another window holds the summary window, its chart buttons look
// disabled (the style's disabled colours, not the data colours).
TEST_F(SongSummaryWindowTest, ChartButtonsLookDisabledWhileTheSummaryIsHeld) {
    app.model.setDataexists(Single, Basic, Value::number(1));
    w->datacheck();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    const QPalette standard = QApplication::palette(button(1));
    for (int n : {1, 2}) {
        const QPalette pal = button(n)->palette();
        EXPECT_EQ(pal.color(QPalette::Disabled, QPalette::Button),
                  standard.color(QPalette::Disabled, QPalette::Button))
            << n;
        EXPECT_EQ(pal.color(QPalette::Disabled, QPalette::ButtonText),
                  standard.color(QPalette::Disabled, QPalette::ButtonText))
            << n;
    }
    const QImage enabled = button(1)->grab().toImage();
    w->setEnabled(false);
    EXPECT_NE(button(1)->grab().toImage(), enabled);
    w->setEnabled(true);
    EXPECT_EQ(button(1)->palette().color(QPalette::Active, QPalette::Button),
              SongSummaryWindow::dataColor());
}

TEST_F(SongSummaryWindowTest, DeleteAsksAndWipesOnlyTheArrows) {
    SongModel& m = app.model;
    m.setStep(Single, Basic, 3, 5, PanelDown, StepArrow);
    m.setDataexists(Single, Basic, Value::number(1));
    m.setFootlevels(Single, Basic, Value::text("7"));
    m.setTempo(Single, Basic, 2, 1, BPMCHANNEL, 150);
    m.setTempo(Single, Basic, 2, 3, FREEZECHANNEL, 500);
    w->datacheck();

    app.boxes.answers << MsgAnswer::No;
    w->menuAction("delsinglebasicmenu")->trigger();
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text, "WARNING! This will delete the entire Single Basic step "
                                     "sequence! Are you sure you want to continue?");
    EXPECT_EQ(app.boxes.last().title, "Are you sure?");
    EXPECT_EQ(app.boxes.last().buttons, MsgButtons::YesNo);
    EXPECT_EQ(app.boxes.last().icon, MsgIcon::Question);
    EXPECT_EQ(m.step(Single, Basic, 3, 5, PanelDown), StepArrow);
    EXPECT_EQ(button(1)->text(), "Data");

    app.boxes.answers << MsgAnswer::Yes;
    w->menuAction("delsinglebasicmenu")->trigger();
    EXPECT_EQ(m.step(Single, Basic, 3, 5, PanelDown), StepEmpty);
    EXPECT_FALSE(m.hasData(Single, Basic));
    EXPECT_EQ(m.footlevels(Single, Basic), Value::text("7"));
    EXPECT_EQ(m.tempo(Single, Basic, 2, 1, BPMCHANNEL), 150);
    EXPECT_EQ(m.tempo(Single, Basic, 2, 3, FREEZECHANNEL), 500);
    EXPECT_EQ(button(1)->text(), "No Data");

    // An empty chart asks the same way; names come from the style and level.
    app.boxes.answers << MsgAnswer::Yes;
    w->menuAction("deldoublesmaniacmenu")->trigger();
    EXPECT_EQ(app.boxes.last().text, "WARNING! This will delete the entire Double S-Maniac step "
                                     "sequence! Are you sure you want to continue?");
    EXPECT_EQ(button(14)->text(), "No Data");
}

TEST_F(SongSummaryWindowTest, AutoDisplayItemsToggleAndPersist) {
    struct Item {
        const char* menu;
        int EditSession::*flag;
        const char* key;
    };
    const Item items[] = {{"wideviewmenu", &EditSession::autowide, "autowide"},
                          {"autodisplaytransformationsmenu", &EditSession::autotrans, "autotrans"},
                          {"autodisplaypowertoolsmenu", &EditSession::autopower, "autopower"}};
    for (const Item& it : items) {
        app.ctx.session.*it.flag = 0;
        QAction* a = w->menuAction(it.menu);
        a->setChecked(false);
        a->trigger();
        EXPECT_EQ(app.ctx.session.*it.flag, 1) << it.menu;
        EXPECT_TRUE(a->isChecked()) << it.menu;
        EXPECT_EQ(ReadSetting("Settings", it.key, "No"), "1") << it.key;
        a->trigger();
        EXPECT_EQ(app.ctx.session.*it.flag, 0) << it.menu;
        EXPECT_FALSE(a->isChecked()) << it.menu;
        EXPECT_EQ(ReadSetting("Settings", it.key, "No"), "0") << it.key;
    }
}

TEST_F(SongSummaryWindowTest, ChartButtonOpensTheEditorAndRefreshesAfterIt) {
    w->show();
    button(7)->click(); // Couple Another
    EXPECT_EQ(app.ctx.session.currentstyle, Couple);
    EXPECT_EQ(app.ctx.session.currentlevel, Another);
    EXPECT_FALSE(w->isEnabled());
    QWidget* editor = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->inherits("kolvo::StepEditorWindow") && top->isVisible())
            editor = top;
    ASSERT_NE(editor, nullptr);
    // Opening the chart gave it data; its button says so at once.
    EXPECT_EQ(button(7)->text(), "Data");
    editor->close();
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(button(7)->text(), "Data");
}

// Beginner charts sit in a row of their own under the table: they open in
// the editor, show their flag, and Edit > Delete asks about them as it asks
// about the others.
TEST_F(SongSummaryWindowTest, BeginnerChartsOpenShowTheirDataAndAreDeletedAfterTheQuestion) {
    w->show();
    for (int s = 1; s <= kStyles; ++s) {
        ASSERT_NE(w->beginnerButton(s), nullptr);
        EXPECT_EQ(w->beginnerButton(s)->text(), "No Data");
    }
    w->beginnerButton(Double)->click();
    EXPECT_EQ(app.ctx.session.currentstyle, Double);
    EXPECT_EQ(app.ctx.session.currentlevel, Beginner);
    StepEditorWindow* editor = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* k = qobject_cast<StepEditorWindow*>(top); k && k->isVisible())
            editor = k;
    ASSERT_NE(editor, nullptr);
    QTest::mousePress(editor->grid(), Qt::LeftButton, {},
                      StepGrid::cellRect(9, PanelDown2).center());
    EXPECT_EQ(app.model.step(Double, Beginner, 1, 9, PanelDown2), StepArrow);
    EXPECT_FALSE(app.model.hasData(Double, Basic)); // the table's charts are untouched
    EXPECT_EQ(app.model.step(Double, Basic, 1, 9, PanelDown2), StepEmpty);
    editor->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->beginnerButton(Double)->text() == "Data"; }, 2000));
    EXPECT_EQ(button(2)->text(), "No Data");

    QAction* del = w->menuAction("deldoublebeginnermenu");
    ASSERT_NE(del, nullptr);
    EXPECT_EQ(del->text(), "Be&ginner...");
    app.boxes.answers << MsgAnswer::No << MsgAnswer::Yes;
    del->trigger();
    EXPECT_EQ(app.boxes.last().text, "WARNING! This will delete the entire Double Beginner step "
                                     "sequence! Are you sure you want to continue?");
    EXPECT_EQ(app.model.step(Double, Beginner, 1, 9, PanelDown2), StepArrow);
    del->trigger();
    EXPECT_EQ(app.model.step(Double, Beginner, 1, 9, PanelDown2), StepEmpty);
    EXPECT_EQ(w->beginnerButton(Double)->text(), "No Data");
    app.ctx.document.history().undo();
    EXPECT_EQ(app.model.step(Double, Beginner, 1, 9, PanelDown2), StepArrow);
    EXPECT_EQ(w->beginnerButton(Double)->text(), "Data");
}

// The close box of the summary window, pressed while the step editor holds
// it, asks nothing and ends nothing; once the editor is gone it asks again.
TEST_F(SongSummaryWindowTest, CloseBoxDoesNothingWhileAnotherWindowHoldsTheSummary) {
    QSignalSpy closed(w.get(), &SongSummaryWindow::closed);
    app.model.setField(SummaryField::SongName, "Unsaved");
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    button(1)->click();
    ASSERT_FALSE(w->isEnabled());
    QWidget* editor = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->inherits("kolvo::StepEditorWindow") && top->isVisible())
            editor = top;
    ASSERT_NE(editor, nullptr);

    // The window system's close request: a close event on the native
    // window, which reaches the widget as a spontaneous one.
    auto requestClose = [&] {
        QCloseEvent request;
        QCoreApplication::sendEvent(w->windowHandle(), &request);
    };
    app.boxes.answers = {MsgAnswer::No};
    requestClose();
    QApplication::processEvents();
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(closed.size(), 0);
    EXPECT_TRUE(editor->isVisible());

    editor->close();
    ASSERT_TRUE(w->isEnabled());
    app.boxes.answers = {MsgAnswer::Cancel};
    requestClose();
    QApplication::processEvents();
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text, "Do you want to save your current stepfile?");
    EXPECT_TRUE(w->isVisible()); // cancelled
}

} // namespace

namespace {

TEST(ClickLabelTest, ReportsAClickOnlyWhileEnabled) {
    ClickLabel label("Find BPM");
    label.resize(80, 20);
    QSignalSpy clicked(&label, &ClickLabel::clicked);
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(clicked.size(), 1);
    QTest::mouseClick(&label, Qt::RightButton);
    EXPECT_EQ(clicked.size(), 1);
    label.setEnabled(false);
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(clicked.size(), 1);
}

} // namespace

namespace {

QWidget* shownWindow(const QString& name) {
    for (QWidget* t : QApplication::topLevelWidgets())
        if (t->objectName() == name && t->isVisible())
            return t;
    return nullptr;
}

} // namespace

// Every menu entry and clickable label reaches its window; the windows that
// edit or time the song hold the summary window while they are open.
TEST_F(SongSummaryWindowTest, EntriesAndLabelsOpenTheirWindows) {
    struct Opener {
        const char* entry;
        bool label;
        const char* window;
        bool holdsSummary;
    } openers[] = {
        {"findgapmenu", false, "FindTheGap", true},
        {"findgaplabel", true, "FindTheGap", true},
        {"findbpmmenu", false, "FindBPM", true},
        {"findbpmlabel", true, "FindBPM", true},
        {"detecttempomenu", false, "DetectTempo", true},
        {"synchromenu", false, "Synchro", true},
        {"Synchroloader", true, "Synchro", true},
        {"helpinfomenu", false, "HelpInformation", true},
        {"ddrlocationmenu", false, "DDRLocation", true},
        {"winamplocationmenu", false, "WinampLocation", true},
        {"aboutmenu", false, "AboutForm", false},
        {"musicinfolabel", true, "MusicInfo", false},
        {"filetaglabel", true, "MusicInfo", false},
    };
    w->show();
    for (const Opener& o : openers) {
        if (o.label)
            emit w->clickLabel(o.entry)->clicked();
        else
            w->menuAction(o.entry)->trigger();
        QWidget* opened = shownWindow(o.window);
        ASSERT_NE(opened, nullptr) << o.entry;
        EXPECT_EQ(w->isEnabled(), !o.holdsSummary) << o.entry;
        opened->close();
        QApplication::processEvents();
        EXPECT_TRUE(w->isEnabled()) << o.entry;
    }
}

// The tick test label runs the simulator test, which first wants a song.
TEST_F(SongSummaryWindowTest, TickTestLabelRunsTheSimulatorTest) {
    emit w->clickLabel("Label27")->clicked();
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_TRUE(app.boxes.last().text.contains("are not all filled in"));
    EXPECT_TRUE(app.launcher.calls.isEmpty());
}
