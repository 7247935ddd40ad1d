#include "app/menus/launcheractions.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

namespace kd {

namespace {

// A null entry is a separator.
void addEntries(QMenu* menu, std::initializer_list<QAction*> entries) {
    for (QAction* entry : entries) {
        if (entry)
            menu->addAction(entry);
        else
            menu->addSeparator();
    }
}

} // namespace

LauncherActions::LauncherActions(QObject* parent)
    : QObject(parent),
      preferences(make("preferences", tr("&Preferences…"), Qt::CTRL | Qt::Key_Comma)),
      resetPreferences(make("resetPreferences", tr("&Reset Preferences…"), {})),
      quit(make("quit", tr("&Quit"), Qt::CTRL | Qt::Key_Q)),
      startGame(make("startGame", tr("&Start Game"), Qt::CTRL | Qt::Key_R)),
      openRom(make("openRom", tr("&Open ROM…"), Qt::CTRL | Qt::Key_O)),
      stopEmulator(make("stopEmulator", tr("S&top Emulator"), Qt::CTRL | Qt::Key_Period)),
      favourite(make("favourite", tr("&Favourite"), Qt::CTRL | Qt::Key_D)),
      history(make("history", tr("&History"), Qt::CTRL | Qt::Key_H)),
      exportPlayData(make("exportPlayData", tr("E&xport Play Data…"), {})),
      importPlayData(make("importPlayData", tr("Im&port Play Data…"), {})),
      showEmulator(make("showEmulator", tr("Bring &Emulator to Front"), {})),
      findGame(make("findGame", tr("F&ind Game"), QKeySequence::Find)),
      addGames(make("addGames", tr("&Add Games from ROMs Folder…"), {})),
      removeGame(make("removeGame", tr("Re&move Game"), QKeySequence::Delete)),
      restoreGameList(make("restoreGameList", tr("Restore Game &List…"), {})),
      gameHistory(make("gameHistory", tr("History of This &Game"), {})),
      revealRom(make("revealRom", tr("Show ROM &Archive in File Manager"), {})),
      onlyAvailable(make("onlyAvailable", tr("Show Only &Available Games"), {})),
      onlyFavourites(make("onlyFavourites", tr("Show Only &Favourites"), {})),
      showLog(make("showLog", tr("Show &Log"), Qt::CTRL | Qt::Key_L)),
      findInLog(make("findInLog", tr("&Find in Log…"), {})),
      marker(make("marker", tr("Add &Marker"), Qt::CTRL | Qt::Key_M)),
      saveLog(make("saveLog", tr("&Save Log…"), Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
      clearLog(make("clearLog", tr("&Clear Log"), Qt::CTRL | Qt::SHIFT | Qt::Key_K)),
      mainWindow1(make("mainWindow1", tr("Main Window &1"), Qt::CTRL | Qt::Key_1)),
      mainWindow2(make("mainWindow2", tr("Main Window &2"), Qt::CTRL | Qt::Key_2)),
      emulatorFolder(make("emulatorFolder", tr("Show Emulator &Folder"), {})),
      readme(make("readme", tr("Emulator &README"), {})),
      homePage(make("homePage", tr("Kaleidrome &Home Page"), {})),
      projectPage(make("projectPage", tr("Kaleidrome &Project Page"), {})),
      about(make("about", tr("&About Kaleidrome Launcher"), {})) {
    for (QAction* toggle : {onlyAvailable, onlyFavourites, favourite})
        toggle->setCheckable(true);
    // Find, Delete and the star belong to the game tables' windows: elsewhere
    // (the log, the fields of the preferences) the keys keep their own meaning.
    findGame->setShortcutContext(Qt::WindowShortcut);
    removeGame->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    favourite->setShortcutContext(Qt::WindowShortcut);
}

QAction* LauncherActions::make(const char* name, const QString& text, const QKeySequence& keys) {
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1StringView(name));
    action->setShortcut(keys);
    action->setShortcutContext(Qt::ApplicationShortcut);
    return action;
}

QMenuBar* LauncherActions::makeMenuBar(QWidget* parent, QMenu* openRecent) const {
    auto* bar = new QMenuBar(parent);
    addEntries(bar->addMenu(tr("&Launcher")), {preferences, resetPreferences, nullptr, quit});
    QMenu* game = bar->addMenu(tr("&Game"));
    // Says why Add Games is off while no list was read.
    game->setToolTipsVisible(true);
    addEntries(game, {startGame, openRom});
    openRecent->setParent(game, openRecent->windowFlags());
    game->addMenu(openRecent);
    addEntries(game,
               {stopEmulator, nullptr, favourite, history, nullptr, showEmulator, nullptr, findGame,
                addGames, removeGame, nullptr, restoreGameList, exportPlayData, importPlayData});
    addEntries(bar->addMenu(tr("&View")), {onlyAvailable, onlyFavourites});
    addEntries(bar->addMenu(tr("L&og")), {showLog, findInLog, marker, nullptr, saveLog, clearLog});
    addEntries(bar->addMenu(tr("&Window")), {mainWindow1, mainWindow2});
    addEntries(bar->addMenu(tr("&Help")),
               {emulatorFolder, readme, nullptr, homePage, projectPage, nullptr, about});
    return bar;
}

QMenu* LauncherActions::makeTrayMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    addEntries(menu, {mainWindow1, mainWindow2, showLog, nullptr, quit});
    return menu;
}

QMenu* LauncherActions::makeGameMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("gameMenu"));
    addEntries(menu, {startGame, favourite, gameHistory, revealRom, nullptr, removeGame});
    return menu;
}

void LauncherActions::addTo(QWidget* window, bool mainWindow) const {
    for (QAction* action : findChildren<QAction*>(Qt::FindDirectChildrenOnly)) {
        if (mainWindow || (action != findGame && action != removeGame && action != favourite))
            addAction(window, action);
    }
}

// The key of a disabled item would do nothing at all; it is refused as loudly
// as any other refused request. (Off, the shortcut stands aside for the item's.)
void LauncherActions::addAction(QWidget* widget, QAction* action) const {
    widget->addAction(action);
    if (action->shortcut().isEmpty())
        return;
    auto* refusal = new QShortcut(action->shortcut(), widget);
    refusal->setContext(action->shortcutContext());
    refusal->setEnabled(!action->isEnabled());
    connect(action, &QAction::enabledChanged, refusal,
            [refusal](bool enabled) { refusal->setEnabled(!enabled); });
    connect(refusal, &QShortcut::activated, this, &LauncherActions::refused);
    connect(refusal, &QShortcut::activatedAmbiguously, this, &LauncherActions::refused);
}

} // namespace kd
