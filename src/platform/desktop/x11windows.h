#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

namespace kd {

// A connection of our own to an X server with an EWMH window manager: lists
// the managed windows and asks the manager to activate one. Each instance opens
// and closes its own connection, so nothing goes stale between uses.
class X11Session {
public:
    struct Client {
        quint64 window = 0;
        qint64 pid = 0; // 0 when the window does not tell
        QString name;   // WM_CLASS class part, else its instance part
    };

    // `display` as in $DISPLAY; empty uses $DISPLAY.
    explicit X11Session(const QByteArray& display = {});
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    bool isOpen() const;

    // The managed windows in the manager's order (_NET_CLIENT_LIST).
    QList<Client> clients();
    // Sends _NET_ACTIVE_WINDOW as a pager would; the manager decides.
    bool activate(quint64 window);
    // The window the manager reports as active; 0 when none.
    quint64 activeWindow();

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace kd
