#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Arithmetic of the real-time step grabber and of the player jumps: where a
// play position falls in the chart, how a press snaps to the row grid, and
// which panel a key records. Plain functions, no widgets.
namespace kolvo {
class TempoMap;
}

namespace kolvo::grab {

constexpr int kRowsPerBeat = 8;
constexpr int kBeatsPerBar = 4;
constexpr int kRowsPerBar = kRowsPerBeat * kBeatsPerBar; // 32

// Snap settings ("option1" of the "stepgrabber" settings section).
enum Snap : int { SnapBeat = 0, SnapHalfBeat = 1, SnapQuarterBeat = 2 };

// A BPM the tools can time with: a finite number above 0.
bool usableBpm(double bpm);
// Milliseconds per beat, 60 / bpm * 1000. Only meaningful for usableBpm().
double msPerBeat(double bpm);

// Whole milliseconds, halves to the even neighbour (as the player jump
// targets are rounded).
long long roundHalfEven(double ms);

// Where a play position falls: beats since the gap, the bar (Int(beats/4)+1,
// rounding down, so before the gap it is 0 or less) and the position within
// that bar in rows, 0 <= r < 32.
struct ChartPosition {
    double beats = 0;
    long long bar = 0;
    double r = 0;
};
ChartPosition positionAt(double positionMs, double gapMs, double bpm);
// The same through the song's whole timing (BPM changes, stops, ...).
ChartPosition positionAt(double positionMs, const TempoMap& map);

// The bar shown by the grabber's bar display for a play position.
long long barAt(double positionMs, double gapMs, double bpm);
long long barAt(double positionMs, const TempoMap& map);

// A snapped press: the bar (may be < 1 or > 100; the caller decides) and
// the row 1..32 of that bar.
struct SnappedCell {
    long long bar = 0;
    int row = 1;
};
// Snaps r (0 <= r < 32) of `bar` by the snap setting; intervals are closed
// below and open above, so a press exactly halfway goes to the later grid
// line. A setting other than 0..2 leaves r as it is.
SnappedCell snapRow(long long bar, double r, int snap);

// Where the grabber puts a key pressed at a play position.
SnappedCell cellAt(double positionMs, double gapMs, double bpm, int snap);
SnappedCell cellAt(double positionMs, const TempoMap& map, int snap);

// Whether `stepsPerBar` is one of the snaps the grabber offers: the step
// grid's (grid::kSnaps).
bool grabberSnap(int stepsPerBar);
// Steps a bar of a snap setting (0..2: 4, 8, 16); 0 for any other setting.
int stepsOfSnapSetting(int snap);

// A snapped press at the model's resolution: the bar (may be < 1 or past
// the last bar; the caller decides) and the fine row 0..191 of that bar.
struct SnappedTick {
    long long bar = 0;
    int fineRow = 0;
};
// Snaps r (0 <= r < 32, in 32nd rows) of `bar` to the nearest of
// `stepsPerBar` evenly spaced steps; a press exactly halfway goes to the
// later step, and one past the bar's last step to the next bar's first.
// `stepsPerBar` not in kGrabberSnaps snaps nothing: the press keeps the 32nd
// row it falls in.
SnappedTick snapToSteps(long long bar, double r, int stepsPerBar);
SnappedTick tickAt(double positionMs, const TempoMap& map, int stepsPerBar);

// Player position of the first beat of `bar`: (bar - 1) * 4 * ms per beat +
// gap, whole ms, halves to even. Used when the grabber starts.
long long barStartMs(int bar, double gapMs, double bpm);
long long barStartMs(int bar, const TempoMap& map);

// The panel a Windows virtual-key code records for a style (1 Single,
// 2 Double, 3 Couple, 4 Solo); 0 = the key records nothing.
int panelForKey(int virtualKey, int style);

// The key tester's indicators lit by a key: names among l, ul, d, u, ur, r,
// l2, d2, u2, r2 (empty for other keys). `singleMode` is "Single / Solo".
QStringList keyTesterLights(int virtualKey, bool singleMode);

} // namespace kolvo::grab
