#include "core/edit/barops.h"

#include "core/song/songmodel.h"

namespace kolvo {

namespace {

bool validBar(int bar) {
    return bar >= 1 && bar <= kBars;
}

void copyBar(ChartSteps& c, int from, int to) {
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            c.set(to, r, p, c.at(from, r, p));
}

// Runs `op` on a copy of the chart and swaps the result in.
template <class Op> void onChart(SongModel& m, int s, int l, Op op) {
    if (!SongModel::validChart(s, l))
        return;
    ChartSteps copy = m.chartSteps(s, l);
    op(copy);
    m.swapChartSteps(s, l, copy);
}

} // namespace

void clearBar(ChartSteps& c, int bar) {
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            c.set(bar, r, p, StepEmpty);
}

void insertBar(ChartSteps& c, int bar) {
    if (!validBar(bar))
        return;
    for (int x = kBars; x > bar; --x)
        copyBar(c, x - 1, x);
    clearBar(c, bar);
}

void deleteBar(ChartSteps& c, int bar) {
    if (!validBar(bar))
        return;
    for (int x = bar; x < kBars; ++x)
        copyBar(c, x + 1, x);
    clearBar(c, kBars);
}

bool barHasSteps(const SongModel& m, int s, int l, int bar) {
    return m.chartSteps(s, l).barHasSteps(bar);
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
