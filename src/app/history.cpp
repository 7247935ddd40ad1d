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
#include "platform/atomicfile.h"
#include "platform/desktop.h"
#include "platform/regularfile.h"
#include "platform/showntext.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
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
        if (m_play->history().isReplaceable())
            whenLaunched([this] { offerHistoryCopy(); });
    });
    connect(m_play, &PlayTracker::copyFailed, this, [this](const QString& reason) {
        m_desktop.systemLog(QStringLiteral("Play history not copied: ") + reason);
        appendOutput(formatText(text(QStringLiteral("Log_HistoryCopyFailed")), 0, reason));
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

// Offered, never forced: the unusable file is kept under another name.
void AppDelegate::offerHistoryCopy() {
    if (m_play->history().isOpen() || !m_play->history().isReplaceable())
        return;
    const std::optional<PlayHistory::Copy> copy =
        PlayHistory::newestSoundCopy(m_play->history().path());
    if (!copy)
        return;
    const QString date =
        QLocale().toString(QDateTime::fromMSecsSinceEpoch(copy->madeMs), QLocale::LongFormat);
    AlertRequest alert;
    alert.message = formatText(text(QStringLiteral("Alert_HistoryCopy")), copy->runs, date);
    alert.informativeText =
        formatText(text(QStringLiteral("Alert_HistoryCopyInfo")), 0, m_play->history().problem());
    alert.buttons = {text(QStringLiteral("Button_RestoreCopy")),
                     text(QStringLiteral("Button_NotNow"))};
    alert.cancelButton = 1;
    if (runAlert(alert) != 0)
        return;
    QString aside;
    if (const QString problem = m_play->restoreCopy(*copy, aside); !problem.isEmpty()) {
        m_desktop.systemLog(QStringLiteral("Play history not restored: ") + problem);
        AlertRequest failed;
        failed.message = text(QStringLiteral("Alert_RestoreFailed"));
        failed.informativeText = problem;
        failed.buttons = {text(QStringLiteral("Button_OK"))};
        failed.cancelButton = 0;
        runAlert(failed);
        return;
    }
    m_desktop.systemLog(QStringLiteral("Play history restored from ") + copy->path +
                        QStringLiteral("; the unusable file is now ") + aside);
    appendOutput(formatText(text(QStringLiteral("Log_HistoryRestored")), 0, aside));
    syncFavouriteAction();
    refreshHistoryWindow();
}

void AppDelegate::exportPlayData() {
    SavePanelRequest request;
    request.allowedTypes = {QStringLiteral("json")};
    request.suggestedName = QStringLiteral("Play Data");
    request.startDirectory = QDir::homePath();
    const std::optional<QString> path = runSavePanel(request);
    if (!path || path->isEmpty())
        return;
    QString error;
    const QByteArray data = m_play->history().exportPlayData(QDateTime::currentMSecsSinceEpoch());
    if (writeFileAtomically(*path, data, &error))
        return;
    m_desktop.systemLog(QStringLiteral("Play data not exported: ") + error);
    AlertRequest alert;
    alert.message = text(QStringLiteral("Alert_ExportFailed"));
    alert.informativeText = error;
    alert.buttons = {text(QStringLiteral("Button_OK"))};
    alert.cancelButton = 0;
    runAlert(alert);
}

void AppDelegate::importPlayData() {
    OpenPanelRequest request;
    request.allowedTypes = {QStringLiteral("json")};
    request.startDirectory = QDir::homePath();
    const std::optional<QString> path = runOpenPanel(request);
    if (!path || path->isEmpty())
        return;
    QByteArray data;
    QString problem;
    const QFileInfo info(*path);
    if (info.isFile() && info.size() > PlayHistory::PlayDataLimit)
        problem = QStringLiteral("it is larger than %1 MB").arg(PlayHistory::PlayDataLimit >> 20);
    else if (readRegularFile(*path, &data, &problem) == RegularFile::Absent)
        problem = text(QStringLiteral("Open_Missing"));
    PlayHistory::Import import;
    if (problem.isEmpty()) {
        import = m_play->importPlayData(data);
        problem = import.problem;
    }
    AlertRequest alert;
    alert.buttons = {text(QStringLiteral("Button_OK"))};
    alert.cancelButton = 0;
    if (problem.isEmpty()) {
        syncFavouriteAction();
        alert.style = AlertStyle::Informational;
        alert.message = text(QStringLiteral("Alert_Imported"));
        alert.informativeText =
            formatText(text(QStringLiteral("Alert_ImportedInfo")), import.runsAdded) +
            formatText(text(QStringLiteral("Alert_ImportedFavourites")), import.favouritesAdded);
    } else {
        m_desktop.systemLog(QStringLiteral("Play data not imported: ") + problem);
        alert.message = text(QStringLiteral("Alert_ImportFailed"));
        alert.informativeText =
            formatText(text(QStringLiteral("Alert_ImportFailedInfo")), 0, problem);
    }
    runAlert(alert);
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
