// Feeds arbitrary bytes to the play history as its database file. Whatever the
// file holds, opening it must neither crash nor hang; a file it refuses is never
// written and the session goes on in memory; every figure it reads is within
// range; an open history keeps what is recorded in it, so that a second opening
// finds it again; and the check of every page answers either way.
//
// Built with clang as a libFuzzer target (fuzz/run.sh builds only the game-list
// target); from the source folder, with out=/tmp/kd-history-fuzz, the commands
//
//   /usr/lib/qt6/libexec/moc -Isrc src/catalogue/playhistory.h -o $out/moc_playhistory.cpp
//   clang++-14 -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -Isrc
//       $(pkg-config --cflags Qt6Sql) fuzz/history_fuzz.cpp src/catalogue/playhistory.cpp
//       $out/moc_playhistory.cpp $(pkg-config --libs Qt6Sql) -o $out/history_fuzz
//   $out/history_fuzz -max_total_time=600 -max_len=65536 $out/corpus fuzz/history-corpus
//
// (the second on one line) build it and fuzz for ten minutes.
// fuzz/history-corpus/ holds the seeds (fuzz/make_history_corpus.py), which
// tests/catalogue/history_fuzz_test.cpp replays with the suite.
#include "catalogue/playhistory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <fcntl.h>
#include <unistd.h>

using namespace kd;

namespace {

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

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

void writeInput(const QString& path, const uint8_t* data, size_t size) {
    QFile file(path);
    require(file.open(QIODevice::WriteOnly), "cannot create the database file");
    require(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size),
            "cannot write the database file");
}

constexpr qint64 kLatestMs = 253402300799999; // the end of year 9999

void requireSane(const GameStats& stats) {
    require(stats.timesPlayed >= 0 && stats.playMs >= 0, "a figure below zero");
    require(stats.lastPlayedMs >= 0 && stats.lastPlayedMs <= kLatestMs, "a date out of range");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "history_fuzz";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);

    const QString path = databasePath();
    writeInput(path, data, size);
    const QByteArray input = contentOf(path);
    const QStringList arguments{QStringLiteral("/roms/fuzzgame.zip"), QStringLiteral("-window")};
    bool recorded = false;
    {
        PlayHistory history(path);
        if (!history.isOpen()) {
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
        const bool wasOpen = history.isOpen();
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
        if (!wasOpen)
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
    return 0;
}
