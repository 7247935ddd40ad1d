// Running the emulator as a child process and following its two ends: the end
// of its output and the end of the process, which may come in either order.
#include "app/appdelegate.h"
#include "app/runs/playtracker.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/logwindow.h"
#include "app/windows/preferenceswindow.h"
#include "emulator/emulatorprocess.h"
#include "log/view/logview.h"
#include "platform/desktop.h"

#include <QApplication>
#include <QDir>

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

EmulatorProcess* AppDelegate::task() const {
    return m_runs->current();
}

EmulatorProcess* AppDelegate::startRun(const QStringList& arguments, bool supervised) {
    const QString program = pathOfExecFile();
    QString workingDir = pathOfCurrentDir();
    if (!file_FoundCheck(workingDir))
        workingDir = QDir::homePath();
    m_desktop.systemLog(QStringLiteral("Starting ") + describeCommand(program, arguments) +
                        QStringLiteral(" in ") + workingDir);
    QString error;
    EmulatorProcess* process = m_runs->start(program, arguments, workingDir, supervised, &error);
    // `task` keeps a process that never ran; it counts as not running.
    if (!process->hasStarted())
        reportStartFailure(program, error);
    return process;
}

void AppDelegate::LaunchTask(const QStringList& arguments) {
    startRun(arguments, true);
}

void AppDelegate::LaunchTask_wait(const QStringList& arguments) {
    EmulatorProcess* process = startRun(arguments, false);
    if (process->hasStarted())
        m_runs->waitForEnd(process);
}

void AppDelegate::getData(EmulatorProcess* run, const QByteArray& chunk) {
    if (!m_runs->isCollecting(run))
        return;
    if (!chunk.isEmpty()) {
        m_runs->collect(run, chunk);
        return;
    }
    // End of output. An older run's end must not disturb the current run, and a
    // run that was already stopped has had its stop step.
    if (!m_runs->isCurrent(run) || m_runs->wasStopped(run)) {
        m_runs->finishOutput(run);
        return;
    }
    stopProcess();
    // Whether the process has ended is the kernel's answer, not the order in which
    // the two events happen to be handled. A run stopped on request did not fail.
    if (const std::optional<int> status = run->endedStatusNow();
        status && *status >= 1 && *status <= 254 && !m_runs->wasStopRequested(run))
        display_Alert_Error(*status);
}

void AppDelegate::stopProcess() {
    m_runs->drainCurrent();
    show_kdrome(LauncherName);
    if (m_visiblePrewindow) {
        bringForward(preferencesWindow.get());
        m_visiblePrewindow = false;
    }
}

void AppDelegate::checkATaskStatus(EmulatorProcess* run) {
    const int status = run->exitStatus();
    // The end the user asked for (SIGTERM, or a kill after the grace) is no
    // error: the log says how it went, the system log keeps the status.
    if (m_runs->wasStopRequested(run)) {
        m_desktop.systemLog(status == 0 ? QStringLiteral("Task terminate: Success")
                                        : QStringLiteral("Task terminate: Error %1").arg(status));
        appendOutput(formatText(text(QStringLiteral("Log_Stopped")), 0,
                                m_play->outcomeText({0, status, run->wasSignalled()})));
        return;
    }
    if (status == 0) {
        m_desktop.systemLog(QStringLiteral("Task terminate: Success"));
        return;
    }
    m_desktop.beep();
    m_desktop.systemLog(QStringLiteral("Task terminate: Error %1").arg(status));
    appendOutput(formatText(text(QStringLiteral("Error_4")), status));
    // The user may be elsewhere: the desktop says it, and leads to the log.
    if (!QApplication::activeWindow()) {
        const QStringList arguments = m_runs->argumentsOf(run);
        const QString game =
            arguments.isEmpty() ? EmulatorName : m_play->titleOfRom(arguments.first());
        m_desktop.notify(formatText(text(QStringLiteral("Notify_RunFailed")), 0, game),
                         formatText(text(QStringLiteral("Notify_RunFailedInfo")), 0,
                                    m_play->outcomeText({0, status, run->wasSignalled()})),
                         text(QStringLiteral("Button_ShowLog")), [this] { show_Logwindow(); });
    }
    display_Alert_Error(status);
}

void AppDelegate::quit_emulator() {
    m_runs->terminateCurrent();
    stopProcess();
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
    case 2:
        Choicethefile(ChooserTag::Emulator);
        break;
    default:
        break;
    }
}

// What the launcher did to a run, in the system log and, on a line of its own,
// in the log window, so that a status such as 9 is explained where it is seen.
void AppDelegate::reportInLog(const QString& line) {
    m_desktop.systemLog(line);
    const QString lead = logWindow->view().atLineStart() ? QString() : QStringLiteral("\n");
    appendOutput(lead + line + u'\n');
}

} // namespace kd
