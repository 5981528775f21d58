// The player on a real X server (Xvfb) under a window manager that hands
// the keyboard to every window it maps, as desktop ones do. The player
// plays music without a window of its own, so the tool that loaded the song
// keeps the keyboard all along and no key can reach the player.
//
// This program has its own entry point: it starts the X server and the
// window manager (a minimal one in this file) before the QApplication. The
// server takes the first free display, or display :N when the environment
// variable KOLVO_TEST_DISPLAY holds N (for machines where several people
// run X servers side by side).
#include "ui/timing/findbpm.h"
#include "ui/timing/findthegap.h"

#include "privatehome.h"
#include "testapp.h"
#include "waituntil.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <memory>
#include <thread>

#include <poll.h>
#include <xcb/xcb.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {

// Maps every window that asks, and gives it the keyboard.
class FocusOnMapWindowManager {
  public:
    bool start(const QByteArray& display) {
        m_conn = xcb_connect(display.constData(), nullptr);
        if (xcb_connection_has_error(m_conn))
            return false;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
        const uint32_t mask =
            XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_generic_error_t* error = xcb_request_check(
            m_conn, xcb_change_window_attributes_checked(m_conn, root, XCB_CW_EVENT_MASK, &mask));
        if (error) {
            free(error);
            return false;
        }
        // Like desktop window managers, it also honours a program's request
        // to activate one of its windows (_NET_ACTIVE_WINDOW).
        m_netSupported = atom("_NET_SUPPORTED");
        m_netActiveWindow = atom("_NET_ACTIVE_WINDOW");
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, root, m_netSupported, XCB_ATOM_ATOM, 32,
                            1, &m_netActiveWindow);
        xcb_flush(m_conn);
        m_thread = std::thread([this] { run(); });
        return true;
    }
    ~FocusOnMapWindowManager() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_conn)
            xcb_disconnect(m_conn);
    }
    int maps() const { return m_maps; }
    // The window that has the keyboard now.
    xcb_window_t focus() const {
        xcb_connection_t* c = xcb_connect(m_display.constData(), nullptr);
        xcb_get_input_focus_reply_t* r =
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
        const xcb_window_t w = r ? r->focus : 0;
        free(r);
        xcb_disconnect(c);
        return w;
    }
    QByteArray m_display;

  private:
    void run() {
        const int fd = xcb_get_file_descriptor(m_conn);
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 20);
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_conn)) {
                handle(e);
                free(e);
            }
            xcb_flush(m_conn);
        }
    }
    void handle(xcb_generic_event_t* e) {
        switch (e->response_type & 0x7f) {
        case XCB_MAP_REQUEST: {
            const auto* m = reinterpret_cast<xcb_map_request_event_t*>(e);
            xcb_map_window(m_conn, m->window);
            xcb_set_input_focus(m_conn, XCB_INPUT_FOCUS_POINTER_ROOT, m->window, XCB_CURRENT_TIME);
            ++m_maps;
            break;
        }
        case XCB_CLIENT_MESSAGE: {
            const auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
            if (m->type == m_netActiveWindow)
                xcb_set_input_focus(m_conn, XCB_INPUT_FOCUS_POINTER_ROOT, m->window,
                                    XCB_CURRENT_TIME);
            break;
        }
        case XCB_CONFIGURE_REQUEST: {
            const auto* c = reinterpret_cast<xcb_configure_request_event_t*>(e);
            uint32_t values[7];
            int n = 0;
            uint16_t mask = 0;
            const auto take = [&](uint16_t bit, uint32_t v) {
                if (c->value_mask & bit) {
                    mask |= bit;
                    values[n++] = v;
                }
            };
            take(XCB_CONFIG_WINDOW_X, uint32_t(c->x));
            take(XCB_CONFIG_WINDOW_Y, uint32_t(c->y));
            take(XCB_CONFIG_WINDOW_WIDTH, c->width);
            take(XCB_CONFIG_WINDOW_HEIGHT, c->height);
            take(XCB_CONFIG_WINDOW_BORDER_WIDTH, c->border_width);
            take(XCB_CONFIG_WINDOW_SIBLING, c->sibling);
            take(XCB_CONFIG_WINDOW_STACK_MODE, c->stack_mode);
            xcb_configure_window(m_conn, c->window, mask, values);
            break;
        }
        default:
            break;
        }
    }

    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            m_conn, xcb_intern_atom(m_conn, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    }

    xcb_connection_t* m_conn = nullptr;
    xcb_atom_t m_netSupported = 0;
    xcb_atom_t m_netActiveWindow = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_maps{0};
};

FocusOnMapWindowManager* g_wm = nullptr;

