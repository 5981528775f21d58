#include "core/timing/grabbermath.h"

#include "core/edit/snaps.h"
#include "core/song/chartsteps.h"
#include "core/timing/tempomap.h"

#include <algorithm>
#include <cmath>

namespace kolvo::grab {

namespace {
// Keeps bar numbers and jump targets far inside the range of a long long,
// whatever the BPM and gap texts hold.
constexpr double kBeatLimit = 1e12;
constexpr double kMsLimit = 1e15;

double clampTo(double v, double limit) {
    if (std::isnan(v))
        return 0;
    if (v > limit)
        return limit;
    if (v < -limit)
        return -limit;
    return v;
}
} // namespace

bool usableBpm(double bpm) {
    return std::isfinite(bpm) && bpm > 0;
}

double msPerBeat(double bpm) {
    return 60.0 / bpm * 1000.0;
}

long long roundHalfEven(double ms) {
    ms = clampTo(ms, kMsLimit);
    const double lower = std::floor(ms);
    const double diff = ms - lower;
    auto whole = static_cast<long long>(lower);
    if (diff > 0.5)
        return whole + 1;
    if (diff < 0.5)
        return whole;
    return (whole % 2 == 0) ? whole : whole + 1;
}

namespace {
ChartPosition positionOfBeat(double beats) {
    ChartPosition pos;
    pos.beats = clampTo(beats, kBeatLimit);
    pos.bar = static_cast<long long>(std::floor(pos.beats / kBeatsPerBar)) + 1;
    pos.r = pos.beats * kRowsPerBeat - static_cast<double>(pos.bar - 1) * kRowsPerBar;
    // Rounding can put r a hair outside its bar; fold it back.
    if (pos.r < 0) {
        pos.r = 0;
    } else if (pos.r >= kRowsPerBar) {
        pos.r -= kRowsPerBar;
        pos.bar += 1;
        if (pos.r < 0 || pos.r >= kRowsPerBar)
            pos.r = 0;
    }
    return pos;
}

} // namespace

ChartPosition positionAt(double positionMs, double gapMs, double bpm) {
    // (p - gap) / (60000 / bpm), multiplied out so that whole beats at
    // tempos like 180 come out exact.
    return positionOfBeat((positionMs - gapMs) * bpm / 60000.0);
}

ChartPosition positionAt(double positionMs, const TempoMap& map) {
    return positionOfBeat(map.beatAtMs(positionMs));
}

long long barAt(double positionMs, double gapMs, double bpm) {
    return positionAt(positionMs, gapMs, bpm).bar;
}

long long barAt(double positionMs, const TempoMap& map) {
    return positionAt(positionMs, map).bar;
}

SnappedCell snapRow(long long bar, double r, int snap) {
    switch (snap) {
    case SnapBeat: {
        // Beat lines at 0, 8, 16, 24; the line halfway to the next goes on.
        if (r >= 28) {
            r = 0;
            bar += 1;
        } else {
            r = std::floor((r + 4) / 8) * 8;
        }
        break;
    }
    case SnapHalfBeat: {
        if (r >= 30) {
            r = 0;
            bar += 1;
        } else {
            r = std::floor((r + 2) / 4) * 4;
        }
        break;
    }
    case SnapQuarterBeat: {
        r = std::floor((r + 1) / 2) * 2;
        if (r >= 32) {
            r = 0;
            bar += 1;
        }
        break;
    }
    default:
        break;
    }
    SnappedCell cell;
    cell.bar = bar;
    cell.row = static_cast<int>(std::floor(r)) + 1;
    if (cell.row < 1)
        cell.row = 1;
    if (cell.row > kRowsPerBar)
        cell.row = kRowsPerBar;
    return cell;
}

SnappedCell cellAt(double positionMs, double gapMs, double bpm, int snap) {
    const ChartPosition pos = positionAt(positionMs, gapMs, bpm);
    return snapRow(pos.bar, pos.r, snap);
}

SnappedCell cellAt(double positionMs, const TempoMap& map, int snap) {
    const ChartPosition pos = positionAt(positionMs, map);
    return snapRow(pos.bar, pos.r, snap);
}

bool grabberSnap(int stepsPerBar) {
    return grid::validSnap(stepsPerBar);
}

int stepsOfSnapSetting(int snap) {
    switch (snap) {
    case SnapBeat:
        return 4;
    case SnapHalfBeat:
        return 8;
    case SnapQuarterBeat:
        return 16;
    default:
        return 0;
    }
}

SnappedTick snapToSteps(long long bar, double r, int stepsPerBar) {
    constexpr int kFinePer32nd = kFineRows / kRowsPerBar;
    SnappedTick at;
    at.bar = bar;
    if (!grabberSnap(stepsPerBar)) {
        at.fineRow = std::clamp(static_cast<int>(std::floor(r)), 0, kRowsPerBar - 1) * kFinePer32nd;
        return at;
    }
    // r in steps of the snap; the nearest, halves going on.
    const double steps = r * stepsPerBar / kRowsPerBar;
    long long step = static_cast<long long>(std::floor(steps + 0.5));
    step = std::clamp<long long>(step, 0, stepsPerBar);
    if (step == stepsPerBar) {
        at.bar += 1;
        step = 0;
    }
    at.fineRow = static_cast<int>(step) * (kFineRows / stepsPerBar);
    return at;
}

SnappedTick tickAt(double positionMs, const TempoMap& map, int stepsPerBar) {
    const ChartPosition pos = positionAt(positionMs, map);
    return snapToSteps(pos.bar, pos.r, stepsPerBar);
}

long long barStartMs(int bar, double gapMs, double bpm) {
    const double ms = static_cast<double>(bar - 1) * kBeatsPerBar * 60000.0 / bpm + gapMs;
    return roundHalfEven(ms);
}

long long barStartMs(int bar, const TempoMap& map) {
    return roundHalfEven(map.msAtBar(bar));
}

int panelForKey(int virtualKey, int style) {
    const bool twoPads = (style == 2 || style == 3);
    switch (virtualKey) {
    case 37:
        return 1; // Left arrow
    case 40:
        return 3; // Down arrow
    case 38:
        return 4; // Up arrow
    case 39:
        return 6; // Right arrow
    case 100:
        return twoPads ? 7 : 1; // keypad 4
    case 98:
        return twoPads ? 8 : 3; // keypad 2
    case 104:
        return twoPads ? 9 : 4; // keypad 8
    case 102:
        return twoPads ? 10 : 6; // keypad 6
    case 103:
        return style == 4 ? 2 : 0; // keypad 7: up-left, Solo only
    case 105:
        return style == 4 ? 5 : 0; // keypad 9: up-right, Solo only
    default:
        return 0;
    }
}

QStringList keyTesterLights(int virtualKey, bool singleMode) {
    auto pair = [singleMode](const char* own, const char* other) {
        QStringList lights{QString::fromLatin1(own)};
        if (singleMode)
            lights << QString::fromLatin1(other);
        return lights;
    };
    switch (virtualKey) {
    case 37:
        return pair("l", "l2");
    case 40:
        return pair("d", "d2");
    case 38:
        return pair("u", "u2");
    case 39:
        return pair("r", "r2");
    case 100:
        return pair("l2", "l");
    case 98:
        return pair("d2", "d");
    case 104:
        return pair("u2", "u");
    case 102:
        return pair("r2", "r");
    case 103:
        return singleMode ? QStringList{QStringLiteral("ul")} : QStringList{};
    case 105:
        return singleMode ? QStringList{QStringLiteral("ur")} : QStringList{};
    default:
        return {};
    }
}

} // namespace kolvo::grab
