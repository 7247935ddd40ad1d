#pragma once

#include "app/stringtable.h"
#include "catalogue/playhistory.h"
#include "catalogue/romfolder.h"
#include "emulator/commandline.h"
#include "log/utf8streamdecoder.h"
#include "settings/defaultscontroller.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QSet>
#include <QVariantMap>
#include <chrono>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QSplitter;
class QTableView;
class QTableWidget;
class QWidget;

namespace kd {

class ActivityIndicator;
class Desktop;
struct AlertRequest;
struct OpenPanelRequest;
struct SavePanelRequest;
class EmulatorProcess;
class GameListController;
class ImageView;
class InstanceChannel;
class LogFindBar;
class LogView;
class SettingsStore;

// The launcher's one controller. It owns the windows, the form, the game list and
// the current emulator process, and its operations are what menus and buttons
// send. The names follow the launcher's established vocabulary.
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

    // Installs the initial values, then builds the windows and binds the form.
    AppDelegate(Desktop& desktop, SettingsStore& store, const QString& resourcePath,
                QObject* parent = nullptr);
    ~AppDelegate() override;

    // Installs the table of initial values into the defaults controller.
    static void initialize(DefaultsController& defaults, SettingsStore& store);

    // Start-up and shutdown.
    void awakeFromNib();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    void show_Mainwindow(QObject* sender = nullptr);
    void show_Mainwindow2(QObject* sender = nullptr);

    // Emulator and folder paths.
    QString pathOfExecFile() const;
    QString pathOfCurrentDir() const;
    std::optional<QString> pathOfDataFile() const;
    bool ExefileCheck() const;
    static bool file_FoundCheck(const QString& path);
    static bool folder_FoundCheck(const QString& path);
    void PackagePathChange(QObject* sender);
    void PackagePath_ini();

    // Setup checks, choosers and reset.
    QString openPanelpath(const QVariantMap& request);
    void Choicethefile(QObject* sender);
    void Choicethefolder(QObject* sender);
    void display_Alert_exe();
    void check_romsfolder();
    void DefaultAction(QObject* sender = nullptr);
    // What the reset button and menu item do: ask, then DefaultAction.
    void resetPreferences(QObject* sender = nullptr);
    // The folder a panel for `path` opens in: that folder, or the file's, or the
    // nearest one above it that exists; the home folder when none does.
    static QString panelFolder(const QString& path, bool isFile);

    // Emulator runs.
    void LaunchTask(const QStringList& arguments);
    void LaunchTask_wait(const QStringList& arguments);
    void getData(EmulatorProcess* run, const QByteArray& chunk);
    void checkATaskStatus(EmulatorProcess* run);
    void stopProcess();
    void quit_emulator(QObject* sender = nullptr);
    void display_Alert_Error(int status);
    EmulatorProcess* task() const { return m_task.get(); }
    // How long the stop step waits for the rest of a run's output.
    static constexpr std::chrono::milliseconds DrainBound{3000};
    // How long an emulator may take to end after the terminate request before it
    // is killed: emulators save their state while they exit.
    std::chrono::milliseconds terminateGrace{10000};
    // How long a command option may print nothing before it is stopped.
    std::chrono::milliseconds commandOptionIdleLimit{30000};

    // Launch requests.
    void start_game(QObject* sender = nullptr);
    void menu_openROMfile(QObject* sender = nullptr);
    void openROMfile(QObject* sender = nullptr);
    void task_cocking(const QString& romPath);
    void LaunchTask_option(const QVariantMap& request);
    void returnButtonAction(QObject* sender = nullptr);

    // Log window.
    void appendOutput(const QString& text);
    void scrollToVisible();
    void timestamp(const QVariantMap& request);
    void LogTimeStamp(QObject* sender = nullptr);
    void ClearLogAction(QObject* sender = nullptr);
    void saveLogAction(QObject* sender = nullptr);
    void show_Logwindow(QObject* sender = nullptr);

    // Game list.
    void loadGameList();
    void saveGameList();
    qint64 selectionIndex() const;
    void setSelectionIndex(qint64 index);
    // The selected record's `name`, when it is a text; nothing otherwise.
    std::optional<QString> selectedGameName() const;

    // View filters and growing the list (our own additions around the list).
    void setSearchText(const QString& text);
    void setShowOnlyAvailable(bool on);
    void addGamesFromRomsFolder();
    void removeSelectedGame();
    // Settings of our own beyond the 33 keys; the reset leaves them alone.
    static inline const QString ShowOnlyAvailableKey = QStringLiteral("ShowOnlyAvailable");
    static inline const QString ShowOnlyFavouritesKey = QStringLiteral("ShowOnlyFavourites");

