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
    EXPECT_EQ(runs[runs.size() - 3].end, std::nullopt);
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
                                  "PRAGMA user_version = 1"};
    const char* const foreign = "tables this launcher did not make";
    const char* const irregular = "not a regular file";
    const Case cases[] = {
        {"garbage", [&] { writeFile(file, QByteArray(5000, 'x')); }, "not an SQLite database"},
        {"a cut database", [&] { changed({}, 200); }, "does not read as a database"},
        {"a newer schema", [&] { changed({"PRAGMA user_version = 2"}); },
         "newer launcher (schema version 2"},
        {"another program's tables", [&] { runSql(file, {"CREATE TABLE notes (t)"}); }, foreign},
        {"a trigger",
         [&] { changed({"CREATE TRIGGER t BEFORE INSERT ON runs BEGIN SELECT 1; END"}); }, foreign},
        {"a missing table", [&] { runSql(file, runsOnly); }, foreign},
        {"a folder", [&] { QDir().mkpath(file); }, irregular},
        {"a FIFO", [&] { ::mkfifo(QFile::encodeName(file).constData(), 0600); }, irregular},
        {"a link to nothing", [&] { QFile::link(dir.filePath("nowhere"), file); }, irregular},
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
                            "WHERE i < 399) INSERT INTO runs (name, rom_path, arguments, started) "
                            "SELECT 'g', '/roms/g.zip', hex(zeroblob(150)), i FROM n",
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

} // namespace
