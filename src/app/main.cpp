#include "app/appdelegate.h"
#include "platform/qtdesktop.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(kd::AppDelegate::LauncherName);
    QApplication::setOrganizationName(QStringLiteral("Kaleidrome"));
    QApplication::setDesktopFileName(QStringLiteral("kaleidrome-launcher"));
    // Closing windows never ends the launcher; only Quit does.
    QApplication::setQuitOnLastWindowClosed(false);

    // The bundle may be anywhere: its resources sit beside the executable's folder.
    const QString resources =
        QDir::cleanPath(QApplication::applicationDirPath() + QStringLiteral("/../Resources"));
    QApplication::setWindowIcon(QIcon(resources + QStringLiteral("/kaleidrome-launcher.png")));

    kd::QtDesktop desktop(resources);
    kd::SettingsStore store(kd::SettingsStore::defaultFilePath());
    kd::AppDelegate delegate(desktop, store, resources);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate,
                     &kd::AppDelegate::applicationWillTerminate);
    delegate.awakeFromNib();
    QTimer::singleShot(0, &delegate, &kd::AppDelegate::applicationDidFinishLaunching);
    return QApplication::exec();
}
