#include "ui/platform/historyactions.h"

#include "core/song/songmodel.h"
#include "document/document.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QUndoStack>
#include <QWidget>

#include <optional>

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

// The step's name, with its chart when that is not the open one:
// "Clear Bar, bar 12" -> "Clear Bar, Single Maniac bar 12".
QString stepCaption(const SongModel& song, const QUndoCommand* step,
                    const std::optional<ChartSlot>& open, bool& otherChart) {
    QString text = step->actionText();
    const std::optional<ChartSlot> chart = Document::chartOf(step);
    otherChart = open && ((chart && *chart != *open) || Document::movesCharts(step));
    // A chart not in the song now (one a step adds) is named by the step.
    if (!chart || (open && *chart == *open) || !song.usedSlot(*chart))
        return text;
    const QString name = song.chart(*chart).name();
    const QString atBar = QStringLiteral(", bar ");
    if (text.contains(atBar))
        text.replace(text.indexOf(atBar), atBar.size(),
                     QStringLiteral(", ") + name + QStringLiteral(" bar "));
    else if (!text.contains(name))
        text += QStringLiteral(", ") + name;
    return text;
}

QAction* historyAction(Document& doc, QWidget* owner, bool undo, const OpenChart& openChart) {
    QUndoStack& history = doc.history();
    const QString prefix = undo ? QStringLiteral("&Undo") : QStringLiteral("&Redo");
    auto* action = new QAction(prefix, owner);
    action->setObjectName(undo ? QStringLiteral("undomenu") : QStringLiteral("redomenu"));
    action->setShortcut(undo ? QKeySequence(Qt::CTRL | Qt::Key_Z)
                             : QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    action->setShortcutContext(Qt::WindowShortcut);
    // A window showing one chart (the editor and its tools) does not take
    // back or redo another chart's step, which it could not show: the
    // caption names that chart and says where it can be undone.
    auto follow = [action, prefix, &history, &doc, undo, openChart] {
        const int at = undo ? history.index() - 1 : history.index();
        const QUndoCommand* step = at >= 0 && at < history.count() ? history.command(at) : nullptr;
        if (!step) {
            action->setEnabled(false);
            action->setText(prefix);
            return;
        }
        bool otherChart = false;
        const std::optional<ChartSlot> open = openChart ? openChart() : std::optional<ChartSlot>();
        const QString text = stepCaption(doc.song(), step, open, otherChart);
        action->setEnabled(!otherChart);
        action->setText(prefix + u' ' + text +
                        (otherChart ? QStringLiteral(" (another chart: close the editor to ") +
                                          (undo ? QStringLiteral("undo") : QStringLiteral("redo")) +
                                          QStringLiteral(" it)")
                                    : QString()));
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

HistoryActions makeHistoryActions(Document& doc, QWidget* owner, const OpenChart& openChart) {
    new HistoryKeys(owner->window());
    return {historyAction(doc, owner, true, openChart),
            historyAction(doc, owner, false, openChart)};
}

void shareHistoryActions(const HistoryActions& actions, QWidget* window) {
    if (!window)
        return;
    window->addAction(actions.undo);
    window->addAction(actions.redo);
    new HistoryKeys(window);
}

} // namespace kolvo
