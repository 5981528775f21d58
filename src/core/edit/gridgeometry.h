#pragma once

#include "core/edit/twips.h"

#include <cstdint>
#include <optional>

// Where the step editor's cells lie and what a press on one of them does.
// Every coordinate here is in twips from the editor's client origin
// (15 twips to a pixel); the press arithmetic is done in single precision
// so a press lands on the same cell at every position the old layout did.
namespace kolvo::grid {

constexpr int kClientWidth = 6630;
constexpr int kClientHeight = 5535;

constexpr int kOriginX = 1440;
constexpr int kOriginY = 1200;
constexpr int kColumnPitch = 480;
constexpr int kRowPitch = 120;
constexpr int kGapWidth = 240;      // between column 6 and column 7
constexpr int kGridBottom = 5040;   // y of the last row boundary
constexpr int kGridRight = 6480;    // x of the right edge
constexpr int kBeatLineLeft = 1320; // beat lines start further left
constexpr int kCellWidth = 495;     // one pixel more than the pitch each way
constexpr int kCellHeight = 135;

// The gap strip between the two pads.
constexpr int kGapStripX = 4335;
constexpr int kGapStripY = 1200;
constexpr int kGapStripWidth = 240;
constexpr int kGapStripHeight = 3915;

constexpr int kRowsShown = 32;
constexpr int kColumnsShown = 10;

// Left edge of column 1..10 and top edge of row 1..32.
constexpr int columnLeft(int column) {
    return column <= 6 ? kOriginX + kColumnPitch * (column - 1)
                       : kOriginX + kGapWidth + kColumnPitch * (column - 1);
}
constexpr int rowTop(int row) {
    return kOriginY + kRowPitch * (row - 1);
}

// The cell rectangle's number: row + 32 (column - 1), 1..320.
constexpr int cellIndex(int row, int column) {
    return row + kRowsShown * (column - 1);
}

// Whether the chart style (1 Single, 2 Double, 3 Couple, 4 Solo) has a
// panel in this column (1..10).
bool styleUsesColumn(int style, int column);

struct Cell {
    int row = 0;
    int column = 0;
    bool operator==(const Cell&) const = default;
};

// The cell under a press at (x, y) twips for the style, or nothing when the
// press is outside the grid or on a column the style does not use. A press
// in the gap between the pads lands in column 6.
std::optional<Cell> cellAtTwips(float x, float y, int style);

enum class PressButton { Left, Right, Other };

// What a press writes into a cell holding `value`: the left button toggles
// an arrow (a freeze start becomes an arrow), the right one a freeze start
// (an arrow becomes a freeze start). Nothing for any other button or value.
std::optional<std::uint8_t> valueAfterPress(std::uint8_t value, PressButton button);

} // namespace kolvo::grid
