// Handing paths and addresses to the desktop.
#include "app/appdelegate.h"
#include "platform/desktop.h"
#include "settings/pathops.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QCheckBox>

namespace kd {

namespace {
const QString HomePage = QStringLiteral("https://kaleidrome.example.org/");
const QString ProjectPage = QStringLiteral("https://code.example.com/kaleidrome/kaleidrome");
} // namespace

void AppDelegate::openCurrent(QObject*) {
    m_desktop.openPath(pathOfCurrentDir());
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
    m_desktop.revealInFileViewer(item, root);
}

void AppDelegate::openDoc(QObject*) {
    m_desktop.openPath(packagedPath("kdromepak/Docs/README.txt"));
}

void AppDelegate::openURL(QObject*) {
    m_desktop.openUrl(HomePage);
}

void AppDelegate::openURL2(QObject*) {
    m_desktop.openUrl(ProjectPage);
}

} // namespace kd
