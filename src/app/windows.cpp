// The main windows, the log window and the menus.
#include "app/appdelegate.h"
#include "app/gametableview.h"
#include "app/imageview.h"
#include "app/subviewdraw.h"
#include "emulator/emulatorprocess.h"
#include "log/view/logfindbar.h"
#include "log/view/logview.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace kd {

namespace {

QTableView* makeGameTable(const QString& name) {
    auto* table = new GameTableView;
    table->setObjectName(name);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSortingEnabled(true);
    table->setAlternatingRowColors(true);
    table->setShowGrid(false);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSortIndicatorShown(true);
    return table;
}

ImageView* makeImageView(const QString& name, QSize minimum) {
    auto* view = new ImageView;
    view->setObjectName(name);
    view->setMinimumSize(minimum);
    return view;
}

// A main window that only hides when closed, to be shown again by the switch actions.
QMainWindow* makeMainWindow(const QString& name, const QString& title) {
    auto* window = new QMainWindow;
    window->setObjectName(name);
    window->setWindowTitle(title);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    return window;
}

} // namespace

void AppDelegate::buildActions() {
    struct Entry {
        QString name;
        QString text;
        QKeySequence shortcut;
        std::function<void(QObject*)> handler;
    };
    const QList<Entry> entries{
        {"startGame", tr("&Start Game"), QKeySequence(Qt::CTRL | Qt::Key_R),
         [this](QObject* s) {
             start_game(s);
         }},
        {"openRom", tr("&Open ROM…"), QKeySequence(Qt::CTRL | Qt::Key_O),
         [this](QObject* s) {
             menu_openROMfile(s);
         }},
        {"stopEmulator", tr("S&top Emulator"), QKeySequence(Qt::CTRL | Qt::Key_Period),
         [this](QObject* s) {
             quit_emulator(s);
         }},
        {"preferences", tr("&Preferences…"), QKeySequence(Qt::CTRL | Qt::Key_Comma),
         [this](QObject*) {
             showWindow(preferencesWindow);
         }},
        {"resetPreferences", tr("&Reset Preferences…"), QKeySequence(),
         [this](QObject* s) {
             resetPreferences(s);
         }},
        {"quit", tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
         [](QObject*) {
             QApplication::quit();
         }},
        {"showLog", tr("Show &Log"), QKeySequence(Qt::CTRL | Qt::Key_L),
         [this](QObject* s) {
             show_Logwindow(s);
         }},
        {"marker", tr("Add &Marker"), QKeySequence(Qt::CTRL | Qt::Key_M),
         [this](QObject* s) {
             LogTimeStamp(s);
         }},
        {"saveLog", tr("&Save Log…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
         [this](QObject* s) {
             saveLogAction(s);
         }},
        {"clearLog", tr("&Clear Log"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K),
         [this](QObject* s) {
             ClearLogAction(s);
         }},
        {"findInLog", tr("&Find in Log…"), QKeySequence(),
         [this](QObject*) {
             show_Logwindow();
             logFindBar->open();
         }},
        {"mainWindow1", tr("Main Window &1"), QKeySequence(Qt::CTRL | Qt::Key_1),
         [this](QObject* s) {
             show_Mainwindow(s);
         }},
        {"mainWindow2", tr("Main Window &2"), QKeySequence(Qt::CTRL | Qt::Key_2),
         [this](QObject* s) {
             show_Mainwindow2(s);
         }},
        {"showEmulator", tr("Bring &Emulator to Front"), QKeySequence(),
         [this](QObject* s) {
             Menu_show_kdrome(s);
         }},
        {"emulatorFolder", tr("Show Emulator &Folder"), QKeySequence(),
         [this](QObject* s) {
             openCurrent(s);
         }},
        {"readme", tr("Emulator &README"), QKeySequence(),
         [this](QObject* s) {
             openDoc(s);
         }},
        {"homePage", tr("Kaleidrome &Home Page"), QKeySequence(),
         [this](QObject* s) {
             openURL(s);
         }},
        {"projectPage", tr("Kaleidrome &Project Page"), QKeySequence(),
         [this](QObject* s) {
             openURL2(s);
         }},
        {"findGame", tr("&Find Game"), QKeySequence::Find,
         [this](QObject*) {
             focusSearchField();
         }},
        {"onlyAvailable", tr("Show Only &Available Games"), QKeySequence(),
         [this](QObject* s) {
             setShowOnlyAvailable(static_cast<QAction*>(s)->isChecked());
         }},
        {"addGames", tr("&Add Games from ROMs Folder…"), QKeySequence(),
         [this](QObject*) {
             addGamesFromRomsFolder();
         }},
        {"removeGame", tr("&Remove Game"), QKeySequence::Delete,
         [this](QObject*) {
             removeSelectedGame();
         }},
        {"favourite", tr("&Favourite"), QKeySequence(Qt::CTRL | Qt::Key_D),
         [this](QObject* s) {
             toggleFavourite(s);
         }},
        {"onlyFavourites", tr("Show Only &Favourites"), QKeySequence(),
         [this](QObject* s) {
             setShowOnlyFavourites(static_cast<QAction*>(s)->isChecked());
         }},
        {"history", tr("&History"), QKeySequence(Qt::CTRL | Qt::Key_H),
         [this](QObject* s) {
             show_History(s);
         }},
        {"about", tr("&About Kaleidrome Launcher"), QKeySequence(),
         [this](QObject* s) {
             show_About(s);
         }},
    };
    for (const Entry& entry : entries) {
        auto* action = new QAction(entry.text, this);
        action->setObjectName(entry.name);
        action->setShortcut(entry.shortcut);
        action->setShortcutContext(Qt::ApplicationShortcut);
        connect(action, &QAction::triggered, this,
                [action, handler = entry.handler] { handler(action); });
        m_actions.insert(entry.name, action);
    }
    for (const char* name : {"onlyAvailable", "onlyFavourites", "favourite"})
        action(QString::fromLatin1(name))->setCheckable(true);
    // Find and Delete belong to the game tables' windows: elsewhere (the log,
    // the fields of the preferences) the keys keep their own meaning.
    action(QStringLiteral("findGame"))->setShortcutContext(Qt::WindowShortcut);
    action(QStringLiteral("removeGame"))->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action(QStringLiteral("favourite"))->setShortcutContext(Qt::WindowShortcut);
    updateRunActions();
}

// Stopping the emulator or bringing it forward only makes sense while it runs.
void AppDelegate::updateRunActions() {
    const bool running = m_task && m_task->isRunning();
    for (const char* name : {"stopEmulator", "showEmulator"})
        action(QString::fromLatin1(name))->setEnabled(running);
}

QAction* AppDelegate::action(const QString& name) const {
    return m_actions.value(name);
}

QMenuBar* AppDelegate::makeMenuBar(QWidget* parent) {
    auto* bar = new QMenuBar(parent);
    auto add = [this](QMenu* menu, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            if (QAction* a = action(QString::fromLatin1(name)))
                menu->addAction(a);
            else
                menu->addSeparator();
        }
    };
    add(bar->addMenu(tr("&Launcher")), {"preferences", "resetPreferences", "-", "quit"});
    QMenu* game = bar->addMenu(tr("&Game"));
    add(game, {"startGame", "openRom", "stopEmulator", "-", "favourite", "history", "-",
               "showEmulator", "-", "findGame", "addGames", "removeGame"});
    game->insertMenu(action(QStringLiteral("stopEmulator")), makeOpenRecentMenu(game));
    add(bar->addMenu(tr("&View")), {"onlyAvailable", "onlyFavourites"});
    add(bar->addMenu(tr("&Log")), {"showLog", "findInLog", "marker", "-", "saveLog", "clearLog"});
    add(bar->addMenu(tr("&Window")), {"mainWindow1", "mainWindow2"});
    add(bar->addMenu(tr("&Help")),
        {"emulatorFolder", "readme", "-", "homePage", "projectPage", "-", "about"});
    return bar;
}

