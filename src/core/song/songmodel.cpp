#include "core/song/songmodel.h"

#include "core/song/numbertext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace kolvo {

QString styleName(int style) {
    static const char* const names[] = {"", "Single", "Double", "Couple", "Solo"};
    return (style >= 1 && style <= kStyles) ? QString::fromLatin1(names[style]) : QString();
}

QString levelName(int level) {
    static const char* const names[] = {"Beginner", "Basic",    "Another",
                                        "Maniac",   "S-Maniac", "Edit"};
    return (level >= Beginner && level <= Edit) ? QString::fromLatin1(names[level]) : QString();
}

// ---------------------------------------------------------------- Value

Value Value::number(double v) {
    Value r;
    r.m_kind = Kind::Number;
    r.m_number = v;
    return r;
}

Value Value::text(const QString& t) {
    Value r;
    r.m_kind = Kind::Text;
    r.m_text = t;
    return r;
}

bool Value::isZeroOrEmpty() const {
    switch (m_kind) {
    case Kind::Unassigned:
        return true;
    case Kind::Number:
        return m_number == 0.0;
    case Kind::Text:
        return m_text.isEmpty();
    }
    return true;
}

double Value::toNumber() const {
    switch (m_kind) {
    case Kind::Number:
        return m_number;
    case Kind::Text:
        return numericValue(m_text);
    case Kind::Unassigned:
        break;
    }
    return 0.0;
}

QString Value::toText() const {
    switch (m_kind) {
    case Kind::Number:
        return canonicalNumberText(m_number);
    case Kind::Text:
        return m_text;
    case Kind::Unassigned:
        break;
    }
    return QString();
}

bool Value::operator==(const Value& o) const {
    if (m_kind != o.m_kind)
        return false;
    if (m_kind == Kind::Number)
        return m_number == o.m_number;
    if (m_kind == Kind::Text)
        return m_text == o.m_text;
    return true;
}

// ---------------------------------------------------------------- Chart

bool Chart::operator==(const Chart& o) const {
    const bool sameTiming = timing == o.timing || (timing && o.timing && *timing == *o.timing);
    return style == o.style && level == o.level && stepsType == o.stepsType &&
           columns == o.columns && description == o.description && footlevels == o.footlevels &&
           dataexists == o.dataexists && steps == o.steps && tempo == o.tempo &&
           offBeatTempo == o.offBeatTempo && sameTiming && kept == o.kept;
}

QString Chart::name() const {
    QString n = dance() ? styleName(style) + QLatin1Char(' ') + levelName(level)
                        : QString::fromUtf8(stepsType) + QLatin1Char(' ') + levelName(level);
    if (level == Edit && !description.isEmpty())
        n += QStringLiteral(" (%1)").arg(description);
    return n;
}

// ---------------------------------------------------------------- SongModel

namespace {
bool validChannel(int channel) {
    return channel == BPMCHANNEL || channel == FREEZECHANNEL;
}
bool validRow(int b, int r) {
    return b >= 1 && b <= kMaxBars && r >= 1 && r <= kRows;
}
// Where the original layout's tempo row lies: rows 1..4 are the bar's beats.
bool onBeat(int r) {
    return r >= 1 && r <= 4;
}
Tick beatTick(int b, int r) {
    return tickOf(b, (r - 1) * kFineRowsPerBeat);
}
std::optional<double> cellAt(const std::vector<TempoCell>& cells, Tick t, int channel);
void setCell(std::vector<TempoCell>& cells, Tick t, int channel, std::optional<double> value);
auto findCell(std::vector<TempoCell>& cells, Tick t, int channel) {
    return std::lower_bound(cells.begin(), cells.end(), 0, [&](const TempoCell& c, int) {
        return c.tick < t || (c.tick == t && c.channel < channel);
    });
}
auto findCell(const std::vector<TempoCell>& cells, Tick t, int channel) {
    return std::lower_bound(cells.begin(), cells.end(), 0, [&](const TempoCell& c, int) {
        return c.tick < t || (c.tick == t && c.channel < channel);
    });
}
const Chart& noChart() {
    static const Chart none;
    return none;
}
} // namespace

