#include "tempomap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace kolvo::analysis {

// Whether the music holds different tempos: the grid misses much of the
// song or spans only part of it, and the song's first and last thirds each
// fit a grid of their own with periods clearly apart.
bool tempoChanges(std::span<const Onset> onsets, const BeatGrid& g, double steadyShare) {
    if (onsets.size() < 48)
        return false;
    const double t0 = onsets.front().time, t1 = onsets.back().time;
    const double spanned = (g.lastBeat - g.firstBeat) / std::max(1e-9, t1 - t0);
    if (steadyShare >= 0.85 && spanned >= 0.85 && g.coverage >= 0.85)
        return false;
    std::vector<Onset> first, last;
    for (const Onset& o : onsets) {
        if (o.time < t0 + (t1 - t0) / 3)
            first.push_back(o);
        else if (o.time > t1 - (t1 - t0) / 3)
            last.push_back(o);
    }
    // Each third's own commonest spacing starts its fit: its tempo may be
    // far from the grid's.
    auto fitOwn = [&g](const std::vector<Onset>& part) {
        const double own = commonestSpacing(part);
        return fitBeatGrid(part, own > 0 ? own : g.period);
    };
    const auto a = fitOwn(first), b = fitOwn(last);
    if (!a || !b || a->coverage < 0.7 || b->coverage < 0.7)
        return false;
    return std::abs(a->period - b->period) > 0.01 * g.period;
}

