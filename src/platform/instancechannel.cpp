#include "platform/instancechannel.h"

#include "platform/instancemessage.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

namespace kd {

namespace {
// The running launcher's answer to a whole message.
constexpr char Taken = 'K';
} // namespace

InstanceChannel::InstanceChannel(QString socketPath, QObject* parent)
    : QObject(parent),
      m_socketPath(socketPath.isEmpty() ? defaultSocketPath() : std::move(socketPath)) {}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::defaultSocketPath() {
    // Qt checks that the folder is the user's own and private (0700).
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/kaleidrome-launcher.socket");
}

InstanceChannel::Role InstanceChannel::claim(const QStringList& paths) {
    if (m_socketPath.isEmpty()) {
        m_error = QStringLiteral("there is no private runtime folder for the launcher's socket");
        return Role::Alone;
    }
    // Two launchers started at once: one claims the socket, the other then
    // finds it listening. A lock left by a process that died is taken over.
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    if (!lock.tryLock(int(answerTimeout.count()))) {
        m_error = QStringLiteral("cannot lock %1.lock").arg(m_socketPath);
        return Role::Alone;
    }
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (socket.waitForConnected(int(answerTimeout.count())))
        return handOver(socket, paths);

    // Nobody listens: whatever is at the path was left by a launcher that crashed.
    QLocalServer::removeServer(m_socketPath);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        m_error =
            QStringLiteral("cannot listen on %1: %2").arg(m_socketPath, m_server->errorString());
        m_server.reset();
        return Role::Alone;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, &InstanceChannel::accept);
    return Role::Running;
}

InstanceChannel::Role InstanceChannel::handOver(QLocalSocket& socket, const QStringList& paths) {
    const std::optional<QByteArray> message = instancemessage::encode(paths);
    if (!message) {
        m_error = QStringLiteral("the paths cannot be handed to the running launcher "
                                 "(at most %1 absolute paths of at most %2 bytes each)")
                      .arg(instancemessage::MaxPaths)
                      .arg(instancemessage::MaxPathBytes);
        return Role::Unanswered;
    }
    const int timeout = int(answerTimeout.count());
    socket.write(*message);
    if (!socket.waitForBytesWritten(timeout) && socket.bytesToWrite() > 0) {
        m_error = QStringLiteral("cannot write to %1: %2").arg(m_socketPath, socket.errorString());
        return Role::Unanswered;
    }
    if (!socket.waitForReadyRead(timeout) || socket.read(1) != QByteArray(1, Taken)) {
        m_error = QStringLiteral("the running launcher did not answer on %1").arg(m_socketPath);
        return Role::Unanswered;
    }
    return Role::HandedOver;
}

void InstanceChannel::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // Never more than one message's worth is taken in at a time.
        socket->setReadBufferSize(instancemessage::MaxBytes);
        auto reader = std::make_shared<instancemessage::Reader>();
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        auto drop = [this, socket](const QString& reason) {
            socket->abort();
            socket->deleteLater();
            emit rejected(reason);
        };
        connect(deadline, &QTimer::timeout, socket,
                [drop] { drop(QStringLiteral("no whole message within the time allowed")); });
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, reader, deadline, drop] {
            switch (reader->feed(socket->readAll())) {
            case instancemessage::Reader::State::NeedMore:
                return;
            case instancemessage::Reader::State::Malformed:
                deadline->stop();
                drop(reader->error());
                return;
            case instancemessage::Reader::State::Complete:
                deadline->stop();
                socket->write(QByteArray(1, Taken));
                socket->disconnectFromServer();
                // Handled from the event loop, never inside the socket's own handler.
                QTimer::singleShot(0, this,
                                   [this, paths = reader->paths()] { emit received(paths); });
                return;
            }
        });
        connect(socket, &QLocalSocket::disconnected, socket, [socket, reader, deadline, drop] {
            if (reader->state() == instancemessage::Reader::State::NeedMore &&
                deadline->isActive()) {
                deadline->stop();
                drop(QStringLiteral("the connection closed before a whole message"));
                return;
            }
            socket->deleteLater();
        });
        deadline->start(answerTimeout);
    }
}

} // namespace kd
