#include "onsets.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace kolvo::analysis {

namespace {

// Largest |sample| over [from, to) clipped to the music.
float peakIn(const std::vector<float>& x, long long from, long long to) {
    from = std::max(0LL, from);
    to = std::min(static_cast<long long>(x.size()), to);
    float m = 0;
    for (long long i = from; i < to; ++i)
        m = std::max(m, std::abs(x[std::size_t(i)]));
    return m;
}

} // namespace

Onset locateAttack(const Audio& audio, double time, double before, double after) {
    const std::vector<float>& x = audio.samples;
    const double rate = audio.sampleRate;
    const long long block = std::max(1LL, std::llround(rate / 2000)); // half a millisecond
    const long long look = 10 * block;                                // five milliseconds
    const long long start = std::max(0LL, std::llround((time - before) * rate));
    const long long end =
        std::min(static_cast<long long>(x.size()), std::llround((time + after) * rate));
    if (end <= start)
        return {time, 0};

    // The block where the level after rises most over the level before.
    struct Rise {
        long long at;
        float before, peak;
    };
    std::vector<Rise> rises;
    float best = 0;
    for (long long at = start; at < end; at += block) {
        const float pre = peakIn(x, at - look, at);
        const float peak = peakIn(x, at, at + look);
        rises.push_back({at, pre, peak});
        best = std::max(best, peak - pre);
    }
    if (best <= 0)
        return {time, 0};
    const Rise* r = nullptr;
    for (const Rise& c : rises)
        if (c.peak - c.before >= 0.95f * best) {
            r = &c;
            break;
        }
    // The first sample past 30% of the rise is the attack.
    const float threshold = r->before + 0.3f * (r->peak - r->before);
    long long i = r->at;
    const long long stop = std::min(static_cast<long long>(x.size()), r->at + look);
    while (i < stop && std::abs(x[std::size_t(i)]) <= threshold)
        ++i;
    // A sound that builds up over a few milliseconds (a bass note, a low
    // drum) starts before it crosses that: back to where the two
    // milliseconds before were still at the level that came before it.
    const float quiet = r->before + 0.1f * (r->peak - r->before);
    const long long window = 4 * block, step = std::max(1LL, block / 2);
    const long long limit = std::max(0LL, i - 24 * block);
    long long j = i;
    while (j > limit && peakIn(x, j - window, j) > quiet)
        j -= step;
    j = std::max(j, 0LL);
    while (j < i && std::abs(x[std::size_t(j)]) <= quiet)
        ++j;
    return {double(j) / rate, double(r->peak - r->before)};
}

namespace {

// Level in dB of each 5 ms frame in three bands, and the rise of each frame
// over the one two frames earlier, summed over the bands.
struct Flux {
    double hop = 0;                           // seconds per frame
    std::vector<float> rise;                  // dB, >= 0
    std::vector<std::array<float, 3>> energy; // mean square per band
};

Flux levelRises(const Audio& audio, const Hooks& hooks, double from, double to) {
    Flux out;
    const std::vector<float>& x = audio.samples;
    const double rate = audio.sampleRate;
    const auto hop = std::size_t(std::max(1L, std::lround(rate * 0.005)));
    out.hop = double(hop) / rate;
    const std::size_t frames = x.size() / hop;
    // One-pole low-passes at 150 Hz and 3 kHz split the music into bands.
    const auto pole = [rate](double hz) { return float(std::exp(-6.283185307179586 * hz / rate)); };
    const float aLow = pole(150), aMid = pole(3000);
    float low1 = 0, low2 = 0, mid = 0;
    std::vector<std::array<float, 3>>& energy = out.energy;
    energy.resize(frames);
    float top = 0;
    for (std::size_t f = 0; f < frames; ++f) {
        std::array<double, 3> e{0, 0, 0};
        for (std::size_t i = f * hop; i < (f + 1) * hop; ++i) {
            const float v = x[i];
            low1 = aLow * low1 + (1 - aLow) * v;
            low2 = aLow * low2 + (1 - aLow) * low1;
            mid = aMid * mid + (1 - aMid) * v;
            const float bands[3] = {low2, mid - low2, v - mid};
            for (int b = 0; b < 3; ++b)
                e[std::size_t(b)] += double(bands[b]) * bands[b];
        }
        for (int b = 0; b < 3; ++b) {
            energy[f][std::size_t(b)] = float(e[std::size_t(b)] / double(hop));
            top = std::max(top, energy[f][std::size_t(b)]);
        }
        if (f % 20000 == 0)
            hooks.report(from + (to - from) * double(f) / double(std::max<std::size_t>(frames, 1)));
    }
    // Levels far below the loudest frame are all alike: silence and a faint
    // noise floor do not flicker into onsets.
    const float floor = std::max(top * 1e-7f, 1e-12f);
    std::vector<std::array<float, 3>> level(frames);
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t b = 0; b < 3; ++b)
            level[f][b] = 10 * std::log10(energy[f][b] + floor);
    out.rise.assign(frames, 0);
    for (std::size_t f = 2; f < frames; ++f)
        for (std::size_t b = 0; b < 3; ++b)
            out.rise[f] += std::max(0.0f, level[f][b] - level[f - 2][b]);
    return out;
}

