#include "core/dwi/dwiencoder.h"

#include "core/dwi/dwiencoder_p.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <cmath>
#include <cstring>

#include <algorithm>
#include <array>
#include <vector>

namespace kolvo {

namespace {

// The arrow a panel stands for; the second pad repeats the first pad's four.
enum Arrow { Left, UpLeft, Down, Up, UpRight, Right };
constexpr Arrow kPanelArrow[kArrowPanels + 1] = {Left,  Left, UpLeft, Down, Up,   UpRight,
                                                 Right, Left, Down,   Up,   Right};
constexpr char kSingle[] = {'4', 'C', '2', '8', 'D', '6'};

// Character of two arrows struck together; 0 where no pair exists.
char pairChar(Arrow a, Arrow b) {
    static const char table[6][6] = {
        //          L    UL   D    U    UR   R
        /* L  */ {0, 'E', '1', '7', 'I', 'B'},
        /* UL */ {'E', 0, 'F', 'G', 'M', 'H'},
        /* D  */ {'1', 'F', 0, 'A', 'J', '3'},
        /* U  */ {'7', 'G', 'A', 0, 'K', '9'},
        /* UR */ {'I', 'M', 'J', 'K', 0, 'L'},
        /* R  */ {'B', 'H', '3', '9', 'L', 0},
    };
    return table[a][b];
}

char singleChar(int panel) {
    return kSingle[kPanelArrow[panel]];
}

// What DWI can write of a note: 1 an arrow, 2 a freeze start. A roll is
// written as a freeze and a lift as an arrow; mines and fakes have no place.
std::uint8_t dwiValue(NoteKind kind) {
    switch (kind) {
    case NoteKind::Arrow:
    case NoteKind::Lift:
        return 1;
    case NoteKind::FreezeStart:
    case NoteKind::RollStart:
        return 2;
    default:
        return 0;
    }
}

// A row of a chart: the DWI value of each arrow panel 1..10.
using DwiRow = std::array<std::uint8_t, kArrowPanels + 1>;

void appendRow(std::string& out, const DwiRow& row, std::span<const int> panels) {
    int struck[kArrowPanels];
    bool freeze[kArrowPanels];
    int n = 0;
    for (int p : panels) {
        std::uint8_t v = (p >= 1 && p <= kArrowPanels) ? row[std::size_t(p)] : 0;
        if (v > 0 && n < kArrowPanels) {
            struck[n] = p;
            freeze[n] = v == 2;
            ++n;
        }
    }
    if (n == 0) {
        out += '0';
    } else if (n == 1) {
        char c = singleChar(struck[0]);
        out += c;
        if (freeze[0]) {
            out += '!';
            out += c;
        }
    } else if (n == 2) {
        char c = pairChar(kPanelArrow[struck[0]], kPanelArrow[struck[1]]);
        if (c == 0) { // two panels of the same arrow cannot come from one half
            out += '<';
            out += singleChar(struck[0]);
            out += singleChar(struck[1]);
            out += '>';
            return;
        }
        out += c;
        if (freeze[0] && freeze[1]) {
            out += '!';
            out += c;
        } else if (freeze[0] || freeze[1]) {
            out += '!';
            out += singleChar(freeze[0] ? struck[0] : struck[1]);
        }
    } else {
        out += '<';
        for (int i = 0; i < n; ++i)
            out += singleChar(struck[i]);
        for (int i = 0; i < n; ++i)
            if (freeze[i]) {
                out += '!';
                out += singleChar(struck[i]);
            }
        out += '>';
    }
}

// The rows of one bar that hold something DWI writes, by fine row (0..191).
struct BarRows {
    std::vector<int> fineRows;
    std::vector<DwiRow> rows;

