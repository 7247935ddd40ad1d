#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

class QLocalSocket;
class QSocketNotifier;

namespace kd {

// One launcher per user: the first start listens on a local socket in the
// user's runtime folder, a later start hands its files to it and ends. The
// socket is the user's alone; what arrives on it is only ever a list of paths
// (see instancemessage.h). At most MaxConnections are read at once, the rest
// refused as they come; when the process runs out of descriptors, connections
// wait in the queue until there are some again, and the listener is never
// given up.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Running,    // this process listens: it is the one launcher
        HandedOver, // another launcher runs and has taken the paths
        Unanswered, // another launcher runs but did not take them (see error())
        Alone,      // no socket can be used here (see error())
    };

    // `socketPath` empty: the default place (see defaultSocketPath()).
    explicit InstanceChannel(QString socketPath = QString(), QObject* parent = nullptr);
    ~InstanceChannel() override;

    // The user's runtime folder (XDG_RUNTIME_DIR) + "/kaleidrome-launcher.socket";
    // empty when there is no private runtime folder.
    static QString defaultSocketPath();

    // Hands `paths` to a running launcher, or becomes the running one. A socket
    // left behind by a launcher that crashed (connecting to it is refused) is
    // replaced; one whose launcher is too busy to take the connection is not.
    Role claim(const QStringList& paths);
    const QString& error() const { return m_error; }
    QString socketPath() const { return m_socketPath; }

    // How long a sender waits for the running launcher's answer, and how long
    // the running launcher waits for a whole message.
    std::chrono::milliseconds answerTimeout{5000};
    // Later starts read at the same time.
    static constexpr int MaxConnections = 4;

signals:
    // A later start's paths (possibly none: it only asks to be shown).
    void received(const QStringList& paths);
    // A connection that sent something other than a message, or connections
    // refused or left waiting (said once while it lasts); said why.
    void rejected(const QString& reason);

private:
    bool listen();
    void stopListening();
    void listenAgain();
    void acceptPending();
    void serve(int fd);
    Role handOver(QLocalSocket& socket, const QStringList& paths);

    QString m_socketPath;
    QString m_error;
    int m_listener = -1;
    quint64 m_device = 0, m_inode = 0; // of the socket file we made
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_connections = 0;
    bool m_refusing = false, m_starved = false;
};

} // namespace kd
