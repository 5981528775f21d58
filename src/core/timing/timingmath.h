#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

// Results of the tapping tools and the beat counting of the sync checker.
// Times come in as whole nanoseconds of a monotonic clock, so the
// truncation to hundredths of a second is exact integer arithmetic.
namespace kolvo::timing {

// Hundredths of a second in an elapsed time, rounded down (negative counts
// as 0).
qint64 hundredthsOf(qint64 elapsedNs);

// The gap finder's result: the time from Play to the Enter press, truncated
// to hundredths of a second, in ms (always a multiple of 10).
// 2.3456 s gives 2340.
qint64 gapMsFromElapsed(qint64 elapsedNs);

// The BPM finder's result from the time between the first and the
// sixteenth press (fifteen beats): t = that time truncated to hundredths of
// a second; BPM = Int(60 / (t / 15)), truncated. 7.50 s gives 120, 7.51 s
// gives 119. Nothing when t is 0 (no time to divide by).
std::optional<qint64> bpmFromElapsed(qint64 elapsedNs);

// Presses in one BPM measurement, and the width of the full progress bar
// in twips.
constexpr int kBpmTaps = 16;
constexpr double kProgressFullTwips = 3495.0;
// Width of the progress bar after `tapcount` presses beyond the first
// (tapcount * 3495 / 16).
double progressWidthTwips(int tapcount);

// The sync checker's count of beats and lights. The window asks the player
// and feeds the answers in; this decides when a light comes on.
class SyncBeatCounter {
  public:
    static constexpr int kLights = 8;

    int syncbeat = 0;                       // beats signalled since playback started
    int synclight = 0;                      // last light turned on, 0..7
    std::array<bool, kLights + 1> lights{}; // index 1..8

    // Where Test jumps: syncbeat * ms per beat + gap, whole ms (halves to
    // even). Nothing when the BPM cannot be timed.
    std::optional<long long> testJumpTarget(double bpm, double gapMs) const;

    // The player answered 104 with `playState`; stopped (0) restarts the
    // count.
    void playerState(int playState);

    // One poll with the play position: past the next beat
    // ((syncbeat + 1) * ms per beat + gap) the next light comes on and the
    // caller beeps (true). The eighth light clears the row at once. An
    // untimeable BPM signals nothing.
    bool poll(double positionMs, double bpm, double gapMs);

    // Play position at which the next light is due (nothing for a BPM that
    // cannot be timed).
    std::optional<double> nextBeatMs(double bpm, double gapMs) const;

    int litCount() const;
};

} // namespace kolvo::timing
