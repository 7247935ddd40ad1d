// Favourites and play history: recording each game run, the status lines of
// the main windows, the History window and Game > Open Recent.
#include "app/appdelegate.h"
#include "app/menus/launcheractions.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/historywindow.h"
#include "app/windows/mainwindow.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "emulator/emulatorprocess.h"
#include "platform/desktop.h"
#include "settings/settingsstore.h"

#include <QAction>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QMenu>
#include <unordered_map>

namespace kd {

namespace {

QString dateTimeText(qint64 ms) {
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(ms), QLocale::ShortFormat);
}

const QString kDash = QStringLiteral(" \u2014 ");

qint64 spanMs(qint64 from, qint64 to) {
    return std::max<qint64>(to - from, 0);
}

} // namespace

void AppDelegate::openHistory() {
    m_history = std::make_unique<PlayHistory>(PlayHistory::defaultFilePath());
    connect(m_history.get(), &PlayHistory::failed, this, [this] {
        noteHistoryProblem();
        refreshHistoryWindow();
    });
    noteHistoryProblem();
    arrayController_list->setGameStats(m_history->stats());
    syncFavouriteAction();
    // The status lines start with how the last recorded run ended.
    if (const std::vector<RunRecord> last = m_history->recentRuns(1); !last.empty())
        m_statusRun = RunStatus{
            gameTitle(last.front().name), 0, last.front().startedMs, {}, last.front().end};
    refreshStatusLine();
}

// Without a database the launcher goes on; the user is told why once.
void AppDelegate::noteHistoryProblem() {
    if (m_historyProblemReported || m_history->isOpen() || m_history->path().isEmpty())
        return;
    m_historyProblemReported = true;
    m_desktop.systemLog(QStringLiteral("Play history is off: ") + m_history->problem());
    appendOutput(formatText(text(QStringLiteral("Log_HistoryOff")), 0, m_history->problem()));
}

void AppDelegate::recordGameStart(const QString& romPath) {
    EmulatorProcess* process = task();
    PlayedRun run;
    run.runId = process->runId();
    run.name = romGameName(romPath);
    run.title = gameTitle(run.name);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    run.historyId = m_history->recordStart(run.name, romPath, m_runs->argumentsOf(process), now);
    m_playedRuns.push_back(run);
    showGameStats(run.name);
    m_statusRun = RunStatus{run.title, run.runId, now, {}, std::nullopt};
    m_statusRun->clock.start();
    m_statusClock.start(1000);
    refreshStatusLine();
    refreshHistoryWindow();
}

// At once when the process ends, even while an alert is up: a launcher that is
// quit or killed then has the end recorded.
void AppDelegate::recordGameEnd(EmulatorProcess* process) {
    const auto run = std::find_if(m_playedRuns.begin(), m_playedRuns.end(),
                                  [&](const PlayedRun& r) { return r.runId == process->runId(); });
    if (run == m_playedRuns.end())
        return;
    const RunEnd end{QDateTime::currentMSecsSinceEpoch(), process->exitStatus(),
                     process->wasSignalled()};
    m_history->recordEnd(run->historyId, end);
    const QString name = run->name;
    m_playedRuns.erase(run);
    showGameStats(name);
    if (m_statusRun && m_statusRun->runId == process->runId()) {
        m_statusRun->end = end;
        m_statusClock.stop();
    }
    refreshStatusLine();
    refreshHistoryWindow();
}

void AppDelegate::showGameStats(const QString& name) {
    arrayController_list->setGameStats(name.toStdString(), m_history->statsOf(name));
    syncFavouriteAction();
}

// The title the list gives the game, else its name.
QString AppDelegate::gameTitle(const QString& name) const {
    const std::string bytes = name.toStdString();
    for (const plist::Value& record : arrayController_list->content()) {
        const std::string* own = gameNameBytes(record);
        if (own && *own == bytes) {
            const QString title = GameListModel::displayText(record, GameListModel::Title);
            return title.isEmpty() ? name : title;
        }
    }
    return name;
}

QString AppDelegate::runOutcomeText(const RunEnd& end) const {
    if (end.signalled)
        return formatText(text(QStringLiteral("Outcome_Signal")), end.status,
                          signalName(end.status));
    if (end.status == 0)
        return text(QStringLiteral("Outcome_Normal"));
    return formatText(text(QStringLiteral("Outcome_Status")), end.status);
}

