#include "core/edit/barops.h"

#include "core/song/songmodel.h"

namespace kolvo {

namespace {

bool validBar(int bar) {
    return bar >= 1 && bar <= kBars;
}

void copyBar(SongModel& m, int s, int l, int from, int to) {
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            m.setStep(s, l, to, r, p, m.step(s, l, from, r, p));
}

} // namespace

bool barHasSteps(const SongModel& m, int s, int l, int bar) {
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            if (m.step(s, l, bar, r, p) != 0)
                return true;
    return false;
}

void clearBar(SongModel& m, int s, int l, int bar) {
    for (int r = 1; r <= kRows; ++r)
        for (int p = 1; p <= kArrowPanels; ++p)
            m.setStep(s, l, bar, r, p, StepEmpty);
}

void insertBar(SongModel& m, int s, int l, int bar) {
    if (!validBar(bar) || !SongModel::validChart(s, l))
        return;
    for (int x = kBars; x > bar; --x)
        copyBar(m, s, l, x - 1, x);
    clearBar(m, s, l, bar);
}

void deleteBar(SongModel& m, int s, int l, int bar) {
    if (!validBar(bar) || !SongModel::validChart(s, l))
        return;
    for (int x = bar; x < kBars; ++x)
        copyBar(m, s, l, x + 1, x);
    clearBar(m, s, l, kBars);
}

} // namespace kolvo
