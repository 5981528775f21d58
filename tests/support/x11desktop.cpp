#include "x11desktop.h"

#include <QStandardPaths>

#include <cstdlib>
#include <cstring>

#include <poll.h>

namespace kolvo::test {

bool X11Desktop::start(QSize screen) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return false;
    const QString size = QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height());
    m_server.start(xvfb,
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), size, QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray number;
    if (m_server.waitForStarted(5000))
        while (!number.contains('\n') && m_server.waitForReadyRead(10000))
            number += m_server.readAllStandardOutput();
    if (number.trimmed().isEmpty())
        return false;
    m_display = ":" + number.trimmed();

    m_conn = xcb_connect(m_display.constData(), nullptr);
    if (xcb_connection_has_error(m_conn)) {
        xcb_disconnect(m_conn);
        m_conn = nullptr;
        return false;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_generic_error_t* error = xcb_request_check(
        m_conn, xcb_change_window_attributes_checked(m_conn, root, XCB_CW_EVENT_MASK, &mask));
    if (error) {
        free(error);
        return false;
    }
    // Like desktop window managers, it honours a program's request to
    // activate one of its windows (_NET_ACTIVE_WINDOW).
    const xcb_atom_t supported = atom("_NET_SUPPORTED");
    m_netActiveWindow = atom("_NET_ACTIVE_WINDOW");
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, root, supported, XCB_ATOM_ATOM, 32, 1,
                        &m_netActiveWindow);
    xcb_flush(m_conn);
    m_thread = std::thread([this] { run(); });
    m_running = true;
    qputenv("DISPLAY", m_display);
    qputenv("QT_QPA_PLATFORM", "xcb");
    // The desktop's own key scheme and theme are not the test's business.
    qunsetenv("XDG_CURRENT_DESKTOP");
    qunsetenv("DESKTOP_SESSION");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    return true;
}

X11Desktop::~X11Desktop() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_conn)
        xcb_disconnect(m_conn);
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(3000))
            m_server.kill();
        m_server.waitForFinished(3000);
    }
}

xcb_window_t X11Desktop::focus() const {
    xcb_connection_t* c = xcb_connect(m_display.constData(), nullptr);
    xcb_get_input_focus_reply_t* r = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    const xcb_window_t w = r ? r->focus : 0;
    free(r);
    xcb_disconnect(c);
    return w;
}

void X11Desktop::run() {
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

void X11Desktop::handle(xcb_generic_event_t* e) {
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
            xcb_set_input_focus(m_conn, XCB_INPUT_FOCUS_POINTER_ROOT, m->window, XCB_CURRENT_TIME);
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

xcb_atom_t X11Desktop::atom(const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        m_conn, xcb_intern_atom(m_conn, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(r);
    return a;
}

} // namespace kolvo::test
