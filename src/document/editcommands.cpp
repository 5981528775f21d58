#include "document/editcommands.h"

#include "document/document.h"

namespace kolvo {

SetStepCommand::SetStepCommand(Document& doc, ChartSlot chart, int bar, int row, int panel,
                               std::uint8_t before, std::uint8_t after)
    : ChangeValueCommand(doc, before, after), m_chart(chart), m_bar(bar), m_row(row),
      m_panel(panel) {
    const QString what = after == StepArrow         ? QStringLiteral("Place arrow")
                         : after == StepFreezeStart ? QStringLiteral("Place freeze arrow")
                                                    : QStringLiteral("Remove arrow");
    setText(what + QStringLiteral(", bar ") + QString::number(bar));
}

void SetStepCommand::write(const std::uint8_t& value) {
    m_doc.songForEdit().setStep(m_chart, m_bar, m_row, m_panel, value);
    m_doc.announce(SongChange::ofSlot(SongChange::Steps, m_chart, m_bar, m_bar));
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

void setNote(Document& doc, ChartSlot chart, Tick tick, int panel, NoteKind kind) {
    if (!doc.song().usedSlot(chart) || !ChartSteps::validPlace(tick, panel) ||
        panel > kArrowPanels || std::uint8_t(kind) >= kNoteKinds)
        return;
    const NoteKind before = doc.song().chartSteps(chart).kindAtTick(tick, panel);
    if (before == kind)
        return;
    auto oldCell = [](NoteKind k) { return k <= NoteKind::FreezeStart; };
    if (tick % kFinePerRow == 0 && oldCell(before) && oldCell(kind)) {
        doc.setStep(chart, barOfTick(tick), fineRowOfTick(tick) / kFinePerRow + 1, panel,
                    std::uint8_t(kind));
        return;
    }
    doc.history().push(new SetNoteCommand(doc, chart, tick, panel, before, kind));
}

SetNoteCommand::SetNoteCommand(Document& doc, ChartSlot chart, Tick tick, int panel,
                               NoteKind before, NoteKind after)
    : ChangeValueCommand(doc, before, after), m_chart(chart), m_tick(tick), m_panel(panel) {
    setText(placeName(after) + QStringLiteral(", bar ") + QString::number(barOfTick(tick)));
}

void SetNoteCommand::write(const NoteKind& kind) {
    // The chart's notes are taken out, changed and put back: two swaps, no copy.
    ChartSteps steps;
    m_doc.songForEdit().swapSteps(m_chart, steps);
    steps.setKindAtTick(m_tick, m_panel, kind);
    m_doc.songForEdit().swapSteps(m_chart, steps);
    const int bar = barOfTick(m_tick);
    m_doc.announce(SongChange::ofSlot(SongChange::Steps, m_chart, bar, bar));
}

SwapChartCommand::SwapChartCommand(Document& doc, ChartSlot chart, ChartSteps other,
                                   const QString& name, int firstBar, int lastBar,
                                   bool alreadyApplied, std::optional<Value> otherDataexists)
    : m_doc(doc), m_chart(chart), m_firstBar(firstBar), m_lastBar(lastBar),
      m_other(std::move(other)), m_otherDataexists(std::move(otherDataexists)),
      m_skipRedo(alreadyApplied) {
    setText(name);
}

void SwapChartCommand::redo() {
    if (m_skipRedo) {
        m_skipRedo = false;
        m_doc.announce(SongChange::ofSlot(SongChange::Steps, m_chart, m_firstBar, m_lastBar));
        return;
    }
    swap();
}

void SwapChartCommand::swap() {
    SongModel& song = m_doc.songForEdit();
    song.swapSteps(m_chart, m_other);
    SongChange change = SongChange::ofSlot(SongChange::Steps, m_chart, m_firstBar, m_lastBar);
    if (m_otherDataexists) {
        Value current = song.chart(m_chart).dataexists;
        song.setDataexists(m_chart, *m_otherDataexists);
        m_otherDataexists = std::move(current);
        change.what |= SongChange::Flags;
    }
    m_doc.announce(change);
}

SetFootlevelCommand::SetFootlevelCommand(Document& doc, ChartSlot chart, Value before, Value after)
    : ChangeValueCommand(doc, std::move(before), std::move(after), doc.mergeSerial()),
      m_chart(chart) {
    setText(QStringLiteral("Foot Level"));
}

bool SetFootlevelCommand::mergeWith(const QUndoCommand* other) {
    return takeLater(other, static_cast<const SetFootlevelCommand*>(other)->m_chart == m_chart);
}

void SetFootlevelCommand::write(const Value& v) {
    m_doc.songForEdit().setFootlevels(m_chart, v);
    m_doc.announce(SongChange::ofSlot(SongChange::Flags, m_chart));
}

ChartPresenceCommand::ChartPresenceCommand(Document& doc, ChartSlot slot, Chart chart, bool present,
                                           const QString& name)
    : m_doc(doc), m_slot(slot), m_chart(std::move(chart)), m_inSong(present) {
    setText(name);
}

void ChartPresenceCommand::toggle() {
    SongModel& song = m_doc.songForEdit();
    if (m_inSong) {
        m_chart = song.chart(m_slot);
        song.removeChart(m_slot);
    } else {
        song.insertChart(m_slot, std::move(m_chart));
        m_chart = Chart();
    }
    m_inSong = !m_inSong;
    // The slots after this one moved: every window looks at its charts again.
    m_doc.announce({SongChange::Steps | SongChange::Tempo | SongChange::Flags, 0, 0, 1, kMaxBars});
}

RenameChartCommand::RenameChartCommand(Document& doc, ChartSlot slot, QString before, QString after)
    : ChangeValueCommand(doc, std::move(before), std::move(after)), m_slot(slot) {
    setText(QStringLiteral("Rename ") + doc.song().chart(slot).name());
}

void RenameChartCommand::write(const QString& description) {
    m_doc.songForEdit().setDescription(m_slot, description);
    m_doc.announce(SongChange::ofSlot(SongChange::Flags, m_slot));
}

SetTempoCommand::SetTempoCommand(Document& doc, ChartSlot slot, Tick tick, int channel,
                                 std::optional<double> before, std::optional<double> after)
    : ChangeValueCommand(doc, before, after), m_slot(slot), m_tick(tick), m_channel(channel) {
    const QString kind =
        channel == BPMCHANNEL ? QStringLiteral("BPM Change") : QStringLiteral("Freeze");
    setText((after ? QStringLiteral("Add ") : QStringLiteral("Delete ")) + kind +
            QStringLiteral(", bar ") + QString::number(barOfTick(tick)));
}

void SetTempoCommand::write(const std::optional<double>& v) {
    m_doc.songForEdit().setTempoAt(m_slot, m_tick, m_channel, v);
    const int bar = barOfTick(m_tick);
    m_doc.announce(SongChange::tempo(bar, bar));
}

SetFieldCommand::SetFieldCommand(Document& doc, SummaryField field, QString before, QString after)
    : ChangeValueCommand(doc, std::move(before), std::move(after), doc.mergeSerial()),
      m_field(field) {
    setText(QStringLiteral("Edit ") + QString::fromLatin1(summaryFieldInfo(field).undoName));
}

bool SetFieldCommand::mergeWith(const QUndoCommand* other) {
    return takeLater(other, static_cast<const SetFieldCommand*>(other)->m_field == m_field);
}

void SetFieldCommand::write(const QString& text) {
    m_doc.songForEdit().setField(m_field, text);
    m_doc.announce(SongChange::summaryField(m_field));
}

SetMarkAsNewCommand::SetMarkAsNewCommand(Document& doc, int before, int after)
    : ChangeValueCommand(doc, before, after) {
    setText(QStringLiteral("Mark as New"));
}

void SetMarkAsNewCommand::write(const int& v) {
    m_doc.songForEdit().setMarkAsNew(v);
    m_doc.announce(SongChange::markAsNew());
}

} // namespace kolvo
