#include "peaks.h"

#include "onsets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kolvo::analysis {

namespace {

constexpr char kMagic[8] = {'K', 'P', 'E', 'A', 'K', 'S', '1', '\n'};
// A little over the twenty minutes the decoder reads; a longer file is
// refused as damaged.
constexpr std::uint64_t kMaxSlices = 21ull * 60 * 1000;
constexpr std::uint64_t kMaxOnsets = 1u << 22;

std::int16_t toShort(float v) {
    return std::int16_t(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

template <typename T> bool readValue(std::ifstream& in, T& value) {
    return bool(in.read(reinterpret_cast<char*>(&value), sizeof(T)));
}

} // namespace

Peaks Peaks::fromSamples(const std::vector<float>& samples, int sampleRate) {
    Peaks peaks;
    if (sampleRate <= 0 || samples.empty())
        return peaks;
    const double perMs = sampleRate / 1000.0;
    const auto slices = std::size_t(std::ceil(double(samples.size()) / perMs));
    std::vector<PeakPair>& fine = peaks.m_levels[0];
    fine.resize(slices);
    for (std::size_t k = 0; k < slices; ++k) {
        const auto from = std::size_t(double(k) * perMs);
        const auto to = std::min(samples.size(), std::size_t(double(k + 1) * perMs));
        float lo = 0, hi = 0;
        if (from < to) {
            const auto [mn, mx] = std::minmax_element(samples.begin() + std::ptrdiff_t(from),
                                                      samples.begin() + std::ptrdiff_t(to));
            lo = *mn;
            hi = *mx;
        }
        fine[k] = {toShort(lo), toShort(hi)};
    }
    peaks.buildCoarserLevels();
    return peaks;
}

void Peaks::buildCoarserLevels() {
    for (int k = 1; k < kLevels; ++k) {
        const std::vector<PeakPair>& finer = m_levels[k - 1];
        const auto step = std::size_t(kSliceMs[k] / kSliceMs[k - 1]);
        std::vector<PeakPair>& out = m_levels[k];
        out.assign((finer.size() + step - 1) / step, PeakPair{});
        for (std::size_t i = 0; i < out.size(); ++i) {
            PeakPair p{32767, -32767};
            for (std::size_t j = i * step; j < std::min(finer.size(), (i + 1) * step); ++j) {
                p.low = std::min(p.low, finer[j].low);
                p.high = std::max(p.high, finer[j].high);
            }
            out[i] = p;
        }
    }
}

PeakPair Peaks::range(double fromMs, double toMs) const {
    fromMs = std::max(0.0, fromMs);
    toMs = std::min(durationMs(), toMs);
    if (!(toMs > fromMs))
        return {};
    // The coarsest level whose slices still fit the span twice over.
    int k = kLevels - 1;
    while (k > 0 && kSliceMs[k] * 2 > toMs - fromMs)
        --k;
    const std::vector<PeakPair>& lv = m_levels[k];
    const auto first = std::size_t(fromMs / kSliceMs[k]);
    const auto last = std::min(lv.size(), std::size_t(std::ceil(toMs / kSliceMs[k])));
    PeakPair p{32767, -32767};
    for (std::size_t i = first; i < last; ++i) {
        p.low = std::min(p.low, lv[i].low);
        p.high = std::max(p.high, lv[i].high);
    }
    if (p.low > p.high)
        return {};
    return p;
}

std::size_t Peaks::memoryBytes() const {
    std::size_t bytes = sizeof(*this);
    for (const auto& lv : m_levels)
        bytes += lv.capacity() * sizeof(PeakPair);
    return bytes;
}

bool Peaks::save(const std::string& path, const std::vector<double>& onsetsMs) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target(path);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);
    const fs::path temporary = target.string() + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        const std::uint64_t slices = m_levels[0].size();
        const std::uint64_t onsets = onsetsMs.size();
        out.write(kMagic, sizeof kMagic);
        out.write(reinterpret_cast<const char*>(&slices), sizeof slices);
        out.write(reinterpret_cast<const char*>(&onsets), sizeof onsets);
        out.write(reinterpret_cast<const char*>(m_levels[0].data()),
                  std::streamsize(slices * sizeof(PeakPair)));
        out.write(reinterpret_cast<const char*>(onsetsMs.data()),
                  std::streamsize(onsets * sizeof(double)));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

bool Peaks::load(const std::string& path, Peaks& peaks, std::vector<double>& onsetsMs) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    char magic[sizeof kMagic];
    std::uint64_t slices = 0, onsets = 0;
    if (!in.read(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0 ||
        !readValue(in, slices) || !readValue(in, onsets) || slices == 0 || slices > kMaxSlices ||
        onsets > kMaxOnsets)
        return false;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size != sizeof kMagic + 16 + slices * sizeof(PeakPair) + onsets * sizeof(double))
        return false;
    Peaks read;
    read.m_levels[0].resize(std::size_t(slices));
    std::vector<double> times(static_cast<std::size_t>(onsets));
    if (!in.read(reinterpret_cast<char*>(read.m_levels[0].data()),
                 std::streamsize(slices * sizeof(PeakPair))) ||
        !in.read(reinterpret_cast<char*>(times.data()), std::streamsize(onsets * sizeof(double))))
        return false;
    for (PeakPair& p : read.m_levels[0])
        if (p.low > p.high || p.low < -32767)
            return false;
    if (std::any_of(times.begin(), times.end(), [](double t) { return !std::isfinite(t); }))
        return false;
    read.buildCoarserLevels();
    peaks = std::move(read);
    onsetsMs = std::move(times);
    return true;
}

std::vector<double> onsetTimesMs(const Audio& audio, const Hooks& hooks) {
    std::vector<double> out;
    if (audio.samples.empty() || audio.sampleRate <= 0)
        return out;
    const OnsetOutput tracked = findOnsets(audio, hooks, 0, 1);
    if (tracked.cancelled)
        return out;
    out.reserve(tracked.onsets.size());
    for (const Onset& o : tracked.onsets)
        out.push_back(o.time * 1000);
    return out;
}

} // namespace kolvo::analysis
