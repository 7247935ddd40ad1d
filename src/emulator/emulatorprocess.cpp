#include "emulator/emulatorprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kd {

namespace {

constexpr std::size_t kReadSize = 1 << 20;
// A flood must not hold the event loop: one activation stops after this much.
constexpr qint64 kMaxMsPerActivation = 4;
constexpr qint64 kMaxBytesPerActivation = 16 << 20;
constexpr int kReapPollMs = 20;

std::atomic<quint64> nextRunId{1};

QString reason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

struct Reaped {
    int status = -1;
    bool signalled = false;
};

// waitpid without blocking: nothing while the child runs, else the status to
// report. A child that someone else reaped (SIGCHLD ignored) reports -1.
std::optional<Reaped> reap(pid_t pid) {
    int st = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &st, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0)
        return std::nullopt;
    if (r == pid && WIFEXITED(st))
        return Reaped{WEXITSTATUS(st), false};
    if (r == pid && WIFSIGNALED(st))
        return Reaped{WTERMSIG(st), true};
    return Reaped{};
}

// A child whose object is gone is still reaped when it ends; nothing else waits
// for it. The watcher belongs to the application and goes away with the child.
void adoptOrphan(pid_t pid, int pidFd) {
    QObject* app = QCoreApplication::instance();
    if (!app) {
        // No event loop left to reap it; the init process will.
        if (pidFd >= 0)
            ::close(pidFd);
        return;
    }
    if (pidFd >= 0) {
        auto* watch = new QSocketNotifier(pidFd, QSocketNotifier::Read, app);
        QObject::connect(watch, &QSocketNotifier::activated, watch, [watch, pid, pidFd] {
            if (!reap(pid))
                return;
            watch->setEnabled(false);
            ::close(pidFd);
            watch->deleteLater();
        });
        return;
    }
    auto* timer = new QTimer(app);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, pid] {
        if (reap(pid))
            timer->deleteLater();
    });
    timer->start(kReapPollMs);
}

class SpawnSetup {
public:
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attr);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
};

// The child's output pipe, both ends close-on-exec: the read end non-blocking,
// the write end above stderr (dup2 onto itself would keep close-on-exec set).
// 0, or the errno of the failure.
int openOutputPipe(int& readFd, int& writeFd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return errno;
    readFd = fds[0];
    writeFd = fds[1];
    if (writeFd <= STDERR_FILENO) {
        const int moved = ::fcntl(writeFd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        const int err = errno;
        ::close(writeFd);
        if (moved < 0) {
            ::close(readFd);
            return err;
        }
        writeFd = moved;
    }
    ::fcntl(readFd, F_SETFL, ::fcntl(readFd, F_GETFL) | O_NONBLOCK);
    // A larger pipe means fewer wake-ups when the emulator writes a lot; the
    // default size still works if the system refuses.
    ::fcntl(readFd, F_SETPIPE_SZ, static_cast<int>(kReadSize));
    return 0;
}

// Starts `path` with stdin from /dev/null and stdout and stderr to `outFd`,
// in `dir` unless that is empty. posix_spawn's result; `pid` is set on success.
int spawnChild(const QByteArray& path, const QStringList& arguments, const QByteArray& dir,
               int outFd, pid_t& pid) {
    std::vector<QByteArray> argBytes;
    argBytes.reserve(static_cast<std::size_t>(arguments.size()) + 1);
    argBytes.push_back(path);
    for (const QString& arg : arguments)
        argBytes.push_back(QFile::encodeName(arg));
    std::vector<char*> argv;
    for (QByteArray& arg : argBytes)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    ::posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&setup.actions, outFd, STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&setup.actions, outFd, STDERR_FILENO);
    if (!dir.isEmpty())
        ::posix_spawn_file_actions_addchdir_np(&setup.actions, dir.constData());
    ::posix_spawn_file_actions_addclosefrom_np(&setup.actions, STDERR_FILENO + 1);

    // Own process group, so a terminate request reaches everything it started;
    // signals the launcher blocks or ignores are not passed on.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                POSIX_SPAWN_SETSIGDEF);
    ::posix_spawnattr_setpgroup(&setup.attr, 0);
    ::posix_spawnattr_setsigmask(&setup.attr, &none);
    ::posix_spawnattr_setsigdefault(&setup.attr, &all);

    return ::posix_spawn(&pid, path.constData(), &setup.actions, &setup.attr, argv.data(), environ);
}

} // namespace

