#include "ui/platform/historyactions.h"

#include "document/document.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QUndoStack>
#include <QWidget>

namespace kolvo {

namespace {

// Text boxes keep Ctrl+Z for their own typing; in a window with the song's
// history the history's Undo and Redo take those keys instead (what was
// typed into a field is a step of the history already).
class HistoryKeys : public QObject {
  public:
    HistoryKeys(QWidget* window) : QObject(window), m_window(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != m_window)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        if (pressed == QKeySequence(Qt::CTRL | Qt::Key_Z) ||
            pressed == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z))
            return true; // not offered to the box: the shortcut runs
        return false;
    }

  private:
    QWidget* m_window;
};

QAction* historyAction(Document& doc, QWidget* owner, bool undo) {
    QUndoStack& history = doc.history();
    const QString prefix = undo ? QStringLiteral("&Undo") : QStringLiteral("&Redo");
    auto* action = new QAction(prefix, owner);
    action->setObjectName(undo ? QStringLiteral("undomenu") : QStringLiteral("redomenu"));
    action->setShortcut(undo ? QKeySequence(Qt::CTRL | Qt::Key_Z)
                             : QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    action->setShortcutContext(Qt::WindowShortcut);
    auto follow = [action, prefix, &history, undo] {
        const bool can = undo ? history.canUndo() : history.canRedo();
        const QString text = undo ? history.undoText() : history.redoText();
        action->setEnabled(can);
        action->setText(text.isEmpty() ? prefix : prefix + u' ' + text);
    };
    follow();
    QObject::connect(&history, &QUndoStack::indexChanged, action, follow);
    QObject::connect(&history, &QUndoStack::cleanChanged, action, follow);
    QPointer<QWidget> guard(owner);
    QObject::connect(action, &QAction::triggered, owner, [guard, &doc, undo] {
        // A window another one has locked takes no input, shortcuts included.
        if (!guard || !guard->window()->isEnabled())
            return;
        doc.closeMerging();
        if (undo)
            doc.history().undo();
        else
            doc.history().redo();
    });
    owner->addAction(action);
    return action;
}

} // namespace

HistoryActions makeHistoryActions(Document& doc, QWidget* owner) {
    new HistoryKeys(owner->window());
    return {historyAction(doc, owner, true), historyAction(doc, owner, false)};
}

void shareHistoryActions(const HistoryActions& actions, QWidget* window) {
    if (!window)
        return;
    window->addAction(actions.undo);
    window->addAction(actions.redo);
    new HistoryKeys(window);
}

} // namespace kolvo
