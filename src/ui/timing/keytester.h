#pragma once

#include "ui/timing/windowlock.h"

#include <QHash>
#include <QString>
#include <QWidget>

class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kolvo {

// "Key Tester": shows which of the grabber's keys the keyboard delivers.
// Ten indicators light while their key is held in the box.
class KeyTester : public QWidget {
    Q_OBJECT
  public:
    // `setupWindow` (may be null) is disabled until this window closes.
    explicit KeyTester(QWidget* setupWindow, QWidget* parent = nullptr);
    ~KeyTester() override;

    // 0 "Single / Solo", 1 "Double / Couple".
    QRadioButton* modeButton(int i) const { return i == 0 ? m_single : m_double; }
    QLineEdit* testBox() const { return m_testBox; }
    QPushButton* okButton() const { return m_okButton; }
    // The indicator named l, ul, d, u, ur, r, l2, d2, u2 or r2.
    QFrame* indicator(const QString& name) const;
    bool lit(const QString& name) const;

    // A key (virtual-key code) going down or up in the box.
    void keyDown(int virtualKey);
    void keyUp(int virtualKey);

  signals:
    void unloaded();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void light(int virtualKey, bool on);
    void unload();

    WindowLock m_lock;
    bool m_unloaded = false;
    QHash<QString, QFrame*> m_indicators; // by name
    QRadioButton* m_single = nullptr;
    QRadioButton* m_double = nullptr;
    QLineEdit* m_testBox = nullptr;
    QPushButton* m_okButton = nullptr;
};

} // namespace kolvo
