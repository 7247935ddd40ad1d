// The user's ways of starting the emulator: a game from the list or from an
// open panel, and a single command option.
#include "app/appdelegate.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/activityindicator.h"
#include "app/windows/preferenceswindow.h"
#include "catalogue/gamelist.h"
#include "emulator/emulatorprocess.h"
#include "platform/desktop.h"
#include "settings/pathops.h"

namespace kd {

void AppDelegate::start_game() {
    // A record without a usable name is refused like no selection: no path from garbage.
    const std::optional<QString> name = selectedGameName();
    if (!name) {
        m_desktop.beep();
        return;
    }
    const QString romFile = path::appendExtension(*name, QStringLiteral("zip"));
    const QString romsFolder = m_paths.romsFolder();
    if (romsFolder.isEmpty()) {
        menu_openROMfile();
        return;
    }
    // Joined, such a name would hand the emulator whatever archive lies there.
    if (!nameStaysInFolder(*name)) {
        reportCannotStart(*name, text(QStringLiteral("Open_NameLeavesFolder")));
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
    m_desktop.playSound(QStringLiteral("Pop"));
    show_Logwindow();
}

} // namespace kd
