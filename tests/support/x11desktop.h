#pragma once
// A desktop of a test's own: an X server (Xvfb) on a free display and a
// minimal window manager that maps every window where it asks to be and
// hands it the keyboard, as desktop window managers do. Start it before the
// QApplication; it sets DISPLAY and puts Qt on xcb.

#include <QByteArray>
#include <QProcess>
#include <QSize>

#include <atomic>
#include <memory>
#include <thread>

#include <xcb/xcb.h>

namespace kolvo::test {

class X11Desktop {
  public:
    X11Desktop() = default;
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // False (and Qt left on offscreen) when no X server could be started.
    bool start(QSize screen);
    bool running() const { return m_conn != nullptr && m_running; }
    int maps() const { return m_maps; }
    // The window that has the keyboard now.
    xcb_window_t focus() const;

  private:
    void run();
    void handle(xcb_generic_event_t* e);
    xcb_atom_t atom(const char* name);

    QProcess m_server;
    QByteArray m_display;
    xcb_connection_t* m_conn = nullptr;
    xcb_atom_t m_netActiveWindow = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_maps{0};
    bool m_running = false;
};

} // namespace kolvo::test
