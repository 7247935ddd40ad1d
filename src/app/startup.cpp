// Start-up in its fixed order, shutdown, and the switch between the main windows.
#include "app/appdelegate.h"
#include "app/runs/playtracker.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/logwindow.h"
#include "app/windows/mainwindow.h"
#include "app/windows/preferenceswindow.h"
#include "app/windows/windowarrangement.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/romfolder.h"
#include "settings/settingsstore.h"

#include <QCoreApplication>

namespace kd {

void AppDelegate::awakeFromNib() {
    if (!ExefileCheck())
        display_Alert_exe();
    check_romsfolder();
    m_visiblePrewindow = false;
    if (!std::exchange(m_listRead, true))
        loadGameList();
    openHistory();
    // Which games have their archive in the ROMs folder, as its field says now
    // (and from now on, as it changes).
    m_romFolder->setFolder(m_paths.romsFolder());
    connect(&m_defaults, &DefaultsController::valueChanged, this, [this](const QString& key) {
        if (key == keys::RomsPath.name())
            m_romFolder->setFolder(m_paths.romsFolder());
    });
}

void AppDelegate::applicationDidFinishLaunching() {
    PackagePath_ini();
    // The first game shown: record 0 unless the filters remembered hide it.
    setSelectionIndex(arrayController_list->firstShownIndex());
    // Which games are available is known once the ROMs folder is listed; until
    // then record 0's artwork is shown.
    if (selectionIndex() == NotFound && !arrayController_list->content().empty()) {
        m_selectFirstShown = true;
        const QModelIndex first = arrayController_list->proxyModel()->index(0, 0);
        showArtwork(gameName(arrayController_list->content()[std::size_t(
            arrayController_list->proxyModel()->mapToSource(first).row())]));
    }
    MainWindow* front =
        m_store.integerForKey(keys::StartWindow) == 2 ? m_window2.get() : m_window.get();
    // Ordered to the front without being made the key window.
    front->show();
    front->raise();
    front->focusList();
    // Files from the command line or from starts made meanwhile come after.
    m_launchFinished = true;
    for (std::function<void()>& request : std::exchange(m_untilLaunched, {}))
        m_runs->react(std::move(request));
}

void AppDelegate::applicationWillTerminate() {
    saveGameList();
    m_play->copyHistory();
}

void AppDelegate::show_Mainwindow() {
    if (m_window2->isVisible())
        m_window2->close();
    bringForward(m_window.get());
    m_window->focusList();
    m_store.setObject(qint64(1), keys::StartWindow);
    m_store.synchronize();
}

void AppDelegate::show_Mainwindow2() {
    if (m_window->isVisible())
        m_window->close();
    bringForward(m_window2.get());
    m_window2->focusList();
    m_store.setObject(qint64(2), keys::StartWindow);
    m_store.synchronize();
}

// The one main window shown, main window 1 when none or both are.
MainWindow* AppDelegate::shownMainWindow() const {
    return !m_window->isVisible() && m_window2->isVisible() ? m_window2.get() : m_window.get();
}

void AppDelegate::restoreArrangement() {
    for (QWidget* window :
         {static_cast<QWidget*>(logWindow.get()), static_cast<QWidget*>(preferencesWindow.get())})
        windowArrangement::restoreGeometry(m_store, *window);
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->restoreArrangement(m_store);
    // Saved when the launcher quits, however it is asked to.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::saveArrangement,
            Qt::UniqueConnection);
}

void AppDelegate::saveArrangement() {
    for (QWidget* window :
         {static_cast<QWidget*>(logWindow.get()), static_cast<QWidget*>(preferencesWindow.get())})
        windowArrangement::saveGeometry(m_store, *window);
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->saveArrangement(m_store);
    m_store.synchronize();
}

} // namespace kd
