#include "core/import/songbuilder.h"

#include "core/files/textcodec.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <span>

namespace kolvo {

namespace {

bool isSpaceByte(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

} // namespace

std::optional<double> leadingNumber(const QByteArray& text) {
    const char* p = text.constData();
    const char* end = p + text.size();
    while (p < end && isSpaceByte(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    const char* start = p;
    int digits = 0;
    while (p < end && *p >= '0' && *p <= '9')
        ++p, ++digits;
    if (p < end && *p == '.') {
        ++p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q < end && (*q == '+' || *q == '-'))
            ++q;
        if (q < end && *q >= '0' && *q <= '9') {
            while (q < end && *q >= '0' && *q <= '9')
                ++q;
            p = q;
        }
    }
    double v = 0;
    const auto r = std::from_chars(start, p, v, std::chars_format::general);
    if (r.ec != std::errc() || !std::isfinite(v))
        return std::nullopt;
    return negative ? -v : v;
}

std::optional<int> leadingInt(const QByteArray& text) {
    const char* p = text.constData();
    const char* end = p + text.size();
    while (p < end && isSpaceByte(*p))
        ++p;
    if (p < end && *p == '+')
        ++p; // from_chars takes "-" but not "+"
    int v = 0;
    const auto r = std::from_chars(p, end, v);
    if (r.ec != std::errc())
        return std::nullopt;
    return v;
}

QString fieldNumber(double value, int decimals) {
    if (decimals >= 0) {
        const double scale = std::pow(10.0, decimals);
        value = std::round(value * scale) / scale;
    }
    if (value == 0)
        value = 0; // no "-0"
    return canonicalNumberText(value);
}

TextDecoder::TextDecoder(const QByteArray& file)
    : m_utf8(isValidUtf8(file.constData(), std::size_t(file.size()))) {}

QString TextDecoder::operator()(const QByteArray& bytes) const {
    if (m_utf8)
        return QString::fromUtf8(bytes);
    return fromWindows1252(bytes.constData(), std::size_t(bytes.size()));
}

// ---------------------------------------------------------------- SongBuilder

QString ChartNotes::name() const {
    Chart c;
    c.style = style;
    c.level = level;
    c.stepsType = stepsType;
    c.description = description;
    return c.name();
}

SongBuilder::SongBuilder(SongModel& song, QList<ImportLoss>& losses)
    : m_song(song), m_losses(losses) {}

void SongBuilder::loss(const QString& chart, int row, const QString& text) {
    if (m_losses.size() >= kMaxListedLosses) {
        ++m_unlisted;
        return;
    }
    ImportLoss l;
    l.chart = chart;
    if (row >= 0) {
        l.bar = row / kRowsPerBar48 + 1;
        l.beat = row % kRowsPerBar48 / kRowsPerBeat48 + 1;
    }
    l.text = text;
    m_losses.append(l);
}

void SongBuilder::closeList() {
    if (m_unlisted > 0)
        m_losses.append(
            {QString(), -1, 0, QStringLiteral("%1 more losses not listed").arg(m_unlisted)});
}

void SongBuilder::placeChart(ChartNotes&& c) {
    const bool dance = c.style >= 1 && c.style <= kStyles;
    bool table = dance && c.level >= Beginner && c.level <= kLevels;
    if (table && m_taken[ChartId{c.style, c.level}.index()]) {
        const QString was = c.name();
        if (c.description.isEmpty())
            c.description = levelName(c.level);
        c.level = Edit;
        loss(QString(), -1, QStringLiteral("a second %1 chart became an Edit chart").arg(was));
        table = false;
    }
    const QString name = c.name();
    Value meter;
    if (c.meter) {
        int m = std::max(*c.meter, 1);
        if (dance && m > 20) {
            loss(name, -1,
                 QStringLiteral("the meter %1 is above 20, the highest foot level; it became 20")
                     .arg(m));
            m = 20;
        }
        meter = Value::text(QString::number(m));
    }
    if (c.droppedUpToBar > kMaxBars) {
        const qsizetype before = m_losses.size();
        loss(name, kMaxBars * kRowsPerBar48,
             c.droppedUpToBar == kMaxBars + 1
                 ? QStringLiteral("notes past bar %1 dropped (bar %2)")
                       .arg(kMaxBars)
                       .arg(kMaxBars + 1)
                 : QStringLiteral("notes past bar %1 dropped (bars %2 to %3)")
                       .arg(kMaxBars)
                       .arg(kMaxBars + 1)
                       .arg(c.droppedUpToBar));
        if (m_losses.size() > before)
            m_losses.back().beat = 0; // only the bar applies
    }
    ChartSteps steps;
    for (const Note& n : c.notes)
        steps.append(n);
    steps.finish();
    ++m_charts;
    ChartSlot slot;
    if (table) {
        slot = SongModel::slotOf(c.style, c.level);
        m_taken[std::size_t(slot)] = true;
        if (!meter.isUnassigned())
            m_song.setChartFlags(slot, meter, Value::number(1));
        else
            m_song.setDataexists(c.style, c.level, Value::number(1));
        m_song.swapSteps(slot, steps);
        m_song.setDescription(slot, c.description);
    } else {
        Chart added;
        added.style = dance ? c.style : 0;
        added.level = c.level;
        added.stepsType = dance ? QByteArray() : c.stepsType;
        added.columns = dance ? 0 : c.columns;
        added.description = c.description;
        added.footlevels = meter.isUnassigned() ? Value::text(QString()) : meter;
        added.dataexists = Value::number(1);
        added.steps.swap(steps);
        slot = m_song.addChart(std::move(added));
    }
    m_song.setChartKept(slot, c.kept);
    m_song.setChartTiming(slot, std::move(c.timing));
}

void SongBuilder::placeTempo(const std::vector<TempoEvent>& bpms,
                             const std::vector<TempoEvent>& stops, bool beatZeroIsSongBpm) {
    std::vector<TempoCell> cells;
    cells.reserve(bpms.size() + stops.size());
    auto place = [&](const std::vector<TempoEvent>& events, int channel) {
        const bool bpm = channel == BPMCHANNEL;
        const QString what = bpm ? QStringLiteral("a BPM change") : QStringLiteral("a stop");
        for (const TempoEvent& e : events) {
            if (e.row < 0) {
                loss(QString(), -1, what + QStringLiteral(" before the first beat dropped"));
                continue;
            }
            if (e.row > kLastTick) {
                loss(QString(), -1, what + QStringLiteral(" past bar %1 dropped").arg(kMaxBars));
                continue;
            }
            if (e.row == 0 && bpm && beatZeroIsSongBpm) {
                m_song.setField(SummaryField::Bpm, fieldNumber(e.value));
                continue;
            }
            cells.push_back({Tick(e.row), std::uint8_t(channel), e.value});
        }
    };
    place(bpms, BPMCHANNEL);
    place(stops, FREEZECHANNEL);
    // Of two events of a channel at one tick the later one in the file is kept.
    std::stable_sort(cells.begin(), cells.end(), [](const TempoCell& a, const TempoCell& b) {
        return a.tick < b.tick || (a.tick == b.tick && a.channel < b.channel);
    });
    std::vector<TempoCell> unique;
    unique.reserve(cells.size());
    for (const TempoCell& cell : cells) {
        if (!unique.empty() && unique.back().tick == cell.tick &&
            unique.back().channel == cell.channel)
            unique.back() = cell;
        else
            unique.push_back(cell);
    }
    m_song.setTempoCells(SongModel::slotOf(Single, Basic), std::move(unique));
}

int columnsOfStepsType(const QByteArray& type) {
    static const struct {
        const char* type;
        int columns;
    } types[] = {
        {"dance-single", 4},    {"dance-double", 8},     {"dance-couple", 8},
        {"dance-solo", 6},      {"dance-threepanel", 3}, {"dance-routine", 8},
        {"pump-single", 5},     {"pump-halfdouble", 6},  {"pump-double", 10},
        {"pump-couple", 10},    {"pump-routine", 10},    {"kb7-single", 7},
        {"ez2-single", 5},      {"ez2-double", 10},      {"ez2-real", 7},
        {"para-single", 5},     {"ds3ddx-single", 8},    {"bm-single5", 6},
        {"bm-versus5", 6},      {"bm-double5", 12},      {"bm-single7", 8},
        {"bm-versus7", 8},      {"bm-double7", 16},      {"maniax-single", 4},
        {"maniax-double", 8},   {"techno-single4", 4},   {"techno-single5", 5},
        {"techno-single8", 8},  {"techno-double4", 8},   {"techno-double5", 10},
        {"techno-double8", 16}, {"pnm-five", 5},         {"pnm-nine", 9},
        {"lights-cabinet", 8},  {"kickbox-human", 4},    {"kickbox-quadarm", 4},
        {"kickbox-insect", 6},  {"kickbox-arachnid", 8},
    };
    const QByteArray t = type.toLower();
    for (const auto& e : types)
        if (t == e.type)
            return e.columns;
    return 0;
}

int levelOfDifficulty(const QByteArray& name) {
    const QByteArray n = name.toLower();
    static const struct {
        const char* name;
        int level;
    } names[] = {{"beginner", 0},  {"easy", 1},    {"basic", 1},     {"light", 1},
                 {"medium", 2},    {"another", 2}, {"trick", 2},     {"standard", 2},
                 {"difficult", 2}, {"hard", 3},    {"ssr", 3},       {"maniac", 3},
                 {"heavy", 3},     {"smaniac", 4}, {"challenge", 4}, {"expert", 4},
                 {"oni", 4},       {"edit", 5}};
    for (const auto& e : names)
        if (n == e.name)
            return e.level;
    return -1;
}

} // namespace kolvo
