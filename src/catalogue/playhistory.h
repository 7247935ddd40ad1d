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
// A file that is not a regular file, does not read as a database, holds tables
// other than its schema version's or comes from a newer launcher is never
// written to: there is then no database, problem() says why, and favourites,
// counts and recent archives live in memory for the session. Opening checks the
// whole file for damage off the main thread (that takes as long as reading it);
// damage found, or any later failure, closes the database the same way.
class PlayHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int SchemaVersion = 1;
    static constexpr int RecentRomLimit = 10;

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

    // Returns the run's id, for recordEnd.
    qint64 recordStart(const QString& name, const QString& romPath, const QStringList& arguments,
                       qint64 startedMs);
    // Completes a run; a run already completed or unknown is left alone.
    void recordEnd(qint64 id, const RunEnd& end);
    void setFavourite(const QString& name, bool on);

    const GameStatsByName& stats() const { return m_stats; }
    GameStats statsOf(const QString& name) const;
    // The archives of the last runs, newest first, each once.
    const QStringList& recentRoms() const { return m_recentRoms; }
    void clearRecentRoms();
    // The newest runs first, at most `limit`, of the game `name` unless it is
    // null; none without a database.
    std::vector<RunRecord> recentRuns(int limit, const QString& name = QString());

signals:
    // The open database was closed: damage found, or a failure; problem() says why.
    void failed();

private:
    struct Database;
    struct OpenRun {
        std::string name;
        qint64 startedMs = 0;
    };

    QString open();
    QString load();
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
};

} // namespace kd
