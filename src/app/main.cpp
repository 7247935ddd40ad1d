#include "app/appdelegate.h"
#include "platform/qtdesktop.h"
#include "platform/terminationsignals.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // Logout, `kill` and Ctrl+C end the launcher the way Quit does, so the game
    // list is still saved. One that comes during start-up quits once it is done.
    kd::TerminationSignals terminationSignals;
    bool quitRequested = false;
    QObject::connect(&terminationSignals, &kd::TerminationSignals::received, &application,
                     [&quitRequested] {
                         quitRequested = true;
                         QApplication::quit();
                     });
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
    if (quitRequested)
        QTimer::singleShot(0, &application, &QApplication::quit);
    return QApplication::exec();
}
