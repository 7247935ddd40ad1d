#include "app/runs/runsupervisor.h"

#include "emulator/emulatorprocess.h"

#include <QTimer>

namespace kd {

namespace {

QString seconds(std::chrono::milliseconds span) {
    return QString::number(double(span.count()) / 1000);
}

} // namespace

// Per-run state kept until both ends of a run have been handled.
struct RunSupervisor::Run {
    std::shared_ptr<EmulatorProcess> process;
    QStringList arguments;
    Utf8StreamDecoder decoder;
    bool outputDone = false; // its text is complete
    bool endDone = false;    // the end of its process has been handled
    bool stopped = false;    // its stop step ran while it still held its output open
    bool stopRequested = false;
};

RunSupervisor::RunSupervisor(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("runs"));
}

RunSupervisor::~RunSupervisor() = default;

RunSupervisor::Run* RunSupervisor::runOf(const EmulatorProcess* process) const {
    for (const auto& run : m_runs)
        if (run->process.get() == process)
            return run.get();
    return nullptr;
}

bool RunSupervisor::isRunning() const {
    return m_current && m_current->isRunning();
}

QStringList RunSupervisor::argumentsOf(const EmulatorProcess* process) const {
    const Run* run = runOf(process);
    return run ? run->arguments : QStringList();
}

EmulatorProcess* RunSupervisor::start(const QString& program, const QStringList& arguments,
                                      const QString& workingDir, bool supervised, QString* error) {
    auto owned = std::make_unique<Run>();
    owned->process = std::make_shared<EmulatorProcess>();
    owned->arguments = arguments;
    EmulatorProcess* process = owned->process.get();
    m_current = owned->process;

    // Listeners first, so no output is lost however early the emulator writes.
    // Output flows on at once; the two ends wait while a question is up.
    const std::weak_ptr<EmulatorProcess> weak = owned->process;
    connect(process, &EmulatorProcess::outputReceived, this,
            [this, process](const QByteArray& chunk) { emit outputReceived(process, chunk); });
    connect(process, &EmulatorProcess::outputEnded, this, [this, weak] {
        react([this, weak] {
            if (const std::shared_ptr<EmulatorProcess> p = weak.lock())
                emit outputEnded(p.get());
        });
    });
    connect(process, &EmulatorProcess::processEnded, this, [this, weak, supervised] {
        if (const std::shared_ptr<EmulatorProcess> p = weak.lock())
            emit processEndedNow(p.get());
        emit runningChanged();
        react([this, weak, supervised] {
            const std::shared_ptr<EmulatorProcess> p = weak.lock();
            if (!p)
                return;
            emit processEnded(p.get(), supervised);
            if (Run* run = runOf(p.get())) {
                run->endDone = true;
                retireIfDone(p.get());
            }
        });
    });

    if (process->start(program, arguments, workingDir, error))
        m_runs.push_back(std::move(owned));
    emit runningChanged();
    return process;
}

void RunSupervisor::waitForEnd(EmulatorProcess* process) {
    Run* run = runOf(process);
    if (!run)
        return;
    // Keep the process alive for the whole wait, even if another run becomes current.
    const std::shared_ptr<EmulatorProcess> keep = run->process;
    // An option may print for minutes (an audit of a big set); only one that
    // has printed nothing for a long time is stopped.
    QTimer idle;
    idle.setSingleShot(true);
    connect(process, &EmulatorProcess::outputReceived, &idle, [&idle] { idle.start(); });
    connect(&idle, &QTimer::timeout, this, [this, keep, option = run->arguments.value(0)] {
        react([this, keep, option] {
            if (!keep->isRunning())
                return;
            emit report(QStringLiteral("Command option \"%1\" printed nothing for %2 s; "
                                       "sending it the terminate request")
                            .arg(option, seconds(m_idleLimit)));
            emit idleLimitReached();
        });
    });
    idle.start(m_idleLimit);
    keep->waitForEnd();
}

bool RunSupervisor::isCollecting(const EmulatorProcess* process) const {
    const Run* run = runOf(process);
    return run && !run->outputDone;
}

void RunSupervisor::collect(EmulatorProcess* process, QByteArrayView chunk) {
    if (Run* run = runOf(process))
        run->decoder.decode(chunk, [this](QByteArrayView valid) { emit text(valid); });
}

