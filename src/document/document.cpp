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

void Document::openChart(int style, int level) {
    if (!ChartId{style, level}.hasSlot() || m_song.hasData(style, level))
        return;
    m_song.openChart(style, level);
    emit changed(SongChange::flags(style, level));
}

void Document::placeLive(int style, int level, Tick tick, int panel, NoteKind kind) {
    if (!ChartId{style, level}.hasSlot() || !ChartSteps::validPlace(tick, panel) ||
        panel > kArrowPanels || m_song.chartSteps(style, level).kindAtTick(tick, panel) == kind)
        return;
    // The chart's notes are taken out, changed and put back: two swaps, no copy.
    ChartSteps steps;
    m_song.swapChartSteps(style, level, steps);
    steps.setKindAtTick(tick, panel, kind);
    m_song.swapChartSteps(style, level, steps);
    const int bar = barOfTick(tick);
    emit changed(SongChange::steps(style, level, bar, bar));
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

std::optional<ChartId> Document::chartOf(const QUndoCommand* step) {
    if (const auto* s = dynamic_cast<const SetStepCommand*>(step))
        return s->chart();
    if (const auto* s = dynamic_cast<const SetNoteCommand*>(step))
        return s->chart();
    if (const auto* s = dynamic_cast<const SwapChartCommand*>(step))
        return s->chart();
    if (const auto* s = dynamic_cast<const SetFootlevelCommand*>(step))
        return s->chart();
    return std::nullopt;
}

void Document::setStep(int style, int level, int bar, int row, int panel, std::uint8_t value) {
    const StepPosition at{{style, level}, bar, row, panel};
    // Any chart of the table, the Beginner charts included.
    if (!at.chart.hasSlot() || bar < 1 || bar > kMaxBars || row < 1 || row > kRows || panel < 1 ||
        panel > kArrowPanels)
        return;
    const std::uint8_t before = m_song.step(style, level, bar, row, panel);
    if (before == value)
        return;
    m_history.push(new SetStepCommand(*this, at, before, value));
}

void Document::replaceChart(int style, int level, ChartSteps steps, const QString& name,
                            int firstBar, int lastBar) {
    if (!ChartId{style, level}.hasSlot() || steps == m_song.chartSteps(style, level))
        return;
    m_history.push(
        new SwapChartCommand(*this, style, level, std::move(steps), name, firstBar, lastBar));
}

void Document::recordChart(int style, int level, ChartSteps before, const QString& name) {
    if (!ChartId{style, level}.hasSlot() || before == m_song.chartSteps(style, level))
        return;
    m_history.push(
        new SwapChartCommand(*this, style, level, std::move(before), name, 1, kMaxBars, true));
}

void Document::clearChart(int style, int level) {
    if (!ChartId{style, level}.hasSlot())
        return;
    const QString name = QStringLiteral("Delete ") + styleName(style) + u' ' + levelName(level);
    m_history.push(new SwapChartCommand(*this, style, level, ChartSteps(), name, 1, kMaxBars, false,
                                        Value::number(0)));
}

void Document::setFootlevel(int style, int level, const Value& value) {
    if (!ChartId{style, level}.hasSlot())
        return;
    const Value before = m_song.footlevels(style, level);
    if (before == value)
        return;
    m_history.push(new SetFootlevelCommand(*this, style, level, before, value));
}

void Document::setTempo(int style, int level, int bar, int beat, int channel,
                        std::optional<double> value) {
    if (!SongModel::validChart(style, level) || bar < 1 || bar > kMaxBars || beat < 1 || beat > 4)
        return;
    setTempoAt(SongModel::slotOf(style, level), tickOf(bar, (beat - 1) * kFineRowsPerBeat), channel,
               value);
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

void Document::setCheck1(int value) {
    const int before = m_song.Check1();
    if (before == value)
        return;
    closeMerging();
    m_history.push(new SetCheck1Command(*this, before, value));
}

QString Document::fieldName(SummaryField field) {
    switch (field) {
    case SummaryField::Musicadd:
        return QStringLiteral("Music File");
    case SummaryField::Songname:
        return QStringLiteral("Song Name");
    case SummaryField::Artist:
        return QStringLiteral("Artist");
    case SummaryField::Genre:
        return QStringLiteral("Genre");
    case SummaryField::Bpm:
        return QStringLiteral("BPM");
    case SummaryField::Gap:
        return QStringLiteral("Gap");
    case SummaryField::Samplestart:
        return QStringLiteral("Sample Start");
    case SummaryField::Samplelength:
        return QStringLiteral("Sample Length");
    case SummaryField::Text1:
        return QStringLiteral("CD Picture");
    case SummaryField::Filetag:
        return QStringLiteral("#FILE Tag");
    }
    return QString();
}

} // namespace kolvo
