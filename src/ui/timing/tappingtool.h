#pragma once

#include "ui/timing/toolwidgets.h"
#include "ui/timing/windowlock.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;

namespace kolvo {

struct AppContext;

// What the gap finder and the BPM finder share: three steps, each moved on
// by Enter (or the keypad separator), a result with Accept and Reject,
// Escape to leave, the player checks before every key, and the summary
// window disabled while the tool is open.
class TappingTool : public QWidget {
    Q_OBJECT
  public:
    ~TappingTool() override;

    // The step in force: 1..3, or 0 while a result is on screen.
    int step() const { return m_step; }

    QLabel* stepOneLabel() const { return m_stepOneLabel; }
    QLabel* stepTwoLabel() const { return m_stepTwoLabel; }
    QLabel* stepThreeLabel() const { return m_stepThreeLabel; }
    QLabel* resultLabel() const { return m_resultLabel; }
    QLabel* escapeHint() const { return m_escapeHint; }
    QPushButton* acceptButton() const { return m_acceptButton; } // "Accept New Value"
    QPushButton* rejectButton() const { return m_rejectButton; } // "Reject New Value"
    // One-shot 1000 ms, for LoadWinamp.
    QTimer* playerLoadTimer() const { return m_playerLoadTimer; }

    // Handles one key as the window does (a virtual-key code).
    void keyDown(int virtualKey);

    // For tests: the clock the measurement reads.
    void setClock(ClockFn clock) { m_clock = std::move(clock); }

  signals:
    // Once, when the window closes by any means.
    void unloaded();

  protected:
    TappingTool(AppContext& ctx, QWidget* summaryWindow, const QString& objectName,
                const QString& caption, const QString& intro, const QString& step1,
                const QString& step2, const QString& step3, const QString& result, QWidget* parent);

    virtual void stepOne() = 0;
    virtual void stepTwo() = 0;
    virtual void stepThree() = 0;
    virtual void acceptResult() = 0;

    // Puts `step` (1..3, 0 = none) in force and paints the labels.
    void setStep(int step);
    // Shows the result line and both buttons.
    void showResult(const QString& text);
    // Where extra controls go (between the steps and the result line).
    QVBoxLayout* body() const { return m_body; }
    qint64 now() const { return m_clock(); }
    bool closing() const { return m_closing; }

    AppContext& m_ctx;

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void reject();
    void fitHeight();
    void unload();

    WindowLock m_lock;
    ClockFn m_clock = monotonicNowNs;
    int m_step = 1;
    bool m_busy = false; // a step is talking to the player
    bool m_closing = false;
    bool m_unloaded = false;

    QVBoxLayout* m_body = nullptr;
    QLabel* m_stepOneLabel = nullptr;
    QLabel* m_stepTwoLabel = nullptr;
    QLabel* m_stepThreeLabel = nullptr;
    QLabel* m_resultLabel = nullptr;
    QLabel* m_escapeHint = nullptr;
    QPushButton* m_acceptButton = nullptr;
    QPushButton* m_rejectButton = nullptr;
    QTimer* m_playerLoadTimer = nullptr;
};

} // namespace kolvo
