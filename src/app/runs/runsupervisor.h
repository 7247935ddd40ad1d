#pragma once

#include "emulator/emulatorprocess.h"
#include "log/utf8streamdecoder.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace kd {

// The emulator's runs: the current one, and older ones whose ends have not both
// been handled yet (a run replaced while it still printed). It decodes each
// run's output, bounds how long the launcher waits for it, gives an emulator a
// grace after the terminate request before killing it, stops a command option
// that prints nothing for too long, and holds back the reactions to the ends of
// runs while a question (an alert or a panel) is up, handing them out in order
// once it has closed.
class RunSupervisor : public QObject {
    Q_OBJECT
public:
    explicit RunSupervisor(QObject* parent = nullptr);
    ~RunSupervisor() override;

    // How long the stop step waits for the rest of a run's output.
    static constexpr std::chrono::milliseconds DrainBound{3000};
    // How long an emulator may take to end after the terminate request before
    // it is killed: emulators save their state while they exit.
    std::chrono::milliseconds terminateGrace() const { return m_terminateGrace; }
    void setTerminateGrace(std::chrono::milliseconds grace) { m_terminateGrace = grace; }
    // How long a command option may print nothing before it is stopped.
    std::chrono::milliseconds idleLimit() const { return m_idleLimit; }
    void setIdleLimit(std::chrono::milliseconds limit) { m_idleLimit = limit; }

    // Starts a run, which becomes the current one even when it cannot start
    // (it then counts as not running, and `error` says why). A supervised run's
    // end of process is announced with processEnded(…, true).
    EmulatorProcess* start(const QString& program, const QStringList& arguments,
                           const QString& workingDir, bool supervised, QString* error);
    // The current run (the last one started), or null before the first.
    EmulatorProcess* current() const { return m_current.get(); }
    bool isRunning() const;
    // The arguments a run of this session was started with.
    QStringList argumentsOf(const EmulatorProcess* process) const;

    // Waits, taking no user input, until `process` has ended. Should it print
    // nothing for idleLimit(), idleLimitReached() comes (as a reaction).
    void waitForEnd(EmulatorProcess* process);

    // Output of a run whose text is not complete yet: decoded and handed on by
    // text(). False for a run that is unknown or whose text is complete.
    bool isCollecting(const EmulatorProcess* process) const;
    void collect(EmulatorProcess* process, QByteArrayView chunk);
    // The run's text is complete: what the decoder still holds is handed on.
    void finishOutput(EmulatorProcess* process);
    bool isCurrent(const EmulatorProcess* process) const { return process == m_current.get(); }
    // The stop step has run for it while it still held its output open.
    bool wasStopped(const EmulatorProcess* process) const;
    // The launcher sent it the terminate request (Stop, a new start, the idle
    // limit): how it ends then is no failure of its own.
    bool wasStopRequested(const EmulatorProcess* process) const;

    // The stop step's wait for the rest of the current run's output, at most
    // DrainBound. A run that still holds it open after that is marked
    // stopped, and what it writes later is still collected.
    void drainCurrent();
    // Sends the current run the terminate request, if it runs; killed when it
    // is still alive terminateGrace() after it.
    void terminateCurrent();

    // While a question is up, reactions wait; they are handed out in the order
    // they came once the last question has closed.
    void beginQuestion();
    void endQuestion();
    // Runs `reaction` now, or once no question is up.
    void react(std::function<void()> reaction);

    // Marks a question as up for as long as it lives.
    class Question {
    public:
        explicit Question(RunSupervisor& runs) : m_runs(runs) { m_runs.beginQuestion(); }
        ~Question() { m_runs.endQuestion(); }
        Question(const Question&) = delete;
        Question& operator=(const Question&) = delete;

    private:
        RunSupervisor& m_runs;
    };

signals:
    // A chunk of a run's output, as it arrives.
    void outputReceived(EmulatorProcess* process, const QByteArray& chunk);
    // Decoded output, valid UTF-8, in order.
    void text(QByteArrayView validUtf8);
    // The end of a run's output (a reaction: after any question).
    void outputEnded(EmulatorProcess* process);
    // The end of a run's process, at once, even while a question is up.
    void processEndedNow(EmulatorProcess* process);
    // The end of a run's process (a reaction: after any question).
    void processEnded(EmulatorProcess* process, bool supervised);
    // Whether the current run runs may have changed.
    void runningChanged();
    // A command option printed nothing for idleLimit() (a reaction).
    void idleLimitReached();
    // What the launcher did to a run: for the system log and the log window.
    void report(const QString& line);
    // For the system log only.
    void diagnostic(const QString& line);

private:
    struct Run;
    Run* runOf(const EmulatorProcess* process) const;
    void handleWaitingReactions();
    void endTerminateGrace(const std::shared_ptr<EmulatorProcess>& process);
    void retireIfDone(EmulatorProcess* process);

    std::chrono::milliseconds m_terminateGrace{10000};
    std::chrono::milliseconds m_idleLimit{30000};

    std::shared_ptr<EmulatorProcess> m_current;
    std::vector<std::unique_ptr<Run>> m_runs;
    int m_questions = 0;
    std::deque<std::function<void()>> m_waitingReactions;
    bool m_handlingReactions = false;
};

} // namespace kd
