#pragma once

#include "catalogue/gamelistmodel.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace kd {

// How a run's process ended.
struct RunEnd {
    qint64 endedMs = 0; // ms since the epoch
    int status = 0;     // the exit code, or the signal number when a signal ended it
    bool signalled = false;
    // Closed at the next start: the launcher ended during the run, which ends
    // at the last time it was seen running (status and signal unknown).
    bool launcherEnded = false;
    bool operator==(const RunEnd&) const = default;
};

// One game run as the history keeps it.
struct RunRecord {
    qint64 id = 0;
    QString name;
    QString romPath;
    QStringList arguments;
    qint64 startedMs = 0;
    // None while it runs, and for runs whose end was never recorded (the
    // launcher ended first).
    std::optional<RunEnd> end;
};

// The `name` a run of a ROM archive is recorded under: the archive's file name
// without ".zip", as `<name>.zip` is formed from a record.
QString romGameName(const QString& romPath);

// Favourites and play history in an SQLite database: WAL journal, schema version
// in user_version, numbered migrations each in a transaction of its own. Every
// recorded change is one transaction, so a crash loses at most the change being
// written. Only bound parameters carry values into SQL.
//
// Runs left open by a launcher that ended during them are closed when the file
// is next opened, at the last time they were seen running.
//
// A file that is not a regular file, does not read as a database, holds tables
// other than its schema version's or comes from a newer launcher is never
// written to: there is then no database, problem() says why, and favourites,
// counts and recent archives live in memory for the session. Opening checks the
// whole file for damage off the main thread (that takes as long as reading it);
// damage found, or any later failure, closes the database the same way.
class PlayHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int SchemaVersion = 2;
    static constexpr int RecentRomLimit = 10;
    // How often a running game's run notes that it is still running.
    static constexpr qint64 SeenIntervalMs = 60'000;
    // Copies of the database kept beside it, and how often one is made.
    static constexpr int CopyLimit = 5;
    static constexpr qint64 CopyIntervalMs = 24 * 3600 * 1000;

    // `$XDG_DATA_HOME/Kaleidrome/Kaleidrome Launcher/history.sqlite`
    // (`~/.local/share` when XDG_DATA_HOME is unset or relative).
    static QString defaultFilePath();

    // Opens the database at `path`, creating it (and its folder) when there is
    // none; an empty path keeps everything in memory.
    explicit PlayHistory(const QString& path, QObject* parent = nullptr);
    ~PlayHistory() override;

    // Looks at every page of the database at `path` (read only); empty when
    // sound, else what is wrong. Safe on any thread.
    static QString checkFile(const QString& path);

    QString path() const { return m_path; }
    bool isOpen() const { return m_db != nullptr; }
    // Why there is no database; empty while it is open.
    QString problem() const { return m_problem; }
    // The file is damaged or not one of ours (not merely locked, nor a newer
    // launcher's): a copy may take its place.
    bool isReplaceable() const { return m_replaceable; }

    // Returns the run's id, for recordEnd.
    qint64 recordStart(const QString& name, const QString& romPath, const QStringList& arguments,
                       qint64 startedMs);
    // Completes a run; a run already completed or unknown is left alone.
    void recordEnd(qint64 id, const RunEnd& end);
    // Notes that the run is still going at `nowMs` (one small write).
    void recordSeen(qint64 id, qint64 nowMs);
    void setFavourite(const QString& name, bool on);

    const GameStatsByName& stats() const { return m_stats; }
    GameStats statsOf(const QString& name) const;
    // The archives of the last runs, newest first, each once.
    const QStringList& recentRoms() const { return m_recentRoms; }
    void clearRecentRoms();
    // The newest runs first, at most `limit`, of the game `name` unless it is
    // null; none without a database.
    std::vector<RunRecord> recentRuns(int limit, const QString& name = QString());

    // Consistent copies of the database in `<its folder>/backups/history`.
    struct Copy {
        QString path;
        qint64 madeMs = 0; // from its name
        qint64 runs = 0;   // filled in by newestSoundCopy
    };
    static QString copyFolder(const QString& path);
    // The copies of the database at `path`, newest first.
    static std::vector<Copy> copiesOf(const QString& path);
    // The newest copy that passes integrity_check, with its number of runs.
    static std::optional<Copy> newestSoundCopy(const QString& path);
    // Starts a copy on a thread of its own unless one was made within a day of
    // `nowMs` or one is under way; copied() tells how it went. Keeps the newest
    // CopyLimit.
    bool startCopy(qint64 nowMs);
    void waitForCopy();
    // Puts `copy` in the place of the (closed) database at `path`; the file
    // there, with its journal, is moved aside to `*aside` in the same folder.
    // Empty, or why nothing was changed.
    static QString restoreCopy(const QString& path, const QString& copy, qint64 nowMs,
                               QString* aside);

    // Favourites, figures and ended runs as one JSON document.
    QByteArray exportPlayData(qint64 nowMs);
    struct Import {
        QString problem; // empty when merged; else nothing changed
        qint64 runsAdded = 0;
        qint64 favouritesAdded = 0;
        QStringList games; // whose figures may have changed
    };
    // Merges exported play data by game name: favourites united, runs united
    // by (name, start), the figures of games with new runs recomputed from
    // their runs. Importing the same data again changes nothing.
    Import importPlayData(const QByteArray& json);
    static constexpr qint64 PlayDataLimit = 256LL << 20;

signals:
    // The open database was closed: damage found, or a failure; problem() says why.
    void failed();
    // A copy finished; empty, or why it failed.
    void copied(const QString& problem);

private:
    struct Database;
    struct OpenRun {
        std::string name;
        qint64 startedMs = 0;
    };

    QString open();
    QString load();
    // Runs left open by a launcher that ended during them: read before
    // anything is written, closed once the schema is current.
    struct AbandonedRun {
        qint64 id = 0;
        QString name;
        qint64 endedMs = 0;
        qint64 playMs = 0;
    };
    QString readAbandonedRuns(bool withLastSeen, std::vector<AbandonedRun>& runs);
    QString closeAbandonedRuns(const std::vector<AbandonedRun>& runs);
    void startCheck();
    // Closes the database after a failure; `why` becomes the problem.
    void fail(const QString& why);
    void close();
    void noteRecentRom(const QString& romPath);

    QString m_path;
    QString m_problem;
    std::unique_ptr<Database> m_db;
    GameStatsByName m_stats;
    QStringList m_recentRoms;
    std::unordered_map<qint64, OpenRun> m_openRuns;
    qint64 m_nextMemoryRun = -1; // ids of runs recorded without a database
    std::thread m_check;
    std::thread m_copy;
    bool m_replaceable = false;
};

} // namespace kd
