#include "tempoanalysis.h"

#include "beatgrid.h"
#include "onsets.h"

#include "aubiolibrary.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <system_error>

namespace kolvo::analysis {

namespace {

constexpr uint_t kReadHop = 4096;
// Music past this is not read: the tempo and the first beat are long known
// by then, and a very long file would fill the memory.
constexpr double kMaxSeconds = 20 * 60;
// The tempo range a beat level is chosen in.
constexpr double kMinBpm = 50;
constexpr double kMaxBpm = 300;
const char kNoBeat[] = "no steady beat found";

template <typename T> using Owned = std::unique_ptr<T, void (*)(T*)>;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double medianInterval(const std::vector<double>& times) {
    std::vector<double> d;
    for (std::size_t i = 1; i < times.size(); ++i)
        d.push_back(times[i] - times[i - 1]);
    if (d.empty())
        return 0;
    auto mid = d.begin() + std::ptrdiff_t(d.size() / 2);
    std::nth_element(d.begin(), mid, d.end());
    return *mid;
}

// The spacing that most often separates an onset from one of the next few,
// weighted by the weaker of the two, so soft in-between onsets count little.
double commonestSpacing(const std::vector<Onset>& onsets) {
    constexpr double kBin = 0.005;
    const double lo = 60 / kMaxBpm, hi = 60 / kMinBpm;
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
    if (weight[top] <= 0)
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
        result.analysisSeconds = secondsSince(start);
        return result;
    };
    if (audio.sampleRate <= 0 || audio.samples.empty())
        return finish(Outcome::NoBeat, kNoBeat);

    const TrackerOutput tracked = trackBeats(audio, hooks, 0, 0.9);
    if (tracked.cancelled)
        return finish(Outcome::Cancelled, "cancelled");
    result.trackerBpm = tracked.bpm;

    // The tracker needs a few seconds to settle, and may settle on a multiple
    // of the beat; the onsets' own commonest spacing is a second opinion.
    // Each guess is fitted, and the grid that explains the music best wins.
    std::vector<double> guesses;
    for (double g : {medianInterval(tracked.beats), tracked.bpm > 0 ? 60 / tracked.bpm : 0.0,
                     commonestSpacing(tracked.onsets)}) {
        if (!(g > 60 / kMaxBpm / 2 && g < 60 / kMinBpm * 4))
            continue;
        if (std::none_of(guesses.begin(), guesses.end(),
                         [g](double h) { return std::abs(g - h) < 0.015 * h; }))
            guesses.push_back(g);
    }
    std::optional<BeatGrid> best;
    auto score = [](const BeatGrid& g) { return g.coverage * g.onGridShare; };
    for (double guess : guesses) {
        if (hooks.cancelled())
            return finish(Outcome::Cancelled, "cancelled");
        const std::optional<BeatGrid> fitted = fitBeatGrid(tracked.onsets, guess);
        if (!fitted)
            continue;
        const BeatGrid level = chooseBeatLevel(tracked.onsets, *fitted, kMinBpm, kMaxBpm);
        if (!best || score(level) > score(*best) + 1e-9)
            best = level;
    }
    if (!best)
        return finish(Outcome::NoBeat, kNoBeat);
    BeatGrid grid = *best;

    result.measuredBpm = grid.bpm();
    result.bpmError = grid.bpmError();
    result.bpm = musicalBpm(result.measuredBpm, result.bpmError);
    if (result.bpm != result.measuredBpm)
        grid = withPeriod(tracked.onsets, grid, 60.0 / result.bpm);

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
    double firstClear = grid.firstBeat;
    for (const Onset& o : tracked.onsets)
        if (o.strength >= 0.3 * typical) {
            firstClear = o.time;
            break;
        }
    const double slack = std::min(0.03, 0.25 * grid.period);
    result.gapMs = std::max(0.0, grid.beatAtOrAfter(firstClear, slack)) * 1000;

    const double beatsInMusic =
        std::max(1.0, (tracked.onsets.back().time - firstClear) / grid.period + 1);
    result.beats = grid.inliers;
    result.steadyShare = std::min(1.0, grid.inliers / beatsInMusic);
    hooks.report(1.0);

    const bool tight = grid.residual <= 0.012;
    if (grid.inliers < 8 || grid.onGridShare < 0.25)
        return finish(Outcome::NoBeat, kNoBeat);
    if (tight && result.steadyShare >= 0.5 && grid.onGridShare >= 0.5)
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
