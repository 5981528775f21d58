// The wide view playing one bar in the real mpv (null audio and video
// outputs, so it runs headless with its clock in real time).
#include "core/song/songmodel.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/wideview.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/launcher.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/playerlink.h"

#include "scriptedfiledialogs.h"
#include "scriptedmessageboxes.h"
#include "testapp.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

using namespace kolvo;

namespace {

struct RealPlayerSession {
    SongModel model;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    ProcessLauncher launcher;
    MpvPlayerLink player;
    AppContext ctx{model, boxes, dialogs, launcher, player};
    QTemporaryDir dir;
};

} // namespace

TEST(ToolsPlayerMpv, RightClickPlaysOneBarAndPausesAtItsEnd) {
    if (!qEnvironmentVariableIsSet("KOLVO_MPV_OPTIONS"))
        qputenv("KOLVO_MPV_OPTIONS", "--ao=null --vo=null");
    const QString mpv = QStandardPaths::findExecutable("mpv");
    ASSERT_FALSE(mpv.isEmpty()) << "mpv is not installed (scripts/setup.sh installs it)";

    RealPlayerSession s;
    s.ctx.winamppath = QFileInfo(mpv).absolutePath();
    const QString music = s.dir.filePath("bar test.wav");
    ASSERT_TRUE(kolvo::test::writeTestWav(music, 10000));
    s.model.resetparameters();
    s.model.setField(SummaryField::MusicFile, music);
    s.model.setField(SummaryField::Bpm, QStringLiteral("120"));
    s.model.setField(SummaryField::Gap, QStringLiteral("500"));

    auto* editor = new StepEditorWindow(s.ctx, nullptr);
    editor->show();
    ASSERT_EQ(LoadWinamp(s.ctx, editor), LoadWinampResult::Loaded);
    const int pid = s.player.winampwindow;

    auto* wide = new WideView(s.ctx, editor);
    wide->show();
    // Bar 2 at BPM 120 after a 500 ms gap: 2500 to 4500 ms.
    QTest::mouseClick(wide, Qt::RightButton, {}, QPoint(60, 32 + 10));
    EXPECT_TRUE(s.boxes.shown.isEmpty());
    EXPECT_EQ(s.ctx.session.currentbar, 2);
    EXPECT_EQ(s.ctx.playbarend, 4500);
    EXPECT_EQ(s.player.state(), 1);

    auto waitForPause = [&] {
        QDeadlineTimer deadline(6000);
        while (wide->barEndTimer()->isActive() && !deadline.hasExpired())
            QTest::qWait(5);
        EXPECT_FALSE(wide->barEndTimer()->isActive());
        EXPECT_EQ(s.player.state(), 3) << "left paused, not stopped";
        EXPECT_EQ(s.ctx.playbarend, 0);
        return s.player.position();
    };
    // The player's paused reading may run a little early or late; well
    // short of the next bar's end all the same.
    int pausedAt = waitForPause();
    EXPECT_GT(pausedAt, 4500 - 250);
    EXPECT_LT(pausedAt, 4500 + 500);

    // Bar 4 (6500 to 8500), and while it plays, back to bar 2: the player
    // jumps back and plays bar 2 to its end instead of pausing at once.
    QTest::mouseClick(wide, Qt::RightButton, {}, QPoint(60, 3 * 32 + 10));
    EXPECT_EQ(s.ctx.playbarend, 8500);
    QDeadlineTimer inBar4(3000);
    while (s.player.position() < 7000 && !inBar4.hasExpired())
        QTest::qWait(5);
    QTest::mouseClick(wide, Qt::RightButton, {}, QPoint(60, 32 + 10));
    EXPECT_EQ(s.ctx.playbarend, 4500);
    QTest::qWait(300);
    EXPECT_EQ(s.player.state(), 1) << "still playing bar 2";
    pausedAt = waitForPause();
    EXPECT_GT(pausedAt, 4500 - 250);
    EXPECT_LT(pausedAt, 4500 + 500);

    editor->close();
    s.player.quitPlayer();
    if (pid > 1)
        ::kill(pid, SIGKILL);
}

// At half speed a bar still ends where it ends in the song (the player's
// positions are the song's), two seconds of song taking four of ours; a
// player killed while a bar plays is reported at once.
TEST(ToolsPlayerMpv, HalfSpeedBarsEndInTheSongAndAKilledPlayerIsReported) {
    if (!qEnvironmentVariableIsSet("KOLVO_MPV_OPTIONS"))
        qputenv("KOLVO_MPV_OPTIONS", "--ao=null --vo=null");
    const QString mpv = QStandardPaths::findExecutable("mpv");
    ASSERT_FALSE(mpv.isEmpty()) << "mpv is not installed (scripts/setup.sh installs it)";

    RealPlayerSession s;
    s.ctx.winamppath = QFileInfo(mpv).absolutePath();
    const QString music = s.dir.filePath("bar test.wav");
    ASSERT_TRUE(kolvo::test::writeTestWav(music, 10000));
    s.model.resetparameters();
    s.model.setField(SummaryField::MusicFile, music);
    s.model.setField(SummaryField::Bpm, QStringLiteral("120"));
    s.model.setField(SummaryField::Gap, QStringLiteral("500"));

    auto* editor = new StepEditorWindow(s.ctx, nullptr);
    editor->show();
    ASSERT_EQ(LoadWinamp(s.ctx, editor), LoadWinampResult::Loaded);
    auto* wide = new WideView(s.ctx, editor);
    wide->show();
    wide->Speed()->setCurrentIndex(wide->Speed()->findData(50));

    // Bar 1: 500 to 2500 ms of the song.
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(wide, Qt::RightButton, {}, QPoint(60, 10));
    EXPECT_EQ(s.player.property("speed").toDouble(), 0.5);
    QDeadlineTimer deadline(8000);
    while (wide->barEndTimer()->isActive() && !deadline.hasExpired())
        QTest::qWait(5);
    EXPECT_FALSE(wide->barEndTimer()->isActive());
    EXPECT_GT(clock.elapsed(), 3500) << "the bar played at full speed";
    EXPECT_EQ(s.player.state(), 3);
    const int pausedAt = s.player.position();
    EXPECT_GT(pausedAt, 2500 - 250);
    EXPECT_LT(pausedAt, 2500 + 500);
    EXPECT_TRUE(s.boxes.shown.isEmpty());

    // Bar 3, and the player is killed while it plays.
    QTest::mouseClick(wide, Qt::RightButton, {}, QPoint(60, 2 * 32 + 10));
    ASSERT_TRUE(wide->barEndTimer()->isActive());
    const int pid = s.player.winampwindow;
    ASSERT_GT(pid, 1);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    QDeadlineTimer told(3000);
    while (s.boxes.shown.isEmpty() && !told.hasExpired())
        QTest::qWait(5);
    ASSERT_EQ(s.boxes.shown.size(), 1) << "nothing said of the player's end";
    EXPECT_EQ(s.boxes.last().text, "WinAMP doesn't appear to be open!");
    EXPECT_FALSE(wide->barEndTimer()->isActive());
    EXPECT_EQ(s.ctx.playbarend, 0);
    editor->close();
}
