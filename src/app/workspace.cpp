// Handing paths and addresses to the desktop.
#include "app/appdelegate.h"
#include "platform/desktop.h"
#include "settings/pathops.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>

namespace kd {

namespace {

// The place a reveal stands for: the item (inside the root when it is a bare
// name), or the root itself.
QString revealedPlace(const QString& item, const QString& root) {
    if (item.isEmpty())
        return root;
    if (QDir::isAbsolutePath(item) || root.isEmpty())
        return item;
    return path::appendComponent(root, item);
}

} // namespace

// A place that is not set or not there is not handed on, and one that nothing
// on the desktop accepted is said: a silent failure looks like success.
void AppDelegate::handToDesktop(const QString& place, const std::function<bool()>& open) {
    if (place.isEmpty())
        reportNotOpened(place, "Alert_NoPathInfo");
    else if (!QFileInfo::exists(place))
        reportNotOpened(place, "Alert_NotThereInfo");
    else if (!open())
        reportNotOpened(place, "Alert_NoOpenerInfo");
}

void AppDelegate::reportNotOpened(const QString& place, const char* reasonKey) {
    AlertRequest alert;
    alert.style = AlertStyle::Warning;
    alert.message = place.isEmpty()
                        ? text(QStringLiteral("Alert_NoPath"))
                        : formatText(text(QStringLiteral("Alert_OpenFailed")), 0, place);
    alert.informativeText = text(QString::fromLatin1(reasonKey));
    alert.buttons = {QStringLiteral("OK")};
    alert.cancelButton = 0;
    runAlert(alert);
}

void AppDelegate::openCurrent(QObject*) {
    const QString folder = pathOfCurrentDir();
    handToDesktop(folder, [&] { return m_desktop.openPath(folder); });
}

void AppDelegate::openFileSystemfolder(QObject* sender) {
    auto stored = [this](const char* name) {
        return m_store.stringForKey(QString::fromLatin1(name)).value_or(QString());
    };
    auto packaged = [](const QCheckBox* box) {
        return box->checkState() != Qt::Unchecked;
    };
    QString item;
    QString root;
    switch (tagOf(sender)) {
    case 1:
        if (packaged(button_exe)) {
            item = packagedPath("kdromepak/Kaleidrome");
            root = path::deleteLastComponent(item);
        } else {
            item = path::lastComponent(stored(keys::ExecutionPath));
            root = path::deleteLastComponent(stored(keys::ExecutionPath));
        }
        break;
    case 2:
        root = stored(keys::RomsPath);
        break;
    case 3:
        root =
            packaged(button_snapfolder) ? packagedPath("kdromepak/Snaps") : stored(keys::SnapPath);
        break;
    case 4:
        root =
            packaged(button_Iconfolder) ? packagedPath("kdromepak/Icons") : stored(keys::IconPath);
        break;
    default:
        break;
    }
    handToDesktop(revealedPlace(item, root),
                  [&] { return m_desktop.revealInFileViewer(item, root); });
}

void AppDelegate::openDoc(QObject*) {
    const QString readme = packagedPath("kdromepak/Docs/README.txt");
    handToDesktop(readme, [&] { return m_desktop.openPath(readme); });
}

void AppDelegate::openURL(QObject*) {
    if (!m_desktop.openUrl(HomePage))
        reportNotOpened(HomePage, "Alert_NoOpenerInfo");
}

void AppDelegate::openURL2(QObject*) {
    if (!m_desktop.openUrl(ProjectPage))
        reportNotOpened(ProjectPage, "Alert_NoOpenerInfo");
}

} // namespace kd
