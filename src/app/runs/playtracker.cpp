#include "app/runs/playtracker.h"

#include "app/stringtable.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "emulator/emulatorprocess.h"
#include "platform/showntext.h"

#include <QDateTime>
#include <QLocale>
#include <unordered_map>

namespace kd {

namespace {

QString dateTimeText(qint64 ms) {
    return QLocale().toString(QDateTime::fromMSecsSinceEpoch(ms), QLocale::ShortFormat);
}

qint64 spanMs(qint64 from, qint64 to) {
    return std::max<qint64>(to - from, 0);
}

} // namespace

PlayTracker::PlayTracker(GameListController& list, const StringTable& strings, QObject* parent)
    : QObject(parent), m_list(list), m_strings(strings),
      m_history(std::make_unique<PlayHistory>(QString())) {
    setObjectName(QStringLiteral("playTracker"));
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &PlayTracker::statusChanged);
    // A crash of the launcher then loses at most this much of a run's time.
    m_seen.setInterval(int(PlayHistory::SeenIntervalMs));
    connect(&m_seen, &QTimer::timeout, this, [this] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (const PlayedRun& run : m_played)
            m_history->recordSeen(run.historyId, now);
    });
}

PlayTracker::~PlayTracker() = default;

void PlayTracker::open(const QString& path) {
    m_history = std::make_unique<PlayHistory>(path);
    connect(m_history.get(), &PlayHistory::failed, this, [this] {
        noteProblem();
        emit historyChanged();
    });
    connect(m_history.get(), &PlayHistory::copied, this, [this](const QString& problem) {
        if (!problem.isEmpty())
            emit copyFailed(problem);
    });
    noteProblem();
    m_list.setGameStats(m_history->stats());
    // The status lines start with how the last recorded run ended.
    if (const std::vector<RunRecord> last = m_history->recentRuns(1); !last.empty())
        m_status = StatusRun{
            gameTitle(last.front().name), 0, last.front().startedMs, {}, last.front().end};
    emit statusChanged();
}

// Without a database the launcher goes on; the user is told why once.
void PlayTracker::noteProblem() {
    if (m_problemReported || m_history->isOpen() || m_history->path().isEmpty())
        return;
    m_problemReported = true;
    emit historyOff(m_history->problem());
}

void PlayTracker::recordStart(const EmulatorProcess& process, const QString& romPath,
                              const QStringList& arguments) {
    PlayedRun run;
    run.runId = process.runId();
    run.name = romGameName(romPath);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    run.historyId = m_history->recordStart(run.name, romPath, arguments, now);
    m_played.push_back(run);
    m_seen.start();
    showStats(run.name);
    m_status = StatusRun{gameTitle(run.name), run.runId, now, {}, std::nullopt};
    m_status->clock.start();
    m_clock.start();
    emit statusChanged();
    emit historyChanged();
}

void PlayTracker::recordEnd(const EmulatorProcess& process, bool stopRequested) {
    const auto run = std::find_if(m_played.begin(), m_played.end(),
                                  [&](const PlayedRun& r) { return r.runId == process.runId(); });
    if (run == m_played.end())
        return;
    const RunEnd end{QDateTime::currentMSecsSinceEpoch(), process.exitStatus(),
                     process.wasSignalled()};
    m_history->recordEnd(run->historyId, end);
    const QString name = run->name;
    m_played.erase(run);
    if (m_played.empty())
        m_seen.stop();
    showStats(name);
    copyHistory();
    if (m_status && m_status->runId == process.runId()) {
        m_status->end = end;
        m_status->stopRequested = stopRequested;
        m_clock.stop();
    }
    emit statusChanged();
    emit historyChanged();
}

void PlayTracker::copyHistory() {
    m_history->startCopy(QDateTime::currentMSecsSinceEpoch());
}

QString PlayTracker::restoreCopy(const PlayHistory::Copy& copy, QString& aside) {
    const QString path = m_history->path();
    // The database is closed before its file is replaced.
    m_history = std::make_unique<PlayHistory>(QString());
    const QString problem =
        PlayHistory::restoreCopy(path, copy.path, QDateTime::currentMSecsSinceEpoch(), &aside);
    // A failed restore leaves the unusable file, said once already.
    m_problemReported = !problem.isEmpty();
    open(path);
    emit historyChanged();
    return problem;
}

PlayHistory::Import PlayTracker::importPlayData(const QByteArray& json) {
    PlayHistory::Import import = m_history->importPlayData(json);
    for (const QString& name : import.games)
        showStats(name);
    if (!import.games.isEmpty())
        emit historyChanged();
    return import;
}

