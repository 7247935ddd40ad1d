// Emulators that misbehave, run through the controller: the launcher stays
// responsive, reports each end as it should, leaks nothing and runs again.
#include "support/delegatefixture.h"

#include <csignal>
#include <cstring>
#include <tuple>

namespace kd::test {
namespace {

using namespace std::chrono_literals;

// Generous on purpose: the machine is shared, only a stall beyond the drain bound is a fault.
constexpr qint64 kStallLimitMs = RunSupervisor::DrainBound.count() + 1000;

// Processes for which `keep(parent, group)` holds, one "pid ppid pgrp state" each.
template <typename Keep> QStringList processes(Keep keep) {
    QStringList found;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
            continue; // not a process, or gone meanwhile
        // The command name may hold blanks and parentheses; the fields follow the last ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (f.size() >= 3 && keep(pid_t(f[1].toInt()), pid_t(f[2].toInt())))
            found << entry + ' ' + f[1] + ' ' + f[2] + ' ' + f[0];
    }
    return found;
}

// Children of ours (zombies included) and members of process group `group`.
QStringList leftovers(pid_t group) {
    return processes(
        [&](pid_t parent, pid_t g) { return parent == ::getpid() || (group > 0 && g == group); });
}

// How late a repeating 10 ms timer fires at worst, time spent in code that does
// not return to the event loop included (a stall still going on shows too).
struct LatenessMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 worst = 0;

    LatenessMeter() {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout,
                         [this] { worst = std::max(worst, clock.restart() - 10); });
        clock.start();
        timer.start(10);
    }
    qint64 worstMs() const { return std::max(worst, clock.elapsed() - 10); }
};

class MisbehavingEmulator : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        // Whatever a first run opens for good (fonts for the log) is not a leak.
        launch("out warm-up\nexit 0");
        ASSERT_TRUE(bothEnds());
        ASSERT_TRUE(waitUntil([&] { return leftovers(0).isEmpty(); }, 5000));
        QTest::qWait(20);
        descriptorsBefore = openDescriptorCount();
        app->ClearLogAction();
        desktop.clear();
        meter = std::make_unique<LatenessMeter>();
    }
    void TearDown() override {
        if (group > 1) // a run a failed test left behind
            ::kill(-group, SIGKILL);
        meter.reset();
        RunFixture::TearDown();
    }

    // A fresh log and desktop, then a supervised run of `script`.
    EmulatorProcess* startRun(const QByteArray& script) {
        app->ClearLogAction();
        desktop.clear();
        EmulatorProcess* process = launch(script);
        group = pid_t(process->pid());
        return process;
    }

    // A run that ended with status 0 is reported in the system log only. (The end
    // of output never adds an alert here: it was drained, or came while the
    // process ran, or after the launcher had stopped the run.)
    void expectQuietSuccess() {
        EXPECT_EQ(desktop.count("beep") + desktop.count("alert"), 0);
        EXPECT_EQ(desktop.systemLogLines().filter("Task terminate:"),
                  QStringList{"Task terminate: Success"});
    }

    // No child of ours, no member of the run's process group, no extra
    // descriptor, no stall; then a plain run works as ever.
    void expectCleanAndUsable(const char* name) {
        SCOPED_TRACE(name);
        waitUntil(
            [&] {
                return leftovers(group).isEmpty() && openDescriptorCount() == descriptorsBefore;
            },
            5000);
        EXPECT_EQ(leftovers(group), QStringList());
        EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
        EXPECT_LT(meter->worstMs(), kStallLimitMs);

        startRun("out next\nexit 0");
        ASSERT_TRUE(bothEnds());
        EXPECT_EQ(log(), "next\n"); // no error line
        expectQuietSuccess();
    }

    int descriptorsBefore = 0;
    pid_t group = 0;
    std::unique_ptr<LatenessMeter> meter;
};

