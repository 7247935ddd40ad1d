#pragma once

#include "app/stringtable.h"
#include "emulator/commandline.h"
#include "log/logheader.h"
#include "platform/desktop.h"
#include "settings/defaultscontroller.h"
#include "settings/launcherpaths.h"

#include <QObject>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class QMenu;

namespace kd {

class AboutWindow;
class EmulatorProcess;
class Gamepad;
class GameListController;
class HistoryWindow;
class InstanceChannel;
class LauncherActions;
class LogWindow;
class MainWindow;
class PlayTracker;
class PreferencesWindow;
class RomFolderWatcher;
class RunSupervisor;
class SettingsStore;
struct SearchResult;
enum class PadCommand;

// The launcher's one controller. It owns the windows, the form, the game list
// and the runs, wires them together, and its operations are what menus and
// buttons send, each the steps of the launcher's established vocabulary.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 NotFound = std::numeric_limits<qint64>::max();
    static inline const QString LauncherName = QStringLiteral("Kaleidrome Launcher");
    static inline const QString EmulatorName = QStringLiteral("Kaleidrome");
    // The emulator project's home page and its hosting page.
    static inline const QString HomePage = QStringLiteral("https://kaleidrome.example.org/");
    static inline const QString ProjectPage =
        QStringLiteral("https://code.example.com/kaleidrome/kaleidrome");

    AppDelegate(Desktop& desktop, SettingsStore& store, const QString& resourcePath,
                QObject* parent = nullptr);
    ~AppDelegate() override;
    static void initialize(DefaultsController& defaults, SettingsStore& store);
    // Start-up, shutdown and the main windows.
    void awakeFromNib();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    void show_Mainwindow();
    void show_Mainwindow2();
    MainWindow* window() const { return m_window.get(); }
    MainWindow* window2() const { return m_window2.get(); }
    // Whether a game run closed the preferences window, to be reopened at its end.
    bool visible_prewindow() const { return m_visiblePrewindow; }
    void setVisible_prewindow(bool on) { m_visiblePrewindow = on; }
    // Emulator and folder paths.
    QString pathOfExecFile() const;
    QString pathOfCurrentDir() const;
    std::optional<QString> pathOfDataFile() const;
    bool ExefileCheck() const;
    static bool file_FoundCheck(const QString& path);
    static bool folder_FoundCheck(const QString& path);
    void PackagePathChange(PackagedItem item);
    void PackagePath_ini();
    // Setup checks, choosers and reset.
    QString openPanelpath(const ChooserRequest& request);
    void Choicethefile(ChooserTag tag);
    void Choicethefolder(ChooserTag tag);
    void display_Alert_exe();
    void check_romsfolder();
    void DefaultAction();
    void resetPreferences(); // asks first, then DefaultAction
    // Emulator runs.
    void LaunchTask(const QStringList& arguments);
    void LaunchTask_wait(const QStringList& arguments);
    void getData(EmulatorProcess* run, const QByteArray& chunk);
    void checkATaskStatus(EmulatorProcess* run);
    void stopProcess();
    void quit_emulator();
    void display_Alert_Error(int status);
    EmulatorProcess* task() const;
    // Launch requests.
    void start_game();
    void menu_openROMfile();
    void openROMfile();
    void task_cocking(const QString& romPath);
    void LaunchTask_option(const LaunchRequest& request);
    void returnButtonAction();
    // Log window.
    void appendOutput(const QString& text);
    void scrollToVisible();
    void timestamp(const LogHeaderRequest& request);
    void LogTimeStamp();
    void ClearLogAction();
    void saveLogAction();
    void show_Logwindow();
    // The game list: the selection, view filters, growing and shrinking it.
    qint64 selectionIndex() const;
    void setSelectionIndex(qint64 index);
    std::optional<QString> selectedGameName() const; // when it is a text

