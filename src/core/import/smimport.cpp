// SM and SSC files: the same tag syntax (with backslash escapes), charts of
// measure lines with one character per panel, timing as beat=value lists.
#include "core/import/readers.h"
#include "core/import/songbuilder.h"
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <cmath>
#include <map>

namespace kolvo {

namespace {

// Style and panels (one per column) of a steps type; style 0 when the song
// cannot take it.
struct StepsType {
    int style = 0;
    std::span<const int> panels;
};

StepsType stepsTypeOf(const QByteArray& type) {
    for (int style : {Single, Double, Couple, Solo})
        if (type == smStepsType(style))
            return {style, stylePanels(style)};
    return {};
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

// Reads the measures of a chart's note text into units for the builder,
// with the simulators' rules for freezes: the end pairs with the nearest
// note before it when that is a freeze start, a note between start and end
// drops the freeze, and a start without an end disappears.
void readNotes(const QByteArray& data, const StepsType& type, const QString& chart,
               SongBuilder& builder, ChartNotes& out) {
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
        if (!kept && !lines.empty())
            out.droppedUpToBar = int(std::min<qsizetype>(measure + 1, 1 << 30));
        for (std::size_t l = 0; l < lines.size(); ++l) {
            // Past the kept bars only freeze ends matter (to end a freeze begun before).
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
        auto& units = out.panels[std::size_t(type.panels[std::size_t(t)])];
        for (const SmNote& n : notes[std::size_t(t)]) {
            if (n.keysound)
                builder.loss(chart, n.row, QStringLiteral("a keysound dropped"));
            switch (n.type) {
            case '1':
                units.push_back({NoteUnit::Tap, n.row, 0, 1});
                break;
            case '2':
            case '4':
                if (n.length < 0)
                    break; // never ended: the simulators drop it too
                if (n.type == '4')
                    builder.loss(chart, n.row, QStringLiteral("a roll became a freeze"));
                units.push_back({NoteUnit::Freeze, n.row, n.row + n.length, 1});
                break;
            case 'M':
                builder.loss(chart, n.row, QStringLiteral("a mine dropped"));
                break;
            case 'L':
                builder.loss(chart, n.row, QStringLiteral("a lift dropped"));
                break;
            case 'F':
                builder.loss(chart, n.row, QStringLiteral("a fake arrow dropped"));
                break;
            default:
                builder.loss(chart, n.row, QStringLiteral("a keysound-only note dropped"));
                break;
            }
        }
    }
}

// The timing of a song (or of one SSC chart), rows of 1/48 beat.
struct Timing {
    std::optional<double> offset;                      // seconds; nothing when not given
    std::vector<std::pair<float, double>> bpms, stops; // beat, value, in file order
    std::map<int, QByteArray> others[5];               // delays, warps, fakes, speeds, scrolls
    bool operator==(const Timing& o) const {
        if (offset.value_or(0) != o.offset.value_or(0) || bpms != o.bpms || stops != o.stops)
            return false;
        for (int i = 0; i < 5; ++i)
            if (others[i] != o.others[i])
                return false;
        return true;
    }
};

enum OtherTiming { Delays, Warps, Fakes, Speeds, Scrolls };

// "beat=value,beat=value": entries must be two numbers; blank pieces are skipped.
std::optional<ReadError> beatList(const MsdTags& tags, const MsdTag& tag,
                                  std::vector<std::pair<float, double>>& out) {
    for (const QByteArray& entry : listPieces(tags.param(tag, 1), ',')) {
        const QList<QByteArray> parts = listPieces(entry, '=');
        const auto beat = parts.size() == 2 ? leadingNumber(parts[0]) : std::nullopt;
        const auto value = parts.size() == 2 ? leadingNumber(parts[1]) : std::nullopt;
        if (!beat || !value)
            return ReadError{
                tags.paramLine(tag, 1),
                QStringLiteral("the #%1 entry %2 is not beat=value")
                    .arg(QString::fromLatin1(tagName(tags, tag)), quoted(entry.trimmed()))};
        out.emplace_back(float(*beat), *value);
    }
    return std::nullopt;
}

// Timing the song cannot hold: kept only to tell whether it does anything.
std::optional<ReadError> otherList(const MsdTags& tags, const MsdTag& tag, OtherTiming kind,
                                   Timing& timing) {
    for (const QByteArray& entry : listPieces(tags.param(tag, 1), ',')) {
        const QList<QByteArray> parts = listPieces(entry, '=');
        const auto beat = parts.isEmpty() ? std::nullopt : leadingNumber(parts[0]);
        const auto value = parts.size() >= 2 ? leadingNumber(parts[1]) : std::nullopt;
        if (!beat || !value)
            return ReadError{
                tags.paramLine(tag, 1),
                QStringLiteral("the #%1 entry %2 is not beat=value")
                    .arg(QString::fromLatin1(tagName(tags, tag)), quoted(entry.trimmed()))};
        const bool ratio = kind == Speeds || kind == Scrolls;
        if (ratio ? *value == 1 : *value <= 0)
            continue; // a speed or scroll of 1 and empty delays change nothing
        timing.others[kind][rowOfBeat(float(*beat))] = entry.trimmed();
    }
    return std::nullopt;
}

std::optional<ReadError> offsetOf(const MsdTags& tags, const MsdTag& tag, Timing& timing) {
    const QByteArray v = tags.param(tag, 1).trimmed();
    if (v.isEmpty()) {
        timing.offset.reset();
        return std::nullopt;
    }
    const auto n = leadingNumber(v);
    if (!n)
        return ReadError{tags.paramLine(tag, 1),
                         QStringLiteral("the #OFFSET value %1 is not a number").arg(quoted(v))};
    timing.offset = *n;
    return std::nullopt;
}

// Whether a tag is one of the timing tags; reads it into `timing` when so.
bool timingTag(const QByteArray& name, const MsdTags& tags, const MsdTag& tag, Timing& timing,
               std::optional<ReadError>& err) {
    if (name == "OFFSET")
        err = offsetOf(tags, tag, timing);
    else if (name == "BPMS")
        timing.bpms.clear(), err = beatList(tags, tag, timing.bpms);
    else if (name == "STOPS" || name == "FREEZES")
        timing.stops.clear(), err = beatList(tags, tag, timing.stops);
    else if (name == "DELAYS")
        err = otherList(tags, tag, Delays, timing);
    else if (name == "WARPS")
        err = otherList(tags, tag, Warps, timing);
    else if (name == "FAKES")
        err = otherList(tags, tag, Fakes, timing);
    else if (name == "SPEEDS")
        err = otherList(tags, tag, Speeds, timing);
    else if (name == "SCROLLS")
        err = otherList(tags, tag, Scrolls, timing);
    else
        return name == "TIMESIGNATURES" || name == "TICKCOUNTS" || name == "COMBOS" ||
               name == "LABELS";
    return true;
}

// Everything the two formats share outside the charts.
class SongReader {
  public:
    SongReader(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses)
        : m_in(in), m_song(song), m_decode(in.bytes), m_builder(song, losses), m_slots(m_builder) {}

    // A song-level tag; false when it is not one.
    bool songTag(const QByteArray& name, const MsdTag& tag, std::optional<ReadError>& err) {
        const MsdTags& tags = m_in.tags;
        auto text = [&] { return m_decode(tags.param(tag, 1)).trimmed(); };
        if (name == "TITLE")
            m_title = text();
        else if (name == "SUBTITLE")
            m_subtitle = text();
        else if (name == "ARTIST")
            m_song.setField(SummaryField::Artist, text());
        else if (name == "GENRE")
            m_song.setField(SummaryField::Genre, text());
        else if (name == "CDTITLE")
            m_song.setField(SummaryField::Text1, text());
        else if (name == "MUSIC") {
            m_song.setField(SummaryField::Filetag, text());
            m_song.setField(SummaryField::Musicadd, musicPath(m_in.path, text()));
        } else if (name == "SAMPLESTART" || name == "SAMPLELENGTH") {
            const QByteArray v = tags.param(tag, 1).trimmed();
            const SummaryField field =
                name == "SAMPLESTART" ? SummaryField::Samplestart : SummaryField::Samplelength;
            if (v.isEmpty()) {
                m_song.setField(field, QString());
            } else if (const auto n = leadingNumber(v)) {
                m_song.setField(field, fieldNumber(*n * 1000, 3));
            } else {
                err = ReadError{tags.paramLine(tag, 1),
                                QStringLiteral("the #%1 value %2 is not a number")
                                    .arg(QString::fromLatin1(name), quoted(v))};
            }
        } else if (name.startsWith("BGCHANGES") || name == "FGCHANGES" || name == "ANIMATIONS") {
            if (!tags.param(tag, 1).trimmed().isEmpty())
                m_backgrounds = true;
        } else if (name == "KEYSOUNDS") {
            if (!tags.param(tag, 1).trimmed().isEmpty())
                m_keysounds = true;
        } else if (name == "ATTACKS") {
            if (hasAttacks(tag))
                m_attacks = true;
        } else {
            return timingTag(name, tags, tag, m_timing, err);
        }
        return true;
    }

    bool hasAttacks(const MsdTag& tag) const {
        for (std::size_t i = 1; i < tag.params.size(); ++i)
            if (!m_in.tags.param(tag, i).trimmed().isEmpty())
                return true;
        return false;
    }

    // Takes a chart of the file: its style/level, or a loss saying why not.
    bool chart(const QByteArray& type, int level, const QString& difficultyText,
               std::optional<int> meter, const QByteArray& notes) {
        const QString what = m_decode(type) + u' ' + difficultyText;
        const StepsType st = stepsTypeOf(type);
        if (st.style == 0) {
            m_slots.skip(what, QStringLiteral("another game or style"));
            return false;
        }
        if (level == 0 || level == 5) {
            m_slots.skip(what, level == 0 ? QStringLiteral("the song has no Beginner charts")
                                          : QStringLiteral("the song has no Edit charts"));
            return false;
        }
        if (level < 0) {
            m_slots.skip(what, QStringLiteral("unknown difficulty"));
            return false;
        }
        if (!m_slots.take(st.style, level, what))
            return false;
        ChartNotes c;
        c.style = st.style;
        c.level = level;
        c.meter = meter;
        readNotes(notes, st, SongBuilder::chartName(st.style, level), m_builder, c);
        m_charts.push_back(std::move(c));
        return true;
    }

    void chartLoss(int style, int level, const QString& text) {
        m_builder.loss(SongBuilder::chartName(style, level), -1, text);
    }

    // After the last tag: the header, the tempo and the charts into the song.
    std::optional<ReadError> finish(bool sm) {
        if (!m_slots.any())
            return ReadError{0, m_slots.skipped().isEmpty()
                                    ? QStringLiteral("the file holds no chart")
                                    : QStringLiteral("the file holds no chart this song can take "
                                                     "(found: %1)")
                                          .arg(m_slots.skipped().join(QStringLiteral(", ")))};
        m_song.setField(SummaryField::Songname,
                        m_subtitle.isEmpty() ? m_title : (m_title + u' ' + m_subtitle).trimmed());
        placeTiming(sm);
        if (m_backgrounds)
            m_builder.songLoss(QStringLiteral("background changes dropped"));
        if (m_keysounds)
            m_builder.songLoss(QStringLiteral("keysound files dropped"));
        if (m_attacks)
            m_builder.songLoss(QStringLiteral("attacks dropped"));
        static const char* const others[] = {"delays", "warps", "fakes", "speed changes",
                                             "scroll changes"};
        for (int i = 0; i < 5; ++i)
            if (!m_timing.others[i].empty())
                m_builder.songLoss(QStringLiteral("%1 dropped").arg(QLatin1String(others[i])));
        for (const ChartNotes& c : m_charts) {
            m_builder.placeChart(c);
            m_builder.markHoldsOfGroups(c.style, c.level);
        }
        m_builder.closeList();
        return std::nullopt;
    }

    const Timing& timing() const { return m_timing; }

  private:
    // SM turns negative values into warps and reads stops before beat 0 as
    // a later start; SSC ignores both. The first BPM at beat 0 is the song's.
    void placeTiming(bool sm) {
        auto bpms = m_timing.bpms;
        auto stops = m_timing.stops;
        auto byBeat = [](const auto& a, const auto& b) { return a.first < b.first; };
        std::stable_sort(bpms.begin(), bpms.end(), byBeat);
        std::stable_sort(stops.begin(), stops.end(), byBeat);
        double offset = m_timing.offset.value_or(0);

        std::vector<TempoEvent> bpmEvents, stopEvents;
        std::optional<double> songBpm;
        for (const auto& [beat, value] : bpms) {
            if (value == 0)
                continue;
            const int row = rowOfBeat(beat);
            if (value < 0 || (!sm && beat < 0)) {
                m_builder.loss(QString(), row < 0 ? -1 : row,
                               value < 0 ? QStringLiteral("a negative BPM (a warp) dropped")
                                         : QStringLiteral("a BPM before the first beat dropped"));
                continue;
            }
            if (sm ? beat <= 0 : row == 0)
                songBpm = value; // the last one at or before beat 0
            else
                bpmEvents.push_back({row, value});
        }
        if (!songBpm && !bpmEvents.empty()) {
            songBpm = bpmEvents.front().value;
            bpmEvents.erase(bpmEvents.begin());
            m_builder.songLoss(
                QStringLiteral("the file sets no BPM at beat 0; the first one (%1) is used from "
                               "the start")
                    .arg(fieldNumber(*songBpm)));
        } else if (!songBpm) {
            songBpm = 60;
            m_builder.songLoss(QStringLiteral("the file sets no BPM; 60 is used"));
        }
        for (const auto& [beat, value] : stops) {
            if (value == 0)
                continue;
            const int row = rowOfBeat(beat);
            if (sm && beat < 0) {
                offset -= value; // a stop before the first beat only delays it
                continue;
            }
            if (value < 0 || beat < 0) {
                m_builder.loss(QString(), row < 0 ? -1 : row,
                               value < 0 ? QStringLiteral("a negative stop (a warp) dropped")
                                         : QStringLiteral("a stop before the first beat dropped"));
                continue;
            }
            stopEvents.push_back({row, value * 1000});
        }
        m_song.setField(SummaryField::Bpm, fieldNumber(*songBpm));
        m_song.setField(SummaryField::Gap, fieldNumber(-offset * 1000, 0));
        for (TempoEvent& e : stopEvents)
            e.value = std::round(e.value * 1000) / 1000; // to the microsecond
        m_builder.placeTempo(bpmEvents, stopEvents, true);
    }

    const ReadInput& m_in;
    SongModel& m_song;
    TextDecoder m_decode;
    SongBuilder m_builder;
    ChartSlots m_slots;
    Timing m_timing;
    std::vector<ChartNotes> m_charts;
    QString m_title, m_subtitle;
    bool m_backgrounds = false, m_keysounds = false, m_attacks = false;
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

} // namespace

std::optional<ReadError> readSm(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses) {
    SongReader reader(in, song, losses);
    const MsdTags& tags = in.tags;
    for (const MsdTag& tag : tags.tags) {
        const QByteArray name = tagName(tags, tag);
        std::optional<ReadError> err;
        if (name == "NOTES" || name == "NOTES2") {
            if (tag.count < 7)
                return ReadError{tag.line,
                                 QStringLiteral("the #NOTES tag has %1 of its 6 fields (type, "
                                                "description, difficulty, meter, radar values, "
                                                "notes)")
                                     .arg(tag.count - 1)};
            const QByteArray type = tags.param(tag, 1).trimmed();
            const QByteArray description = tags.param(tag, 2).trimmed();
            const QByteArray difficulty = tags.param(tag, 3).trimmed();
            int level = levelOfDifficulty(difficulty);
            const QByteArray d = description.toLower();
            if (level == 3 && (d == "smaniac" || d == "challenge"))
                level = 4;
            reader.chart(type, level, QString::fromUtf8(difficulty), meterOf(tags.param(tag, 4)),
                         tags.param(tag, 6).trimmed());
        } else {
            reader.songTag(name, tag, err);
        }
        if (err)
            return err;
    }
    return reader.finish(true);
}

std::optional<ReadError> readSsc(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses) {
    SongReader reader(in, song, losses);
    const MsdTags& tags = in.tags;
    double version = 0;
    bool inChart = false;
    int chartLine = 0;
    QByteArray type, difficulty, meter;
    bool ownTiming = false, attacks = false;
    Timing chartTiming;
    struct Own {
        int style, level;
        Timing timing;
    };
    std::vector<Own> ownTimings;

    for (const MsdTag& tag : tags.tags) {
        const QByteArray name = tagName(tags, tag);
        std::optional<ReadError> err;
        if (name == "VERSION") {
            const QByteArray v = tags.param(tag, 1).trimmed();
            const auto n = leadingNumber(v);
            if (!n)
                return ReadError{
                    tags.paramLine(tag, 1),
                    QStringLiteral("the #VERSION value %1 is not a number").arg(quoted(v))};
            version = *n;
        } else if (!inChart) {
            if (name == "NOTEDATA") {
                inChart = true;
                chartLine = tag.line;
                type.clear();
                difficulty.clear();
                meter.clear();
                ownTiming = attacks = false;
                chartTiming = Timing();
            } else {
                reader.songTag(name, tag, err);
            }
        } else if (name == "NOTEDATA") {
            return ReadError{tag.line, QStringLiteral("a chart begins before the chart begun at "
                                                      "line %1 has its #NOTES")
                                           .arg(chartLine)};
        } else if (name == "STEPSTYPE") {
            type = tags.param(tag, 1); // not trimmed: " dance-single" is another type
        } else if (name == "DIFFICULTY") {
            difficulty = tags.param(tag, 1);
        } else if (name == "METER") {
            meter = tags.param(tag, 1);
        } else if (name == "ATTACKS") {
            attacks = reader.hasAttacks(tag);
        } else if (name == "NOTES" || name == "NOTES2") {
            inChart = false;
            const int level = sscLevel(difficulty);
            const int taken = reader.chart(type, level, QString::fromUtf8(difficulty),
                                           meterOf(meter), tags.param(tag, 1));
            if (taken) {
                const int style = stepsTypeOf(type).style;
                if (attacks)
                    reader.chartLoss(style, level, QStringLiteral("attacks dropped"));
                if (ownTiming)
                    ownTimings.push_back({style, level, chartTiming});
            }
        } else if (timingTag(name, tags, tag, chartTiming, err)) {
            // Charts have their own timing only in files of version 0.7 and later.
            ownTiming = ownTiming || version >= 0.7;
        }
        if (err)
            return err;
    }
    if (inChart)
        return ReadError{chartLine, QStringLiteral("the chart begun here has no #NOTES; the file "
                                                   "looks cut short")};
    for (Own& own : ownTimings) {
        if (!own.timing.offset)
            own.timing.offset = reader.timing().offset;
        if (!(own.timing == reader.timing()))
            reader.chartLoss(own.style, own.level,
                             QStringLiteral("the chart's own timing differs from the song's and "
                                            "was dropped"));
    }
    return reader.finish(false);
}

} // namespace kolvo