bool PlayTracker::isFavourite(const QString& name) const {
    return m_history->statsOf(name).favourite;
}

void PlayTracker::setFavourite(const QString& name, bool on) {
    m_history->setFavourite(name, on);
    showStats(name);
}

void PlayTracker::showStats(const QString& name) {
    m_list.setGameStats(name.toStdString(), m_history->statsOf(name));
    emit statsChanged(name);
}

// The title the list gives the game, else its name; as much as the status line
// shows, so that how the run ended still follows it.
QString PlayTracker::gameTitle(const QString& name) const {
    const std::string bytes = name.toStdString();
    for (const plist::Value& record : m_list.content()) {
        const std::string* own = gameNameBytes(record);
        if (own && *own == bytes) {
            const QString title = GameListModel::shownText(record, GameListModel::Title);
            return shownText(title.isEmpty() ? name : title);
        }
    }
    return shownText(name);
}

QString PlayTracker::titleOfRom(const QString& romPath) const {
    return gameTitle(romGameName(romPath));
}

QString PlayTracker::titleOfRun(const EmulatorProcess& process) const {
    for (const PlayedRun& run : m_played)
        if (run.runId == process.runId())
            return gameTitle(run.name);
    return QString();
}

QString PlayTracker::outcomeText(const RunEnd& end) const {
    if (end.launcherEnded)
        return m_strings.text(QStringLiteral("Outcome_LauncherEnded"));
    if (end.signalled)
        return formatText(m_strings.text(QStringLiteral("Outcome_Signal")), end.status,
                          signalName(end.status));
    if (end.status == 0)
        return m_strings.text(QStringLiteral("Outcome_Normal"));
    return formatText(m_strings.text(QStringLiteral("Outcome_Status")), end.status);
}

QString PlayTracker::statusText() const {
    if (!m_status)
        return QString();
    const StatusRun& run = *m_status;
    QString state, when;
    if (run.end) {
        state = outcomeText(*run.end);
        if (run.stopRequested)
            state = formatText(m_strings.text(QStringLiteral("Outcome_Stopped")), 0, state);
        when = dateTimeText(run.end->endedMs);
    } else if (run.runId != 0) {
        state = formatText(m_strings.text(QStringLiteral("Status_Running")), 0,
                           GameListModel::formatDuration(run.clock.elapsed()));
    } else {
        // The launcher ended before that game did.
        state = m_strings.text(QStringLiteral("Outcome_Unknown"));
        when = dateTimeText(run.startedMs);
    }
    const QString dash = QStringLiteral(" \u2014 ");
    return run.title + dash + state + (when.isEmpty() ? QString() : dash + when);
}

QString PlayTracker::historyNote() const {
    if (!m_history->isOpen())
        return formatText(m_strings.text(QStringLiteral("History_Off")), 0, m_history->problem());
    if (m_history->recentRuns(1).empty())
        return m_strings.text(QStringLiteral("History_Empty"));
    return QString();
}

std::vector<HistoryWindow::Row> PlayTracker::historyRows(int count, const QString& name) const {
    const std::vector<RunRecord> runs = m_history->recentRuns(count, name);
    // Titles by name, made once for all the rows.
    std::unordered_map<std::string, QString> titles;
    for (const plist::Value& record : m_list.content()) {
        if (const std::string* name = gameNameBytes(record))
            titles.emplace(*name, GameListModel::shownText(record, GameListModel::Title));
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::vector<HistoryWindow::Row> rows;
    rows.reserve(runs.size());
    for (const RunRecord& run : runs) {
        const auto title = titles.find(run.name.toStdString());
        const bool running =
            !run.end && std::any_of(m_played.begin(), m_played.end(), [&](const PlayedRun& played) {
                return played.historyId == run.id;
            });
        HistoryWindow::Row row;
        row.game = title == titles.end() || title->second.isEmpty() ? run.name : title->second;
        row.started = dateTimeText(run.startedMs);
        if (run.end) {
            row.duration = GameListModel::formatDuration(spanMs(run.startedMs, run.end->endedMs));
            row.outcome = outcomeText(*run.end);
        } else if (running) {
            row.duration = GameListModel::formatDuration(spanMs(run.startedMs, now));
            row.outcome = m_strings.text(QStringLiteral("Outcome_Running"));
        } else {
            row.outcome = m_strings.text(QStringLiteral("Outcome_Unknown"));
        }
        // What exactly was started, for whoever wants to run it again by hand.
        row.command = run.romPath + u'\n' + run.arguments.join(u' ');
        row.romPath = run.romPath;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace kd
