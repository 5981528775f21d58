#pragma once
// The music's outline for drawing: the lowest and highest sample of every
// millisecond (all channels mixed), and coarser levels built from it, so a
// waveform of any height is drawn from a few thousand values at most. Kept
// with the onsets in a small file per music file, named by its digest.

#include "tempoanalysis.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kolvo::analysis {

struct PeakPair {
    std::int16_t low = 0;  // -32767 .. 32767
    std::int16_t high = 0; // at least low
};

class Peaks {
  public:
    // Slices of each level, in ms: level 0 is 1 ms.
    static constexpr int kLevels = 4;
    static constexpr int kSliceMs[kLevels] = {1, 8, 64, 512};

    Peaks() = default;
    // Reduces mono samples to the levels.
    static Peaks fromSamples(const std::vector<float>& samples, int sampleRate);

    bool empty() const { return m_levels[0].empty(); }
    double durationMs() const { return double(m_levels[0].size()); }
    const std::vector<PeakPair>& level(int k) const { return m_levels[std::size_t(k)]; }

    // The lowest and highest sample from `fromMs` to `toMs` (-1..1 as
    // 16-bit values), read from the coarsest level fine enough for the
    // span. An empty range, or one outside the music, gives {0, 0}.
    PeakPair range(double fromMs, double toMs) const;

    // Bytes held.
    std::size_t memoryBytes() const;

    // The cache file: a short header, the levels, then the onsets (ms).
    // `save` writes beside the target and renames, so a reader never sees
    // half a file; false on any error. `load` checks every size it reads
    // and gives false for a damaged or foreign file.
    bool save(const std::string& path, const std::vector<double>& onsetsMs) const;
    static bool load(const std::string& path, Peaks& peaks, std::vector<double>& onsetsMs);

  private:
    void buildCoarserLevels();
    std::vector<PeakPair> m_levels[kLevels];
};

// The attacks of decoded music, in ms, found by the library's onset
// detector and placed to the sample.
std::vector<double> onsetTimesMs(const Audio& audio, const Hooks& hooks = {});

} // namespace kolvo::analysis
