#include "core/files/kolvoextended.h"

#include "core/files/filenumber.h"
#include "core/files/textcodec.h"
#include "core/song/songmodel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace kolvo {

// Layout, one record to a line (CR LF), fields split by commas. A text is
// written between double quotes, a double quote inside it doubled; a number
// bare; a value never assigned as an empty field.
//
//   "KOLVO-EXT","1","","","","","needs a newer version of Kolvo"
//   field,"songname","..."          one per summary field
//   check1,2
//   header,"SUBTITLE","..."         header tags kept from a step file
//   songdelay,TICK,MS / songwarp,TICK,BEATS / songkept,"TAG","VALUE"
//   chart,STYLE,LEVEL,"TYPE",COLUMNS,"DESCRIPTION",FOOTLEVEL,DATAEXISTS
//     timing,OFFSETMS,BPM           the chart's own timing, then its
//     bpm|stop|delay|warp,TICK,VALUE  events and timingkept,"TAG","VALUE"
//     kept,"TAG","VALUE"            tags of the chart kept from a step file
//     tempo,TICK,CHANNEL,VALUE      tempo cells (Single Basic: the song's)
//     offbeat,TICK,CHANNEL,VALUE    tempo cells off the beats, kept from old files
//     n,TICK,PANEL,KIND             notes
//   end
//
// A tick counts rows of 1/192 bar from the first row of bar 1.