QString signalName(int signo) {
    if (const char* abbreviation = ::sigabbrev_np(signo))
        return QStringLiteral("SIG") + QString::fromLatin1(abbreviation);
    if (signo >= SIGRTMIN && signo <= SIGRTMAX)
        return QStringLiteral("SIGRTMIN+%1").arg(signo - SIGRTMIN);
    return QStringLiteral("SIG%1").arg(signo);
}

EmulatorProcess::EmulatorProcess(QObject* parent) : QObject(parent), m_runId(nextRunId++) {}

EmulatorProcess::~EmulatorProcess() {
    closeOutput();
    if (isRunning()) {
        delete m_pidNotifier;
        m_pidNotifier = nullptr;
        adoptOrphan(static_cast<pid_t>(m_pid), m_pidFd);
        m_pidFd = -1;
    }
    closeChildWatch();
}

bool EmulatorProcess::start(const QString& program, const QStringList& arguments,
                            const QString& workingDir, QString* error) {
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (hasStarted())
        return fail(QStringLiteral("This emulator run has already been started"));
    if (program.isEmpty())
        return fail(QStringLiteral("No emulator executable was given"));

    // The child changes directory before exec, so a relative path would be taken
    // from the wrong place.
    const QString path = QDir::current().absoluteFilePath(program);
    const QByteArray pathBytes = QFile::encodeName(path);
    const QByteArray dirBytes = QFile::encodeName(workingDir);
    if (!workingDir.isEmpty()) {
        struct stat st {};
        if (::stat(dirBytes.constData(), &st) != 0)
            return fail(QStringLiteral("Cannot start \"%1\" in \"%2\": %3")
                            .arg(path, workingDir, reason(errno)));
        if (!S_ISDIR(st.st_mode))
            return fail(QStringLiteral("Cannot start \"%1\" in \"%2\": %3")
                            .arg(path, workingDir, reason(ENOTDIR)));
    }

    int readFd = -1;
    int writeFd = -1;
    if (const int err = openOutputPipe(readFd, writeFd); err != 0)
        return fail(QStringLiteral("Cannot create a pipe for \"%1\": %2").arg(path, reason(err)));

    pid_t pid = -1;
    const int rc = spawnChild(pathBytes, arguments, dirBytes, writeFd, pid);
    ::close(writeFd);
    if (rc != 0) {
        ::close(readFd);
        return fail(QStringLiteral("Cannot start \"%1\": %2").arg(path, reason(rc)));
    }

    m_pid = pid;
    m_outFd = readFd;
    m_buffer.resize(kReadSize);
    m_listening = true;
    m_outNotifier = new QSocketNotifier(m_outFd, QSocketNotifier::Read, this);
    connect(m_outNotifier, &QSocketNotifier::activated, this, &EmulatorProcess::onReadable);

    // The raw call: glibc 2.36's <sys/pidfd.h> lacks C linkage for C++.
    m_pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (m_pidFd >= 0) {
        m_pidNotifier = new QSocketNotifier(m_pidFd, QSocketNotifier::Read, this);
        connect(m_pidNotifier, &QSocketNotifier::activated, this,
                &EmulatorProcess::onChildReadable);
    } else {
        m_reapTimer = new QTimer(this);
        connect(m_reapTimer, &QTimer::timeout, this, &EmulatorProcess::onChildReadable);
        m_reapTimer->start(kReapPollMs);
    }
    return true;
}