namespace {

// A running least-squares line of beat time over beat index, for refitting
// a stretch's grid as it grows.
struct LineFit {
    long long k0 = 0;
    double n = 0, sk = 0, st = 0, skk = 0, skt = 0;
    void add(long long k, double t) {
        if (n == 0)
            k0 = k;
        const double dk = double(k - k0);
        n += 1;
        sk += dk;
        st += t;
        skk += dk * dk;
        skt += dk * t;
    }
    // The period and the time of beat k0; false until the line is fixed.
    bool solve(double& period, double& phase) const {
        const double den = n * skk - sk * sk;
        if (n < 8 || den <= 0)
            return false;
        period = (n * skt - sk * st) / den;
        phase = (st - period * sk) / n;
        return period > 0;
    }
};

// A stretch of the music in one tempo: its grid and the times of the first
// and the last strong onset on it.
struct Section {
    BeatGrid grid;
    double start = 0;
    double end = 0;
    double strong = 0; // an onset this strong counts
};

std::vector<Onset> onsetsBetween(std::span<const Onset> onsets, double from, double to) {
    std::vector<Onset> out;
    for (const Onset& o : onsets)
        if (o.time >= from && o.time <= to)
            out.push_back(o);
    return out;
}

// How far from a grid's beat an onset still lies on it.
double onTolerance(const BeatGrid& g) {
    return std::clamp(4 * g.residual, 0.008, 0.1 * g.period);
}

// Whether section b goes on in the tempo and phase of section a: the
// longer of the two has the surer grid, and most of the shorter one's beats
// lie on it. A section at twice, half, three or four times or a third or a
// quarter of the other's tempo with its beats on the other's is the same music with its beat level
// chosen otherwise, not a change of tempo.
bool sameGrid(std::span<const Onset> onsets, const Section& a, const Section& b) {
    const bool aLonger = a.end - a.start > b.end - b.start;
    const Section& longer = aLonger ? a : b;
    const Section& shorter = aLonger ? b : a;
    const BeatGrid& g = longer.grid;
    const double ratio = shorter.grid.period / g.period;
    double fine = 0;
    for (double r : {1.0, 2.0, 0.5, 3.0, 1.0 / 3, 4.0, 0.25})
        if (std::abs(ratio / r - 1) < 0.01)
            fine = g.period * std::min(1.0, r);
    if (fine <= 0)
        return false;
    // (Loose: the longer grid's BPM may be a little off over the shorter.)
    const double tol = std::clamp(4 * g.residual, 0.015, 0.1 * fine);
    const double ownTol = onTolerance(shorter.grid);
    int beats = 0, on = 0;
    for (const Onset& o : onsets) {
        if (o.time < shorter.start - ownTol || o.time > shorter.end + ownTol ||
            o.strength < shorter.strong ||
            std::abs(std::remainder(o.time - shorter.grid.phase, shorter.grid.period)) >= ownTol)
            continue;
        ++beats;
        on += std::abs(std::remainder(o.time - g.phase, fine)) < tol;
    }
    return beats > 0 && on >= 0.6 * beats;
}

// The grid the onsets keep over a few seconds of the music, at whatever
// level they keep it best there.
struct LocalGrid {
    BeatGrid grid;
    double from = 0, to = 0; // the first and the last onset on it
};

// (Long enough for eight beats at the slowest tempo, short enough that most
// windows lie within one section.)
constexpr double kWindow = 6, kHop = 0.5;

std::optional<LocalGrid> localGrid(const std::vector<Onset>& window) {
    if (window.size() < 8)
        return std::nullopt;
    // The commonest spacing may be a beat or a part of one (eighths, the
    // thirds of a shuffle): the grid at it or at two or three times it that
    // explains the onsets best.
    const double spacing = commonestSpacing(window, 0.1, 60 / kMinBpm);
    if (spacing <= 0)
        return std::nullopt;
    std::optional<BeatGrid> best;
    auto score = [](const BeatGrid& g) {
        return g.coverage * g.onGridShare / (1 + g.residual / 0.004);
    };
    for (double guess : {spacing, 2 * spacing, 3 * spacing}) {
        if (guess > 60 / kMinBpm)
            break;
        const std::optional<BeatGrid> g = fitBeatGrid(window, guess);
        if (g && g->coverage >= 0.75 && g->residual <= 0.01 && (!best || score(*g) > score(*best)))
            best = g;
    }
    if (!best)
        return std::nullopt;
    return LocalGrid{*best, best->firstBeat, best->lastBeat};
}

// How far a grid goes on over a window: the time of its last onset on the
// grid, or a negative time when fewer than three in four of the grid's beats
// there have an onset or the onsets leave it before `to`.
double goesOnTo(const std::vector<Onset>& window, const BeatGrid& g, double to) {
    const double tol = std::clamp(4 * g.residual, 0.006, 0.08 * g.period);
    long long first = 0, last = 0;
    int on = 0;
    long long previous = 0;
    double lastTime = -1;
    for (const Onset& o : window) {
        const double k = std::round((o.time - g.phase) / g.period);
        if (std::abs(o.time - g.phase - k * g.period) >= tol)
            continue;
        const auto index = static_cast<long long>(k);
        if (on == 0)
            first = index;
        else if (index == previous)
            continue;
        previous = last = index;
        lastTime = o.time;
        ++on;
    }
    if (on < 8 || double(on) < 0.75 * double(last - first + 1) ||
        lastTime < to - 2 * g.period - 0.5)
        return -1;
    return lastTime;
}

// The grid refitted by least squares over its onsets between two times.
void refit(std::span<const Onset> onsets, BeatGrid& g, double from, double to) {
    const double tol = std::clamp(4 * g.residual, 0.006, 0.08 * g.period);
    LineFit line;
    std::vector<std::pair<long long, double>> pts;
    for (const Onset& o : onsets) {
        if (o.time < from || o.time > to)
            continue;
        const double k = std::round((o.time - g.phase) / g.period);
        if (std::abs(o.time - g.phase - k * g.period) < tol) {
            line.add(static_cast<long long>(k), o.time);
            pts.push_back({static_cast<long long>(k), o.time});
        }
    }
    double period = 0, phase = 0;
    if (!line.solve(period, phase) || std::abs(period / g.period - 1) > 0.01)
        return;
    phase -= double(line.k0) * period;
    double ss = 0;
    for (const auto& [k, t] : pts) {
        const double r = t - phase - double(k) * period;
        ss += r * r;
    }
    g.period = period;
    g.phase = phase;
    g.residual = std::sqrt(ss / double(pts.size()));
}

// The finer of two periods when one is a whole multiple (up to four times)
// of the other; otherwise 0.
double finerOfMultiples(double a, double b) {
    const double r = std::max(a, b) / std::min(a, b);
    const double n = std::round(r);
    if (n > 4 || std::abs(r / n - 1) > 0.012)
        return 0;
    return std::min(a, b);
}

// Whether two grids keep one beat near `at`: periods a whole multiple of
// each other, and the coarser one's beats on the finer one.
bool sameBeat(const BeatGrid& a, const BeatGrid& b, double at) {
    const double fine = finerOfMultiples(a.period, b.period);
    if (fine <= 0)
        return false;
    const double tol = std::clamp(3 * std::max(a.residual, b.residual), 0.006, 0.1 * fine);
    const double ta = a.phase + std::round((at - a.phase) / a.period) * a.period;
    const double tb = b.phase + std::round((at - b.phase) / b.period) * b.period;
    return std::abs(std::remainder(ta - tb, fine)) < tol;
}

bool onGrid(const BeatGrid& g, double t) {
    return std::abs(std::remainder(t - g.phase, g.period)) < onTolerance(g);
}

// The strength a section's onsets need to count as its beats: 0.4 of the
// median onset on its grid; 0 when fewer than eight lie on it.
double strongOnGrid(std::span<const Onset> part, const BeatGrid& grid) {
    std::vector<double> on;
    for (const Onset& o : part)
        if (onGrid(grid, o.time))
            on.push_back(o.strength);
    if (on.size() < 8)
        return 0;
    std::nth_element(on.begin(), on.begin() + std::ptrdiff_t(on.size() / 2), on.end());
    return 0.4 * on[on.size() / 2];
}

// How loud a section's loud beats are: the onset on its grid that a fifth
// of the others there outdo. (Not the middle one: a grid at a finer level
// holds the hats between the beats as well, whatever the beats' loudness.)
double loudBeats(std::span<const Onset> onsets, const Section& s) {
    std::vector<double> on;
    for (const Onset& o : onsets)
        if (o.time >= s.start - 0.01 && o.time <= s.end + 0.01 && onGrid(s.grid, o.time))
            on.push_back(o.strength);
    if (on.empty())
        return 0;
    const auto at = on.begin() + std::ptrdiff_t(on.size() * 4 / 5);
    std::nth_element(on.begin(), at, on.end());
    return *at;
}

// The section of the music a stretch of one beat spans: its beat level
// chosen over the whole of it, its strong onsets those at least 0.4 of a
// typical beat's.
std::optional<Section> sectionOver(std::span<const Onset> onsets, const BeatGrid& grid, double from,
                                   double to) {
    const std::vector<Onset> part = onsetsBetween(onsets, from - 0.01, to + 0.01);
    const std::optional<BeatGrid> fitted = fitBeatGrid(part, grid.period);
    if (!fitted || fitted->inliers < 8)
        return std::nullopt;
    Section s;
    s.grid = chooseBeatLevel(part, *fitted, kMinBpm, kMaxBpm);
    s.strong = strongOnGrid(part, s.grid);
    if (s.strong <= 0)
        return std::nullopt;
    s.start = to;
    s.end = from;
    for (const Onset& o : part)
        if (o.strength >= s.strong && onGrid(s.grid, o.time)) {
            s.start = std::min(s.start, o.time);
            s.end = std::max(s.end, o.time);
        }
    return s;
}

// The strongest onset on each of a section's marked beats, in order.
std::vector<double> strongestOnBeats(std::span<const Onset> onsets, const Section& s) {
    const double tol = onTolerance(s.grid);
    std::vector<double> out;
    long long previous = 0;
    for (const Onset& o : onsets) {
        if (o.time < s.start - tol || o.time > s.end + tol)
            continue;
        const double k = std::round((o.time - s.grid.phase) / s.grid.period);
        if (std::abs(o.time - s.grid.phase - k * s.grid.period) >= tol)
            continue;
        if (out.empty() || static_cast<long long>(k) != previous)
            out.push_back(0);
        previous = static_cast<long long>(k);
        out.back() = std::max(out.back(), o.strength);
    }
    return out;
}

double beatsSpanned(const Section& s) {
    return std::max(1.0, std::round((s.end - s.start) / s.grid.period) + 1);
}

// The share of a section's beats that have a strong onset on them.
double beatCoverage(std::span<const Onset> onsets, const Section& s) {
    const std::vector<double> beats = strongestOnBeats(onsets, s);
    const auto on = std::count_if(beats.begin(), beats.end(),
                                  [&](double strongest) { return strongest >= s.strong; });
    return double(on) / beatsSpanned(s);
}

// The strength a section's beats carry on average: the strongest onset on
// each beat, an unmarked beat counting nothing.
double beatWeight(std::span<const Onset> onsets, const Section& s) {
    double sum = 0;
    for (double strongest : strongestOnBeats(onsets, s))
        sum += strongest;
    return sum / beatsSpanned(s);
}

// Whether section a's grid goes on through section b: a strong onset on
// nearly every one of its beats there, as strong as those on b's own grid
// (or most of its beats, on clearly stronger onsets than b's grid meets).
// Then b is a's music read at another level or phase (a window on a
// syncopation or an off-beat organ), not a change: a real change drifts off
// a's grid within a few bars, and a stop shifts b's beats off it.
bool carriesOver(std::span<const Onset> onsets, const Section& a, const Section& b) {
    Section through = b;
    through.grid = a.grid;
    through.strong = std::min(a.strong, b.strong);
    const double covered = beatCoverage(onsets, through);
    const double weight = beatWeight(onsets, through) / std::max(1e-9, beatWeight(onsets, b));
    return (covered >= 0.9 && weight >= 0.9) || (covered >= 0.8 && weight >= 1.25);
}

// How far more of a section's onsets lie on its grid than would by chance
// if they fell anywhere (a z-score).
double onGridScore(std::span<const Onset> onsets, const Section& s) {
    const double tol =
        std::clamp(3 * s.grid.residual, 0.003, std::min(0.12 * s.grid.period, 0.035));
    int all = 0, on = 0;
    for (const Onset& o : onsets) {
        if (o.time < s.start - tol || o.time > s.end + tol)
            continue;
        ++all;
        on += std::abs(std::remainder(o.time - s.grid.phase, s.grid.period)) < tol;
    }
    const double chance = std::min(1.0, 2 * tol / s.grid.period);
    const double expected = all * chance;
    return (on - expected) / std::sqrt(std::max(1e-9, expected * (1 - chance)) + 1);
}

// The section's grid fitted over its own onsets, when the fit keeps its
// tempo.
void refitOver(std::span<const Onset> onsets, Section& s) {
    const double tol = onTolerance(s.grid);
    const std::optional<BeatGrid> g =
        fitBeatGrid(onsetsBetween(onsets, s.start - tol, s.end + tol), s.grid.period);
    if (g && std::abs(g->period / s.grid.period - 1) < 0.01)
        s.grid = *g;
}

// Where one section gives way to the next: the place that leaves the most
// strong onsets on the first's grid before it and on the second's after it.
// The first then ends at its last onset before, the second starts at its
// first onset after.
void splitBetween(std::span<const Onset> onsets, Section& a, Section& b) {
    const double lo = std::max(a.start, std::min(a.end, b.start) - 4);
    const double hi = std::min(b.end, std::max(a.end, b.start) + 4);
    const double strong = std::min(a.strong, b.strong);
    struct Mark {
        double time;
        double onA, onB; // the onset's strength on each grid, 0 when off it
    };
    std::vector<Mark> marks;
    // An onset on both grids (the last beat before a change, read by a
    // window that reached back over it) counts for the one it lies closer to.
    auto off = [](const BeatGrid& g, double t) {
        return std::abs(std::remainder(t - g.phase, g.period));
    };
    for (const Onset& o : onsets) {
        if (o.time < lo || o.time > hi || o.strength < strong)
            continue;
        const bool onA = onGrid(a.grid, o.time), onB = onGrid(b.grid, o.time);
        const bool closerToA = off(a.grid, o.time) <= off(b.grid, o.time);
        marks.push_back({o.time, onA && (!onB || closerToA) ? o.strength : 0,
                         onB && (!onA || !closerToA) ? o.strength : 0});
    }
    if (marks.empty())
        return;
    // Split before mark i: the first i count for a, the rest for b.
    double score = 0;
    for (const Mark& m : marks)
        score += m.onB - m.onA;
    double best = score;
    std::size_t at = 0;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        score += 2 * (marks[i].onA - marks[i].onB);
        if (score > best + 1e-9) {
            best = score;
            at = i + 1;
        }
    }
    for (std::size_t i = at; i-- > 0;)
        if (marks[i].onA > 0) {
            a.end = marks[i].time;
            break;
        }
    for (std::size_t i = at; i < marks.size(); ++i)
        if (marks[i].onB > 0) {
            b.start = marks[i].time;
            break;
        }
    // The beat where the tempo changes is the second's first and, a beat
    // of the first's tempo after its last, on the first's grid too.
    if (onGrid(a.grid, b.start) && std::abs(b.start - a.end - a.grid.period) < onTolerance(a.grid))
        a.end = b.start;
}

