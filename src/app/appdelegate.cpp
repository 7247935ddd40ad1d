// The controller's parts and how they are wired to its operations.
#include "app/appdelegate.h"

#include "app/menus/launcheractions.h"
#include "app/runs/playtracker.h"
#include "app/runs/runsupervisor.h"
#include "app/translations.h"
#include "app/windows/aboutwindow.h"
#include "app/windows/gametableview.h"
#include "app/windows/historywindow.h"
#include "app/windows/logwindow.h"
#include "app/windows/mainwindow.h"
#include "app/windows/preferenceswindow.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/romfolder.h"
#include "log/view/logview.h"
#include "platform/desktop.h"
#include "platform/uilanguage.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace kd {

AppDelegate::AppDelegate(Desktop& desktop, SettingsStore& store, const QString& resourcePath,
                         QObject* parent)
    : QObject(parent), m_desktop(desktop), m_store(store), m_defaults(store),
      m_paths(m_defaults, resourcePath), m_language(uiLanguage(translatedLanguages())) {
    // The initial values must be in place before the form shows anything.
    initialize(m_defaults, m_store);
    QString error;
    m_strings =
        StringTable::load(resourcePath + QStringLiteral("/strings/Localizable.json"), &error);
    if (!error.isEmpty())
        m_desktop.systemLog(QStringLiteral("String table not loaded: ") + error);
    buildParts();
    wireParts();
    setUpGameList();
    restoreArrangement();
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::initialize(DefaultsController& defaults, SettingsStore& store) {
    QVariantMap initialValues;
    for (const SettingKey& key : settingKeys())
        initialValues.insert(QString::fromLatin1(key.name), key.initialValue);
    defaults.setInitialValues(initialValues);
    store.synchronize();
}

void AppDelegate::buildParts() {
    m_actions = new LauncherActions(this);
    m_runs = new RunSupervisor(this);
    arrayController_list = new GameListController(this);
    arrayController_list->setObjectName(QStringLiteral("arrayController_list"));
    // Kept in memory until start-up opens the database.
    m_play = new PlayTracker(*arrayController_list, m_strings, this);
    m_romFolder = new RomFolderWatcher(this);
    preferencesWindow = std::make_unique<PreferencesWindow>(m_defaults, m_paths);
    logWindow = std::make_unique<LogWindow>(*m_actions);
    m_window = std::make_unique<MainWindow>(MainWindow::Layout::ListBesideArtwork);
    m_window2 = std::make_unique<MainWindow>(MainWindow::Layout::ArtworkAboveList);
    MainWindow::showOneSort(*m_window, *m_window2);
    m_historyWindow = std::make_unique<HistoryWindow>();
    m_aboutWindow = std::make_unique<AboutWindow>(HomePage, ProjectPage);
    connect(m_aboutWindow.get(), &AboutWindow::linkClicked, this,
            [this](const QString& address) { address == HomePage ? openURL() : openURL2(); });
    // Shortcuts work from every window, but those of the game tables only there.
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        m_actions->addTo(main, true);
    for (QWidget* other : std::initializer_list<QWidget*>{
             preferencesWindow.get(), logWindow.get(), m_historyWindow.get(), m_aboutWindow.get()})
        m_actions->addTo(other, false);

    // Closing every window leaves the launcher running; where the desktop has a
    // tray, an icon there brings the windows back and offers Quit.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    auto* tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
    tray->setToolTip(LauncherName);
    m_trayMenu.reset(m_actions->makeTrayMenu());
    tray->setContextMenu(m_trayMenu.get());
    connect(tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger)
            m_store.integerForKey(keys::StartWindow) == 2 ? show_Mainwindow2() : show_Mainwindow();
    });
    tray->show();
}

