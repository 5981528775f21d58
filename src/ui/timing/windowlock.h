#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace kolvo {

// Disables windows while a pseudo-modal tool is open and enables them again
// when it goes, however it goes. Locks are counted per window, so two tools
// that both hold a window (the grabber taking over from its setup) can let
// go in any order: the window is enabled when the last lock is released.
class WindowLock {
  public:
    WindowLock() = default;
    ~WindowLock() { release(); }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;

    // Disables `w` (null is ignored; a window locked twice by this lock
    // counts once).
    void lock(QWidget* w);
    void lock(const QList<QWidget*>& windows);
    // Enables again every window this lock holds whose count drops to 0.
    void release();

    bool holds(QWidget* w) const;
    // Locks held on `w` by all WindowLocks together.
    static int lockCount(const QWidget* w);

  private:
    QList<QPointer<QWidget>> m_locked;
};

} // namespace kolvo