// The sections found from the grids of short overlapping windows: windows
// that keep one beat in a row make one stretch; a window whose grid parts
// from the stretch's (another tempo, or the beats shifted by a stop) starts
// the next. Windows without a clear grid (a fill, a change within them)
// leave the stretch going.
std::vector<Section> localSections(std::span<const Onset> onsets, double songBpm) {
    struct Stretch {
        BeatGrid grid;
        double from, to;
        int windows;
    };
    std::vector<Stretch> stretches;
    const double lastTime = onsets.back().time;
    for (double t = onsets.front().time - 0.02; t < lastTime - kWindow / 3; t += kHop) {
        const std::vector<Onset> window = onsetsBetween(onsets, t, t + kWindow);
        if (window.size() < 8)
            continue;
        // Most windows go on in the stretch's grid: no search for theirs.
        if (!stretches.empty()) {
            Stretch& s = stretches.back();
            const double reached = goesOnTo(window, s.grid, std::min(t + kWindow, lastTime));
            if (reached > 0) {
                s.to = std::max(s.to, reached);
                if (++s.windows % 4 == 0)
                    refit(onsets, s.grid, std::max(s.from, s.to - 20), s.to + 0.01);
                continue;
            }
        }
        const std::optional<LocalGrid> found = localGrid(window);
        if (!found)
            continue;
        const LocalGrid& l = *found;
        const double at = (l.from + l.to) / 2;
        if (!stretches.empty() && sameBeat(stretches.back().grid, l.grid, at)) {
            Stretch& s = stretches.back();
            s.to = std::max(s.to, l.to);
            if (++s.windows % 4 == 0)
                refit(onsets, s.grid, std::max(s.from, s.to - 20), s.to + 0.01);
            continue;
        }
        // A window or two of something else between two windows of one
        // stretch: a fill, or a change read at the wrong place.
        if (stretches.size() >= 2 && stretches.back().windows <= 2 &&
            sameBeat(stretches[stretches.size() - 2].grid, l.grid, at)) {
            stretches.pop_back();
            stretches.back().to = std::max(stretches.back().to, l.to);
            ++stretches.back().windows;
            continue;
        }
        stretches.push_back({l.grid, l.from, l.to, 1});
    }
    std::vector<Section> sections;
    for (const Stretch& st : stretches) {
        if (std::optional<Section> s = sectionOver(onsets, st.grid, st.from, st.to))
            sections.push_back(*s);
    }
    // A stretch the song's own grid goes through beat after beat, on
    // onsets at least as strong as those its own grid meets, is in the
    // song's tempo, whatever level or figure its windows read (the thirds
    // of a shuffle or a syncopation read as a beat of their own). Eighths
    // in another tempo meet the song's grid at every beat too, where it is
    // two thirds of theirs, but on loud and soft ones alike.
    if (const std::optional<BeatGrid> song = fitBeatGrid(onsets, 60 / songBpm))
        for (Section& s : sections) {
            Section asSong = s;
            asSong.grid = *song;
            if (finerOfMultiples(s.grid.period, song->period) <= 0 &&
                beatCoverage(onsets, asSong) >= 0.8 &&
                beatWeight(onsets, asSong) >= 0.9 * beatWeight(onsets, s))
                s.grid = *song;
        }
    auto mergeSame = [&sections, onsets] {
        for (std::size_t i = 1; i < sections.size();) {
            const bool forward = carriesOver(onsets, sections[i - 1], sections[i]);
            const bool back = !forward && carriesOver(onsets, sections[i], sections[i - 1]);
            if (forward || back || sameGrid(onsets, sections[i - 1], sections[i])) {
                if (back || (!forward && sections[i].end - sections[i].start >
                                             sections[i - 1].end - sections[i - 1].start))
                    sections[i - 1].grid = sections[i].grid;
                sections[i - 1].end = std::max(sections[i - 1].end, sections[i].end);
                // What counts as a beat of the whole, on the grid it keeps
                // (not a stray window's soft onsets read at another level).
                Section& merged = sections[i - 1];
                if (const double strong = strongOnGrid(
                        onsetsBetween(onsets, merged.start - 0.01, merged.end + 0.01), merged.grid);
                    strong > 0)
                    merged.strong = strong;
                sections.erase(sections.begin() + std::ptrdiff_t(i));
            } else {
                ++i;
            }
        }
    };
    mergeSame();
    // Neighbours in one tempo (parted by a stop) read at different levels:
    // the shorter takes the longer's.
    for (std::size_t i = 1; i < sections.size(); ++i) {
        Section& a = sections[i - 1];
        Section& b = sections[i];
        if (finerOfMultiples(a.grid.period, b.grid.period) <= 0 ||
            std::abs(a.grid.period / b.grid.period - 1) < 0.012)
            continue;
        const bool aLonger = a.end - a.start > b.end - b.start;
        Section& shorter = aLonger ? b : a;
        const double period = (aLonger ? a : b).grid.period;
        const std::vector<Onset> part =
            onsetsBetween(onsets, shorter.start - 0.01, shorter.end + 0.01);
        shorter.grid = withPeriod(part, shorter.grid, period);
    }
    for (std::size_t i = 1; i < sections.size(); ++i)
        splitBetween(onsets, sections[i - 1], sections[i]);
    // Each grid refitted over its section alone: a stretch read over a stop
    // has a grid between the phases on either side of it.
    for (Section& s : sections)
        refitOver(onsets, s);
    // (Two bars, most beats marked: less is a fill or a stretch read at a
    // level the music does not keep.)
    // Nor is a stretch of onsets far softer than the music's beats (the
    // swells of an intro or a tail), or one at a tempo no chart is in.
    double loudest = 0;
    for (const Section& s : sections)
        loudest = std::max(loudest, loudBeats(onsets, s));
    std::erase_if(sections, [onsets, loudest](const Section& s) {
        return s.end - s.start < 8 * s.grid.period || beatCoverage(onsets, s) < 0.6 ||
               loudBeats(onsets, s) < 0.35 * loudest || s.grid.bpm() < kMinBpm ||
               s.grid.bpm() > kMaxBpm || onGridScore(onsets, s) < 1;
    });
    mergeSame();
    for (std::size_t i = 1; i < sections.size(); ++i)
        splitBetween(onsets, sections[i - 1], sections[i]);
    // The first section reaches back over the strong onsets on its grid
    // (its first clear window may have begun a few beats in), until four in
    // a row are off it or two beats in a row have none.
    if (!sections.empty()) {
        Section& s = sections.front();
        const double tol = std::clamp(4 * s.grid.residual, 0.006, 0.05 * s.grid.period);
        int off = 0;
        auto it = std::lower_bound(onsets.begin(), onsets.end(), s.start,
                                   [](const Onset& o, double t) { return o.time < t; });
        while (it != onsets.begin()) {
            --it;
            if (it->time < s.start - 2.5 * s.grid.period)
                break;
            if (it->strength < s.strong)
                continue;
            if (std::abs(std::remainder(it->time - s.grid.phase, s.grid.period)) < tol) {
                s.start = it->time;
                off = 0;
            } else if (++off >= 4) {
                break;
            }
        }
    }
    return sections;
}

