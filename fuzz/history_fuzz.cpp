// Feeds arbitrary bytes to the play history as its database file. Whatever the
// file holds, opening it must neither crash nor hang; a file it refuses is never
// written and the session goes on in memory; every figure it reads is within
// range; an open history keeps what is recorded in it, so that a second opening
// finds it again; and the check of every page answers either way.
// make_history_corpus.py writes the seeds in corpus-history/.
#include "catalogue/playhistory.h"
#include "check.h"

#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace kd::fuzz {

namespace {

// One file per fuzzing process, with the companions SQLite keeps beside it.
const QString& databasePath() {
    struct TempFile {
        QString path =
            QDir::tempPath() + QStringLiteral("/kd-history-fuzz-%1.sqlite").arg(::getpid());
        ~TempFile() { removeAll(); }
        void removeAll() const {
            for (const char* suffix : {"", "-wal", "-shm", "-journal"})
                QFile::remove(path + QLatin1String(suffix));
        }
    };
    static const TempFile file;
    file.removeAll();
    return file.path;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeInput(const QString& path, std::string_view bytes) {
    QFile file(path);
    require(file.open(QIODevice::WriteOnly), "cannot create the database file");
    require(file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()),
            "cannot write the database file");
}

constexpr qint64 kLatestMs = 253402300799999; // the end of year 9999

void requireSane(const GameStats& stats) {
    require(stats.timesPlayed >= 0 && stats.playMs >= 0, "a figure below zero");
    require(stats.lastPlayedMs >= 0 && stats.lastPlayedMs <= kLatestMs, "a date out of range");
}

} // namespace

void checkHistoryFile(std::string_view bytes) {
    const QString path = databasePath();
    writeInput(path, bytes);
    const QByteArray input = contentOf(path);
    const QStringList arguments{QStringLiteral("/roms/fuzzgame.zip"), QStringLiteral("-window")};
    bool recorded = false;
    {
        PlayHistory history(path);
        const bool opened = history.isOpen();
        if (!opened) {
            require(!history.problem().isEmpty(), "refused without a reason");
            require(history.stats().empty() && history.recentRoms().isEmpty(),
                    "a refused file left figures behind");
        }
        for (const auto& [game, stats] : history.stats())
            requireSane(stats);
        require(history.recentRoms().size() <= PlayHistory::RecentRomLimit,
                "too many recent archives");
        for (const RunRecord& run : history.recentRuns(64)) {
            require(run.startedMs >= 0 && run.startedMs <= kLatestMs, "a start out of range");
            require(!run.end || (run.end->endedMs >= 0 && run.end->endedMs <= kLatestMs),
                    "an end out of range");
        }
        const GameStats before = history.statsOf(QStringLiteral("fuzzgame"));
        const qint64 run = history.recordStart(
            QStringLiteral("fuzzgame"), QStringLiteral("/roms/fuzzgame.zip"), arguments, 1'000'000);
        require(run != 0, "a run without an id");
        history.recordEnd(run, {1'004'000, 11, true});
        history.setFavourite(QStringLiteral("fuzzgame"), true);
        const GameStats after = history.statsOf(QStringLiteral("fuzzgame"));
        require(after.favourite && after.timesPlayed >= 1 &&
                    (before.timesPlayed == std::numeric_limits<qint64>::max() ||
                     after.timesPlayed == before.timesPlayed + 1),
                "the session does not count the run");
        require(history.recentRoms().value(0) == QStringLiteral("/roms/fuzzgame.zip"),
                "the run's archive is not the most recent");
        recorded = history.isOpen();
        if (!opened)
            require(contentOf(path) == input, "a refused file was written");
    }
    if (recorded) {
        const PlayHistory again(path);
        if (again.isOpen()) {
            const GameStats stats = again.statsOf(QStringLiteral("fuzzgame"));
            require(stats.favourite && stats.timesPlayed >= 1, "the recorded run was lost");
        }
    }
    (void)PlayHistory::checkFile(path);
}

} // namespace kd::fuzz
