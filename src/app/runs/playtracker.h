#pragma once

#include "app/windows/historywindow.h"
#include "catalogue/playhistory.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

namespace kd {

class EmulatorProcess;
class GameListController;
class StringTable;

// What the launcher keeps of game runs beside the list: each run's start and
// end in the play history, the favourites and figures the list shows, and what
// the status lines and the History window say about the runs.
class PlayTracker : public QObject {
    Q_OBJECT
public:
    PlayTracker(GameListController& list, const StringTable& strings, QObject* parent = nullptr);
    ~PlayTracker() override;

    // Uses the database at `path`; until then, and when it cannot be used, the
    // figures are kept in memory for the session.
    void open(const QString& path);
    PlayHistory& history() { return *m_history; }

    // At once when a game run starts and when its process ends (even while a
    // question is up: a launcher that is quit or killed has the end recorded).
    void recordStart(const EmulatorProcess& process, const QString& romPath,
                     const QStringList& arguments);
    // `stopRequested`: it ended after the launcher's terminate request.
    void recordEnd(const EmulatorProcess& process, bool stopRequested);
    // A copy of the database at most once a day, on a thread of its own.
    void copyHistory();
    // Puts `copy` in place of the unusable database and opens it; empty, or
    // why nothing changed. `aside` gets where the unusable file went.
    QString restoreCopy(const PlayHistory::Copy& copy, QString& aside);
    // Merges exported play data and shows the figures it changed.
    PlayHistory::Import importPlayData(const QByteArray& json);
    bool isFavourite(const QString& name) const;
    void setFavourite(const QString& name, bool on);

    // "ended normally", "ended with status 5", "killed by signal 11 (SIGSEGV)".
    QString outcomeText(const RunEnd& end) const;
    // The title the list gives the game of a ROM archive, else its name.
    QString titleOfRom(const QString& romPath) const;
    // The title of the game a run plays; empty when it is no game run of ours.
    QString titleOfRun(const EmulatorProcess& process) const;
    // The running game or how the last run ended: "Title — state — when".
    QString statusText() const;
    // The newest runs for the History window (of the game `name` unless it is
    // null), and the note above them.
    std::vector<HistoryWindow::Row> historyRows(int count, const QString& name = QString()) const;
    QString historyNote() const;

signals:
    // The status text changed (every second while a game runs).
    void statusChanged();
    // What the list shows for `name` (its star, its figures) changed.
    void statsChanged(const QString& name);
    // A run was recorded or the database went away: the History window is stale.
    void historyChanged();
    // The database cannot be used, and why; said once.
    void historyOff(const QString& reason);
    // A copy of the database could not be made, and why.
    void copyFailed(const QString& reason);

private:
    // A game run from its start until its end is recorded.
    struct PlayedRun {
        quint64 runId = 0;    // the process's
        qint64 historyId = 0; // its row in the play history
        QString name;         // the record's `name`
    };
    // The run the status lines speak of: one of this session's, or the last one
    // recorded before it (runId 0).
    struct StatusRun {
        QString title;
        quint64 runId = 0;
        qint64 startedMs = 0;
        QElapsedTimer clock;
        std::optional<RunEnd> end;
        bool stopRequested = false;
    };

    QString gameTitle(const QString& name) const;
    void showStats(const QString& name);
    void noteProblem();

    GameListController& m_list;
    const StringTable& m_strings;
    std::unique_ptr<PlayHistory> m_history;
    bool m_problemReported = false;
    std::vector<PlayedRun> m_played;
    std::optional<StatusRun> m_status;
    QTimer m_clock;
    QTimer m_seen; // notes the running games' runs as still going
};

} // namespace kd