void AppDelegate::showWindow(QWidget* target) {
    if (!target)
        return;
    // A minimised window comes back as it was left (maximised stays maximised).
    if (target->isMinimized())
        target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
    target->show();
    target->raise();
    target->activateWindow();
}

void AppDelegate::buildMainWindows() {
    auto startButton = [this] {
        auto* button = new QPushButton(tr("Start Game"));
        button->setDefault(true);
        connect(button, &QPushButton::clicked, this, [this, button] { start_game(button); });
        return button;
    };

    // A search field above each table; both show one text.
    auto withSearchField = [this](QLineEdit*& field, const QString& name, QTableView* table) {
        field = new QLineEdit;
        field->setObjectName(name);
        field->setPlaceholderText(tr("Search games"));
        field->setClearButtonEnabled(true);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, &AppDelegate::setSearchText);
        auto* box = new QWidget;
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(2);
        layout->addWidget(field);
        layout->addWidget(table, 1);
        return box;
    };

    // Main window 1: the list on the left, artwork on a gradient panel at the right.
    window = makeMainWindow(QStringLiteral("window"), tr("Kaleidrome Launcher"));
    m_topLevelWindows.emplace_back(window);
    window->setMenuBar(makeMenuBar(window));
    tableView_list = makeGameTable(QStringLiteral("tableView_list"));
    imageView = makeImageView(QStringLiteral("imageView"), {240, 180});
    iconView = makeImageView(QStringLiteral("iconView"), {48, 48});
    iconView->setMaximumSize(64, 64);
    auto* panel1 = new SubViewDraw;
    panel1->setObjectName(QStringLiteral("subViewDraw1"));
    auto* panel1Layout = new QVBoxLayout(panel1);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(iconView);
    titleRow->addStretch(1);
    panel1Layout->addLayout(titleRow);
    panel1Layout->addWidget(imageView, 1);
    panel1Layout->addWidget(startButton());
    m_splitter = new QSplitter;
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->addWidget(
        withSearchField(searchField, QStringLiteral("searchField"), tableView_list));
    m_splitter->addWidget(panel1);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);
    // The list gets the room its columns need, the artwork what is left.
    m_splitter->setSizes({600, 300});
    window->setCentralWidget(m_splitter);
    window->resize(900, 560);
    statusLine = new QLabel;
    statusLine->setObjectName(QStringLiteral("statusLine"));
    window->statusBar()->addWidget(statusLine, 1);

    // Main window 2: a large snapshot banner on top, a compact list below.
    window2 = makeMainWindow(QStringLiteral("window2"), tr("Kaleidrome Launcher"));
    m_topLevelWindows.emplace_back(window2);
    window2->setMenuBar(makeMenuBar(window2));
    tableView_list2 = makeGameTable(QStringLiteral("tableView_list2"));
    imageView2 = makeImageView(QStringLiteral("imageView2"), {320, 240});
    iconView2 = makeImageView(QStringLiteral("iconView2"), {64, 64});
    iconView2->setMaximumSize(96, 96);
    auto* banner = new SubViewDraw;
    banner->setObjectName(QStringLiteral("subViewDraw2"));
    auto* bannerLayout = new QHBoxLayout(banner);
    auto* side = new QVBoxLayout;
    side->addWidget(iconView2);
    side->addStretch(1);
    side->addWidget(startButton());
    bannerLayout->addLayout(side);
    bannerLayout->addWidget(imageView2, 1);
    auto* central2 = new QWidget;
    auto* layout2 = new QVBoxLayout(central2);
    layout2->addWidget(banner, 3);
    layout2->addWidget(
        withSearchField(searchField2, QStringLiteral("searchField2"), tableView_list2), 2);
    window2->setCentralWidget(central2);
    window2->resize(640, 720);
    statusLine2 = new QLabel;
    statusLine2->setObjectName(QStringLiteral("statusLine2"));
    window2->statusBar()->addWidget(statusLine2, 1);

    // A game starts on a double click or Return/Enter, never on a single click
    // (`activated` fires on one click where the desktop's style says so).
    for (QTableView* table : {tableView_list, tableView_list2}) {
        connect(table, &QAbstractItemView::doubleClicked, this,
                [this, table] { start_game(table); });
        table->installEventFilter(this);
        table->addAction(action(QStringLiteral("removeGame")));
        // The list, not the search field above it, has the keyboard when the window opens.
        table->setFocus(Qt::OtherFocusReason);
    }
    // Both tables show the one sort they share.
    auto mirrorSort = [](QHeaderView* from, QHeaderView* to) {
        connect(from, &QHeaderView::sortIndicatorChanged, to,
                [to](int column, Qt::SortOrder order) {
                    const QSignalBlocker noResort(to);
                    to->setSortIndicator(column, order);
                });
    };
    mirrorSort(tableView_list->horizontalHeader(), tableView_list2->horizontalHeader());
    mirrorSort(tableView_list2->horizontalHeader(), tableView_list->horizontalHeader());

    // A ROM archive dropped on either main window starts as Open ROM would.
    for (QMainWindow* main : {window, window2}) {
        main->setAcceptDrops(true);
        main->installEventFilter(this);
    }
}

