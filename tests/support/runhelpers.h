#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QTest>
#include <functional>
#include <ostream>
#include <sys/wait.h>
#include <unistd.h>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kd::test {

// Lets the event loop run until `condition` holds or `ms` have passed.
inline bool waitUntil(const std::function<bool()>& condition, int ms = 15000) {
    return QTest::qWaitFor(condition, ms);
}

// Peak resident memory of this process in KiB (0 where it cannot be read), the
// kernel's high-water mark; `reset` first brings it down to what is resident now.
inline qint64 peakResidentKiB(bool reset = false) {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (reset && clear.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        clear.write("5");
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Open descriptors of this process; the listing's own is counted the same every time.
inline int openDescriptorCount() {
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

// Blocks, without turning the event loop, until our child `pid` has ended; it is
// left unreaped, so the launcher's own events about it are all still to come.
inline bool holdUntilExited(qint64 pid, int ms = 10000) {
    for (const QDeadlineTimer deadline(ms); !deadline.hasExpired(); ::usleep(1000)) {
        siginfo_t info{};
        if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid)
            return true;
    }
    return false;
}

// Counts the events of one type that reach `target`.
struct EventCounter : QObject {
    EventCounter(QObject* target, QEvent::Type type) : m_type(type) {
        target->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == m_type;
        return false;
    }
    int count = 0;
    QEvent::Type m_type;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() { m_had ? void(qputenv(m_name, m_old)) : void(qunsetenv(m_name)); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

} // namespace kd::test