void AppDelegate::refreshStatusLine() {
    QString line;
    if (m_statusRun) {
        const RunStatus& run = *m_statusRun;
        QString state, when;
        if (run.end) {
            state = runOutcomeText(*run.end);
            when = dateTimeText(run.end->endedMs);
        } else if (run.runId != 0) {
            state = formatText(text(QStringLiteral("Status_Running")), 0,
                               GameListModel::formatDuration(run.clock.elapsed()));
        } else {
            // The launcher ended before that game did.
            state = text(QStringLiteral("Outcome_Unknown"));
            when = dateTimeText(run.startedMs);
        }
        line = run.title + kDash + state + (when.isEmpty() ? QString() : kDash + when);
    }
    for (MainWindow* main : {m_window.get(), m_window2.get()})
        main->setStatusText(line);
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
    setFavourite(*name, !m_history->statsOf(*name).favourite);
}

void AppDelegate::setFavourite(const QString& name, bool on) {
    m_history->setFavourite(name, on);
    showGameStats(name);
}

void AppDelegate::syncFavouriteAction() {
    const std::optional<QString> name = selectedGameName();
    m_actions->favourite->setChecked(name && m_history->statsOf(*name).favourite);
}

void AppDelegate::setShowOnlyFavourites(bool on) {
    arrayController_list->setShowOnlyFavourites(on);
    m_store.setObject(on, ownKeys::ShowOnlyFavourites);
    m_store.synchronize();
    m_actions->onlyFavourites->setChecked(on);
}

// ---- Open Recent ----

void AppDelegate::fillOpenRecentMenu(QMenu* menu) {
    menu->clear();
    for (const QString& path : m_history->recentRoms()) {
        QAction* entry = menu->addAction(path, this, [this, path] { task_cocking(path); });
        // An archive that is gone cannot be started.
        entry->setEnabled(QFileInfo(path).isFile());
    }
    menu->addSeparator();
    QAction* clear = menu->addAction(tr("Clear Menu"), this, [this] { clearRecentROMs(); });
    clear->setEnabled(!m_history->recentRoms().isEmpty());
}

void AppDelegate::clearRecentROMs() {
    m_history->clearRecentRoms();
}

// ---- the History window ----

void AppDelegate::show_History() {
    bringForward(m_historyWindow.get());
    refreshHistoryWindow();
}

void AppDelegate::refreshHistoryWindow() {
    if (!m_historyWindow->isVisible())
        return;
    const std::vector<RunRecord> runs = m_history->recentRuns(HistoryRows);
    QString note;
    if (!m_history->isOpen())
        note = formatText(text(QStringLiteral("History_Off")), 0, m_history->problem());
    else if (runs.empty())
        note = text(QStringLiteral("History_Empty"));

    // Titles by name, made once for all the rows.
    std::unordered_map<std::string, QString> titles;
    for (const plist::Value& record : arrayController_list->content()) {
        if (const std::string* name = gameNameBytes(record))
            titles.emplace(*name, GameListModel::displayText(record, GameListModel::Title));
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::vector<HistoryWindow::Row> rows;
    rows.reserve(runs.size());
    for (const RunRecord& run : runs) {
        const auto title = titles.find(run.name.toStdString());
        const bool running = !run.end && std::any_of(m_playedRuns.begin(), m_playedRuns.end(),
                                                     [&](const PlayedRun& played) {
                                                         return played.historyId == run.id;
                                                     });
        HistoryWindow::Row row;
        row.game = title == titles.end() || title->second.isEmpty() ? run.name : title->second;
        row.started = dateTimeText(run.startedMs);
        if (run.end) {
            row.duration = GameListModel::formatDuration(spanMs(run.startedMs, run.end->endedMs));
            row.outcome = runOutcomeText(*run.end);
        } else if (running) {
            row.duration = GameListModel::formatDuration(spanMs(run.startedMs, now));
            row.outcome = text(QStringLiteral("Outcome_Running"));
        } else {
            row.outcome = text(QStringLiteral("Outcome_Unknown"));
        }
        // What exactly was started, for whoever wants to run it again by hand.
        row.command = run.romPath + u'\n' + run.arguments.join(u' ');
        rows.push_back(std::move(row));
    }
    m_historyWindow->showRuns(note, rows);
}

} // namespace kd