// Neighbouring sections in one tempo (a stop between them) share one
// period, fitted over the beats of both with a phase for each: a short
// section alone measures its tempo loosely.
void shareTempos(std::span<const Onset> onsets, std::vector<Section>& sections) {
    for (std::size_t first = 0; first < sections.size();) {
        std::size_t end = first + 1;
        while (end < sections.size() &&
               std::abs(sections[end].grid.period / sections[first].grid.period - 1) < 0.01)
            ++end;
        if (end - first >= 2) {
            // Least squares of time over beat index, one line per section,
            // one slope for all.
            double skt = 0, skk = 0;
            std::vector<std::pair<double, double>> means; // mean index and time
            for (std::size_t i = first; i < end; ++i) {
                const Section& s = sections[i];
                const double tol = onTolerance(s.grid);
                std::vector<std::pair<double, double>> pts;
                for (const Onset& o : onsets) {
                    if (o.time < s.start - tol || o.time > s.end + tol || o.strength < s.strong)
                        continue;
                    const double k = std::round((o.time - s.grid.phase) / s.grid.period);
                    if (std::abs(o.time - s.grid.phase - k * s.grid.period) < tol)
                        pts.push_back({k, o.time});
                }
                double mk = 0, mt = 0;
                for (const auto& [k, t] : pts) {
                    mk += k;
                    mt += t;
                }
                const double n = std::max<double>(1, double(pts.size()));
                mk /= n;
                mt /= n;
                for (const auto& [k, t] : pts) {
                    skt += (k - mk) * (t - mt);
                    skk += (k - mk) * (k - mk);
                }
                means.push_back({mk, mt});
            }
            const double period = skk > 0 ? skt / skk : 0;
            if (period > 0 && std::abs(period / sections[first].grid.period - 1) < 0.01)
                for (std::size_t i = first; i < end; ++i) {
                    BeatGrid& g = sections[i].grid;
                    const auto [mk, mt] = means[i - first];
                    g.phase = mt - period * mk;
                    g.period = period;
                    g.periodError = 0;
                }
        }
        first = end;
    }
}

