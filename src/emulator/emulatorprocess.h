#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace kd {

// One run of the emulator as a child process (Linux). The child gets the
// arguments one by one (no shell), its own process group, /dev/null as standard
// input and one pipe as both standard output and standard error, so the order of
// its writes is kept. Nothing else is inherited.
//
// Events, all delivered from the event loop (never from inside a call):
//  - outputReceived(chunk) for every non-empty read, in order;
//  - outputEnded() once, at end of file on the pipe;
//  - processEnded(status) once, when the child has been reaped: its exit code, or
//    the signal number if a signal killed it. While output events are on, what
//    the child wrote before it ended has been reported by then.
// The two end events are independent and come in either order. A start that
// fails fires nothing at all.
//
// Destroying the object leaves a running child alone; it is still reaped when it
// ends (no zombie), and no descriptor outlives that.
// The name of a signal: "SIGSEGV", "SIGRTMIN+2", or "SIG" and its number.
QString signalName(int signo);

class EmulatorProcess : public QObject {
    Q_OBJECT
public:
    explicit EmulatorProcess(QObject* parent = nullptr);
    ~EmulatorProcess() override;

    // Starts `program` in `workingDir`. False, with the reason in `error`, when it
    // cannot be started (or was started before); then nothing of it ever fires.
    bool start(const QString& program, const QStringList& arguments, const QString& workingDir,
               QString* error = nullptr);

    bool hasStarted() const { return m_pid > 0; }
    // Started and not yet reaped.
    bool isRunning() const { return m_pid > 0 && !m_ended; }
    bool hasEnded() const { return m_ended; }
    // The status processEnded carried; -1 before the end.
    int exitStatus() const { return m_status; }
    // Whether a signal ended it (exitStatus() is then the signal's number).
    bool wasSignalled() const { return m_signalled; }
    // The status as the kernel knows it now: set once the child has ended, even
    // before processEnded has been delivered (the child is not reaped here, so
    // processEnded still fires exactly once). Nothing while it runs.
    std::optional<int> endedStatusNow() const;
    qint64 pid() const { return m_pid; }
    // Unique per object, increasing in creation order.
    quint64 runId() const { return m_runId; }
    // True once end of file on the output was seen (by an event or a drain).
    bool outputAtEnd() const { return m_outputEof; }

    // SIGTERM / SIGKILL to the child's process group; nothing when not running.
    void terminate();
    void kill();

    // No more outputReceived or outputEnded; what is left stays in the pipe for
    // drain() or resumeListening(). Does not touch processEnded.
    void stopListening();
    // Output events come again for whatever the child writes from now on.
    void resumeListening();

    // Stops listening, then reads what remains (handing it to `sink`) until end of
    // output or until `bound` has passed, whichever is first. True when end of
    // output was reached; the read end is then closed. At the bound the read end
    // stays open and unread, for resumeListening() or abandonOutput().
    // processEnded still fires afterwards.
    bool drain(std::chrono::milliseconds bound, const std::function<void(QByteArrayView)>& sink);
    // Closes the read end without reading further, so a child writing later gets
    // EPIPE; no more output events.
    void abandonOutput();

    // Runs a nested event loop (user input excluded) until processEnded has fired.
    // Output events keep coming meanwhile. False when the process never started
    // or the object was destroyed during the wait.
    bool waitForEnd();

signals:
    void outputReceived(const QByteArray& chunk);
    void outputEnded();
    void processEnded(int status);

private:
    void onReadable();
    void onChildReadable();
    void closeOutput();
    void closeChildWatch();
    void signalGroup(int signo);

    quint64 m_runId;
    qint64 m_pid = -1;
    int m_status = -1;
    bool m_signalled = false;
    bool m_ended = false;
    bool m_outputEof = false;
    bool m_listening = false;
    int m_outFd = -1;
    int m_pidFd = -1;
    QSocketNotifier* m_outNotifier = nullptr;
    QSocketNotifier* m_pidNotifier = nullptr;
    QTimer* m_reapTimer = nullptr; // only where pidfd_open is unavailable
    std::vector<char> m_buffer;
};

} // namespace kd
