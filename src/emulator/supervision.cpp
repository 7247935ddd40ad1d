// Running the emulator as a child process and following its two ends: the end
// of its output and the end of the process, which may come in either order.
#include "app/appdelegate.h"
#include "emulator/emulatorprocess.h"
#include "log/utf8streamdecoder.h"
#include "platform/desktop.h"

#include <QDir>
#include <QTimer>
#include <QWidget>

namespace kd {

namespace {

// One line for the system log that shows exactly what was started.
QString describeCommand(const QString& program, const QStringList& arguments) {
    QStringList quoted{program};
    for (const QString& argument : arguments)
        quoted << u'"' + QString(argument).replace(u'"', QStringLiteral("\\\"")) + u'"';
    return quoted.join(u' ');
}

} // namespace

AppDelegate::Run* AppDelegate::runOf(const EmulatorProcess* process) {
    for (const auto& run : m_runs)
        if (run->process.get() == process)
            return run.get();
    return nullptr;
}

EmulatorProcess* AppDelegate::startRun(const QStringList& arguments, bool supervised) {
    auto owned = std::make_unique<Run>();
    owned->process = std::make_shared<EmulatorProcess>();
    EmulatorProcess* process = owned->process.get();
    m_task = owned->process;

    const QString program = pathOfExecFile();
    QString workingDir = pathOfCurrentDir();
    if (!file_FoundCheck(workingDir))
        workingDir = QDir::homePath();

    // Listeners first, so no output is lost however early the emulator writes.
    connect(process, &EmulatorProcess::outputReceived, this,
            [this, process](const QByteArray& chunk) { getData(process, chunk); });
    connect(process, &EmulatorProcess::outputEnded, this,
            [this, process] { getData(process, QByteArray()); });
    connect(process, &EmulatorProcess::processEnded, this, [this, process, supervised] {
        if (supervised)
            checkATaskStatus(process);
        retireIfDone(process);
    });

    m_desktop.systemLog(QStringLiteral("Starting ") + describeCommand(program, arguments) +
                        QStringLiteral(" in ") + workingDir);
    QString error;
    if (!process->start(program, arguments, workingDir, &error)) {
        // `task` keeps the process that never ran; it counts as not running.
        reportStartFailure(program, error);
        return process;
    }
    m_runs.push_back(std::move(owned));
    return process;
}

void AppDelegate::LaunchTask(const QStringList& arguments) {
    startRun(arguments, true);
}

void AppDelegate::LaunchTask_wait(const QStringList& arguments) {
    EmulatorProcess* process = startRun(arguments, false);
    if (!process->hasStarted())
        return;
    // A command option that hangs must not hold the launcher for good.
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, this, [this, process] {
        if (!process->isRunning())
            return;
        m_desktop.systemLog(QStringLiteral("Command option still running after %1 ms; stopping it")
                                .arg(commandOptionLimit.count()));
        // User input waits during the wait, so the run is still the current one.
        if (process == m_task.get())
            quit_emulator();
        else
            process->kill();
    });
    limit.start(commandOptionLimit);
    // Keep the process alive for the whole wait, even if `task` moves on.
    const std::shared_ptr<EmulatorProcess> keep = m_task;
    keep->waitForEnd();
}

void AppDelegate::appendRunOutput(Run& run, QByteArrayView bytes) {
    run.decoder.decode(bytes, [this](QByteArrayView valid) { appendOutputUtf8(valid); });
}

void AppDelegate::finishRunOutput(Run& run) {
    run.decoder.finish([this](QByteArrayView valid) { appendOutputUtf8(valid); });
    run.outputDone = true;
}

void AppDelegate::getData(EmulatorProcess* process, const QByteArray& chunk) {
    Run* run = runOf(process);
    if (!run || run->outputDone)
        return;
    if (!chunk.isEmpty()) {
        appendRunOutput(*run, chunk);
        return;
    }
    // End of output. An older run's end must not disturb the current run.
    if (process != m_task.get()) {
        finishRunOutput(*run);
        retireIfDone(process);
        return;
    }
    stopProcess();
    if (process->hasEnded()) {
        const int status = process->exitStatus();
        if (status >= 1 && status <= 254)
            display_Alert_Error(status);
    }
    retireIfDone(process);
}