// Local maxima of the rises that stand out from their surroundings.
std::vector<double> pickPeaks(const Flux& flux) {
    const std::vector<float>& r = flux.rise;
    const std::ptrdiff_t n = std::ptrdiff_t(r.size());
    constexpr std::ptrdiff_t kNear = 6;     // 30 ms either side
    constexpr std::ptrdiff_t kAround = 100; // half a second either side
    // (A rise of 5 dB summed over the bands at least: dense mixes rise by
    // 3-4 dB between their sixteenths all the time, and onsets picked
    // there thin the beat out among chance ones.)
    constexpr float kAbove = 2.0f, kLeast = 5.0f; // dB
    std::vector<double> out;
    std::vector<float> window;
    for (std::ptrdiff_t f = 1; f < n; ++f) {
        if (r[std::size_t(f)] < kLeast)
            continue;
        bool peak = true;
        for (std::ptrdiff_t g = std::max<std::ptrdiff_t>(0, f - kNear);
             g <= std::min(n - 1, f + kNear) && peak; ++g)
            peak = g < f ? r[std::size_t(g)] < r[std::size_t(f)]
                         : r[std::size_t(g)] <= r[std::size_t(f)];
        if (!peak)
            continue;
        window.assign(r.begin() + std::max<std::ptrdiff_t>(0, f - kAround),
                      r.begin() + std::min(n, f + kAround + 1));
        auto mid = window.begin() + std::ptrdiff_t(window.size() / 2);
        std::nth_element(window.begin(), mid, window.end());
        if (r[std::size_t(f)] < *mid + kAbove)
            continue;
        out.push_back(double(f) * flux.hop);
    }
    return out;
}

// The periods (0.19 .. 1.25 s) at which the rises repeat most: peaks of
// their autocorrelation, the strongest first.
std::vector<double> repeatingPeriods(const Flux& flux) {
    const std::vector<float>& r = flux.rise;
    const auto lo = std::size_t(0.19 / flux.hop), hi = std::size_t(1.25 / flux.hop) + 1;
    if (r.size() < 2 * hi)
        return {};
    // Mean removed, so long lags are not favoured by the sum alone.
    double mean = 0;
    for (float v : r)
        mean += v;
    mean /= double(r.size());
    std::vector<float> c(r.size());
    for (std::size_t i = 0; i < r.size(); ++i)
        c[i] = float(r[i] - mean);
    std::vector<double> ac(hi + 2, 0);
    for (std::size_t lag = lo - 1; lag <= hi + 1; ++lag) {
        double s = 0;
        for (std::size_t i = 0; i + lag < c.size(); ++i)
            s += double(c[i]) * c[i + lag];
        ac[lag] = s / double(c.size() - lag);
    }
    std::vector<std::pair<double, double>> peaks; // score, period
    for (std::size_t lag = lo; lag <= hi; ++lag) {
        if (!(ac[lag] > 0 && ac[lag] >= ac[lag - 1] && ac[lag] > ac[lag + 1]))
            continue;
        // The peak's top between the lags.
        const double a = ac[lag - 1], b = ac[lag], d = ac[lag + 1];
        const double denom = a - 2 * b + d;
        const double shift = denom < 0 ? 0.5 * (a - d) / denom : 0;
        peaks.push_back({b, (double(lag) + shift) * flux.hop});
    }
    std::sort(peaks.begin(), peaks.end(), [](auto& p, auto& q) { return p.first > q.first; });
    // Six of them: in music thick with eighths (a piano's arpeggios, hats)
    // the beat's own period can rank only fifth or sixth.
    std::vector<double> out;
    for (std::size_t i = 0; i < peaks.size() && i < 6; ++i)
        out.push_back(peaks[i].second);
    return out;
}

} // namespace

