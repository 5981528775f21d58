#include "core/timing/tempomap.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kolvo {

namespace {

bool usable(double bpm) {
    return std::isfinite(bpm) && bpm > 0;
}

struct Point {
    double bpm = 0; // 0: no change
    double stopMs = 0;
    double delayMs = 0;
    double warpBeats = 0;
    bool warpEnd = false;
};

} // namespace

TempoMap::TempoMap(const TimingData& timing) {
    double bpm = usable(timing.bpm) ? timing.bpm : 120.0;
    std::map<Tick, Point> points;
    for (const TimingEvent& e : timing.bpms) {
        if (!usable(e.value))
            continue;
        if (e.tick <= 0)
            bpm = e.value; // a change on beat 0 (or before) is the starting tempo
        else
            points[e.tick].bpm = e.value;
    }
    auto add = [&](const std::vector<TimingEvent>& events, double Point::*what) {
        for (const TimingEvent& e : events)
            if (std::isfinite(e.value) && e.value > 0)
                points[std::max<Tick>(e.tick, 0)].*what += e.value;
    };
    add(timing.stops, &Point::stopMs);
    add(timing.delays, &Point::delayMs);
    add(timing.warps, &Point::warpBeats);
    // A warp ends where its beats run out; the piece after it runs at tempo again.
    std::vector<Tick> warpEnds;
    for (const auto& [tick, p] : points)
        if (p.warpBeats > 0)
            warpEnds.push_back(tick + Tick(std::llround(p.warpBeats * kFineRowsPerBeat)));
    for (Tick t : warpEnds)
        points[std::max<Tick>(t, 0)].warpEnd = true;

    const double offset = std::isfinite(timing.offsetMs) ? timing.offsetMs : 0.0;
    Anchor a;
    a.beat = 0;
    a.arriveMs = a.hitMs = a.leaveMs = offset;
    a.bpm = bpm;
    a.msPerBeat = 60.0 / bpm * 1000.0;
    double warpUntil = -1; // beat where the current warp ends
    auto applyAt = [&](Anchor& x, const Point& p) {
        if (p.bpm > 0) {
            x.bpm = p.bpm;
        }
        x.hitMs = x.arriveMs + p.delayMs;
        x.leaveMs = x.hitMs + p.stopMs;
        if (p.warpBeats > 0)
            warpUntil = std::max(warpUntil, x.beat + p.warpBeats);
        x.msPerBeat = x.beat < warpUntil ? 0.0 : 60.0 / x.bpm * 1000.0;
    };
    auto first = points.find(0);
    if (first != points.end()) {
        applyAt(a, first->second);
        points.erase(first);
    }
    m_anchors.push_back(a);
    for (const auto& [tick, p] : points) {
        const Anchor& prev = m_anchors.back();
        Anchor x;
        x.beat = double(tick) / kFineRowsPerBeat;
        x.arriveMs = prev.leaveMs + (x.beat - prev.beat) * prev.msPerBeat;
        x.bpm = prev.bpm;
        applyAt(x, p);
        m_anchors.push_back(x);
    }
}

double TempoMap::msAtBeat(double beat) const {
    // The last anchor at or before the beat.
    auto it = std::upper_bound(m_anchors.begin(), m_anchors.end(), beat,
                               [](double b, const Anchor& x) { return b < x.beat; });
    if (it == m_anchors.begin()) // before beat 0: the starting tempo, backwards
        return m_anchors.front().arriveMs +
               (beat - m_anchors.front().beat) * 60.0 / m_anchors.front().bpm * 1000.0;
    const Anchor& x = *(it - 1);
    if (beat == x.beat)
        return x.hitMs;
    if (x.msPerBeat == 0)
        return x.leaveMs;
    return x.leaveMs + (beat - x.beat) * 60000.0 / x.bpm;
}

double TempoMap::beatAtMs(double ms) const {
    auto it = std::upper_bound(m_anchors.begin(), m_anchors.end(), ms,
                               [](double t, const Anchor& x) { return t < x.arriveMs; });
    if (it == m_anchors.begin())
        return m_anchors.front().beat +
               (ms - m_anchors.front().arriveMs) * m_anchors.front().bpm / 60000.0;
    // Several anchors may share one arrival (a warp); the last of them holds.
    const Anchor& x = *(it - 1);
    if (ms <= x.leaveMs || x.msPerBeat == 0)
        return x.beat;
    // Multiplied out, so that whole beats at tempos like 180 come out exact.
    double beat = x.beat + (ms - x.leaveMs) * x.bpm / 60000.0;
    if (it != m_anchors.end())
        beat = std::min(beat, it->beat);
    return beat;
}

double TempoMap::bpmAtBeat(double beat) const {
    auto it = std::upper_bound(m_anchors.begin(), m_anchors.end(), beat,
                               [](double b, const Anchor& x) { return b < x.beat; });
    return it == m_anchors.begin() ? m_anchors.front().bpm : (it - 1)->bpm;
}

} // namespace kolvo
