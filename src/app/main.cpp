#include "app/appdelegate.h"
#include "app/launchercommandline.h"
#include "app/search/desktopsearch.h"
#include "app/translations.h"
#include "platform/desktop/qtdesktop.h"
#include "platform/instancechannel.h"
#include "platform/terminationsignals.h"
#include "platform/uilanguage.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTimer>
#include <cstdio>

namespace {

void setIdentity() {
    QCoreApplication::setApplicationName(kd::AppDelegate::LauncherName);
    QCoreApplication::setApplicationVersion(QStringLiteral(KD_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Kaleidrome"));
}

// The bundle may be anywhere: its resources sit beside the executable's folder.
QString resourceFolder() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../Resources"));
}

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// --help, --version and mistakes are answered without a display.
kd::LauncherCommandLine readCommandLine(int argc, char** argv) {
    QCoreApplication core(argc, argv);
    setIdentity();
    const kd::Translations translations(resourceFolder(),
                                        kd::uiLanguage(kd::translatedLanguages()));
    return kd::parseLauncherCommandLine(QCoreApplication::arguments(), QDir::currentPath());
}

} // namespace

int main(int argc, char** argv) {
    const kd::LauncherCommandLine command = readCommandLine(argc, argv);
    switch (command.action) {
    case kd::LauncherCommandLine::Action::ShowHelp:
    case kd::LauncherCommandLine::Action::ShowVersion:
        print(stdout, command.text);
        return command.exitStatus();
    case kd::LauncherCommandLine::Action::Fail:
        print(stderr, QStringLiteral("kaleidrome-launcher: ") + command.text + u'\n');
        return command.exitStatus();
    case kd::LauncherCommandLine::Action::Start:
        break;
    }

    QApplication application(argc, argv);
    setIdentity();
    const QString resources = resourceFolder();
    const kd::Translations translations(resources, kd::uiLanguage(kd::translatedLanguages()));

    // One launcher per user: a later start hands its files over and ends.
    kd::InstanceChannel channel;
    const kd::InstanceChannel::Role role = channel.claim(command.romPaths);
    if (role == kd::InstanceChannel::Role::HandedOver)
        return 0;
    if (role == kd::InstanceChannel::Role::Unanswered) {
        print(stderr, QStringLiteral("kaleidrome-launcher: ") + channel.error() + u'\n');
        return 1;
    }

    // Logout, `kill` and Ctrl+C end the launcher the way Quit does, so the game
    // list is still saved. One that comes during start-up quits once it is done.
    kd::TerminationSignals terminationSignals;
    bool quitRequested = false;
    QObject::connect(&terminationSignals, &kd::TerminationSignals::received, &application,
                     [&quitRequested] {
                         quitRequested = true;
                         QApplication::quit();
                     });
    QApplication::setDesktopFileName(QStringLiteral("org.example.KaleidromeLauncher"));
    // Closing windows never ends the launcher; only Quit does.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(resources + QStringLiteral("/kaleidrome-launcher.png")));

    kd::QtDesktop desktop(resources);
    for (const QString& file : translations.missing())
        desktop.systemLog(QStringLiteral("Translation not loaded: ") + file);
    if (role == kd::InstanceChannel::Role::Alone)
        desktop.systemLog(QStringLiteral("Another start of the launcher will not find this one: ") +
                          channel.error());
    kd::SettingsStore store(kd::SettingsStore::defaultFilePath());
    if (!store.problem().isEmpty())
        desktop.systemLog(QStringLiteral("Settings file not used: ") + store.problem());
    kd::AppDelegate delegate(desktop, store, resources);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate,
                     &kd::AppDelegate::applicationWillTerminate);
    delegate.listenToLaterStarts(channel);
    for (const QString& path : command.romPaths) {
        if (const QString problem = delegate.romArchiveProblem(path); !problem.isEmpty())
            print(stderr,
                  QStringLiteral("kaleidrome-launcher: ") +
                      kd::formatText(delegate.text(QStringLiteral("Alert_CannotStart")), 0, path) +
                      u' ' + problem + u'\n');
        else
            delegate.application_openFiles({path});
    }
    // The desktop's search reaches whichever launcher runs, started for it or not.
    kd::DesktopSearch search({
        [&delegate](const QString& text) { return delegate.searchGames(text); },
        [&delegate](const QString& name) { return delegate.searchResult(name); },
        [&delegate](const QString& name) { delegate.startGameNamed(name); },
        [&delegate](const QString& text) { delegate.showSearch(text); },
    });
    if (const QString problem = search.registerOnSessionBus(); !problem.isEmpty())
        desktop.systemLog(QStringLiteral("Desktop search not offered: ") + problem);
    if (command.searchService && command.romPaths.isEmpty()) {
        delegate.startInBackground();
    } else {
        delegate.awakeFromNib();
        QTimer::singleShot(0, &delegate, &kd::AppDelegate::applicationDidFinishLaunching);
    }
    if (quitRequested)
        QTimer::singleShot(0, &application, &QApplication::quit);
    return QApplication::exec();
}
