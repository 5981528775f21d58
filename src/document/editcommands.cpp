#include "document/editcommands.h"

#include "document/document.h"

namespace kolvo {

SetStepCommand::SetStepCommand(Document& doc, const StepPosition& at, std::uint8_t before,
                               std::uint8_t after)
    : m_doc(doc), m_at(at), m_before(before), m_after(after) {
    const QString what = after == StepArrow         ? QStringLiteral("Place arrow")
                         : after == StepFreezeStart ? QStringLiteral("Place freeze arrow")
                                                    : QStringLiteral("Remove arrow");
    setText(what + QStringLiteral(", bar ") + QString::number(at.bar));
}

void SetStepCommand::apply(std::uint8_t value) {
    const auto& [chart, bar, row, panel] = m_at;
    m_doc.songForEdit().setStep(chart.style, chart.level, bar, row, panel, value);
    m_doc.announce(SongChange::steps(chart.style, chart.level, bar, bar));
}

namespace {
QString placeName(NoteKind kind) {
    switch (kind) {
    case NoteKind::Arrow:
        return QStringLiteral("Place arrow");
    case NoteKind::FreezeStart:
        return QStringLiteral("Place freeze arrow");
    case NoteKind::RollStart:
        return QStringLiteral("Place roll");
    case NoteKind::Mine:
        return QStringLiteral("Place mine");
    case NoteKind::Lift:
        return QStringLiteral("Place lift");
    case NoteKind::Fake:
        return QStringLiteral("Place fake arrow");
    case NoteKind::None:
        break;
    }
    return QStringLiteral("Remove note");
}
} // namespace

void setNote(Document& doc, int style, int level, Tick tick, int panel, NoteKind kind) {
    if (!ChartId{style, level}.hasSlot() || !ChartSteps::validPlace(tick, panel) ||
        panel > kArrowPanels || std::uint8_t(kind) >= kNoteKinds)
        return;
    const NoteKind before = doc.song().chartSteps(style, level).kindAtTick(tick, panel);
    if (before == kind)
        return;
    auto oldCell = [](NoteKind k) { return k <= NoteKind::FreezeStart; };
    if (tick % kFinePerRow == 0 && oldCell(before) && oldCell(kind)) {
        doc.setStep(style, level, barOfTick(tick), fineRowOfTick(tick) / kFinePerRow + 1, panel,
                    std::uint8_t(kind));
        return;
    }
    doc.history().push(new SetNoteCommand(doc, {style, level}, tick, panel, before, kind));
}

SetNoteCommand::SetNoteCommand(Document& doc, ChartId chart, Tick tick, int panel, NoteKind before,
                               NoteKind after)
    : m_doc(doc), m_chart(chart), m_tick(tick), m_panel(panel), m_before(before), m_after(after) {
    setText(placeName(after) + QStringLiteral(", bar ") + QString::number(barOfTick(tick)));
}

void SetNoteCommand::apply(NoteKind kind) {
    // The chart's notes are taken out, changed and put back: two swaps, no copy.
    ChartSteps steps;
    m_doc.songForEdit().swapChartSteps(m_chart.style, m_chart.level, steps);
    steps.setKindAtTick(m_tick, m_panel, kind);
    m_doc.songForEdit().swapChartSteps(m_chart.style, m_chart.level, steps);
    const int bar = barOfTick(m_tick);
    m_doc.announce(SongChange::steps(m_chart.style, m_chart.level, bar, bar));
}

SwapChartCommand::SwapChartCommand(Document& doc, int style, int level, ChartSteps other,
                                   const QString& name, int firstBar, int lastBar,
                                   bool alreadyApplied, std::optional<Value> otherDataexists)
    : m_doc(doc), m_style(style), m_level(level), m_firstBar(firstBar), m_lastBar(lastBar),
      m_other(std::move(other)), m_otherDataexists(std::move(otherDataexists)),
      m_skipRedo(alreadyApplied) {
    setText(name);
}

void SwapChartCommand::redo() {
    if (m_skipRedo) {
        m_skipRedo = false;
        m_doc.announce(SongChange::steps(m_style, m_level, m_firstBar, m_lastBar));
        return;
    }
    swap();
}

void SwapChartCommand::swap() {
    SongModel& song = m_doc.songForEdit();
    song.swapChartSteps(m_style, m_level, m_other);
    SongChange change = SongChange::steps(m_style, m_level, m_firstBar, m_lastBar);
    if (m_otherDataexists) {
        Value current = song.dataexists(m_style, m_level);
        song.setDataexists(m_style, m_level, *m_otherDataexists);
        m_otherDataexists = std::move(current);
        change.what |= SongChange::Flags;
    }
    m_doc.announce(change);
}

SetFootlevelCommand::SetFootlevelCommand(Document& doc, int style, int level, Value before,
                                         Value after)
    : m_doc(doc), m_style(style), m_level(level), m_before(std::move(before)),
      m_after(std::move(after)), m_serial(doc.mergeSerial()) {
    setText(QStringLiteral("Foot Level"));
}

bool SetFootlevelCommand::mergeWith(const QUndoCommand* other) {
    const auto* o = static_cast<const SetFootlevelCommand*>(other);
    if (o->m_style != m_style || o->m_level != m_level || o->m_serial != m_serial)
        return false;
    m_after = o->m_after;
    setObsolete(m_after == m_before);
    return true;
}

void SetFootlevelCommand::apply(const Value& v) {
    m_doc.songForEdit().setFootlevels(m_style, m_level, v);
    m_doc.announce(SongChange::flags(m_style, m_level));
}

SetTempoCommand::SetTempoCommand(Document& doc, ChartSlot slot, Tick tick, int channel,
                                 std::optional<double> before, std::optional<double> after)
    : m_doc(doc), m_slot(slot), m_tick(tick), m_channel(channel), m_before(before), m_after(after) {
    const QString kind =
        channel == BPMCHANNEL ? QStringLiteral("BPM Change") : QStringLiteral("Freeze");
    setText((after ? QStringLiteral("Add ") : QStringLiteral("Delete ")) + kind +
            QStringLiteral(", bar ") + QString::number(barOfTick(tick)));
}

void SetTempoCommand::apply(std::optional<double> v) {
    m_doc.songForEdit().setTempoAt(m_slot, m_tick, m_channel, v);
    const int bar = barOfTick(m_tick);
    m_doc.announce(SongChange::tempo(bar, bar));
}

SetFieldCommand::SetFieldCommand(Document& doc, SummaryField field, QString before, QString after)
    : m_doc(doc), m_field(field), m_before(std::move(before)), m_after(std::move(after)),
      m_serial(doc.mergeSerial()) {
    setText(QStringLiteral("Edit ") + QString::fromLatin1(summaryFieldInfo(field).undoName));
}

bool SetFieldCommand::mergeWith(const QUndoCommand* other) {
    const auto* o = static_cast<const SetFieldCommand*>(other);
    if (o->m_field != m_field || o->m_serial != m_serial)
        return false;
    m_after = o->m_after;
    setObsolete(m_after == m_before);
    return true;
}

void SetFieldCommand::apply(const QString& text) {
    m_doc.songForEdit().setField(m_field, text);
    m_doc.announce(SongChange::summaryField(m_field));
}

SetMarkAsNewCommand::SetMarkAsNewCommand(Document& doc, int before, int after)
    : m_doc(doc), m_before(before), m_after(after) {
    setText(QStringLiteral("Mark as New"));
}

void SetMarkAsNewCommand::apply(int v) {
    m_doc.songForEdit().setMarkAsNew(v);
    m_doc.announce(SongChange::markAsNew());
}

} // namespace kolvo
