#pragma once
// Helpers shared by the start-up and window tests of this folder.

#include "ui/platform/settings.h"

#include "waituntil.h"
#include <QApplication>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <QWidget>

#include <functional>

namespace kolvo::test {

// The visible top-level window of that name and type, if any.
template <class T> T* openWindow(const QString& name) {
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->objectName() == name && w->isVisible())
            if (auto* t = qobject_cast<T*>(w))
                return t;
    }
    return nullptr;
}

// Forgets every setting and the debug log, and turns logging off.
inline void freshSettingsAndLog() {
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kolvo"),
              QStringLiteral("Kolvo"))
        .clear();
    QFile::remove(dataFilePath(QStringLiteral("kolvodebug.txt")));
    setDebugLogFromArguments({});
}

// Closes and deletes every window a test left open (they refer to the test's
// context, which is about to go).
inline void closeAllTestWindows() {
    QApplication::closeAllWindows();
    // Deleting one window can delete others (an editor takes its tool
    // windows along): each is looked at only while it still exists.
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows << w;
    for (const QPointer<QWidget>& w : windows)
        if (w && !w->objectName().isEmpty() && !w->parent())
            delete w.data();
    QTest::qWait(0);
}

// Declared right after a test's context: its windows go before the context.
struct WindowsClosedAtEnd {
    WindowsClosedAtEnd() = default;
    WindowsClosedAtEnd(const WindowsClosedAtEnd&) = delete;
    WindowsClosedAtEnd& operator=(const WindowsClosedAtEnd&) = delete;
    ~WindowsClosedAtEnd() { closeAllTestWindows(); }
};

// Puts `folder` first on PATH (or makes it the whole PATH) until destroyed.
class PathOverride {
  public:
    PathOverride(const QString& folder, bool alone) : m_old(qgetenv("PATH")) {
        qputenv("PATH", alone ? folder.toLocal8Bit() : folder.toLocal8Bit() + ':' + m_old);
    }
    ~PathOverride() { qputenv("PATH", m_old); }

  private:
    QByteArray m_old;
};

} // namespace kolvo::test
