#include "core/dwi/dwiencoder.h"

#include "core/dwi/dwiencoder_p.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <cmath>
#include <cstring>

#include <algorithm>
#include <array>

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

void appendRow(std::string& out, const SongModel& m, int s, int l, int b, int r,
               std::span<const int> panels) {
    int struck[kArrowPanels];
    bool freeze[kArrowPanels];
    int n = 0;
    const std::array<std::uint8_t, 11> row = m.arrowRow(s, l, b, r);
    for (int p : panels) {
        std::uint8_t v = (p >= 1 && p <= kArrowPanels) ? row[p] : 0;
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

void appendBars(std::string& out, const SongModel& m, int s, int l, int count,
                std::span<const int> panels) {
    for (int b = 1; b <= count; ++b) {
        switch (ChooseBarResolution(m, s, l, b)) {
        case BarResolution::Eighths:
            for (int r = 1; r <= kRows; r += 4)
                appendRow(out, m, s, l, b, r, panels);
            break;
        case BarResolution::Sixteenths:
            out += '(';
            for (int r = 1; r <= kRows; r += 2)
                appendRow(out, m, s, l, b, r, panels);
            out += ')';
            break;
        case BarResolution::ThirtySeconds:
            // DWI has no thirty-second bracket: each is two sixty-fourths.
            out += '{';
            for (int r = 1; r <= kRows; ++r) {
                appendRow(out, m, s, l, b, r, panels);
                out += '0';
            }
            out += '}';
            break;
        }
    }
}

} // namespace

void appendChartSteps(std::string& out, const SongModel& m, int s, int l) {
    if (!SongModel::validChart(s, l))
        return;
    int last = FindLastBar(m, s, l);
    int count = last < kBars ? last + 1 : kBars;
    if (s == Single || s == Solo) {
        appendBars(out, m, s, l, count, stylePanels(s));
    } else { // one half per pad, in the order their characters are written
        appendBars(out, m, s, l, count, kFirstPadPanels);
        out += ':';
        if (count < kBars)
            ++count;
        appendBars(out, m, s, l, count, kSecondPadPanels);
    }
}

QString EncodeChartSteps(const SongModel& model, int style, int level) {
    std::string out;
    appendChartSteps(out, model, style, level);
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

int FindLastBar(const SongModel& model, int style, int level) {
    if (!SongModel::validChart(style, level))
        return 0;
    // The last bar of the old grid holding an arrow or a tempo event.
    int last = 0;
    const ChartSlot slot = SongModel::slotOf(style, level);
    for (const Note& n : model.chart(slot).steps.notes())
        if (n.tick % kFinePerRow == 0 && n.panel <= kArrowPanels && barOfTick(n.tick) <= kBars)
            last = std::max(last, barOfTick(n.tick));
    for (const TempoCell& t : model.tempoCells(slot))
        if (SongModel::tempoEvent(t.value) && t.tick % kFinePerRow == 0 &&
            barOfTick(t.tick) <= kBars)
            last = std::max(last, barOfTick(t.tick));
    return last;
}

BarResolution ChooseBarResolution(const SongModel& model, int style, int level, int bar) {
    bool sixteenth = false;
    for (int r = 1; r <= kRows; ++r) {
        if (bar < 1 || bar > kMaxBars)
            return BarResolution::Eighths;
        if (SongModel::anyArrow(model.arrowRow(style, level, bar, r))) {
            if (r % 2 == 0)
                return BarResolution::ThirtySeconds;
            if (r % 4 == 3)
                sixteenth = true;
        }
    }
    return sixteenth ? BarResolution::Sixteenths : BarResolution::Eighths;
}

QString EncodeRow(const SongModel& model, int style, int level, int bar, int row,
                  std::span<const int> panels) {
    std::string out;
    appendRow(out, model, style, level, bar, row, panels);
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

} // namespace kolvo
