#include "core/sm/stepnotes.h"

#include "core/song/stylepanels.h"

#include <algorithm>
#include <numeric>

namespace kolvo {

std::vector<int> chartColumns(const Chart& chart) {
    if (chart.dance()) {
        const std::span<const int> panels = stylePanels(chart.style);
        return {panels.begin(), panels.end()};
    }
    std::vector<int> columns(std::size_t(std::clamp(chart.columns, 0, kMaxPanels)));
    std::iota(columns.begin(), columns.end(), 1);
    return columns;
}

std::vector<StepCell> stepCells(const Chart& chart, const std::vector<int>& columns) {
    int columnOfPanel[kMaxPanels + 1];
    std::fill(std::begin(columnOfPanel), std::end(columnOfPanel), -1);
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c] >= 1 && columns[c] <= kMaxPanels)
            columnOfPanel[columns[c]] = int(c);
    std::vector<StepCell> cells;
    cells.reserve(chart.steps.size());
    std::vector<long> openHold(columns.size(), -1); // index of the head in `cells`
    for (const Note& n : chart.steps.notes()) {
        const int column = n.panel <= kMaxPanels ? columnOfPanel[n.panel] : -1;
        if (column < 0 || n.kind == NoteKind::None)
            continue;
        long& open = openHold[std::size_t(column)];
        char c = '1';
        if (open >= 0) {
            c = '3';
            open = -1;
        } else {
            switch (n.kind) {
            case NoteKind::FreezeStart:
                c = '2';
                break;
            case NoteKind::RollStart:
                c = '4';
                break;
            case NoteKind::Mine:
                c = 'M';
                break;
            case NoteKind::Lift:
                c = 'L';
                break;
            case NoteKind::Fake:
                c = 'F';
                break;
            default:
                break;
            }
            if (c == '2' || c == '4')
                open = long(cells.size());
        }
        cells.push_back({n.tick, column, c});
    }
    // A head with no end: drop it.
    bool dropped = false;
    for (long open : openHold)
        if (open >= 0) {
            cells[std::size_t(open)].c = '0';
            dropped = true;
        }
    if (dropped)
        std::erase_if(cells, [](const StepCell& s) { return s.c == '0'; });
    return cells;
}

int linesForBar(std::span<const int> fineRows) {
    static constexpr int kLines[] = {4, 8, 12, 16, 24, 32, 48, 64, kFineRows};
    for (int lines : kLines) {
        const int step = kFineRows / lines;
        if (std::all_of(fineRows.begin(), fineRows.end(), [&](int r) { return r % step == 0; }))
            return lines;
    }
    return kFineRows;
}

void appendMeasures(std::string& out, const std::vector<StepCell>& cells, int width, int bars,
                    std::string_view eol) {
    const std::size_t w = std::size_t(std::max(width, 1));
    std::size_t next = 0;
    std::vector<int> rows;
    std::string measure;
    for (int b = 1; b <= bars; ++b) {
        const Tick first = tickOf(b, 0);
        const std::size_t begin = next;
        rows.clear();
        while (next < cells.size() && cells[next].tick < first + kFineRows) {
            rows.push_back(fineRowOfTick(cells[next].tick));
            ++next;
        }
        const int lines = linesForBar(rows);
        const int step = kFineRows / lines;
        measure.assign(std::size_t(lines) * w, '0');
        for (std::size_t i = begin; i < next; ++i) {
            const std::size_t line = std::size_t(fineRowOfTick(cells[i].tick) / step);
            measure[line * w + std::size_t(cells[i].column)] = cells[i].c;
        }
        for (int l = 0; l < lines; ++l) {
            out.append(measure, std::size_t(l) * w, w);
            out += eol;
        }
        out += b < bars ? ',' : ';';
        out += eol;
    }
}

} // namespace kolvo
