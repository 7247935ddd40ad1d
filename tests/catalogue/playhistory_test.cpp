// The play history's database: what it keeps, the files it refuses to touch,
// damage found after opening, and failures while it is in use.
#include "catalogue/playhistory.h"
#include "support/sqlfile.h"
#include "support/testbundle.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kd;
using namespace kd::test;

namespace {

class History : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    // A database as the launcher leaves it, holding one ended run.
    void makeDatabase() {
        PlayHistory history(file);
        ASSERT_TRUE(history.isOpen()) << history.problem().toStdString();
        history.recordEnd(history.recordStart("astrovex", "/roms/astrovex.zip", {}, 1000),
                          {2000, 0, false});
    }
    QTemporaryDir dir;
    QString file = dir.filePath("data/history.sqlite");
};

// (That a cleared Open Recent stays clear HistoryView checks in the app.)
TEST_F(History, RunsFavouritesAndRecentArchivesSurviveAReopen) {
    GameStatsByName before;
    {
        PlayHistory h(file);
        ASSERT_TRUE(h.isOpen()) << h.problem().toStdString();
        const QStringList arguments{"/roms/astrovex.zip", "-res=640,480", "with \"quotes\""};
        const qint64 first = h.recordStart("astrovex", "/roms/astrovex.zip", arguments, 1000);
        h.recordEnd(first, {61'000, 0, false});
        h.recordEnd(first, {999'000, 3, false}); // a run ends once
        h.recordEnd(12345, {5000, 0, false});    // an unknown run changes nothing
        h.recordEnd(h.recordStart("boltrunner", "/roms/boltrunner.zip", {}, 100'000),
                    {130'000, 11, true});
        h.recordStart("astrovex", "/other/astrovex.zip", {}, 200'000); // never ends
        h.setFavourite("boltrunner", true);
        h.setFavourite("cometkai", true);
        h.setFavourite("cometkai", false);
        for (int i = 0; i < 12; ++i)
            h.recordStart(QString("g%1").arg(i), QString("/roms/g%1.zip").arg(i), {}, 300'000 + i);
        h.recordStart("g0", "/roms/g0.zip", {}, 400'000);
        before = h.stats();
    }
    PlayHistory h(file);
    ASSERT_TRUE(h.isOpen()) << h.problem().toStdString();
    EXPECT_EQ(h.stats(), before);
    EXPECT_EQ(h.statsOf("astrovex"), (GameStats{false, 2, 200'000, 60'000}));
    EXPECT_EQ(h.statsOf("boltrunner"), (GameStats{true, 1, 100'000, 30'000}));
    EXPECT_EQ(h.statsOf("cometkai"), GameStats());
    EXPECT_EQ(h.statsOf("g0"), (GameStats{false, 2, 400'000, 0}));
    QStringList recent{"/roms/g0.zip"};
    for (int i = 11; i >= 3; --i)
        recent << QString("/roms/g%1.zip").arg(i);
    EXPECT_EQ(h.recentRoms(), recent);

    const std::vector<RunRecord> runs = h.recentRuns(100);
    ASSERT_EQ(runs.size(), 16u);
    EXPECT_EQ(runs.front().name, "g0");
    const RunRecord& oldest = runs.back();
    EXPECT_EQ(oldest.romPath, "/roms/astrovex.zip");
    EXPECT_EQ(oldest.arguments,
              (QStringList{"/roms/astrovex.zip", "-res=640,480", "with \"quotes\""}));
    EXPECT_EQ(oldest.startedMs, 1000);
    EXPECT_EQ(oldest.end, (RunEnd{61'000, 0, false}));
    EXPECT_EQ(runs[runs.size() - 2].end, (RunEnd{130'000, 11, true}));
    EXPECT_EQ(runs[runs.size() - 3].end, (RunEnd{200'000, 0, false, true})); // left open
    EXPECT_EQ(h.recentRuns(2).size(), 2u);

    EXPECT_EQ(sqlValue(file, "PRAGMA user_version").toInt(), PlayHistory::SchemaVersion);
    EXPECT_EQ(sqlValue(file, "PRAGMA journal_mode").toString(), "wal");
    EXPECT_EQ(QFile::permissions(file) & (QFile::ReadOther | QFile::ReadGroup), 0);
}

// Refused files are named and never written. (That the session goes on in
// memory the fuzz replay checks on such files, and HistoryView in the app.)
TEST_F(History, FilesItDoesNotUnderstandAreLeftAsTheyAre) {
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* problem;
        bool replaceable = true; // a copy may take its place
    };
    // A database as the launcher leaves it, then changed by another program.
    const auto changed = [&](const QStringList& sql, qint64 cutTo = 0) {
        makeDatabase();
        ASSERT_EQ(runSql(file, sql), "");
        ASSERT_TRUE(cutTo == 0 || QFile::resize(file, cutTo));
    };
    const QStringList runsOnly = {"CREATE TABLE runs (id INTEGER PRIMARY KEY, name TEXT, rom_path "
                                  "TEXT, arguments TEXT, started INTEGER, ended INTEGER, status "
                                  "INTEGER, signalled INTEGER)",
                                  "PRAGMA user_version = 2"};
    const char* const foreign = "tables this launcher did not make";
    const char* const irregular = "not a regular file";
    const Case cases[] = {
        {"garbage", [&] { writeFile(file, QByteArray(5000, 'x')); }, "not an SQLite database"},
        {"a cut database", [&] { changed({}, 200); }, "does not read as a database"},
        {"a newer schema", [&] { changed({"PRAGMA user_version = 3"}); },
         "newer launcher (schema version 3", false},
        {"another program's tables", [&] { runSql(file, {"CREATE TABLE notes (t)"}); }, foreign},
        {"a trigger",
         [&] { changed({"CREATE TRIGGER t BEFORE INSERT ON runs BEGIN SELECT 1; END"}); }, foreign},
        {"a missing table", [&] { runSql(file, runsOnly); }, foreign},
        {"a folder", [&] { QDir().mkpath(file); }, irregular, false},
        {"a FIFO", [&] { ::mkfifo(QFile::encodeName(file).constData(), 0600); }, irregular, false},
        {"a link to nothing", [&] { QFile::link(dir.filePath("nowhere"), file); }, irregular,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dir.filePath("data")).removeRecursively();
        QDir().mkpath(dir.filePath("data"));
        c.make();
        const QByteArray bytes = QFileInfo(file).isFile() ? readFile(file) : QByteArray();
        PlayHistory h(file);
        EXPECT_FALSE(h.isOpen());
        EXPECT_TRUE(h.problem().startsWith(file + ": ")) << h.problem().toStdString();
        EXPECT_TRUE(h.problem().contains(c.problem)) << h.problem().toStdString();
        EXPECT_EQ(h.isReplaceable(), c.replaceable);
        h.recordEnd(h.recordStart("astrovex", "/roms/astrovex.zip", {}, 1000), {4000, 0, false});
        h.setFavourite("astrovex", true);
        EXPECT_EQ(bytes.isEmpty() ? bytes : readFile(file), bytes); // a file is left unchanged
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("nowhere")));
    }
}

// Start-up reads only the small tables; the check that reads every page runs
// after it and closes a damaged database before anything more is written.
TEST_F(History, DamageAnywhereIsFoundAfterOpening) {
    makeDatabase();
    // 400 more runs of 300-character arguments: pages enough to damage one.
    ASSERT_EQ(runSql(file, {"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                            "WHERE i < 399) INSERT INTO runs (name, rom_path, arguments, started, "
                            "ended) SELECT 'g', '/roms/g.zip', hex(zeroblob(150)), i, i FROM n",
                            "PRAGMA wal_checkpoint(TRUNCATE)"}),
              "");
    EXPECT_EQ(PlayHistory::checkFile(file), "");
    const int pages = sqlValue(file, "PRAGMA page_count").toInt();
    ASSERT_GT(pages, 20);
    // Cell pointers of a page of runs in the middle of the file, overwritten.
    QByteArray bytes = readFile(file);
    bytes.replace((pages / 2) * 4096 + 8, 64, QByteArray(64, '\xff'));
    ASSERT_TRUE(writeFile(file, bytes));

    PlayHistory h(file);
    ASSERT_TRUE(h.isOpen()) << h.problem().toStdString();
    QSignalSpy failed(&h, &PlayHistory::failed);
    ASSERT_TRUE(failed.wait(20000));
    EXPECT_FALSE(h.isOpen());
    EXPECT_TRUE(h.isReplaceable());
    EXPECT_TRUE(h.problem().contains("damaged")) << h.problem().toStdString();
    h.recordStart("astrovex", "/roms/astrovex.zip", {}, 5000);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(readFile(file), bytes);
}

// Another program holding the write lock past the wait makes the first write
// that cannot be made fail, whichever it is: the database is closed, said
// once, and the session goes on in memory. Only what was written before stays.
TEST_F(History, AFailedWriteClosesTheDatabaseOnce) {
    const struct {
        const char* problem;
        GameStats kept;
    } cases[] = {{"recording the start of a run failed", GameStats()},
                 {"recording the end of a run failed", {false, 1, 5000, 0}},
                 {"saving a favourite failed", {false, 1, 5000, 3000}}};
    for (int locked = 0; locked < 3; ++locked) {
        SCOPED_TRACE(cases[locked].problem);
        QDir(dir.filePath("data")).removeRecursively();
        makeDatabase();
        {
            PlayHistory h(file);
            ASSERT_TRUE(h.isOpen()) << h.problem().toStdString();
            QSignalSpy failed(&h, &PlayHistory::failed);
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "kd-test-lock");
            other.setDatabaseName(file);
            ASSERT_TRUE(other.open());
            QSqlQuery lock(other);
            qint64 run = 0;
            for (int write = 0; write < 3; ++write) {
                ASSERT_TRUE(write != locked || lock.exec("BEGIN IMMEDIATE"));
                if (write == 0)
                    run = h.recordStart("cometkai", "/roms/cometkai.zip", {}, 5000);
                else if (write == 1)
                    h.recordEnd(run, {8000, 0, false});
                else
                    h.setFavourite("cometkai", true);
            }
            EXPECT_NE(run, 0);
            EXPECT_EQ(failed.count(), 1);
            EXPECT_FALSE(h.isOpen());
            EXPECT_TRUE(h.problem().contains(cases[locked].problem)) << h.problem().toStdString();
            EXPECT_EQ(h.statsOf("cometkai"), (GameStats{true, 1, 5000, 3000}));
            lock.exec("ROLLBACK");
        }
        QSqlDatabase::removeDatabase("kd-test-lock");
        PlayHistory again(file);
        EXPECT_EQ(again.statsOf("cometkai"), cases[locked].kept);
        EXPECT_EQ(again.statsOf("astrovex").timesPlayed, 1);
    }
}

// A launcher killed during a run leaves it open; the next opening closes it at
// the last time it was seen running, and that time counts, once. A version-1
// file is brought to the current schema the same way.
TEST_F(History, RunsLeftOpenEndAtTheirLastSeenTime) {
    {
        PlayHistory h(file);
        const qint64 seen = h.recordStart("astrovex", "/roms/astrovex.zip", {}, 1000);
        h.recordSeen(seen, 61'000);
        h.recordSeen(seen, 121'000);
        h.recordStart("boltrunner", "/roms/boltrunner.zip", {}, 5000); // never seen
        h.recordEnd(h.recordStart("cometkai", "/roms/cometkai.zip", {}, 9000), {19'000, 2, false});
        h.recordSeen(3, 99'000); // an ended run keeps its end
    }
    for (int opening = 0; opening < 2; ++opening) {
        PlayHistory h(file);
        ASSERT_TRUE(h.isOpen()) << h.problem().toStdString();
        EXPECT_EQ(h.statsOf("astrovex"), (GameStats{false, 1, 1000, 120'000}));
        EXPECT_EQ(h.statsOf("boltrunner"), (GameStats{false, 1, 5000, 0}));
        EXPECT_EQ(h.statsOf("cometkai"), (GameStats{false, 1, 9000, 10'000}));
        const std::vector<RunRecord> runs = h.recentRuns(10);
        ASSERT_EQ(runs.size(), 3u);
        EXPECT_EQ(runs[0].end, (RunEnd{19'000, 2, false, false}));
        EXPECT_EQ(runs[1].end, (RunEnd{5000, 0, false, true}));
        EXPECT_EQ(runs[2].end, (RunEnd{121'000, 0, false, true}));
    }

    QFile::remove(file);
    ASSERT_TRUE(QFile::copy(KD_SOURCE_DIR "/fuzz/corpus-history/v1-runs.sqlite", file));
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    PlayHistory h(file);
    ASSERT_TRUE(h.isOpen()) << h.problem().toStdString();
    EXPECT_EQ(sqlValue(file, "PRAGMA user_version").toInt(), 2);
    EXPECT_EQ(h.statsOf("astrovex"), (GameStats{false, 2, 200'000, 60'000}));
    EXPECT_EQ(h.statsOf("boltrunner"), (GameStats{true, 1, 100'000, 30'000}));
    const std::vector<RunRecord> runs = h.recentRuns(10);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].end, (RunEnd{200'000, 0, false, true}));
    EXPECT_EQ(runs[1].end, (RunEnd{130'000, 11, true, false}));
    const qint64 next = h.recordStart("astrovex", "/roms/astrovex.zip", {}, 300'000);
    h.recordSeen(next, 360'000);
    EXPECT_EQ(sqlValue(file, "SELECT last_seen FROM runs WHERE started = 300000").toLongLong(),
              360'000);
}

// Copies are made at most once a day, the newest five kept; the newest sound
// one is offered, and putting it back keeps the unusable file beside it.
TEST_F(History, CopiesAreKeptAndOneTakesTheDamagedFilesPlace) {
    makeDatabase();
    constexpr qint64 day = PlayHistory::CopyIntervalMs, first = 1'800'000'000'000;
    {
        PlayHistory h(file);
        h.setFavourite("astrovex", true);
        for (qint64 at : {first, first + day / 2, first + day, first + 2 * day, first + 3 * day,
                          first + 4 * day, first + 5 * day}) {
            QSignalSpy copied(&h, &PlayHistory::copied);
            if (h.startCopy(at)) {
                ASSERT_TRUE(copied.wait(10000));
                EXPECT_EQ(copied.front().front().toString(), "");
            }
            h.recordStart("boltrunner", "/roms/boltrunner.zip", {}, at); // later than the copies
        }
    }
    const std::vector<PlayHistory::Copy> copies = PlayHistory::copiesOf(file);
    ASSERT_EQ(copies.size(), 5u);
    EXPECT_EQ(copies.front().madeMs, first + 5 * day);
    EXPECT_EQ(copies.back().madeMs, first + day);
    EXPECT_EQ(QFileInfo(copies.front().path).path(), dir.filePath("data/backups/history"));

    QByteArray newest = readFile(copies.front().path);
    newest.replace(4096, 512, QByteArray(512, '\x5a')); // the second page's header and cells
    ASSERT_TRUE(writeFile(copies.front().path, newest));
    const std::optional<PlayHistory::Copy> sound = PlayHistory::newestSoundCopy(file);
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->path, copies[1].path);
    EXPECT_EQ(sound->runs, 6);

    const QByteArray damaged = QByteArray("SQLite format 3").append('\0').append(5000, 'x');
    ASSERT_TRUE(writeFile(file, damaged));
    {
        PlayHistory h(file);
        ASSERT_FALSE(h.isOpen());
        EXPECT_TRUE(h.isReplaceable());
    }
    ASSERT_TRUE(writeFile(file + "-wal", "a journal of the damaged file"));
    QString aside;
    EXPECT_EQ(PlayHistory::restoreCopy(file, sound->path, first + 6 * day, &aside), "");
    EXPECT_EQ(readFile(aside), damaged);
    EXPECT_EQ(readFile(aside + "-wal"), "a journal of the damaged file");
    EXPECT_FALSE(QFileInfo::exists(file + "-wal"));
    PlayHistory h(file);
    ASSERT_TRUE(h.isOpen()) << h.problem().toStdString();
    EXPECT_EQ(h.statsOf("astrovex"), (GameStats{true, 1, 1000, 1000}));
    EXPECT_EQ(h.statsOf("boltrunner"), (GameStats{false, 5, first + 3 * day, 0}));
}

// Import merges by name: favourites united, runs united by (name, start), the
// figures of games with new runs recomputed from their runs; a second import
// of the same data changes nothing, and data it refuses changes nothing.
TEST_F(History, ImportedPlayDataMerges) {
    QByteArray exported;
    {
        PlayHistory other(dir.filePath("other/history.sqlite"));
        other.recordEnd(other.recordStart("astrovex", "/roms/astrovex.zip", {}, 1000),
                        {2000, 0, false});
        other.recordEnd(other.recordStart("boltrunner", "/b/boltrunner.zip", {"-w"}, 100'000),
                        {130'000, 11, true});
        other.recordStart("boltrunner", "/b/boltrunner.zip", {}, 200'000); // still running
        other.setFavourite("boltrunner", true);
        exported = other.exportPlayData(0);
    }
    makeDatabase(); // astrovex 1000 to 2000, as in the export
    PlayHistory h(file);
    h.recordEnd(h.recordStart("astrovex", "/roms/astrovex.zip", {}, 50'000), {80'000, 0, false});
    h.setFavourite("cometkai", true);
    const QByteArray before = h.exportPlayData(0);

    const QByteArray refused[][2] = {
        {"{\"format\": ", "not JSON"},
        {"[]", "not an object"},
        {R"({"format": "other", "version": 1, "favourites": [], "runs": []})", "not play data"},
        {R"({"format": "Kaleidrome Launcher play data", "version": 2})", "newer launcher"},
        {R"({"format": "Kaleidrome Launcher play data", "version": 1, "favourites": [""],
            "runs": []})",
         "favourite 1"},
        {R"({"format": "Kaleidrome Launcher play data", "version": 1, "favourites": ["x"],
            "runs": [{"name": "x", "romPath": "", "arguments": [], "started": 9, "ended": 5,
                      "status": 0, "signalled": false}]})",
         "run 1: its start or end"},
        {R"({"format": "Kaleidrome Launcher play data", "version": 1, "favourites": ["x"],
            "runs": [{"name": "x", "romPath": "", "arguments": [1], "started": 1, "ended": 5,
                      "status": 0, "signalled": false}]})",
         "run 1: its arguments"},
        {R"({"format": "Kaleidrome Launcher play data", "version": 1, "favourites": [],
            "runs": [{"name": "x", "romPath": "", "arguments": [], "started": 1, "ended": 5}]})",
         "run 1: it has no valid status"},
    };
    for (const auto& [data, problem] : refused) {
        SCOPED_TRACE(data.toStdString());
        EXPECT_TRUE(h.importPlayData(data).problem.contains(problem))
            << h.importPlayData(data).problem.toStdString();
        EXPECT_EQ(h.exportPlayData(0), before);
    }

    const PlayHistory::Import first = h.importPlayData(exported);
    EXPECT_EQ(first.problem, "");
    EXPECT_EQ(first.runsAdded, 1);
    EXPECT_EQ(first.favouritesAdded, 1);
    EXPECT_EQ(h.statsOf("astrovex"), (GameStats{false, 2, 50'000, 31'000}));
    EXPECT_EQ(h.statsOf("boltrunner"), (GameStats{true, 1, 100'000, 30'000}));
    EXPECT_EQ(h.statsOf("cometkai"), (GameStats{true, 0, 0, 0}));
    const QByteArray merged = h.exportPlayData(0);
    const PlayHistory::Import again = h.importPlayData(exported);
    EXPECT_EQ(again.problem, "");
    EXPECT_EQ(again.runsAdded + again.favouritesAdded, 0);
    EXPECT_EQ(h.exportPlayData(0), merged);
    const RunRecord imported = h.recentRuns(1).front();
    EXPECT_EQ(imported.arguments, QStringList{"-w"});
    EXPECT_EQ(imported.end, (RunEnd{130'000, 11, true, false}));
    const GameStatsByName kept = h.stats();
    EXPECT_EQ(PlayHistory(file).stats(), kept);
}

} // namespace
