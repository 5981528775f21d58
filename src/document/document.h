#pragma once

#include "core/song/songmodel.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <cstdint>
#include <optional>

namespace kolvo {

// The open song with its undo history: every edit a window makes goes
// through here as one undoable step, and every step, done, undone or redone,
// ends in one changed() saying what it touched. The history's clean state is
// the song as last saved or opened.
//
// The song itself stays a plain model; code that fills it wholesale (reading
// a file, New) works on it directly and then calls startFresh().
class Document : public QObject {
    Q_OBJECT
  public:
    explicit Document(SongModel& song, QObject* parent = nullptr);
    ~Document() override;

    SongModel& song() const { return m_song; }
    QUndoStack& history() { return m_history; }

    // The song differs from what was last saved or opened.
    bool isModified() const { return !m_history.isClean(); }
    // The song as it is now is what the work file at `path` holds (after a
    // Save).
    void markSaved(const QString& path);
    // A new song (New, Open, Import): no history, nothing unsaved, no path
    // (Open sets the path after reading).
    void startFresh();
    // A song put back from a recovery copy: no history, unsaved, and saved
    // to `path` next (may be "").
    void startRestored(const QString& path);
    // Something that may bring the program down is about to run (the
    // simulator, the player): a recovery copy is written first.
    void beforeRiskyStep() { emit riskAhead(); }
    // The work file the song was last opened from or saved to ("" for none).
    const QString& filePath() const { return m_filePath; }
    void setFilePath(const QString& path) { m_filePath = path; }

    // ---- edits: each is one step of the history ----
    // One arrow cell (a press on the step grid).
    void setStep(int style, int level, int bar, int row, int panel, std::uint8_t value);
    // A whole chart's cells replaced by `steps` (a bar operation, paste or
    // transformation run on a copy). Bars first..last are what changed.
    // Nothing is recorded when the cells are equal.
    void replaceChart(int style, int level, ChartSteps steps, const QString& name, int firstBar,
                      int lastBar);
    // Cells already written straight into the model since `before` was
    // taken (a grabbing session records live): one step that puts `before`
    // back on undo. Nothing is recorded when nothing changed.
    void recordChart(int style, int level, ChartSteps before, const QString& name);
    // Edit > Delete: the chart's arrows emptied and its flag cleared.
    void clearChart(int style, int level);
    void setFootlevel(int style, int level, const Value& value);
    // A BPM change or freeze added (value) or deleted (nullopt) on a beat
    // (1..4) of a bar, or at any row of a chart.
    void setTempo(int style, int level, int bar, int beat, int channel,
                  std::optional<double> value);
    void setTempoAt(ChartSlot slot, Tick tick, int channel, std::optional<double> value);
    // A summary text. Typing into one field merges into one step until
    // closeMerging() (another field or window took over).
    void setField(SummaryField field, const QString& text);
    // Mark as new.
    void setCheck1(int value);
    void closeMerging() { ++m_mergeSerial; }
    int mergeSerial() const { return m_mergeSerial; }

    // Runs the changes made inside as one step of the history. A step in
    // which nothing changed leaves no trace.
    void beginStep(const QString& name);
    void endStep();

    // The chart a step of the history belongs to; none for a step of the
    // whole song (a summary field, a tempo event, several things at once).
    static std::optional<ChartId> chartOf(const QUndoCommand* step);

    // Called by the steps of the history once applied.
    void announce(const SongChange& change) { emit changed(change); }

    // A readable name of a summary field ("BPM", "Song Name", ...).
    static QString fieldName(SummaryField field);

  signals:
    // After every edit, undo and redo; windows showing the song listen.
    void changed(const kolvo::SongChange& change);
    // The song became unsaved, or saved again.
    void modifiedChanged(bool modified);
    // After markSaved() / startFresh(): the song on disk or a new one.
    void saved();
    void startedFresh();
    void riskAhead();

  private:
    SongModel& m_song;
    QUndoStack m_history;
    int m_mergeSerial = 0;
    int m_stepDepth = 0;
    QString m_filePath;
};

} // namespace kolvo
