// The start-up checks with their alerts, the path choosers and the reset.
#include "app/appdelegate.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/activityindicator.h"
#include "app/windows/logwindow.h"
#include "app/windows/preferenceswindow.h"
#include "log/view/logview.h"
#include "platform/desktop.h"
#include "settings/pathops.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFileInfo>

namespace kd {

namespace {

// The chooser opens where the path it replaces is.
ChooserRequest chooserRequest(const SettingsStore& store, std::optional<TextKey> key, bool files) {
    const QString current = key ? store.stringForKey(*key).value_or(QString()) : QString();
    return {files, !files, LauncherPaths::panelFolder(current, files)};
}

} // namespace

QString AppDelegate::openPanelpath(const ChooserRequest& request) {
    OpenPanelRequest panel;
    panel.chooseDirectories = request.chooseDirect;
    panel.chooseFiles = request.chooseFile;
    panel.prompt = text(QStringLiteral("Button_4"));
    panel.startDirectory = request.directory;
    return runOpenPanel(panel).value_or(QString());
}

void AppDelegate::Choicethefile(ChooserTag tag) {
    const std::optional<TextKey> key = chooserKey(tag, false);
    const QString path = openPanelpath(chooserRequest(m_store, key, true));
    if (path.isEmpty())
        return;
    if (key) {
        // From now on the emulator comes from the user's path.
        if (tag == ChooserTag::Emulator)
            m_store.setObject(false, keys::Button_packege1);
        m_store.setObject(path, *key);
    }
    m_store.synchronize();
}

void AppDelegate::Choicethefolder(ChooserTag tag) {
    const std::optional<TextKey> key = chooserKey(tag, true);
    const QString path = openPanelpath(chooserRequest(m_store, key, false));
    if (path.isEmpty())
        return;
    if (key)
        m_store.setObject(path, *key);
    m_store.synchronize();
}

void AppDelegate::display_Alert_exe() {
    AlertRequest alert;
    alert.style = AlertStyle::Warning;
    alert.message = text(QStringLiteral("Install_1"));
    alert.informativeText = formatText(text(QStringLiteral("Alert_7")));
    alert.buttons = {text(QStringLiteral("Button_4")), text(QStringLiteral("Button_2"))};
    alert.cancelButton = 1;
    if (runAlert(alert) != 0)
        return;
    Choicethefile(ChooserTag::Emulator);
}

void AppDelegate::check_romsfolder() {
    const QString stored = m_store.stringForKey(keys::RomsPath).value_or(QString());
    if (folder_FoundCheck(stored))
        return;
    AlertRequest alert;
    alert.style = AlertStyle::Warning;
    // A folder that was set and is gone (a drive not connected) is named.
    if (stored.isEmpty()) {
        alert.message = text(QStringLiteral("Alert_2"));
        alert.informativeText = text(QStringLiteral("Alert_5"));
    } else {
        alert.message = text(QStringLiteral("Alert_2_NotFound"));
        alert.informativeText = formatText(text(QStringLiteral("Alert_5_NotFound")), 0, stored);
    }
    alert.buttons = {text(QStringLiteral("Button_4")), text(QStringLiteral("Button_2"))};
    alert.cancelButton = 1;
    if (runAlert(alert) != 0)
        return;
    Choicethefolder(ChooserTag::Roms);
}

void AppDelegate::DefaultAction() {
    if (m_runs->isRunning()) {
        m_desktop.beep();
        return;
    }
    ActivityIndicator& progressInd = preferencesWindow->progressInd();
    progressInd.startAnimation();
    m_defaults.revertToInitialValues();
    logWindow->view().setText(text(QStringLiteral("preferences_ini")));
    logWindow->repaint();
    PackagePath_ini();
    progressInd.stopAnimation();
    m_desktop.playSound(QStringLiteral("Tink"));
}

// The reset cannot be undone, so the button and the menu item ask first;
// Cancel is the default and Escape's answer. While the emulator runs the reset
// is refused without a question.
void AppDelegate::resetPreferences() {
    if (!m_runs->isRunning()) {
        AlertRequest alert;
        alert.style = AlertStyle::Warning;
        alert.message = text(QStringLiteral("Alert_Reset"));
        alert.informativeText = text(QStringLiteral("Alert_ResetInfo"));
        alert.buttons = {text(QStringLiteral("Button_2")), text(QStringLiteral("Button_Reset"))};
        alert.cancelButton = 0;
        if (runAlert(alert) != 1)
            return;
    }
    DefaultAction();
}

} // namespace kd
