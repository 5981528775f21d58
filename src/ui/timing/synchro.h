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

    QLineEdit* Text1() const { return m_text1; }                        // BPM
    QLineEdit* Text2() const { return m_text2; }                        // gap in ms
    QFrame* Shapes(int i) const { return m_shapes.at(std::size_t(i)); } // lights 1..8
    QPushButton* Command1() const { return m_command1; }                // Test
    QPushButton* Command2() const { return m_command2; }                // Too early
    QPushButton* Command3() const { return m_command3; }                // Too slow
    QPushButton* Command4() const { return m_command4; }                // Too late
    QPushButton* Command5() const { return m_command5; }                // OK
    QPushButton* Command6() const { return m_command6; }                // Too quick
    QPushButton* Command7() const { return m_command7; }                // Cancel
    QPushButton* Command8() const { return m_command8; } // load the song into the player
    QTimer* Timer1() const { return m_timer1; }          // the 50 ms beat poll
    QTimer* beatTimer() const { return m_beatTimer; }
    QComboBox* Speed() const { return m_speed; }

    const timing::SyncBeatCounter& counter() const { return m_counter; }
    int syncbeat() const { return m_counter.syncbeat; }
    int synclight() const { return m_counter.synclight; }
    bool lightOn(int i) const;
    int beeps() const { return m_beeps; }

  public slots:
    void test();
    // One poll of the beat timer.
    void tick();

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

    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    std::array<QFrame*, 9> m_shapes{}; // 1..8
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QPushButton* m_command4 = nullptr;
    QPushButton* m_command5 = nullptr;
    QPushButton* m_command6 = nullptr;
    QPushButton* m_command7 = nullptr;
    QPushButton* m_command8 = nullptr;
    QTimer* m_timer1 = nullptr;
    QTimer* m_beatTimer = nullptr; // one-shot: a poll at a beat due between two ticks
    QTimer* m_loadTimer = nullptr;
    QComboBox* m_speed = nullptr;
};

} // namespace kolvo