SongModel::SongModel() : m_charts(kChartSlots) {
    for (int s = 1; s <= kStyles; ++s)
        for (int l = Beginner; l <= kLevels; ++l) {
            Chart& c = m_charts[std::size_t(slotOf(s, l))];
            c.style = s;
            c.level = l;
        }
    // Design values of the summary fields (equal to the reset values).
    for (const SummaryFieldInfo& f : summaryFields())
        m_fields[std::size_t(f.field)] = QString::fromLatin1(f.resetValue);
}

SongModel::~SongModel() = default;

// The (style, level) calls reach the sixteen charts and the Beginner chart
// of each style.
Chart* SongModel::tableChart(int s, int l) {
    return ChartId{s, l}.hasSlot() ? &m_charts[ChartId{s, l}.index()] : nullptr;
}

const Chart* SongModel::tableChart(int s, int l) const {
    return ChartId{s, l}.hasSlot() ? &m_charts[ChartId{s, l}.index()] : nullptr;
}

bool SongModel::usedSlot(ChartSlot slot) const {
    if (slot < 0 || slot >= chartSlots())
        return false;
    if (slot >= ChartSlot(kChartSlots))
        return true;
    return ChartId{slot / (kLevels + 1), slot % (kLevels + 1)}.hasSlot();
}

const Chart& SongModel::chart(ChartSlot slot) const {
    return slot >= 0 && slot < chartSlots() ? m_charts[std::size_t(slot)] : noChart();
}

ChartSlot SongModel::findChart(int style, const QByteArray& stepsType, int level,
                               const QString& description) const {
    if (style >= 1 && style <= kStyles && level >= Beginner && level <= kLevels)
        return slotOf(style, level);
    for (ChartSlot i = ChartSlot(kChartSlots); i < chartSlots(); ++i) {
        const Chart& c = m_charts[std::size_t(i)];
        if (c.style == style && c.stepsType == stepsType && c.level == level &&
            c.description == description)
            return i;
    }
    return -1;
}

ChartSlot SongModel::addChart(Chart chart) {
    chart.steps.finish();
    m_charts.push_back(std::move(chart));
    return chartSlots() - 1;
}

ChartSlot SongModel::insertChart(ChartSlot slot, Chart chart) {
    if (slot < ChartSlot(kChartSlots) || slot > chartSlots())
        return -1;
    chart.steps.finish();
    m_charts.insert(m_charts.begin() + slot, std::move(chart));
    return slot;
}

Chart* SongModel::slotChart(ChartSlot slot) {
    return usedSlot(slot) ? &m_charts[std::size_t(slot)] : nullptr;
}

void SongModel::setFootlevels(ChartSlot slot, const Value& v) {
    if (Chart* c = slotChart(slot))
        c->footlevels = v;
}

void SongModel::setDataexists(ChartSlot slot, const Value& v) {
    if (Chart* c = slotChart(slot))
        c->dataexists = v;
}

std::uint8_t SongModel::step(ChartSlot slot, int b, int r, int p) const {
    return usedSlot(slot) && p >= 1 && p <= kArrowPanels ? chart(slot).steps.at(b, r, p) : 0;
}

void SongModel::setStep(ChartSlot slot, int b, int r, int p, std::uint8_t value) {
    Chart* c = slotChart(slot);
    if (c && p >= 1 && p <= kArrowPanels)
        c->steps.set(b, r, p, value);
}

std::array<std::uint8_t, 11> SongModel::arrowRow(ChartSlot slot, int b, int r) const {
    std::array<std::uint8_t, 11> row{};
    if (!usedSlot(slot) || !validRow(b, r))
        return row;
    const Tick t = tickOfRow(b, r);
    for (const Note& n : chart(slot).steps.notesBetween(t, t))
        if (n.panel <= 10)
            row[n.panel] = std::uint8_t(n.kind);
    return row;
}

void SongModel::clearChart(ChartSlot slot) {
    if (Chart* c = slotChart(slot)) {
        c->steps.clear();
        c->dataexists = Value::number(0);
    }
}

void SongModel::openChart(ChartSlot slot) {
    if (Chart* c = slotChart(slot); c && !c->hasData()) {
        c->footlevels = Value::number(1);
        c->dataexists = Value::number(1);
    }
}

