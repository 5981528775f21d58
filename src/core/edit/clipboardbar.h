#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// The clipboard text of one bar: the header "KOLVO-BAR-DEF-v09" followed,
// without a separator, by 320 fields each ending in a comma. Field i holds
// row 1 + i / 10, panel 1 + i % 10 as "0", "1" or "2".

namespace kolvo {

class ChartSteps;
class SongModel;

inline constexpr char kClipboardBarHeader[] = "KOLVO-BAR-DEF-v09";
inline constexpr int kClipboardBarFields = 320;

// The 320 cells of a bar in field order (row-major, panels 1..10).
using BarCells = std::array<std::uint8_t, kClipboardBarFields>;

// The text for one bar of a chart: 657 characters.
QString clipboardTextFromBar(const SongModel& model, int style, int level, int bar);

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
void pasteBarCells(SongModel& model, int style, int level, int bar, const BarCells& cells,
                   PasteMode mode);

} // namespace kolvo
