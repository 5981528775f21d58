#pragma once

#include "core/song/songmodel.h"
#include "ui/timing/editorlink.h"
#include "ui/timing/windowlock.h"

#include <QWidget>

class QLabel;
class QTimer;

namespace kolvo {
class TempoMap;

struct AppContext;

// "Now grabbing.": records arrows into the current chart while the song
// plays; each key press lands on the bar and row the play position gives
// through the song's timing (BPM changes and stops included), snapped to
// the steps a bar chosen in the setup (grabberStepsPerBar()). A key makes a
// plain arrow when it goes down, however long it is held and whatever the
// setup's freeze choice ("option3") holds. The song plays at the speed kept
// under "stepgrabber" (shown in the window); presses are placed by the song's
// own time at any speed. The editor and its open tool windows stay
// disabled (and unpainted) until it closes; closing stops the music.
class Grabber : public QWidget {
    Q_OBJECT
  public:
    Grabber(AppContext& ctx, EditorLink link, QWidget* parent = nullptr);
    ~Grabber() override;

    // The load steps: refuses a BPM that is 0 or not a number, finds the
    // running player, then Stop, the speed, Play and a jump to the first
    // beat of currentbar. On a refusal or a missing player it says why and closes;
    // returns false then.
    bool start();

    QLabel* escapeHint() const { return m_escapeHint; } // "Press Escape at any time to stop."
    QLabel* barDisplay() const { return m_barDisplay; }
    QLabel* keyIndicator() const { return m_keyIndicator; } // lit while a key is down
    QLabel* speedLabel() const { return m_speedLabel; }
    int speed() const { return m_speed; } // percent
    QTimer* barDisplayTimer() const { return m_barDisplayTimer; }

    // A key (virtual-key code) going down or up.
    void keyDown(int virtualKey);
    void keyUp();

  public slots:
    // One tick of the bar display.
    void updateBarDisplay();

  signals:
    // An arrow was written at (tick, panel) for a key read at play position
    // `positionMs`.
    void placed(kolvo::Tick tick, int panel, int positionMs);
    // Once, when the window closes by any means (after the editor has been
    // enabled again and asked to repaint).
    void unloaded();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    double bpm() const;
    double gap() const;
    TempoMap tempoMap() const;
    void unload();
    // The player stopped answering: stop, say so, close; the steps stay.
    void playerGone();

    AppContext& m_ctx;
    EditorLink m_link;
    WindowLock m_lock;
    bool m_closing = false;
    // The chart as it was when the window opened.
    ChartSlot m_chart = -1;
    ChartSteps m_before;
    bool m_unloaded = false;
    bool m_playing = false; // start() has started the music
    bool m_playerGone = false;
    int m_speed = 100;

    QLabel* m_escapeHint = nullptr;
    QLabel* m_focusHint = nullptr;
    QLabel* m_barDisplay = nullptr;
    QLabel* m_keyIndicator = nullptr;
    QLabel* m_speedLabel = nullptr;
    QTimer* m_barDisplayTimer = nullptr;
};

// The snap setting as the grabber reads it at every key press ("option1" of
// "stepgrabber"; absent counts as 0; a text that is no whole number gives a
// value outside 0..3, which snaps nothing). 3 is a finer snap, kept as steps
// a bar under "finesnap".
int grabberSnapSetting();
constexpr int kFinerSnapSetting = 3;
// The steps a bar the grabber snaps a press to: 4, 8, 16 for settings 0..2,
// the "finesnap" steps for setting 3; 0 (no snap) otherwise.
int grabberStepsPerBar();

// The message shown when the song's BPM cannot be timed (0 or no number).
QString unusableBpmMessage(const QString& bpmText);

} // namespace kolvo