// The BPM of a section: the simplest figure that fits it, or the nearest
// half BPM when the section's beats stay within a few milliseconds of it
// from its first to its last.
double sectionBpm(std::span<const Onset> onsets, const Section& s) {
    const double bpm = simplestFittingBpm(onsets, s.grid);
    const double half = std::round(bpm * 2) / 2;
    const double beats = (s.end - s.start) / s.grid.period;
    if (std::abs(60 / half - s.grid.period) * beats / 2 < 0.004)
        return half;
    return bpm;
}

// A section's beats parted by a stop its windows read through (a stop of
// nearly a whole beat shifts the beats after it by only a little): the
// place where a line of beat time over beat index fitted on each side
// leaves clearly less scatter than one line over both, the two lines
// apart there by much more than that scatter. Each part gets its own grid.
std::vector<Section> splitAtPhaseJump(std::span<const Onset> onsets, const Section& s) {
    const BeatGrid& g = s.grid;
    const double tol = 0.25 * g.period;
    // The strongest onset near each beat, in beat order.
    std::vector<std::pair<double, double>> beats; // beat index, time
    std::vector<double> strength;
    for (const Onset& o : onsets) {
        if (o.time < s.start - tol || o.time > s.end + tol || o.strength < s.strong)
            continue;
        const double k = std::round((o.time - g.phase) / g.period);
        if (std::abs(o.time - g.phase - k * g.period) >= tol)
            continue;
        if (!beats.empty() && beats.back().first == k) {
            if (o.strength > strength.back()) {
                beats.back().second = o.time;
                strength.back() = o.strength;
            }
            continue;
        }
        beats.push_back({k, o.time});
        strength.push_back(o.strength);
    }
    const std::size_t n = beats.size();
    constexpr std::size_t kSide = 8;
    if (n < 2 * kSide)
        return {s};
    // Prefix sums of k, t, kk, kt, tt for least-squares lines over any run.
    std::vector<std::array<double, 5>> sum(n + 1, {0, 0, 0, 0, 0});
    const double k0 = beats.front().first, t0 = beats.front().second;
    for (std::size_t i = 0; i < n; ++i) {
        const double k = beats[i].first - k0, t = beats[i].second - t0;
        sum[i + 1] = {sum[i][0] + k, sum[i][1] + t, sum[i][2] + k * k, sum[i][3] + k * t,
                      sum[i][4] + t * t};
    }
    struct Line {
        double slope = 0, at0 = 0, sse = 0;
    };
    auto line = [&sum](std::size_t from, std::size_t to) {
        const double m = double(to - from);
        const double sk = sum[to][0] - sum[from][0], st = sum[to][1] - sum[from][1];
        const double skk = sum[to][2] - sum[from][2], skt = sum[to][3] - sum[from][3];
        const double stt = sum[to][4] - sum[from][4];
        const double den = m * skk - sk * sk;
        Line l;
        if (den <= 0)
            return l;
        l.slope = (m * skt - sk * st) / den;
        l.at0 = (st - l.slope * sk) / m;
        l.sse = std::max(0.0, stt - l.at0 * st - l.slope * skt);
        return l;
    };
    const Line whole = line(0, n);
    double bestSse = whole.sse;
    std::size_t at = 0;
    for (std::size_t i = kSide; i + kSide <= n; ++i) {
        const double sse = line(0, i).sse + line(i, n).sse;
        if (sse < bestSse) {
            bestSse = sse;
            at = i;
        }
    }
    if (at == 0)
        return {s};
    const Line left = line(0, at), right = line(at, n);
    const double scatter = std::sqrt(bestSse / double(n - 4));
    // Where the right part's first beat is on each line.
    const double k = beats[at].first - k0;
    const double jump = (right.at0 + right.slope * k) - (left.at0 + left.slope * k);
    const double shift = std::abs(std::remainder(jump, g.period));
    if (whole.sse < 9 * bestSse || shift < std::max(8 * scatter, 0.012) || left.slope <= 0 ||
        right.slope <= 0 || std::abs(left.slope / right.slope - 1) > 0.01)
        return {s};
    Section a = s, b = s;
    a.grid.period = left.slope;
    a.grid.phase = t0 + left.at0 - left.slope * k0;
    a.grid.residual = std::sqrt(line(0, at).sse / double(at));
    a.end = beats[at - 1].second;
    b.grid.period = right.slope;
    b.grid.phase = t0 + right.at0 - right.slope * k0;
    b.grid.residual = std::sqrt(right.sse / double(n - at));
    b.start = beats[at].second;
    return {a, b};
}

