#pragma once

#include "core/timing/timingmath.h"
#include "ui/timing/windowlock.h"

#include <QWidget>

#include <array>

class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kolvo {

struct AppContext;

// "Synchronisation Checker": Test plays the song from the first beat and
// eight lights come on one per beat (with a beep); the buttons nudge the gap
// and the BPM until the lights follow the music, and OK copies both into the
// summary fields. The song plays at the speed chosen in the window (kept
// under "synchro"); the lights follow the song's own beats at any speed.
// Escape closes the window; closing stops the music it played.
class Synchro : public QWidget {
    Q_OBJECT
  public:
    // `opener` (the summary window, or the step grabber setup; may be null)
    // is disabled until this window closes. The boxes start with the
    // summary's bpm and gap.
    Synchro(AppContext& ctx, QWidget* opener, QWidget* parent = nullptr);
    ~Synchro() override;

    QLineEdit* bpmEdit() const { return m_bpmEdit; }
    QLineEdit* gapEdit() const { return m_gapEdit; }                        // ms
    QFrame* lightFrame(int i) const { return m_lights.at(std::size_t(i)); } // 1..8
    QPushButton* testButton() const { return m_testButton; }
    QPushButton* tooEarlyButton() const { return m_tooEarlyButton; }
    QPushButton* tooSlowButton() const { return m_tooSlowButton; }
    QPushButton* tooLateButton() const { return m_tooLateButton; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* tooQuickButton() const { return m_tooQuickButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* loadButton() const { return m_loadButton; }  // load the song into the player
    QTimer* beatPollTimer() const { return m_beatPollTimer; } // every 50 ms
    QTimer* beatTimer() const { return m_beatTimer; }
    QComboBox* speedChoice() const { return m_speedChoice; }

    const timing::SyncBeatCounter& counter() const { return m_counter; }
    int syncbeat() const { return m_counter.syncbeat; }
    int synclight() const { return m_counter.synclight; }
    bool lightOn(int i) const;
    int beeps() const { return m_beeps; }

  public slots:
    void test();
    // One poll of the beat timer.
    void pollBeat();

  signals:
    // A light came on (or the row cleared) for beat `syncbeat`, at play
    // position `positionMs`.
    void beat(int syncbeat, int positionMs);
    // Once, when the window closes by any means.
    void unloaded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    double bpmValue() const;
    double gapValue() const;
    void nudge(QLineEdit* box, double by);
    void paintLights();
    void okClicked();
    void cancelClicked();
    void loadClicked();
    void unload();
    // No player answers: the lights stop and the user is told to load one.
    void playerNotFound();

    AppContext& m_ctx;
    WindowLock m_lock;
    timing::SyncBeatCounter m_counter;
    int m_beeps = 0;
    bool m_closing = false;
    bool m_unloaded = false;
    bool m_played = false; // Test has started the music

    QLineEdit* m_bpmEdit = nullptr;
    QLineEdit* m_gapEdit = nullptr;
    std::array<QFrame*, 9> m_lights{}; // 1..8
    QPushButton* m_testButton = nullptr;
    QPushButton* m_tooEarlyButton = nullptr;
    QPushButton* m_tooSlowButton = nullptr;
    QPushButton* m_tooLateButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_tooQuickButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_loadButton = nullptr;
    QTimer* m_beatPollTimer = nullptr;
    QTimer* m_beatTimer = nullptr; // one-shot: a poll at a beat due between two ticks
    QTimer* m_loadTimer = nullptr;
    QComboBox* m_speedChoice = nullptr;
};

} // namespace kolvo
