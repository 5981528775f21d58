// DWI files: header tags, #CHANGEBPM/#FREEZE lists in quarter beats and
// milliseconds, and charts written one character per note with brackets
// that change the note length.
#include "core/import/readers.h"
#include "core/import/songbuilder.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <algorithm>
#include <cmath>

namespace kolvo {

namespace {

// The arrows of the first pad as the DWI note characters name them.
enum Arrow : std::uint8_t { NoArrow, Left, UpLeft, Down, Up, UpRight, Right };

struct CharArrows {
    Arrow a = NoArrow, b = NoArrow;
};

CharArrows arrowsOf(char c) {
    switch (c) {
    case '1':
        return {Down, Left};
    case '2':
        return {Down};
    case '3':
        return {Down, Right};
    case '4':
        return {Left};
    case '6':
        return {Right};
    case '7':
        return {Up, Left};
    case '8':
        return {Up};
    case '9':
        return {Up, Right};
    case 'A':
        return {Up, Down};
    case 'B':
        return {Left, Right};
    case 'C':
        return {UpLeft};
    case 'D':
        return {UpRight};
    case 'E':
        return {Left, UpLeft};
    case 'F':
        return {UpLeft, Down};
    case 'G':
        return {UpLeft, Up};
    case 'H':
        return {UpLeft, Right};
    case 'I':
        return {Left, UpRight};
    case 'J':
        return {Down, UpRight};
    case 'K':
        return {Up, UpRight};
    case 'L':
        return {UpRight, Right};
    case 'M':
        return {UpLeft, UpRight};
    default:
        return {}; // "0", "5" and anything unknown are rests
    }
}

// Panel of an arrow on pad 0 or 1; 0 for up-left/up-right on the second pad.
int panelOf(Arrow a, int pad) {
    static const int first[] = {0,       PanelLeft,    PanelUpLeft, PanelDown,
                                PanelUp, PanelUpRight, PanelRight};
    static const int second[] = {0, PanelLeft2, 0, PanelDown2, PanelUp2, 0, PanelRight2};
    return pad == 0 ? first[a] : second[a];
}

// A "<" that is followed by a "0" before any ">" opens 192nds instead of a
// group (an old way of writing them).
bool opens192nds(const QByteArray& data, qsizetype pos) {
    for (; pos < data.size(); ++pos) {
        if (data[pos] == '>')
            return false;
        if (data[pos] == '0')
            return true;
    }
    return false;
}

class ChartReader {
  public:
    ChartReader(SongBuilder& builder, int style, const QString& chart)
        : m_builder(builder), m_style(style), m_chart(chart) {}

    void readPad(QByteArray data, int pad) {
        data.replace('\n', QByteArray()).replace('\r', QByteArray());
        data.replace('\t', QByteArray()).replace(' ', QByteArray());
        int row = 0;
        int step = 24; // rows of 1/48 beat per note: 8ths
        const qsizetype n = data.size();
        for (qsizetype i = 0; i < n;) {
            char c = data[i++];
            switch (c) {
            case '(':
                step = 12;
                continue;
            case '[':
                step = 8;
                continue;
            case '{':
                step = 3;
                continue;
            case '`':
                step = 1;
                continue;
            case ')':
            case ']':
            case '}':
            case '\'':
            case '>':
                step = 24;
                continue;
            case '!':
                continue; // a stray freeze mark
            default:
                break;
            }
            bool group = false;
            if (c == '<') {
                if (opens192nds(data, i)) {
                    step = 1;
                    continue;
                }
                group = true;
            } else {
                --i;
            }
            do {
                c = data[i++];
                if (group && c == '>')
                    break;
                if (c == '!') {
                    // Only inside a group: another freeze start, written
                    // after the arrows as this program's export writes them.
                    if (i < n)
                        mark(data[i++], pad, row, true);
                    continue;
                }
                mark(c, pad, row, false);
                if (i >= n)
                    break;
                if (data[i] == '!') {
                    ++i;
                    mark(i < n ? data[i++] : '\0', pad, row, true);
                }
            } while (group && i < n);
            if (row < kRowCeiling)
                row += step;
        }
    }

    // The chart's notes: a freeze start lasts to the next note of its panel,
    // as the simulators pair them.
    void finish(ChartNotes& out) {
        out.droppedUpToBar = m_droppedUpTo;
        for (int p = 1; p <= kArrowPanels; ++p)
            for (const Mark& m : m_marks[std::size_t(p)])
                out.notes.push_back({Tick(m.row), std::uint8_t(p),
                                     m.head ? NoteKind::FreezeStart : NoteKind::Arrow});
    }

