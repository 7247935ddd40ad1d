#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace kd::test {

// Open descriptors of this process.
inline int openDescriptorCount() {
    // The listing itself holds one descriptor while it runs, the same every time.
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

struct ProcInfo {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t group = 0;
    char state = '?';
};

// Every process the system lists, from /proc/<pid>/stat.
inline QList<ProcInfo> allProcesses() {
    QList<ProcInfo> result;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue; // gone meanwhile
        const QByteArray line = stat.readAll();
        // The command name may hold blanks and parentheses; the fields follow the last ')'.
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() < 3)
            continue;
        result.append({pid_t(pid), pid_t(fields[1].toInt()), pid_t(fields[2].toInt()),
                       fields[0].isEmpty() ? '?' : fields[0][0]});
    }
    return result;
}

// Processes whose parent is this process (zombies included) or that belong to
// process group `group` (when it is positive).
inline QList<ProcInfo> leftovers(pid_t group) {
    QList<ProcInfo> found;
    const pid_t self = ::getpid();
    for (const ProcInfo& p : allProcesses())
        if (p.parent == self || (group > 0 && p.group == group))
            found.append(p);
    return found;
}

inline QString describe(const QList<ProcInfo>& processes) {
    QStringList parts;
    for (const ProcInfo& p : processes)
        parts << QStringLiteral("pid %1 ppid %2 pgrp %3 state %4")
                     .arg(p.pid)
                     .arg(p.parent)
                     .arg(p.group)
                     .arg(QChar::fromLatin1(p.state));
    return parts.join(QStringLiteral("; "));
}

// Kills a process group a failed test may have left behind.
inline void killGroup(pid_t group) {
    if (group > 1)
        ::kill(-group, SIGKILL);
}

// Records how late a repeating 10 ms timer fires while the event loop runs,
// including time spent in code that does not return to the loop.
class LatenessMeter : public QObject {
public:
    static constexpr qint64 IntervalMs = 10;

    LatenessMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(int(IntervalMs));
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 gap = m_clock.restart();
            m_worst = std::max(m_worst, gap - IntervalMs);
        });
        m_clock.start();
        m_timer.start();
    }
    // The longest wait beyond the interval so far, in milliseconds; it counts the
    // time since the last tick too, so a stall that is still going on shows.
    qint64 worstMs() const {
        return m_timer.isActive() ? std::max(m_worst, m_clock.elapsed() - IntervalMs) : m_worst;
    }
    void stop() {
        m_worst = worstMs();
        m_timer.stop();
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_worst = 0;
};

} // namespace kd::test
