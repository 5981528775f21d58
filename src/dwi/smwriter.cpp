#include "smwriter.h"

#include "dwiencoder.h"
#include "dwiwriter.h"
#include "files/atomicwrite.h"
#include "model/numbertext.h"
#include "model/songmodel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <span>
#include <string_view>
#include <vector>

namespace kolvo {

namespace {

// Columns of each style in the order the simulators number them, and the
// halves the DWI file splits them into (Double and Couple: one per pad).
constexpr int kSingleColumns[] = {1, 3, 4, 6};
constexpr int kPadColumns[] = {1, 3, 4, 6, 7, 8, 9, 10};
constexpr int kSoloColumns[] = {1, 2, 3, 4, 5, 6};
constexpr int kMaxColumns = 8;
constexpr int kMaxRows = kBars * kRows;

std::span<const int> columnsOf(int style) {
    switch (style) {
    case Single:
        return kSingleColumns;
    case Solo:
        return kSoloColumns;
    default:
        return kPadColumns;
    }
}

const char* const kStepsType[] = {"", "dance-single", "dance-double", "dance-couple", "dance-solo"};
const char* const kDifficulty[] = {"", "Easy", "Medium", "Hard", "Challenge"};

QString trimmedBlanks(const QString& t) {
    qsizetype b = 0, e = t.size();
    while (b < e && t[b] == u' ')
        ++b;
    while (e > b && t[e - 1] == u' ')
        --e;
    return t.mid(b, e - b);
}

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
// '0' nothing, '1' arrow, '2' hold start, '3' hold end; one row per
// thirty-second of every bar the DWI export writes.
class ChartNotes {
  public:
    ChartNotes(const SongModel& m, int style, int level) : m_columns(columnsOf(style)) {
        int count = FindLastBar(m, style, level);
        count = count < kBars ? count + 1 : kBars;
        const bool twoPads = style == Double || style == Couple;
        // The second pad's half runs one bar longer.
        m_bars = twoPads && count < kBars ? count + 1 : count;
        m_cells.assign(std::size_t(m_bars * kRows * kMaxColumns), '0');
        if (twoPads) {
            placeArrows(m, style, level, 0, 4);
            placeArrows(m, style, level, 4, 8);
        } else {
            placeArrows(m, style, level, 0, int(m_columns.size()));
        }
        for (int c = 0; c < int(m_columns.size()); ++c)
            closeHolds(c);
    }

    int bars() const { return m_bars; }
    int columns() const { return int(m_columns.size()); }
    const char* row(int index) const { return &m_cells[std::size_t(index * kMaxColumns)]; }

  private:
    char& cell(int row, int column) { return m_cells[std::size_t(row * kMaxColumns + column)]; }

    // The columns [first, last) make one half of a DWI chart. A row of one
    // or two arrows keeps every freeze; in a group of three or more, a
    // simulator takes the first freeze mark, reads the next one's "!" as
    // nothing and its arrow as a plain arrow, and so on: the first, third,
    // ... freeze of the group start holds.
    void placeArrows(const SongModel& m, int s, int l, int first, int last) {
        for (int b = 1; b <= m_bars; ++b)
            for (int r = 1; r <= kRows; ++r) {
                const std::uint8_t* arrows = m.arrowRow(s, l, b, r);
                int struck = 0;
                for (int c = first; c < last; ++c)
                    struck += arrows[m_columns[std::size_t(c)]] > 0;
                if (struck == 0)
                    continue;
                const int index = (b - 1) * kRows + (r - 1);
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
                    cell(index, c) = holdStart ? '2' : '1';
                }
            }
    }

    // A hold ends on the next note of its column, whatever that note was;
    // a hold with nothing after it is dropped.
    void closeHolds(int c) {
        const int rows = m_bars * kRows;
        for (int r = 0; r < rows; ++r) {
            if (cell(r, c) != '2')
                continue;
            int end = r + 1;
            while (end < rows && cell(end, c) == '0')
                ++end;
            if (end == rows) {
                cell(r, c) = '0';
                return;
            }
            cell(end, c) = '3';
            r = end;
        }
    }

    std::span<const int> m_columns;
    int m_bars = 0;
    std::vector<char> m_cells;
};

// Lines per bar: the fewest of 4, 8, 16, 32 that hold every row it uses.
int linesForBar(const ChartNotes& notes, int bar) {
    int step = kRows / 4; // thirty-seconds between lines
    for (int r = 0; r < kRows && step > 1; ++r) {
        const char* cells = notes.row(bar * kRows + r);
        bool used = false;
        for (int c = 0; c < notes.columns(); ++c)
            used |= cells[c] != '0';
        while (used && r % step != 0)
            step /= 2;
    }
    return kRows / step;
}

void appendChart(std::string& out, const SongModel& m, int s, int l) {
    out += "\r\n#NOTES:\r\n     ";
    out += kStepsType[s];
    out += ":\r\n     :\r\n     ";
    out += kDifficulty[l];
    out += ":\r\n     ";
    out += std::to_string(smMeterOfFootLevel(m.footlevels(s, l).toText()));
    out += ":\r\n     0,0,0,0,0:\r\n";
    const ChartNotes notes(m, s, l);
    const int width = notes.columns();
    for (int b = 0; b < notes.bars(); ++b) {
        if (b > 0)
            out += ",\r\n";
        const int step = kRows / linesForBar(notes, b);
        for (int r = 0; r < kRows; r += step) {
            out.append(notes.row(b * kRows + r), std::size_t(width));
            out += "\r\n";
        }
    }
    out += ";\r\n";
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

} // namespace kolvo
