// The user's ways of starting the emulator: a game from the list or from an
// open panel, and a single command option.
#include "app/activityindicator.h"
#include "app/appdelegate.h"
#include "emulator/emulatorprocess.h"
#include "log/logheader.h"
#include "platform/desktop.h"
#include "settings/pathops.h"

#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

namespace kd {

void AppDelegate::start_game(QObject*) {
    // A record without a usable name is refused like no selection: no path from garbage.
    const std::optional<QString> name = selectedGameName();
    if (!name) {
        m_desktop.beep();
        return;
    }
    const QString romFile = path::appendExtension(*name, QStringLiteral("zip"));
    const QString romsFolder = textfild_roms->text();
    if (romsFolder.isEmpty()) {
        menu_openROMfile();
        return;
    }
    task_cocking(path::appendComponent(romsFolder, romFile));
}

void AppDelegate::menu_openROMfile(QObject* sender) {
    show_kdrome(LauncherName);
    openROMfile(sender);
}

void AppDelegate::openROMfile(QObject*) {
    OpenPanelRequest panel;
    panel.chooseFiles = true;
    panel.chooseDirectories = false;
    panel.prompt = text(QStringLiteral("Opanel_Prompt"));
    panel.allowedTypes = {QStringLiteral("zip")};
    panel.startDirectory = panelFolder(textfild_roms->text(), false);
    if (const std::optional<QString> path = runOpenPanel(panel); path && !path->isEmpty())
        task_cocking(*path);
}

void AppDelegate::task_cocking(const QString& romPath) {
    if (!ExefileCheck())
        display_Alert_exe();
    if (m_task && m_task->isRunning())
        quit_emulator();
    timestamp({{QStringLiteral("type"), int(GameRunHeader)},
               {QStringLiteral("poster"), QStringLiteral("Perform a lunch task")}});
    LaunchTask_option({{QString::fromLatin1(RomNameKey), romPath}});
    if (m_task && m_task->hasStarted()) {
        m_desktop.noteRecentDocument(romPath);
        recordGameStart(romPath);
    }
}

void AppDelegate::LaunchTask_option(const QVariantMap& request) {
    if (preferencesWindow->isVisible()) {
        preferencesWindow->close();
        visible_prewindow = true;
    }
    LaunchTask(emulatorArguments(request, currentEmulatorForm()));
    // A run that never started has no end of output to reopen the window: the
    // request ends here, as if it had not happened.
    if (!m_task->hasStarted() && visible_prewindow) {
        showWindow(preferencesWindow);
        visible_prewindow = false;
    }
}

void AppDelegate::returnButtonAction(QObject* sender) {
    if (m_task && m_task->isRunning()) {
        m_desktop.beep();
        return;
    }
    // Without a selected item there is no option to run.
    if (popup_command->currentIndex() < 0) {
        m_desktop.beep();
        return;
    }
    progressInd->startAnimation(sender);
    const QString option = popup_command->currentText();
    timestamp(
        {{QStringLiteral("type"), int(CommandOptionHeader)}, {QStringLiteral("poster"), option}});
    LaunchTask_wait({option});
    progressInd->stopAnimation(sender);
    m_desktop.playSound(QStringLiteral("Pop"));
    show_Logwindow();
}

} // namespace kd
