#include "tempomap.h"

#include <algorithm>
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

// A running least-squares line of beat time over beat index, for following
// a grid through a section whose end is not known yet.
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
    double firstStrong = 0; // the first strong onset where the following began
    double strong = 0;      // an onset this strong counts
};

std::vector<Onset> onsetsBetween(std::span<const Onset> onsets, double from, double to) {
    std::vector<Onset> out;
    for (const Onset& o : onsets)
        if (o.time >= from && o.time <= to)
            out.push_back(o);
    return out;
}

// Follows the grid of the music from `from` while its strong onsets stay on
// it; the section ends at the last strong onset on the grid before four in
// a row fall off it (a fill or a syncopation puts fewer off it than that).
std::optional<Section> followSectionIn(std::span<const Onset> onsets, double from, double seconds) {
    std::vector<Onset> window = onsetsBetween(onsets, from, from + seconds);
    if (window.size() < 16)
        window = onsetsBetween(onsets, from, from + 1.5 * seconds);
    if (window.size() < 8)
        return std::nullopt;
    const double guess = commonestSpacing(window);
    const std::optional<BeatGrid> g = fitBeatGrid(window, guess > 0 ? guess : 0.5);
    if (!g || g->coverage < 0.6)
        return std::nullopt;
    double period = g->period, phase = g->phase;
    const double tol = std::clamp(4 * g->residual, 0.008, 0.1 * period);
    std::vector<double> onGrid;
    for (const Onset& o : window)
        if (std::abs(std::remainder(o.time - phase, period)) < tol)
            onGrid.push_back(o.strength);
    if (onGrid.size() < 8)
        return std::nullopt;
    std::nth_element(onGrid.begin(), onGrid.begin() + std::ptrdiff_t(onGrid.size() / 2),
                     onGrid.end());
    const double strong = 0.4 * onGrid[onGrid.size() / 2];

    Section s;
    s.start = -1;
    s.strong = strong;
    LineFit line;
    // The last few strong onsets: whether each lay on the grid, and the
    // section's end before it. Four in a row off the grid, or at most one of
    // six on it (a tempo in a simple ratio to this one), end the section.
    struct Seen {
        bool on;
        double endBefore;
    };
    std::vector<Seen> recent;
    s.firstStrong = -1;
    for (const Onset& o : onsets) {
        if (o.time < from || o.strength < strong)
            continue;
        if (s.firstStrong < 0)
            s.firstStrong = o.time;
        const long long k = std::llround((o.time - phase) / period);
        const double r = o.time - (phase + double(k) * period);
        const bool on = std::abs(r) < tol;
        if (s.start < 0 && !on)
            continue;
        recent.push_back({on, s.end});
        if (recent.size() > 6)
            recent.erase(recent.begin());
        const auto onCount =
            std::count_if(recent.begin(), recent.end(), [](const Seen& x) { return x.on; });
        const bool offRun = recent.size() >= 4 && std::none_of(recent.end() - 4, recent.end(),
                                                               [](const Seen& x) { return x.on; });
        if (offRun || (recent.size() == 6 && onCount <= 1)) {
            // The section ended before the first of these off the grid.
            const auto firstOff =
                std::find_if(recent.begin(), recent.end(), [](const Seen& x) { return !x.on; });
            s.end = offRun ? (recent.end() - 4)->endBefore : firstOff->endBefore;
            break;
        }
        if (!on)
            continue;
        if (s.start < 0)
            s.start = o.time;
        s.end = o.time;
        line.add(k, o.time);
        double p = 0, ph = 0;
        if (line.solve(p, ph) && std::abs(p - period) < 0.01 * period) {
            period = p;
            phase = ph + double(line.k0) * p;
        }
    }
    if (s.start < 0)
        return std::nullopt;
    // The section's own grid, fitted over it alone.
    const std::vector<Onset> part = onsetsBetween(onsets, s.start - tol, s.end + tol);
    const std::optional<BeatGrid> fitted = fitBeatGrid(part, period);
    if (!fitted || fitted->inliers < 8)
        return std::nullopt;
    s.grid = chooseBeatLevel(part, *fitted, kMinBpm, kMaxBpm);
    // The section starts at its first strong onset on the chosen level's
    // grid (the grid followed may have been another level of it).
    const double onTol = std::clamp(4 * s.grid.residual, 0.008, 0.1 * s.grid.period);
    for (const Onset& o : onsets)
        if (o.time >= from && o.time <= s.end && o.strength >= strong &&
            std::abs(std::remainder(o.time - s.grid.phase, s.grid.period)) < onTol) {
            s.start = o.time;
            break;
        }
    return s;
}

// The section from `from` on, fitted over the next eight seconds, or four
// when those hold the next tempo more than this one: a section's following
// starts within a couple of beats of the first strong onset.
std::optional<Section> followSection(std::span<const Onset> onsets, double from) {
    std::optional<Section> first;
    for (double seconds : {8.0, 4.0}) {
        std::optional<Section> s = followSectionIn(onsets, from, seconds);
        if (s && s->start - s->firstStrong < 2.5 * s->grid.period)
            return s;
        if (!first)
            first = s;
    }
    return first;
}

// Whether section b goes on in the tempo and phase of section a.
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
    const double ownTol = std::clamp(4 * shorter.grid.residual, 0.008, 0.1 * shorter.grid.period);
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

} // namespace

