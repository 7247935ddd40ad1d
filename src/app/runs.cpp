// Running the emulator as a child process and following its two ends: the end
// of its output and the end of the process, which may come in either order.
#include "app/appdelegate.h"
#include "emulator/emulatorprocess.h"
#include "log/utf8streamdecoder.h"
#include "log/view/logview.h"
#include "platform/desktop.h"

#include <QDeadlineTimer>
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

QString seconds(std::chrono::milliseconds span) {
    return QString::number(double(span.count()) / 1000);
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
    owned->arguments = arguments;
    EmulatorProcess* process = owned->process.get();
    m_task = owned->process;

    const QString program = pathOfExecFile();
    QString workingDir = pathOfCurrentDir();
    if (!file_FoundCheck(workingDir))
        workingDir = QDir::homePath();

    // Listeners first, so no output is lost however early the emulator writes.
    // Output flows into the log at once; the two ends wait while a question is up.
    const std::weak_ptr<EmulatorProcess> weak = owned->process;
    connect(process, &EmulatorProcess::outputReceived, this,
            [this, process](const QByteArray& chunk) { getData(process, chunk); });
    connect(process, &EmulatorProcess::outputEnded, this, [this, weak] {
        react([this, weak] {
            if (const std::shared_ptr<EmulatorProcess> p = weak.lock())
                getData(p.get(), QByteArray());
        });
    });
    connect(process, &EmulatorProcess::processEnded, this, [this, weak, supervised] {
        if (const std::shared_ptr<EmulatorProcess> p = weak.lock())
            recordGameEnd(p.get());
        updateRunActions();
        react([this, weak, supervised] {
            const std::shared_ptr<EmulatorProcess> p = weak.lock();
            if (!p)
                return;
            if (supervised)
                checkATaskStatus(p.get());
            if (Run* run = runOf(p.get()))
                run->endDone = true;
            retireIfDone(p.get());
        });
    });

    m_desktop.systemLog(QStringLiteral("Starting ") + describeCommand(program, arguments) +
                        QStringLiteral(" in ") + workingDir);
    QString error;
    if (!process->start(program, arguments, workingDir, &error)) {
        // `task` keeps the process that never ran; it counts as not running.
        updateRunActions();
        reportStartFailure(program, error);
        return process;
    }
    m_runs.push_back(std::move(owned));
    updateRunActions();
    return process;
}

void AppDelegate::LaunchTask(const QStringList& arguments) {
    startRun(arguments, true);
}

void AppDelegate::LaunchTask_wait(const QStringList& arguments) {
    EmulatorProcess* process = startRun(arguments, false);
    if (!process->hasStarted())
        return;
    // Keep the process alive for the whole wait, even if `task` moves on.
    const std::shared_ptr<EmulatorProcess> keep = m_task;
    // An option may print for minutes (an audit of a big set); only one that has
    // printed nothing for a long time is stopped.
    QTimer idle;
    idle.setSingleShot(true);
    connect(process, &EmulatorProcess::outputReceived, &idle, [&idle] { idle.start(); });
    connect(&idle, &QTimer::timeout, this, [this, keep, option = arguments.value(0)] {
        react([this, keep, option] {
            if (!keep->isRunning())
                return;
            reportInLog(QStringLiteral("Command option \"%1\" printed nothing for %2 s; "
                                       "sending it the terminate request")
                            .arg(option)
                            .arg(seconds(commandOptionIdleLimit)));
            // User input waits during the wait, so the run is still the current one.
            quit_emulator();
        });
    });
    idle.start(commandOptionIdleLimit);
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
    // End of output. An older run's end must not disturb the current run, and a
    // run that was already stopped has had its stop step.
    if (process != m_task.get() || run->stopped) {
        finishRunOutput(*run);
        retireIfDone(process);
        return;
    }
    stopProcess();
    // Whether the process has ended is the kernel's answer, not the order in which
    // the two events happen to be handled.
    if (const std::optional<int> status = process->endedStatusNow();
        status && *status >= 1 && *status <= 254)
        display_Alert_Error(*status);
    retireIfDone(process);
}