// Return and Enter in a game table or a search field start the selected game;
// Escape in a search field clears it.
bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
        (watched == window || watched == window2)) {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<QString> path = droppedRomArchive(event);
        if (!path) {
            drop->ignore(); // the pointer says no
            return true;
        }
        drop->acceptProposedAction();
        // Started once the drop is over, so no alert or wait runs inside it.
        if (type == QEvent::Drop)
            QTimer::singleShot(0, this, [this, path] { application_openFiles({*path}); });
        return true;
    }
    if (type != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool table = watched == tableView_list || watched == tableView_list2;
    const bool search = watched == searchField || watched == searchField2;
    if ((table || search) && plain &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        start_game(watched);
        return true;
    }
    if (search && plain && key->key() == Qt::Key_Escape) {
        setSearchText(QString());
        return true;
    }
    // From the search field the arrows walk the list below it.
    if (search && plain && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Up)) {
        QTableView* list = watched == searchField ? tableView_list : tableView_list2;
        list->setFocus(Qt::OtherFocusReason);
        QCoreApplication::sendEvent(list, event);
        return true;
    }
    // An Escape that no control inside used closes the window.
    if (plain && key->key() == Qt::Key_Escape && m_closableWindows.contains(watched)) {
        static_cast<QWidget*>(watched)->close();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void AppDelegate::focusSearchField() {
    QLineEdit* field = window2->isActiveWindow() ? searchField2 : searchField;
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
}

// Escape and Ctrl+W close the windows that are not main windows.
void AppDelegate::makeClosableFromKeyboard(QWidget* window) {
    auto* close = new QAction(tr("Close Window"), window);
    close->setObjectName(QStringLiteral("closeWindow"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, window, &QWidget::close);
    window->addAction(close);
    window->installEventFilter(this);
    m_closableWindows.insert(window);
}

void AppDelegate::buildLogWindow() {
    auto* log = new QWidget;
    m_topLevelWindows.emplace_back(log);
    logWindow = log;
    log->setObjectName(QStringLiteral("logWindow"));
    log->setWindowTitle(tr("Log"));
    infomationTextView = new LogView;
    infomationTextView->setObjectName(QStringLiteral("infomationTextView"));
    auto* buttons = new QHBoxLayout;
    auto addButton = [this, buttons](const QString& text, const char* actionName) {
        auto* button = new QPushButton(text);
        QAction* target = action(QString::fromLatin1(actionName));
        connect(button, &QPushButton::clicked, target, &QAction::trigger);
        buttons->addWidget(button);
    };
    addButton(tr("Marker"), "marker");
    addButton(tr("Clear"), "clearLog");
    buttons->addStretch(1);
    addButton(tr("Find…"), "findInLog");
    addButton(tr("Save…"), "saveLog");
    logFindBar = new LogFindBar(infomationTextView);
    auto* layout = new QVBoxLayout(log);
    layout->addWidget(infomationTextView, 1);
    layout->addWidget(logFindBar);
    layout->addLayout(buttons);
    log->resize(760, 480);

    // Shortcuts of the log window alone: the main windows keep Ctrl+F for themselves.
    auto shortcut = [log](QKeySequence::StandardKey keys, auto* receiver, auto slot) {
        auto* action = new QAction(log);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, receiver, slot);
        log->addAction(action);
    };
    shortcut(QKeySequence::Save, action(QStringLiteral("saveLog")), &QAction::trigger);
    shortcut(QKeySequence::Find, logFindBar, &LogFindBar::open);
    shortcut(QKeySequence::FindNext, logFindBar, &LogFindBar::findNext);
    shortcut(QKeySequence::FindPrevious, logFindBar, &LogFindBar::findPrevious);
    makeClosableFromKeyboard(log);
}

// Closing every window leaves the launcher running; where the desktop has a
// tray, an icon there brings the windows back and offers Quit.
void AppDelegate::buildTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    auto* tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
    tray->setToolTip(LauncherName);
    auto* menu = new QMenu;
    m_trayMenu.reset(menu);
    for (const char* name : {"mainWindow1", "mainWindow2", "showLog", "-", "quit"}) {
        if (QAction* a = action(QString::fromLatin1(name)))
            menu->addAction(a);
        else
            menu->addSeparator();
    }
    tray->setContextMenu(menu);
    connect(tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger)
            m_store.integerForKey(QString::fromLatin1(keys::StartWindow)) == 2 ? show_Mainwindow2()
                                                                               : show_Mainwindow();
    });
    tray->show();
}

// Shortcuts work from every window, the preferences and log windows included,
// but for those of the game tables.
void AppDelegate::addActionsToWindows() {
    const QStringList mainWindowsOnly{QStringLiteral("findGame"), QStringLiteral("removeGame"),
                                      QStringLiteral("favourite")};
    for (const auto& topLevel : m_topLevelWindows) {
        const bool main = topLevel.get() == window || topLevel.get() == window2;
        for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
            if (main || !mainWindowsOnly.contains(it.key()))
                topLevel->addAction(it.value());
        }
    }
}

} // namespace kd
