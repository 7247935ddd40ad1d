// Handing paths and addresses to the desktop.
#include "app/appdelegate.h"
#include "app/windows/aboutwindow.h"
#include "platform/desktop.h"
#include "settings/pathops.h"
#include "settings/settingsstore.h"

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

void AppDelegate::openCurrent() {
    const QString folder = pathOfCurrentDir();
    handToDesktop(folder, [&] { return m_desktop.openPath(folder); });
}

// The user's paths come from the store, not from the fields.
void AppDelegate::openFileSystemfolder(RevealTag tag) {
    auto stored = [this](TextKey key) {
        return m_store.stringForKey(key).value_or(QString());
    };
    QString item;
    QString root;
    switch (tag) {
    case RevealTag::Emulator:
        if (m_paths.usesPackaged(PackagedItem::Emulator)) {
            item = m_paths.executable();
            root = path::deleteLastComponent(item);
        } else {
            item = path::lastComponent(stored(keys::ExecutionPath));
            root = path::deleteLastComponent(stored(keys::ExecutionPath));
        }
        break;
    case RevealTag::Roms:
        root = stored(keys::RomsPath);
        break;
    case RevealTag::Snapshots:
        root = m_paths.usesPackaged(PackagedItem::Snapshots) ? m_paths.snapshotFolder()
                                                             : stored(keys::SnapPath);
        break;
    case RevealTag::Icons:
        root = m_paths.usesPackaged(PackagedItem::Icons) ? m_paths.iconFolder()
                                                         : stored(keys::IconPath);
        break;
    }
    handToDesktop(revealedPlace(item, root),
                  [&] { return m_desktop.revealInFileViewer(item, root); });
}

void AppDelegate::openDoc() {
    const QString readme = m_paths.packaged(u"kdromepak/Docs/README.txt");
    handToDesktop(readme, [&] { return m_desktop.openPath(readme); });
}

void AppDelegate::openURL() {
    if (!m_desktop.openUrl(HomePage))
        reportNotOpened(HomePage, "Alert_NoOpenerInfo");
}

void AppDelegate::openURL2() {
    if (!m_desktop.openUrl(ProjectPage))
        reportNotOpened(ProjectPage, "Alert_NoOpenerInfo");
}

void AppDelegate::show_About() {
    bringForward(m_aboutWindow.get());
}

} // namespace kd
