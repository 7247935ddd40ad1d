#include "platform/desktop/x11windows.h"

#include "platform/utf8text.h"

#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace kd {

struct X11Session::State {
    xcb_connection_t* connection = nullptr;
    xcb_ewmh_connection_t ewmh{};
    int screen = 0;
    bool ewmhReady = false;
};

namespace {

// WM_CLASS holds "instance\0class\0".
QString nameFromWmClass(const char* data, int length) {
    const QByteArray raw(data, length);
    const QList<QByteArray> parts = raw.split('\0');
    const QByteArray instance = parts.value(0);
    const QByteArray className = parts.value(1);
    return textFromUtf8(className.isEmpty() ? instance : className);
}

} // namespace

X11Session::X11Session(const QByteArray& display) : d(std::make_unique<State>()) {
    d->connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &d->screen);
    if (xcb_connection_has_error(d->connection))
        return;
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(d->connection, &d->ewmh);
    d->ewmhReady = cookies && xcb_ewmh_init_atoms_replies(&d->ewmh, cookies, nullptr);
}

X11Session::~X11Session() {
    if (d->ewmhReady)
        xcb_ewmh_connection_wipe(&d->ewmh);
    // The connection struct must be freed even when it failed to connect.
    if (d->connection)
        xcb_disconnect(d->connection);
}

bool X11Session::isOpen() const {
    return d->ewmhReady;
}

QList<X11Session::Client> X11Session::clients() {
    QList<Client> result;
    if (!d->ewmhReady)
        return result;
    xcb_ewmh_get_windows_reply_t list;
    if (!xcb_ewmh_get_client_list_reply(&d->ewmh, xcb_ewmh_get_client_list(&d->ewmh, d->screen),
                                        &list, nullptr))
        return result;

    // Ask for every property first so the round trips overlap.
    struct Pending {
        xcb_window_t window;
        xcb_get_property_cookie_t pid;
        xcb_get_property_cookie_t wmClass;
    };
    QList<Pending> pending;
    pending.reserve(list.windows_len);
    for (uint32_t i = 0; i < list.windows_len; ++i) {
        const xcb_window_t window = list.windows[i];
        pending.append({window, xcb_ewmh_get_wm_pid(&d->ewmh, window),
                        xcb_get_property(d->connection, 0, window, XCB_ATOM_WM_CLASS,
                                         XCB_ATOM_STRING, 0, 512)});
    }
    xcb_ewmh_get_windows_reply_wipe(&list);

    for (const Pending& p : pending) {
        Client client;
        client.window = p.window;
        uint32_t pid = 0;
        if (xcb_ewmh_get_wm_pid_reply(&d->ewmh, p.pid, &pid, nullptr))
            client.pid = pid;
        if (xcb_get_property_reply_t* reply =
                xcb_get_property_reply(d->connection, p.wmClass, nullptr)) {
            client.name = nameFromWmClass(static_cast<const char*>(xcb_get_property_value(reply)),
                                          xcb_get_property_value_length(reply));
            std::free(reply);
        }
        result.append(client);
    }
    return result;
}

bool X11Session::activate(quint64 window) {
    if (!d->ewmhReady || window == 0)
        return false;
    xcb_ewmh_request_change_active_window(&d->ewmh, d->screen, xcb_window_t(window),
                                          XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                          XCB_NONE);
    // A round trip before the connection closes: the server may drop requests
    // it has not processed yet from a client that is gone.
    std::free(
        xcb_get_input_focus_reply(d->connection, xcb_get_input_focus(d->connection), nullptr));
    return !xcb_connection_has_error(d->connection);
}

quint64 X11Session::activeWindow() {
    if (!d->ewmhReady)
        return 0;
    xcb_window_t window = XCB_NONE;
    if (!xcb_ewmh_get_active_window_reply(&d->ewmh, xcb_ewmh_get_active_window(&d->ewmh, d->screen),
                                          &window, nullptr))
        return 0;
    return window;
}

} // namespace kd
