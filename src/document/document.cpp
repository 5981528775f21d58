#include "document/document.h"

#include "document/editcommands.h"

#include <QGuiApplication>

#include <cmath>

namespace kolvo {

Document::Document(SongModel& song, QObject* parent) : QObject(parent), m_song(song) {
    // Typing merges into one step until the keyboard goes elsewhere.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::focusObjectChanged, this, [this] { closeMerging(); });
    connect(&m_history, &QUndoStack::cleanChanged, this,
            [this](bool clean) { emit modifiedChanged(!clean); });
}

Document::~Document() = default;

void Document::markSaved(const QString& path) {
    closeMerging();
    m_filePath = path;
    m_history.setClean();
    emit saved();
}

void Document::freshHistory(bool modified, const QString& path) {
    closeMerging();
    const bool wasModified = isModified();
    // clear() leaves the stack as clean as it was.
    m_history.clear();
    if (modified) {
        m_history.resetClean(); // nothing matches the history's clean state now
    } else if (!m_history.isClean()) {
        // An empty history is left as it was by clear(), so a restored song
        // (empty history, never clean) is made clean here.
        m_history.setClean();
    }
    m_filePath = path;
    if (wasModified != isModified() || modified)
        emit modifiedChanged(isModified());
}

void Document::newSong() {
    m_song.resetparameters();
    startFresh();
}

void Document::loadSong(const SongModel& from, const QString& path) {
    if (&from != &m_song)
        m_song.copySongFrom(from);
    freshHistory(false, path);
    emit changed(SongChange::everything());
}

void Document::restoreSong(const SongModel& from, const QString& path) {
    if (&from != &m_song)
        m_song.copySongFrom(from);
    freshHistory(true, path);
    emit changed(SongChange::everything());
}

void Document::startFresh() {
    loadSong(m_song, QString());
}

void Document::startRestored(const QString& path) {
    restoreSong(m_song, path);
}

void Document::openChart(ChartSlot chart) {
    if (!m_song.usedSlot(chart) || m_song.hasData(chart))
        return;
    m_song.openChart(chart);
    emit changed(SongChange::ofSlot(SongChange::Flags, chart));
}

void Document::placeLive(ChartSlot chart, Tick tick, int panel, NoteKind kind) {
    if (!m_song.usedSlot(chart) || !ChartSteps::validPlace(tick, panel) || panel > kArrowPanels ||
        m_song.chartSteps(chart).kindAtTick(tick, panel) == kind)
        return;
    // The chart's notes are taken out, changed and put back: two swaps, no copy.
    ChartSteps steps;
    m_song.swapSteps(chart, steps);
    steps.setKindAtTick(tick, panel, kind);
    m_song.swapSteps(chart, steps);
    const int bar = barOfTick(tick);
    emit changed(SongChange::ofSlot(SongChange::Steps, chart, bar, bar));
}

void Document::beginStep(const QString& name) {
    ++m_stepDepth;
    m_history.beginMacro(name);
}

void Document::endStep() {
    m_history.endMacro();
    if (--m_stepDepth > 0)
        return;
    const int top = m_history.index() - 1;
    if (top < 0)
        return;
    // An empty step is dropped: marked obsolete, undo removes it unapplied.
    auto* step = const_cast<QUndoCommand*>(m_history.command(top));
    if (step->childCount() == 0) {
        step->setObsolete(true);
        m_history.undo();
    }
}

std::optional<ChartSlot> Document::chartOf(const QUndoCommand* step) {
    if (const auto* s = dynamic_cast<const SetStepCommand*>(step))
        return s->chart();
    if (const auto* s = dynamic_cast<const SetNoteCommand*>(step))
        return s->chart();
    if (const auto* s = dynamic_cast<const SwapChartCommand*>(step))
        return s->chart();
    if (const auto* s = dynamic_cast<const SetFootlevelCommand*>(step))
        return s->chart();
    if (const auto* s = dynamic_cast<const ChartPresenceCommand*>(step))
        return s->chart();
    if (const auto* s = dynamic_cast<const RenameChartCommand*>(step))
        return s->chart();
    return std::nullopt;
}

bool Document::movesCharts(const QUndoCommand* step) {
    return dynamic_cast<const ChartPresenceCommand*>(step) != nullptr;
}

void Document::setStep(ChartSlot chart, int bar, int row, int panel, std::uint8_t value) {
    // Any chart: the table's (Beginner included) or an added one.
    if (!m_song.usedSlot(chart) || bar < 1 || bar > kMaxBars || row < 1 || row > kRows ||
        panel < 1 || panel > kArrowPanels)
        return;
    const std::uint8_t before = m_song.step(chart, bar, row, panel);
    if (before == value)
        return;
    m_history.push(new SetStepCommand(*this, chart, bar, row, panel, before, value));
}

void Document::replaceChart(ChartSlot chart, ChartSteps steps, const QString& name, int firstBar,
                            int lastBar) {
    if (!m_song.usedSlot(chart) || steps == m_song.chartSteps(chart))
        return;
    m_history.push(new SwapChartCommand(*this, chart, std::move(steps), name, firstBar, lastBar));
}

void Document::recordChart(ChartSlot chart, ChartSteps before, const QString& name) {
    if (!m_song.usedSlot(chart) || before == m_song.chartSteps(chart))
        return;
    m_history.push(new SwapChartCommand(*this, chart, std::move(before), name, 1, kMaxBars, true));
}

void Document::clearChart(ChartSlot chart) {
    if (!m_song.usedSlot(chart))
        return;
    const QString name = QStringLiteral("Delete ") + m_song.chart(chart).name();
    m_history.push(new SwapChartCommand(*this, chart, ChartSteps(), name, 1, kMaxBars, false,
                                        Value::number(0)));
}

void Document::setFootlevel(ChartSlot chart, const Value& value) {
    if (!m_song.usedSlot(chart))
        return;
    const Value before = m_song.chart(chart).footlevels;
    if (before == value)
        return;
    m_history.push(new SetFootlevelCommand(*this, chart, before, value));
}

void Document::setTempo(ChartSlot chart, int bar, int beat, int channel,
                        std::optional<double> value) {
    if (bar < 1 || bar > kMaxBars || beat < 1 || beat > 4)
        return;
    setTempoAt(chart, tickOf(bar, (beat - 1) * kFineRowsPerBeat), channel, value);
}

bool Document::editChartNamed(int style, const QString& description, ChartSlot except) const {
    for (ChartSlot slot = ChartSlot(kChartSlots); slot < m_song.chartSlots(); ++slot) {
        const Chart& c = m_song.chart(slot);
        if (slot != except && c.style == style && c.level == Edit && c.description == description)
            return true;
    }
    return false;
}

ChartSlot Document::addEditChart(int style, const QString& description) {
    if (style < 1 || style > kStyles || editChartNamed(style, description))
        return -1;
    Chart chart;
    chart.style = style;
    chart.level = Edit;
    chart.description = description;
    chart.steps.finish();
    const QString name = QStringLiteral("New ") + chart.name();
    const ChartSlot slot = m_song.chartSlots();
    closeMerging();
    m_history.push(new ChartPresenceCommand(*this, slot, std::move(chart), false, name));
    return slot;
}

bool Document::renameChart(ChartSlot chart, const QString& description) {
    if (chart < ChartSlot(kChartSlots) || !m_song.usedSlot(chart))
        return false;
    const Chart& c = m_song.chart(chart);
    if (c.level != Edit || editChartNamed(c.style, description, chart))
        return false;
    if (c.description != description) {
        closeMerging();
        m_history.push(new RenameChartCommand(*this, chart, c.description, description));
    }
    return true;
}

void Document::removeChart(ChartSlot chart) {
    if (chart < ChartSlot(kChartSlots) || !m_song.usedSlot(chart))
        return;
    const QString name = QStringLiteral("Delete ") + m_song.chart(chart).name();
    closeMerging();
    m_history.push(new ChartPresenceCommand(*this, chart, Chart(), true, name));
}

void Document::setTempoAt(ChartSlot slot, Tick tick, int channel, std::optional<double> value) {
    if (!m_song.usedSlot(slot) || tick < 0 || tick > kLastTick ||
        (channel != BPMCHANNEL && channel != FREEZECHANNEL) || (value && std::isnan(*value)))
        return;
    const std::optional<double> before = m_song.tempoAt(slot, tick, channel);
    if (before == value)
        return;
    m_history.push(new SetTempoCommand(*this, slot, tick, channel, before, value));
}

void Document::setField(SummaryField field, const QString& text) {
    const QString before = m_song.field(field);
    if (before == text)
        return;
    m_history.push(new SetFieldCommand(*this, field, before, text));
}

void Document::setMarkAsNew(int value) {
    const int before = m_song.markAsNew();
    if (before == value)
        return;
    closeMerging();
    m_history.push(new SetMarkAsNewCommand(*this, before, value));
}

} // namespace kolvo
