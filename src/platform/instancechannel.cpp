#include "platform/instancechannel.h"

#include "platform/instancemessage.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kd {

namespace {

// The running launcher's answer to a whole message.
constexpr char Taken = 'K';
// How long a listener that cannot take connections waits before it tries again.
constexpr std::chrono::milliseconds RetryDelay{250};

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool addressOf(const QByteArray& path, sockaddr_un* address) {
    *address = {};
    address->sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address->sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address->sun_path, path.constData(), size_t(path.size()));
    return true;
}

enum class Probe { Connected, Nobody, Busy, Failed };

// Connects to whoever listens at `path`. Only a refused connection or no file
// means nobody does: a full queue (EAGAIN) is a busy launcher, asked again
// until `timeout` has passed.
Probe connectTo(const QByteArray& path, std::chrono::milliseconds timeout, int* fd) {
    sockaddr_un address;
    if (!addressOf(path, &address))
        return Probe::Failed;
    for (const QDeadlineTimer deadline(timeout);; ::usleep(10000)) {
        *fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (*fd < 0)
            return Probe::Failed;
        if (::connect(*fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return Probe::Connected;
        const int error = errno;
        ::close(*fd);
        *fd = -1;
        errno = error;
        if (error == ECONNREFUSED || error == ENOENT)
            return Probe::Nobody;
        if (error != EAGAIN)
            return Probe::Failed;
        if (deadline.hasExpired())
            return Probe::Busy;
    }
}

} // namespace

InstanceChannel::InstanceChannel(QString socketPath, QObject* parent)
    : QObject(parent),
      m_socketPath(socketPath.isEmpty() ? defaultSocketPath() : std::move(socketPath)) {}

InstanceChannel::~InstanceChannel() {
    stopListening();
    // Connections still open go now, while this is still a channel: deleted by
    // ~QObject, their closing would report to a half-destroyed object.
    for (QLocalSocket* socket : findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect();
        delete socket;
    }
}

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
    int fd = -1;
    switch (connectTo(QFile::encodeName(m_socketPath), answerTimeout, &fd)) {
    case Probe::Connected: {
        QLocalSocket socket;
        socket.setSocketDescriptor(fd);
        return handOver(socket, paths);
    }
    case Probe::Busy:
        m_error = QStringLiteral("the running launcher is too busy to take a connection on %1")
                      .arg(m_socketPath);
        return Role::Unanswered;
    case Probe::Failed:
        m_error = QStringLiteral("cannot connect to %1: %2").arg(m_socketPath, reason(errno));
        return Role::Alone;
    case Probe::Nobody:
        break;
    }
    return listen() ? Role::Running : Role::Alone;
}

bool InstanceChannel::listen() {
    // Bound under another name and made the user's alone before it appears at
    // the path, in one rename that also replaces a socket left by a crash.
    const QByteArray path = QFile::encodeName(m_socketPath);
    const QByteArray temp = path + ".new";
    sockaddr_un address;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ::unlink(temp.constData());
    struct stat made {};
    const bool listening =
        fd >= 0 && addressOf(temp, &address) &&
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::chmod(temp.constData(), 0600) == 0 && ::listen(fd, 64) == 0 &&
        ::stat(temp.constData(), &made) == 0 && ::rename(temp.constData(), path.constData()) == 0;
    if (!listening) {
        m_error = QStringLiteral("cannot listen on %1: %2").arg(m_socketPath, reason(errno));
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.constData());
        return false;
    }
    m_listener = fd;
    m_device = made.st_dev;
    m_inode = made.st_ino;
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &InstanceChannel::acceptPending);
    return true;
}

void InstanceChannel::stopListening() {
    if (m_listener < 0)
        return;
    m_notifier.reset();
    ::close(m_listener);
    m_listener = -1;
    // The path may hold another launcher's socket by now: only our own goes.
    const QByteArray path = QFile::encodeName(m_socketPath);
    struct stat st {};
    if (::stat(path.constData(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode)
        ::unlink(path.constData());
}

void InstanceChannel::listenAgain() {
    if (m_listener >= 0)
        return;
    QLockFile lock(m_socketPath + QStringLiteral(".lock"));
    int fd = -1;
    if (lock.tryLock(0)) {
        switch (connectTo(QFile::encodeName(m_socketPath), std::chrono::milliseconds(0), &fd)) {
        case Probe::Connected:
            // A start that came while we were not listening runs as the launcher now.
            ::close(fd);
            emit rejected(QStringLiteral("another launcher listens on ") + m_socketPath);
            return;
        case Probe::Nobody:
            if (listen())
                return;
            break;
        case Probe::Busy:
        case Probe::Failed:
            break;
        }
    }
    QTimer::singleShot(RetryDelay * 4, this, &InstanceChannel::listenAgain);
}

void InstanceChannel::acceptPending() {
    while (m_listener >= 0) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            m_starved = false;
            if (m_connections < MaxConnections) {
                serve(fd);
                continue;
            }
            // Refused at once, so that a flood holds no more than the few.
            ::close(fd);
            if (!m_refusing)
                emit rejected(QStringLiteral("more than %1 connections at once; the others are "
                                             "refused")
                                  .arg(MaxConnections));
            m_refusing = true;
            continue;
        }
        const int error = errno;
        switch (error) {
        case EAGAIN:
            return;
        case EINTR:
        case ECONNABORTED:
        case EPROTO:
        case EPERM:
            continue;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            // The connection stays queued until there are descriptors again.
            if (!m_starved)
                emit rejected(QStringLiteral("connections wait in the queue while the launcher "
                                             "has no descriptor to take them (%1)")
                                  .arg(reason(error)));
            m_starved = true;
            m_notifier->setEnabled(false);
            QTimer::singleShot(RetryDelay, this, [this] {
                if (m_notifier) {
                    m_notifier->setEnabled(true);
                    acceptPending();
                }
            });
            return;
        default:
            emit rejected(QStringLiteral("the socket stopped listening (%1); listening again")
                              .arg(reason(error)));
            stopListening();
            listenAgain();
            return;
        }
    }
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

void InstanceChannel::serve(int fd) {
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(fd)) {
        ::close(fd);
        delete socket;
        return;
    }
    ++m_connections;
    connect(socket, &QObject::destroyed, this, [this] {
        --m_connections;
        m_refusing = false;
    });
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
            QTimer::singleShot(0, this, [this, paths = reader->paths()] { emit received(paths); });
            return;
        }
    });
    connect(socket, &QLocalSocket::disconnected, socket, [socket, reader, deadline, drop] {
        if (reader->state() == instancemessage::Reader::State::NeedMore && deadline->isActive()) {
            deadline->stop();
            drop(QStringLiteral("the connection closed before a whole message"));
            return;
        }
        socket->deleteLater();
    });
    deadline->start(answerTimeout);
}

} // namespace kd