void SongModel::removeChart(ChartSlot slot) {
    if (!usedSlot(slot))
        return;
    if (slot >= ChartSlot(kChartSlots)) {
        m_charts.erase(m_charts.begin() + slot);
        return;
    }
    Chart& c = m_charts[std::size_t(slot)];
    c.steps.clear();
    c.dataexists = Value::number(0);
}

void SongModel::swapSteps(ChartSlot slot, ChartSteps& steps) {
    if (usedSlot(slot))
        m_charts[std::size_t(slot)].steps.swap(steps);
}

void SongModel::setChartFlags(ChartSlot slot, const Value& footlevels, const Value& dataexists) {
    if (!usedSlot(slot))
        return;
    m_charts[std::size_t(slot)].footlevels = footlevels;
    m_charts[std::size_t(slot)].dataexists = dataexists;
}

void SongModel::setDescription(ChartSlot slot, const QString& description) {
    if (usedSlot(slot))
        m_charts[std::size_t(slot)].description = description;
}

void SongModel::setChartKept(ChartSlot slot, const KeptTags& kept) {
    if (usedSlot(slot))
        m_charts[std::size_t(slot)].kept = kept;
}

void SongModel::setChartTiming(ChartSlot slot, std::shared_ptr<const TimingData> timing) {
    if (usedSlot(slot))
        m_charts[std::size_t(slot)].timing = std::move(timing);
}

const std::vector<TempoCell>& SongModel::tempoCells(ChartSlot slot) const {
    return chart(slot).tempo;
}

namespace {
// Sorts cells by place; of two cells at one place the later one stands, and
// NaN empties the cell.
void sortCells(std::vector<TempoCell>& cells) {
    std::stable_sort(cells.begin(), cells.end(), [](const TempoCell& a, const TempoCell& b) {
        return a.tick < b.tick || (a.tick == b.tick && a.channel < b.channel);
    });
    std::vector<TempoCell> kept;
    kept.reserve(cells.size());
    for (const TempoCell& c : cells) {
        if (!validChannel(c.channel) || c.tick < 0 || c.tick > kLastTick)
            continue;
        if (!kept.empty() && kept.back().tick == c.tick && kept.back().channel == c.channel)
            kept.back() = c;
        else
            kept.push_back(c);
    }
    std::erase_if(kept, [](const TempoCell& c) { return std::isnan(c.value); });
    cells = std::move(kept);
}
} // namespace

void SongModel::setTempoCells(ChartSlot slot, std::vector<TempoCell> cells) {
    if (!usedSlot(slot))
        return;
    sortCells(cells);
    m_charts[std::size_t(slot)].tempo = std::move(cells);
}

namespace {
std::optional<double> cellAt(const std::vector<TempoCell>& cells, Tick tick, int channel) {
    const auto it = findCell(cells, tick, channel);
    if (it != cells.end() && it->tick == tick && it->channel == channel)
        return it->value;
    return std::nullopt;
}

void setCell(std::vector<TempoCell>& cells, Tick tick, int channel, std::optional<double> value) {
    const auto it = findCell(cells, tick, channel);
    const bool found = it != cells.end() && it->tick == tick && it->channel == channel;
    if (!value) {
        if (found)
            cells.erase(it);
    } else if (found) {
        it->value = *value;
    } else {
        cells.insert(it, TempoCell{tick, std::uint8_t(channel), *value});
    }
}
} // namespace

std::optional<double> SongModel::tempoAt(ChartSlot slot, Tick tick, int channel) const {
    return cellAt(tempoCells(slot), tick, channel);
}

void SongModel::setTempoAt(ChartSlot slot, Tick tick, int channel, std::optional<double> value) {
    if (!usedSlot(slot) || !validChannel(channel) || tick < 0 || tick > kLastTick ||
        (value && std::isnan(*value)))
        return;
    setCell(m_charts[std::size_t(slot)].tempo, tick, channel, value);
}

void SongModel::setOffBeatTempoCells(ChartSlot slot, std::vector<TempoCell> cells) {
    if (!usedSlot(slot))
        return;
    sortCells(cells);
    m_charts[std::size_t(slot)].offBeatTempo = std::move(cells);
}

bool SongModel::cellsEmpty() const {
    if (chartSlots() != ChartSlot(kChartSlots))
        return false;
    return std::all_of(m_charts.begin(), m_charts.end(), [](const Chart& c) {
        return c.steps.empty() && c.tempo.empty() && c.offBeatTempo.empty();
    });
}