    void tableViewSelectionDidChange();
    void setSearchText(const QString& text);
    void setShowOnlyAvailable(bool on);
    void setShowOnlyFavourites(bool on);
    void addGamesFromRomsFolder();
    void removeSelectedGame();
    void revealSelectedRom();
    void showAllGames();    // every filter off
    void restoreGameList(); // lists the kept copies of the list, restores the chosen one
    // Favourites, play history and the recent archives.
    void toggleFavourite();
    void setFavourite(const QString& name, bool on);
    void show_History();
    void show_GameHistory(); // the selected game's runs only
    void clearRecentROMs();
    void exportPlayData();
    void importPlayData();
    // ROM archives from the command line, later starts and drops: each goes to the
    // game-run request once start-up has finished and no question is up.
    void application_openFiles(const QStringList& paths);
    void applicationShouldHandleReopen(const QStringList& paths); // brings a window forward
    void listenToLaterStarts(InstanceChannel& channel);
    QString romArchiveProblem(const QString& path) const; // empty when it can start
    // The desktop's search. Started for it alone, the launcher reads the game
    // list and shows nothing; the normal start runs once a result is picked.
    void startInBackground();
    QList<SearchResult> searchGames(const QString& text) const; // the best 20
    std::optional<SearchResult> searchResult(const QString& name) const;
    void startGameNamed(const QString& name);
    void showSearch(const QString& text);
    // Activation and workspace actions.
    void show_kdrome(const QString& applicationName);
    void Menu_show_kdrome();
    void openCurrent();
    void openFileSystemfolder(RevealTag tag);
    void openDoc();
    void openURL();
    void openURL2();
    void show_About();
    // The pad: a command of its buttons, while no emulator runs and a launcher
    // window is active; its name shown on the status lines.
    void gamepadCommand(PadCommand command);
    // The windows' places, sizes and columns, kept for the next start (at Quit).
    void saveArrangement();
    QString text(const QString& key) const { return m_strings.text(key); }
    QString language() const { return m_language; } // "en" or one of translatedLanguages()

private:
    void buildParts();
    void wireParts();
    void wireMainWindow(MainWindow& window);
    void restoreArrangement();
    MainWindow* shownMainWindow() const;
    void updateRunActions();
    int runAlert(const AlertRequest& request);
    std::optional<QString> runOpenPanel(const OpenPanelRequest& request);
    std::optional<QString> runSavePanel(const SavePanelRequest& request);
    EmulatorProcess* startRun(const QStringList& arguments, bool supervised);
    void reportStartFailure(const QString& program, const QString& reason);
    bool confirmStopToStart(const QString& romPath);
    void reportInLog(const QString& line);
    void appendOutputUtf8(QByteArrayView validUtf8);
    void scheduleScroll();
    void whenLaunched(std::function<void()> request);
    void leaveBackground();
    void startNamedGame(const QString& name);
    void openRomArchive(const QString& path);
    void reportCannotStart(const QString& what, const QString& why);
    void handToDesktop(const QString& place, const std::function<bool()>& open);
    void reportNotOpened(const QString& place, const char* reasonKey);
    void loadGameList();
    void saveGameList();
    void offerListRestore();
    void restoreOfferedCopy();
    void restoreListCopy(const QString& copyPath, const QString& shownDate, qint64 games);
    void showListReadState();
    void setUpGameList();
    void buildSearchIndexLater(int delayMs);
    void showArtwork(const std::optional<QString>& name);
    void showListCounts();
    void openHistory();
    void recordGameStart(const QString& romPath);
    void refreshHistoryWindow();
    void offerHistoryCopy(); // when the database cannot be used
    void syncFavouriteAction();
    void fillOpenRecentMenu(QMenu* menu);
    void wireGamepad();
    void showPadName(const QString& name);

    Desktop& m_desktop;
    SettingsStore& m_store;
    DefaultsController m_defaults;
    LauncherPaths m_paths;
    QString m_language;
    StringTable m_strings;

    // The parts. The windows are top-level and owned here.
    LauncherActions* m_actions = nullptr;
    RunSupervisor* m_runs = nullptr;
    GameListController* arrayController_list = nullptr;
    RomFolderWatcher* m_romFolder = nullptr;
    PlayTracker* m_play = nullptr;
    Gamepad* m_gamepad = nullptr;
    std::unique_ptr<PreferencesWindow> preferencesWindow;
    std::unique_ptr<LogWindow> logWindow;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MainWindow> m_window2;
    std::unique_ptr<HistoryWindow> m_historyWindow;
    std::unique_ptr<AboutWindow> m_aboutWindow;
    std::unique_ptr<QMenu> m_trayMenu;

    bool m_visiblePrewindow = false;
    bool m_scrollPending = false;
    bool m_launchFinished = false;
    bool m_inBackground = false;
    bool m_listRead = false;
    // Nothing could be selected at start: the first game shown is selected
    // once the ROMs folder is listed.
    bool m_selectFirstShown = false;
    // The game whose runs alone the History window shows.
    std::optional<QString> m_historyGame;
    std::vector<std::function<void()>> m_untilLaunched;
    // Why no list was read from the file at start; null once one was.
    QString m_listProblem = QStringLiteral("it was not read");
    // The file the list was read from (or looked for) at start or at a restore.
    QString m_listFile;
    // The copy the empty table offers to restore.
    QString m_offeredCopy;
};

} // namespace kd
