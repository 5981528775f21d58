#include "ui/timing/windowlock.h"

#include <QVariant>

namespace kolvo {

namespace {
constexpr const char* kCountProperty = "kolvoWindowLocks";

void setCount(QWidget* w, int n) {
    w->setProperty(kCountProperty, n);
}
} // namespace

int WindowLock::lockCount(const QWidget* w) {
    return w ? w->property(kCountProperty).toInt() : 0;
}

bool WindowLock::holds(QWidget* w) const {
    for (const QPointer<QWidget>& p : m_locked) {
        if (p == w)
            return true;
    }
    return false;
}

void WindowLock::lock(QWidget* w) {
    if (!w || holds(w))
        return;
    m_locked << QPointer<QWidget>(w);
    setCount(w, lockCount(w) + 1);
    w->setEnabled(false);
}

void WindowLock::lock(const QList<QWidget*>& windows) {
    for (QWidget* w : windows)
        lock(w);
}

void WindowLock::release() {
    const QList<QPointer<QWidget>> locked = m_locked;
    m_locked.clear();
    for (const QPointer<QWidget>& p : locked) {
        if (!p)
            continue; // closed meanwhile
        const int n = lockCount(p) - 1;
        setCount(p, n > 0 ? n : 0);
        if (n <= 0)
            p->setEnabled(true);
    }
}

} // namespace kolvo
