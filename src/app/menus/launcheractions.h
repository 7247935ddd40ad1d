#pragma once

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace kd {

// The launcher's menu items, with their shortcuts. Each is a member, so a menu
// that names one the launcher lacks does not compile; the controller connects
// them to its operations.
class LauncherActions : public QObject {
    Q_OBJECT
public:
    explicit LauncherActions(QObject* parent = nullptr);

    // Launcher
    QAction* const preferences;
    QAction* const resetPreferences;
    QAction* const quit;
    // Game
    QAction* const startGame;
    QAction* const openRom;
    QAction* const stopEmulator;
    QAction* const favourite;
    QAction* const history;
    QAction* const exportPlayData;
    QAction* const importPlayData;
    QAction* const showEmulator;
    QAction* const findGame;
    QAction* const addGames;
    QAction* const removeGame;
    QAction* const restoreGameList;
    // Only in a game's own menu
    QAction* const gameHistory;
    QAction* const revealRom;
    // View
    QAction* const onlyAvailable;
    QAction* const onlyFavourites;
    // Log
    QAction* const showLog;
    QAction* const findInLog;
    QAction* const marker;
    QAction* const saveLog;
    QAction* const clearLog;
    // Window
    QAction* const mainWindow1;
    QAction* const mainWindow2;
    // Help
    QAction* const emulatorFolder;
    QAction* const readme;
    QAction* const homePage;
    QAction* const projectPage;
    QAction* const about;

    // The menu bar of a main window; `openRecent` goes into the Game menu.
    QMenuBar* makeMenuBar(QWidget* parent, QMenu* openRecent) const;
    // The menu of the tray icon.
    QMenu* makeTrayMenu(QWidget* parent = nullptr) const;
    // The menu of the selected game in a table.
    QMenu* makeGameMenu(QWidget* parent = nullptr) const;
    // Makes the shortcuts work in `window`: all of them in a main window, all
    // but those of the game tables elsewhere.
    void addTo(QWidget* window, bool mainWindow) const;
    // Makes `action`'s shortcut work in `widget`; while the action is off, its
    // key is refused.
    void addAction(QWidget* widget, QAction* action) const;

signals:
    // The shortcut of an item that is off was pressed.
    void refused();

private:
    QAction* make(const char* name, const QString& text, const QKeySequence& keys);
};

} // namespace kd