// The tempo sections and stops of the music.
// One section when the tempo holds (or nothing can be followed).
TempoMapGuess findTempoMap(std::span<const Onset> onsets, double songBpm, double songGapMs) {
    TempoMapGuess map;
    map.changes.push_back({0, songBpm});
    map.gapMs = songGapMs;
    if (onsets.size() < 16)
        return map;
    std::vector<Section> sections;
    double from = onsets.front().time - 0.02;
    const double lastTime = onsets.back().time;
    while (from < lastTime - 2) {
        const std::optional<Section> s = followSection(onsets, from);
        if (!s) {
            from += 2;
            continue;
        }
        if (!sections.empty() && sameGrid(onsets, sections.back(), *s)) {
            // A fill in the same tempo: the section goes on.
            if (s->end - s->start > sections.back().end - sections.back().start)
                sections.back().grid = s->grid;
            sections.back().end = std::max(sections.back().end, s->end);
        } else {
            sections.push_back(*s);
        }
        from = std::max(from + 1, s->end + 0.5 * s->grid.period);
    }
    // Sections too short to be more than a fill or a break are left out
    // (once those a fill cut in two are one again).
    auto mergeSame = [&sections, onsets] {
        for (std::size_t i = 1; i < sections.size();) {
            if (sameGrid(onsets, sections[i - 1], sections[i])) {
                if (sections[i].end - sections[i].start >
                    sections[i - 1].end - sections[i - 1].start)
                    sections[i - 1].grid = sections[i].grid;
                sections[i - 1].end = sections[i].end;
                sections.erase(sections.begin() + std::ptrdiff_t(i));
            } else {
                ++i;
            }
        }
    };
    mergeSame();
    // (Four bars: a section of the music is rarely shorter, a stretch of a
    // few beats followed at another level is often no section at all.)
    std::erase_if(sections, [](const Section& s) { return s.end - s.start < 16 * s.grid.period; });
    mergeSame();
    // A section whose following began late (its first window held too
    // little of it, or the section before took a few of its onsets that
    // happened to fall on its grid) reaches back over the strong onsets on
    // its grid, until four in a row are off it or two beats in a row have
    // none; the section before then ends at its last onset before.
    for (std::size_t i = 0; i < sections.size(); ++i) {
        Section& s = sections[i];
        const double limit = i > 0
                                 ? std::max(sections[i - 1].start + 6 * sections[i - 1].grid.period,
                                            sections[i - 1].end - 8 * sections[i - 1].grid.period)
                                 : -1e300;
        // Tight, and beat after beat with at most one missing: onsets of the
        // section before may fall near this grid now and then.
        const double tol = std::clamp(4 * s.grid.residual, 0.006, 0.05 * s.grid.period);
        int off = 0;
        double reached = s.start;
        auto it = std::lower_bound(onsets.begin(), onsets.end(), s.start,
                                   [](const Onset& o, double t) { return o.time < t; });
        while (it != onsets.begin()) {
            --it;
            if (it->time <= limit || it->time < reached - 2.5 * s.grid.period)
                break;
            if (it->strength < s.strong)
                continue;
            if (std::abs(std::remainder(it->time - s.grid.phase, s.grid.period)) < tol) {
                reached = it->time;
                off = 0;
            } else if (++off >= 4) {
                break;
            }
        }
        s.start = reached;
        if (i == 0 || s.start >= sections[i - 1].end)
            continue;
        Section& before = sections[i - 1];
        const double beforeTol =
            std::clamp(4 * before.grid.residual, 0.008, 0.1 * before.grid.period);
        // (The beat where the tempo changes is on both grids.)
        for (auto b = std::lower_bound(onsets.begin(), onsets.end(), s.start + 1e-6,
                                       [](const Onset&o, double t) { return o.time < t; });
             b != onsets.begin();) {
            --b;
            if (b->strength >= before.strong &&
                std::abs(std::remainder(b->time - before.grid.phase, before.grid.period)) <
                    beforeTol) {
                before.end = b->time;
                break;
            }
        }
    }
    // Each section's grid fitted over the whole of it, at its level.
    for (Section& s : sections) {
        const double tol = std::clamp(4 * s.grid.residual, 0.008, 0.1 * s.grid.period);
        const std::optional<BeatGrid> g =
            fitBeatGrid(onsetsBetween(onsets, s.start - tol, s.end + tol), s.grid.period);
        if (g && std::abs(g->period / s.grid.period - 1) < 0.01)
            s.grid = *g;
    }
    if (sections.size() < 2)
        return map;

    map.changes.clear();
    // Beat 0 is the first beat of the first section at the first clear onset.
    double beat = 0;
    double beatTime = sections[0].start;
    map.gapMs = beatTime * 1000;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const BeatGrid& g = sections[i].grid;
        const double bpm = simplestFittingBpm(onsets, g);
        const double period = 60 / bpm;
        if (i == 0 || std::abs(bpm - map.changes.back().bpm) > 0.05)
            map.changes.push_back({beat, bpm});
        if (i + 1 == sections.size())
            break;
        // The section's last beat, counted on from the one before.
        const double last = g.phase + std::round((sections[i].end - g.phase) / g.period) * g.period;
        beat += std::round((last - beatTime) / period);
        // The next section's beat at or after it: later by a stop, unless
        // it falls on it.
        const BeatGrid& next = sections[i + 1].grid;
        const double nextTol = std::clamp(4 * next.residual, 0.008, 0.1 * next.period);
        double offset = next.beatAtOrAfter(last, nextTol) - last;
        if (offset > next.period - nextTol)
            offset -= next.period;
        if (offset > nextTol) {
            // A stop longer than a beat: the silence until the next section
            // sounds tells how many beats it holds.
            // (A silence of more than a few beats is a rest, not a stop.)
            const double silence = sections[i + 1].start - last - next.period;
            const double beats = std::floor((silence - offset + nextTol) / next.period);
            if (beats >= 1 && beats <= 2)
                offset += beats * next.period;
            map.stops.push_back({beat, offset});
        } else {
            offset = 0;
        }
        beatTime = last + offset;
    }
    return map;
}

} // namespace kolvo::analysis
