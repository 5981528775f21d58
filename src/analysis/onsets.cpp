#include "onsets.h"

#include "aubiolibrary.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace kolvo::analysis {

namespace {

constexpr uint_t kWindow = 512;
constexpr uint_t kHop = 256;

template <typename T> using Owned = std::unique_ptr<T, void (*)(T*)>;

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
    return {double(i) / rate, double(r->peak - r->before)};
}

TrackerOutput trackBeats(const Audio& audio, const Hooks& hooks, double from, double to) {
    TrackerOutput out;
    std::string error;
    const AubioLibrary* lib = aubioLibrary(error);
    if (!lib)
        return out; // the music was decoded by the same library: not reached
    // The tracker hears the music at about 22 kHz: its beats and onsets are
    // rough places only (attacks are located in the full-rate samples), and
    // half the rate halves its work.
    const int factor = std::max(1, audio.sampleRate / 22050);
    std::vector<float> reduced;
    if (factor > 1) {
        reduced.resize(audio.samples.size() / std::size_t(factor));
        for (std::size_t i = 0; i < reduced.size(); ++i) {
            float sum = 0;
            for (int j = 0; j < factor; ++j)
                sum += audio.samples[i * std::size_t(factor) + std::size_t(j)];
            reduced[i] = sum / float(factor);
        }
    }
    const std::vector<float>& heard = factor > 1 ? reduced : audio.samples;
    const auto rate = uint_t(audio.sampleRate / factor);
    Owned<aubio_tempo_t> tempo(lib->new_aubio_tempo("default", kWindow, kHop, rate),
                               lib->del_aubio_tempo);
    Owned<aubio_onset_t> onset(lib->new_aubio_onset("default", kWindow, kHop, rate),
                               lib->del_aubio_onset);
    Owned<fvec_t> in(lib->new_fvec(kHop), lib->del_fvec);
    Owned<fvec_t> beat(lib->new_fvec(1), lib->del_fvec);
    Owned<fvec_t> hit(lib->new_fvec(1), lib->del_fvec);
    if (!tempo || !onset || !in || !beat || !hit)
        return out;
    lib->aubio_onset_set_minioi_ms(onset.get(), 30);

    std::vector<double> rough;
    const std::size_t n = heard.size();
    std::size_t done = 0;
    for (std::size_t pos = 0; pos < n; pos += kHop) {
        const std::size_t len = std::min<std::size_t>(kHop, n - pos);
        std::copy_n(heard.data() + pos, len, in->data);
        std::fill(in->data + len, in->data + kHop, 0.0f);
        lib->aubio_tempo_do(tempo.get(), in.get(), beat.get());
        if (beat->data[0] != 0)
            out.beats.push_back(double(lib->aubio_tempo_get_last_s(tempo.get())));
        lib->aubio_onset_do(onset.get(), in.get(), hit.get());
        if (hit->data[0] != 0)
            rough.push_back(double(lib->aubio_onset_get_last_s(onset.get())));
        if (pos - done >= 64 * kHop * 16 || pos + kHop >= n) {
            done = pos;
            if (hooks.cancelled()) {
                out.cancelled = true;
                return out;
            }
            hooks.report(from +
                         (to - from) * 0.8 * double(pos) / double(std::max<std::size_t>(n, 1)));
        }
    }
    out.bpm = double(lib->aubio_tempo_get_bpm(tempo.get()));

    // The attack of each onset, to the sample; two detections of one attack
    // become one. The very start of the file counts too: music that starts
    // at once has no "before" for the detector.
    rough.insert(rough.begin(), 0.0);
    for (double t : rough) {
        const Onset o =
            t == 0.0 ? locateAttack(audio, 0, 0, 0.03) : locateAttack(audio, t, 0.03, 0.025);
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
    hooks.report(to);
    return out;
}

} // namespace kolvo::analysis
