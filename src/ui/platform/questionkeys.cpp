#include "ui/platform/questionkeys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace kolvo {

namespace {

class QuestionKeys : public QObject {
  public:
    QuestionKeys(QWidget* window, QWidget* firstFocus, QPushButton* defaultButton,
                 QPushButton* cancelButton)
        : QObject(window), m_window(window), m_first(firstFocus), m_default(defaultButton),
          m_cancel(cancelButton) {
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_window)
            return false;
        if (event->type() == QEvent::Show) {
            // After the window system has mapped it: ask for the keyboard.
            QTimer::singleShot(0, this, [this] {
                if (!m_window || !m_window->isVisible())
                    return;
                m_window->raise();
                m_window->activateWindow();
                if (m_first)
                    m_first->setFocus(Qt::ActiveWindowFocusReason);
            });
            return false;
        }
        if (event->type() != QEvent::KeyPress)
            return false;
        // Only keys the focused control left alone come up to the window.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return false;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            auto* focused = qobject_cast<QPushButton*>(m_window->focusWidget());
            QPushButton* press = focused && focused->isEnabled() ? focused : m_default.data();
            if (press && press->isEnabled())
                press->click();
            return true;
        }
        case Qt::Key_Escape:
            if (m_cancel && m_cancel->isEnabled())
                m_cancel->click();
            return true;
        default:
            return false;
        }
    }

  private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_first;
    QPointer<QPushButton> m_default;
    QPointer<QPushButton> m_cancel;
};

} // namespace

void giveQuestionKeys(QWidget* window, QWidget* firstFocus, QPushButton* defaultButton,
                      QPushButton* cancelButton) {
    new QuestionKeys(window, firstFocus, defaultButton, cancelButton);
}

} // namespace kolvo
