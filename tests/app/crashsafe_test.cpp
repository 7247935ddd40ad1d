// Files the launcher writes survive a crash at any moment: a forked copy of the
// test saves over and over and is killed at random points; what it leaves must
// always be whole.
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcopies.h"
#include "catalogue/playhistory.h"
#include "log/view/logview.h"
#include "support/delegatefixture.h"
#include "support/sqlfile.h"

#include <QSettings>
#include <cerrno>
#include <poll.h>
#include <random>
#include <signal.h>
#include <sys/resource.h>

namespace kd::test {
namespace {

constexpr int kTrials = 200;

int reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Forks a child that runs `work` (which does not return) with the write end of
// a pipe; `delayUs` after the child's first byte there, kills it. Everything the
// child wrote to the pipe.
QByteArray killWhileWorking(const std::function<void(int pipe)>& work, useconds_t delayUs) {
    int told[2];
    if (::pipe(told) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(told[0]);
        work(told[1]);
        ::_exit(3);
    }
    ::close(told[1]);
    QByteArray said;
    if (pid > 0) {
        pollfd first{told[0], POLLIN, 0};
        ::poll(&first, 1, 10000);
        ::usleep(delayUs);
        ::kill(pid, SIGKILL);
        reap(pid);
        char buffer[4096];
        for (ssize_t n; (n = ::read(told[0], buffer, sizeof buffer)) > 0;)
            said.append(buffer, n);
    }
    ::close(told[0]);
    return said;
}

// Kills a copy that calls save(0), save(1), save(0), ... kTrials times, at random
// moments after its first save; `target` must then always hold what save(0) or
// save(1) leaves there.
void expectNeverTorn(const char* what, const QString& target,
                     const std::function<void(int version)>& save) {
    QByteArray versions[2];
    for (int v = 0; v < 2; ++v) {
        save(v);
        versions[v] = readFile(target);
    }
    // How long one save takes here, so the kills spread over a few of them.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 4; ++i)
        save(i % 2);
    const qint64 saveUs = std::max<qint64>(clock.nsecsElapsed() / 4000, 50);

    std::mt19937 random(12345);
    std::uniform_int_distribution<qint64> delayUs(0, 3 * saveUs);
    int holds[3] = {}; // first version, second, neither
    qsizetype tornSize = -1;
    for (int trial = 0; trial < kTrials; ++trial) {
        const auto saveOnAndOn = [&](int pipe) {
            for (int k = trial;; ++k) {
                save(k % 2);
                (void)!::write(pipe, "s", 1);
            }
        };
        ASSERT_FALSE(killWhileWorking(saveOnAndOn, useconds_t(delayUs(random))).isEmpty());
        const QByteArray now = readFile(target);
        const int which = now == versions[0] ? 0 : now == versions[1] ? 1 : 2;
        if (which == 2)
            tornSize = now.size();
        ++holds[which];
    }
    EXPECT_EQ(holds[2], 0) << what << ": a target of " << tornSize << " bytes was neither version";
    // Kills landed both before and after a rename: the moments really varied.
    EXPECT_GT(holds[0], 0) << what;
    EXPECT_GT(holds[1], 0) << what;
}

// The kills test atomicity against a crashing process, not against power loss,
// so the files may live in memory where a flush to disk costs nothing.
class CrashSafeFiles : public DelegateFixture {
protected:
    QString folder(const QString& name) const {
        const QString path = scratch.filePath(name);
        EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
        return path;
    }
    QTemporaryDir scratch{(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                               ? QStringLiteral("/dev/shm")
                               : QDir::tempPath()) +
                          QStringLiteral("/kd-robustness-XXXXXX")};
};

TEST_F(CrashSafeFiles, TheSavedLogIsNeverTorn) {
    const QString target = folder("saved") + "/Log info.txt";
    // Two versions that differ everywhere.
    const QByteArray versions[] = {QByteArray(99, 'a').append('\n').repeated(1000),
                                   QByteArray(99, 'b').append('\n').repeated(1500)};
    expectNeverTorn("log save", target, [&](int version) {
        app->ClearLogAction();
        logView()->appendUtf8(versions[version]);
        desktop.clear();
        desktop.savePanelAnswers = {target};
        app->saveLogAction();
    });
    const QByteArray saved = readFile(target); // the log as it stood
    EXPECT_TRUE(saved == versions[0] || saved == versions[1]);
    EXPECT_EQ(desktop.count("alert"), 0);
}

TEST_F(CrashSafeFiles, TheGameListAndItsCopiesAreNeverTorn) {
    const GameListLoad sample = loadGameList(bundle.path("Kaleidrome.xml"));
    ASSERT_FALSE(sample.records.empty());
    // Two lists of a size worth writing that differ in every record.
    const QString target = folder("list") + "/Kaleidrome.xml";
    std::vector<plist::Value> lists[2];
    std::vector<const plist::Value*> arranged[2];
    for (int v = 0; v < 2; ++v) {
        for (int i = 0; i < 150; ++i) {
            lists[v].push_back(sample.records[size_t(i) % sample.records.size()]);
            if (plist::Dictionary* fields = lists[v].back().dictionary())
                fields->insert("comment", plist::Value(std::string(40, "xy"[v])));
        }
        for (const plist::Value& record : lists[v])
            arranged[v].push_back(&record);
        ASSERT_EQ(saveGameListIfChanged(target, lists[v], arranged[v]).status,
                  GameListSave::Status::Written);
    }
    // The copy of the replaced file is made in the same save.
    const QString copies = folder("copies");
    GameListSaveOptions options;
    options.beforeReplacing = [&](const QString& replaced) {
        keepGameListCopy(replaced, copies, 10);
    };
    expectNeverTorn("game list save", target,
                    [&](int v) { saveGameListIfChanged(target, lists[v], arranged[v], options); });
    const std::vector<GameListCopy> kept = gameListCopies(copies);
    // The newest ten, and one more when the last kill fell between its link and
    // the pruning.
    EXPECT_TRUE(kept.size() == 10u || kept.size() == 11u) << kept.size();
    for (const GameListCopy& copy : kept)
        EXPECT_EQ(copy.games, 150) << copy.path.toStdString();
}

// A save that runs out of room (a file-size limit stands for a full disk)
// leaves the old list whole and readable, and says so in an alert.
TEST_F(CrashSafeFiles, AFullDiskLeavesTheOldListAndTheUserIsTold) {
    const QByteArray before = readFile(bundle.path("Kaleidrome.xml"));
    app->awakeFromNib();
    list()->removeObject(0);
    desktop.clear();
    const QByteArray said = killWhileWorking(
        [&](int pipe) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlim_t room = rlim_t(before.size() / 2);
            const rlimit limit{room, room};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            app->applicationWillTerminate();
            for (const AlertRequest& alert : desktop.alerts)
                (void)!::write(pipe, alert.message.toUtf8().constData(),
                               size_t(alert.message.toUtf8().size()));
            (void)!::write(pipe, "|", 1);
            ::pause();
        },
        200000);
    EXPECT_EQ(QString::fromUtf8(said), app->text("Alert_ListNotSaved") + u'|');
    EXPECT_EQ(readFile(bundle.path("Kaleidrome.xml")), before);
    EXPECT_EQ(countGameList(bundle.path("Kaleidrome.xml")), 12);
}

TEST_F(CrashSafeFiles, TheSettingsFileIsNeverTornNorHeldByALeftoverLock) {
    const QString target = folder("config") + "/Kaleidrome Launcher.conf";
    const QString values[] = {QString(30000, u'a'), QString(30000, u'b')};
    SettingsStore writer(target);
    writer.setObject(QStringLiteral("kept"), QStringLiteral("SomebodyElsesKey"));
    const auto save = [&](int version) {
        writer.setObject(values[version], keys::RomsPath);
        writer.synchronize();
    };
    expectNeverTorn("settings flush", target, save);

    // Neither the lock a killed writer left behind nor an empty one (a launcher
    // killed while it took the lock) holds the next write.
    for (const QString after : {"/after/the/kills", "/after/an/empty/lock"}) {
        QElapsedTimer clock;
        clock.start();
        writer.setObject(after, keys::RomsPath);
        writer.synchronize();
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(QSettings(target, QSettings::IniFormat).value(keys::RomsPath.name()).toString(),
                  after);
        ASSERT_TRUE(writeFile(target + ".lock", QByteArray()));
    }
}

// Two launchers on one settings file, each writing its own keys over and over:
// neither loses the other's keys, and the file reads back whole.
TEST_F(CrashSafeFiles, TwoStoresWritingAtOnceKeepEveryKey) {
    const QString target = folder("shared") + "/Kaleidrome Launcher.conf";
    constexpr int kKeys = 40, kRounds = 5;
    const auto key = [](char who, int i) {
        return QStringLiteral("Launcher%1_%2").arg(who).arg(i);
    };
    const auto value = [](char who, int i, int round) {
        return QStringLiteral("%1 %2 round %3, with a comma").arg(who).arg(i).arg(round);
    };
    int startGate[2];
    ASSERT_EQ(::pipe(startGate), 0);
    pid_t children[2] = {-1, -1};
    for (const char who : {'A', 'B'}) {
        const pid_t child = children[who - 'A'] = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(startGate[1]);
            char go;
            (void)!::read(startGate[0], &go, 1); // both start together
            SettingsStore store(target);
            for (int round = 0; round < kRounds; ++round)
                for (int i = 0; i < kKeys; ++i) {
                    store.setObject(value(who, i, round), key(who, i));
                    store.synchronize();
                }
            ::_exit(0);
        }
    }
    ::close(startGate[0]);
    ::close(startGate[1]); // end of file releases both
    for (const pid_t child : children) {
        const int status = reap(child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }

    QSettings file(target, QSettings::IniFormat);
    EXPECT_EQ(file.status(), QSettings::NoError);
    EXPECT_EQ(file.allKeys().size(), 2 * kKeys);
    for (const char who : {'A', 'B'})
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(file.value(key(who, i)).toString(), value(who, i, kRounds - 1))
                << key(who, i).toStdString();
}

// A forked copy records game runs, start and end in turn, and tells after each
// step has been written; it is killed at random moments. The database must
// then pass integrity_check, hold every step it told of and at most the one
// after it, and its per-game figures must agree with its runs.
TEST_F(CrashSafeFiles, TheHistoryLosesAtMostTheRunBeingWritten) {
    const QString file = folder("history") + "/history.sqlite";
    const QStringList arguments{"/roms/astrovex.zip", "-res=640,480", "-fullscreen"};
    int trial = 0;
    // Tells S after a start, E after an end, F if the history closed.
    const auto recordRuns = [&](int pipe) {
        PlayHistory history(file);
        for (qint64 k = trial * 1000; history.isOpen(); ++k) {
            const QString name = QStringLiteral("game%1").arg(k % 5);
            const qint64 run = history.recordStart(name, "/roms/" + name + ".zip", arguments, k);
            if (history.isOpen() && ::write(pipe, "S", 1) != 1)
                break;
            history.recordEnd(run, {k + 500, int(k % 3), k % 2 == 0});
            if (history.isOpen() && ::write(pipe, "E", 1) != 1)
                break;
        }
        (void)!::write(pipe, "F", 1);
    };
    const auto count = [&](const char* where) {
        return sqlValue(file, QString("SELECT count(*) FROM runs ") + where).toLongLong();
    };

    std::mt19937 random(2024);
    std::uniform_int_distribution<int> delayUs(0, 3000);
    int killedMidRun = 0;
    for (; trial < kTrials; ++trial) {
        { const PlayHistory closing(file); } // closes the run the last kill left open
        const qint64 runsBefore = count(""), endsBefore = count("WHERE ended IS NOT NULL");
        const QByteArray told = killWhileWorking(recordRuns, useconds_t(delayUs(random)));
        ASSERT_FALSE(told.isEmpty()) << trial;
        ASSERT_FALSE(told.contains('F')) << "the history was closed in trial " << trial;
        ASSERT_EQ(sqlValue(file, "PRAGMA integrity_check").toString(), "ok") << trial;
        const qint64 runs = count("") - runsBefore;
        const qint64 ends = count("WHERE ended IS NOT NULL") - endsBefore;
        // Every step told of is there, and at most the one after it.
        EXPECT_TRUE(runs >= told.count('S') && runs <= told.count('S') + 1)
            << trial << ": " << runs;
        EXPECT_TRUE(ends >= told.count('E') && ends <= told.count('E') + 1)
            << trial << ": " << ends;
        killedMidRun += runs > ends;
    }
    // Every game's figures are those of its runs.
    EXPECT_EQ(sqlValue(file, "SELECT count(*) FROM games g WHERE times_played != (SELECT "
                             "count(*) FROM runs r WHERE r.name = g.name) OR play_ms != (SELECT "
                             "coalesce(sum(ended - started), 0) FROM runs r WHERE r.name = g.name) "
                             "OR last_played != (SELECT max(started) FROM runs r WHERE r.name = "
                             "g.name)")
                  .toLongLong(),
              0);
    // Kills landed both between a start and its end and between runs.
    EXPECT_GT(killedMidRun, 0);
    EXPECT_LT(killedMidRun, kTrials);
}

// A forked copy makes the daily copy of the history and imports play data, over
// and over, and is killed at random moments: the database then holds all of an
// import or none of it, and every copy kept is whole.
TEST_F(CrashSafeFiles, HistoryCopiesAndImportsAreWholeOrAbsent) {
    const QString file = folder("copies") + "/history.sqlite";
    constexpr int kRuns = 300;
    QByteArray data;
    {
        PlayHistory other(folder("other") + "/history.sqlite");
        for (qint64 k = 0; k < kRuns; ++k)
            other.recordEnd(other.recordStart("imported", "/roms/imported.zip", {}, k * 10),
                            {k * 10 + 5, 0, false});
        data = other.exportPlayData(0);
        PlayHistory own(file);
        for (qint64 k = 0; k < kRuns; ++k)
            own.recordEnd(own.recordStart("own", "/roms/own.zip", {}, k * 10),
                          {k * 10 + 5, 0, false});
    }
    int trial = 0;
    const auto copyAndImport = [&](int pipe) {
        PlayHistory history(file);
        for (qint64 day = trial * 1000;; ++day) {
            history.startCopy(day * PlayHistory::CopyIntervalMs);
            history.waitForCopy();
            (void)!::write(pipe, "c", 1);
            history.importPlayData(data);
            (void)!::write(pipe, "i", 1);
        }
    };
    std::mt19937 random(23);
    std::uniform_int_distribution<int> delayUs(0, 60'000);
    int imported = 0;
    for (; trial < kTrials / 4; ++trial) {
        ASSERT_FALSE(killWhileWorking(copyAndImport, useconds_t(delayUs(random))).isEmpty());
        ASSERT_EQ(PlayHistory::checkFile(file), "") << trial;
        const qint64 runs =
            sqlValue(file, "SELECT count(*) FROM runs WHERE name = 'imported'").toLongLong();
        ASSERT_TRUE(runs == 0 || runs == kRuns) << trial << ": " << runs;
        if (runs == kRuns) {
            ++imported;
            EXPECT_EQ(sqlValue(file, "SELECT times_played FROM games WHERE name = 'imported'"),
                      kRuns);
            ASSERT_EQ(runSql(file, {"DELETE FROM runs WHERE name = 'imported'",
                                    "DELETE FROM games WHERE name = 'imported'"}),
                      "");
        }
        for (const PlayHistory::Copy& copy : PlayHistory::copiesOf(file))
            ASSERT_EQ(PlayHistory::checkFile(copy.path), "") << trial << copy.path.toStdString();
    }
    EXPECT_LE(PlayHistory::copiesOf(file).size(), std::size_t(PlayHistory::CopyLimit));
    EXPECT_GT(imported, 0);
    EXPECT_LT(imported, kTrials / 4);
}

} // namespace
} // namespace kd::test
