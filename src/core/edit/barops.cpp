#include "core/edit/barops.h"

#include "core/song/songmodel.h"

#include <span>
#include <vector>

namespace kolvo {

namespace {

bool validBar(int bar) {
    return bar >= 1 && bar <= kMaxBars;
}

// Runs `op` on a copy of the chart and swaps the result in.
template <class Op> void onChart(SongModel& m, int s, int l, Op op) {
    if (!ChartId{s, l}.hasSlot())
        return;
    ChartSteps copy = m.chartSteps(s, l);
    op(copy);
    m.swapChartSteps(s, l, copy);
}

// The notes with every note from `bar` on moved by `bars` bars; notes that
// would leave the chart are dropped.
std::vector<Note> shifted(std::span<const Note> notes, int bar, int bars) {
    std::vector<Note> out;
    out.reserve(notes.size());
    const Tick from = tickOf(bar, 0);
    for (Note n : notes) {
        if (n.tick >= from) {
            n.tick += Tick(bars) * kFineRows;
            if (n.tick < 0 || n.tick > kLastTick)
                continue;
        }
        out.push_back(n);
    }
    return out;
}

} // namespace

void clearBar(ChartSteps& c, int bar) {
    if (!validBar(bar) || !c.barHasSteps(bar))
        return;
    std::vector<Note> kept;
    kept.reserve(c.size());
    for (const Note& n : c.notes())
        if (barOfTick(n.tick) != bar)
            kept.push_back(n);
    c.assign(std::move(kept));
}

void insertBar(ChartSteps& c, int bar) {
    if (!validBar(bar))
        return;
    c.assign(shifted(c.notes(), bar, 1));
}

void deleteBar(ChartSteps& c, int bar) {
    if (!validBar(bar))
        return;
    clearBar(c, bar);
    c.assign(shifted(c.notes(), bar + 1, -1));
}

bool barHasSteps(const SongModel& m, int s, int l, int bar) {
    return m.chartSteps(s, l).barHasSteps(bar);
}

bool barHasSteps(const SongModel& m, int chartSlot, int bar) {
    return m.chartSteps(chartSlot).barHasSteps(bar);
}

void clearBar(SongModel& m, int s, int l, int bar) {
    onChart(m, s, l, [bar](ChartSteps& c) { clearBar(c, bar); });
}

void insertBar(SongModel& m, int s, int l, int bar) {
    onChart(m, s, l, [bar](ChartSteps& c) { insertBar(c, bar); });
}

void deleteBar(SongModel& m, int s, int l, int bar) {
    onChart(m, s, l, [bar](ChartSteps& c) { deleteBar(c, bar); });
}

} // namespace kolvo
