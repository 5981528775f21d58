#include "core/edit/chartstats.h"

#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"
#include "core/timing/tempomap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

namespace kolvo {

namespace {

ChartStats statsOf(std::span<const Note> notes, const std::function<bool(int)>& onChart,
                   const TempoMap& tempo) {
    ChartStats s;
    std::array<bool, kMaxPanels + 1> holding{};
    std::vector<int> stepsOfBar;
    std::vector<int> rowsOfBar;
    int rowSteps = 0;
    Tick row = -1;
    auto closeRow = [&] {
        if (rowSteps == 2)
            ++s.jumps;
        else if (rowSteps >= 3)
            ++s.hands;
        if (rowSteps > 0) {
            const auto b = std::size_t(barOfTick(row) - 1);
            if (rowsOfBar.size() <= b)
                rowsOfBar.resize(b + 1, 0);
            ++rowsOfBar[b];
        }
        rowSteps = 0;
    };
    for (const Note& n : notes) {
        if (!onChart(n.panel))
            continue;
        if (n.tick != row) {
            closeRow();
            row = n.tick;
        }
        s.lastBar = barOfTick(n.tick);
        bool step = false;
        switch (n.kind) {
        case NoteKind::Arrow:
            if (holding[n.panel]) { // the end of a freeze or roll
                holding[n.panel] = false;
            } else {
                ++s.taps;
                step = true;
            }
            break;
        case NoteKind::FreezeStart:
            ++s.freezes;
            holding[n.panel] = step = true;
            break;
        case NoteKind::RollStart:
            ++s.rolls;
            holding[n.panel] = step = true;
            break;
        case NoteKind::Lift:
            ++s.lifts;
            step = true;
            break;
        case NoteKind::Mine:
            ++s.mines;
            break;
        case NoteKind::Fake:
            ++s.fakes;
            break;
        case NoteKind::None:
            break;
        }
        if (step) {
            ++s.steps;
            ++rowSteps;
            const auto b = std::size_t(barOfTick(n.tick) - 1);
            if (stepsOfBar.size() <= b)
                stepsOfBar.resize(b + 1, 0);
            ++stepsOfBar[b];
        }
    }
    closeRow();

    s.density.assign(std::size_t(s.lastBar), 0.0);
    std::vector<bool> stream(std::size_t(s.lastBar), false);
    for (int bar = 1; bar <= s.lastBar; ++bar) {
        const auto b = std::size_t(bar - 1);
        const int count = b < stepsOfBar.size() ? stepsOfBar[b] : 0;
        const double seconds = (tempo.msAtBar(bar + 1) - tempo.msAtBar(bar)) / 1000;
        const double d = count > 0 && seconds > 1e-6 ? count / seconds : 0;
        s.density[b] = d;
        if (d > s.peakDensity) {
            s.peakDensity = d;
            s.peakBar = bar;
        }
        stream[b] = b < rowsOfBar.size() && rowsOfBar[b] >= kStreamRows;
    }
    s.breakdown = streamBreakdown(stream);
    return s;
}

} // namespace

ChartStats chartStats(const Chart& chart, const TempoMap& tempo) {
    return statsOf(
        chart.steps.notes(),
        [&](int panel) { return !chart.dance() || styleUsesPanel(chart.style, panel); }, tempo);
}

ChartStats chartStats(const ChartSteps& steps, const TempoMap& tempo) {
    return statsOf(
        steps.notes(), [](int) { return true; }, tempo);
}

std::vector<OffTheMusic> rowsOffTheMusic(const Chart& chart, const TempoMap& tempo,
                                         const std::vector<double>& onsetsMs, double toleranceMs) {
    std::vector<OffTheMusic> out;
    if (onsetsMs.empty())
        return out;
    std::array<bool, kMaxPanels + 1> holding{};
    Tick last = -1;
    for (const Note& n : chart.steps.notes()) {
        if (chart.dance() && !styleUsesPanel(chart.style, n.panel))
            continue;
        bool step = n.kind == NoteKind::FreezeStart || n.kind == NoteKind::RollStart ||
                    n.kind == NoteKind::Lift;
        if (n.kind == NoteKind::Arrow) {
            step = !holding[n.panel];
            holding[n.panel] = false;
        } else if (n.kind == NoteKind::FreezeStart || n.kind == NoteKind::RollStart) {
            holding[n.panel] = true;
        }
        if (!step || n.tick == last)
            continue;
        last = n.tick;
        const double ms = tempo.msAtTick(n.tick);
        const auto after = std::lower_bound(onsetsMs.begin(), onsetsMs.end(), ms);
        double nearest = after != onsetsMs.end() ? *after : onsetsMs.back();
        if (after != onsetsMs.begin() && std::abs(*(after - 1) - ms) < std::abs(nearest - ms))
            nearest = *(after - 1);
        if (std::abs(ms - nearest) > toleranceMs)
            out.push_back({n.tick, ms, ms - nearest});
    }
    return out;
}

QString streamBreakdown(const std::vector<bool>& streamBars) {
    QStringList parts;
    int run = 0;
    int pause = 0;
    for (bool s : streamBars) {
        if (s) {
            if (run == 0 && pause > 0 && !parts.isEmpty())
                parts << QStringLiteral("(%1)").arg(pause);
            pause = 0;
            ++run;
        } else {
            if (run > 0)
                parts << QString::number(run);
            run = 0;
            ++pause;
        }
    }
    if (run > 0)
        parts << QString::number(run);
    return parts.isEmpty() ? QStringLiteral("No streams.") : parts.join(u' ');
}

} // namespace kolvo