    // Favourites, play history and the recent archives (our own additions).
    void toggleFavourite(QObject* sender = nullptr);
    void setFavourite(const QString& name, bool on);
    void setShowOnlyFavourites(bool on);
    void show_History(QObject* sender = nullptr);
    void clearRecentROMs(QObject* sender = nullptr);
    // "ended normally", "ended with status 5", "killed by signal 11 (SIGSEGV)".
    QString runOutcomeText(const RunEnd& end) const;
    PlayHistory& playHistory() { return *m_history; }
    // How many of the newest runs the History window shows.
    static constexpr int HistoryRows = 500;

    // Selection artwork.
    void tableViewSelectionDidChange();

    // Files from the command line, another start of the launcher and drops.
    // Each ROM archive goes to the game-run request once start-up has finished
    // and no alert or panel is up; one that cannot be started gets an alert.
    void application_openFiles(const QStringList& paths);
    // A later start of the launcher: the current main window (main window 1
    // when none is shown) comes forward, then its files are opened.
    void applicationShouldHandleReopen(const QStringList& paths);
    // Takes what later starts send on `channel`; what is not a message goes
    // to the system log.
    void listenToLaterStarts(InstanceChannel& channel);
    // Why `path` cannot be started as a game, in the user's language; empty
    // when it can.
    QString romArchiveProblem(const QString& path) const;

    // Activation.
    void show_kdrome(const QString& applicationName);
    void Menu_show_kdrome(QObject* sender = nullptr);

    // Workspace actions.
    void openCurrent(QObject* sender = nullptr);
    void openFileSystemfolder(QObject* sender);
    void openDoc(QObject* sender = nullptr);
    void openURL(QObject* sender = nullptr);
    void openURL2(QObject* sender = nullptr);
    void show_About(QObject* sender = nullptr);

    // The windows' places and sizes, the splitter and the tables' columns, kept
    // across restarts (saved when the launcher quits).
    void restoreArrangement();
    void saveArrangement();

    // Helpers around the form and the resources.
    EmulatorForm currentEmulatorForm() const;
    QString resourcePath() const { return m_resourcePath; }
    // The language of the windows and texts: "en" or one of translatedLanguages().
    QString language() const { return m_language; }
    QString text(const QString& key) const { return m_strings.text(key); }
    DefaultsController& defaults() { return m_defaults; }
    SettingsStore& store() { return m_store; }
    QAction* action(const QString& name) const;
    static int tagOf(const QObject* control);
    static void setTag(QObject* control, int tag);

    // The fields, in the order the launcher has always declared them.
    GameListController* arrayController_list = nullptr;
    QTableView* tableView_list = nullptr;
    ImageView* imageView = nullptr;
    ImageView* iconView = nullptr;
    ImageView* imageView2 = nullptr;
    ImageView* iconView2 = nullptr;
    QWidget* preferencesWindow = nullptr;
    QCheckBox* button_exe = nullptr;
    QCheckBox* button_snapfolder = nullptr;
    QCheckBox* button_Iconfolder = nullptr;
    QLineEdit* textfild_exe = nullptr;
    QLineEdit* textfild_roms = nullptr;
    QLineEdit* textfild_snaps = nullptr;
    QLineEdit* textfild_icons = nullptr;
    QLineEdit* textfild_ppcfreq = nullptr;
    QCheckBox* button_nothreads = nullptr;
    QCheckBox* button_gputhreads = nullptr;
    QLineEdit* textfild_resolution_x = nullptr;
    QLineEdit* textfild_resolution_y = nullptr;
    QComboBox* popup_videomode = nullptr;
    QCheckBox* button_widescreen = nullptr;
    QCheckBox* button_multitexture = nullptr;
    QCheckBox* button_throttle = nullptr;
    QCheckBox* button_showfps = nullptr;
    QComboBox* popup_crosshairs = nullptr;
    QLineEdit* textfild_vert = nullptr;
    QLineEdit* textfild_frag = nullptr;
    QCheckBox* button_SoundEffects = nullptr;
    QCheckBox* button_MPEGmusic = nullptr;
    QCheckBox* button_flipstereo = nullptr;
    QLineEdit* textfild_sound = nullptr;
    QLineEdit* textfild_music = nullptr;
    QLineEdit* textfild_balance = nullptr;
    QComboBox* popup_inputsys = nullptr;
    QCheckBox* button_feedback = nullptr;
    QComboBox* popup_command = nullptr;
    QWidget* logWindow = nullptr;
    LogView* infomationTextView = nullptr;
    ActivityIndicator* progressInd = nullptr;
    bool visible_prewindow = false;
    QMainWindow* window2 = nullptr;
    QMainWindow* window = nullptr;

