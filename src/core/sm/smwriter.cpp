#include "core/sm/smwriter.h"

#include "core/dwi/dwiencoder.h"
#include "core/dwi/dwiwriter.h"
#include "core/files/atomicwrite.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace kolvo {

namespace {

// The most columns a style has (Double and Couple: both pads).
constexpr int kMaxColumns = int(std::size(kTwoPadPanels));

const char* const kDifficulty[] = {"", "Easy", "Medium", "Hard", "Challenge"};

void appendTag(std::string& out, const char* tag, const QString& value) {
    out += tag;
    out += trimmedBlanks(value).toStdString(); // UTF-8
    out += ";\r\n";
}

// The number a header field holds, read the way the program reads every
// number a user types.
double fieldNumber(const QString& text) {
    return numericValue(trimmedBlanks(text));
}

// value / 10^shift in plain decimal with at least three decimals.
void appendDecimal(std::string& out, double value, int shift) {
    if (!std::isfinite(value) || value == 0.0) {
        out += "0.000";
        return;
    }
    // Shortest digits that read back as the same double, without exponent.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string_view s(buf, std::size_t(res.ptr - buf));
    if (s.front() == '-') {
        out += '-';
        s.remove_prefix(1);
    }
    const std::size_t dot = s.find('.');
    const std::string_view whole = s.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? "" : s.substr(dot + 1);
    std::string digits;
    digits.reserve(whole.size() + fraction.size() + std::size_t(shift) + 1);
    int point = int(whole.size()) - shift;
    if (point < 1) {
        digits.append(std::size_t(1 - point), '0');
        point = 1;
    }
    digits += whole;
    digits += fraction;
    std::size_t begin = 0;
    while (begin + 1 < std::size_t(point) && digits[begin] == '0')
        ++begin;
    std::size_t end = digits.size();
    while (end > std::size_t(point) + 3 && digits[end - 1] == '0')
        --end;
    out.append(digits, begin, std::size_t(point) - begin);
    out += '.';
    out.append(digits, std::size_t(point), end - std::size_t(point));
    out.append(std::size_t(point) + 3 - std::min(end, std::size_t(point) + 3), '0');
}

// One chart laid out as the simulators read it from the DWI export:
// '0' nothing, '1' arrow, '2' hold start, '3' hold end; one row of eight
// cells per thirty-second of every bar the DWI export writes.
class ChartNotes {
  public:
    ChartNotes(const SongModel& m, int style, int level) : m_columns(stylePanels(style)) {
        int count = FindLastBar(m, style, level);
        count = count < kBars ? count + 1 : kBars;
        const bool twoPads = style == Double || style == Couple;
        // The second pad's half runs one bar longer.
        m_bars = twoPads && count < kBars ? count + 1 : count;
        m_cells.assign(std::size_t(m_bars * kRows * kMaxColumns), '0');
        const int width = int(m_columns.size());
        // Rows in order: a hold ends on the next note of its column, whatever
        // that note was; a hold with nothing after it is dropped.
        int openHold[kMaxColumns];
        std::fill(std::begin(openHold), std::end(openHold), -1);
        for (int b = 1; b <= m_bars; ++b)
            for (int r = 1; r <= kRows; ++r) {
                const int index = (b - 1) * kRows + (r - 1);
                const std::array<std::uint8_t, 11> arrows = m.arrowRow(style, level, b, r);
                char* cells = &m_cells[std::size_t(index * kMaxColumns)];
                if (twoPads) {
                    placeHalf(arrows.data(), cells, 0, 4);
                    placeHalf(arrows.data(), cells, 4, 8);
                } else {
                    placeHalf(arrows.data(), cells, 0, width);
                }
                if (!rowUsed(index))
                    continue;
                for (int c = 0; c < width; ++c) {
                    if (cells[c] == '0')
                        continue;
                    if (openHold[c] >= 0) {
                        cells[c] = '3';
                        openHold[c] = -1;
                    } else if (cells[c] == '2') {
                        openHold[c] = index;
                    }
                }
            }
        for (int c = 0; c < width; ++c)
            if (openHold[c] >= 0)
                m_cells[std::size_t(openHold[c] * kMaxColumns + c)] = '0';
    }

