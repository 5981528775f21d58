#include "core/timing/timingmath.h"

#include "core/timing/grabbermath.h"

namespace kolvo::timing {

qint64 hundredthsOf(qint64 elapsedNs) {
    if (elapsedNs <= 0)
        return 0;
    return elapsedNs / 10'000'000;
}

qint64 gapMsFromElapsed(qint64 elapsedNs) {
    return hundredthsOf(elapsedNs) * 10;
}

std::optional<qint64> bpmFromElapsed(qint64 elapsedNs) {
    const qint64 t = hundredthsOf(elapsedNs); // hundredths of a second
    if (t <= 0)
        return std::nullopt;
    // 60 / ((t / 100) / 15) = 90000 / t, truncated.
    return qint64{90000} / t;
}

double progressWidthTwips(int tapcount) {
    return static_cast<double>(tapcount) * kProgressFullTwips / kBpmTaps;
}

std::optional<long long> SyncBeatCounter::testJumpTarget(double bpm, double gapMs) const {
    if (!grab::usableBpm(bpm))
        return std::nullopt;
    return grab::roundHalfEven(static_cast<double>(syncbeat) * grab::msPerBeat(bpm) + gapMs);
}

void SyncBeatCounter::playerState(int playState) {
    if (playState == 0)
        syncbeat = 0;
}

std::optional<double> SyncBeatCounter::nextBeatMs(double bpm, double gapMs) const {
    if (!grab::usableBpm(bpm))
        return std::nullopt;
    return static_cast<double>(syncbeat + 1) * grab::msPerBeat(bpm) + gapMs;
}

bool SyncBeatCounter::poll(double positionMs, double bpm, double gapMs) {
    const std::optional<double> due = nextBeatMs(bpm, gapMs);
    if (!due || !(positionMs > *due))
        return false;
    syncbeat += 1;
    synclight += 1;
    if (synclight >= 1 && synclight <= kLights)
        lights[static_cast<std::size_t>(synclight)] = true;
    if (synclight >= kLights) {
        synclight = 0;
        lights.fill(false);
    }
    return true;
}

int SyncBeatCounter::litCount() const {
    int n = 0;
    for (bool on : lights)
        n += on ? 1 : 0;
    return n;
}

} // namespace kolvo::timing
