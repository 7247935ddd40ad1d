// The user's ways of starting the emulator: a game from the list or from an
// open panel, and a single command option.
#include "app/appdelegate.h"
#include "app/runs/playtracker.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/activityindicator.h"
#include "app/windows/preferenceswindow.h"
#include "catalogue/gamelist.h"
#include "emulator/emulatorprocess.h"
#include "platform/desktop.h"
#include "settings/pathops.h"

namespace kd {

namespace {

// A format whose two "%@" take `first` and `second` in turn.
QString formatTwo(const QString& format, const QString& first, const QString& second) {
    const qsizetype at = format.indexOf(QStringLiteral("%@"));
    if (at < 0)
        return formatText(format);
    return formatText(format.left(at + 2), 0, first) + formatText(format.mid(at + 2), 0, second);
}

} // namespace

void AppDelegate::start_game() {
    // A record without a usable name is refused like no selection: no path from garbage.
    const std::optional<QString> name = selectedGameName();
    if (!name) {
        m_desktop.beep();
        return;
    }
    startNamedGame(*name);
}

void AppDelegate::startNamedGame(const QString& name) {
    const QString romFile = path::appendExtension(name, QStringLiteral("zip"));
    const QString romsFolder = m_paths.romsFolder();
    if (romsFolder.isEmpty()) {
        menu_openROMfile();
        return;
    }
    // Joined, such a name would hand the emulator whatever archive lies there.
    if (!nameStaysInFolder(name)) {
        reportCannotStart(name, text(QStringLiteral("Open_NameLeavesFolder")));
        return;
    }
    task_cocking(path::appendComponent(romsFolder, romFile));
}

void AppDelegate::menu_openROMfile() {
    show_kdrome(LauncherName);
    openROMfile();
}

void AppDelegate::openROMfile() {
    OpenPanelRequest panel;
    panel.chooseFiles = true;
    panel.chooseDirectories = false;
    panel.prompt = text(QStringLiteral("Opanel_Prompt"));
    panel.allowedTypes = {QStringLiteral("zip")};
    panel.startDirectory = LauncherPaths::panelFolder(m_paths.romsFolder(), false);
    if (const std::optional<QString> path = runOpenPanel(panel); path && !path->isEmpty())
        task_cocking(*path);
}

void AppDelegate::task_cocking(const QString& romPath) {
    if (m_runs->isRunning() && !confirmStopToStart(romPath))
        return;
    if (!ExefileCheck())
        display_Alert_exe();
    if (m_runs->isRunning())
        quit_emulator();
    timestamp({GameRunHeader, QStringLiteral("Perform a lunch task")});
    LaunchTask_option({romPath});
    if (task()->hasStarted()) {
        m_desktop.noteRecentDocument(romPath);
        recordGameStart(romPath);
    }
}

// A running game is never ended without a word; Cancel does nothing.
bool AppDelegate::confirmStopToStart(const QString& romPath) {
    QString running = m_play->titleOfRun(*task());
    if (running.isEmpty())
        running = m_runs->argumentsOf(task()).value(0, EmulatorName);
    AlertRequest alert;
    alert.style = AlertStyle::Warning;
    alert.message =
        formatTwo(text(QStringLiteral("Alert_StopAndStart")), running, m_play->titleOfRom(romPath));
    alert.informativeText = text(QStringLiteral("Alert_StopAndStartInfo"));
    alert.buttons = {text(QStringLiteral("Button_2")), text(QStringLiteral("Button_StopAndStart"))};
    alert.cancelButton = 0;
    alert.defaultButton = 0;
    return runAlert(alert) == 1;
}

void AppDelegate::LaunchTask_option(const LaunchRequest& request) {
    if (preferencesWindow->isVisible()) {
        preferencesWindow->close();
        m_visiblePrewindow = true;
    }
    LaunchTask(emulatorArguments(request, preferencesWindow->emulatorForm()));
    // A run that never started has no end of output to reopen the window: the
    // request ends here, as if it had not happened.
    if (!task()->hasStarted() && m_visiblePrewindow) {
        bringForward(preferencesWindow.get());
        m_visiblePrewindow = false;
    }
}

void AppDelegate::returnButtonAction() {
    // While the emulator runs, or without a selected item, there is no option to run.
    const std::optional<QString> option = preferencesWindow->selectedCommandOption();
    if (m_runs->isRunning() || !option) {
        m_desktop.beep();
        return;
    }
    ActivityIndicator& progressInd = preferencesWindow->progressInd();
    progressInd.startAnimation();
    timestamp({CommandOptionHeader, *option});
    LaunchTask_wait({*option});
    progressInd.stopAnimation();
    // "Pop" confirms a run; one that could not start has had its alert.
    if (task()->hasStarted())
        m_desktop.playSound(QStringLiteral("Pop"));
    show_Logwindow();
}

} // namespace kd
