#include "core/edit/transform.h"

#include "core/song/songmodel.h"

#include <span>
#include <vector>

namespace kolvo {

namespace {

struct Move {
    int target;
    int source;
};

constexpr Move kMirror[] = {
    {PanelLeft, PanelRight},     {PanelRight, PanelLeft},   {PanelUpLeft, PanelUpRight},
    {PanelUpRight, PanelUpLeft}, {PanelLeft2, PanelRight2}, {PanelRight2, PanelLeft2},
};

constexpr Move kFlip[] = {
    {PanelDown, PanelUp},
    {PanelUp, PanelDown},
    {PanelDown2, PanelUp2},
    {PanelUp2, PanelDown2},
};

constexpr Move kTurn[] = {
    {PanelUp, PanelLeft},      {PanelRight, PanelUp},    {PanelDown, PanelRight},
    {PanelLeft, PanelDown},    {PanelUp2, PanelLeft2},   {PanelRight2, PanelUp2},
    {PanelDown2, PanelRight2}, {PanelLeft2, PanelDown2},
};

std::span<const Move> movesOf(BarTransform t) {
    switch (t) {
    case BarTransform::Mirror:
        return kMirror;
    case BarTransform::Flip:
        return kFlip;
    case BarTransform::Turn:
        return kTurn;
    }
    return {};
}

} // namespace

void transformBar(ChartSteps& c, int bar, BarTransform t) {
    if (bar < 1 || bar > kMaxBars || !c.barHasSteps(bar))
        return;
    // Where each panel's notes go; panels no move names stay.
    int target[kMaxPanels + 1];
    for (int p = 0; p <= kMaxPanels; ++p)
        target[p] = p;
    for (const Move& mv : movesOf(t))
        target[mv.source] = mv.target;
    std::vector<Note> notes(c.notes().begin(), c.notes().end());
    for (Note& n : notes)
        if (barOfTick(n.tick) == bar)
            n.panel = std::uint8_t(target[n.panel]);
    ChartSteps moved;
    for (const Note& n : notes)
        moved.append(n);
    moved.finish();
    c.swap(moved);
}

void transformBar(SongModel& m, int s, int l, int bar, BarTransform t) {
    if (!ChartId{s, l}.hasSlot() || bar < 1 || bar > kMaxBars)
        return;
    ChartSteps copy = m.chartSteps(s, l);
    transformBar(copy, bar, t);
    m.swapChartSteps(s, l, copy);
}

} // namespace kolvo
