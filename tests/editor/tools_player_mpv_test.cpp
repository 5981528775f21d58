// The wide view playing one bar in the real mpv (null audio and video
// outputs, so it runs headless with its clock in real time).
#include "editor/kolvo.h"
#include "editor/wideview.h"
#include "model/songmodel.h"
#include "platform/appcontext.h"
#include "platform/filedialogs.h"
#include "platform/launcher.h"
#include "platform/loadwinamp.h"
#include "platform/messageboxes.h"
#include "platform/playerlink.h"

#include "testapp.h"

#include <QDeadlineTimer>
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
    ASSERT_TRUE(kolvo::test::writeTestWav(music, 8000));
    s.model.resetparameters();
    s.model.setField(SummaryField::Musicadd, music);
    s.model.setField(SummaryField::Bpm, QStringLiteral("120"));
    s.model.setField(SummaryField::Gap, QStringLiteral("500"));

    auto* editor = new Kolvo(s.ctx, nullptr);
    editor->show();
    ASSERT_EQ(LoadWinamp(s.ctx, editor), LoadWinampResult::Loaded);
    const int pid = s.player.winampwindow;

    auto* wide = new WideView(s.ctx, editor);
    wide->show();
    // Bar 2 at BPM 120 after a 500 ms gap: 2500 to 4500 ms.
    QTest::mouseClick(wide, Qt::RightButton, {}, QPoint(60, 32 + 10));
    EXPECT_TRUE(s.boxes.shown.isEmpty());
    EXPECT_EQ(s.model.currentbar, 2);
    EXPECT_EQ(s.ctx.playbarend, 4500);
    EXPECT_EQ(s.player.state(), 1);
    const int started = s.player.position();
    EXPECT_GE(started, 2500);
    EXPECT_LT(started, 3500);

    QDeadlineTimer deadline(6000);
    while (wide->Timer2()->isActive() && !deadline.hasExpired())
        QTest::qWait(5);
    EXPECT_FALSE(wide->Timer2()->isActive());
    EXPECT_EQ(s.player.state(), 3) << "left paused, not stopped";
    const int pausedAt = s.player.position();
    EXPECT_GT(pausedAt, 4500);
    EXPECT_LT(pausedAt, 5500) << "paused at the bar's end, not the song's";
    EXPECT_EQ(s.ctx.playbarend, 0);

    editor->close();
    s.player.quitPlayer();
    if (pid > 1)
        ::kill(pid, SIGKILL);
}
