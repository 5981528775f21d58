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

// Refits the grid over all onsets with the distance allowed shrinking to what
// the onsets' own scatter justifies.
bool refine(std::span<const Onset> onsets, BeatGrid& g) {
    const double loose = looseTolerance(g.period);
    double tol = loose;
    const double lo = -1e300, hi = 1e300;
    for (int pass = 0; pass < 6; ++pass) {
        const auto pts = onsetsOnGrid(onsets, g.phase, g.period, lo, hi, tol);
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

// Mean strength of the strongest onset near each point phase + (j + offset) *
// period over the grid's span (0 where there is none).
double strengthAt(std::span<const Onset> onsets, const BeatGrid& g, double period, double phase,
                  double offset) {
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
            best = std::max(best, it->strength);
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
    double bestScore = -1, bestPeriod = periodGuess, bestPhase = centre;
    for (int j = -60; j <= 60; ++j) {
        const double p = periodGuess * (1 + 0.0005 * j);
        const double tol = looseTolerance(p);
        for (double ph = 0; ph < p; ph += 0.001) {
            double score = 0;
            for (const Onset& o : near) {
                const double d = std::abs(wrapped(o.time - centre - ph, p));
                if (d < tol)
                    score += std::min(o.strength / typical, 3.0) * (1 - d / tol);
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

BeatGrid chooseBeatLevel(std::span<const Onset> onsets, const BeatGrid& grid, double minBpm,
                         double maxBpm) {
    BeatGrid g = grid;
    int direction = 0;
    for (int step = 0; step < 4; ++step) {
        const double p = g.period;
        const double on = strengthAt(onsets, g, p, g.phase, 0);
        // Halves (thirds, ...) of the beat that are about as strong as the
        // beat are beats themselves: the tracker locked onto every second
        // (third, ...) one.
        bool moved = false;
        for (int parts : {2, 3, 4, 5}) {
            double between = on;
            for (int j = 1; j < parts; ++j)
                between = std::min(between, strengthAt(onsets, g, p, g.phase, double(j) / parts));
            if (direction < 0 || !(on > 0) || between < 0.6 * on || 60.0 / (p / parts) > maxBpm)
                continue;
            BeatGrid finer = g;
            finer.period = p / parts;
            if (refine(onsets, finer)) {
                g = finer;
                direction = 1;
                moved = true;
                break;
            }
        }
        if (moved)
            continue;
        const double a = strengthAt(onsets, g, 2 * p, g.phase, 0);
        const double b = strengthAt(onsets, g, 2 * p, g.phase, 0.5);
        const double strong = std::max(a, b), weak = std::min(a, b);
        if (direction <= 0 && strong > 0 && weak < 0.45 * strong && 60.0 / (2 * p) >= minBpm) {
            BeatGrid coarser = g;
            coarser.period = 2 * p;
            coarser.phase = a >= b ? g.phase : g.phase + p;
            if (refine(onsets, coarser)) {
                g = coarser;
                direction = -1;
                continue;
            }
        }
        break;
    }
    return g;
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
