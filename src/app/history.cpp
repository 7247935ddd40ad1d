// Favourites and play history as the windows show them: the status lines, the
// star, the History window and Game > Open Recent.
#include "app/appdelegate.h"
#include "app/menus/launcheractions.h"
#include "app/runs/playtracker.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/historywindow.h"
#include "app/windows/mainwindow.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "platform/desktop.h"
#include "platform/showntext.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

namespace kd {

namespace {
// How many of the newest runs the History window shows.
constexpr int HistoryRows = 500;
} // namespace

void AppDelegate::openHistory() {
    connect(m_play, &PlayTracker::historyOff, this, [this](const QString& reason) {
        m_desktop.systemLog(QStringLiteral("Play history is off: ") + reason);
        appendOutput(formatText(text(QStringLiteral("Log_HistoryOff")), 0, reason));
    });
    connect(m_play, &PlayTracker::statusChanged, this, [this] {
        for (MainWindow* main : {m_window.get(), m_window2.get()})
            main->setStatusText(m_play->statusText());
    });
    connect(m_play, &PlayTracker::statsChanged, this, &AppDelegate::syncFavouriteAction);
    connect(m_play, &PlayTracker::historyChanged, this, &AppDelegate::refreshHistoryWindow);
    // A row of History starts through the same request as a drop: an archive
    // gone since is said so.
    connect(m_historyWindow.get(), &HistoryWindow::startRequested, this,
            [this](const QString& romPath) { openRomArchive(m_paths.resolved(romPath)); });
    m_play->open(PlayHistory::defaultFilePath());
    syncFavouriteAction();
}

void AppDelegate::recordGameStart(const QString& romPath) {
    m_play->recordStart(*task(), romPath, m_runs->argumentsOf(task()));
}

void AppDelegate::toggleFavourite() {
    const qint64 stored = arrayController_list->selectedStoredIndex();
    const std::optional<QString> name =
        stored == NotFound ? std::nullopt
                           : gameName(arrayController_list->content()[std::size_t(stored)]);
    if (!name) {
        m_desktop.beep();
        return;
    }
    setFavourite(*name, !m_play->isFavourite(*name));
}

void AppDelegate::setFavourite(const QString& name, bool on) {
    m_play->setFavourite(name, on);
}

void AppDelegate::syncFavouriteAction() {
    const std::optional<QString> name = selectedGameName();
    m_actions->favourite->setChecked(name && m_play->isFavourite(*name));
}

void AppDelegate::setShowOnlyFavourites(bool on) {
    arrayController_list->setShowOnlyFavourites(on);
    m_store.setObject(on, ownKeys::ShowOnlyFavourites);
    m_store.synchronize();
    m_actions->onlyFavourites->setChecked(on);
}

void AppDelegate::fillOpenRecentMenu(QMenu* menu) {
    menu->clear();
    // An archive kept as a relative path (a relative ROMs folder before runs
    // were handed absolute ones) means the place the launcher checked.
    QStringList recent;
    for (const QString& kept : m_play->history().recentRoms())
        if (const QString path = m_paths.resolved(kept); !recent.contains(path))
            recent << path;
    for (const QString& path : recent) {
        // A menu reads "&" as the mark of a shortcut key; the path is shown as it is.
        const QString shown = shownText(path).replace(u'&', QStringLiteral("&&"));
        QAction* entry = menu->addAction(shown, this, [this, path] { task_cocking(path); });
        // An archive that is gone cannot be started.
        entry->setEnabled(QFileInfo(path).isFile());
    }
    menu->addSeparator();
    QAction* clear = menu->addAction(tr("Clear Menu"), this, [this] { clearRecentROMs(); });
    clear->setEnabled(!recent.isEmpty());
}

void AppDelegate::clearRecentROMs() {
    m_play->history().clearRecentRoms();
}

void AppDelegate::show_History() {
    m_historyGame.reset();
    m_historyWindow->setWindowTitle(HistoryWindow::tr("History"));
    bringForward(m_historyWindow.get());
    refreshHistoryWindow();
}

void AppDelegate::show_GameHistory() {
    const plist::Value* record = arrayController_list->selection();
    m_historyGame = record ? gameName(*record) : std::nullopt;
    if (!m_historyGame) {
        m_desktop.beep();
        return;
    }
    QString title = GameListModel::shownText(*record, GameListModel::Title);
    if (title.isEmpty())
        title = shownText(*m_historyGame);
    m_historyWindow->setWindowTitle(tr("History of %1").arg(title));
    bringForward(m_historyWindow.get());
    refreshHistoryWindow();
}

void AppDelegate::refreshHistoryWindow() {
    if (m_historyWindow->isVisible())
        m_historyWindow->showRuns(
            m_play->historyNote(),
            m_play->historyRows(HistoryRows, m_historyGame.value_or(QString())));
}

} // namespace kd
