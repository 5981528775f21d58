// SM and SSC files: the same tag syntax (with backslash escapes), charts of
// measure lines with one character per panel, timing as beat=value lists.
#include "core/import/readers.h"
#include "core/import/songbuilder.h"
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace kolvo {

namespace {

// Style and panels (one per column) of a steps type: a dance style's own
// panels, or for another game's chart its columns as panels 1..columns.
struct StepsType {
    int style = 0;
    int columns = 0;
    std::vector<int> panels;
};

// The most notes a line of the chart holds (keysound brackets not counted),
// for a steps type the simulators do not name.
int widestLine(const QByteArray& data) {
    int widest = 0, width = 0;
    bool bracket = false;
    for (const char c : data) {
        if (c == '\n' || c == ',') {
            widest = std::max(widest, width);
            width = 0;
            bracket = false;
        } else if (c == '[') {
            bracket = true;
        } else if (c == ']') {
            bracket = false;
        } else if (!bracket && c != ' ' && c != '\t' && c != '\r') {
            ++width;
        }
    }
    return std::max(widest, width);
}

StepsType stepsTypeOf(const QByteArray& type, const QByteArray& notes) {
    StepsType t;
    for (int style : {Single, Double, Couple, Solo})
        if (type == smStepsType(style)) {
            t.style = style;
            const auto panels = stylePanels(style);
            t.panels.assign(panels.begin(), panels.end());
            t.columns = int(t.panels.size());
            return t;
        }
    t.columns = columnsOfStepsType(type.trimmed());
    if (t.columns == 0)
        t.columns = widestLine(notes);
    t.columns = std::clamp(t.columns, 1, kMaxPanels);
    for (int c = 1; c <= t.columns; ++c)
        t.panels.push_back(c);
    return t;
}

float rowBeatFloat(qsizetype measure, qsizetype line, qsizetype lines) {
    const float into = float(line) / float(lines);
    return (float(measure) + into) * 4.0f;
}

int rowOfBeat(float beat) {
    return int(std::lrint(beat * float(kRowsPerBeat48)));
}

// One note of a panel while the chart is read.
struct SmNote {
    int row = 0;
    char type = '1'; // '1' tap, '2' freeze, '4' roll, 'M', 'L', 'F', 'K'
    bool keysound = false;
    int length = -1; // freezes and rolls: rows to the end; -1 while open
};

bool isHead(char t) {
    return t == '2' || t == '4';
}

// Reads the measures of a chart's note text into the chart's notes, with
// the simulators' rules for holds: the end pairs with the nearest note
// before it when that is a hold start, a note between start and end drops
// the hold (the note stays), and a start without an end disappears.
void readNotes(const QByteArray& text, const StepsType& type, SongBuilder& builder,
               ChartNotes& out) {
    const QString chart = out.name();
    // A routine chart holds two players' notes, the second after "&". A
    // chart of this program holds one player's: the second's are a loss.
    QByteArray data = text;
    if (out.stepsType.endsWith("-routine")) {
        if (const qsizetype amp = text.indexOf('&'); amp >= 0) {
            data.truncate(amp);
            int count = 0;
            bool bracket = false;
            for (const char ch : text.mid(amp + 1)) {
                bracket = ch == '[' || (bracket && ch != ']');
                count += !bracket && (ch == '1' || ch == '2' || ch == '4' || ch == 'M' ||
                                      ch == 'L' || ch == 'F');
            }
            if (count > 0)
                builder.loss(chart, -1,
                             QStringLiteral("the second player's notes dropped (%1): a chart "
                                            "holds one player's notes")
                                 .arg(count));
        }
    }
    const int tracks = int(type.panels.size());
    std::vector<std::vector<SmNote>> notes(static_cast<std::size_t>(tracks) + 0);
    const char* const base = data.constData();
    const qsizetype size = data.size();
    qsizetype measure = 0;
    std::vector<std::pair<const char*, const char*>> lines;
    for (qsizetype start = 0; start < size;) {
        qsizetype stop = data.indexOf(',', start);
        if (stop < 0)
            stop = size;
        if (stop == start) { // ",," is one separator
            start = stop + 1;
            continue;
        }
        lines.clear();
        for (qsizetype ls = start; ls < stop;) {
            qsizetype le = ls;
            while (le < stop && base[le] != '\n')
                ++le;
            const char* b = base + ls;
            const char* e = base + le;
            while (b < e && (*b == '\r' || *b == '\n' || *b == '\t' || *b == ' '))
                ++b;
            while (e > b && (e[-1] == '\r' || e[-1] == '\n' || e[-1] == '\t' || e[-1] == ' '))
                --e;
            if (b < e)
                lines.emplace_back(b, e);
            ls = le + 1;
        }
        const bool kept = measure * kRowsPerBar48 < kKeptRows48;
        if (measure >= kMaxBars && !lines.empty())
            out.droppedUpToBar = int(std::min<qsizetype>(measure + 1, 1 << 30));
        for (std::size_t l = 0; l < lines.size(); ++l) {
            // Past the kept bars only hold ends matter (to end a hold begun before).
            const int row =
                kept ? rowOfBeat(rowBeatFloat(measure, qsizetype(l), qsizetype(lines.size())))
                     : kKeptRows48;
            const char* p = lines[l].first;
            const char* const end = lines[l].second;
            for (int t = 0; t < tracks && p < end; ++t) {
                const char ch = *p++;
                bool keysound = false;
                if (p < end && *p == '[') {
                    keysound = true;
                    while (p < end && *p++ != ']') {
                    }
                }
                auto& track = notes[std::size_t(t)];
                if (ch == '3') {
                    for (auto it = track.rbegin(); it != track.rend(); ++it) {
                        if (it->row >= row || it->type == 'K')
                            continue;
                        if (isHead(it->type) && (it->length < 0 || it->row + it->length >= row))
                            it->length = row - it->row;
                        break;
                    }
                    continue;
                }
                if (ch != '1' && ch != '2' && ch != '4' && ch != 'M' && ch != 'L' && ch != 'F' &&
                    ch != 'K')
                    continue;
                if (!kept)
                    continue;
                SmNote n{row, ch, keysound, -1};
                if (!track.empty() && track.back().row == row)
                    track.back() = n;
                else
                    track.push_back(n);
            }
        }
        ++measure;
        start = stop + 1;
    }

    for (int t = 0; t < tracks; ++t) {
        const auto panel = std::uint8_t(type.panels[std::size_t(t)]);
        for (const SmNote& n : notes[std::size_t(t)]) {
            if (n.keysound)
                builder.loss(chart, n.row, QStringLiteral("a keysound dropped"));
            auto put = [&](int row, NoteKind kind) {
                if (row > kLastTick)
                    out.droppedUpToBar = std::max(out.droppedUpToBar, row / kRowsPerBar48 + 1);
                else
                    out.notes.push_back({Tick(row), panel, kind});
            };
            switch (n.type) {
            case '1':
                put(n.row, NoteKind::Arrow);
                break;
            case '2':
            case '4':
                if (n.length < 0) {
                    // never ended: the simulators drop it too
                    builder.loss(chart, n.row,
                                 n.type == '2' ? QStringLiteral("a freeze with no end dropped")
                                               : QStringLiteral("a roll with no end dropped"));
                    break;
                }
                if (n.row + n.length > kLastTick) {
                    builder.loss(
                        chart, n.row,
                        QStringLiteral("a freeze ending past bar %1 dropped").arg(kMaxBars));
                    break;
                }
                put(n.row, n.type == '2' ? NoteKind::FreezeStart : NoteKind::RollStart);
                put(n.row + n.length, NoteKind::Arrow);
                break;
            case 'M':
                put(n.row, NoteKind::Mine);
                break;
            case 'L':
                put(n.row, NoteKind::Lift);
                break;
            case 'F':
                put(n.row, NoteKind::Fake);
                break;
            default:
                builder.loss(chart, n.row, QStringLiteral("a keysound-only note dropped"));
                break;
            }
        }
    }
}

// The timing of a song (or of one SSC chart) as the file writes it.
struct Timing {
    std::optional<double> offset;                      // seconds; nothing when not given
    std::vector<std::pair<float, double>> bpms, stops; // beat, value, in file order
    std::vector<std::pair<float, double>> delays, warps;
    KeptTags kept; // speeds, scrolls, tick counts, ... as read
    bool any = false;
};

// "beat=value,beat=value": an entry that is not two numbers is a loss.
void beatList(const MsdTags& tags, const MsdTag& tag, SongBuilder& builder, const QString& who,
              std::vector<std::pair<float, double>>& out) {
    for (const QByteArray& entry : listPieces(tags.param(tag, 1), ',')) {
        const QList<QByteArray> parts = listPieces(entry, '=');
        const auto beat = parts.size() == 2 ? leadingNumber(parts[0]) : std::nullopt;
        const auto value = parts.size() == 2 ? leadingNumber(parts[1]) : std::nullopt;
        if (!beat || !value) {
            builder.loss(who, -1,
                         QStringLiteral("the #%1 entry %2 (line %3) is not beat=value; it was "
                                        "left out")
                             .arg(QString::fromLatin1(tagName(tags, tag)), quoted(entry.trimmed()))
                             .arg(tags.paramLine(tag, 1)));
            continue;
        }
        out.emplace_back(float(std::clamp(*beat, -1e9, 1e9)), *value);
    }
}

// Whether a tag is one of the timing tags; reads it into `timing` when so.
bool timingTag(const QByteArray& name, const MsdTags& tags, const MsdTag& tag, Timing& timing,
               SongBuilder& builder, const QString& who) {
    if (name == "OFFSET") {
        const QByteArray v = tags.param(tag, 1).trimmed();
        if (v.isEmpty()) {
            timing.offset.reset();
        } else if (const auto n = leadingNumber(v)) {
            timing.offset = *n;
        } else {
            builder.loss(who, -1,
                         QStringLiteral("the #OFFSET value %1 is not a number; it was left out")
                             .arg(quoted(v)));
        }
    } else if (name == "BPMS") {
        timing.bpms.clear();
        beatList(tags, tag, builder, who, timing.bpms);
    } else if (name == "STOPS" || name == "FREEZES") {
        timing.stops.clear();
        beatList(tags, tag, builder, who, timing.stops);
    } else if (name == "DELAYS") {
        timing.delays.clear();
        beatList(tags, tag, builder, who, timing.delays);
    } else if (name == "WARPS") {
        timing.warps.clear();
        beatList(tags, tag, builder, who, timing.warps);
    } else if (name == "SPEEDS" || name == "SCROLLS" || name == "FAKES" ||
               name == "TIMESIGNATURES" || name == "TICKCOUNTS" || name == "COMBOS" ||
               name == "LABELS") {
        timing.kept.append({name, tagValue(tags, tag)});
    } else {
        return false;
    }
    timing.any = true;
    return true;
}

// The BPM in force at a beat of sorted changes (the first one before any).
double bpmAt(const std::vector<std::pair<float, double>>& bpms, float beat) {
    double bpm = bpms.empty() ? 60 : bpms.front().second;
    for (const auto& [b, v] : bpms)
        if (b <= beat && v > 0)
            bpm = v;
    return bpm;
}

// A file's timing in the song's terms. SM turns negative BPMs and stops into
// warps and reads stops before beat 0 as a later start; SSC ignores both.
// A timing that sets no BPM runs at 60.
TimingData timingData(const Timing& t, bool sm, SongBuilder& builder, const QString& who) {
    TimingData td;
    double offset = t.offset.value_or(0);
    auto byBeat = [](const auto& a, const auto& b) { return a.first < b.first; };

    std::vector<std::pair<float, double>> bpms;
    std::vector<std::pair<float, double>> warps; // beat, beats skipped
    bool negative = false;                       // a negative BPM waits for the next one
    float negBeat = 0;
    double negBpm = 0;
    for (const auto& [beat, value] : t.bpms) {
        if (value == 0)
            continue;
        if (value < 0) {
            if (!sm) {
                builder.loss(who, std::max(rowOfBeat(beat), -1),
                             QStringLiteral("a negative BPM dropped"));
                continue;
            }
            negative = true;
            negBeat = beat;
            negBpm = value;
            continue;
        }
        if (negative) {
            // The simulators skip what the negative tempo would play backwards.
            const float endBeat = beat + float(value / -negBpm) * (beat - negBeat);
            if (endBeat > negBeat)
                warps.emplace_back(negBeat, double(endBeat - negBeat));
            negative = false;
        }
        bpms.emplace_back(beat, value);
    }
    std::stable_sort(bpms.begin(), bpms.end(), byBeat);

    std::optional<double> startBpm;
    for (const auto& [beat, value] : bpms) {
        const int row = rowOfBeat(beat);
        if (!sm && beat < 0) {
            builder.loss(who, -1, QStringLiteral("a BPM before the first beat dropped"));
            continue;
        }
        if (sm ? beat <= 0 : row == 0)
            startBpm = value; // the last one at or before beat 0
        else
            td.bpms.push_back({Tick(std::min(row, kLastTick + 1)), value});
    }
    if (!startBpm && !td.bpms.empty()) {
        startBpm = td.bpms.front().value;
        td.bpms.erase(td.bpms.begin());
        builder.loss(who, -1,
                     QStringLiteral("the file sets no BPM at beat 0; the first one (%1) is used "
                                    "from the start")
                         .arg(fieldNumber(*startBpm)));
    }
    td.bpm = startBpm.value_or(60);

    auto stops = t.stops;
    std::stable_sort(stops.begin(), stops.end(), byBeat);
    std::optional<std::pair<float, double>> negStop;
    auto warpOfStop = [&](float nextBeat) {
        if (!negStop)
            return;
        double skip = negStop->second * bpmAt(bpms, negStop->first) / 60;
        skip = std::min(skip, double(nextBeat - negStop->first));
        if (skip > 0)
            warps.emplace_back(negStop->first, skip);
        negStop.reset();
    };
    for (const auto& [beat, value] : stops) {
        if (value == 0)
            continue;
        const int row = rowOfBeat(beat);
        warpOfStop(beat);
        if (sm && beat < 0) {
            offset -= value; // a stop before the first beat only delays it
            continue;
        }
        if (value < 0 && sm) {
            negStop = {beat, -value};
            continue;
        }
        if (value < 0 || beat < 0) {
            builder.loss(who, row < 0 ? -1 : row,
                         value < 0 ? QStringLiteral("a negative stop dropped")
                                   : QStringLiteral("a stop before the first beat dropped"));
            continue;
        }
        td.stops.push_back({Tick(std::min(row, kLastTick + 1)),
                            std::round(value * 1e6) / 1000}); // ms, to the microsecond
    }
    warpOfStop(std::numeric_limits<float>::max());

    for (const auto& [beat, value] : t.delays) {
        if (value == 0)
            continue;
        if (beat < 0 || value < 0) {
            builder.loss(who, -1,
                         QStringLiteral("a delay before the first beat or below 0 dropped"));
            continue;
        }
        td.delays.push_back(
            {Tick(std::min(rowOfBeat(beat), kLastTick + 1)), std::round(value * 1e6) / 1000});
    }
    for (const auto& [beat, value] : t.warps)
        warps.emplace_back(beat, value);
    std::stable_sort(warps.begin(), warps.end(), byBeat);
    for (const auto& [beat, value] : warps) {
        if (value <= 0)
            continue;
        if (beat < 0) {
            builder.loss(who, -1, QStringLiteral("a warp before the first beat dropped"));
            continue;
        }
        td.warps.push_back({Tick(std::min(rowOfBeat(beat), kLastTick + 1)), value});
    }
    for (auto* events : {&td.bpms, &td.stops, &td.delays, &td.warps}) {
        const auto past = std::find_if(events->begin(), events->end(),
                                       [](const TimingEvent& e) { return e.tick > kLastTick; });
        if (past != events->end()) {
            builder.loss(who, -1,
                         QStringLiteral("timing events past bar %1 dropped").arg(kMaxBars));
            events->erase(past, events->end());
        }
    }
    td.offsetMs = -offset * 1000;
    td.kept = t.kept;
    return td;
}

// Header tags the song has a field for are read into it; every other one is
// kept as read.
class SongReader {
  public:
    SongReader(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses)
        : m_in(in), m_song(song), m_decode(in.bytes), m_builder(song, losses) {}

    SongBuilder& builder() { return m_builder; }
    const TextDecoder& decode() const { return m_decode; }

    // A song-level tag.
    void songTag(const QByteArray& name, const MsdTag& tag) {
        const MsdTags& tags = m_in.tags;
        auto text = [&] { return m_decode(tags.param(tag, 1)).trimmed(); };
        if (name == "TITLE")
            m_song.setField(SummaryField::SongName, text());
        else if (name == "ARTIST")
            m_song.setField(SummaryField::Artist, text());
        else if (name == "GENRE")
            m_song.setField(SummaryField::Genre, text());
        else if (name == "CDTITLE")
            m_song.setField(SummaryField::CdTitle, text());
        else if (name == "MUSIC") {
            m_song.setField(SummaryField::FileTag, text());
            m_song.setField(SummaryField::MusicFile, musicPath(m_in.path, text()));
        } else if (name == "SAMPLESTART" || name == "SAMPLELENGTH") {
            const QByteArray v = tags.param(tag, 1).trimmed();
            const SummaryField field =
                name == "SAMPLESTART" ? SummaryField::SampleStart : SummaryField::SampleLength;
            if (v.isEmpty()) {
                m_song.setField(field, QString());
            } else if (const auto n = leadingNumber(v)) {
                m_song.setField(field, fieldNumber(*n * 1000, 3));
            } else {
                m_builder.songLoss(QStringLiteral("the #%1 value %2 is not a number; it was left "
                                                  "out")
                                       .arg(QString::fromLatin1(name), quoted(v)));
            }
        } else if (!timingTag(name, tags, tag, m_timing, m_builder, QString()) && !name.isEmpty() &&
                   name != "VERSION") {
            m_kept.append({name, tagValue(tags, tag)});
        }
    }

    void addChart(ChartNotes&& c) { m_charts.push_back(std::move(c)); }

    // After the last tag: the header, the timing and the charts into the song.
    std::optional<ReadError> finish(bool sm) {
        if (m_charts.empty())
            return ReadError{0, QStringLiteral("the file holds no chart")};
        m_song.setKeptHeader(m_kept);
        TimingData td = timingData(m_timing, sm, m_builder, QString());
        if (std::none_of(m_timing.bpms.begin(), m_timing.bpms.end(),
                         [](const auto& e) { return e.second > 0; }))
            m_builder.songLoss(QStringLiteral("the file sets no BPM; 60 is used"));
        m_song.setField(SummaryField::Bpm, fieldNumber(td.bpm));
        m_song.setField(SummaryField::Gap,
                        fieldNumber(td.offsetMs, 6)); // offsets are often finer than 1 ms
        std::vector<TempoEvent> bpms, stops;
        for (const TimingEvent& e : td.bpms)
            bpms.push_back({int(e.tick), e.value});
        for (const TimingEvent& e : td.stops)
            stops.push_back({int(e.tick), e.value});
        m_builder.placeTempo(bpms, stops, false);
        TimingData extras;
        extras.delays = std::move(td.delays);
        extras.warps = std::move(td.warps);
        extras.kept = std::move(td.kept);
        m_song.setSongTimingExtras(extras);
        for (ChartNotes& c : m_charts)
            m_builder.placeChart(std::move(c));
        m_builder.closeList();
        return std::nullopt;
    }

    const Timing& timing() const { return m_timing; }

  private:
    const ReadInput& m_in;
    SongModel& m_song;
    TextDecoder m_decode;
    SongBuilder m_builder;
    Timing m_timing;
    KeptTags m_kept;
    std::vector<ChartNotes> m_charts;
};

std::optional<int> meterOf(const QByteArray& text) {
    if (text.trimmed().isEmpty())
        return std::nullopt;
    return leadingInt(text).value_or(0);
}

// The SSC difficulty names (any case, nothing else).
int sscLevel(const QByteArray& name) {
    static const char* const names[] = {"beginner", "easy", "medium", "hard", "challenge", "edit"};
    const QByteArray n = name.toLower();
    for (int i = 0; i < 6; ++i)
        if (n == names[i])
            return i;
    return -1;
}

// A chart's style, columns and level; a difficulty the simulators do not
// know plays as an edit named by it.
ChartNotes chartOf(const StepsType& st, const QByteArray& type, int level,
                   const QString& description, const QString& difficulty) {
    ChartNotes c;
    c.style = st.style;
    c.stepsType = st.style ? QByteArray() : type;
    c.columns = st.style ? 0 : st.columns;
    c.level = level;
    c.description = description;
    if (level < 0) {
        c.level = Edit;
        if (c.description.isEmpty())
            c.description = difficulty;
    }
    return c;
}

} // namespace

std::optional<ReadError> readSm(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses) {
    SongReader reader(in, song, losses);
    const MsdTags& tags = in.tags;
    for (const MsdTag& tag : tags.tags) {
        const QByteArray name = tagName(tags, tag);
        if (name == "NOTES" || name == "NOTES2") {
            if (tag.count < 7) {
                reader.builder().songLoss(
                    QStringLiteral("the #NOTES tag at line %1 has %2 of its 6 fields (type, "
                                   "description, difficulty, meter, radar values, notes); the "
                                   "chart was dropped")
                        .arg(tag.line)
                        .arg(tag.count - 1));
                continue;
            }
            const QByteArray type = tags.param(tag, 1).trimmed();
            const QByteArray description = tags.param(tag, 2).trimmed();
            const QByteArray difficulty = tags.param(tag, 3).trimmed();
            int level = levelOfDifficulty(difficulty);
            const QByteArray d = description.toLower();
            if (level == 3 && (d == "smaniac" || d == "challenge"))
                level = 4;
            const QByteArray notes = tags.param(tag, 6).trimmed();
            const StepsType st = stepsTypeOf(type, notes);
            ChartNotes c =
                chartOf(st, type, level, reader.decode()(description), reader.decode()(difficulty));
            c.meter = meterOf(tags.param(tag, 4));
            const QByteArray radar = tags.param(tag, 5).trimmed();
            if (!radar.isEmpty())
                c.kept.append({"RADARVALUES", radar});
            readNotes(notes, st, reader.builder(), c);
            reader.addChart(std::move(c));
        } else {
            reader.songTag(name, tag);
        }
    }
    return reader.finish(true);
}

std::optional<ReadError> readSsc(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses) {
    SongReader reader(in, song, losses);
    SongBuilder& builder = reader.builder();
    const MsdTags& tags = in.tags;
    double version = 0;
    bool inChart = false;
    int chartLine = 0;
    QByteArray type, difficulty, meter, description;
    KeptTags kept;
    Timing chartTiming;

    auto dropOpen = [&] {
        builder.songLoss(QStringLiteral("the chart begun at line %1 has no #NOTES; it was dropped")
                             .arg(chartLine));
    };
    for (const MsdTag& tag : tags.tags) {
        const QByteArray name = tagName(tags, tag);
        if (name == "VERSION") {
            const QByteArray v = tags.param(tag, 1).trimmed();
            if (const auto n = leadingNumber(v))
                version = *n;
            else
                builder.songLoss(QStringLiteral("the #VERSION value %1 is not a number; it was "
                                                "left out")
                                     .arg(quoted(v)));
        } else if (name == "NOTEDATA") {
            if (inChart)
                dropOpen();
            inChart = true;
            chartLine = tag.line;
            type.clear();
            difficulty.clear();
            meter.clear();
            description.clear();
            kept.clear();
            chartTiming = Timing();
        } else if (!inChart) {
            reader.songTag(name, tag);
        } else if (name == "STEPSTYPE") {
            type = tags.param(tag, 1); // not trimmed: " dance-single" is another type
        } else if (name == "DIFFICULTY") {
            difficulty = tags.param(tag, 1);
        } else if (name == "METER") {
            meter = tags.param(tag, 1);
        } else if (name == "DESCRIPTION") {
            description = tags.param(tag, 1);
        } else if (name == "NOTES" || name == "NOTES2") {
            inChart = false;
            const QByteArray notes = tags.param(tag, 1);
            const StepsType st = stepsTypeOf(type, notes);
            ChartNotes c = chartOf(st, type, sscLevel(difficulty), reader.decode()(description),
                                   reader.decode()(difficulty));
            c.meter = meterOf(meter);
            c.kept = kept;
            // Charts have their own timing only in files of version 0.7 and later.
            if (chartTiming.any && version < 0.7)
                builder.loss(c.name(), -1,
                             QStringLiteral("the chart's timing tags, which files before version "
                                            "0.7 do not use, dropped"));
            if (chartTiming.any && version >= 0.7) {
                if (!chartTiming.offset)
                    chartTiming.offset = reader.timing().offset;
                c.timing = std::make_shared<const TimingData>(
                    timingData(chartTiming, false, builder, c.name()));
            }
            readNotes(notes, st, builder, c);
            reader.addChart(std::move(c));
        } else if (!timingTag(name, tags, tag, chartTiming, builder, QString()) &&
                   !name.isEmpty()) {
            kept.append({name, tagValue(tags, tag)});
        }
    }
    if (inChart)
        dropOpen();
    return reader.finish(false);
}

} // namespace kolvo