void AppDelegate::stopProcess() {
    m_lastDrainComplete = true;
    if (Run* run = runOf(m_task.get()); run && !run->outputDone) {
        m_lastDrainComplete = run->process->drain(
            DrainBound, [this, run](QByteArrayView bytes) { appendRunOutput(*run, bytes); });
        finishRunOutput(*run);
        if (!m_lastDrainComplete)
            m_desktop.systemLog(
                QStringLiteral(
                    "Stopped reading the output of process %1 after %2 s: it still holds "
                    "its output open")
                    .arg(run->process->pid())
                    .arg(DrainBound.count() / 1000));
        retireIfDone(run->process.get());
    }
    show_kdrome(LauncherName);
    if (visible_prewindow) {
        showWindow(preferencesWindow);
        visible_prewindow = false;
    }
}

void AppDelegate::checkATaskStatus(EmulatorProcess* process) {
    const int status = process->exitStatus();
    if (status == 0) {
        m_desktop.systemLog(QStringLiteral("Task terminate: Success"));
        return;
    }
    m_desktop.beep();
    m_desktop.systemLog(QStringLiteral("Task terminate: Error %1").arg(status));
    appendOutput(formatText(text(QStringLiteral("Error_4")), status));
    display_Alert_Error(status);
}

void AppDelegate::quit_emulator(QObject*) {
    const bool wasRunning = m_task && m_task->isRunning();
    if (wasRunning)
        m_task->terminate();
    stopProcess();
    if (!wasRunning || !m_task->isRunning())
        return;
    auto killIgnored = [this](EmulatorProcess& process) {
        m_desktop.systemLog(QStringLiteral("Process %1 ignored the terminate request; killing it")
                                .arg(process.pid()));
        process.kill();
    };
    // It neither ended nor let go of its output: make sure it ends.
    if (!m_lastDrainComplete) {
        killIgnored(*m_task);
        return;
    }
    // Its output may have ended long before, so the drain gave it no time at all:
    // it gets the same bound, without holding the launcher meanwhile.
    QTimer::singleShot(
        DrainBound, this, [killIgnored, process = std::weak_ptr<EmulatorProcess>(m_task)] {
            if (const std::shared_ptr<EmulatorProcess> p = process.lock(); p && p->isRunning())
                killIgnored(*p);
        });
}

void AppDelegate::display_Alert_Error(int status) {
    AlertRequest alert;
    alert.style = AlertStyle::Warning;
    alert.message = text(QStringLiteral("Alert_1"));
    alert.informativeText = formatText(text(QStringLiteral("Alert_3")), status);
    alert.buttons = {QStringLiteral("OK"), QStringLiteral("Log")};
    if (m_desktop.runAlert(alert) == 1)
        show_Logwindow();
}

void AppDelegate::reportStartFailure(const QString& program, const QString& reason) {
    const QString what = program.isEmpty() ? QStringLiteral("(no emulator path)") : program;
    m_desktop.systemLog(QStringLiteral("Cannot start ") + what + QStringLiteral(": ") + reason);
    appendOutput(formatText(text(QStringLiteral("Log_StartFailed")), 0,
                            what + QStringLiteral(": ") + reason));
    AlertRequest alert;
    alert.style = AlertStyle::Warning;
    alert.message = text(QStringLiteral("Alert_StartFailed"));
    alert.informativeText = formatText(text(QStringLiteral("Alert_StartFailedInfo")), 0,
                                       what + QStringLiteral(": ") + reason);
    alert.buttons = {QStringLiteral("OK"), QStringLiteral("Log")};
    if (m_desktop.runAlert(alert) == 1)
        show_Logwindow();
}

// A run is forgotten once its process has ended and its output has been handled.
void AppDelegate::retireIfDone(EmulatorProcess* process) {
    Run* run = runOf(process);
    if (!run || !run->process->hasEnded() || !run->outputDone)
        return;
    // Not from inside the run's own signal: let the event loop finish with it first.
    QTimer::singleShot(0, this, [this, process] {
        std::erase_if(m_runs, [process](const auto& r) { return r->process.get() == process; });
    });
}

} // namespace kd
