#pragma once

#include "core/song/songmodel.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <cstdint>
#include <optional>

namespace kolvo {

// The open song with its undo history, and the song's only voice. Windows
// read the song through song(); every change, an edit (one undoable step),
// New, Open, Import or a recovery, goes through here and ends in one
// changed() saying what it touched, or that everything was replaced. The
// history's clean state is the song as last saved or opened.
class Document : public QObject {
    Q_OBJECT
  public:
    explicit Document(SongModel& song, QObject* parent = nullptr);
    ~Document() override;

    // The song, to read.
    const SongModel& song() const { return m_song; }
    QUndoStack& history() { return m_history; }

    // The song differs from what was last saved or opened.
    bool isModified() const { return !m_history.isClean(); }
    // The song as it is now is what the work file at `path` holds (after a
    // Save).
    void markSaved(const QString& path);
    // ---- the whole song replaced: no history, one changed(everything) ----
    // New: the reset song, nothing unsaved, no path.
    void newSong();
    // Open or Import: `from` becomes the song, nothing unsaved; `path` is the
    // work file it was read from ("" for an import: Save asks).
    void loadSong(const SongModel& from, const QString& path);
    // A recovery copy put back: `from` becomes the song, unsaved, and is
    // saved to `path` next (may be "").
    void restoreSong(const SongModel& from, const QString& path);
    // The song as it stands is taken as new (no history, nothing unsaved, no
    // path); startRestored as restoreSong without a song to copy.
    void startFresh();
    void startRestored(const QString& path);

    // What the editor does when it opens a chart: a chart without data gets
    // data and foot level 1. Not a step of the history: the song is
    // unchanged until something is drawn.
    void openChart(ChartSlot chart);
    // One note placed live by a grabbing session, outside the history; the
    // session records the whole grab as one step when it ends (recordChart).
    void placeLive(ChartSlot chart, Tick tick, int panel, NoteKind kind);
    // Something that may bring the program down is about to run (the
    // simulator, the player): a recovery copy is written first.
    void beforeRiskyStep() { emit riskAhead(); }
    // The work file the song was last opened from or saved to ("" for none).
    const QString& filePath() const { return m_filePath; }
    void setFilePath(const QString& path) { m_filePath = path; }

    // ---- edits: each is one step of the history ----
    // Charts are named by their slot in the song (SongModel::slotOf() for
    // a chart of the table, Beginner included; an Edit chart's own slot).
    // One arrow cell (a press on the step grid).
    void setStep(ChartSlot chart, int bar, int row, int panel, std::uint8_t value);
    // A whole chart's cells replaced by `steps` (a bar operation, paste or
    // transformation run on a copy). Bars first..last are what changed.
    // Nothing is recorded when the cells are equal.
    void replaceChart(ChartSlot chart, ChartSteps steps, const QString& name, int firstBar,
                      int lastBar);
    // Cells already written straight into the model since `before` was
    // taken (a grabbing session records live): one step that puts `before`
    // back on undo. Nothing is recorded when nothing changed.
    void recordChart(ChartSlot chart, ChartSteps before, const QString& name);
    // Edit > Delete: the chart's arrows emptied and its flag cleared.
    void clearChart(ChartSlot chart);
    void setFootlevel(ChartSlot chart, const Value& value);
    // A BPM change or freeze added (value) or deleted (nullopt) on a beat
    // (1..4) of a bar, or at any row of a chart.
    void setTempo(ChartSlot chart, int bar, int beat, int channel, std::optional<double> value);
    void setTempoAt(ChartSlot slot, Tick tick, int channel, std::optional<double> value);
    // A new Edit chart of a dance style (1..4) with a description; its slot,
    // or -1 when the style is not one or the style already has an Edit
    // chart of that description.
    ChartSlot addEditChart(int style, const QString& description);
    // An Edit chart given a new description; false when the slot is no Edit
    // chart or another Edit chart of its style has that description.
    bool renameChart(ChartSlot chart, const QString& description);
    // An Edit chart taken out of the song whole (undo puts it back at its
    // slot, notes, timing and all); the charts after it move down a slot.
    void removeChart(ChartSlot chart);
    // Whether an Edit chart of `style` other than `except` has `description`.
    bool editChartNamed(int style, const QString& description, ChartSlot except = -1) const;

    // A summary text. Typing into one field merges into one step until
    // closeMerging() (another field or window took over).
    void setField(SummaryField field, const QString& text);
    // "Mark as new": 0 Never, 1 Always, 2 Normal.
    void setMarkAsNew(int value);
    void closeMerging() { ++m_mergeSerial; }
    int mergeSerial() const { return m_mergeSerial; }

    // Runs the changes made inside as one step of the history. A step in
    // which nothing changed leaves no trace.
    void beginStep(const QString& name);
    void endStep();

    // The chart a step of the history belongs to; none for a step of the
    // whole song (a summary field, a tempo event, several things at once).
    static std::optional<ChartSlot> chartOf(const QUndoCommand* step);
    // A step that adds or removes a chart, so the slots after it move: a
    // window showing one chart never takes it back or redoes it.
    static bool movesCharts(const QUndoCommand* step);

    // Called by the steps of the history once applied.
    void announce(const SongChange& change) { emit changed(change); }

  signals:
    // After every edit, undo and redo, and after the whole song was
    // replaced (SongChange::replacedEverything()); windows showing the song
    // listen.
    void changed(const kolvo::SongChange& change);
    // The song became unsaved, or saved again.
    void modifiedChanged(bool modified);
    // After markSaved(): the song is on disk.
    void saved();
    void riskAhead();

  private:
    // The steps of the history are the only code that writes the song.
    friend class SetStepCommand;
    friend class SwapChartCommand;
    friend class SetFootlevelCommand;
    friend class SetTempoCommand;
    friend class SetFieldCommand;
    friend class SetMarkAsNewCommand;
    friend class SetNoteCommand;
    friend class ChartPresenceCommand;
    friend class RenameChartCommand;
    SongModel& songForEdit() { return m_song; }

    void freshHistory(bool modified, const QString& path);

    SongModel& m_song;
    QUndoStack m_history;
    int m_mergeSerial = 0;
    int m_stepDepth = 0;
    QString m_filePath;
};

} // namespace kolvo
