// Every message box of the program's fixed texts, each raised through
// the path a user takes, checked for its text, title, buttons and icon in one
// table, so no box is off in any of the four.
#include "apptestutil.h"
#include "localhttpserver.h"
#include "testapp.h"

#include "core/app/startuprules.h"
#include "ui/app/aboutform.h"
#include "ui/app/checkforupdates.h"
#include "ui/app/updateactions.h"
#include "ui/dwi/freezes.h"
#include "ui/dwi/simulatortest.h"
#include "ui/editor/powertools.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/wideview.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/settings.h"
#include "ui/summary/songsummarywindow.h"
#include "ui/timing/findthegap.h"
#include "ui/timing/grabber.h"
#include "ui/timing/stepgrabbersetup.h"
#include "ui/timing/synchro.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace kolvo;
using namespace kolvo::test;

namespace {

// One test's world: the scripted services, a stand-in summary window, a
// music file and a player program that exist, and a local update server.
struct World {
    TestApp app;
    QWidget summary;
    LocalHttpServer server;

    World() {
        app.model.resetparameters();
        app.model.setField(SummaryField::MusicFile, app.writeFile("song.wav", "RIFF"));
        app.model.setField(SummaryField::SongName, "Song");
        app.model.setField(SummaryField::Artist, "Artist");
        app.model.setField(SummaryField::Bpm, "120");
        app.model.setField(SummaryField::Gap, "500");
        app.ctx.winamppath = app.path("player");
        installArgRecorder(app.ctx.winamppath + "/mpv");
        app.ctx.simulatorpath = app.path("sim");
    }
    // A window the player loading may close; deleted with the test's windows.
    QWidget* owner() {
        auto* o = new QWidget;
        o->setObjectName("owner");
        o->show();
        return o;
    }
    template <class W> W* show(W* w) {
        w->show();
        return w;
    }
    StepEditorWindow* editor() {
        app.ctx.session.currentstyle = Single;
        app.ctx.session.currentlevel = Basic;
        return show(new StepEditorWindow(app.ctx, &summary));
    }
    EditorLink link(StepEditorWindow* e) {
        EditorLink l;
        l.editor = e;
        l.openToolWindows = [] { return QList<QWidget*>{}; };
        l.startUpdatenow = [] {};
        return l;
    }
    void freezes(const char* a, const char* b, const char* c, bool freeze) {
        auto* f = show(new Freezes(app.ctx, &summary));
        const int first = freeze ? 4 : 1;
        f->findChild<QLineEdit*>(QString("Text%1").arg(first))->setText(a);
        f->findChild<QLineEdit*>(QString("Text%1").arg(first + 1))->setText(b);
        f->findChild<QLineEdit*>(QString("Text%1").arg(first + 2))->setText(c);
        f->findChild<QPushButton*>(QString("Command%1").arg(freeze ? 4 : 3))->click();
    }
    void checkNow(const QByteArray& versionFile) {
        server.set("/kolvo/autoupdate.txt", {LocalHttpServer::Mode::Body, versionFile});
        if (versionFile.isEmpty())
            server.set("/kolvo/autoupdate.txt", {LocalHttpServer::Mode::NotFound, {}});
        WriteSetting(kSettingsSection, kUpdateAddressKey, server.address());
        QPointer<CheckForUpdates> w = new CheckForUpdates(app.ctx, nullptr);
        w->setEndProgram([] {});
        w->show();
        w->checkNowButton->click();
        waitUntil([&] { return w.isNull(); }, 10000);
    }
};

struct Box {
    const char* where;
    std::function<void(World&)> raise;
    QString text; // "<gone>" and "<player>" stand for the world's paths
    QString title;
    MsgButtons buttons;
    MsgIcon icon;
};

const QString kLastBarQuestion =
    "Kolvo only allows a maximum of 9999 bars per step pattern. Inserting a bar "
    "will cause the steps in bar 9999 to be irrevocably lost. Continue?";
const QString kQuarterBeats =
    "Warning! If your BPM and Gap is not PERFECTLY synchronised, and your arrow timing is not "
    "EXTREMELY accurate, using the 16 steps per bar setting may cause a lot of timing errors, "
    "which are very hard to fix.";

} // namespace