    const DwiRow* at(int fineRow) const {
        const auto it = std::lower_bound(fineRows.begin(), fineRows.end(), fineRow);
        return it != fineRows.end() && *it == fineRow ? &rows[std::size_t(it - fineRows.begin())]
                                                      : nullptr;
    }
};

BarRows barRows(const ChartSteps& steps, int bar) {
    BarRows out;
    if (bar < 1 || bar > kMaxBars)
        return out;
    const Tick first = tickOf(bar, 0);
    for (const Note& n : steps.notesBetween(first, first + kFineRows - 1)) {
        const std::uint8_t v = dwiValue(n.kind);
        if (v == 0 || n.panel < 1 || n.panel > kArrowPanels)
            continue;
        const int fine = fineRowOfTick(n.tick);
        if (out.fineRows.empty() || out.fineRows.back() != fine) {
            out.fineRows.push_back(fine);
            out.rows.emplace_back();
        }
        out.rows.back()[n.panel] = v;
    }
    return out;
}

// Fine rows between the bar's written rows, and its brackets: 8ths bare,
// 16ths in (), 24ths in [], 64ths in {}, 192nds in ``. Thirty-seconds have no
// bracket: each is two sixty-fourths, the second one empty.
struct Layout {
    BarResolution resolution;
    int step;
    const char* open;
    const char* close;
};
constexpr Layout kLayouts[] = {
    {BarResolution::Eighths, 24, "", ""},        {BarResolution::Sixteenths, 12, "(", ")"},
    {BarResolution::TwentyFourths, 8, "[", "]"}, {BarResolution::ThirtySeconds, 6, "{", "}"},
    {BarResolution::SixtyFourths, 3, "{", "}"},  {BarResolution::HundredNinetySeconds, 1, "`", "'"},
};

const Layout& layoutOf(const BarRows& rows) {
    for (const Layout& l : kLayouts)
        if (std::all_of(rows.fineRows.begin(), rows.fineRows.end(),
                        [&](int r) { return r % l.step == 0; }))
            return l;
    return kLayouts[std::size(kLayouts) - 1];
}

void appendBars(std::string& out, const ChartSteps& steps, int count, std::span<const int> panels) {
    const DwiRow empty{};
    for (int b = 1; b <= count; ++b) {
        const BarRows rows = barRows(steps, b);
        const Layout& layout = layoutOf(rows);
        out += layout.open;
        for (int r = 0; r < kFineRows; r += layout.step) {
            const DwiRow* row = rows.at(r);
            appendRow(out, row ? *row : empty, panels);
            if (layout.resolution == BarResolution::ThirtySeconds)
                out += '0';
        }
        out += layout.close;
    }
}

} // namespace

int dwiBarCount(int lastBar) {
    // One bar past the last: a chart that ends within the first hundred
    // bars stops at bar 100, as it always has.
    return std::min(lastBar + 1, lastBar <= kBars ? kBars : kMaxBars);
}

void appendChartSteps(std::string& out, const SongModel& m, int s, int l) {
    if (!ChartId{s, l}.hasSlot())
        return;
    const int count = dwiBarCount(FindLastBar(m, s, l));
    const ChartSteps& steps = m.chart(SongModel::slotOf(s, l)).steps;
    if (s == Single || s == Solo) {
        appendBars(out, steps, count, stylePanels(s));
    } else { // one half per pad, in the order their characters are written
        appendBars(out, steps, count, kFirstPadPanels);
        out += ':';
        appendBars(out, steps, dwiBarCount(count), kSecondPadPanels);
    }
}

QString EncodeChartSteps(const SongModel& model, int style, int level) {
    std::string out;
    appendChartSteps(out, model, style, level);
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

int FindLastBar(const SongModel& model, int style, int level) {
    if (!ChartId{style, level}.hasSlot())
        return 0;
    // The last bar holding a note on an arrow panel or a tempo event.
    int last = 0;
    const ChartSlot slot = SongModel::slotOf(style, level);
    for (const Note& n : model.chart(slot).steps.notes())
        if (n.panel <= kArrowPanels)
            last = std::max(last, barOfTick(n.tick));
    for (const TempoCell& t : model.tempoCells(slot))
        if (SongModel::tempoEvent(t.value))
            last = std::max(last, barOfTick(t.tick));
    return last;
}

BarResolution ChooseBarResolution(const SongModel& model, int style, int level, int bar) {
    if (!SongModel::validChart(style, level))
        return BarResolution::Eighths;
    return layoutOf(barRows(model.chart(SongModel::slotOf(style, level)).steps, bar)).resolution;
}

QString EncodeRow(const SongModel& model, int style, int level, int bar, int row,
                  std::span<const int> panels) {
    DwiRow values{};
    const std::array<std::uint8_t, 11> kinds = model.arrowRow(style, level, bar, row);
    for (int p = 1; p <= kArrowPanels; ++p)
        values[std::size_t(p)] = dwiValue(NoteKind(kinds[std::size_t(p)]));
    std::string out;
    appendRow(out, values, panels);
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

} // namespace kolvo
