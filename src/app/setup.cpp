// The start-up checks with their alerts, the path choosers and the reset.
#include "app/activityindicator.h"
#include "app/appdelegate.h"
#include "emulator/emulatorprocess.h"
#include "log/view/logview.h"
#include "platform/desktop.h"
#include "settings/pathops.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QWidget>

namespace kd {

namespace {

QString key(const char* name) {
    return QString::fromLatin1(name);
}

// Which key each chooser button fills, by its tag.
struct Chooser {
    int tag;
    bool folder;
    const char* key;
};
constexpr Chooser Choosers[] = {
    {1, false, keys::ExecutionPath},  {5, false, keys::VertexShader},
    {6, false, keys::FragmentShader}, {2, true, keys::RomsPath},
    {3, true, keys::SnapPath},        {4, true, keys::IconPath},
};

const Chooser* chooserFor(const QObject* sender, bool folder) {
    const int tag = AppDelegate::tagOf(sender);
    for (const Chooser& chooser : Choosers)
        if (chooser.tag == tag && chooser.folder == folder)
            return &chooser;
    return nullptr;
}

// The chooser opens where the path it replaces is.
QVariantMap chooserRequest(const SettingsStore& store, const Chooser* chooser, bool files) {
    const QString current =
        chooser ? store.stringForKey(key(chooser->key)).value_or(QString()) : QString();
    return {
        {QStringLiteral("chooseFile"), files},
        {QStringLiteral("chooseDirect"), !files},
        {QStringLiteral("directory"), QUrl::fromLocalFile(AppDelegate::panelFolder(current, files))
                                          .toString(QUrl::FullyEncoded)}};
}

} // namespace

QString AppDelegate::panelFolder(const QString& path, bool isFile) {
    QString folder = isFile ? path::deleteLastComponent(path) : path;
    // The root folder stands for nothing the user chose.
    while (QDir::isAbsolutePath(folder) && QDir::cleanPath(folder) != QStringLiteral("/")) {
        if (QFileInfo(folder).isDir())
            return QDir::cleanPath(folder);
        folder = path::deleteLastComponent(folder);
    }
    return QDir::homePath();
}

QString AppDelegate::openPanelpath(const QVariantMap& request) {
    OpenPanelRequest panel;
    panel.chooseDirectories = request.value(QStringLiteral("chooseDirect")).toBool();
    panel.chooseFiles = request.value(QStringLiteral("chooseFile")).toBool();
    panel.prompt = text(QStringLiteral("Button_4"));
    const QUrl directory(request.value(QStringLiteral("directory")).toString());
    panel.startDirectory = directory.isLocalFile() ? directory.toLocalFile() : QString();
    return runOpenPanel(panel).value_or(QString());
}

void AppDelegate::Choicethefile(QObject* sender) {
    const Chooser* chooser = chooserFor(sender, false);
    const QString path = openPanelpath(chooserRequest(m_store, chooser, true));
    if (path.isEmpty())
        return;
    if (chooser) {
        // From now on the emulator comes from the user's path.
        if (chooser->tag == 1)
            m_store.setObject(false, key(keys::Button_packege1));
        m_store.setObject(path, key(chooser->key));
    }
    m_store.synchronize();
}

void AppDelegate::Choicethefolder(QObject* sender) {
    const Chooser* chooser = chooserFor(sender, true);
    const QString path = openPanelpath(chooserRequest(m_store, chooser, false));
    if (path.isEmpty())
        return;
    if (chooser)
        m_store.setObject(path, key(chooser->key));
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
    QObject emulatorChooser;
    setTag(&emulatorChooser, 1);
    Choicethefile(&emulatorChooser);
}

void AppDelegate::check_romsfolder() {
    const QString stored = m_store.stringForKey(key(keys::RomsPath)).value_or(QString());
    if (folder_FoundCheck(stored))
        return;
    AlertRequest alert;
    alert.style = AlertStyle::Warning;
    alert.message = text(QStringLiteral("Alert_2"));
    // A folder that was set and is gone (a drive not connected) is named.
    alert.informativeText = stored.isEmpty()
                                ? text(QStringLiteral("Alert_5"))
                                : formatText(text(QStringLiteral("Alert_5_NotFound")), 0, stored);
    alert.buttons = {text(QStringLiteral("Button_4")), text(QStringLiteral("Button_2"))};
    alert.cancelButton = 1;
    if (runAlert(alert) != 0)
        return;
    QObject romsChooser;
    setTag(&romsChooser, 2);
    Choicethefolder(&romsChooser);
}

void AppDelegate::DefaultAction(QObject* sender) {
    if (m_task && m_task->isRunning()) {
        m_desktop.beep();
        return;
    }
    progressInd->startAnimation(sender);
    m_defaults.revertToInitialValues();
    infomationTextView->setText(text(QStringLiteral("preferences_ini")));
    logWindow->repaint();
    PackagePath_ini();
    progressInd->stopAnimation(sender);
    m_desktop.playSound(QStringLiteral("Tink"));
}

// The reset cannot be undone, so the button and the menu item ask first;
// Cancel is the default and Escape's answer. While the emulator runs the reset
// is refused without a question.
void AppDelegate::resetPreferences(QObject* sender) {
    if (!(m_task && m_task->isRunning())) {
        AlertRequest alert;
        alert.style = AlertStyle::Warning;
        alert.message = text(QStringLiteral("Alert_Reset"));
        alert.informativeText = text(QStringLiteral("Alert_ResetInfo"));
        alert.buttons = {text(QStringLiteral("Button_2")), text(QStringLiteral("Button_Reset"))};
        alert.cancelButton = 0;
        if (runAlert(alert) != 1)
            return;
    }
    DefaultAction(sender);
}

} // namespace kd