    int bars() const { return m_bars; }
    int columns() const { return int(m_columns.size()); }
    const char* row(int index) const { return &m_cells[std::size_t(index * kMaxColumns)]; }
    bool rowUsed(int index) const {
        std::uint64_t cells;
        std::memcpy(&cells, row(index), sizeof cells);
        return cells != kEmptyRow;
    }

  private:
    static constexpr std::uint64_t kEmptyRow = 0x3030303030303030; // eight '0'

    // The columns [first, last) of one row make one half of a DWI chart. A
    // row of one or two arrows keeps every freeze; in a group of three or
    // more, a simulator takes the first freeze mark, reads the next one's
    // "!" as nothing and its arrow as a plain arrow, and so on: the first,
    // third, ... freeze of the group start holds.
    void placeHalf(const std::uint8_t* arrows, char* cells, int first, int last) const {
        int struck = 0;
        for (int c = first; c < last; ++c)
            struck += arrows[m_columns[std::size_t(c)]] > 0;
        if (struck == 0)
            return;
        int freezes = 0;
        for (int c = first; c < last; ++c) {
            const std::uint8_t v = arrows[m_columns[std::size_t(c)]];
            if (v == 0)
                continue;
            bool holdStart = false;
            if (v == StepFreezeStart) {
                holdStart = struck < 3 || freezes % 2 == 0;
                ++freezes;
            }
            cells[c] = holdStart ? '2' : '1';
        }
    }

    std::span<const int> m_columns;
    int m_bars = 0;
    std::vector<char> m_cells;
};

// Thirty-seconds between the lines of a bar: the fewest lines of 4, 8, 16
// or 32 that hold every row the bar uses.
int lineStep(const ChartNotes& notes, int bar) {
    int offsets = 0; // every row's place within its eighth of the bar
    for (int r = 0; r < kRows; ++r)
        if (notes.rowUsed(bar * kRows + r))
            offsets |= r % 8;
    return offsets == 0 ? 8 : offsets & -offsets;
}

void appendChart(std::string& out, const SongModel& m, int s, int l) {
    out += "\r\n#NOTES:\r\n     ";
    out += smStepsType(s);
    out += ":\r\n     :\r\n     ";
    out += kDifficulty[l];
    out += ":\r\n     ";
    out += std::to_string(smMeterOfFootLevel(m.footlevels(s, l).toText()));
    out += ":\r\n     0,0,0,0,0:\r\n";
    const ChartNotes notes(m, s, l);
    const std::size_t width = std::size_t(notes.columns());
    for (int b = 0; b < notes.bars(); ++b) {
        const int step = lineStep(notes, b);
        // The bar's lines and the separator after it, written in place.
        std::size_t at = out.size();
        out.resize(at + std::size_t(kRows / step) * (width + 2) + 3);
        char* p = out.data() + at;
        for (int r = 0; r < kRows; r += step) {
            // A row is eight cells: copy all eight (a single move) and keep
            // `width` of them; the rest is overwritten next, and the last
            // line with its line end and the separator takes eight bytes or
            // more, so nothing is written past the bar.
            std::memcpy(p, notes.row(b * kRows + r), kMaxColumns);
            p += width;
            *p++ = '\r';
            *p++ = '\n';
        }
        std::memcpy(p, b + 1 < notes.bars() ? ",\r\n" : ";\r\n", 3);
    }
}

void appendBpms(std::string& out, const SongModel& m) {
    // The DWI reader drops a tempo that is not above 0, and a change on
    // beat 0 replaces the song's BPM.
    out += "#BPMS:";
    bool first = true;
    auto entry = [&](int beat, double bpm) {
        if (!(bpm > 0))
            return;
        if (!first)
            out += ',';
        first = false;
        appendDecimal(out, beat, 0);
        out += '=';
        appendDecimal(out, bpm, 0);
    };
    if (!m.cellSet(Single, Basic, 1, 1, BPMCHANNEL) ||
        !(m.tempo(Single, Basic, 1, 1, BPMCHANNEL) > 0))
        entry(0, fieldNumber(m.bpm()));
    for (int b = 1; b <= kBars; ++b)
        for (int beat = 1; beat <= 4; ++beat)
            if (m.cellSet(Single, Basic, b, beat, BPMCHANNEL))
                entry(TempoEventPosition(b, beat) / 4, m.tempo(Single, Basic, b, beat, BPMCHANNEL));
    out += ";\r\n";
}

void appendStops(std::string& out, const SongModel& m) {
    out += "#STOPS:";
    bool first = true;
    for (int b = 1; b <= kBars; ++b)
        for (int beat = 1; beat <= 4; ++beat) {
            if (!m.cellSet(Single, Basic, b, beat, FREEZECHANNEL))
                continue;
            if (!first)
                out += ',';
            first = false;
            appendDecimal(out, TempoEventPosition(b, beat) / 4, 0);
            out += '=';
            appendDecimal(out, m.tempo(Single, Basic, b, beat, FREEZECHANNEL), 3);
        }
    out += ";\r\n";
}

} // namespace

