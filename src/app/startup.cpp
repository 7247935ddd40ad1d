// Start-up in its fixed order, shutdown, and the switch between the main windows.
#include "app/appdelegate.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QMainWindow>
#include <QTableView>

namespace kd {

void AppDelegate::awakeFromNib() {
    if (!ExefileCheck())
        display_Alert_exe();
    check_romsfolder();
    // Both tables start games (Return, double click); cells get 8 x 2 points of room.
    for (QTableView* table : {tableView_list, tableView_list2})
        table->setStyleSheet(QStringLiteral("QTableView::item { padding: 1px 4px; }"));
    visible_prewindow = false;
    loadGameList();
    openHistory();
    watchRomsFolder();
}

void AppDelegate::applicationDidFinishLaunching() {
    PackagePath_ini();
    setSelectionIndex(0);
    QMainWindow* front =
        m_store.integerForKey(QString::fromLatin1(keys::StartWindow)) == 2 ? window2 : window;
    // Ordered to the front without being made the key window.
    front->show();
    front->raise();
    focusListOf(front);
    // Files from the command line or from starts made meanwhile come after.
    m_launchFinished = true;
    for (std::function<void()>& request : std::exchange(m_untilLaunched, {}))
        react(std::move(request));
}

// A main window comes up with its list taking the keys, whatever had them
// before it was closed.
void AppDelegate::focusListOf(QMainWindow* mainWindow) {
    (mainWindow == window ? tableView_list : tableView_list2)
        ->setFocus(Qt::ActiveWindowFocusReason);
}

void AppDelegate::applicationWillTerminate() {
    saveGameList();
}

void AppDelegate::show_Mainwindow(QObject*) {
    if (window2->isVisible())
        window2->close();
    showWindow(window);
    focusListOf(window);
    m_store.setObject(qint64(1), QString::fromLatin1(keys::StartWindow));
    m_store.synchronize();
}

void AppDelegate::show_Mainwindow2(QObject*) {
    if (window->isVisible())
        window->close();
    showWindow(window2);
    focusListOf(window2);
    m_store.setObject(qint64(2), QString::fromLatin1(keys::StartWindow));
    m_store.synchronize();
}

} // namespace kd
