#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace kd {

// One launcher per user: the first start listens on a local socket in the
// user's runtime folder, a later start hands its files to it and ends. The
// socket is the user's alone; what arrives on it is only ever a list of paths
// (see instancemessage.h).
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
    // left behind by a launcher that crashed is removed and taken over.
    Role claim(const QStringList& paths);
    const QString& error() const { return m_error; }
    QString socketPath() const { return m_socketPath; }

    // How long a sender waits for the running launcher's answer, and how long
    // the running launcher waits for a whole message.
    std::chrono::milliseconds answerTimeout{5000};

signals:
    // A later start's paths (possibly none: it only asks to be shown).
    void received(const QStringList& paths);
    // A connection that sent something other than a message; said why.
    void rejected(const QString& reason);

private:
    void accept();
    Role handOver(QLocalSocket& socket, const QStringList& paths);

    QString m_socketPath;
    QString m_error;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace kd