// What each menu item, button and run event asks of the controller.
void AppDelegate::wireParts() {
    const LauncherActions& a = *m_actions;
    auto on = [this](QAction* action, auto operation) {
        connect(action, &QAction::triggered, this, operation);
    };
    on(a.startGame, [this] { start_game(); });
    on(a.openRom, [this] { menu_openROMfile(); });
    on(a.stopEmulator, [this] { quit_emulator(); });
    on(a.preferences, [this] { bringForward(preferencesWindow.get()); });
    on(a.resetPreferences, [this] { resetPreferences(); });
    on(a.quit, [] { QApplication::quit(); });
    on(a.showLog, [this] { show_Logwindow(); });
    on(a.marker, [this] { LogTimeStamp(); });
    on(a.saveLog, [this] { saveLogAction(); });
    on(a.clearLog, [this] { ClearLogAction(); });
    on(a.findInLog, [this] {
        show_Logwindow();
        logWindow->openFindBar();
    });
    on(a.mainWindow1, [this] { show_Mainwindow(); });
    on(a.mainWindow2, [this] { show_Mainwindow2(); });
    on(a.showEmulator, [this] { Menu_show_kdrome(); });
    on(a.emulatorFolder, [this] { openCurrent(); });
    on(a.readme, [this] { openDoc(); });
    on(a.homePage, [this] { openURL(); });
    on(a.projectPage, [this] { openURL2(); });
    on(a.findGame, [this] { shownMainWindow()->focusSearchField(); });
    on(a.onlyAvailable, [this] { setShowOnlyAvailable(m_actions->onlyAvailable->isChecked()); });
    on(a.addGames, [this] { addGamesFromRomsFolder(); });
    on(a.removeGame, [this] { removeSelectedGame(); });
    on(a.restoreGameList, [this] { restoreGameList(); });
    on(a.gameHistory, [this] { show_GameHistory(); });
    on(a.revealRom, [this] { revealSelectedRom(); });
    connect(m_actions, &LauncherActions::refused, this, [this] { m_desktop.beep(); });
    on(a.favourite, [this] { toggleFavourite(); });
    on(a.onlyFavourites, [this] { setShowOnlyFavourites(m_actions->onlyFavourites->isChecked()); });
    on(a.history, [this] { show_History(); });
    on(a.exportPlayData, [this] { exportPlayData(); });
    on(a.importPlayData, [this] { importPlayData(); });
    on(a.about, [this] { show_About(); });
    updateRunActions();

    PreferencesWindow* prefs = preferencesWindow.get();
    connect(prefs, &PreferencesWindow::packagedToggleClicked, this,
            &AppDelegate::PackagePathChange);
    connect(prefs, &PreferencesWindow::chooseFileClicked, this, &AppDelegate::Choicethefile);
    connect(prefs, &PreferencesWindow::chooseFolderClicked, this, &AppDelegate::Choicethefolder);
    connect(prefs, &PreferencesWindow::revealClicked, this, &AppDelegate::openFileSystemfolder);
    connect(prefs, &PreferencesWindow::runOptionClicked, this, &AppDelegate::returnButtonAction);
    connect(prefs, &PreferencesWindow::resetClicked, this, &AppDelegate::resetPreferences);
    PackagePath_ini();

    for (MainWindow* main : {m_window.get(), m_window2.get()})
        wireMainWindow(*main);

    connect(m_runs, &RunSupervisor::outputReceived, this, &AppDelegate::getData);
    connect(m_runs, &RunSupervisor::text, this, &AppDelegate::appendOutputUtf8);
    connect(m_runs, &RunSupervisor::outputEnded, this,
            [this](EmulatorProcess* run) { getData(run, QByteArray()); });
    connect(m_runs, &RunSupervisor::processEndedNow, m_play, [this](EmulatorProcess* run) {
        m_play->recordEnd(*run, m_runs->wasStopRequested(run));
    });
    connect(m_runs, &RunSupervisor::processEnded, this,
            [this](EmulatorProcess* run, bool supervised) {
                if (supervised)
                    checkATaskStatus(run);
            });
    connect(m_runs, &RunSupervisor::runningChanged, this, &AppDelegate::updateRunActions);
    // User input waits while a command option runs, so its run is still the current one.
    connect(m_runs, &RunSupervisor::idleLimitReached, this, &AppDelegate::quit_emulator);
    connect(m_runs, &RunSupervisor::report, this, &AppDelegate::reportInLog);
    connect(m_runs, &RunSupervisor::diagnostic, this,
            [this](const QString& line) { m_desktop.systemLog(line); });
    wireGamepad();
}

void AppDelegate::wireMainWindow(MainWindow& window) {
    auto* openRecent = new QMenu(tr("Open &Recent"), &window);
    openRecent->setObjectName(QStringLiteral("openRecentMenu"));
    connect(openRecent, &QMenu::aboutToShow, this,
            [this, openRecent] { fillOpenRecentMenu(openRecent); });
    window.setMenuBar(m_actions->makeMenuBar(&window, openRecent));
    m_actions->addAction(&window.table(), m_actions->removeGame);
    connect(&window, &MainWindow::startRequested, this, &AppDelegate::start_game);
    connect(&window, &MainWindow::searchTextEdited, this, &AppDelegate::setSearchText);
    connect(&window, &MainWindow::romArchiveDropped, this,
            [this](const QString& path) { application_openFiles({path}); });
    connect(&window, &MainWindow::showAllRequested, this, &AppDelegate::showAllGames);
    connect(&window, &MainWindow::restoreRequested, this, &AppDelegate::restoreOfferedCopy);
    connect(&window, &MainWindow::gameMenuRequested, this, [this, &window](const QPoint& at) {
        QMenu* menu = m_actions->makeGameMenu(&window);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(at);
    });
    // A click on the star changes it.
    connect(&window, &MainWindow::starClicked, this, [this](const QModelIndex& index) {
        const qint64 stored = arrayController_list->storedIndexOf(index);
        if (stored == NotFound)
            return;
        if (const std::optional<QString> name =
                gameName(arrayController_list->content()[std::size_t(stored)]))
            setFavourite(*name, !m_play->isFavourite(*name));
    });
}

// Stopping the emulator or bringing it forward only makes sense while it runs.
void AppDelegate::updateRunActions() {
    const bool running = m_runs->isRunning();
    m_actions->stopEmulator->setEnabled(running);
    m_actions->showEmulator->setEnabled(running);
}

int AppDelegate::runAlert(const AlertRequest& request) {
    const RunSupervisor::Question asking(*m_runs);
    return m_desktop.runAlert(request);
}

std::optional<QString> AppDelegate::runOpenPanel(const OpenPanelRequest& request) {
    const RunSupervisor::Question asking(*m_runs);
    return m_desktop.runOpenPanel(request);
}

std::optional<QString> AppDelegate::runSavePanel(const SavePanelRequest& request) {
    const RunSupervisor::Question asking(*m_runs);
    return m_desktop.runSavePanel(request);
}

} // namespace kd
