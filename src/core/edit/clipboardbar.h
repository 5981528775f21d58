#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The clipboard text of one bar: the header "KOLVO-BAR-DEF-v09" followed,
// without a separator, by 320 fields each ending in a comma. Field i holds
// row 1 + i / 10, panel 1 + i % 10 as "0", "1" or "2".
//
// A bar that holds more than that form can carry (a note between the 32nd
// rows, or a roll, mine, lift or fake) is written in the note form instead:
// the header "KOLVO-BAR-NOTES-v1" followed by one field per note, each
// "row:panel:kind," with the fine row 0..191 of the bar, the panel 1..10 and
// the kind 1..6 (NoteKind). Older copies of the program refuse it, as they
// refuse any text without their header.

namespace kolvo {

class ChartSteps;
class SongModel;
struct Note;

inline constexpr char kClipboardBarHeader[] = "KOLVO-BAR-DEF-v09";
inline constexpr char kClipboardNotesHeader[] = "KOLVO-BAR-NOTES-v1";
inline constexpr int kClipboardBarFields = 320;

// The 320 cells of a bar in field order (row-major, panels 1..10).
using BarCells = std::array<std::uint8_t, kClipboardBarFields>;

// The text for one bar of a chart: 657 characters in the bar form, or the
// note form where the bar needs it.
QString clipboardTextFromBar(const SongModel& model, int style, int level, int bar);
// The same for any chart of the song by its slot.
QString clipboardTextFromBar(const SongModel& model, int chartSlot, int bar);

// Reads a clipboard text. Nothing is returned unless the text starts with
// the header (compared case-sensitively) and holds at least 320 fields that
// are each exactly "0", "1" or "2"; anything after the 320th comma is ignored.
// A short or damaged text is refused as a whole rather than half pasted.
std::optional<BarCells> barCellsFromClipboardText(const QString& text);

enum class PasteMode {
    Replace, // every cell takes the clipboard's value
    Merge,   // only cells holding 0 take it; steps already there win
};

void pasteBarCells(ChartSteps& chart, int bar, const BarCells& cells, PasteMode mode);

// The notes of a clipboard text of either form, each with its fine row of
// the bar (0..191) as its tick, sorted. A text of the note form is refused
// as a whole on any field that is not a note of panels 1..10, or on a place
// given twice.
std::optional<std::vector<Note>> barNotesFromClipboardText(const QString& text);
// Puts the notes into the bar. Replace empties the bar's panels 1..10 first;
// Merge writes only where the bar has no note.
void pasteBarNotes(ChartSteps& chart, int bar, const std::vector<Note>& notes, PasteMode mode);
void pasteBarCells(SongModel& model, int style, int level, int bar, const BarCells& cells,
                   PasteMode mode);

} // namespace kolvo
