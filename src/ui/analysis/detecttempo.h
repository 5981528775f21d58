#pragma once

#include "analysis/tempoanalysis.h"
#include "ui/timing/windowlock.h"

#include <QFutureWatcher>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace kolvo {

struct AppContext;
enum class SummaryField : int;

// "Detect BPM and Gap": analyses the song's music file on a worker thread,
// with a progress bar and Cancel, then lists the tempos the music could be
// charted in with how likely each is, the likeliest chosen, and shows the
// chosen BPM, its gap and how sure the analysis is. "Use BPM", "Use Gap"
// and "Use Both" write the chosen figures into the summary fields; "Check by
// ear..." opens the synchronisation checker with them. Where the tempo
// changes, the tempo map found is listed, and "Use Tempo Map" writes it (the
// first BPM and its gap into the summary, the later BPM changes and the
// stops as the song's tempo events in place of those it had) as one step.
class DetectTempo : public QWidget {
    Q_OBJECT
  public:
    // Writes a figure into a summary field the way the field takes a typed value.
    using FieldWriter = std::function<void(SummaryField, const QString&)>;

    // Analyses the song's music file at once. `summaryWindow` (may be null)
    // is disabled until this window closes. Without `write`, figures go
    // into the song through the document as normalised number text.
    DetectTempo(AppContext& ctx, QWidget* summaryWindow, FieldWriter write = {},
                QWidget* parent = nullptr);
    ~DetectTempo() override;

    // True from the start of the analysis until its result is shown.
    bool running() const;
    const analysis::TempoResult& result() const { return m_result; }
    // The chosen candidate's figures as they are written ("" before there are any).
    QString bpmText() const;
    QString gapText() const;
    // Chooses another candidate (a row of the list).
    void choose(int candidate);

    QProgressBar* progressBar() const { return m_progress; }
    QLabel* statusLabel() const { return m_status; }
    QLabel* bpmLabel() const { return m_bpm; }
    QLabel* exactLabel() const { return m_exact; }
    QLabel* gapLabel() const { return m_gap; }
    QLabel* confidenceLabel() const { return m_confidence; }
    QListWidget* candidateList() const { return m_candidates; }
    QListWidget* tempoMapList() const { return m_tempoMap; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* useBpmButton() const { return m_useBpm; }
    QPushButton* useGapButton() const { return m_useGap; }
    QPushButton* useBothButton() const { return m_useBoth; }
    QPushButton* useMapButton() const { return m_useMap; }
    QPushButton* checkByEarButton() const { return m_checkByEar; }
    QPushButton* closeButton() const { return m_close; }

  signals:
    // The analysis ended (with figures, without, or cancelled).
    void finished();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void start();
    void cancel();
    void showResult();
    void use(bool bpm, bool gap);
    void useMap();
    void showCandidate(int row);
    const analysis::TempoCandidate* chosen() const;
    void checkByEar();

    AppContext& m_ctx;
    FieldWriter m_write;
    WindowLock m_lock;
    QPointer<QWidget> m_summary;
    QString m_music;
    std::shared_ptr<std::atomic<bool>> m_stop;
    QFutureWatcher<analysis::TempoResult> m_watcher;
    analysis::TempoResult m_result;
    bool m_running = false;
    int m_chosen = 0;

    QLabel* m_file = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_bpm = nullptr;
    QLabel* m_exact = nullptr;
    QLabel* m_gap = nullptr;
    QLabel* m_confidence = nullptr;
    QListWidget* m_candidates = nullptr;
    QLabel* m_tempoMapCaption = nullptr;
    QListWidget* m_tempoMap = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_useBpm = nullptr;
    QPushButton* m_useGap = nullptr;
    QPushButton* m_useBoth = nullptr;
    QPushButton* m_useMap = nullptr;
    QPushButton* m_checkByEar = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace kolvo