// Whether the song's one grid goes on through all the sections, a strong
// onset on nearly every one of its beats from the first section's start to
// the last's end: then the sections are one tempo read at different levels
// or phases (the kicks of a syncopation), not changes. A real change drifts
// off any one grid within a few bars, and a stop shifts the beats after it.
bool oneTempoHolds(std::span<const Onset> onsets, const std::vector<Section>& sections,
                   double songBpm) {
    const std::optional<BeatGrid> song = fitBeatGrid(onsets, 60 / songBpm);
    if (!song)
        return false;
    Section whole;
    whole.grid = *song;
    whole.start = sections.front().start;
    whole.end = sections.back().end;
    // (On the grid as closely as the sections' onsets lie on their own: a
    // fit over a stop has the scatter of the beats it parts.)
    whole.grid.residual = 0;
    whole.strong = sections.front().strong;
    for (const Section& s : sections) {
        whole.strong = std::min(whole.strong, s.strong);
        whole.grid.residual = std::max(whole.grid.residual, s.grid.residual);
    }
    return beatCoverage(onsets, whole) >= 0.9;
}

} // namespace

// The tempo sections and stops of the music.
// One section when the tempo holds (or nothing can be followed).
TempoMapGuess findTempoMap(std::span<const Onset> onsets, double songBpm, double songGapMs) {
    TempoMapGuess map;
    map.changes.push_back({0, songBpm});
    map.gapMs = songGapMs;
    if (onsets.size() < 16)
        return map;
    std::vector<Section> sections = localSections(onsets, songBpm);
    // Each section's grid fitted over the whole of it, at its level.
    for (Section& s : sections) {
        const double tol = onTolerance(s.grid);
        const std::optional<BeatGrid> g =
            fitBeatGrid(onsetsBetween(onsets, s.start - tol, s.end + tol), s.grid.period);
        if (g && std::abs(g->period / s.grid.period - 1) < 0.01)
            s.grid = *g;
    }
    // A section parted at a stop may hold another.
    for (std::size_t i = 0; i < sections.size();) {
        std::vector<Section> parts = splitAtPhaseJump(onsets, sections[i]);
        if (parts.size() < 2) {
            ++i;
            continue;
        }
        sections[i] = parts[0];
        sections.insert(sections.begin() + std::ptrdiff_t(i) + 1, parts[1]);
    }
    // (Sections no firmer than onsets falling anywhere would be, however
    // many, are a guess at music without a clear beat, not a map.)
    double firmest = 0;
    for (const Section& s : sections)
        firmest = std::max(firmest, onGridScore(onsets, s));
    if (sections.size() < 2 || firmest < 3 || oneTempoHolds(onsets, sections, songBpm))
        return map;
    shareTempos(onsets, sections);

    map.changes.clear();
    // Beat 0 is the first beat of the first section at the first clear onset.
    double beat = 0;
    double beatTime = sections[0].start;
    map.gapMs = beatTime * 1000;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const BeatGrid& g = sections[i].grid;
        const double bpm = sectionBpm(onsets, sections[i]);
        const double period = 60 / bpm;
        if (i == 0 || std::abs(bpm - map.changes.back().bpm) > 0.05)
            map.changes.push_back({beat, bpm});
        if (i + 1 == sections.size())
            break;
        // The section's last beat, counted on from the one before.
        double last = g.phase + std::round((sections[i].end - g.phase) / g.period) * g.period;
        const BeatGrid& next = sections[i + 1].grid;
        const double nextTol = onTolerance(next);
        // The next section sounding first a beat of this one's tempo after
        // its last: the tempo changes on that beat, with no stop (the
        // section was read to end a beat early).
        if (std::abs(sections[i + 1].start - (last + g.period)) < nextTol &&
            onGrid(next, last + g.period))
            last += g.period;
        beat += std::round((last - beatTime) / period);
        // The next section's beat at or after it: later by a stop, unless
        // it falls on it.
        double offset = next.beatAtOrAfter(last, nextTol) - last;
        if (offset > next.period - nextTol)
            offset -= next.period;
        // The next section's first onset a beat of its tempo after the
        // beat before this one's last, or before the beat after it: the
        // tempo changes on that beat with no stop. (A note of one section
        // on the other's grid a beat from the change, read as the last
        // beat of one or the first of the other, only seems to part them
        // by a stop.)
        if (offset > nextTol)
            for (const int side : {-1, 1}) {
                const double at = last + side * g.period;
                if (at > sections[i].start && onGrid(next, at) &&
                    std::abs(sections[i + 1].start - (at - side * next.period)) < nextTol) {
                    beat += side;
                    last = at;
                    offset = 0;
                    break;
                }
            }
        // The silence after the last beat until the next section sounds.
        // The last beat's own sounds (its off-beats) play out before the
        // music holds still: the next section sounds no sooner than a beat
        // after it.
        const Section& after = sections[i + 1];
        double sounds = after.start;
        for (const Onset& o : onsets)
            if (o.time >= last + 0.75 * std::min(g.period, next.period) && o.time <= after.end &&
                o.strength >= after.strong && onGrid(next, o.time)) {
                sounds = std::max(sounds, o.time);
                break;
            }
        const double silence = sounds - last - next.period;
        const double beatsSilent = std::floor((silence - offset + nextTol) / next.period);
        if (offset > nextTol) {
            // A stop longer than a beat: the silence tells how many beats
            // it holds. (A silence of more than a few beats is a rest, not
            // a stop.)
            if (beatsSilent >= 1 && beatsSilent <= 2)
                offset += beatsSilent * next.period;
            map.stops.push_back({beat, offset});
        } else if (beatsSilent == 1) {
            // A stop of a whole beat of the next tempo leaves its beats
            // where they would be without it, but the first after the
            // change silent.
            offset += next.period;
            map.stops.push_back({beat, offset});
        } else {
            offset = 0;
        }
        beatTime = last + offset;
    }
    return map;
}

} // namespace kolvo::analysis