namespace {

const char kFirstLine[] =
    "\"KOLVO-EXT\",\"1\",\"\",\"\",\"\",\"\",\"needs a newer version of Kolvo\"";

void appendText(QByteArray& out, const QString& text) {
    out.append('"');
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

void appendBytesText(QByteArray& out, const QByteArray& bytes) {
    appendText(out, QString::fromUtf8(bytes));
}

void appendValue(QByteArray& out, const Value& v) {
    if (v.isNumber())
        appendFileNumber(out, v.asNumber());
    else if (v.isText())
        appendText(out, v.asText());
}

void appendInt(QByteArray& out, long long v) {
    char buf[24];
    char* e = buf + sizeof buf;
    const bool negative = v < 0;
    unsigned long long u =
        negative ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    do {
        *--e = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (negative)
        *--e = '-';
    out.append(e, buf + sizeof buf - e);
}

void appendEvents(QByteArray& out, const char* tag, const std::vector<TimingEvent>& events) {
    for (const TimingEvent& e : events) {
        out.append(tag).append(',');
        appendInt(out, e.tick);
        out.append(',');
        appendFileNumber(out, e.value);
        out.append("\r\n");
    }
}

void appendKept(QByteArray& out, const char* tag, const KeptTags& kept) {
    for (const auto& [name, value] : kept) {
        out.append(tag).append(',');
        appendBytesText(out, name);
        out.append(',');
        appendBytesText(out, value);
        out.append("\r\n");
    }
}

void appendChart(QByteArray& out, const Chart& c) {
    out.append("chart,");
    appendInt(out, c.style);
    out.append(',');
    appendInt(out, c.level);
    out.append(',');
    appendBytesText(out, c.stepsType);
    out.append(',');
    appendInt(out, c.columns);
    out.append(',');
    appendText(out, c.description);
    out.append(',');
    appendValue(out, c.footlevels);
    out.append(',');
    appendValue(out, c.dataexists);
    out.append("\r\n");
    if (c.timing) {
        out.append("timing,");
        appendFileNumber(out, c.timing->offsetMs);
        out.append(',');
        appendFileNumber(out, c.timing->bpm);
        out.append("\r\n");
        appendEvents(out, "bpm", c.timing->bpms);
        appendEvents(out, "stop", c.timing->stops);
        appendEvents(out, "delay", c.timing->delays);
        appendEvents(out, "warp", c.timing->warps);
        appendKept(out, "timingkept", c.timing->kept);
    }
    appendKept(out, "kept", c.kept);
    for (const TempoCell& t : c.offBeatTempo) {
        out.append("offbeat,");
        appendInt(out, t.tick);
        out.append(',');
        appendInt(out, t.channel);
        out.append(',');
        appendFileNumber(out, t.value);
        out.append("\r\n");
    }
    for (const TempoCell& t : c.tempo) {
        out.append("tempo,");
        appendInt(out, t.tick);
        out.append(',');
        appendInt(out, t.channel);
        out.append(',');
        appendFileNumber(out, t.value);
        out.append("\r\n");
    }
    // Notes are most of a file: written without a detour through QByteArray::append.
    const std::span<const Note> notes = c.steps.notes();
    const qsizetype used = out.size();
    out.resize(used + qsizetype(notes.size()) * 22);
    char* w = out.data() + used;
    for (const Note& n : notes) {
        *w++ = 'n';
        *w++ = ',';
        char buf[12];
        char* e = buf + sizeof buf;
        unsigned t = unsigned(n.tick);
        do {
            *--e = char('0' + t % 10);
            t /= 10;
        } while (t);
        std::memcpy(w, e, std::size_t(buf + sizeof buf - e));
        w += buf + sizeof buf - e;
        *w++ = ',';
        if (n.panel >= 10)
            *w++ = char('0' + n.panel / 10);
        *w++ = char('0' + n.panel % 10);
        *w++ = ',';
        *w++ = char('0' + int(n.kind));
        *w++ = '\r';
        *w++ = '\n';
    }
    out.resize(w - out.data());
}

// ------------------------------------------------------------ reading

struct Token {
    const char* begin = nullptr;
    const char* end = nullptr;
    bool quoted = false;
    bool hasQuotes = false; // a doubled quote inside: unescape before use
};

class LineReader {
  public:
    LineReader(const char* p, const char* end) : m_p(p), m_end(end) {}

    bool atEnd() const { return m_p >= m_end; }
    int line() const { return m_line; }

    // Splits the next line into at most kMax tokens; false with a reason on
    // a broken quote.
    bool next(std::vector<Token>& tokens, QString& why) {
        tokens.clear();
        ++m_line;
        for (;;) {
            Token t;
            if (m_p < m_end && *m_p == '"') {
                t.quoted = true;
                t.begin = ++m_p;
                for (;;) {
                    const void* q = std::memchr(m_p, '"', std::size_t(m_end - m_p));
                    if (!q) {
                        why = QStringLiteral("the file ends inside a quoted text");
                        return false;
                    }
                    m_p = static_cast<const char*>(q);
                    if (m_p + 1 < m_end && m_p[1] == '"') {
                        t.hasQuotes = true;
                        m_p += 2;
                        continue;
                    }
                    break;
                }
                t.end = m_p++;
                if (m_p < m_end && *m_p != ',' && *m_p != '\r' && *m_p != '\n') {
                    why = QStringLiteral("a quoted text is followed by more than a comma");
                    return false;
                }
                if (std::count(t.begin, t.end, '\n') > 0)
                    m_line += int(std::count(t.begin, t.end, '\n'));
            } else {
                t.begin = m_p;
                while (m_p < m_end && *m_p != ',' && *m_p != '\r' && *m_p != '\n')
                    ++m_p;
                t.end = m_p;
            }
            tokens.push_back(t);
            if (m_p < m_end && *m_p == ',') {
                ++m_p;
                continue;
            }
            if (m_p < m_end && *m_p == '\r')
                ++m_p;
            if (m_p < m_end && *m_p == '\n')
                ++m_p;
            return true;
        }
    }

  private:
    const char* m_p;
    const char* m_end;
    int m_line = 0;
};

class ExtendedReader {
  public:
    ExtendedReader(QByteArrayView data, SongModel& song)
        : m_lines(data.constData(), data.constData() + data.size()), m_song(song) {}

    std::optional<ExtendedReadFailure> run() {
        if (!nextLine())
            return m_failure;
        if (m_t.size() < 2 || word(0) != "KOLVO-EXT")
            return fail(QStringLiteral("the file does not start with the extended layout's line"));
        bool numeric = false;
        const long long version = text(1).toLongLong(&numeric);
        if (!numeric || version < 1)
            return fail(QStringLiteral("layout version %1 is not a whole number of 1 or more")
                            .arg(shown(1)));
        if (version > kExtendedLayoutVersion)
            return fail(QStringLiteral("the file was written in layout %1 by a newer version of "
                                       "Kolvo; this version reads layout %2")
                            .arg(version)
                            .arg(kExtendedLayoutVersion));
        ChartSlot chart = -1;
        std::shared_ptr<TimingData> timing;
        TimingData songExtras;
        KeptTags header;
        KeptTags chartKept;
        std::vector<TempoCell> tempo, offBeat;
        ChartSteps steps;
        std::array<bool, kChartSlots> seen{};
        // Puts a finished chart section into the song.
        auto close = [&] {
            if (chart < 0)
                return;
            steps.finish();
            m_song.swapSteps(chart, steps);
            steps.clear();
            m_song.setTempoCells(chart, std::move(tempo));
            tempo.clear();
            m_song.setOffBeatTempoCells(chart, std::move(offBeat));
            offBeat.clear();
            m_song.setChartKept(chart, chartKept);
            chartKept.clear();
            m_song.setChartTiming(chart, std::move(timing));
            timing.reset();
        };
        bool ended = false;
        while (!ended) {
            if (m_lines.atEnd())
                return fail(QStringLiteral("the file ends before its end line"));
            if (!nextLine())
                return m_failure;
            const QByteArrayView tag = word(0);
            if (tag == "n") {
                long long tick, panel, kind;
                if (chart < 0)
                    return fail(QStringLiteral("a note stands before the first chart"));
                if (!fields(4) || !integer(1, 0, kLastTick, "row", tick) ||
                    !integer(2, 1, kMaxPanels, "panel", panel) ||
                    !integer(3, 1, kNoteKinds - 1, "note kind", kind))
                    return m_failure;
                steps.append(Note{Tick(tick), std::uint8_t(panel), NoteKind(kind)});
            } else if (tag == "field") {
                if (!fields(3))
                    return m_failure;
                bool known = false;
                for (int i = 0; i < kSummaryTextFields; ++i)
                    if (word(1) == summaryFieldKey(SummaryField(i))) {
                        m_song.setField(SummaryField(i), text(2));
                        known = true;
                    }
                if (!known)
                    return fail(QStringLiteral("unknown field %1").arg(shown(1)));
            } else if (tag == "check1") {
                long long v;
                if (!fields(2) || !integer(1, 0, 2, "check1 value", v))
                    return m_failure;
                m_song.setMarkAsNew(int(v));
            } else if (tag == "header") {
                if (!fields(3))
                    return m_failure;
                header.append({bytes(1), bytes(2)});
            } else if (tag == "songdelay" || tag == "songwarp") {
                TimingEvent e;
                if (!event(e))
                    return m_failure;
                (tag == "songdelay" ? songExtras.delays : songExtras.warps).push_back(e);
            } else if (tag == "songkept") {
                if (!fields(3))
                    return m_failure;
                songExtras.kept.append({bytes(1), bytes(2)});
            } else if (tag == "chart") {
                close();
                if (!fields(8))
                    return m_failure;
                long long style, level, columns;
                if (!integer(1, 0, kStyles, "style", style) ||
                    !integer(2, Beginner, Edit, "level", level) ||
                    !integer(4, 0, kMaxPanels, "columns", columns))
                    return m_failure;
                Chart c;
                c.style = int(style);
                c.level = int(level);
                c.stepsType = bytes(3);
                c.columns = int(columns);
                c.description = text(5);
                c.footlevels = value(6);
                c.dataexists = value(7);
                if ((c.style == 0) == c.stepsType.isEmpty())
                    return fail(QStringLiteral("a chart names both a style and another game's "
                                               "type, or neither"));
                if (c.style != 0 && c.level != Edit) {
                    chart = SongModel::slotOf(c.style, c.level);
                    if (seen[std::size_t(chart)])
                        return fail(QStringLiteral("%1 is listed twice").arg(c.name()));
                    seen[std::size_t(chart)] = true;
                    m_song.setChartFlags(chart, c.footlevels, c.dataexists);
                    m_song.setDescription(chart, c.description);
                } else {
                    chart = m_song.addChart(std::move(c));
                }
            } else if (tag == "timing") {
                if (chart < 0)
                    return fail(QStringLiteral("a chart's timing stands before the first chart"));
                if (!fields(3))
                    return m_failure;
                auto offset = number(1), bpm = number(2);
                if (!offset || !bpm)
                    return fail(QStringLiteral("the chart's offset or BPM is not a number"));
                timing = std::make_shared<TimingData>();
                timing->offsetMs = *offset;
                timing->bpm = *bpm;
            } else if (tag == "bpm" || tag == "stop" || tag == "delay" || tag == "warp") {
                if (!timing)
                    return fail(QStringLiteral("a timing event stands outside a chart's timing"));
                TimingEvent e;
                if (!event(e))
                    return m_failure;
                (tag == "bpm"     ? timing->bpms
                 : tag == "stop"  ? timing->stops
                 : tag == "delay" ? timing->delays
                                  : timing->warps)
                    .push_back(e);
            } else if (tag == "timingkept") {
                if (!timing)
                    return fail(QStringLiteral("a timing tag stands outside a chart's timing"));
                if (!fields(3))
                    return m_failure;
                timing->kept.append({bytes(1), bytes(2)});
            } else if (tag == "kept") {
                if (chart < 0)
                    return fail(QStringLiteral("a chart's tag stands before the first chart"));
                if (!fields(3))
                    return m_failure;
                chartKept.append({bytes(1), bytes(2)});
            } else if (tag == "tempo" || tag == "offbeat") {
                if (chart < 0)
                    return fail(QStringLiteral("a tempo cell stands before the first chart"));
                long long tick, channel;
                if (!fields(4) || !integer(1, 0, kLastTick, "row", tick) ||
                    !integer(2, BPMCHANNEL, FREEZECHANNEL, "tempo channel", channel))
                    return m_failure;
                auto v = number(3);
                if (!v || *v < 0)
                    return fail(QStringLiteral("tempo value %1 is not a number of 0 or more")
                                    .arg(shown(3)));
                (tag == "tempo" ? tempo : offBeat)
                    .push_back(TempoCell{Tick(tick), std::uint8_t(channel), *v});
            } else if (tag == "end") {
                close();
                ended = true;
            } else {
                return fail(QStringLiteral("unknown record %1").arg(shown(0)));
            }
        }
        m_song.setKeptHeader(header);
        m_song.setSongTimingExtras(songExtras);
        // Blank lines may follow the end line; nothing else.
        while (!m_lines.atEnd()) {
            if (!nextLine())
                return m_failure;
            if (m_t.size() != 1 || m_t[0].begin != m_t[0].end)
                return fail(QStringLiteral("more follows the end line"));
        }
        return std::nullopt;
    }

  private:
    bool nextLine() {
        QString why;
        if (!m_lines.next(m_t, why)) {
            m_failure = ExtendedReadFailure{m_lines.line(), why};
            return false;
        }
        return true;
    }
    std::optional<ExtendedReadFailure> fail(const QString& reason) {
        m_failure = ExtendedReadFailure{m_lines.line(), reason};
        return m_failure;
    }
    bool fields(std::size_t n) {
        if (m_t.size() == n)
            return true;
        fail(QStringLiteral("a %1 record has %2 fields, not %3")
                 .arg(QString::fromLatin1(word(0).toByteArray()))
                 .arg(m_t.size())
                 .arg(n));
        return false;
    }
    QByteArrayView word(std::size_t i) const {
        return i < m_t.size() ? QByteArrayView(m_t[i].begin, m_t[i].end - m_t[i].begin)
                              : QByteArrayView();
    }
    QByteArray bytes(std::size_t i) const {
        const Token& t = m_t[i];
        QByteArray b(t.begin, t.end - t.begin);
        if (t.hasQuotes)
            b.replace("\"\"", "\"");
        return b;
    }
    QString text(std::size_t i) const { return QString::fromUtf8(bytes(i)); }
    QString shown(std::size_t i) const { return text(i).left(40); }
    std::optional<double> number(std::size_t i) const {
        const Token& t = m_t[i];
        if (t.quoted)
            return std::nullopt;
        return fileFieldNumber(t.begin, t.end);
    }
    Value value(std::size_t i) const {
        const Token& t = m_t[i];
        if (t.quoted)
            return Value::text(text(i));
        if (t.begin == t.end)
            return Value();
        if (auto v = number(i))
            return Value::number(*v);
        return Value::text(text(i));
    }
    bool integer(std::size_t i, long long lo, long long hi, const char* what, long long& out) {
        const Token& t = m_t[i];
        const char* p = t.begin;
        bool negative = false;
        if (!t.quoted && p < t.end && *p == '-') {
            negative = true;
            ++p;
        }
        long long v = 0;
        const char* digits = p;
        while (!t.quoted && p < t.end && *p >= '0' && *p <= '9' && p - digits < 12)
            v = v * 10 + (*p++ - '0');
        if (t.quoted || p != t.end || p == digits || (negative ? -v : v) < lo ||
            (negative ? -v : v) > hi) {
            fail(QStringLiteral("%1 %2 is not a whole number from %3 to %4")
                     .arg(QLatin1String(what), shown(i))
                     .arg(lo)
                     .arg(hi));
            return false;
        }
        out = negative ? -v : v;
        return true;
    }
    bool event(TimingEvent& e) {
        long long tick;
        if (!fields(3) || !integer(1, 0, kLastTick, "row", tick))
            return false;
        auto v = number(2);
        if (!v) {
            fail(QStringLiteral("timing value %1 is not a number").arg(shown(2)));
            return false;
        }
        e = TimingEvent{Tick(tick), *v};
        return true;
    }

    LineReader m_lines;
    SongModel& m_song;
    std::vector<Token> m_t;
    std::optional<ExtendedReadFailure> m_failure;
};

} // namespace

QByteArray extendedKolvoText(const SongModel& model) {
    QByteArray out;
    out.reserve(4096);
    out.append(kFirstLine).append("\r\n");
    for (int i = 0; i < kSummaryTextFields; ++i) {
        out.append("field,\"").append(summaryFieldKey(SummaryField(i))).append("\",");
        appendText(out, model.field(SummaryField(i)));
        out.append("\r\n");
    }
    out.append("check1,");
    appendInt(out, model.markAsNew());
    out.append("\r\n");
    appendKept(out, "header", model.keptHeader());
    const TimingData& extras = model.songTimingExtras();
    appendEvents(out, "songdelay", extras.delays);
    appendEvents(out, "songwarp", extras.warps);
    appendKept(out, "songkept", extras.kept);
    for (ChartSlot slot = 0; slot < model.chartSlots(); ++slot)
        if (model.usedSlot(slot))
            appendChart(out, model.chart(slot));
    out.append("end\r\n");
    return out;
}

bool isExtendedKolvo(QByteArrayView data) {
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    return data.startsWith("\"KOLVO-EXT\"");
}

std::optional<ExtendedReadFailure> readExtendedKolvo(QByteArrayView data, SongModel* model) {
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    if (!isValidUtf8(data.constData(), std::size_t(data.size())))
        return ExtendedReadFailure{0, QStringLiteral("the file is not UTF-8 text")};
    SongModel song;
    song.resetparameters();
    ExtendedReader reader(data, song);
    if (auto fail = reader.run())
        return fail;
    if (model)
        model->copySongFrom(song);
    return std::nullopt;
}

} // namespace kolvo
