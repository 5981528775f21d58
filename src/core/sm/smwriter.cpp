#include "core/sm/smwriter.h"

#include "core/dwi/dwiencoder.h"
#include "core/dwi/dwiwriter.h"
#include "core/files/atomicwrite.h"
#include "core/formats/cannotcarry.h"
#include "core/sm/stepnotes.h"
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

const char* const kDifficulty[] = {"Beginner", "Easy", "Medium", "Hard", "Challenge", "Edit"};

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

bool isOneOf(const QByteArray& tag, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return tag == n; });
}

// Header tags the writer makes itself, never copied from the kept ones.
bool writtenHeaderTag(const QByteArray& tag) {
    return isOneOf(tag, {"VERSION", "TITLE", "SUBTITLE", "ARTIST", "GENRE", "CDTITLE", "MUSIC",
                         "OFFSET", "SAMPLESTART", "SAMPLELENGTH", "BPMS", "STOPS", "FREEZES",
                         "DELAYS", "WARPS", "NOTEDATA", "NOTES", "NOTES2"});
}

// Timing segments kept from a step file that the .sm file has a tag for.
bool smTimingTag(const QByteArray& tag) {
    return isOneOf(tag, {"TIMESIGNATURES", "TICKCOUNTS"});
}

// The last bar a chart's file needs: the last bar holding a note, or (for
// the chart that holds the song's tempo) a tempo event.
int lastBarOf(const SongModel& m, ChartSlot slot) {
    int last = m.chart(slot).steps.lastBar();
    for (const TempoCell& t : m.tempoCells(slot))
        if (SongModel::tempoEvent(t.value))
            last = std::max(last, barOfTick(t.tick));
    return last;
}

void appendChart(std::string& out, const SongModel& m, ChartSlot slot) {
    const Chart& c = m.chart(slot);
    out += "\r\n#NOTES:\r\n     ";
    out += c.dance() ? std::string(smStepsType(c.style)) : c.stepsType.toStdString();
    out += ":\r\n     ";
    out += trimmedBlanks(c.description).toStdString();
    out += ":\r\n     ";
    out += c.level >= 0 && c.level < int(std::size(kDifficulty)) ? kDifficulty[c.level] : "";
    out += ":\r\n     ";
    out += std::to_string(smMeterOfFootLevel(c.footlevels.toText()));
    out += ":\r\n     0,0,0,0,0:\r\n";
    // One bar past the last, and one more for a two-pad chart: the bars the
    // simulators read from the DWI export of the same chart, which stops at
    // bar 100 for a chart that ends there.
    const bool twoPads = c.style == Double || c.style == Couple;
    const int last = lastBarOf(m, slot);
    const int bars = std::min(last + 1 + (twoPads ? 1 : 0), last <= kBars ? kBars : kMaxBars);
    const std::vector<int> columns = chartColumns(c);
    appendMeasures(out, stepCells(c, columns), int(columns.size()), bars, "\r\n");
}

// BPM changes and stops of a timing: a change that is not above 0 is left
// out (the DWI reader drops it too), and a change at the first row replaces
// the starting BPM. Then its delays, time signatures and tick counts.
void appendTiming(std::string& out, const TimingData& t) {
    std::string bpms, stops;
    auto entry = [](std::string& list, Tick tick, double value, int shift) {
        if (!list.empty())
            list += ',';
        appendDecimal(list, double(tick) / kFineRowsPerBeat, 0);
        list += '=';
        appendDecimal(list, value, shift);
    };
    bool startsWithChange = false;
    for (const TimingEvent& e : t.bpms) {
        if (!(e.value > 0))
            continue;
        startsWithChange = startsWithChange || e.tick == 0;
        entry(bpms, e.tick, e.value, 0);
    }
    for (const TimingEvent& e : t.stops)
        entry(stops, e.tick, e.value, 3);
    out += "#BPMS:";
    if (!startsWithChange && t.bpm > 0) {
        appendDecimal(out, 0, 0);
        out += '=';
        appendDecimal(out, t.bpm, 0);
        if (!bpms.empty())
            out += ',';
    }
    out += bpms;
    out += ";\r\n#STOPS:";
    out += stops;
    out += ";\r\n";
    // Delays have a tag of their own; a song without them writes none.
    if (!t.delays.empty()) {
        std::string delays;
        for (const TimingEvent& e : t.delays)
            entry(delays, e.tick, e.value, 3);
        out += "#DELAYS:";
        out += delays;
        out += ";\r\n";
    }
    for (const auto& [tag, value] : t.kept)
        if (smTimingTag(tag)) {
            out += '#';
            out.append(tag.constData(), std::size_t(tag.size()));
            out += ':';
            out.append(value.constData(), std::size_t(value.size()));
            out += ";\r\n";
        }
}

// A .sm file has one timing for all its charts. When every chart written
// has a timing of its own and they are all the same, that one is written;
// otherwise the song's.
const TimingData* sharedChartTiming(const SongModel& m) {
    const TimingData* shared = nullptr;
    for (ChartSlot slot = 0; slot < m.chartSlots(); ++slot) {
        if (!m.usedSlot(slot) || !m.chart(slot).hasData())
            continue;
        const TimingData* own = m.chart(slot).timing.get();
        if (!own || (shared && !(*own == *shared)))
            return nullptr;
        shared = own;
    }
    return shared;
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
    out += "#SUBTITLE:";
    for (const auto& [tag, value] : m.keptHeader())
        if (tag == "SUBTITLE")
            out.append(value.constData(), std::size_t(value.size()));
    out += ";\r\n";
    appendTag(out, "#ARTIST:", m.artist());
    appendTag(out, "#GENRE:", m.genre());
    appendTag(out, "#CDTITLE:", m.cdTitle());
    appendTag(out, "#MUSIC:", m.filetag());
    for (const auto& [tag, value] : m.keptHeader())
        if (!writtenHeaderTag(tag)) {
            out += '#';
            out.append(tag.constData(), std::size_t(tag.size()));
            out += ':';
            out.append(value.constData(), std::size_t(value.size()));
            out += ";\r\n";
        }
    const TimingData* shared = sharedChartTiming(m);
    out += "#OFFSET:";
    out += smSecondsFromMs(shared ? -shared->offsetMs : -fieldNumber(m.gap()));
    out += ";\r\n";
    // The sample start field decides both sample lines, as in the DWI file.
    if (!m.samplestart().isEmpty()) {
        out += "#SAMPLESTART:";
        out += smSecondsFromMs(fieldNumber(m.samplestart()));
        out += ";\r\n#SAMPLELENGTH:";
        out += smSecondsFromMs(fieldNumber(m.samplelength()));
        out += ";\r\n";
    }
    appendTiming(out, shared ? *shared : m.songTiming());
    for (ChartSlot slot = 0; slot < m.chartSlots(); ++slot)
        if (m.usedSlot(slot) && m.chart(slot).hasData())
            appendChart(out, m, slot);
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

QStringList smCannotCarry(const SongModel& m) {
    CarryRules rules;
    const TimingData* shared = sharedChartTiming(m);
    rules.chartTiming = !shared;
    rules.timing = shared;
    rules.warps = true;
    rules.keptTimingTags = {"TIMESIGNATURES", "TICKCOUNTS"};
    rules.keptChartTags = true;
    rules.wholeMeter = true;
    QStringList lines = cannotCarryLines(m, rules);
    if (shared && !(m.songTiming() == *shared))
        lines.prepend(QStringLiteral("the song's own timing (every chart has the same timing of "
                                     "its own, which is written instead)"));
    return lines;
}

} // namespace kolvo
