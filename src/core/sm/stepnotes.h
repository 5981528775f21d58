#pragma once

#include "core/song/songmodel.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kolvo {

// One cell of a chart as the simulators' .sm and .ssc files write it: a
// tick, a column from 0 and the character ('1' tap, '2' hold head, '4' roll
// head, '3' hold or roll end, 'M' mine, 'L' lift, 'F' fake).
struct StepCell {
    Tick tick = 0;
    int column = 0;
    char c = '0';
};

// The panel of each column: a dance style's panels, or panels 1..columns
// of another game's chart.
std::vector<int> chartColumns(const Chart& chart);

// The chart's notes as cells in tick order. A freeze or roll ends on the
// next note of its panel, which is written as its end; a freeze or roll
// with nothing after it is dropped, as the simulators drop a head with no
// end. Notes on panels the chart has no column for are left out.
std::vector<StepCell> stepCells(const Chart& chart, const std::vector<int>& columns);

// Lines between the rows of a bar written at the coarsest of 4, 8, 12, 16,
// 24, 32, 48, 64 or 192 lines that holds every fine row in `rows` (a set bit
// per fine row 0..191 used).
int linesForBar(std::span<const int> fineRows);

// Appends bars 1..bars of the cells as measures: each measure's lines
// (`width` characters and `eol`), separated by "," and `eol`, the last one
// followed by ";" and `eol`. An empty bar is four lines of '0'.
void appendMeasures(std::string& out, const std::vector<StepCell>& cells, int width, int bars,
                    std::string_view eol);

} // namespace kolvo
