#include "core/song/songmodel.h"

#include "core/song/numbertext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace kolvo {

namespace {
constexpr int kDimStyle = kStyles + 1;
constexpr int kDimLevel = kLevels + 1;
constexpr int kDimBar = kBars + 1;
constexpr int kDimRow = kRows + 1;
constexpr std::size_t kTempoCells = std::size_t(kDimStyle) * kDimLevel * kDimBar * kDimRow * 2;
const double kNoTempo = std::numeric_limits<double>::quiet_NaN();
} // namespace

QString styleName(int style) {
    static const char* const names[] = {"", "Single", "Double", "Couple", "Solo"};
    return (style >= 1 && style <= kStyles) ? QString::fromLatin1(names[style]) : QString();
}

QString levelName(int level) {
    static const char* const names[] = {"", "Basic", "Another", "Maniac", "S-Maniac"};
    return (level >= 1 && level <= kLevels) ? QString::fromLatin1(names[level]) : QString();
}

const char* summaryFieldKey(SummaryField f) {
    static const char* const keys[kSummaryTextFields] = {
        "musicadd", "songname",    "artist",       "genre", "bpm",
        "gap",      "samplestart", "samplelength", "text1", "filetag"};
    const int i = int(f);
    return i >= 0 && i < kSummaryTextFields ? keys[i] : "";
}

QString summaryFieldLabel(SummaryField f) {
    static const char* const labels[kSummaryTextFields] = {
        "Location of MP3 file", "Name of song",    "Name of artist",     "Genre",    "BPM", "Gap",
        "Start sample at",      "Play sample for", "Location of CD pic", "#FILE tag"};
    const int i = int(f);
    return i >= 0 && i < kSummaryTextFields ? QString::fromLatin1(labels[i]) : QString();
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

// ---------------------------------------------------------------- ChartSteps

ChartSteps::ChartSteps() : m_cells(kCells, 0) {}

std::uint8_t ChartSteps::at(int bar, int row, int panel) const {
    return valid(bar, row, panel) ? m_cells[index(bar, row, panel)] : 0;
}

void ChartSteps::set(int bar, int row, int panel, std::uint8_t value) {
    if (valid(bar, row, panel))
        m_cells[index(bar, row, panel)] = value;
}

const std::uint8_t* ChartSteps::row(int bar, int row) const {
    return valid(bar, row, 1) ? &m_cells[index(bar, row, 0)] : nullptr;
}

void ChartSteps::clear() {
    std::fill(m_cells.begin(), m_cells.end(), std::uint8_t(0));
}

bool ChartSteps::empty() const {
    // Whole words at a time: this runs before every file is read.
    const std::uint8_t* a = m_cells.data();
    const std::size_t n = m_cells.size();
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, a + i, 8);
        any |= w;
    }
    for (; i < n; ++i)
        any |= a[i];
    return any == 0;
}

bool ChartSteps::barHasSteps(int bar) const {
    if (!valid(bar, 1, 1))
        return false;
    const auto first = m_cells.begin() + std::ptrdiff_t(index(bar, 1, 0));
    const auto last = m_cells.begin() + std::ptrdiff_t(index(bar, kRows, kArrowPanels) + 1);
    return std::any_of(first, last, [](std::uint8_t v) { return v != 0; });
}

// ---------------------------------------------------------------- SongModel

SongModel::SongModel(QObject* parent) : QObject(parent), m_tempo(kTempoCells, kNoTempo) {
    // Design values of the summary fields (equal to the reset values).
    m_fields[int(SummaryField::Bpm)] = QStringLiteral("120");
    m_fields[int(SummaryField::Gap)] = QStringLiteral("0");
}

SongModel::~SongModel() = default;

bool SongModel::validCell(int s, int l, int b, int r) {
    return validChart(s, l) && b >= 1 && b <= kBars && r >= 1 && r <= kRows;
}

bool SongModel::cellsEmpty() const {
    for (const ChartSteps& chart : m_charts)
        if (!chart.empty())
            return false;
    return std::all_of(m_tempo.begin(), m_tempo.end(), [](double v) { return std::isnan(v); });
}

void SongModel::clearCells() {
    for (ChartSteps& chart : m_charts)
        chart.clear();
    std::fill(m_tempo.begin(), m_tempo.end(), kNoTempo);
}

SongModel::CellArrays SongModel::cellArrays() {
    CellArrays cells;
    for (std::size_t i = 0; i < m_charts.size(); ++i)
        cells.charts[i] = m_charts[i].cells();
    cells.tempo = m_tempo;
    return cells;
}

std::uint8_t SongModel::step(int s, int l, int b, int r, int p) const {
    if (!validChart(s, l))
        return 0;
    return m_charts[ChartId{s, l}.index()].at(b, r, p);
}

void SongModel::setStep(int s, int l, int b, int r, int p, std::uint8_t value) {
    if (validChart(s, l))
        m_charts[ChartId{s, l}.index()].set(b, r, p, value);
}

bool SongModel::hasTempo(int s, int l, int b, int r, int channel) const {
    if (!validCell(s, l, b, r) || (channel != BPMCHANNEL && channel != FREEZECHANNEL))
        return false;
    return !std::isnan(m_tempo[tempoIndex(s, l, b, r, channel)]);
}

