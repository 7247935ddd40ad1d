// Files the launcher writes survive a crash at any moment: a forked copy of
// the test saves two versions in turn and is killed at random points; the
// target must always hold one complete version.
#include "catalogue/gamelist.h"
#include "catalogue/playhistory.h"
#include "log/logview.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "support/delegatefixture.h"
#include "support/sqlfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <poll.h>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kd::test {
namespace {

constexpr int kTrials = 200;

struct Outcome {
    int trials = 0;
    int holdsFirst = 0;
    int holdsSecond = 0;
    int other = 0;
    qsizetype otherSize = -1; // size of the first file that was neither version
    int leftoverFiles = 0;    // temporary files a killed save left in the folder
    qint64 ms = 0;
};

void report(const char* what, const Outcome& o) {
    std::printf("[ figure   ] %s: %d trials in %lld ms: first version %d, second %d, neither %d; "
                "%d temporary files left by killed saves\n",
                what, o.trials, static_cast<long long>(o.ms), o.holdsFirst, o.holdsSecond, o.other,
                o.leftoverFiles);
    std::fflush(stdout);
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Forks `trials` times; each child calls save(0), save(1), save(0), ... until
// it is killed with SIGKILL, a random time after its first save has finished.
// After each kill `target` must read as `first` or `second`.
Outcome killWhileSaving(const QString& target, const QByteArray& first, const QByteArray& second,
                        const std::function<void(int version)>& save, int trials) {
    // How long one save takes here, so the kills spread over a few of them.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 4; ++i)
        save(i % 2);
    const qint64 saveUs = std::max<qint64>(clock.nsecsElapsed() / 4000, 50);

    std::mt19937 random(12345);
    std::uniform_int_distribution<qint64> delayUs(0, 3 * saveUs);
    Outcome outcome;
    clock.restart();
    for (int trial = 0; trial < trials; ++trial) {
        int ready[2];
        if (::pipe(ready) != 0)
            break;
        const pid_t pid = ::fork();
        if (pid < 0) {
            ::close(ready[0]);
            ::close(ready[1]);
            break;
        }
        if (pid == 0) {
            ::close(ready[0]);
            for (int k = trial;; ++k) {
                save(k % 2);
                if (ready[1] >= 0) {
                    (void)!::write(ready[1], "r", 1);
                    ::close(ready[1]);
                    ready[1] = -1;
                }
            }
        }
        ::close(ready[1]);
        pollfd pfd{ready[0], POLLIN, 0};
        ::poll(&pfd, 1, 10000);
        ::close(ready[0]);
        ::usleep(useconds_t(delayUs(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        ++outcome.trials;
        const QByteArray now = contentOf(target);
        if (now == first) {
            ++outcome.holdsFirst;
        } else if (now == second) {
            ++outcome.holdsSecond;
        } else {
            if (outcome.other++ == 0)
                outcome.otherSize = now.size();
        }
    }
    outcome.ms = clock.elapsed();
    const QFileInfo info(target);
    outcome.leftoverFiles = int(info.dir().entryList(QDir::Files | QDir::Hidden).size()) - 1;
    return outcome;
}

void expectAlwaysComplete(const Outcome& o) {
    EXPECT_EQ(o.trials, kTrials);
    EXPECT_EQ(o.other, 0) << "a target of " << o.otherSize << " bytes was neither version";
    // Kills landed both before and after a rename: the moments really varied.
    EXPECT_GT(o.holdsFirst, 0);
    EXPECT_GT(o.holdsSecond, 0);
}

// Text of `lines` lines, each carrying `mark`, so two versions differ everywhere.
QByteArray logVersion(char mark, int lines) {
    QByteArray line(99, mark);
    line.append('\n');
    return line.repeated(lines);
}

// The kills test atomicity against a crashing process, not against power loss,
// so the files may live in memory where a flush to disk costs nothing.
class CrashSafeFiles : public DelegateFixture {
protected:
    void SetUp() override {
        DelegateFixture::SetUp();
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            scratch =
                std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/kd-robustness-XXXXXX"));
        if (!scratch || !scratch->isValid())
            scratch = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(scratch->isValid());
    }
    QString folder(const QString& name) const {
        const QString path = scratch->filePath(name);
        QDir().mkpath(path);
        return path;
    }
    std::unique_ptr<QTemporaryDir> scratch;
};

TEST_F(CrashSafeFiles, TheSavedLogIsNeverTorn) {
    const QString target = folder("saved") + "/Log info.txt";
    const QByteArray versions[] = {logVersion('a', 1000), logVersion('b', 1500)};
    auto save = [&](int version) {
        app->ClearLogAction();
        app->infomationTextView->appendUtf8(versions[version]);
        desktop.clear();
        desktop.savePanelAnswers = {target};
        app->saveLogAction();
    };
    const Outcome o = killWhileSaving(target, versions[0], versions[1], save, kTrials);
    report("log save", o);
    expectAlwaysComplete(o);
    EXPECT_EQ(desktop.count("alert"), 0);
}

TEST_F(CrashSafeFiles, TheGameListIsNeverTorn) {
    const GameListLoad sample = loadGameList(bundle.path("Kaleidrome.xml"));
    ASSERT_EQ(sample.status, GameListLoad::Status::Loaded);
    ASSERT_FALSE(sample.records.empty());
    // A list of a size worth writing, and a second one that differs in every record.
    std::vector<plist::Value> lists[2];
    for (int i = 0; i < 150; ++i) {
        plist::Value record = sample.records[size_t(i) % sample.records.size()];
        if (plist::Dictionary* fields = record.dictionary())
            fields->insert("comment", plist::Value(std::string(40, 'x')));
        lists[0].push_back(record);
        if (plist::Dictionary* fields = record.dictionary())
            fields->insert("comment", plist::Value(std::string(40, 'y')));
        lists[1].push_back(std::move(record));
    }
    std::vector<const plist::Value*> arranged[2];
    for (int v = 0; v < 2; ++v)
        for (const plist::Value& record : lists[v])
            arranged[v].push_back(&record);

    const QString target = folder("list") + "/Kaleidrome.xml";
    QByteArray versions[2];
    for (int v = 0; v < 2; ++v) {
        ASSERT_EQ(saveGameListIfChanged(target, lists[v], arranged[v]).status,
                  GameListSave::Status::Written);
        versions[v] = contentOf(target);
    }
    auto save = [&](int version) {
        saveGameListIfChanged(target, lists[version], arranged[version]);
    };
    const Outcome o = killWhileSaving(target, versions[0], versions[1], save, kTrials);
    report("game list save", o);
    expectAlwaysComplete(o);
    // Whatever was left reads as one of the two lists.
    const GameListLoad after = loadGameList(target);
    EXPECT_EQ(after.status, GameListLoad::Status::Loaded);
    EXPECT_EQ(after.records.size(), lists[0].size());
}

TEST_F(CrashSafeFiles, TheSettingsFileIsNeverTorn) {
    const QString target = folder("config") + "/Kaleidrome Launcher.conf";
    const QString values[] = {QString(30000, u'a'), QString(30000, u'b')};
    SettingsStore writer(target);
    writer.setObject(QStringLiteral("kept"), QStringLiteral("SomebodyElsesKey"));
    QByteArray versions[2];
    for (int v = 0; v < 2; ++v) {
        writer.setObject(values[v], keys::RomsPath);
        writer.synchronize();
        versions[v] = contentOf(target);
    }
    ASSERT_NE(versions[0], versions[1]);
    auto save = [&](int version) {
        writer.setObject(values[version], keys::RomsPath);
        writer.synchronize();
    };
    const Outcome o = killWhileSaving(target, versions[0], versions[1], save, kTrials);
    report("settings flush", o);
    expectAlwaysComplete(o);
    // The lock a killed writer left behind does not stop the next one.
    writer.setObject(QStringLiteral("/after/the/kills"), keys::RomsPath);
    writer.synchronize();
    EXPECT_EQ(QSettings(target, QSettings::IniFormat).value(keys::RomsPath).toString(),
              "/after/the/kills");
}

// A launcher killed while it took the lock can leave an empty lock file beside
// the settings; the next write must not wait for it to go stale.
TEST_F(CrashSafeFiles, AnEmptyLockLeftByACrashDoesNotHoldTheNextWrite) {
    const QString target = folder("locked") + "/Kaleidrome Launcher.conf";
    SettingsStore store(target);
    ASSERT_TRUE(writeFile(target + ".lock", QByteArray()));
    QElapsedTimer clock;
    clock.start();
    store.setObject(QStringLiteral("/roms"), keys::RomsPath);
    store.synchronize();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(QSettings(target, QSettings::IniFormat).value(keys::RomsPath).toString(), "/roms");
}

// Two launchers on one settings file, each writing its own keys over and over:
// neither loses the other's keys, and the file reads back whole.
TEST_F(CrashSafeFiles, TwoStoresWritingAtOnceKeepEveryKey) {
    const QString target = folder("shared") + "/Kaleidrome Launcher.conf";
    constexpr int kKeys = 40;
    constexpr int kRounds = 5;
    auto keyName = [](char who, int i) {
        return QStringLiteral("Launcher%1_%2").arg(who).arg(i);
    };
    auto valueOf = [](char who, int i, int round) {
        return QStringLiteral("%1 %2 round %3, with a comma").arg(who).arg(i).arg(round);
    };

    int startGate[2];
    ASSERT_EQ(::pipe(startGate), 0);
    pid_t children[2] = {-1, -1};
    const char who[2] = {'A', 'B'};
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            ::close(startGate[1]);
            char go;
            (void)!::read(startGate[0], &go, 1); // both start together
            SettingsStore store(target);
            for (int round = 0; round < kRounds; ++round)
                for (int i = 0; i < kKeys; ++i) {
                    store.setObject(valueOf(who[c], i, round), keyName(who[c], i));
                    store.synchronize();
                }
            ::_exit(0);
        }
    }
    ::close(startGate[0]);
    ::close(startGate[1]); // end of file releases both
    for (const pid_t child : children) {
        int status = -1;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }

    QSettings file(target, QSettings::IniFormat);
    EXPECT_EQ(file.status(), QSettings::NoError);
    EXPECT_EQ(file.allKeys().size(), 2 * kKeys);
    for (const char c : who)
        for (int i = 0; i < kKeys; ++i)
            EXPECT_EQ(file.value(keyName(c, i)).toString(), valueOf(c, i, kRounds - 1))
                << keyName(c, i).toStdString();
}

// A forked copy records game runs, start and end in turn, and tells after each
// step has been written; it is killed at random moments. The database must
// then pass integrity_check, hold every step it told of and at most the one
// after it, and its per-game figures must agree with its runs.
TEST_F(CrashSafeFiles, TheHistoryLosesAtMostTheRunBeingWritten) {
    const QString file = folder("history") + "/history.sqlite";
    const QStringList arguments{"/roms/astrovex.zip", "-res=640,480", "-fullscreen"};
    auto recordRuns = [&](int writeEnd, int first) {
        PlayHistory history(file);
        for (qint64 k = first; history.isOpen(); ++k) {
            const QString name = QStringLiteral("game%1").arg(k % 5);
            const qint64 run = history.recordStart(name, "/roms/" + name + ".zip", arguments, k);
            if (history.isOpen() && ::write(writeEnd, "S", 1) != 1)
                break;
            history.recordEnd(run, {k + 500, int(k % 3), k % 2 == 0});
            if (history.isOpen() && ::write(writeEnd, "E", 1) != 1)
                break;
        }
        (void)!::write(writeEnd, "F", 1);
        ::_exit(3);
    };
    auto count = [&](const char* where) {
        return sqlValue(file, QString("SELECT count(*) FROM runs ") + where).toLongLong();
    };

    std::mt19937 random(2024);
    std::uniform_int_distribution<int> delayUs(0, 3000);
    int trials = 0, killedMidRun = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const qint64 runsBefore = count(""), endsBefore = count("WHERE ended IS NOT NULL");
        int steps[2];
        ASSERT_EQ(::pipe(steps), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(steps[0]);
            recordRuns(steps[1], trial * 1000);
        }
        ::close(steps[1]);
        char step = 0;
        ASSERT_EQ(::read(steps[0], &step, 1), 1);
        ::usleep(useconds_t(delayUs(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        QByteArray told(1, step);
        char buffer[4096];
        for (ssize_t n; (n = ::read(steps[0], buffer, sizeof buffer)) > 0;)
            told.append(buffer, n);
        ::close(steps[0]);
        ASSERT_FALSE(told.contains('F')) << "the history was closed in trial " << trial;
        ++trials;

        ASSERT_EQ(sqlValue(file, "PRAGMA integrity_check").toString(), "ok") << trial;
        const qint64 runs = count("") - runsBefore;
        const qint64 ends = count("WHERE ended IS NOT NULL") - endsBefore;
        EXPECT_GE(runs, told.count('S')) << trial;
        EXPECT_LE(runs, told.count('S') + 1) << trial;
        EXPECT_GE(ends, told.count('E')) << trial;
        EXPECT_LE(ends, told.count('E') + 1) << trial;
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
    std::printf("[ figure   ] history: %d trials, %lld runs recorded, %d killed between a run's "
                "start and its end\n",
                trials, static_cast<long long>(count("")), killedMidRun);
    // Kills landed both between a start and its end and between runs.
    EXPECT_GT(killedMidRun, 0);
    EXPECT_LT(killedMidRun, trials);
}

} // namespace
} // namespace kd::test