TEST(PlayerFocus, TheToolThatLoadedTheSongKeepsTheKeyboard) {
    ASSERT_NE(g_wm, nullptr) << "no X server (Xvfb) could be started";
    const QString mpv = QStandardPaths::findExecutable("mpv");
    ASSERT_FALSE(mpv.isEmpty());
    const struct {
        const char* what;
        bool bpmFinder;
    } cases[] = {{"gap finder", false}, {"BPM finder", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RealPlayerTestApp app;
        app.ctx.winamppath = QFileInfo(mpv).absolutePath();
        const QString music = app.path("song.wav");
        ASSERT_TRUE(writeTestWav(music, 8000));
        app.model.setField(SummaryField::MusicFile, music);
        QWidget summary;
        summary.show();
        QPointer<TappingTool> w =
            c.bpmFinder ? static_cast<TappingTool*>(new FindBPM(app.ctx, &summary))
                        : static_cast<TappingTool*>(new FindTheGap(app.ctx, &summary));
        w->show();
        w->activateWindow();
        ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == w; }, 5000));

        const int mapsBefore = g_wm->maps();
        // Where the keyboard is, every few ms while the player loads and
        // plays (the link's waits keep timers running).
        const xcb_window_t tool = xcb_window_t(w->winId());
        ASSERT_TRUE(waitUntil([&] { return g_wm->focus() == tool; }, 3000));
        int elsewhere = 0;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (g_wm->focus() != tool)
                ++elsewhere;
        });
        watch.start(5);
        QTest::keyClick(w, Qt::Key_Return); // loads the player
        ASSERT_EQ(w->step(), 2) << (app.boxes.shown.isEmpty()
                                        ? ""
                                        : app.boxes.last().text.toStdString());
        ASSERT_TRUE(app.player.IsWindow());
        QTest::qWait(700);
        watch.stop();
        EXPECT_EQ(g_wm->maps(), mapsBefore) << "the player opened a window";
        EXPECT_EQ(elsewhere, 0) << "the keyboard left the tool while the player started";
        EXPECT_EQ(g_wm->focus(), tool);
        EXPECT_EQ(QApplication::activeWindow(), w);

        const int pid = app.player.winampwindow;
        delete w;
        app.player.quitPlayer();
        if (pid > 1)
            ::kill(pid, SIGKILL);
    }
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    kolvo::test::usePrivateHome(home.path());
    // Any player window would be one the window manager sees; sound goes
    // nowhere.
    qputenv("KOLVO_MPV_OPTIONS", "--ao=null --vo=x11");

    // Our own X server on a free display, so nothing else is touched.
    QProcess xserver;
    std::unique_ptr<FocusOnMapWindowManager> wm;
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    const QByteArray fixed = qgetenv("KOLVO_TEST_DISPLAY");
    QByteArray number; // the display's number once it answers
    if (!xvfb.isEmpty() && !fixed.isEmpty()) {
        // A display chosen by whoever runs the test: a server of an earlier
        // run may still be ending there; then wait until ours answers.
        const QString lock = QStringLiteral("/tmp/.X%1-lock").arg(QString::fromLatin1(fixed));
        for (int i = 0; i < 200 && QFileInfo::exists(lock); ++i)
            QThread::msleep(25);
        xserver.start(xvfb, {":" + QString::fromLatin1(fixed), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"});
        if (xserver.waitForStarted(5000)) {
            const QByteArray display = ":" + fixed;
            for (int i = 0; i < 400 && xserver.state() == QProcess::Running; ++i) {
                xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
                const bool up = !xcb_connection_has_error(c);
                xcb_disconnect(c);
                if (up && !xserver.waitForFinished(100)) { // ours, still running
                    number = fixed + '\n';
                    break;
                }
                QThread::msleep(25);
            }
        }
        if (number.isEmpty())
            fprintf(stderr, "Xvfb :%s: %s\n", fixed.constData(),
                    xserver.readAllStandardError().constData());
    } else if (!xvfb.isEmpty()) {
        xserver.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (xserver.waitForStarted(5000)) {
            while (!number.contains('\n') && xserver.waitForReadyRead(10000))
                number += xserver.readAllStandardOutput();
        }
    }
    if (!number.trimmed().isEmpty()) {
        const QByteArray display = ":" + number.trimmed();
        qputenv("DISPLAY", display);
        wm = std::make_unique<FocusOnMapWindowManager>();
        wm->m_display = display;
        if (wm->start(display))
            g_wm = wm.get();
    }
    qputenv("QT_QPA_PLATFORM", g_wm ? "xcb" : "offscreen");

    int result = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Kolvo"));
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    g_wm = nullptr;
    wm.reset();
    if (xserver.state() != QProcess::NotRunning) {
        xserver.terminate();
        if (!xserver.waitForFinished(3000))
            xserver.kill();
    }
    return result;
}
