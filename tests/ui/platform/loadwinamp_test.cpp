// LoadWinamp with a scripted player: its checks and messages, the looks
// with the owner's one-second timer in between, and what happens to the
// owner window.
#include "ui/platform/loadwinamp.h"

#include "testapp.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {

class LoadWinampTest : public ::testing::Test {
  protected:
    void SetUp() override {
        owner = new QWidget;
        owner->setAttribute(Qt::WA_DeleteOnClose, false);
        owner->show();
        music = app.writeFile("music folder/my \"song\" ü.wav", "RIFF");
        app.ctx.winamppath = app.path("player dir");
        installArgRecorder(app.ctx.winamppath + "/mpv");
        app.model.setField(SummaryField::MusicFile, music);
    }
    void TearDown() override { delete owner; }

    TestApp app;
    QPointer<QWidget> owner;
    QString music;
};

struct MessageCase {
    const char* name;
    QString musicadd; // "<music>" = the test's music file
    bool playerInstalled;
    LoadWinampResult result;
    QString text; // "<music>", "<folder>" replaced
    QString title;
    bool ownerCloses;
};

} // namespace

TEST_F(LoadWinampTest, FailedChecksSayWhyAndLaunchNothing) {
    const MessageCase cases[] = {
        {"no music", "", true, LoadWinampResult::NoMusic,
         "It would help to specify an MP3 file in the main DWI creator screen.",
         "No MP3 file selected", false},
        {"missing music", "<music>.gone", true, LoadWinampResult::MusicMissing,
         "<music>.gone could not be found. Please check the MP3 file address and the path to "
         "your DDR simulator.",
         "Could not find MP3 file", false},
        {"a folder is not a music file", "<folder>", true, LoadWinampResult::MusicMissing,
         "<folder> could not be found. Please check the MP3 file address and the path to your "
         "DDR simulator.",
         "Could not find MP3 file", false},
        {"no player", "<music>", false, LoadWinampResult::NoPlayer,
         "Could not find your Winamp program in <folder>. Please go to Options and double "
         "check it!",
         "Could not find winamp.exe", true},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.name);
        owner->show();
        app.boxes.shown.clear();
        auto fill = [&](QString s) {
            return s.replace("<music>", music).replace("<folder>", app.ctx.winamppath);
        };
        app.model.setField(SummaryField::MusicFile, fill(c.musicadd));
        if (!c.playerInstalled)
            QFile::remove(app.ctx.winamppath + "/mpv");
        EXPECT_EQ(LoadWinamp(app.ctx, owner), c.result);
        ASSERT_EQ(app.boxes.shown.size(), 1);
        EXPECT_EQ(app.boxes.last().text, fill(c.text));
        EXPECT_EQ(app.boxes.last().title, c.title);
        EXPECT_EQ(app.boxes.last().buttons, MsgButtons::Ok);
        EXPECT_EQ(app.boxes.last().icon, MsgIcon::Exclamation);
        EXPECT_EQ(owner->isVisible(), !c.ownerCloses);
        EXPECT_TRUE(app.launcher.calls.isEmpty());
        EXPECT_TRUE(app.player.commands.isEmpty());
    }
}

TEST_F(LoadWinampTest, AHealthyPlayerIsFoundAtTheFirstLookAndStopped) {
    app.player.looksUntilFound = 0;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(LoadWinamp(app.ctx, owner), LoadWinampResult::Loaded);
    EXPECT_LT(clock.elapsed(), 900); // no one-second wait was needed
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_EQ(app.player.looks, 1);
    EXPECT_EQ(app.player.commands, QList<int>{winamp::Stop});
    EXPECT_NE(app.player.winampwindow, 0);
    EXPECT_EQ(app.player.timertick, 0);
    // The player program in the player folder, the music path untouched.
    ASSERT_EQ(app.launcher.calls.size(), 1);
    EXPECT_EQ(app.launcher.calls[0].program, app.ctx.winamppath + "/mpv");
    EXPECT_EQ(app.launcher.calls[0].args, QStringList{music});
    EXPECT_EQ(app.launcher.calls[0].workingDir, app.ctx.winamppath);
    EXPECT_TRUE(owner->isVisible());
}