double SongModel::tempo(int s, int l, int b, int r, int channel) const {
    return hasTempo(s, l, b, r, channel) ? m_tempo[tempoIndex(s, l, b, r, channel)] : 0.0;
}

void SongModel::setTempo(int s, int l, int b, int r, int channel, double value) {
    if (!validCell(s, l, b, r) || (channel != BPMCHANNEL && channel != FREEZECHANNEL) ||
        std::isnan(value))
        return;
    m_tempo[tempoIndex(s, l, b, r, channel)] = value;
}

void SongModel::clearTempo(int s, int l, int b, int r, int channel) {
    if (!validCell(s, l, b, r) || (channel != BPMCHANNEL && channel != FREEZECHANNEL))
        return;
    m_tempo[tempoIndex(s, l, b, r, channel)] = kNoTempo;
}

const std::uint8_t* SongModel::arrowRow(int s, int l, int b, int r) const {
    return validChart(s, l) ? m_charts[ChartId{s, l}.index()].row(b, r) : nullptr;
}

const double* SongModel::tempoRow(int s, int l, int b, int r) const {
    return validCell(s, l, b, r) ? &m_tempo[tempoIndex(s, l, b, r, BPMCHANNEL)] : nullptr;
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
    return validChart(s, l) ? m_dataexists[ChartId{s, l}.index()] : none;
}

void SongModel::setDataexists(int s, int l, const Value& v) {
    if (!validChart(s, l))
        return;
    m_dataexists[ChartId{s, l}.index()] = v;
    emit changed(SongChange::flags(s, l));
}

bool SongModel::hasData(int s, int l) const {
    const Value& v = dataexists(s, l);
    return !v.isUnassigned() && v.toNumber() == 1.0;
}

const Value& SongModel::footlevels(int s, int l) const {
    static const Value none;
    return validChart(s, l) ? m_footlevels[ChartId{s, l}.index()] : none;
}

void SongModel::setFootlevels(int s, int l, const Value& v) {
    if (!validChart(s, l))
        return;
    m_footlevels[ChartId{s, l}.index()] = v;
    emit changed(SongChange::flags(s, l));
}

const QString& SongModel::field(SummaryField f) const {
    return m_fields[std::size_t(f)];
}

void SongModel::setField(SummaryField f, const QString& text) {
    QString& slot = m_fields[std::size_t(f)];
    if (slot == text)
        return;
    slot = text;
    emit summaryFieldChanged(f);
}

void SongModel::setCheck1(int v) {
    if (m_check1 == v)
        return;
    m_check1 = v;
    emit check1Changed(v);
}

void SongModel::resetparameters() {
    clearCells();
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l) {
            m_dataexists[ChartId{s, l}.index()] = Value::number(0);
            m_footlevels[ChartId{s, l}.index()] = Value::text(QString());
        }
    for (SummaryField f :
         {SummaryField::Musicadd, SummaryField::Songname, SummaryField::Artist, SummaryField::Genre,
          SummaryField::Text1, SummaryField::Samplestart, SummaryField::Samplelength})
        setField(f, QString());
    setField(SummaryField::Bpm, QStringLiteral("120"));
    setField(SummaryField::Gap, QStringLiteral("0"));
    setCheck1(2);
    emit songReset();
    emit changed(SongChange::everything());
}

void SongModel::clearChart(int s, int l) {
    if (!validChart(s, l))
        return;
    m_charts[ChartId{s, l}.index()].clear();
    m_dataexists[ChartId{s, l}.index()] = Value::number(0);
    emit changed({SongChange::Steps | SongChange::Flags, s, l, 1, kBars});
}

void SongModel::openChart(int s, int l) {
    if (!hasData(s, l)) {
        setFootlevels(s, l, Value::number(1));
        setDataexists(s, l, Value::number(1));
    }
}

const ChartSteps& SongModel::chartSteps(int s, int l) const {
    static const ChartSteps none;
    return validChart(s, l) ? m_charts[ChartId{s, l}.index()] : none;
}

void SongModel::swapChartSteps(int s, int l, ChartSteps& steps) {
    if (validChart(s, l))
        m_charts[ChartId{s, l}.index()].swap(steps);
}

bool SongModel::sameSongAs(const SongModel& o) const {
    if (m_charts != o.m_charts || !(m_dataexists == o.m_dataexists) ||
        !(m_footlevels == o.m_footlevels) || m_fields != o.m_fields || m_check1 != o.m_check1)
        return false;
    // NaN marks an empty tempo cell, so compare bit for bit.
    return m_tempo.size() == o.m_tempo.size() &&
           std::memcmp(m_tempo.data(), o.m_tempo.data(), m_tempo.size() * sizeof(double)) == 0;
}

void SongModel::copySongFrom(const SongModel& other) {
    m_charts = other.m_charts;
    m_tempo = other.m_tempo;
    m_dataexists = other.m_dataexists;
    m_footlevels = other.m_footlevels;
    for (int i = 0; i < kSummaryTextFields; ++i)
        setField(SummaryField(i), other.m_fields[std::size_t(i)]);
    setCheck1(other.m_check1);
    emit changed(SongChange::everything());
}

} // namespace kolvo