  private:
    void mark(char c, int pad, int row, bool head) {
        const CharArrows arrows = arrowsOf(c);
        for (Arrow a : {arrows.a, arrows.b}) {
            if (a == NoArrow)
                continue;
            const int panel = panelOf(a, pad);
            if (panel == 0 || !styleUsesPanel(m_style, panel)) {
                m_builder.loss(
                    m_chart, row,
                    QStringLiteral("an arrow on a panel a %1 chart does not have dropped")
                        .arg(styleName(m_style)));
                continue;
            }
            if (row > kLastTick) {
                m_droppedUpTo = std::max(m_droppedUpTo, row / kRowsPerBar48 + 1);
                continue;
            }
            auto& marks = m_marks[std::size_t(panel)];
            if (!marks.empty() && marks.back().row == row)
                marks.back().head = head; // the later mark of a row wins
            else
                marks.push_back({row, head});
        }
    }

    struct Mark {
        int row;
        bool head;
    };
    SongBuilder& m_builder;
    int m_style;
    QString m_chart;
    std::array<std::vector<Mark>, 11> m_marks;
    int m_droppedUpTo = 0;
    static constexpr int kRowCeiling = 1 << 30;
};

// A header number: empty stays empty, anything else must start with a number.
std::optional<ReadError> headerNumber(const MsdTags& tags, const MsdTag& tag, SongModel& song,
                                      SummaryField field) {
    const QByteArray v = tags.param(tag, 1).trimmed();
    if (v.isEmpty()) {
        song.setField(field, QString());
        return std::nullopt;
    }
    const auto n = leadingNumber(v);
    if (!n)
        return ReadError{tags.paramLine(tag, 1),
                         QStringLiteral("the #%1 value %2 is not a number")
                             .arg(QString::fromLatin1(tagName(tags, tag)), quoted(v))};
    song.setField(field, fieldNumber(*n));
    return std::nullopt;
}

// Sample start and length: milliseconds, or minutes and seconds ("1:23.5").
std::optional<ReadError> sampleTime(const MsdTags& tags, const MsdTag& tag, SongModel& song,
                                    SummaryField field) {
    if (tag.count <= 2 || tags.param(tag, 2).trimmed().isEmpty())
        return headerNumber(tags, tag, song, field);
    double seconds = 0;
    for (std::size_t i = 1; i < tag.count && i <= 3; ++i) {
        const QByteArray part = tags.param(tag, i).trimmed();
        const auto n = leadingNumber(part);
        if (!n)
            return ReadError{tags.paramLine(tag, i),
                             QStringLiteral("the #%1 value %2 is not a time")
                                 .arg(QString::fromLatin1(tagName(tags, tag)), quoted(part))};
        seconds = seconds * 60 + *n;
    }
    song.setField(field, fieldNumber(seconds * 1000, 3));
    return std::nullopt;
}

// "#CHANGEBPM:0=150,36=75;" and "#FREEZE:16=500;": quarter beats = value.
void tempoList(const MsdTags& tags, const MsdTag& tag, bool bpm, std::vector<TempoEvent>& out,
               SongBuilder& builder) {
    const QString name = QString::fromLatin1(tagName(tags, tag));
    for (const QByteArray& entry : listPieces(tags.param(tag, 1), ',')) {
        const QList<QByteArray> parts = listPieces(entry, '=');
        const auto at = parts.size() == 2 ? leadingNumber(parts[0]) : std::nullopt;
        const auto value = parts.size() == 2 ? leadingNumber(parts[1]) : std::nullopt;
        if (!at || !value) {
            builder.songLoss(
                QStringLiteral("the #%1 entry %2 is not position=value; it was left out")
                    .arg(name, quoted(entry.trimmed())));
            continue;
        }
        const float beat = float(std::clamp(*at / 4.0, -1.0, double(kMaxBars) * 4 + 4));
        const int row = int(std::lrint(beat * float(kRowsPerBeat48)));
        if (*value <= 0) {
            builder.loss(QString(), row < 0 ? -1 : row,
                         QStringLiteral("%1 of %2 ignored: not above 0")
                             .arg(bpm ? QStringLiteral("a BPM change") : QStringLiteral("a stop"),
                                  fieldNumber(*value)));
            continue;
        }
        out.push_back({row, *value});
    }
}

} // namespace

std::optional<ReadError> readDwi(const ReadInput& in, SongModel& song, QList<ImportLoss>& losses) {
    const MsdTags& tags = in.tags;
    const TextDecoder decode(in.bytes);
    SongBuilder builder(song, losses);
    std::vector<TempoEvent> bpms, stops;
    std::vector<ChartNotes> charts;
    KeptTags kept;
    bool hasBpm = false;

    for (const MsdTag& tag : tags.tags) {
        const QByteArray name = tagName(tags, tag);
        auto text = [&] { return decode(tags.param(tag, 1)).trimmed(); };
        std::optional<ReadError> err;
        if (name == "FILE") {
            song.setField(SummaryField::FileTag, text());
            song.setField(SummaryField::MusicFile, musicPath(in.path, text()));
        } else if (name == "TITLE") {
            song.setField(SummaryField::SongName, text());
        } else if (name == "ARTIST") {
            song.setField(SummaryField::Artist, text());
        } else if (name == "GENRE") {
            song.setField(SummaryField::Genre, text());
        } else if (name == "CDTITLE") {
            song.setField(SummaryField::CdTitle, text());
        } else if (name == "BPM") {
            err = headerNumber(tags, tag, song, SummaryField::Bpm);
            hasBpm = !err;
        } else if (name == "GAP") {
            err = headerNumber(tags, tag, song, SummaryField::Gap);
        } else if (name == "SAMPLESTART") {
            err = sampleTime(tags, tag, song, SummaryField::SampleStart);
        } else if (name == "SAMPLELENGTH") {
            err = sampleTime(tags, tag, song, SummaryField::SampleLength);
        } else if (name == "STATUS") {
            const QByteArray v = tags.param(tag, 1).trimmed().toUpper();
            if (v == "NEW")
                song.setMarkAsNew(1);
            else if (v == "NORMAL")
                song.setMarkAsNew(0);
            else
                kept.append({name, tagValue(tags, tag)});
        } else if (name == "CHANGEBPM" || name == "BPMCHANGE") {
            tempoList(tags, tag, true, bpms, builder);
        } else if (name == "FREEZE") {
            tempoList(tags, tag, false, stops, builder);
        } else if (name == "SINGLE" || name == "DOUBLE" || name == "COUPLE" || name == "SOLO") {
            const int style = name == "SINGLE"   ? Single
                              : name == "DOUBLE" ? Double
                              : name == "COUPLE" ? Couple
                                                 : Solo;
            if (tag.count < 4) {
                builder.songLoss(QStringLiteral("a #%1 chart with no steps (line %2) dropped")
                                     .arg(QString::fromLatin1(name))
                                     .arg(tag.line));
                continue;
            }
            const QByteArray difficulty = tags.param(tag, 1).trimmed();
            ChartNotes chart;
            chart.style = style;
            chart.level = levelOfDifficulty(difficulty);
            if (chart.level < 0) {
                // The simulators play a chart of an unknown difficulty as an edit.
                chart.level = Edit;
                chart.description = decode(difficulty);
            }
            if (!tags.param(tag, 2).trimmed().isEmpty())
                chart.meter = leadingInt(tags.param(tag, 2)).value_or(1);
            ChartReader reader(builder, style, chart.name());
            reader.readPad(tags.param(tag, 3), 0);
            if (tag.count == 5)
                reader.readPad(tags.param(tag, 4), 1);
            reader.finish(chart);
            charts.push_back(std::move(chart));
        } else if (!name.isEmpty()) {
            kept.append({name, tagValue(tags, tag)});
        }
        if (err)
            builder.songLoss(err->reason +
                             QStringLiteral(" (line %1); it was left out").arg(err->line));
    }

    if (charts.empty())
        return ReadError{0, QStringLiteral("the file holds no chart")};
    if (!hasBpm) {
        // The simulators play a song that names no tempo at 60 BPM.
        song.setField(SummaryField::Bpm, QStringLiteral("60"));
        builder.songLoss(QStringLiteral("the file sets no BPM; 60 is used"));
    }
    song.setKeptHeader(kept);
    for (ChartNotes& c : charts)
        builder.placeChart(std::move(c));
    builder.placeTempo(bpms, stops, false);
    builder.closeList();
    return std::nullopt;
}

} // namespace kolvo
