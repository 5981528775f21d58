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

    QRadioButton* Option1(int i) const { return m_option1.at(std::size_t(i)); } // snap 0..2
    QRadioButton* Option3(int i) const { return m_option3.at(std::size_t(i)); } // freezes 0..2
    QPushButton* Command1() const { return m_command1; } // "Synchronise your file"
    QPushButton* Command2() const { return m_command2; } // "Test your keys"
    QPushButton* Command3() const { return m_command3; } // start from the current bar
    QPushButton* Command4() const { return m_command4; } // start from bar 1
    QPushButton* Command5() const { return m_command5; } // "Close"
    QTimer* Timer1() const { return m_timer1; }          // one-shot 1000 ms, for LoadWinamp
    QComboBox* Speed() const { return m_speed; }         // the grabber's playback speed

    int grabberstarted() const { return m_grabberstarted; }
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
    void option1Clicked(int i);
    void option3Clicked(int i);
    void openSynchro();
    void openKeyTester();
    void startGrabbing(bool fromBarOne);
    void unload();

    AppContext& m_ctx;
    EditorLink m_link;
    WindowLock m_lock;
    int m_grabberstarted = 0;
    bool m_closing = false;
    bool m_unloaded = false;
    QPointer<Synchro> m_synchro;
    QPointer<KeyTester> m_keyTester;
    QPointer<Grabber> m_grabber;

    std::array<QRadioButton*, 3> m_option1{};
    std::array<QRadioButton*, 3> m_option3{};
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QPushButton* m_command4 = nullptr;
    QPushButton* m_command5 = nullptr;
    QTimer* m_timer1 = nullptr;
    QComboBox* m_speed = nullptr;
};

// A stored option as the setup reads it: the whole number 0..2 that `text`
// holds, otherwise `fallback`.
int storedOption(const QString& text, int fallback);

} // namespace kolvo