    // The second layout's own table; it shares the list's model and selection.
    QTableView* tableView_list2 = nullptr;
    // The search fields above the two tables; they show one text.
    QLineEdit* searchField = nullptr;
    QLineEdit* searchField2 = nullptr;
    // The running game or how the last run ended, at the foot of each main window.
    QLabel* statusLine = nullptr;
    QLabel* statusLine2 = nullptr;
    QWidget* historyWindow = nullptr;
    QTableWidget* historyTable = nullptr;
    QLabel* historyNote = nullptr;
    // The log window's find bar.
    LogFindBar* logFindBar = nullptr;
    QWidget* aboutWindow = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Per-run state kept until both ends of a run have been handled.
    struct Run {
        std::shared_ptr<EmulatorProcess> process;
        Utf8StreamDecoder decoder;
        bool outputDone = false; // its text is complete
        bool endDone = false;    // the end of its process has been handled
        bool stopped = false;    // its stop step ran while it still held its output open
        QStringList arguments;
        // A game run in the play history: its id there, its `name` and what shows it.
        std::optional<qint64> historyId;
        QString name;
        QString title;
    };
    // The game run the status lines speak of: one of this session's (`runId`),
    // or the last one recorded before it.
    struct StatusRun {
        QString title;
        quint64 runId = 0;
        qint64 startedMs = 0;
        QElapsedTimer clock;
        std::optional<RunEnd> end;
    };

    void buildPreferencesWindow();
    void buildLogWindow();
    void buildMainWindows();
    void buildActions();
    void addActionsToWindows();
    void buildTrayIcon();
    void buildHistoryWindow();
    QMenu* makeOpenRecentMenu(QWidget* parent);
    void fillOpenRecentMenu(QMenu* menu);
    void buildAboutWindow();
    void makeClosableFromKeyboard(QWidget* window);
    void updateRunActions();
    void followPackagedToggle(const QString& key);
    void focusListOf(QMainWindow* mainWindow);
    void attachGameList();
    void watchRomsFolder();
    void focusSearchField();
    void buildSearchIndexLater();
    QMenuBar* makeMenuBar(QWidget* parent);
    static void showWindow(QWidget* target);
    QString packagedPath(const char* relative) const;

    EmulatorProcess* startRun(const QStringList& arguments, bool supervised);
    Run* runOf(const EmulatorProcess* process);
    void appendRunOutput(Run& run, QByteArrayView bytes);
    void finishRunOutput(Run& run);
    void retireIfDone(EmulatorProcess* process);
    void endTerminateGrace(const std::shared_ptr<EmulatorProcess>& process);
    void reportStartFailure(const QString& program, const QString& reason);
    void reportInLog(const QString& line);
    // Runs `request` once start-up has finished, as a reaction (see react()).
    void whenLaunched(std::function<void()> request);
    void openRomArchive(const QString& path);
    static std::optional<QString> droppedRomArchive(const QEvent* event);
    void handToDesktop(const QString& place, const std::function<bool()>& open);
    void reportNotOpened(const QString& place, const char* reasonKey);

    // Play history.
    void openHistory();
    void recordGameStart(const QString& romPath);
    void recordGameEnd(EmulatorProcess* process);
    void noteHistoryProblem();
    void showGameStats(const QString& name);
    QString gameTitle(const QString& name) const;
    void refreshStatusLine();
    void refreshHistoryWindow();
    void syncFavouriteAction();

    // Modal questions. While one is up, the reactions to the ends of runs wait.
    int runAlert(const AlertRequest& request);
    std::optional<QString> runOpenPanel(const OpenPanelRequest& request);
    std::optional<QString> runSavePanel(const SavePanelRequest& request);
    void endModal();
    void react(std::function<void()> reaction);
    void handleWaitingReactions();
    void appendOutputUtf8(QByteArrayView validUtf8);
    QString logFolder() const;
    void scheduleScroll();

    Desktop& m_desktop;
    SettingsStore& m_store;
    DefaultsController m_defaults;
    QString m_resourcePath;
    QString m_language;
    StringTable m_strings;

    std::shared_ptr<EmulatorProcess> m_task;
    // Runs whose ends have not both been handled; they outlive their turn as `task`.
    std::vector<std::unique_ptr<Run>> m_runs;
    int m_modalDepth = 0;
    std::deque<std::function<void()>> m_waitingReactions;
    bool m_handlingReactions = false;
    bool m_scrollPending = false;
    bool m_launchFinished = false;
    std::vector<std::function<void()>> m_untilLaunched;
    // Why no list was read from the file at start; null once one was.
    QString m_listProblem = QStringLiteral("it was not read");

    RomFolderWatcher* m_romFolder = nullptr;

    std::unique_ptr<PlayHistory> m_history;
    bool m_historyProblemReported = false;
    std::optional<StatusRun> m_statusRun;
    QTimer m_statusClock;

    std::vector<std::unique_ptr<QWidget>> m_topLevelWindows;
    QHash<QString, QAction*> m_actions;
    QSet<QObject*> m_closableWindows;
    QSplitter* m_splitter = nullptr;
    std::unique_ptr<QMenu> m_trayMenu;
};

} // namespace kd
