#include "core/ssc/sscwriter.h"

#include "core/dwi/dwiwriter.h"
#include "core/formats/cannotcarry.h"
#include "core/sm/smwriter.h"
#include "core/sm/stepnotes.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"

#include <algorithm>
#include <string>

namespace kolvo {

namespace {

constexpr std::string_view kEol = "\r\n";

void appendTag(std::string& out, std::string_view tag, std::string_view value) {
    out += '#';
    out += tag;
    out += ':';
    out += value;
    out += ';';
    out += kEol;
}

void appendTag(std::string& out, std::string_view tag, const QString& value) {
    appendTag(out, tag, std::string_view(value.toStdString()));
}

bool isOneOf(const QByteArray& tag, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return tag == n; });
}

// A tick as the beat the simulators count from the first row (48 to a beat).
std::string beatOf(Tick t) {
    return smDecimal(double(t) / kFineRowsPerBeat);
}

// "beat=value,..." of the events; `value` turns an event's value into text.
template <typename F> std::string eventList(const std::vector<TimingEvent>& events, F value) {
    std::string s;
    for (const TimingEvent& e : events) {
        if (!s.empty())
            s += ',';
        s += beatOf(e.tick);
        s += '=';
        s += value(e.value);
    }
    return s;
}

void appendListTag(std::string& out, std::string_view tag, const std::string& list) {
    // An empty list is left out: the simulator's reader fails on "#STOPS:;".
    if (!list.empty())
        appendTag(out, tag, list);
}

// Offset, tempo, stops, delays, warps and the kept segments of a timing.
void appendTiming(std::string& out, const TimingData& t) {
    appendTag(out, "OFFSET", smSecondsFromMs(-t.offsetMs));
    // A change at the first row sets the starting tempo itself.
    std::vector<TimingEvent> bpms;
    const bool startsWithChange = !t.bpms.empty() && t.bpms.front().tick == 0;
    if (!startsWithChange)
        bpms.push_back({0, t.bpm});
    bpms.insert(bpms.end(), t.bpms.begin(), t.bpms.end());
    std::erase_if(bpms, [](const TimingEvent& e) { return !(e.value > 0); });
    appendListTag(out, "BPMS", eventList(bpms, smDecimal));
    appendListTag(out, "STOPS", eventList(t.stops, smSecondsFromMs));
    appendListTag(out, "DELAYS", eventList(t.delays, smSecondsFromMs));
    appendListTag(out, "WARPS", eventList(t.warps, smDecimal));
    for (const auto& [tag, value] : t.kept)
        appendTag(out, std::string_view(tag.constData(), std::size_t(tag.size())),
                  std::string_view(value.constData(), std::size_t(value.size())));
}

// Tags of a step file the writer makes itself, never copied from kept ones.
bool writtenHeaderTag(const QByteArray& tag) {
    return isOneOf(tag, {"VERSION", "TITLE", "ARTIST", "GENRE", "CDTITLE", "MUSIC", "OFFSET",
                         "SAMPLESTART", "SAMPLELENGTH", "BPMS", "STOPS", "DELAYS", "WARPS",
                         "NOTEDATA", "NOTES"});
}
bool writtenChartTag(const QByteArray& tag) {
    return isOneOf(tag, {"NOTEDATA", "STEPSTYPE", "DESCRIPTION", "DIFFICULTY", "METER", "OFFSET",
                         "BPMS", "STOPS", "DELAYS", "WARPS", "NOTES"});
}

void appendChart(std::string& out, const Chart& c) {
    out += kEol;
    appendTag(out, "NOTEDATA", std::string_view());
    const std::string type =
        c.dance() ? std::string(smStepsType(c.style)) : c.stepsType.toStdString();
    appendTag(out, "STEPSTYPE", type);
    appendTag(out, "DESCRIPTION", c.description);
    appendTag(out, "DIFFICULTY", std::string_view(sscDifficulty(c.level)));
    appendTag(out, "METER", std::to_string(smMeterOfFootLevel(c.footlevels.toText())));
    for (const auto& [tag, value] : c.kept)
        if (!writtenChartTag(tag))
            appendTag(out, std::string_view(tag.constData(), std::size_t(tag.size())),
                      std::string_view(value.constData(), std::size_t(value.size())));
    if (c.timing)
        appendTiming(out, *c.timing);
    out += "#NOTES:";
    out += kEol;
    const std::vector<int> columns = chartColumns(c);
    const std::vector<StepCell> cells = stepCells(c, columns);
    const int bars = cells.empty() ? 1 : barOfTick(cells.back().tick);
    appendMeasures(out, cells, int(columns.size()), bars, kEol);
}

} // namespace

const char* sscDifficulty(int level) {
    static const char* const names[] = {"Beginner", "Easy", "Medium", "Hard", "Challenge", "Edit"};
    return level >= 0 && level < int(std::size(names)) ? names[level] : "";
}

QByteArray encodeSscFile(const SongModel& m) {
    std::string out;
    out.reserve(4096);
    appendTag(out, "VERSION", std::string_view("0.83"));
    appendTag(out, "TITLE", m.songname());
    for (const auto& [tag, value] : m.keptHeader())
        if (tag == "SUBTITLE")
            appendTag(out, "SUBTITLE",
                      std::string_view(value.constData(), std::size_t(value.size())));
    appendTag(out, "ARTIST", m.artist());
    appendTag(out, "GENRE", m.genre());
    appendTag(out, "CDTITLE", m.cdTitle());
    appendTag(out, "MUSIC", m.filetag());
    for (const auto& [tag, value] : m.keptHeader())
        if (!writtenHeaderTag(tag) && tag != "SUBTITLE")
            appendTag(out, std::string_view(tag.constData(), std::size_t(tag.size())),
                      std::string_view(value.constData(), std::size_t(value.size())));
    // The sample start field decides both sample tags, as in the other exports.
    if (!m.samplestart().isEmpty()) {
        appendTag(out, "SAMPLESTART",
                  smSecondsFromMs(numericValue(trimmedBlanks(m.samplestart()))));
        appendTag(out, "SAMPLELENGTH",
                  smSecondsFromMs(numericValue(trimmedBlanks(m.samplelength()))));
    }
    appendTiming(out, m.songTiming());
    for (ChartSlot s = 0; s < m.chartSlots(); ++s)
        if (m.usedSlot(s) && m.chart(s).hasData())
            appendChart(out, m.chart(s));
    return QByteArray(out.data(), qsizetype(out.size()));
}

QStringList sscCannotCarry(const SongModel& m) {
    CarryRules rules;
    rules.anyKeptTiming = true;
    rules.wholeMeter = true;
    return cannotCarryLines(m, rules);
}

} // namespace kolvo