void SongModel::clearCells() {
    m_charts.resize(kChartSlots);
    for (Chart& c : m_charts) {
        c.steps.clear();
        c.tempo.clear();
        c.offBeatTempo.clear();
    }
}

std::uint8_t SongModel::step(int s, int l, int b, int r, int p) const {
    return ChartId{s, l}.hasSlot() ? step(slotOf(s, l), b, r, p) : 0;
}

void SongModel::setStep(int s, int l, int b, int r, int p, std::uint8_t value) {
    if (ChartId{s, l}.hasSlot())
        setStep(slotOf(s, l), b, r, p, value);
}

std::optional<double> SongModel::oldLayoutTempo(int s, int l, int b, int r, int channel) const {
    const Chart* c = tableChart(s, l);
    if (!c || !validRow(b, r) || !validChannel(channel))
        return std::nullopt;
    return onBeat(r) ? cellAt(c->tempo, beatTick(b, r), channel)
                     : cellAt(c->offBeatTempo, tickOfRow(b, r), channel);
}

void SongModel::setOldLayoutTempo(int s, int l, int b, int r, int channel,
                                  std::optional<double> value) {
    Chart* c = tableChart(s, l);
    if (!c || !validRow(b, r) || !validChannel(channel) || (value && std::isnan(*value)))
        return;
    if (onBeat(r))
        setCell(c->tempo, beatTick(b, r), channel, value);
    else
        setCell(c->offBeatTempo, tickOfRow(b, r), channel, value);
}

bool SongModel::hasTempo(int s, int l, int b, int r, int channel) const {
    return oldLayoutTempo(s, l, b, r, channel).has_value();
}

double SongModel::tempo(int s, int l, int b, int r, int channel) const {
    return oldLayoutTempo(s, l, b, r, channel).value_or(0.0);
}

void SongModel::setTempo(int s, int l, int b, int r, int channel, double value) {
    if (!std::isnan(value))
        setOldLayoutTempo(s, l, b, r, channel, value);
}

void SongModel::clearTempo(int s, int l, int b, int r, int channel) {
    setOldLayoutTempo(s, l, b, r, channel, std::nullopt);
}

std::array<std::uint8_t, 11> SongModel::arrowRow(int s, int l, int b, int r) const {
    return ChartId{s, l}.hasSlot() ? arrowRow(slotOf(s, l), b, r) : std::array<std::uint8_t, 11>{};
}

bool SongModel::cellSet(int s, int l, int b, int r, int p) const {
    if (p >= 1 && p <= kArrowPanels)
        return step(s, l, b, r, p) != 0;
    if (p == BPMCHANNEL || p == FREEZECHANNEL)
        return tempo(s, l, b, r, p) != 0.0;
    return false;
}

const Value& SongModel::dataexists(int s, int l) const {
    static const Value none;
    const Chart* c = tableChart(s, l);
    return c ? c->dataexists : none;
}

void SongModel::setDataexists(int s, int l, const Value& v) {
    Chart* c = tableChart(s, l);
    if (!c)
        return;
    c->dataexists = v;
}

bool SongModel::hasData(int s, int l) const {
    const Value& v = dataexists(s, l);
    return !v.isUnassigned() && v.toNumber() == 1.0;
}

const Value& SongModel::footlevels(int s, int l) const {
    static const Value none;
    const Chart* c = tableChart(s, l);
    return c ? c->footlevels : none;
}

void SongModel::setFootlevels(int s, int l, const Value& v) {
    Chart* c = tableChart(s, l);
    if (!c)
        return;
    c->footlevels = v;
}

const QString& SongModel::field(SummaryField f) const {
    return m_fields[std::size_t(f)];
}

void SongModel::setField(SummaryField f, const QString& text) {
    QString& slot = m_fields[std::size_t(f)];
    if (slot == text)
        return;
    slot = text;
}

void SongModel::setMarkAsNew(int v) {
    if (m_markAsNew == v)
        return;
    m_markAsNew = v;
}