// Emulators that run on until asked to stop: the request ends them (and a
// grandchild with them) at once; one that ignores it holds the launcher for the
// drain bound at most and is killed after its grace.
TEST_F(MisbehavingEmulator, OnesThatRunOnAreStoppedOnRequest) {
    runs()->setTerminateGrace(RunSupervisor::DrainBound + 500ms);
    // Members of the run's process group; whether it closes its output before the
    // request (then it is brought to the front, nothing reported); its end.
    const std::tuple<const char*, QByteArray, int, bool, int> cases[] = {
        {"never exits", "out ready\nrun", 1, false, SIGTERM},
        {"grandchild holds the pipe", "out ready\ngrandchild 30000 late\nrun", 2, false, SIGTERM},
        {"closes its output", "out ready\nclose-output\nrun", 1, true, SIGTERM},
        {"ignores terminate", "ignore-term\nout ready\nrun", 1, false, SIGKILL},
    };
    for (const auto& [name, script, members, closesOutput, status] : cases) {
        SCOPED_TRACE(name);
        EmulatorProcess* run = startRun(script);
        ASSERT_TRUE(waitUntil(
            [&] { return log().contains("ready") && run->outputAtEnd() == closesOutput; }));
        QTest::qWait(100);
        EXPECT_TRUE(run->isRunning());
        EXPECT_EQ(processes([&](pid_t, pid_t g) { return g == group; }).size(), members);
        const int raised = desktop.count("raise");
        EXPECT_EQ(raised, closesOutput ? 1 : 0);
        EXPECT_EQ(desktop.count("alert"), 0);

        QElapsedTimer clock; // the event loop does not turn during the request

        clock.start();

        app->quit_emulator();

        const qint64 ms = clock.elapsed();
        EXPECT_EQ(desktop.count("raise"), raised + 1);
        QString killed;
        if (status == SIGKILL) {
            // Its output stays open: the drain waits for its bound. The meter saw
            // that stall: it measures what it claims to.
            EXPECT_GE(ms, RunSupervisor::DrainBound.count() - 100);
            EXPECT_GE(meter->worstMs(), RunSupervisor::DrainBound.count() - 200);
            // The launcher stopped waiting but not listening; the kill ends both.
            EXPECT_TRUE(run->isRunning());
            killed = QStringLiteral("Process %1 did not end within 3.5 s of the terminate "
                                    "request; killed\n")
                         .arg(group);
        }
        // Otherwise the whole group ended, so the drain found the end at once.
        EXPECT_LT(ms, status == SIGKILL ? kStallLimitMs : 1000);
        ASSERT_TRUE(bothEnds());
        EXPECT_EQ(run->exitStatus(), status);
        // A stop asked for is no error: no beep, no alert; the system log keeps the status.
        EXPECT_EQ(log(), "ready\n" + killed +
                             QStringLiteral("\n*** Kaleidrome was stopped on request: killed by "
                                            "signal %1 (%2) ***\n")
                                 .arg(status)
                                 .arg(status == SIGKILL ? "SIGKILL" : "SIGTERM"));
        EXPECT_EQ(desktop.count("beep") + desktop.count("alert"), 0);
        EXPECT_EQ(desktop.systemLogLines().filter("Task terminate:"),
                  QStringList{QStringLiteral("Task terminate: Error %1").arg(status)});
        expectCleanAndUsable(name);
    }
}

TEST_F(MisbehavingEmulator, OneGigabyteArrivesInFullWithoutStallingTheLauncher) {
    if (qEnvironmentVariable("KD_SANITIZE") == QLatin1String("1"))
        GTEST_SKIP() << "too slow under the sanitizers";
    constexpr qint64 bytes = qint64(1) << 30;
    startRun("flood " + QByteArray::number(bytes));
    ASSERT_TRUE(bothEnds(120000));
    EXPECT_LT(meter->worstMs(), kStallLimitMs);
    expectQuietSuccess(); // and no error line: the log is the frames alone
    ASSERT_EQ(logView()->byteLength(), bytes);

    // Every line of the demo's frame log, in order: the frame counter leaves no
    // room for a lost, repeated or swapped chunk.
    const QByteArray received = logView()->utf8();
    qint64 at = 0;
    for (quint64 frame = 0; at < bytes; ++frame) {
        const QByteArray line = "[frame " + QByteArray::number(frame) +
                                "] ppc 66.00 MHz | gpu 8.31 ms | 60.00 fps | audio ok\n";
        const qint64 n = std::min<qint64>(line.size(), bytes - at);
        if (std::memcmp(received.constData() + at, line.constData(), size_t(n)) != 0)
            break;
        at += n;
    }
    EXPECT_EQ(at, bytes) << "first difference at this offset";
    meter = std::make_unique<LatenessMeter>(); // the check above kept the event loop waiting
    app->ClearLogAction();
    expectCleanAndUsable("1 GiB flood");
}

} // namespace
} // namespace kd::test
