#pragma once

#include "core/song/songmodel.h"

#include <QUndoCommand>

#include <cstdint>
#include <optional>

namespace kolvo {

class Document;

// The steps of the undo history, one class per kind of edit. Each applies
// its change to the song on redo, takes it back on undo, and announces what
// it touched through the document.

// One arrow cell.
class SetStepCommand : public QUndoCommand {
  public:
    SetStepCommand(Document& doc, ChartSlot chart, int bar, int row, int panel, std::uint8_t before,
                   std::uint8_t after);
    void undo() override { apply(m_before); }
    void redo() override { apply(m_after); }
    ChartSlot chart() const { return m_chart; }

  private:
    void apply(std::uint8_t value);
    Document& m_doc;
    ChartSlot m_chart;
    int m_bar, m_row, m_panel;
    std::uint8_t m_before, m_after;
};

// One note of any kind at any row of a chart (kind None removes it), as one
// step of the document's history. A note the old grid can hold (an arrow or
// freeze start on a 32nd row) is the same step a press on that grid has
// always made.
void setNote(Document& doc, ChartSlot chart, Tick tick, int panel, NoteKind kind);

// One note at any row of a chart, of any kind.
class SetNoteCommand : public QUndoCommand {
  public:
    SetNoteCommand(Document& doc, ChartSlot chart, Tick tick, int panel, NoteKind before,
                   NoteKind after);
    void undo() override { apply(m_before); }
    void redo() override { apply(m_after); }
    ChartSlot chart() const { return m_chart; }

  private:
    void apply(NoteKind kind);
    Document& m_doc;
    ChartSlot m_chart;
    Tick m_tick;
    int m_panel;
    NoteKind m_before, m_after;
};

// A whole chart's cells (and optionally its dataexists flag) exchanged with
// the copy this step holds: redo and undo are the same swap, so a bar
// operation costs one chart copy in the history and constant time to apply.
class SwapChartCommand : public QUndoCommand {
  public:
    // `other` holds the cells to swap in. With `alreadyApplied` the song
    // already holds the new cells (and `other` the old), so the first redo
    // does nothing.
    SwapChartCommand(Document& doc, ChartSlot chart, ChartSteps other, const QString& name,
                     int firstBar, int lastBar, bool alreadyApplied = false,
                     std::optional<Value> otherDataexists = std::nullopt);
    void undo() override { swap(); }
    void redo() override;
    ChartSlot chart() const { return m_chart; }

  private:
    void swap();
    Document& m_doc;
    ChartSlot m_chart;
    int m_firstBar, m_lastBar;
    ChartSteps m_other;
    std::optional<Value> m_otherDataexists;
    bool m_skipRedo;
};

class SetFootlevelCommand : public QUndoCommand {
  public:
    SetFootlevelCommand(Document& doc, ChartSlot chart, Value before, Value after);
    void undo() override { apply(m_before); }
    void redo() override { apply(m_after); }
    int id() const override { return 900; }
    bool mergeWith(const QUndoCommand* other) override;
    ChartSlot chart() const { return m_chart; }

  private:
    void apply(const Value& v);
    Document& m_doc;
    ChartSlot m_chart;
    Value m_before, m_after;
    int m_serial;
};

// An added chart put into the song or taken out of it, whole. The step
// holds the chart while it is out of the song, so undoing a removal gives
// back its notes, flags, timing and kept tags at the slot it had.
class ChartPresenceCommand : public QUndoCommand {
  public:
    // `chart` is the chart to add at `slot` (present false: the song does not
    // hold it yet), or ignored when the song holds it at `slot` (present
    // true: the step removes it).
    ChartPresenceCommand(Document& doc, ChartSlot slot, Chart chart, bool present,
                         const QString& name);
    void undo() override { toggle(); }
    void redo() override { toggle(); }
    ChartSlot chart() const { return m_slot; }

  private:
    void toggle();
    Document& m_doc;
    ChartSlot m_slot;
    Chart m_chart; // the chart while it is out of the song
    bool m_inSong; // the song holds the chart now
};

// An Edit chart's description.
class RenameChartCommand : public QUndoCommand {
  public:
    RenameChartCommand(Document& doc, ChartSlot slot, QString before, QString after);
    void undo() override { apply(m_before); }
    void redo() override { apply(m_after); }
    ChartSlot chart() const { return m_slot; }

  private:
    void apply(const QString& description);
    Document& m_doc;
    ChartSlot m_slot;
    QString m_before, m_after;
};

// A tempo cell of a chart at any row: a BPM change or freeze added (a
// value) or deleted (none).
class SetTempoCommand : public QUndoCommand {
  public:
    SetTempoCommand(Document& doc, ChartSlot slot, Tick tick, int channel,
                    std::optional<double> before, std::optional<double> after);
    void undo() override { apply(m_before); }
    void redo() override { apply(m_after); }

  private:
    void apply(std::optional<double> v);
    Document& m_doc;
    ChartSlot m_slot;
    Tick m_tick;
    int m_channel;
    std::optional<double> m_before, m_after;
};

// A summary text; typing into one field merges into one step while the
// document's merge serial stays the same.
class SetFieldCommand : public QUndoCommand {
  public:
    SetFieldCommand(Document& doc, SummaryField field, QString before, QString after);
    void undo() override { apply(m_before); }
    void redo() override { apply(m_after); }
    int id() const override { return 1000 + int(m_field); }
    bool mergeWith(const QUndoCommand* other) override;

  private:
    void apply(const QString& text);
    Document& m_doc;
    SummaryField m_field;
    QString m_before, m_after;
    int m_serial;
};

class SetMarkAsNewCommand : public QUndoCommand {
  public:
    SetMarkAsNewCommand(Document& doc, int before, int after);
    void undo() override { apply(m_before); }
    void redo() override { apply(m_after); }

  private:
    void apply(int v);
    Document& m_doc;
    int m_before, m_after;
};

} // namespace kolvo
