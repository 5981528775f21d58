#pragma once

#include "ui/timing/editorlink.h"
#include "ui/timing/grabber.h"
#include "ui/timing/keytester.h"
#include "ui/timing/synchro.h"
#include "ui/timing/windowlock.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QComboBox;
class QPushButton;
class QRadioButton;
class QTimer;

namespace kolvo {

struct AppContext;

// "StepGrabber Setup": the grabber's stored options, the way to the sync
// checker and the key tester, and the two start buttons. The editor and its
// open tool windows are disabled while it is open; once a start button has
// handed over to the grabber they stay disabled until the grabber closes.
// The playback speed chosen here (kept under "stepgrabber") is the
// grabber's. Escape closes the window.
class StepGrabberSetup : public QWidget {
    Q_OBJECT
  public:
    StepGrabberSetup(AppContext& ctx, EditorLink link, QWidget* parent = nullptr);
    ~StepGrabberSetup() override;

    // The option buttons by their stored value (snaps 0..3, 3 the finer
    // snap; freezes 0..2).
    QRadioButton* snapButton(int i) const { return m_snapButtons.at(std::size_t(i)); }
    QRadioButton* freezeButton(int i) const { return m_freezeButtons.at(std::size_t(i)); }
    QPushButton* syncCheckerButton() const { return m_syncCheckerButton; }
    QPushButton* keyTesterButton() const { return m_keyTesterButton; }
    QPushButton* startAtCurrentBarButton() const { return m_startAtCurrentBarButton; }
    QPushButton* startAtBarOneButton() const { return m_startAtBarOneButton; }
    QPushButton* closeButton() const { return m_closeButton; }
    // One-shot 1000 ms, for LoadWinamp.
    QTimer* playerLoadTimer() const { return m_playerLoadTimer; }
    QComboBox* speedChoice() const { return m_speedChoice; }
    // The steps a bar of the finer snap (kept under "finesnap").
    QComboBox* finerSnapChoice() const { return m_finerSnapChoice; }

    int grabberStarted() const { return m_grabberStarted; }
    // The windows this one opened (null when not open).
    Synchro* synchro() const { return m_synchro; }
    KeyTester* keyTester() const { return m_keyTester; }
    Grabber* grabber() const { return m_grabber; }

  signals:
    // The grabber is open and recording (this window closes right after).
    void grabberOpened(kolvo::Grabber* grabber);
    // Once, when the window closes by any means.
    void unloaded();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void snapChosen(int i);
    void finerSnapChosen();
    void freezeChoiceChosen(int i);
    void openSynchro();
    void openKeyTester();
    void startGrabbing(bool fromBarOne);
    void unload();

    AppContext& m_ctx;
    EditorLink m_link;
    WindowLock m_lock;
    int m_grabberStarted = 0;
    bool m_closing = false;
    bool m_unloaded = false;
    QPointer<Synchro> m_synchro;
    QPointer<KeyTester> m_keyTester;
    QPointer<Grabber> m_grabber;

    std::array<QRadioButton*, 4> m_snapButtons{};
    std::array<QRadioButton*, 3> m_freezeButtons{};
    QPushButton* m_syncCheckerButton = nullptr;
    QPushButton* m_keyTesterButton = nullptr;
    QPushButton* m_startAtCurrentBarButton = nullptr;
    QPushButton* m_startAtBarOneButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QTimer* m_playerLoadTimer = nullptr;
    QComboBox* m_speedChoice = nullptr;
    QComboBox* m_finerSnapChoice = nullptr;
};

// A stored option as the setup reads it: the whole number 0..last that
// `text` holds, otherwise `fallback`.
int storedOption(const QString& text, int fallback, int last = 2);

} // namespace kolvo
