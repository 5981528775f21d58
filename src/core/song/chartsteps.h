#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kolvo {

// The old limits of a chart: 100 bars of 32 rows. The editor's grid shows a
// bar at 32 rows by default, and files within these limits are written in
// their original layouts.
constexpr int kBars = 100;
constexpr int kRows = 32;

// What a chart can hold: bars 1..kMaxBars, each of kFineRows rows (48 to a
// beat, the simulators' own resolution).
constexpr int kMaxBars = 9999;
constexpr int kFineRows = 192;
constexpr int kFinePerRow = kFineRows / kRows; // fine rows in one 32nd row
constexpr int kFineRowsPerBeat = kFineRows / 4;

// Panels of a chart: the dance styles use 1..10 (PanelIndex); a chart of
// another game keeps its columns as panels 1..n.
constexpr int kMaxPanels = 32;

// The kind of a note. The first three are the values a cell of the old grid
// held (StepValue); a freeze or roll start lasts to the next arrow of its
// panel, as the editor has always drawn freezes.
enum class NoteKind : std::uint8_t {
    None = 0,
    Arrow = 1,
    FreezeStart = 2,
    RollStart = 3,
    Mine = 4,
    Lift = 5,
    Fake = 6,
};
constexpr int kNoteKinds = 7;

// A row of a chart counted from the first row of bar 1 in fine rows.
using Tick = std::int32_t;
constexpr Tick tickOf(int bar, int fineRow) {
    return Tick(bar - 1) * kFineRows + fineRow;
}
constexpr int barOfTick(Tick t) {
    return t >= 0 ? int(t / kFineRows) + 1 : int((t + 1) / kFineRows);
}
constexpr int fineRowOfTick(Tick t) {
    return int(((t % kFineRows) + kFineRows) % kFineRows);
}
// The tick of a 32nd row of the old grid (row 1..32).
constexpr Tick tickOfRow(int bar, int row) {
    return tickOf(bar, (row - 1) * kFinePerRow);
}
constexpr Tick kLastTick = tickOf(kMaxBars, kFineRows - 1);

struct Note {
    Tick tick = 0;
    std::uint8_t panel = 0;
    NoteKind kind = NoteKind::None;

    friend bool operator==(const Note&, const Note&) = default;
};

// The notes of one chart, kept sorted by row and panel and only where there
// is one: a chart costs what it holds. A whole chart is a value that copies
// in one go and swaps in constant time, so bar operations run on a copy and
// are applied by a swap.
class ChartSteps {
  public:
    ChartSteps() = default;

    // The note kind at a fine row (0..191) of a bar; NoteKind::None where
    // there is none and outside the chart (writes there are ignored).
    NoteKind kindAt(int bar, int fineRow, int panel) const;
    void setKind(int bar, int fineRow, int panel, NoteKind kind);
    NoteKind kindAtTick(Tick t, int panel) const;
    void setKindAtTick(Tick t, int panel, NoteKind kind);

    // The old grid's view: a 32nd row (1..32) of a bar 1..kMaxBars, the value
    // as a byte (0 empty, 1 arrow, 2 freeze start, 3.. the other kinds).
    std::uint8_t at(int bar, int row, int panel) const {
        return std::uint8_t(kindAtTick(tickOfRow(bar, row), panel));
    }
    void set(int bar, int row, int panel, std::uint8_t value);

    // Every note, by row then panel.
    std::span<const Note> notes() const { return m_notes; }
    // The notes of the ticks first..last (both included).
    std::span<const Note> notesBetween(Tick first, Tick last) const;
    std::span<const Note> notesOfBar(int bar) const {
        return notesBetween(tickOf(bar, 0), tickOf(bar, kFineRows - 1));
    }
    std::size_t size() const { return m_notes.size(); }

    void clear() { m_notes.clear(); }
    bool empty() const { return m_notes.empty(); }
    bool barHasSteps(int bar) const { return !notesOfBar(bar).empty(); }
    // The last bar holding a note (0 when none).
    int lastBar() const { return m_notes.empty() ? 0 : barOfTick(m_notes.back().tick); }
    // Whether every note fits the old grid: bars 1..100, 32nd rows, arrows and
    // freeze starts on panels 1..10.
    bool withinOldLimits() const;

    // For readers and edits that build a whole chart: notes added in any
    // order (a later one at the same place replaces an earlier one, None
    // removes), sorted once by finish(). Notes outside the chart are ignored.
    void append(const Note& n);
    void finish();
    // Replaces every note (already sorted and unique, as from another chart).
    void assign(std::vector<Note> notes) { m_notes = std::move(notes); }

    void swap(ChartSteps& other) noexcept {
        m_notes.swap(other.m_notes);
        std::swap(m_unsorted, other.m_unsorted);
    }
    bool operator==(const ChartSteps& other) const { return m_notes == other.m_notes; }

    static bool validPlace(Tick t, int panel) {
        return t >= 0 && t <= kLastTick && panel >= 1 && panel <= kMaxPanels;
    }

  private:
    std::vector<Note> m_notes;
    bool m_unsorted = false;
};

} // namespace kolvo
