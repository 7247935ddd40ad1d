#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>

namespace kd::test {

// A private `dbus-daemon --session` for one test, and a connection to it.
class SessionBus {
public:
    SessionBus() {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            return;
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000))
            return;
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
        }
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
    }
    ~SessionBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("kd-test"));
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    bool isValid() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    QDBusConnection connection() const {
        return QDBusConnection::connectToBus(m_address, QStringLiteral("kd-test"));
    }

private:
    QProcess m_daemon;
    QString m_address;
};

} // namespace kd::test
