#include "core/edit/transform.h"

#include "core/song/songmodel.h"

#include <cstdint>
#include <span>

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
    if (bar < 1 || bar > kBars)
        return;
    const auto moves = movesOf(t);
    for (int r = 1; r <= kRows; ++r) {
        // Read the whole row first so every move sees the old cells. A cell
        // travels whole, whatever note it holds (arrow, freeze start, ...).
        std::uint8_t cell[kArrowPanels + 1] = {};
        for (const Move& mv : moves)
            cell[mv.source] = c.at(bar, r, mv.source);
        for (const Move& mv : moves)
            c.set(bar, r, mv.target, cell[mv.source]);
    }
}

void transformBar(SongModel& m, int s, int l, int bar, BarTransform t) {
    if (!SongModel::validChart(s, l) || bar < 1 || bar > kBars)
        return;
    ChartSteps copy = m.chartSteps(s, l);
    transformBar(copy, bar, t);
    m.swapChartSteps(s, l, copy);
}

} // namespace kolvo