TEST_F(LoadWinampTest, WaitsOnTheOwnersTimerBetweenLooksWhileEventsRun) {
    app.player.looksUntilFound = 2; // found at the third look
    int otherEvents = 0;
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&] { ++otherEvents; });
    other.start(100);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(LoadWinamp(app.ctx, owner), LoadWinampResult::Loaded);
    const qint64 took = clock.elapsed();
    EXPECT_EQ(app.player.looks, 3);
    EXPECT_GE(took, 1900);     // two one-second waits
    EXPECT_GT(otherEvents, 5); // the wait blocked nothing
    EXPECT_EQ(app.player.timertick, 0);
    auto* timer = owner->findChild<QTimer*>("WinampTimer");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_FALSE(timer->isActive());
}

TEST_F(LoadWinampTest, APlayerThatNeverAnswersIsGivenUpAfterFiveLooks) {
    app.player.looksUntilFound = -1;
    QTimer own; // the owner's own timer may be handed in instead
    EXPECT_EQ(LoadWinamp(app.ctx, owner, &own), LoadWinampResult::NotAnswering);
    EXPECT_EQ(app.player.looks, 5);
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text, "WinAMP doesn't appear to have loaded!");
    EXPECT_EQ(app.boxes.last().title, "Ack!");
    EXPECT_EQ(app.boxes.last().icon, MsgIcon::Exclamation);
    EXPECT_FALSE(owner->isVisible());
    EXPECT_TRUE(app.player.commands.isEmpty());
}

TEST_F(LoadWinampTest, APlayerThatCannotStartIsReportedAtOnce) {
    app.launcher.succeed = false;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(LoadWinamp(app.ctx, owner), LoadWinampResult::NotAnswering);
    EXPECT_LT(clock.elapsed(), 900);
    EXPECT_EQ(app.player.looks, 0);
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().title, "Ack!");
    EXPECT_FALSE(owner->isVisible());
}

TEST_F(LoadWinampTest, TheOwnerGoingAwayDuringTheWaitEndsItQuietly) {
    app.player.looksUntilFound = -1;
    QTimer::singleShot(300, [this] { delete owner; });
    EXPECT_EQ(LoadWinamp(app.ctx, owner), LoadWinampResult::OwnerGone);
    EXPECT_TRUE(owner.isNull());
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_EQ(app.player.timertick, 0);
}

TEST_F(LoadWinampTest, ASecondLoadDuringTheWaitDoesNothing) {
    app.player.looksUntilFound = 1;
    LoadWinampResult inner = LoadWinampResult::Loaded;
    QTimer::singleShot(200, [&] { inner = LoadWinamp(app.ctx, owner); });
    EXPECT_EQ(LoadWinamp(app.ctx, owner), LoadWinampResult::Loaded);
    EXPECT_EQ(inner, LoadWinampResult::Busy);
    EXPECT_EQ(app.launcher.calls.size(), 1);
}

TEST_F(LoadWinampTest, WorksWithoutAnOwnerWindow) {
    app.player.looksUntilFound = 1;
    EXPECT_EQ(LoadWinamp(app.ctx, nullptr), LoadWinampResult::Loaded);
    EXPECT_EQ(app.player.looks, 2);
    app.player.running = false;
    app.player.looksUntilFound = -1;
    EXPECT_EQ(LoadWinamp(app.ctx, nullptr), LoadWinampResult::NotAnswering);
    EXPECT_EQ(app.boxes.last().title, "Ack!");
}

TEST_F(LoadWinampTest, ToolsNeedingARunningPlayerCloseWhenThereIsNone) {
    app.player.running = false;
    EXPECT_FALSE(FindRunningWinamp(app.ctx, owner));
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text, "WinAMP doesn't appear to be open!");
    EXPECT_EQ(app.boxes.last().title, "Ack!");
    EXPECT_FALSE(owner->isVisible());

    owner->show();
    app.player.running = true;
    EXPECT_TRUE(FindRunningWinamp(app.ctx, owner));
    EXPECT_EQ(app.boxes.shown.size(), 1);
    EXPECT_TRUE(owner->isVisible());
}