TimingData SongModel::songTiming() const {
    TimingData t = m_songTimingExtras;
    t.offsetMs = numericValue(gap());
    t.bpm = numericValue(bpm());
    t.bpms.clear();
    t.stops.clear();
    for (const TempoCell& c : songTempoCells()) {
        if (!tempoEvent(c.value))
            continue;
        if (c.channel == BPMCHANNEL)
            t.bpms.push_back({c.tick, c.value});
        else
            t.stops.push_back({c.tick, c.value});
    }
    return t;
}

TimingData SongModel::timingOf(ChartSlot slot) const {
    const Chart& c = chart(slot);
    return c.timing ? *c.timing : songTiming();
}

void SongModel::resetparameters() {
    clearCells();
    for (Chart& c : m_charts) {
        c.dataexists = Value::number(0);
        c.footlevels = Value::text(QString());
        c.description.clear();
        c.timing.reset();
        c.kept.clear();
    }
    m_keptHeader.clear();
    m_songTimingExtras = TimingData();
    for (const SummaryFieldInfo& f : summaryFields())
        if (!f.keptByReset)
            setField(f.field, QString::fromLatin1(f.resetValue));
    setMarkAsNew(2);
}

void SongModel::clearChart(int s, int l) {
    Chart* c = tableChart(s, l);
    if (!c)
        return;
    c->steps.clear();
    c->dataexists = Value::number(0);
}

void SongModel::openChart(int s, int l) {
    if (!hasData(s, l)) {
        setFootlevels(s, l, Value::number(1));
        setDataexists(s, l, Value::number(1));
    }
}

const ChartSteps& SongModel::chartSteps(int s, int l) const {
    static const ChartSteps none;
    const Chart* c = tableChart(s, l);
    return c ? c->steps : none;
}

void SongModel::swapChartSteps(int s, int l, ChartSteps& steps) {
    if (Chart* c = tableChart(s, l))
        c->steps.swap(steps);
}

bool SongModel::sameSongAs(const SongModel& o) const {
    return m_charts == o.m_charts && m_fields == o.m_fields && m_markAsNew == o.m_markAsNew &&
           m_keptHeader == o.m_keptHeader && m_songTimingExtras == o.m_songTimingExtras;
}

bool SongModel::withinOldLimits() const {
    if (chartSlots() != ChartSlot(kChartSlots) || !m_keptHeader.isEmpty() ||
        !(m_songTimingExtras == TimingData()))
        return false;
    for (ChartSlot i = 0; i < chartSlots(); ++i) {
        const Chart& c = m_charts[std::size_t(i)];
        if (c.timing || !c.kept.isEmpty() || !c.description.isEmpty())
            return false;
        if (c.level == Beginner) {
            // The Beginner charts are new: only an untouched one fits.
            if (!c.steps.empty() || !c.tempo.empty() || !c.offBeatTempo.empty() ||
                !c.dataexists.isZeroOrEmpty() || !c.footlevels.isZeroOrEmpty())
                return false;
            continue;
        }
        if (!c.steps.withinOldLimits())
            return false;
        for (const TempoCell& t : c.tempo)
            if (t.tick % kFineRowsPerBeat != 0 || t.tick >= tickOf(kBars + 1, 0))
                return false;
        for (const TempoCell& t : c.offBeatTempo)
            if (t.tick >= tickOf(kBars + 1, 0))
                return false;
        if (c.footlevels.isText() && c.footlevels.asText().contains(QLatin1Char('"')))
            return false;
        if (c.dataexists.isText() && c.dataexists.asText().contains(QLatin1Char('"')))
            return false;
    }
    for (const QString& f : m_fields)
        if (f.contains(QLatin1Char('"')))
            return false;
    return true;
}

std::size_t SongModel::noteBytes() const {
    std::size_t bytes = sizeof(SongModel) + m_charts.capacity() * sizeof(Chart);
    for (const Chart& c : m_charts)
        bytes += c.steps.size() * sizeof(Note) +
                 (c.tempo.capacity() + c.offBeatTempo.capacity()) * sizeof(TempoCell);
    return bytes;
}

void SongModel::copySongFrom(const SongModel& other) {
    m_charts = other.m_charts;
    m_keptHeader = other.m_keptHeader;
    m_songTimingExtras = other.m_songTimingExtras;
    for (int i = 0; i < kSummaryTextFields; ++i)
        setField(SummaryField(i), other.m_fields[std::size_t(i)]);
    setMarkAsNew(other.m_markAsNew);
}

} // namespace kolvo
