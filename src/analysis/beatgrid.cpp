#include "beatgrid.h"

#include <algorithm>
#include <cmath>

namespace kolvo::analysis {

namespace {

// x folded into [-p/2, p/2).
double wrapped(double x, double p) {
    double r = std::fmod(x, p);
    if (r < -p / 2)
        r += p;
    else if (r >= p / 2)
        r -= p;
    return r;
}

double medianOf(std::vector<double> v) {
    if (v.empty())
        return 0;
    auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

// The widest distance from a beat an onset may have at the start: loose
// enough for a rough first period, tight enough that eighths stay off it.
double looseTolerance(double period) {
    return std::min(0.12 * period, 0.035);
}

// The onsets nearest each grid beat within `tol` in [lo, hi]: one per beat,
// the strongest, with its beat index.
struct OnBeat {
    long long index;
    double time;
    double strength;
};
std::vector<OnBeat> onsetsOnGrid(std::span<const Onset> onsets, double phase, double period,
                                 double lo, double hi, double tol) {
    std::vector<OnBeat> out;
    for (const Onset& o : onsets) {
        if (o.time < lo || o.time > hi)
            continue;
        const double k = std::round((o.time - phase) / period);
        const double r = o.time - (phase + k * period);
        if (std::abs(r) >= tol)
            continue;
        const auto index = static_cast<long long>(k);
        if (!out.empty() && out.back().index == index) {
            if (o.strength > out.back().strength)
                out.back() = {index, o.time, o.strength};
            continue;
        }
        out.push_back({index, o.time, o.strength});
    }
    return out;
}

// Least squares of time over beat index; false with fewer than three points.
bool fitLine(const std::vector<OnBeat>& pts, BeatGrid& g) {
    const std::size_t n = pts.size();
    if (n < 3)
        return false;
    // Indices relative to the first keep the sums well conditioned.
    const long long k0 = pts.front().index;
    double sk = 0, st = 0;
    for (const OnBeat& p : pts) {
        sk += double(p.index - k0);
        st += p.time;
    }
    const double kbar = sk / double(n), tbar = st / double(n);
    double skk = 0, skt = 0;
    for (const OnBeat& p : pts) {
        const double dk = double(p.index - k0) - kbar;
        skk += dk * dk;
        skt += dk * (p.time - tbar);
    }
    if (skk <= 0)
        return false;
    const double b = skt / skk;
    if (!(b > 0))
        return false;
    const double a = tbar - b * kbar; // time of beat k0
    double ss = 0;
    for (const OnBeat& p : pts) {
        const double r = p.time - (a + b * double(p.index - k0));
        ss += r * r;
    }
    g.period = b;
    g.phase = a;
    g.residual = std::sqrt(ss / double(n));
    g.periodError = n > 2 ? std::sqrt(ss / double(n - 2)) / std::sqrt(skk) : 0;
    g.inliers = int(n);
    return true;
}

// The points of a fit without the faint ones before the music's first firm
// beat and after its last: an intro's swells or a noise floor put faint
// onsets near some beats by chance, and a fine fit over a long song is
// pulled by them. Faint beats within the music (a soft hat on a beat) stay.
std::vector<OnBeat> withoutFaintEnds(std::vector<OnBeat> pts) {
    std::vector<double> strengths;
    for (const OnBeat& p : pts)
        strengths.push_back(p.strength);
    const double least = 0.25 * medianOf(strengths);
    auto firm = [least](const OnBeat& p) { return p.strength >= least; };
    const auto first = std::find_if(pts.begin(), pts.end(), firm);
    if (first == pts.end())
        return pts;
    const auto last = std::find_if(pts.rbegin(), pts.rend(), firm).base();
    return {first, last};
}

// Refits the grid over all onsets with the distance allowed shrinking to what
// the onsets' own scatter justifies.
bool refine(std::span<const Onset> onsets, BeatGrid& g) {
    const double loose = looseTolerance(g.period);
    double tol = loose;
    const double lo = -1e300, hi = 1e300;
    for (int pass = 0; pass < 6; ++pass) {
        const auto pts = withoutFaintEnds(onsetsOnGrid(onsets, g.phase, g.period, lo, hi, tol));
        if (pts.size() < 8 || !fitLine(pts, g))
            return false;
        tol = std::clamp(4 * g.residual, 0.004, loose);
    }
    const auto pts = onsetsOnGrid(onsets, g.phase, g.period, lo, hi, tol);
    if (pts.size() < 8)
        return false;
    g.firstBeat = pts.front().time;
    g.lastBeat = pts.back().time;
    const double beats = double(pts.back().index - pts.front().index + 1);
    g.coverage = double(pts.size()) / beats;
    double on = 0, all = 0;
    for (const Onset& o : onsets) {
        if (o.time < g.firstBeat - g.period / 2 || o.time > g.lastBeat + g.period / 2)
            continue;
        all += o.strength;
        if (std::abs(wrapped(o.time - g.phase, g.period)) < tol)
            on += o.strength;
    }
    g.onGridShare = all > 0 ? on / all : 0;
    return true;
}

// Which weight of an onset a measure sums: the whole sound's rise, the
// bands' weighted rises, or the low or the middle band's alone.
enum class Measure { Whole, Accent, Low, Mid };

double weightOf(const Onset& o, Measure m) {
    switch (m) {
    case Measure::Whole:
        return o.strength;
    case Measure::Accent:
        return o.weight();
    case Measure::Low:
        return std::max(0.0, o.low);
    case Measure::Mid:
        return std::max(0.0, o.mid);
    }
    return o.strength;
}

// Mean strength of the strongest onset near each point phase + (j + offset) *
// period over the grid's span (0 where there is none).
double strengthAt(std::span<const Onset> onsets, const BeatGrid& g, double period, double phase,
                  double offset, Measure measure = Measure::Whole) {
    const double tol = std::min(0.02, 0.1 * period);
    const double first =
        phase + (std::ceil((g.firstBeat - phase) / period - offset) + offset) * period;
    double sum = 0;
    int points = 0;
    for (double t = first; t <= g.lastBeat + tol; t += period) {
        ++points;
        auto it = std::lower_bound(onsets.begin(), onsets.end(), t - tol,
                                   [](const Onset& o, double v) { return o.time < v; });
        double best = 0;
        for (; it != onsets.end() && it->time <= t + tol; ++it)
            best = std::max(best, weightOf(*it, measure));
        sum += best;
    }
    return points > 0 ? sum / points : 0;
}

} // namespace

double BeatGrid::beatAtOrAfter(double time, double slack) const {
    const double k = std::ceil((time - slack - phase) / period);
    return phase + k * period;
}

std::optional<BeatGrid> fitBeatGrid(std::span<const Onset> onsets, double periodGuess) {
    if (onsets.size() < 8 || !(periodGuess > 0))
        return std::nullopt;
    std::vector<double> strengths;
    for (const Onset& o : onsets)
        strengths.push_back(o.strength);
    const double typical = std::max(medianOf(strengths), 1e-9);

    // Start in the middle of the music, sixteen beats wide.
    const double centre = (onsets.front().time + onsets.back().time) / 2;
    double half = 8 * periodGuess;
    std::vector<Onset> near;
    while (true) {
        near.clear();
        for (const Onset& o : onsets)
            if (std::abs(o.time - centre) <= half)
                near.push_back(o);
        if (near.size() >= 24 || half > onsets.back().time - onsets.front().time)
            break;
        half *= 1.5;
    }

    // Period and phase that line up the most onset strength, over a few
    // percent around the guess and a millisecond grid of phases.
    // (Each onset's place within the period is folded once a period, not
    // once a phase: the phases then only shift it.)
    double bestScore = -1, bestPeriod = periodGuess, bestPhase = centre;
    std::vector<double> place(near.size()), weight(near.size());
    for (std::size_t i = 0; i < near.size(); ++i)
        weight[i] = std::min(near[i].strength / typical, 3.0);
    for (int j = -60; j <= 60; ++j) {
        const double p = periodGuess * (1 + 0.0005 * j);
        const double tol = looseTolerance(p);
        for (std::size_t i = 0; i < near.size(); ++i)
            place[i] = wrapped(near[i].time - centre, p);
        for (double ph = 0; ph < p; ph += 0.001) {
            double score = 0;
            for (std::size_t i = 0; i < near.size(); ++i) {
                // place in [-p/2, p/2) and ph in [0, p): one fold is enough.
                double x = place[i] - ph;
                if (x < -p / 2)
                    x += p;
                const double d = std::abs(x);
                if (d < tol)
                    score += weight[i] * (1 - d / tol);
            }
            if (score > bestScore) {
                bestScore = score;
                bestPeriod = p;
                bestPhase = centre + ph;
            }
        }
    }

    // Widen the fit step by step, so a period error never adds up to a
    // wrongly counted beat.
    BeatGrid g;
    g.period = bestPeriod;
    g.phase = bestPhase;
    const double tol = looseTolerance(bestPeriod);
    const double span = std::max(centre - onsets.front().time, onsets.back().time - centre);
    for (half = 8 * bestPeriod;; half *= 2) {
        for (int pass = 0; pass < 3; ++pass) {
            const auto pts =
                onsetsOnGrid(onsets, g.phase, g.period, centre - half, centre + half, tol);
            BeatGrid next = g;
            if (!fitLine(pts, next))
                break;
            g = next;
        }
        if (half >= span)
            break;
    }
    if (!refine(onsets, g))
        return std::nullopt;
    return g;
}

namespace {

// How strongly the positions between a level's parent beats (the parent
// being every second or third beat of the level) are marked, against the
// parent's own beats: near 1 when every beat of the level is about as strong,
// near 0 when the in-between ones are weak or missing.
double pulseRatio(std::span<const Onset> onsets, const BeatGrid& level, int parts,
                  double* parentPhase, double strongest, Measure measure) {
    const double p = level.period, parent = parts * p;
    // The parent's beats fall on the strongest of the level's `parts` phases.
    double bestOn = -1, phase = level.phase;
    for (int j = 0; j < parts; ++j) {
        const double on = strengthAt(onsets, level, parent, level.phase + j * p, 0, measure);
        if (on > bestOn) {
            bestOn = on;
            phase = level.phase + j * p;
        }
    }
    if (parentPhase)
        *parentPhase = phase;
    // A parent that misses the strong beats says nothing.
    if (!(bestOn > 0) || (strongest > 0 && bestOn < 0.75 * strongest))
        return 0;
    double between = bestOn;
    for (int j = 1; j < parts; ++j)
        between =
            std::min(between, strengthAt(onsets, level, parent, phase, double(j) / parts, measure));
    return between / bestOn;
}

// A level whose evidence reaches this is a pulse: its in-between beats
// come near the strength of its main ones, and all of them near the
// strongest level's.
constexpr double kPulse = 0.47;

// How much more accent the half-beats must carry than the beats for the
// grid to move onto them.
constexpr double kHalfBeatMargin = 1.3;

// Above kFastBpm a level needs evidence no weaker than the level twice as
// slow, give or take kSurerBy, to be the beat; below kSlowBpm the level
// twice as fast is the beat when its evidence comes within kSurerBy of a
// pulse's.
constexpr double kFastBpm = 240;
constexpr double kSlowBpm = 60;
constexpr double kSurerBy = 0.1;

// A level's beats all carry a kick when the low band's rise on the half of
// them it marks less comes within kKickEven of the other half's, and that
// half's rise is at least kKickLow of the band's strong onsets'.
constexpr double kKickEven = 0.75;
constexpr double kKickLow = 0.5;
// Kicks on every eighth of a beat: the low band's mean rise between the
// sixteenths at least this share of the beats'.
constexpr double kStreamLow = 0.45;
// The whole sound of a double kick's beats is uneven (below this) where
// the snare sounds on every other beat.
constexpr double kSnareUneven = 0.7;
// A bass between the kicks: the low band's rise there at least kBassLow and
// below kBassBelow of the kicks', the middle band's below kBassBelow too.
constexpr double kBassLow = 0.5;
constexpr double kBassBelow = 0.8;
// How likely the other octaves stay, beside the level the low band chose.
constexpr double kSettledOther = 0.5;

} // namespace

BeatGrid onAccentedHalf(std::span<const Onset> onsets, const BeatGrid& grid) {
    // Hats, open hats, a guitar's upbeats or a bass between the beats can
    // sound louder than the beats and draw the grid onto them; kicks and
    // snares mark the beats, so the half whose attacks reach further into
    // the low and middle bands carries the beat. It moves only when it
    // clearly does: where the two halves are marked about alike (eighths of
    // a drum kit) the grid stands.
    const double beats = strengthAt(onsets, grid, grid.period, grid.phase, 0, Measure::Accent);
    const double halves = strengthAt(onsets, grid, grid.period, grid.phase, 0.5, Measure::Accent);
    if (!(halves > kHalfBeatMargin * beats))
        return grid;
    BeatGrid shifted = grid;
    shifted.phase += grid.period / 2;
    if (!refine(onsets, shifted) || std::abs(shifted.period / grid.period - 1) > 0.002)
        return grid;
    return shifted;
}

BeatLevels chooseBeatLevels(std::span<const Onset> onsets, const BeatGrid& grid, double minBpm,
                            double maxBpm) {
    // Every level related to the fitted one by a small ratio, each refitted.
    struct Level {
        BeatGrid grid;
        double ratio2 = 0;   // pulseRatio with a parent of 2 beats
        double phase2 = 0;   // where the beats of the level twice as slow fall
        double mean = 0;     // mean strength over all the level's beats
        double evidence = 0; // how surely the level is the pulse, 0..1
        // The low band (kick) and the middle band (snare) over each half of
        // the level's beats: [0] the half the low band marks more, [1] the
        // other.
        double low[2] = {0, 0};
        double mid[2] = {0, 0};
        double whole = 0; // pulseRatio of the whole sound with a parent of 2 beats
    };
    std::vector<Level> levels;
    for (double r : kLevelRatios) {
        BeatGrid g = grid;
        g.period = grid.period * r;
        const double bpm = 60 / g.period;
        if (bpm < minBpm * 0.999 || bpm > maxBpm * 1.001)
            continue;
        if (r > 1) {
            // The coarser level's beats on the strongest of the phases.
            double best = -1;
            for (int j = 0; j < int(std::lround(r)); ++j) {
                const double on =
                    strengthAt(onsets, grid, g.period, grid.phase + j * grid.period, 0);
                if (on > best) {
                    best = on;
                    g.phase = grid.phase + j * grid.period;
                }
            }
        }
        if (r != 1.0 && !refine(onsets, g))
            continue;
        levels.push_back({g});
    }
    std::sort(levels.begin(), levels.end(),
              [](const Level& a, const Level& b) { return a.grid.period < b.grid.period; });
    double strongest = 0;
    for (Level& l : levels) {
        l.mean = strengthAt(onsets, grid, l.grid.period, l.grid.phase, 0);
        strongest = std::max(strongest, l.mean);
    }
    for (Level& l : levels) {
        // Two measures of a beat's weight: the rise of the whole sound, and
        // the rises of the bands, each against the band's strong onsets,
        // weighted low to high (a kick's low end and a snare's middle count
        // more than hats); each says how evenly the level's beats are
        // marked. The whole sound counts twice: a snare between the kicks
        // marks a beat as surely as the kick does, though its low end is
        // slight; the bands still keep hats and a bass's off-beats, whose
        // whole-sound rise can come near a beat's, from passing as beats.
        double phaseByAccent = 0;
        const double whole = pulseRatio(onsets, l.grid, 2, &l.phase2, strongest, Measure::Whole);
        const double acc = pulseRatio(onsets, l.grid, 2, &phaseByAccent, 0, Measure::Accent);
        l.ratio2 = (2 * whole + acc) / 3;
        l.whole = whole;
        // Evenness alone is not enough: the level's beats must also be
        // marked about as hard as the strongest level's. Eighths of hats
        // and percussion between a song's beats can be fairly even, but
        // they lower the level's mean; a backbeat's snares do not.
        l.evidence = strongest > 0 ? l.ratio2 * l.mean / strongest : 0;
        for (int k = 0; k < 2; ++k) {
            const double half = l.grid.phase + k * l.grid.period;
            l.low[k] = strengthAt(onsets, grid, 2 * l.grid.period, half, 0, Measure::Low);
            l.mid[k] = strengthAt(onsets, grid, 2 * l.grid.period, half, 0, Measure::Mid);
        }
        if (l.low[1] > l.low[0]) {
            std::swap(l.low[0], l.low[1]);
            std::swap(l.mid[0], l.mid[1]);
        }
    }
    // A level with beats mostly empty is no pulse, however its in-between
    // positions compare.
    auto pulse = [&](const Level& l) { return l.evidence >= kPulse && l.mean >= 0.6 * strongest; };
    // The beat is the fastest level whose every beat is marked about as
    // strongly as the slower level's: faster levels have weak or missing
    // beats in between (hats, a bass's off-beats), slower ones skip beats
    // that are as strong as theirs.
    std::size_t chosen = levels.size();
    for (std::size_t i = 0; i < levels.size(); ++i)
        if (pulse(levels[i])) {
            chosen = i;
            break;
        }
    // Charts are seldom written faster than kFastBpm: there a level gives
    // way to the one twice as slow when that one is clearly the surer pulse
    // (eighths of loud open hats or an off-beat bass between kicks read
    // fairly even, but less so than the kicks alone).
    if (chosen < levels.size() && 60 / levels[chosen].grid.period > kFastBpm)
        for (std::size_t i = chosen + 1; i < levels.size(); ++i)
            if (std::abs(levels[i].grid.period - 2 * levels[chosen].grid.period) <
                    0.01 * levels[chosen].grid.period &&
                pulse(levels[i]) && levels[i].evidence >= levels[chosen].evidence + kSurerBy) {
                chosen = i;
                break;
            }
    // ... nor slower than kSlowBpm: there the level twice as fast is the
    // beat when it comes near a pulse (a funk groove's kicks and snares
    // around beats that have only hats).
    if (chosen < levels.size() && 60 / levels[chosen].grid.period < kSlowBpm)
        for (std::size_t i = 0; i < chosen; ++i)
            if (std::abs(2 * levels[i].grid.period - levels[chosen].grid.period) <
                    0.01 * levels[chosen].grid.period &&
                levels[i].evidence >= kPulse - kSurerBy && levels[i].mean >= 0.6 * strongest) {
                chosen = i;
                break;
            }
    // The low band tells a kick from what sounds between the kicks. Kicks
    // on every beat of a level under snares on every other one (a double
    // kick) leave the whole sound clearly softer between the snares, but
    // the low band about as strong: the level is the beat, not the snares'
    // alone. A bass line between the kicks, with hats, can sound about as
    // loud as the kicks, but its low end is clearly there and clearly
    // softer than theirs, and nothing in the middle band (where a snare
    // would be) stands out: the kicks are the beat. (A backbeat's snare
    // has next to no low end, or a middle band of its own.)
    auto kickOnEvery = [](const Level& l) {
        return l.low[0] >= kKickLow && l.low[1] >= kKickEven * l.low[0];
    };
    auto bassBetween = [](const Level& l) {
        return l.low[0] >= kKickLow && l.low[1] >= kBassLow * l.low[0] &&
               l.low[1] < kBassBelow * l.low[0] && l.mid[1] < kBassBelow * l.mid[0];
    };
    // Kicks on every eighth of a level's beat (a double kick under snares
    // on every beat of the level) are faster than a drummer plays them: the
    // snares are every other beat of the level twice as fast. (A kick an
    // eighth of a beat after another rises less in the low band, the first
    // not yet died away.)
    auto kicksFasterThanPlayed = [&](const Level& l) {
        const double eighth = l.grid.period / 8;
        double sum = 0;
        for (int j = 1; j < 8; j += 2)
            sum +=
                strengthAt(onsets, grid, l.grid.period, l.grid.phase + j * eighth, 0, Measure::Low);
        return sum / 4 >= kStreamLow * l.low[0];
    };
    auto related = [&](std::size_t from, double ratio) {
        for (std::size_t i = 0; i < levels.size(); ++i)
            if (std::abs(levels[i].grid.period - ratio * levels[from].grid.period) <
                0.01 * levels[from].grid.period)
                return i;
        return levels.size();
    };
    // The low band speaks for level `fast` over `slow`, its half, or for
    // `slow` over `fast`.
    auto fastIsBeat = [&](std::size_t slow, std::size_t fast) {
        return 60 / levels[fast].grid.period <= kFastBpm && kickOnEvery(levels[slow]) &&
               levels[fast].whole < kSnareUneven &&
               (kickOnEvery(levels[fast]) || kicksFasterThanPlayed(levels[slow]));
    };
    auto slowIsBeat = [&](std::size_t fast, std::size_t slow) {
        return 60 / levels[slow].grid.period >= kSlowBpm && bassBetween(levels[fast]) &&
               kickOnEvery(levels[slow]);
    };
    bool byLowBand = false; // the low band speaks for the chosen level
    if (chosen < levels.size()) {
        const std::size_t faster = related(chosen, 0.5), slower = related(chosen, 2);
        if (faster < levels.size() && fastIsBeat(chosen, faster))
            chosen = faster;
        else if (slower < levels.size() && slowIsBeat(chosen, slower))
            chosen = slower;
        const std::size_t half = related(chosen, 2), twice = related(chosen, 0.5);
        byLowBand = (half < levels.size() && fastIsBeat(half, chosen)) ||
                    (twice < levels.size() && slowIsBeat(twice, chosen));
    }
    BeatLevels out;
    if (levels.empty()) {
        out.candidates.push_back({grid, 1});
        return out;
    }
    if (chosen == levels.size()) {
        // No level is marked evenly: the one that comes nearest stands,
        // unsure.
        chosen = std::size_t(std::max_element(levels.begin(), levels.end(),
                                              [](const Level& a, const Level& b) {
                                                  return a.evidence < b.evidence;
                                              }) -
                             levels.begin());
    }
    const Level& beat = levels[chosen];
    const BeatGrid onBeats = onAccentedHalf(onsets, beat.grid);
    // (The slower level's beats are every other beat of the chosen one.)
    const double shift = onBeats.phase != beat.grid.phase ? beat.grid.period / 2 : 0;
    out.candidates.push_back({onBeats, 1});
    // Twice as fast: as likely as its evidence comes near a pulse's.
    for (std::size_t i = 0; i < chosen; ++i)
        if (std::abs(levels[i].grid.period * 2 - beat.grid.period) < 0.01 * beat.grid.period)
            out.candidates.push_back(
                {levels[i].grid, std::min(1.0, levels[i].evidence / kPulse) *
                                     std::min(1.0, levels[i].mean / (0.6 * strongest + 1e-12))});
    // Half as fast: as likely as the chosen level's evidence is slight.
    for (std::size_t i = chosen + 1; i < levels.size(); ++i)
        if (std::abs(levels[i].grid.period - 2 * beat.grid.period) < 0.01 * beat.grid.period) {
            BeatGrid half = levels[i].grid;
            half.phase = beat.phase2 + shift;
            const double weight = std::clamp((1 - beat.evidence) / (1 - kPulse), 0.0, 1.0);
            out.candidates.push_back({half, std::min(weight, 0.95)});
        }
    // A tempo nothing speaks for is no candidate.
    out.candidates.erase(std::remove_if(out.candidates.begin() + 1, out.candidates.end(),
                                        [](const BeatLevel& c) { return c.weight < 0.05; }),
                         out.candidates.end());
    std::stable_sort(out.candidates.begin() + 1, out.candidates.end(),
                     [](const BeatLevel& a, const BeatLevel& b) { return a.weight > b.weight; });
    // Where the low band speaks for the level, the whole sound's balance between
    // the octaves (a double kick's snares, a bass between the kicks) is no
    // reason to doubt it: the others are at most half as likely.
    if (byLowBand)
        for (auto it = out.candidates.begin() + 1; it != out.candidates.end(); ++it)
            it->weight = std::min(it->weight, kSettledOther);
    out.balanced = out.candidates.size() > 1 && out.candidates[1].weight >= 0.8;
    double total = 0;
    for (const BeatLevel& c : out.candidates)
        total += c.weight;
    for (BeatLevel& c : out.candidates)
        c.weight /= total;
    return out;
}

BeatGrid chooseBeatLevel(std::span<const Onset> onsets, const BeatGrid& grid, double minBpm,
                         double maxBpm) {
    return chooseBeatLevels(onsets, grid, minBpm, maxBpm).candidates.front().grid;
}

double musicalBpm(double bpm, double bpmError) {
    const double allowed = std::min(0.01, std::max(3 * bpmError, 0.001));
    for (double step : {1.0, 0.5, 0.25}) {
        const double candidate = std::round(bpm / step) * step;
        if (std::abs(bpm - candidate) <= allowed)
            return candidate;
    }
    return bpm;
}

BeatGrid withPeriod(std::span<const Onset> onsets, const BeatGrid& grid, double period) {
    const double tol = std::clamp(4 * grid.residual, 0.004, looseTolerance(grid.period));
    const auto pts = onsetsOnGrid(onsets, grid.phase, grid.period, -1e300, 1e300, tol);
    BeatGrid g = grid;
    g.period = period;
    if (pts.empty())
        return g;
    const long long k0 = pts.front().index;
    double sum = 0;
    for (const OnBeat& p : pts)
        sum += p.time - double(p.index - k0) * period;
    g.phase = sum / double(pts.size());
    return g;
}

} // namespace kolvo::analysis
