#include "tempoanalysis.h"

#include "beatgrid.h"
#include "onsets.h"
#include "tempomap.h"

#include "aubiolibrary.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>

namespace kolvo::analysis {

namespace {

constexpr uint_t kReadHop = 4096;
// Music past this is not read: the tempo and the first beat are long known
// by then, and a very long file would fill the memory.
constexpr double kMaxSeconds = 20 * 60;
const char kNoBeat[] = "no steady beat found";
// How far above chance the onsets must lie on a grid for it to be a steady
// beat (a z-score, see onGridSignificance).
constexpr double kSteadySignificance = 3;

template <typename T> using Owned = std::unique_ptr<T, void (*)(T*)>;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

// The spacing that most often separates an onset from one of the next few,
// weighted by the weaker of the two, so soft in-between onsets count little;
// among spacings from `lo` to `hi` seconds.
double commonestSpacing(const std::vector<Onset>& onsets, double lo, double hi) {
    constexpr double kBin = 0.005;
    std::vector<double> weight(std::size_t(hi / kBin) + 2, 0.0);
    for (std::size_t i = 0; i < onsets.size(); ++i)
        for (std::size_t j = i + 1; j < onsets.size() && j <= i + 4; ++j) {
            const double d = onsets[j].time - onsets[i].time;
            if (d < lo || d > hi)
                continue;
            weight[std::size_t(d / kBin)] += std::min(onsets[i].strength, onsets[j].strength);
        }
    std::size_t top = 0;
    for (std::size_t b = 1; b + 1 < weight.size(); ++b)
        if (weight[b - 1] + weight[b] + weight[b + 1] >
            weight[top > 0 ? top - 1 : 0] + weight[top] + weight[top + 1])
            top = b;
    // (The top is where three bins sum highest: its own may be empty when
    // every spacing fell in the next.)
    if (weight[top] + weight[top + 1] + (top > 0 ? weight[top - 1] : 0) <= 0)
        return 0;
    double sum = 0, total = 0;
    for (std::size_t i = 0; i < onsets.size(); ++i)
        for (std::size_t j = i + 1; j < onsets.size() && j <= i + 4; ++j) {
            const double d = onsets[j].time - onsets[i].time;
            if (std::abs(d - (double(top) + 0.5) * kBin) > 1.5 * kBin)
                continue;
            const double w = std::min(onsets[i].strength, onsets[j].strength);
            sum += w * d;
            total += w;
        }
    return total > 0 ? sum / total : 0;
}

namespace {

// The root mean square distance of the onsets on the grid from it, and how
// many there are, with the grid's period held at `period`.
struct Fit {
    double rms = 0;
    int count = 0;
};
Fit fitAt(std::span<const Onset> onsets, const BeatGrid& grid, double period, double tol) {
    const BeatGrid g = withPeriod(onsets, grid, period);
    Fit f;
    double ss = 0;
    for (const Onset& o : onsets) {
        if (o.time < grid.firstBeat - tol || o.time > grid.lastBeat + tol)
            continue;
        const double r = std::remainder(o.time - g.phase, g.period);
        if (std::abs(r) < tol) {
            ss += r * r;
            ++f.count;
        }
    }
    f.rms = f.count > 0 ? std::sqrt(ss / f.count) : 1;
    return f;
}

// How far the beats' onsets at the start and at the end of the music lie
// from the grid: the mean distance over each tenth of the on-grid onsets,
// the largest (seconds).
double driftOver(std::span<const Onset> onsets, const BeatGrid& g) {
    const double tol = std::clamp(4 * g.residual, 0.004, 0.03);
    std::vector<double> r;
    for (const Onset& o : onsets) {
        const double d = std::remainder(o.time - g.phase, g.period);
        if (std::abs(d) < tol)
            r.push_back(d);
    }
    if (r.size() < 20)
        return 0;
    double worst = 0;
    const std::size_t tenth = r.size() / 10;
    for (std::size_t part = 0; part < 10; ++part) {
        double sum = 0;
        for (std::size_t i = part * tenth; i < (part + 1) * tenth; ++i)
            sum += r[i];
        worst = std::max(worst, std::abs(sum / double(tenth)));
    }
    return worst;
}

} // namespace

// A whole or half BPM (or a quarter) when the music fits it as well as the
// measured figure: the two grids part by no more than the onsets' scatter
// over the song (or the figure's beats keep to the music from start to end
// as closely as the measured ones), no more beats fall off the grid and the
// onsets lie hardly further from it. Otherwise the measured figure, or a
// round one within its standard error.
double simplestFittingBpm(std::span<const Onset> onsets, const BeatGrid& grid) {
    const double measured = grid.bpm();
    const double rounded = musicalBpm(measured, grid.bpmError());
    if (rounded != measured)
        return rounded;
    const double tol = std::clamp(4 * grid.residual, 0.004, 0.03);
    const Fit own = fitAt(onsets, grid, grid.period, tol);
    const double ownDrift = driftOver(onsets, grid);
    for (double step : {1.0, 0.5, 0.25}) {
        const double candidate = std::round(measured / step) * step;
        if (std::abs(candidate - measured) > 0.2)
            continue;
        // Over the fitted span the two grids part by no more than the
        // onsets' own scatter (and never more than 5 ms).
        const double beats = (grid.lastBeat - grid.firstBeat) / grid.period;
        const double parting = std::abs(60 / candidate - grid.period) * beats;
        const bool closeBy = parting <= std::min(0.005, std::max(0.002, own.rms));
        // Or, where they part by more but still within the onsets' reach,
        // the figure's beats keep to the music from start to end as closely
        // as the measured ones do (and within 5 ms): the least-squares
        // slope of loose onsets (choruses with softer attacks, read late)
        // can lean a few hundredths of a BPM off a figure the music holds
        // throughout.
        if (!closeBy &&
            (parting > tol || driftOver(onsets, withPeriod(onsets, grid, 60 / candidate)) >
                                  std::min(0.005, ownDrift) + 0.0005))
            continue;
        const Fit f = fitAt(onsets, grid, 60 / candidate, tol);
        if (f.count >= own.count * 0.98 && f.rms <= own.rms * 1.15 + 0.0005)
            return candidate;
    }
    return measured;
}

namespace {

// How far more of the music's attack lies on the grid than would by chance
// if the onsets fell anywhere (a z-score, each onset weighed by its rise):
// onsets in noise fit some grid as well as chance allows, a beat far
// better. Weighing by the rise keeps dense music (sixteenths everywhere, as
// many onsets between the beats as on them) from reading as noise: its
// beats carry the strongest attacks.
double onGridSignificance(std::span<const Onset> onsets, const BeatGrid& g) {
    const double tol = std::clamp(3 * g.residual, 0.003, std::min(0.12 * g.period, 0.035));
    double all = 0, on = 0, squares = 0;
    for (const Onset& o : onsets) {
        if (o.time < g.firstBeat - tol || o.time > g.lastBeat + tol)
            continue;
        all += o.strength;
        squares += o.strength * o.strength;
        if (std::abs(std::remainder(o.time - g.phase, g.period)) < tol)
            on += o.strength;
    }
    const double chance = std::min(1.0, 2 * tol / g.period);
    const double expected = all * chance;
    return (on - expected) / std::sqrt(std::max(1e-12, squares * chance * (1 - chance)));
}

// The grid among `fits` to build on: `best`, unless the fits at periods
// unrelated to its own (no whole ratio up to four either way) stand clearly
// further above chance than the ones related to it, by the strongest
// on-grid significance of each family.
BeatGrid surerReading(std::span<const Onset> onsets, const std::vector<BeatGrid>& fits,
                      const BeatGrid& best) {
    auto related = [](const BeatGrid& a, const BeatGrid& b) {
        const double r = a.period / b.period;
        for (double q : kLevelRatios)
            if (std::abs(r / q - 1) < 0.01)
                return true;
        return false;
    };
    std::vector<double> sig;
    for (const BeatGrid& f : fits)
        sig.push_back(onGridSignificance(onsets, f));
    auto familySignificance = [&](const BeatGrid& g) {
        double most = -1e9;
        for (std::size_t i = 0; i < fits.size(); ++i)
            if (related(fits[i], g))
                most = std::max(most, sig[i]);
        return most;
    };
    // (A tenth more, and a steady beat's least, so that chance does not
    // decide between two readings alike.)
    double top = std::max(1.1 * familySignificance(best), kSteadySignificance);
    const BeatGrid* surer = &best;
    for (std::size_t i = 0; i < fits.size(); ++i)
        if (!related(fits[i], best) && sig[i] > top && sig[i] >= familySignificance(fits[i])) {
            top = sig[i];
            surer = &fits[i];
        }
    return *surer;
}

// How far the beats of a figure part from the music's over the song: the
// fitted grid's own drift, and how far the figure's grid parts from the
// fitted one at the ends of the fitted span (its phase is fitted over all
// the beats, so it parts by half the whole either way). Seconds.
double figureDrift(std::span<const Onset> onsets, const BeatGrid& measured, double bpm) {
    const double written = std::round(bpm * 1000) / 1000;
    const BeatGrid figure = withPeriod(onsets, measured, 60 / written);
    const double beats = (measured.lastBeat - measured.firstBeat) / measured.period;
    const double parting = std::abs(figure.period - measured.period) * beats / 2;
    return std::max(driftOver(onsets, figure), driftOver(onsets, measured) + parting);
}

// The first clear beat may follow softer ones that the onset picking lost
// among an intro's swells. A beat before it whose attack sits on the grid's
// phase, about as strong as a clear beat's and standing well out over the
// attacks between the beats, is a beat of the music too: walked back while
// there is one.
double walkBackToFirstBeat(const Audio& audio, const BeatGrid& grid, double first, double typical,
                           double tol) {
    for (int step = 0; step < 64; ++step) {
        const double t = first - grid.period;
        if (t < -tol)
            break;
        const Onset beat = locateAttack(audio, std::max(0.0, t), tol, tol);
        if (beat.strength < 0.3 * typical || std::abs(beat.time - t) > tol)
            break;
        double between = 0;
        for (double f : {0.25, 0.5, 0.75})
            between =
                std::max(between, locateAttack(audio, t + f * grid.period, tol, tol).strength);
        if (beat.strength < 2 * between)
            break;
        first = beat.time;
    }
    return first;
}

} // namespace

Audio decodeAudio(const std::string& path, std::string& error, const Hooks& hooks) {
    Audio audio;
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(st)) {
        error = "no such file";
        return audio;
    }
    if (!std::filesystem::is_regular_file(st)) {
        error = "not a regular file";
        return audio;
    }
    if (std::filesystem::file_size(path, ec) == 0) {
        error = "the file is empty";
        return audio;
    }
    const AubioLibrary* lib = aubioLibrary(error);
    if (!lib)
        return audio;
    Owned<aubio_source_t> source(lib->new_aubio_source(path.c_str(), 0, kReadHop),
                                 lib->del_aubio_source);
    Owned<fvec_t> buffer(lib->new_fvec(kReadHop), lib->del_fvec);
    if (!source || !buffer || lib->aubio_source_get_samplerate(source.get()) == 0) {
        error = "not audio that can be decoded";
        return audio;
    }
    audio.sampleRate = int(lib->aubio_source_get_samplerate(source.get()));
    const double expected = double(lib->aubio_source_get_duration(source.get()));
    if (expected > 0)
        audio.samples.reserve(std::size_t(std::min(expected, kMaxSeconds * audio.sampleRate)) +
                              kReadHop);
    uint_t read = 0;
    int blocks = 0;
    do {
        lib->aubio_source_do(source.get(), buffer.get(), &read);
        audio.samples.insert(audio.samples.end(), buffer->data, buffer->data + read);
        if (++blocks % 64 == 0) {
            if (hooks.cancelled()) {
                audio.samples.clear();
                error = "cancelled";
                return audio;
            }
            if (expected > 0)
                hooks.report(std::min(1.0, double(audio.samples.size()) / expected));
        }
    } while (read == kReadHop && double(audio.samples.size()) < kMaxSeconds * audio.sampleRate);
    if (audio.samples.empty())
        error = "no audio in the file";
    return audio;
}

TempoResult analyseAudio(const Audio& audio, const Hooks& hooks) {
    TempoResult result;
    const auto start = std::chrono::steady_clock::now();
    auto finish = [&](Outcome outcome, const char* message) {
        result.outcome = outcome;
        result.message = message;
        // Only a steady beat over the song makes a figure exact.
        if (outcome != Outcome::Steady)
            for (TempoCandidate& c : result.candidates)
                c.exact = false;
        result.analysisSeconds = secondsSince(start);
        return result;
    };
    if (audio.sampleRate <= 0 || audio.samples.empty())
        return finish(Outcome::NoBeat, kNoBeat);

    const OnsetOutput tracked = findOnsets(audio, hooks, 0, 0.9);
    if (tracked.cancelled)
        return finish(Outcome::Cancelled, "cancelled");
    if (!tracked.periodGuesses.empty())
        result.trackerBpm = 60 / tracked.periodGuesses.front();

    // The periods the onsets repeat at most, and their commonest spacing:
    // each guess is fitted, and the grid that explains the music best wins.
    std::vector<double> guesses;
    std::vector<double> candidates = tracked.periodGuesses;
    candidates.push_back(commonestSpacing(tracked.onsets));
    for (double g : candidates) {
        if (!(g > 60 / kMaxBpm / 2 && g < 60 / kMinBpm * 4))
            continue;
        if (std::none_of(guesses.begin(), guesses.end(),
                         [g](double h) { return std::abs(g - h) < 0.015 * h; }))
            guesses.push_back(g);
    }
    std::optional<BeatGrid> best;
    // A grid at a period the music does not keep (four thirds of the beat
    // over sixteenths, say) still meets many onsets, but loosely: the
    // onsets' scatter about it counts against it.
    auto score = [](const BeatGrid& g) {
        return g.coverage * g.onGridShare / (1 + g.residual / 0.004);
    };
    std::vector<BeatGrid> fits;
    for (double guess : guesses) {
        if (hooks.cancelled())
            return finish(Outcome::Cancelled, "cancelled");
        const std::optional<BeatGrid> fitted = fitBeatGrid(tracked.onsets, guess);
        if (fitted && (!best || score(*fitted) > score(*best) + 1e-9))
            best = fitted;
        if (fitted)
            fits.push_back(*fitted);
    }
    if (!best)
        return finish(Outcome::NoBeat, kNoBeat);
    // A grid at a ratio of the beat that is no octave of it (four thirds
    // of the beat over loosely placed sixteenths) meets as many onsets,
    // some tightly, and can score best; but the beat's own grids stand
    // further above chance.
    best = surerReading(tracked.onsets, fits, *best);
    // The level a chart is written in, from the music's own accents.
    const BeatLevels levels = chooseBeatLevels(tracked.onsets, *best, kMinBpm, kMaxBpm);
    BeatGrid grid = levels.candidates.front().grid;

    // The first clear onset: as strong as a typical beat's attack, give or
    // take; a soft intro does not count.
    std::vector<double> onBeat;
    for (const Onset& o : tracked.onsets)
        if (o.time >= grid.firstBeat && o.time <= grid.lastBeat &&
            std::abs(std::remainder(o.time - grid.phase, grid.period)) < 0.01)
            onBeat.push_back(o.strength);
    std::nth_element(onBeat.begin(), onBeat.begin() + std::ptrdiff_t(onBeat.size() / 2),
                     onBeat.end());
    const double typical = onBeat.empty() ? 0 : onBeat[onBeat.size() / 2];
    // ... on the beat, and followed by beats: a pad swelling or a noise
    // before the music is none of these.
    const double onTol = std::clamp(4 * grid.residual, 0.006, 0.03);
    auto clearOnBeat = [&](const Onset& o) {
        return o.strength >= 0.3 * typical &&
               std::abs(std::remainder(o.time - grid.phase, grid.period)) < onTol;
    };
    // The beats that have a clear onset, by their index on the grid.
    std::vector<long long> marked;
    for (const Onset& o : tracked.onsets)
        if (clearOnBeat(o))
            marked.push_back(std::llround((o.time - grid.phase) / grid.period));
    auto isMarked = [&marked](long long k) {
        return std::binary_search(marked.begin(), marked.end(), k);
    };
    double firstClear = grid.firstBeat;
    for (const Onset& o : tracked.onsets) {
        if (!clearOnBeat(o))
            continue;
        const long long k = std::llround((o.time - grid.phase) / grid.period);
        // The next beat marked too, and most of the three after it (a bar
        // may leave one beat to a soft sound).
        if (isMarked(k + 1) && int(isMarked(k + 2)) + isMarked(k + 3) + isMarked(k + 4) >= 2) {
            firstClear = o.time;
            break;
        }
    }
    firstClear = walkBackToFirstBeat(audio, grid, firstClear, typical, onTol);

    for (const BeatLevel& level : levels.candidates) {
        TempoCandidate c;
        BeatGrid g = level.grid;
        c.measuredBpm = g.bpm();
        c.bpmError = g.bpmError();
        c.bpm = simplestFittingBpm(tracked.onsets, g);
        c.driftMs = figureDrift(tracked.onsets, g, c.bpm) * 1000;
        c.exact = c.driftMs <= kExactDriftMs;
        if (c.bpm != c.measuredBpm)
            g = withPeriod(tracked.onsets, g, 60.0 / c.bpm);
        const double slack = std::min(0.03, 0.25 * g.period);
        c.gapMs = std::max(0.0, g.beatAtOrAfter(firstClear, slack)) * 1000;
        c.confidence = level.weight;
        result.candidates.push_back(c);
        if (result.candidates.size() == 1)
            grid = g;
    }
    const TempoCandidate& chosen = result.candidates.front();
    result.bpm = chosen.bpm;
    result.measuredBpm = chosen.measuredBpm;
    result.bpmError = chosen.bpmError;
    result.gapMs = chosen.gapMs;
    result.octaveBalanced = levels.balanced;
    result.driftMs = chosen.driftMs;

    const double beatsInMusic =
        std::max(1.0, (tracked.onsets.back().time - firstClear) / grid.period + 1);
    result.beats = grid.inliers;
    result.steadyShare = std::min(1.0, grid.inliers / beatsInMusic);
    result.tempoMap = findTempoMap(tracked.onsets, result.bpm, result.gapMs);
    result.tempoChanges =
        result.tempoMap.changesTempo() || tempoChanges(tracked.onsets, grid, result.steadyShare);
    hooks.report(1.0);

    const bool tight = grid.residual <= 0.012;
    // Hats, a bass line and the tails of drums put many onsets off the beat:
    // the beat is steady when most beats have an onset and a fair share of
    // the music's attack lies on them.
    const bool weak = grid.inliers < 8 || grid.onGridShare < 0.15 ||
                      onGridSignificance(tracked.onsets, grid) < kSteadySignificance;
    if (weak && !result.tempoMap.changesTempo())
        return finish(Outcome::NoBeat, kNoBeat);
    if (result.tempoMap.changesTempo()) {
        // No one grid fits music in several tempos: its figures are those
        // it starts in.
        result.bpm = result.measuredBpm = result.tempoMap.changes.front().bpm;
        result.gapMs = result.tempoMap.gapMs;
        result.candidates.resize(1);
        result.candidates.front() = {result.bpm, result.bpm, 0, result.gapMs, 1, 0, false};
        result.octaveBalanced = false;
        return finish(Outcome::Guess, "");
    }
    if (tight && result.steadyShare >= 0.5 && grid.coverage >= 0.6 && grid.onGridShare >= 0.3 &&
        !result.tempoChanges)
        return finish(Outcome::Steady, "");
    return finish(Outcome::Guess, "");
}

TempoResult analyseFile(const std::string& path, const Hooks& hooks) {
    const auto start = std::chrono::steady_clock::now();
    Hooks decodeHooks = hooks;
    decodeHooks.progress = [&hooks](double f) { hooks.report(0.4 * f); };
    std::string error;
    const Audio audio = decodeAudio(path, error, decodeHooks);
    const double decodeSeconds = secondsSince(start);
    if (audio.samples.empty()) {
        TempoResult r;
        r.outcome = hooks.cancelled() ? Outcome::Cancelled : Outcome::Unreadable;
        r.message = hooks.cancelled() ? "cancelled" : error;
        r.decodeSeconds = decodeSeconds;
        return r;
    }
    Hooks analysisHooks = hooks;
    analysisHooks.progress = [&hooks](double f) { hooks.report(0.4 + 0.6 * f); };
    TempoResult r = analyseAudio(audio, analysisHooks);
    r.decodeSeconds = decodeSeconds;
    return r;
}

std::string bpmText(double bpm) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, bpm, std::chars_format::fixed, 3);
    if (ec != std::errc())
        return "0";
    std::string s(buf, end);
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    if (s == "-0")
        s = "0";
    return s;
}

long long gapWholeMs(double gapMs) {
    return std::llround(gapMs);
}

} // namespace kolvo::analysis
