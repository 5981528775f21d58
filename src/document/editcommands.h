#pragma once

#include "core/song/songmodel.h"

#include <QUndoCommand>

#include <cstdint>
#include <optional>
#include <utility>

namespace kolvo {

class Document;

// The steps of the undo history, one class per kind of edit. Each applies
// its change to the song on redo, takes it back on undo, and announces what
// it touched through the document.

// A step that changes one value of the song: redo writes the value after the
// edit, undo the value before it. A subclass says where the value lives
// (write()). Steps that merge (typing into a field, repeated presses) take a
// later step's value when it changes the same thing while the document's
// merge serial stays the same; a merge that ends where it began leaves an
// obsolete step, which the history drops.
template <typename T> class ChangeValueCommand : public QUndoCommand {
  public:
    void undo() override { write(m_before); }
    void redo() override { write(m_after); }

  protected:
    ChangeValueCommand(Document& doc, T before, T after, int mergeSerial = 0)
        : m_doc(doc), m_before(std::move(before)), m_after(std::move(after)),
          m_serial(mergeSerial) {}
    virtual void write(const T& value) = 0;
    // For mergeWith(): `later` is a step of the same id.
    bool takeLater(const QUndoCommand* later, bool sameTarget) {
        const auto* o = static_cast<const ChangeValueCommand*>(later);
        if (!sameTarget || o->m_serial != m_serial)
            return false;
        m_after = o->m_after;
        setObsolete(m_after == m_before);
        return true;
    }
    Document& m_doc;

  private:
    T m_before, m_after;
    int m_serial;
};

// One arrow cell.
class SetStepCommand : public ChangeValueCommand<std::uint8_t> {
  public:
    SetStepCommand(Document& doc, ChartSlot chart, int bar, int row, int panel, std::uint8_t before,
                   std::uint8_t after);
    ChartSlot chart() const { return m_chart; }

  private:
    void write(const std::uint8_t& value) override;
    ChartSlot m_chart;
    int m_bar, m_row, m_panel;
};

// One note of any kind at any row of a chart (kind None removes it), as one
// step of the document's history. A note the old grid can hold (an arrow or
// freeze start on a 32nd row) is the same step a press on that grid has
// always made.
void setNote(Document& doc, ChartSlot chart, Tick tick, int panel, NoteKind kind);

// One note at any row of a chart, of any kind.
class SetNoteCommand : public ChangeValueCommand<NoteKind> {
  public:
    SetNoteCommand(Document& doc, ChartSlot chart, Tick tick, int panel, NoteKind before,
                   NoteKind after);
    ChartSlot chart() const { return m_chart; }

  private:
    void write(const NoteKind& kind) override;
    ChartSlot m_chart;
    Tick m_tick;
    int m_panel;
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

// A chart's foot level; repeated presses on one chart merge into one step.
class SetFootlevelCommand : public ChangeValueCommand<Value> {
  public:
    SetFootlevelCommand(Document& doc, ChartSlot chart, Value before, Value after);
    int id() const override { return 900; }
    bool mergeWith(const QUndoCommand* other) override;
    ChartSlot chart() const { return m_chart; }

  private:
    void write(const Value& v) override;
    ChartSlot m_chart;
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
class RenameChartCommand : public ChangeValueCommand<QString> {
  public:
    RenameChartCommand(Document& doc, ChartSlot slot, QString before, QString after);
    ChartSlot chart() const { return m_slot; }

  private:
    void write(const QString& description) override;
    ChartSlot m_slot;
};

// A tempo cell of a chart at any row: a BPM change or freeze added (a
// value) or deleted (none).
class SetTempoCommand : public ChangeValueCommand<std::optional<double>> {
  public:
    SetTempoCommand(Document& doc, ChartSlot slot, Tick tick, int channel,
                    std::optional<double> before, std::optional<double> after);

  private:
    void write(const std::optional<double>& v) override;
    ChartSlot m_slot;
    Tick m_tick;
    int m_channel;
};

// A summary text; typing into one field merges into one step while the
// document's merge serial stays the same.
class SetFieldCommand : public ChangeValueCommand<QString> {
  public:
    SetFieldCommand(Document& doc, SummaryField field, QString before, QString after);
    int id() const override { return 1000 + int(m_field); }
    bool mergeWith(const QUndoCommand* other) override;

  private:
    void write(const QString& text) override;
    SummaryField m_field;
};

class SetMarkAsNewCommand : public ChangeValueCommand<int> {
  public:
    SetMarkAsNewCommand(Document& doc, int before, int after);

  private:
    void write(const int& v) override;
};

} // namespace kolvo
