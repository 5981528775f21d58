// The bar tools' speed: the wide view's repaint, Insert Bar at bar 1 of a
// full chart, and how close to a bar's end the wide view pauses the real
// player (mpv with null outputs). Runs on the offscreen platform.
#include "core/edit/barops.h"
#include "core/song/songmodel.h"
#include "ui/editor/powertools.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/wideview.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/launcher.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"

#include "scriptedfiledialogs.h"
#include "scriptedmessageboxes.h"
#include "scriptedplayer.h"
#include "testapp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <memory>

using namespace kolvo;

namespace {

void fillChart(SongModel& m, int style, int level) {
    for (int bar = 1; bar <= kBars; ++bar)
        for (int row = 1; row <= kRows; ++row)
            for (int panel = 1; panel <= kArrowPanels; ++panel)
                m.setStep(style, level, bar, row, panel, std::uint8_t(1 + (row + panel) % 2));
}

template <class PlayerT> struct Session {
    SongModel model;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    ProcessLauncher launcher;
    PlayerT player;
    AppContext ctx{model, boxes, dialogs, launcher, player};
    StepEditorWindow* editor = nullptr;

    Session() {
        model.resetparameters();
        ctx.session.currentstyle = Double;
        ctx.session.currentlevel = Maniac;
        fillChart(model, Double, Maniac);
        editor = new StepEditorWindow(ctx, nullptr);
        editor->setAttribute(Qt::WA_DeleteOnClose, false);
        editor->show();
        QApplication::processEvents();
    }
    ~Session() { delete editor; }
};

void BM_refreshwideview(benchmark::State& state) {
    Session<ScriptedPlayer> s;
    auto* wide = new WideView(s.ctx, s.editor);
    wide->show();
    QApplication::processEvents();
    for (auto _ : state) {
        wide->refreshwideview();
        wide->repaint(); // the paint it asks for, done at once
    }
}
BENCHMARK(BM_refreshwideview)->Unit(benchmark::kMicrosecond);

void BM_InsertBarAtBar1OfAFullChart(benchmark::State& state) {
    SongModel model;
    fillChart(model, Double, Maniac);
    for (auto _ : state) {
        insertBar(model, Double, Maniac, 1);
        benchmark::DoNotOptimize(model.step(Double, Maniac, 2, 1, 1));
    }
}
BENCHMARK(BM_InsertBarAtBar1OfAFullChart)->Unit(benchmark::kMicrosecond);

// The same through the window: the bar-100 question answered Yes, the chart
// changed and the editor's repaint started.
void BM_PowerToolsInsertBarAtBar1(benchmark::State& state) {
    Session<ScriptedPlayer> s;
    auto* power = new PowerTools(s.ctx, s.editor);
    power->show();
    s.ctx.session.currentbar = 1;
    for (auto _ : state) {
        s.boxes.answers << MsgAnswer::Yes;
        power->insertBar();
        s.model.setStep(Double, Maniac, 100, 1, 1, 1); // keep the question coming
    }
}
BENCHMARK(BM_PowerToolsInsertBarAtBar1)->Unit(benchmark::kMicrosecond);

// A right click on bar 2 (BPM 120, gap 500: 2500 to 4500 ms). Reported per
// play: how much later than the bar's length the pause came by our own clock
// (late_wall_ms), and the player's paused position minus the bar's end
// (late_pos_ms).
void BM_PauseAtBarEndRealPlayer(benchmark::State& state) {
    const QString mpv = QStandardPaths::findExecutable("mpv");
    if (mpv.isEmpty()) {
        state.SkipWithError("mpv is not installed");
        return;
    }
    if (!qEnvironmentVariableIsSet("KOLVO_MPV_OPTIONS"))
        qputenv("KOLVO_MPV_OPTIONS", "--ao=null --vo=null");
    QTemporaryDir dir;
    Session<MpvPlayerLink> s;
    s.ctx.winamppath = QFileInfo(mpv).absolutePath();
    const QString music = dir.filePath("bench bar.wav");
    test::writeTestWav(music, 8000);
    s.model.setField(SummaryField::MusicFile, music);
    s.model.setField(SummaryField::Bpm, QStringLiteral("120"));
    s.model.setField(SummaryField::Gap, QStringLiteral("500"));
    if (LoadWinamp(s.ctx, s.editor) != LoadWinampResult::Loaded) {
        state.SkipWithError("the player did not load");
        return;
    }
    const int pid = s.player.winampwindow;
    auto* wide = new WideView(s.ctx, s.editor);
    wide->show();

    double lateWall = 0, latePos = 0, worstWall = 0;
    int plays = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(60, 42), QPointF(60, 42),
                          Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(wide, &press);
        clock.start();
        while (wide->barEndTimer()->isActive() && clock.elapsed() < 6000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double wall = double(clock.elapsed()) - 2000.0;
        lateWall += wall;
        worstWall = std::max(worstWall, wall);
        latePos += s.player.position() - 4500.0;
        ++plays;
        s.player.WinampCommand(winamp::Stop);
    }
    state.counters["late_wall_ms"] = lateWall / plays;
    state.counters["worst_wall_ms"] = worstWall;
    state.counters["late_pos_ms"] = latePos / plays;
    s.player.quitPlayer();
    if (pid > 1)
        ::kill(pid, SIGKILL);
}
BENCHMARK(BM_PauseAtBarEndRealPlayer)->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace
