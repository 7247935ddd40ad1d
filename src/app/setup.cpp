// The start-up checks with their alerts, the path choosers and the reset.
#include "app/activityindicator.h"
#include "app/appdelegate.h"
#include "emulator/emulatorprocess.h"
#include "log/logview.h"
#include "platform/desktop.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QUrl>
#include <QWidget>

namespace kd {

namespace {

QVariantMap chooserRequest(bool files, bool folders) {
    return {{QStringLiteral("chooseFile"), files},
            {QStringLiteral("chooseDirect"), folders},
            {QStringLiteral("directory"), QString()}};
}

QString key(const char* name) {
    return QString::fromLatin1(name);
}

} // namespace

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
    const QString path = openPanelpath(chooserRequest(true, false));
    if (path.isEmpty())
        return;
    switch (tagOf(sender)) {
    case 6:
        m_store.setObject(path, key(keys::FragmentShader));
        break;
    case 5:
        m_store.setObject(path, key(keys::VertexShader));
        break;
    case 1:
        // From now on the emulator comes from the user's path.
        m_store.setObject(false, key(keys::Button_packege1));
        m_store.setObject(path, key(keys::ExecutionPath));
        break;
    default:
        break;
    }
    m_store.synchronize();
}

void AppDelegate::Choicethefolder(QObject* sender) {
    const QString path = openPanelpath(chooserRequest(false, true));
    if (path.isEmpty())
        return;
    switch (tagOf(sender)) {
    case 2:
        m_store.setObject(path, key(keys::RomsPath));
        break;
    case 3:
        m_store.setObject(path, key(keys::SnapPath));
        break;
    case 4:
        m_store.setObject(path, key(keys::IconPath));
        break;
    default:
        break;
    }
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
    if (folder_FoundCheck(m_store.stringForKey(key(keys::RomsPath)).value_or(QString())))
        return;
    AlertRequest alert;
    alert.style = AlertStyle::Warning;
    alert.message = text(QStringLiteral("Alert_2"));
    alert.informativeText = text(QStringLiteral("Alert_5"));
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

} // namespace kd