TEST(EveryMessage, HasItsTextTitleButtonsAndIcon) {
    using B = MsgButtons;
    using I = MsgIcon;
    const Box boxes[] = {
        // The file commands.
        {"save question",
         [](World& w) {
             SongSummaryWindow m(w.app.ctx);
             m.menuAction("newmenu")->trigger();
         },
         "Do you want to save your current stepfile?", "Kolvo", B::YesNoCancel, I::Question},
        {"export warning",
         [](World& w) {
             SongSummaryWindow m(w.app.ctx);
             m.menuAction("dwimenu")->trigger();
         },
         "A DWI file does not keep everything in your stepfile; do you want to save your stepfile "
         "as a Kolvo file before exporting?",
         "Warning", B::YesNo, I::None},
        {"export complete",
         [](World& w) {
             SongSummaryWindow m(w.app.ctx);
             w.app.boxes.answers = {MsgAnswer::No};
             w.app.dialogs.answers = {w.app.path("out.dwi")};
             m.menuAction("dwimenu")->trigger();
         },
         "DWI export complete!", "Kolvo", B::Ok, I::None},
        {"delete chart",
         [](World& w) { SongSummaryWindow(w.app.ctx).deletepattern(Couple, Maniac); },
         "WARNING! This will delete the entire Couple Maniac step sequence! Are you sure you want "
         "to continue?",
         "Are you sure?", B::YesNo, I::Question},
        // Tempo events.
        {"bad bar", [](World& w) { w.freezes("0", "1", "120", false); },
         "Invalid Bar Value: needed: whole number from 1 to 9999", "Kolvo", B::Ok, I::Critical},
        {"bad beat", [](World& w) { w.freezes("5", "9", "500", true); },
         "Invalid Beat Value: needed: 1, 2, 3 or 4", "Kolvo", B::Ok, I::Critical},
        {"bad BPM", [](World& w) { w.freezes("5", "1", "x", false); }, "Invalid BPM value.",
         "Kolvo", B::Ok, I::Critical},
        {"bad freeze", [](World& w) { w.freezes("5", "1", "0", true); },
         "Invalid Freeze Time value.", "Kolvo", B::Ok, I::Critical},
        // The simulator test.
        {"no simulator", [](World& w) { TestInSimulator(w.app.ctx, nullptr); },
         "DWI2.exe not found in your simulator directory. Check the directory in Options.",
         "DWI Not Found", B::Ok, I::None},
        {"incomplete",
         [](World& w) {
             w.app.model.setField(SummaryField::Artist, "");
             TickTest(w.app.ctx, nullptr);
         },
         "MP3 File Location, song name and artist are not all filled in. Complete them and try "
         "again.",
         "Incomplete", B::Ok, I::None},
        // The step editor.
        {"bad bar number",
         [](World& w) {
             StepEditorWindow* e = w.editor();
             QTest::keyClick(e->gotobat(), '0');
             QTest::keyClick(e->gotobat(), Qt::Key_Return);
         },
         "That bar number is invalid; it must be a whole number between 1 and 9999.", "Kolvo",
         B::Ok, I::None},
        {"bad foot level", [](World& w) { w.editor()->footlevel()->setText("21"); },
         "Footlevel must be a whole number between 1 and 20.", "Footlevel invalid.", B::Ok,
         I::Critical},
        // Loading the song into the player.
        {"no music",
         [](World& w) {
             w.app.model.setField(SummaryField::MusicFile, "");
             LoadWinamp(w.app.ctx, w.owner());
         },
         "It would help to specify an MP3 file in the main DWI creator screen.",
         "No MP3 file selected", B::Ok, I::Exclamation},
        {"music missing",
         [](World& w) {
             w.app.model.setField(SummaryField::MusicFile, w.app.path("gone.wav"));
             LoadWinamp(w.app.ctx, w.owner());
         },
         "<gone> could not be found. Please check the MP3 file address and the path to "
         "your DDR simulator.",
         "Could not find MP3 file", B::Ok, I::Exclamation},
        {"no player",
         [](World& w) {
             w.app.ctx.winamppath = w.app.path("nothing here");
             LoadWinamp(w.app.ctx, w.owner());
         },
         "Could not find your Winamp program in <player>. Please go to Options and double check "
         "it!",
         "Could not find winamp.exe", B::Ok, I::Exclamation},
        {"player never answers",
         [](World& w) {
             w.app.player.looksUntilFound = -1;
             LoadWinamp(w.app.ctx, w.owner());
         },
         "WinAMP doesn't appear to have loaded!", "Ack!", B::Ok, I::Exclamation},
        // Bar operations.
        {"insert loses the last bar",
         [](World& w) {
             w.app.model.setStep(Single, Basic, kMaxBars, 1, PanelLeft, StepArrow);
             w.show(new PowerTools(w.app.ctx, w.editor()))->insertBar();
         },
         kLastBarQuestion, "Sure?", B::YesNo, I::None},
        {"delete a bar with steps",
         [](World& w) {
             StepEditorWindow* e = w.editor();
             w.app.model.setStep(Single, Basic, 1, 1, PanelLeft, StepArrow);
             w.show(new PowerTools(w.app.ctx, e))->deleteBar();
         },
         "Warning! This will irrevocably delete all steps in bar 1! Go ahead?", "Sure?", B::YesNo,
         I::None},
        {"paste without a bar",
         [](World& w) {
             QApplication::clipboard()->setText("not a bar");
             w.show(new PowerTools(w.app.ctx, w.editor()))->pasteReplace();
         },
         "The clipboard does not contain a valid Kolvo bar.", "Could not load from clipboard.",
         B::Ok, I::Critical},
        {"wide view without player",
         [](World& w) {
             w.app.player.running = false;
             w.show(new WideView(w.app.ctx, w.editor()))->pressRow(4, true);
         },
         "Winamp window not found. Load the file by clicking on the Winamp icon in the step "
         "chooser.",
         "Winamp not found.", B::Ok, I::None},
        // Timing tools.
        {"player closed before timing",
         [](World& w) {
             auto* f = w.show(new FindTheGap(w.app.ctx, &w.summary));
             f->keyDown(13);
             w.app.player.running = false;
             f->keyDown(13);
         },
         "WinAMP doesn't appear to be open!", "Ack!", B::Ok, I::Exclamation},
        {"sync check without player",
         [](World& w) {
             w.app.player.running = false;
             w.show(new Synchro(w.app.ctx, &w.summary))->testButton()->click();
         },
         "Winamp window not found. Load the file by clicking on the Winamp icon.",
         "Winamp not found.", B::Ok, I::None},
        {"quarter beats",
         [](World& w) {
             w.show(new StepGrabberSetup(w.app.ctx, w.link(w.editor())))->snapButton(2)->click();
         },
         kQuarterBeats, "Warning", B::Ok, I::Critical},
        {"grab before the song starts",
         [](World& w) {
             w.app.player.running = true;
             auto* g = w.show(new Grabber(w.app.ctx, w.link(w.editor())));
             g->start();
             w.app.player.playPosition = 100;
             g->keyDown(37);
         },
         "Bar number is less than 1. Please wait until song starts.", "Please wait.", B::Ok,
         I::Information},
        {"grab past the last bar",
         [](World& w) {
             w.app.player.running = true;
             auto* g = w.show(new Grabber(w.app.ctx, w.link(w.editor())));
             g->start();
             w.app.player.playPosition = 500 + kMaxBars * 2000;
             g->keyDown(37);
         },
         "Bar number is greater than 9999: Kolvo cannot cope with songs longer than 9999 bars. "
         "Exiting Grabber (steps have been saved).",
         "Buffer full.", B::Ok, I::Critical},
        // Updates and the web page.
        {"no browser",
         [](World& w) {
             PathOverride path(w.app.path("empty"), true);
             webjump(w.app.ctx, nullptr);
         },
         "Could not find associated Browser", "Browser Not Found", B::Ok, I::Exclamation},
        {"browser does not start",
         [](World& w) {
             installArgRecorder(w.app.path("bin/xdg-open"));
             PathOverride path(w.app.path("bin"), true);
             w.app.launcher.succeed = false;
             webjump(w.app.ctx, nullptr);
         },
         "Web Page not Opened", "URL Failed", B::Ok, I::Exclamation},
        {"update offer", [](World& w) { w.checkNow("7\n0\n0\n"); },
         "A new version, 7.0.0 is available. Do you want to launch your default web browser and "
         "go to the Kolvo web page?",
         "New Version Found", B::YesNo, I::None},
        {"no update", [](World& w) { w.checkNow("1\n0\n1\n"); },
         "No updates were found: you have the latest version.", "No updates found.", B::Ok,
         I::None},
        {"update not downloaded", [](World& w) { w.checkNow({}); },
         "Could not download update information file; there may be a network problem.",
         "Could not connect.", B::Ok, I::None},
        // About.
        {"no system information",
         [](World& w) {
             auto* a = w.show(new AboutForm(w.app.ctx));
             PathOverride path(w.app.path("empty"), true);
             a->cmdSysInfo->click();
         },
         "System Information Is Unavailable At This Time", "KolvoDWICreator", B::Ok, I::None},
    };
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.where);
        freshSettingsAndLog();
        World w;
        WindowsClosedAtEnd closeWindows;
        b.raise(w);
        QString text = b.text;
        text.replace("<gone>", w.app.path("gone.wav"))
            .replace("<player>", w.app.path("nothing here"));
        const auto& shown = w.app.boxes.shown;
        const auto it =
            std::find_if(shown.begin(), shown.end(), [&](const auto& s) { return s.text == text; });
        ASSERT_NE(it, shown.end())
            << (shown.isEmpty() ? std::string("no box") : shown.first().text.toStdString());
        EXPECT_EQ(it->title, b.title);
        EXPECT_EQ(it->buttons, b.buttons);
        EXPECT_EQ(it->icon, b.icon);
    }
}
