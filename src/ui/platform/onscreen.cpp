#include "ui/platform/onscreen.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace kolvo {

namespace {

bool isPlaceable(const QWidget* w) {
    if (!w || !w->isWindow() || !w->isVisible() || w->isMaximized() || w->isFullScreen())
        return false;
    switch (w->windowType()) {
    case Qt::Popup:
    case Qt::ToolTip:
    case Qt::Desktop:
        return false;
    default:
        return true;
    }
}

// The window a tool window belongs to (the editor for its docked tools).
QWidget* groupLeader(QWidget* w) {
    while (w->windowType() == Qt::Tool && w->parentWidget())
        w = w->parentWidget()->window();
    return w;
}

QRect groupRect(QWidget* leader) {
    QRect r = leader->frameGeometry();
    for (QWidget* child : leader->findChildren<QWidget*>())
        if (child->isWindow() && child->isVisible() && child->windowType() == Qt::Tool)
            r |= child->frameGeometry();
    return r;
}

QScreen* ownerScreen(QWidget* leader) {
    QWidget* owner = leader->parentWidget() ? leader->parentWidget()->window() : leader;
    if (QScreen* s = QGuiApplication::screenAt(owner->frameGeometry().center()))
        return s;
    return owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
}

int shiftInto(int low, int high, int areaLow, int areaHigh) {
    if (high - low > areaHigh - areaLow || low < areaLow)
        return areaLow - low; // too big: its start on the screen
    if (high > areaHigh)
        return areaHigh - high;
    return 0;
}

class OnScreenKeeper : public QObject {
  public:
    OnScreenKeeper() : QObject(QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type t = event->type();
        if (t != QEvent::Show && t != QEvent::Move && t != QEvent::Resize)
            return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || !w->isWindow())
            return false;
        // Once the events of the moment are through (a tool placed beside
        // its editor, the window system's own placement).
        QPointer<QWidget> leader = groupLeader(w);
        if (m_pending.contains(leader.data()))
            return false;
        m_pending.insert(leader.data());
        QTimer::singleShot(0, this, [this, leader, raw = leader.data()] {
            m_pending.remove(raw);
            if (leader)
                moveOntoScreen(leader);
        });
        return false;
    }

  private:
    QSet<QWidget*> m_pending;
};

} // namespace

void moveOntoScreen(QWidget* window) {
    QWidget* leader = groupLeader(window);
    if (!isPlaceable(leader))
        return;
    QScreen* screen = ownerScreen(leader);
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect group = groupRect(leader);
    const int dx = shiftInto(group.left(), group.right(), area.left(), area.right());
    const int dy = shiftInto(group.top(), group.bottom(), area.top(), area.bottom());
    if (dx != 0 || dy != 0)
        leader->move(leader->pos() + QPoint(dx, dy));
}

void keepWindowsOnScreen() {
    static OnScreenKeeper* keeper = nullptr;
    if (!keeper)
        keeper = new OnScreenKeeper;
}

} // namespace kolvo