OnsetOutput findOnsets(const Audio& audio, const Hooks& hooks, double from, double to) {
    OnsetOutput out;
    const Flux flux = levelRises(audio, hooks, from, from + (to - from) * 0.5);
    if (hooks.cancelled()) {
        out.cancelled = true;
        return out;
    }
    std::vector<double> rough = pickPeaks(flux);
    out.periodGuesses = repeatingPeriods(flux);
    hooks.report(from + (to - from) * 0.7);
    if (hooks.cancelled()) {
        out.cancelled = true;
        return out;
    }

    // The attack of each onset, to the sample; two detections of one attack
    // become one. The very start of the file counts too: music that starts
    // at once has no "before" for the detector.
    rough.insert(rough.begin(), 0.0);
    for (double t : rough) {
        const Onset o =
            t == 0.0 ? locateAttack(audio, 0, 0, 0.03) : locateAttack(audio, t, 0.025, 0.02);
        if (o.strength > 0)
            out.onsets.push_back(o);
    }
    std::sort(out.onsets.begin(), out.onsets.end(),
              [](const Onset& a, const Onset& b) { return a.time < b.time; });
    std::vector<Onset> merged;
    for (const Onset& o : out.onsets) {
        if (!merged.empty() && o.time - merged.back().time < 0.01) {
            if (o.strength > merged.back().strength)
                merged.back() = o;
            continue;
        }
        merged.push_back(o);
    }
    out.onsets = std::move(merged);

    // How hard each onset hits in each band: the rise of the band's level
    // (amplitude) from the 40 ms before it to the 30 ms after it. A band's
    // rises are measured against its own strong ones, and the low band
    // (kick, bass) counts most, the middle (snare) nearly as much, the high
    // band (hats) least.
    std::vector<std::array<double, 3>> rises;
    const auto frames = std::ptrdiff_t(flux.energy.size());
    for (const Onset& o : out.onsets) {
        const auto f = std::ptrdiff_t(o.time / flux.hop);
        std::array<double, 3> r{0, 0, 0};
        for (std::size_t b = 0; b < 3; ++b) {
            double before = 0, after = 0;
            int nb = 0, na = 0;
            for (std::ptrdiff_t g = std::max<std::ptrdiff_t>(0, f - 8); g < f - 1 && g < frames;
                 ++g, ++nb)
                before += flux.energy[std::size_t(g)][b];
            for (std::ptrdiff_t g = std::max<std::ptrdiff_t>(0, f); g < f + 6 && g < frames;
                 ++g, ++na)
                after = std::max(after, double(flux.energy[std::size_t(g)][b]));
            r[b] = std::max(0.0, std::sqrt(after) - std::sqrt(nb > 0 ? before / nb : 0.0));
        }
        rises.push_back(r);
    }
    constexpr double kWeight[3] = {1.0, 0.8, 0.4};
    std::array<double, 3> scale{};
    for (std::size_t b = 0; b < 3; ++b) {
        std::vector<double> v;
        for (const auto& r : rises)
            v.push_back(r[b]);
        if (v.empty())
            continue;
        auto at = v.begin() + std::ptrdiff_t(v.size() * 9 / 10);
        std::nth_element(v.begin(), at, v.end());
        scale[b] = *at;
    }
    // A band with next to nothing in it is not measured against itself.
    const double loudest = std::max({scale[0], scale[1], scale[2]});
    for (std::size_t b = 0; b < 3; ++b)
        scale[b] = std::max(scale[b], 0.05 * loudest + 1e-12);
    for (std::size_t i = 0; i < out.onsets.size(); ++i) {
        double a = 0;
        for (std::size_t b = 0; b < 3; ++b)
            a += kWeight[b] * rises[i][b] / scale[b];
        out.onsets[i].accent = a;
        out.onsets[i].low = rises[i][0] / scale[0];
        out.onsets[i].mid = rises[i][1] / scale[1];
    }
    hooks.report(to);
    return out;
}

} // namespace kolvo::analysis
