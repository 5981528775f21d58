// Step editor speed: refreshgrid, a press to the repainted cell, Next bar
// through all 100 bars, the grid's repaint at every snap on a bar holding a
// note on each of its 192 rows, and switching the snap. Runs on the
// offscreen platform.
#include "core/edit/snaps.h"
#include "core/song/songmodel.h"
#include "ui/editor/notetools.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/stepgrid.h"
#include "ui/platform/appcontext.h"

#include "recordinglauncher.h"
#include "scriptedfiledialogs.h"
#include "scriptedmessageboxes.h"
#include "scriptedplayer.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <memory>

using namespace kolvo;

namespace {

struct Editor {
    SongModel model;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    RecordingLauncher launcher;
    ScriptedPlayer player;
    AppContext ctx{model, boxes, dialogs, launcher, player, {}};
    QWidget summary;
    StepEditorWindow* window = nullptr;

    explicit Editor(int style) {
        ctx.session.currentstyle = style;
        ctx.session.currentlevel = Basic;
        // Every bar busy: arrows and freeze starts in every used column.
        for (int bar = 1; bar <= kBars; ++bar)
            for (int row = 1; row <= kRows; row += 2)
                for (int panel = 1; panel <= kArrowPanels; ++panel)
                    model.setStep(style, Basic, bar, row, panel,
                                  std::uint8_t(1 + (row + panel) % 2));
        window = new StepEditorWindow(ctx, &summary);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        QApplication::processEvents();
    }
    ~Editor() { delete window; }
};

// Counts the grid's paint events, so a benchmark can wait for the repaint
// that the toolkit schedules after an edit.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void BM_refreshgrid(benchmark::State& state) {
    Editor e(Double);
    for (auto _ : state) {
        e.window->refreshgrid();
        e.window->grid()->repaint(); // the paint it asks for, done at once
    }
}
BENCHMARK(BM_refreshgrid)->Unit(benchmark::kMicrosecond);

void BM_PressToRepaintedCell(benchmark::State& state) {
    Editor e(Double);
    PaintCounter counter;
    StepGrid* grid = e.window->grid();
    grid->installEventFilter(&counter);
    const QPointF at = StepGrid::cellRect(17, 8).center();
    for (auto _ : state) {
        const int before = counter.paints;
        QMouseEvent press(QEvent::MouseButtonPress, at, grid->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid, &press);
        while (counter.paints == before)
            QApplication::processEvents(QEventLoop::AllEvents);
    }
}
BENCHMARK(BM_PressToRepaintedCell)->Unit(benchmark::kMicrosecond);

void BM_NextBarThrough100Bars(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto e = std::make_unique<Editor>(Solo);
        auto* next = e->window->findChild<QPushButton*>(QStringLiteral("Command2"));
        state.ResumeTiming();
        for (int i = 1; i < kBars; ++i) {
            next->click();
            e->window->repaint(); // each bar on screen before the next press
        }
        benchmark::DoNotOptimize(e->ctx.session.currentbar);
        state.PauseTiming();
        e.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_NextBarThrough100Bars)->Unit(benchmark::kMillisecond);

// Bar 1 of Double Basic holds a note on every one of its 192 rows, of every
// kind in turn, on two panels a row.
void fillFineBar(SongModel& model) {
    ChartSteps steps;
    for (int fine = 0; fine < kFineRows; ++fine)
        for (int panel : {1 + fine % 4, 7 + fine % 4})
            steps.append({tickOf(1, fine), std::uint8_t(panel), NoteKind(1 + fine % 6)});
    steps.finish();
    model.swapChartSteps(Double, Basic, steps);
}

void BM_GridRepaintAtSnap(benchmark::State& state) {
    Editor e(Double);
    fillFineBar(e.model);
    e.window->findChild<NoteTools*>()->setSnap(int(state.range(0)));
    for (auto _ : state) {
        e.window->refreshgrid();
        e.window->grid()->repaint();
    }
    state.SetLabel("refreshgrid plus repaint, 384 notes in the bar");
}
BENCHMARK(BM_GridRepaintAtSnap)
    ->Arg(4)
    ->Arg(8)
    ->Arg(12)
    ->Arg(16)
    ->Arg(24)
    ->Arg(32)
    ->Arg(48)
    ->Arg(64)
    ->Arg(192)
    ->Unit(benchmark::kMicrosecond);

void BM_SwitchSnap(benchmark::State& state) {
    Editor e(Double);
    fillFineBar(e.model);
    e.window->refreshgrid();
    NoteTools* tools = e.window->findChild<NoteTools*>();
    std::size_t i = 0;
    for (auto _ : state) {
        tools->setSnap(grid::kSnaps[i++ % grid::kSnaps.size()]);
        e.window->grid()->repaint(); // the switched grid on screen
    }
    state.SetLabel("one snap change through the box, then the repaint");
}
BENCHMARK(BM_SwitchSnap)->Unit(benchmark::kMicrosecond);

} // namespace