void AppDelegate::stopProcess() {
    if (Run* run = runOf(m_task.get()); run && !run->outputDone && !run->stopped) {
        EmulatorProcess& process = *run->process;
        if (process.drain(DrainBound,
                          [this, run](QByteArrayView bytes) { appendRunOutput(*run, bytes); })) {
            finishRunOutput(*run);
            retireIfDone(&process);
        } else {
            // The launcher stops waiting, but keeps what the emulator still writes
            // while it ends (its last words, a grandchild's lines).
            run->stopped = true;
            process.resumeListening();
            m_desktop.systemLog(QStringLiteral("Process %1 still holds its output open %2 s after "
                                               "the stop; its further output is still collected")
                                    .arg(process.pid())
                                    .arg(seconds(DrainBound)));
        }
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
    const std::shared_ptr<EmulatorProcess> process = m_task;
    const bool wasRunning = process && process->isRunning();
    if (wasRunning)
        process->terminate();
    // The grace counts from the request, the drain's wait included.
    const QDeadlineTimer graceEnd(terminateGrace);
    stopProcess();
    if (wasRunning)
        QTimer::singleShot(std::chrono::milliseconds(graceEnd.remainingTime()), this,
                           [this, weak = std::weak_ptr<EmulatorProcess>(process)] {
                               endTerminateGrace(weak.lock());
                           });
}

// The grace after a terminate request is over: an emulator still running is
// killed, and output that something still holds open is let go.
void AppDelegate::endTerminateGrace(const std::shared_ptr<EmulatorProcess>& process) {
    if (!process)
        return;
    if (process->isRunning()) {
        reportInLog(QStringLiteral("Process %1 did not end within %2 s of the terminate request; "
                                   "killed")
                        .arg(process->pid())
                        .arg(seconds(terminateGrace)));
        process->kill();
        return;
    }
    Run* run = runOf(process.get());
    if (!run || run->outputDone)
        return;
    process->drain(std::chrono::milliseconds(0),
                   [this, run](QByteArrayView bytes) { appendRunOutput(*run, bytes); });
    process->abandonOutput();
    finishRunOutput(*run);
    m_desktop.systemLog(QStringLiteral("Stopped reading the output of process %1: it was still "
                                       "held open %2 s after the terminate request")
                            .arg(process->pid())
                            .arg(seconds(terminateGrace)));
    retireIfDone(process.get());
}

void AppDelegate::display_Alert_Error(int status) {
    AlertRequest alert;
    alert.style = AlertStyle::Warning;
    alert.message = text(QStringLiteral("Alert_1"));
    alert.informativeText = formatText(text(QStringLiteral("Alert_3")), status);
    alert.buttons = {text(QStringLiteral("Button_OK")), text(QStringLiteral("Button_Log"))};
    alert.cancelButton = 0;
    if (runAlert(alert) == 1)
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
    alert.buttons = {text(QStringLiteral("Button_OK")), text(QStringLiteral("Button_Log")),
                     text(QStringLiteral("Button_ChooseEmulator"))};
    alert.cancelButton = 0;
    switch (runAlert(alert)) {
    case 1:
        show_Logwindow();
        break;
    case 2: {
        QObject emulatorChooser;
        setTag(&emulatorChooser, 1);
        Choicethefile(&emulatorChooser);
        break;
    }
    default:
        break;
    }
}

// What the launcher did to a run, in the system log and, on a line of its own,
// in the log window, so that a status such as 9 is explained where it is seen.
void AppDelegate::reportInLog(const QString& line) {
    m_desktop.systemLog(line);
    const QString lead = infomationTextView->atLineStart() ? QString() : QStringLiteral("\n");
    appendOutput(lead + line + u'\n');
}

// A run is forgotten once both of its ends have been handled.
void AppDelegate::retireIfDone(EmulatorProcess* process) {
    Run* run = runOf(process);
    if (!run || !run->endDone || !run->outputDone)
        return;
    // Not from inside the run's own signal: let the event loop finish with it first.
    QTimer::singleShot(0, this, [this, process] {
        std::erase_if(m_runs, [process](const auto& r) { return r->process.get() == process; });
    });
}

} // namespace kd
