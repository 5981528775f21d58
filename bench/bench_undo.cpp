// The song's history: undo and redo of Insert Bar on a full chart, the
// memory a history of 10,000 grid presses takes, and undo of a grabbing
// session of 2,000 arrows, and undo of a bar tool on a chart of 2,000 bars.
#include "core/edit/barops.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"
#include "document/document.h"

#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>

using namespace kolvo;

namespace {

void fillChart(SongModel& m, int style, int level) {
    for (int bar = 1; bar <= kBars; ++bar)
        for (int row = 1; row <= kRows; ++row)
            for (int panel = 1; panel <= kArrowPanels; ++panel)
                m.setStep(style, level, bar, row, panel, (bar + row + panel) % 3 == 0 ? 2 : 1);
}

// One grid press and its undo on a chart of 20,000 notes (2,000 bars).
void BM_EditAndUndoOnAChartOf20000Notes(benchmark::State& state) {
    SongModel song;
    ChartSteps steps;
    for (int b = 1; b <= 2000; ++b)
        for (int r = 0; r < 10; ++r)
            steps.setKind(b, r * 18, kFirstPadPanels[std::size_t(r % 4)], NoteKind::Arrow);
    song.swapChartSteps(Single, Maniac, steps);
    Document doc(song);
    for (auto _ : state) {
        doc.setStep(SongModel::slotOf(Single, Maniac), 1000, 2, PanelUp, 1);
        doc.history().undo();
    }
    state.counters["notes"] = double(song.chartSteps(Single, Maniac).size());
    state.SetLabel("one press plus its undo per iteration");
}
BENCHMARK(BM_EditAndUndoOnAChartOf20000Notes)->Unit(benchmark::kMicrosecond);

void BM_UndoRedoInsertBarOnAFullChart(benchmark::State& state) {
    SongModel song;
    fillChart(song, Double, Maniac);
    Document doc(song);
    ChartSteps copy = song.chartSteps(Double, Maniac);
    insertBar(copy, 1);
    doc.replaceChart(SongModel::slotOf(Double, Maniac), std::move(copy),
                     QStringLiteral("Insert Bar, bar 1"), 1, kBars);
    for (auto _ : state) {
        doc.history().undo();
        doc.history().redo();
    }
    state.SetLabel("one undo plus one redo per iteration");
}
BENCHMARK(BM_UndoRedoInsertBarOnAFullChart)->Unit(benchmark::kMicrosecond);

// A chart of 2,000 bars with notes of every kind at 16th, 24th and 192nd
// rows; Delete Bar at bar 1 done once, then undone and redone.
void BM_UndoRedoDeleteBarOn2000Bars(benchmark::State& state) {
    SongModel song;
    ChartSteps big;
    for (int bar = 1; bar <= 2000; ++bar)
        for (int fine : {0, 8, 12, 24, 36, 40, 48, 97, 120, 144, 176, 191})
            big.append({tickOf(bar, fine), std::uint8_t(1 + (bar + fine) % 10),
                        NoteKind(1 + (bar + fine) % 6)});
    big.finish();
    song.swapChartSteps(Double, Maniac, big);
    Document doc(song);
    ChartSteps copy = song.chartSteps(Double, Maniac);
    deleteBar(copy, 1);
    doc.replaceChart(SongModel::slotOf(Double, Maniac), std::move(copy),
                     QStringLiteral("Delete Bar, bar 1"), 1, kMaxBars);
    for (auto _ : state) {
        doc.history().undo();
        doc.history().redo();
    }
    state.SetLabel(std::to_string(song.chartSteps(Double, Maniac).size()) +
                   " notes; one undo plus one redo per iteration");
}
BENCHMARK(BM_UndoRedoDeleteBarOn2000Bars)->Unit(benchmark::kMicrosecond);

// Also the time to do Insert Bar through the history (copy, insert, swap).
void BM_InsertBarThroughTheHistory(benchmark::State& state) {
    SongModel song;
    fillChart(song, Double, Maniac);
    Document doc(song);
    for (auto _ : state) {
        ChartSteps copy = song.chartSteps(Double, Maniac);
        insertBar(copy, 1);
        doc.replaceChart(SongModel::slotOf(Double, Maniac), std::move(copy),
                         QStringLiteral("Insert Bar, bar 1"), 1, kBars);
    }
}
BENCHMARK(BM_InsertBarThroughTheHistory)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_HistoryOf10000GridPresses(benchmark::State& state) {
    for (auto _ : state) {
        SongModel song;
        Document doc(song);
        doc.history().setUndoLimit(0); // unlimited, as in the program
        const std::size_t heapBefore = mallinfo2().uordblks;
        for (int i = 0; i < 10000; ++i) {
            const int bar = 1 + i / 100 % kBars;
            const int row = 1 + i % kRows;
            const int panel = 1 + i / kRows % kArrowPanels;
            doc.setStep(SongModel::slotOf(Single, Basic), bar, row, panel,
                        song.step(Single, Basic, bar, row, panel) ? StepEmpty : StepArrow);
        }
        const std::size_t heapAfter = mallinfo2().uordblks;
        state.counters["history_bytes"] = double(heapAfter - heapBefore);
        state.counters["steps"] = double(doc.history().count());
    }
}
BENCHMARK(BM_HistoryOf10000GridPresses)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_UndoRedoAGrabbingSessionOf2000Arrows(benchmark::State& state) {
    SongModel song;
    Document doc(song);
    ChartSteps before = song.chartSteps(Single, Basic);
    // The grabber writes straight into the song while the music plays.
    for (int i = 0; i < 2000; ++i)
        song.setStep(Single, Basic, 1 + i / 20, 1 + i % 20, 1 + i % 4 * 2 % 6 + 1, StepArrow);
    doc.recordChart(SongModel::slotOf(Single, Basic), std::move(before),
                    QStringLiteral("Step Grab"));
    for (auto _ : state) {
        doc.history().undo();
        doc.history().redo();
    }
    state.SetLabel("one undo plus one redo per iteration");
}
BENCHMARK(BM_UndoRedoAGrabbingSessionOf2000Arrows)->Unit(benchmark::kMicrosecond);

} // namespace