std::string smDecimal(double value) {
    std::string s;
    appendDecimal(s, value, 0);
    return s;
}

std::string smSecondsFromMs(double ms) {
    std::string s;
    appendDecimal(s, ms, 3);
    return s;
}

int smMeterOfFootLevel(const QString& footLevel) {
    const QByteArray t = footLevel.toUtf8();
    const char* p = t.constData();
    const char* e = p + t.size();
    while (p < e && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    if (p < e && *p == '+')
        ++p; // from_chars takes no plus sign
    int meter = 0;
    const auto res = std::from_chars(p, e, meter);
    if (res.ec != std::errc() || meter < 1)
        return 1;
    return meter;
}

QByteArray encodeSmFile(const SongModel& m) {
    std::string out;
    out.reserve(4096);
    appendTag(out, "#TITLE:", m.songname());
    out += "#SUBTITLE:;\r\n";
    appendTag(out, "#ARTIST:", m.artist());
    appendTag(out, "#GENRE:", m.genre());
    appendTag(out, "#CDTITLE:", m.Text1());
    appendTag(out, "#MUSIC:", m.filetag());
    out += "#OFFSET:";
    out += smSecondsFromMs(-fieldNumber(m.gap()));
    out += ";\r\n";
    // The sample start field decides both sample lines, as in the DWI file.
    if (!m.samplestart().isEmpty()) {
        out += "#SAMPLESTART:";
        out += smSecondsFromMs(fieldNumber(m.samplestart()));
        out += ";\r\n#SAMPLELENGTH:";
        out += smSecondsFromMs(fieldNumber(m.samplelength()));
        out += ";\r\n";
    }
    appendBpms(out, m);
    appendStops(out, m);
    // Room for every chart's bars at their finest, so the text is not
    // copied as it grows.
    int charts = 0;
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l)
            charts += m.hasData(s, l);
    out.reserve(out.size() + std::size_t(charts) * (256 + kBars * kRows * (kMaxColumns + 2)));
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l)
            if (m.hasData(s, l))
                appendChart(out, m, s, l);
    return QByteArray(out.data(), qsizetype(out.size()));
}

std::optional<FileError> writeSmFile(const SongModel& model, const QString& path) {
    if (auto why = writeFileAtomically(path, encodeSmFile(model)))
        return FileError{path, 0, *why};
    return std::nullopt;
}

const char* smStepsType(int style) {
    static const char* const names[] = {"", "dance-single", "dance-double", "dance-couple",
                                        "dance-solo"};
    return ChartId{style, Basic}.valid() ? names[style] : "";
}

} // namespace kolvo