void EmulatorProcess::onReadable() {
    QPointer<EmulatorProcess> self(this);
    QElapsedTimer clock;
    clock.start();
    qint64 total = 0;
    while (m_listening && m_outFd >= 0) {
        const ssize_t n = ::read(m_outFd, m_buffer.data(), m_buffer.size());
        if (n > 0) {
            total += n;
            emit outputReceived(QByteArray(m_buffer.data(), n));
            if (!self)
                return;
            // The notifier fires again on the next pass for whatever is left.
            if (total >= kMaxBytesPerActivation || clock.elapsed() >= kMaxMsPerActivation)
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // End of file; a read error ends the output just the same.
        m_outputEof = true;
        closeOutput();
        emit outputEnded();
        return;
    }
}

void EmulatorProcess::onChildReadable() {
    const std::optional<Reaped> reaped = reap(static_cast<pid_t>(m_pid));
    if (!reaped)
        return;
    closeChildWatch();
    m_ended = true;
    m_status = reaped->status;
    m_signalled = reaped->signalled;
    // What the child wrote before it ended is reported before its end.
    if (m_listening) {
        QPointer<EmulatorProcess> self(this);
        onReadable();
        if (!self)
            return;
    }
    emit processEnded(m_status);
}

std::optional<int> EmulatorProcess::endedStatusNow() const {
    if (m_ended)
        return m_status;
    if (m_pid <= 0)
        return std::nullopt;
    siginfo_t info{};
    int r;
    do {
        r = ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT);
    } while (r < 0 && errno == EINTR);
    if (r != 0 || info.si_pid != static_cast<pid_t>(m_pid))
        return std::nullopt;
    // CLD_EXITED carries the exit code; CLD_KILLED and CLD_DUMPED the signal.
    return info.si_status;
}

void EmulatorProcess::terminate() {
    signalGroup(SIGTERM);
}

void EmulatorProcess::kill() {
    signalGroup(SIGKILL);
}

void EmulatorProcess::signalGroup(int signo) {
    // Once reaped, the pid may belong to someone else.
    if (isRunning())
        ::kill(-static_cast<pid_t>(m_pid), signo);
}

void EmulatorProcess::stopListening() {
    m_listening = false;
    if (m_outNotifier)
        m_outNotifier->setEnabled(false);
}

void EmulatorProcess::resumeListening() {
    if (m_outFd < 0 || !m_outNotifier)
        return;
    m_listening = true;
    m_outNotifier->setEnabled(true);
}

void EmulatorProcess::abandonOutput() {
    closeOutput();
}

bool EmulatorProcess::drain(std::chrono::milliseconds bound,
                            const std::function<void(QByteArrayView)>& sink) {
    using Clock = std::chrono::steady_clock;
    stopListening();
    if (m_outFd < 0)
        return m_outputEof;
    const Clock::time_point deadline = Clock::now() + bound;
    for (;;) {
        const ssize_t n = ::read(m_outFd, m_buffer.data(), m_buffer.size());
        if (n > 0) {
            if (sink)
                sink(QByteArrayView(m_buffer.data(), n));
            if (Clock::now() >= deadline)
                break;
            continue;
        }
        if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            m_outputEof = true;
            break;
        }
        if (errno == EINTR)
            continue;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        pollfd pfd{m_outFd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready == 0)
            break;
        if (ready < 0 && errno != EINTR) {
            m_outputEof = true;
            break;
        }
    }
    if (m_outputEof)
        closeOutput();
    return m_outputEof;
}

bool EmulatorProcess::waitForEnd() {
    if (!hasStarted())
        return false;
    if (m_ended)
        return true;
    QPointer<EmulatorProcess> self(this);
    QEventLoop loop;
    connect(this, &EmulatorProcess::processEnded, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return self && self->m_ended;
}

void EmulatorProcess::closeOutput() {
    m_listening = false;
    if (m_outNotifier) {
        // Deleted later: this may run inside the notifier's own activation.
        m_outNotifier->setEnabled(false);
        m_outNotifier->deleteLater();
        m_outNotifier = nullptr;
    }
    if (m_outFd >= 0) {
        ::close(m_outFd);
        m_outFd = -1;
    }
    std::vector<char>().swap(m_buffer);
}

void EmulatorProcess::closeChildWatch() {
    if (m_pidNotifier) {
        m_pidNotifier->setEnabled(false);
        m_pidNotifier->deleteLater();
        m_pidNotifier = nullptr;
    }
    if (m_reapTimer) {
        m_reapTimer->stop();
        m_reapTimer->deleteLater();
        m_reapTimer = nullptr;
    }
    if (m_pidFd >= 0) {
        ::close(m_pidFd);
        m_pidFd = -1;
    }
}

} // namespace kd