void RunSupervisor::finishOutput(EmulatorProcess* process) {
    Run* run = runOf(process);
    if (!run || run->outputDone)
        return;
    run->decoder.finish([this](QByteArrayView valid) { emit text(valid); });
    run->outputDone = true;
    retireIfDone(process);
}

bool RunSupervisor::wasStopped(const EmulatorProcess* process) const {
    const Run* run = runOf(process);
    return run && run->stopped;
}

bool RunSupervisor::wasStopRequested(const EmulatorProcess* process) const {
    const Run* run = runOf(process);
    return run && run->stopRequested;
}

void RunSupervisor::drainCurrent() {
    Run* run = runOf(m_current.get());
    if (!run || run->outputDone || run->stopped)
        return;
    EmulatorProcess& process = *run->process;
    if (process.drain(DrainBound,
                      [this, &process](QByteArrayView bytes) { collect(&process, bytes); })) {
        finishOutput(&process);
        return;
    }
    // The launcher stops waiting, but keeps what the emulator still writes
    // while it ends (its last words, a grandchild's lines).
    run->stopped = true;
    process.resumeListening();
    emit diagnostic(QStringLiteral("Process %1 still holds its output open %2 s after the "
                                   "stop; its further output is still collected")
                        .arg(process.pid())
                        .arg(seconds(DrainBound)));
}

void RunSupervisor::terminateCurrent() {
    const std::shared_ptr<EmulatorProcess> process = m_current;
    if (!process || !process->isRunning())
        return;
    if (Run* run = runOf(process.get()))
        run->stopRequested = true;
    process->terminate();
    // The grace counts from the request, the stop step's wait included.
    QTimer::singleShot(
        m_terminateGrace, this,
        [this, weak = std::weak_ptr<EmulatorProcess>(process)] { endTerminateGrace(weak.lock()); });
}

// The grace after a terminate request is over: an emulator still running is
// killed, and output that something still holds open is let go.
void RunSupervisor::endTerminateGrace(const std::shared_ptr<EmulatorProcess>& process) {
    if (!process)
        return;
    if (process->isRunning()) {
        emit report(QStringLiteral("Process %1 did not end within %2 s of the terminate "
                                   "request; killed")
                        .arg(process->pid())
                        .arg(seconds(m_terminateGrace)));
        process->kill();
        return;
    }
    if (!isCollecting(process.get()))
        return;
    process->drain(std::chrono::milliseconds(0),
                   [this, &process](QByteArrayView bytes) { collect(process.get(), bytes); });
    process->abandonOutput();
    finishOutput(process.get());
    emit diagnostic(QStringLiteral("Stopped reading the output of process %1: it was still held "
                                   "open %2 s after the terminate request")
                        .arg(process->pid())
                        .arg(seconds(m_terminateGrace)));
}

// A run is forgotten once both of its ends have been handled.
void RunSupervisor::retireIfDone(EmulatorProcess* process) {
    const Run* run = runOf(process);
    if (!run || !run->endDone || !run->outputDone)
        return;
    // Not from inside the run's own signal: let the event loop finish with it first.
    QTimer::singleShot(0, this, [this, process] {
        std::erase_if(m_runs, [process](const auto& r) { return r->process.get() == process; });
    });
}

void RunSupervisor::beginQuestion() {
    ++m_questions;
}

void RunSupervisor::endQuestion() {
    if (--m_questions == 0 && !m_waitingReactions.empty())
        QTimer::singleShot(0, this, &RunSupervisor::handleWaitingReactions);
}

// While an alert or a panel is up, the reactions to the ends of runs wait, and
// are handled after it has closed in the order they came: alerts come one after
// another, never one over another, and no stop step runs inside one.
void RunSupervisor::react(std::function<void()> reaction) {
    m_waitingReactions.push_back(std::move(reaction));
    handleWaitingReactions();
}

void RunSupervisor::handleWaitingReactions() {
    if (m_questions > 0 || m_handlingReactions)
        return;
    m_handlingReactions = true;
    while (!m_waitingReactions.empty() && m_questions == 0) {
        const std::function<void()> next = std::move(m_waitingReactions.front());
        m_waitingReactions.pop_front();
        next();
    }
    m_handlingReactions = false;
}

} // namespace kd
