// Emulators that misbehave, run through the controller: the launcher stays
// responsive, reports each end as it should, leaks nothing and runs again.
#include "emulator/emulatorprocess.h"
#include "log/logview.h"
#include "log/utf8streamdecoder.h"
#include "proctools.h"
#include "support/delegatefixture.h"
#include "support/runhelpers.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <cstdio>
#include <cstring>
#include <string>

namespace kd::test {
namespace {

using namespace std::chrono_literals;

// Generous on purpose: the machine is shared, only a stall beyond the drain bound is a fault.
constexpr qint64 kStallLimitMs = AppDelegate::DrainBound.count() + 1000;

void figure(const char* what, double value, const char* unit) {
    std::printf("[ figure   ] %s: %.1f %s\n", what, value, unit);
    std::fflush(stdout);
}

class MisbehavingEmulator : public DelegateFixture {
protected:
    void SetUp() override {
        DelegateFixture::SetUp();
        desktop.applications = {{AppDelegate::LauncherName, qint64(::getpid()), 0}};
        // Whatever a first run opens for good (fonts for the log) is not a leak.
        launch("out warm-up\nexit 0");
        ASSERT_TRUE(bothEnds());
        ASSERT_TRUE(waitUntil([&] { return leftovers(0).isEmpty(); }, 5000));
        QTest::qWait(20);
        app->ClearLogAction();
        desktop.clear();
        descriptorsBefore = openDescriptorCount();
        meter = std::make_unique<LatenessMeter>();
    }
    void TearDown() override {
        killGroup(group);
        meter.reset();
        DelegateFixture::TearDown();
    }

    QString log() const { return app->infomationTextView->text(); }

    EmulatorProcess* launch(const QByteArray& script) {
        {
            ScopedEnv env("KD_DEMO_SCRIPT", script);
            app->LaunchTask({});
        }
        EmulatorProcess* process = app->task();
        group = pid_t(process->pid());
        outputEndEvents = 0;
        QObject::connect(process, &EmulatorProcess::outputEnded, process,
                         [this] { ++outputEndEvents; });
        return process;
    }
    bool bothEnds(int ms = 15000) {
        EmulatorProcess* process = app->task();
        const bool done =
            waitUntil([&] { return process && process->hasEnded() && process->outputAtEnd(); }, ms);
        QTest::qWait(50);
        return done;
    }

    int alertsWithMessage(const QString& key) const {
        int n = 0;
        for (const AlertRequest& alert : desktop.alerts)
            n += alert.message == app->text(key);
        return n;
    }

    // What the launcher must have reported for a supervised run that ended with
    // `status`: the second alert comes from an end of output that found the
    // process already ended.
    void expectReported(int status) {
        SCOPED_TRACE(status);
        const QStringList lines = desktop.systemLogLines();
        if (status == 0) {
            EXPECT_EQ(lines.count("Task terminate: Success"), 1);
            EXPECT_EQ(desktop.count("beep"), 0);
            EXPECT_EQ(desktop.count("alert"), 0);
            return;
        }
        EXPECT_EQ(desktop.count("beep"), 1);
        EXPECT_EQ(lines.filter("Task terminate:"),
                  QStringList{QStringLiteral("Task terminate: Error %1").arg(status)});
        EXPECT_EQ(log().count(formatText(app->text("Error_4"), status)), 1);
        // The end of output adds one when the process had ended by then, which
        // only the launcher saw at that moment.
        const int alerts = desktop.count("alert");
        EXPECT_EQ(alertsWithMessage("Alert_1"), alerts);
        EXPECT_GE(alerts, 1);
        EXPECT_LE(alerts, status >= 1 && status <= 254 && outputEndEvents > 0 ? 2 : 1);
        for (const AlertRequest& alert : desktop.alerts)
            EXPECT_EQ(alert.informativeText, formatText(app->text("Alert_3"), status));
    }

    // No child of ours, no member of the run's process group, no extra
    // descriptor; then a plain run works as ever.
    void expectCleanAndUsable(const char* name) {
        waitUntil(
            [&] {
                return leftovers(group).isEmpty() && openDescriptorCount() == descriptorsBefore;
            },
            5000);
        EXPECT_EQ(describe(leftovers(group)), QString());
        EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
        meter->stop();
        figure((std::string(name) + ": worst event-loop lateness").c_str(),
               double(meter->worstMs()), "ms");
        EXPECT_LT(meter->worstMs(), kStallLimitMs);

        desktop.clear();
        app->ClearLogAction();
        launch("out next\nexit 0");
        ASSERT_TRUE(bothEnds());
        EXPECT_EQ(log(), "next\n");
        expectReported(0);
    }

    // Time spent inside one call; the event loop does not turn meanwhile.
    template <typename F> static qint64 msIn(F&& f) {
        QElapsedTimer clock;
        clock.start();
        f();
        return clock.elapsed();
    }

    int descriptorsBefore = 0;
    pid_t group = 0;
    int outputEndEvents = 0;
    std::unique_ptr<LatenessMeter> meter;
};

TEST_F(MisbehavingEmulator, OneThatNeverExitsIsStoppedOnRequest) {
    EmulatorProcess* run = launch("out ready\nrun");
    ASSERT_TRUE(waitUntil([&] { return log().contains("ready"); }));
    QTest::qWait(100);
    EXPECT_TRUE(run->isRunning());
    const qint64 ms = msIn([&] { app->quit_emulator(); });
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(desktop.count("raise"), 1);
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(run->exitStatus(), SIGTERM);
    expectReported(SIGTERM);
    expectCleanAndUsable("never exits");
}

TEST_F(MisbehavingEmulator, OneThatIgnoresTheTerminateRequestIsKilledAfterItsGrace) {
    app->terminateGrace = 4000ms;
    EmulatorProcess* run = launch("ignore-term\nout ready\nrun");
    ASSERT_TRUE(waitUntil([&] { return log().contains("ready"); }));
    const qint64 ms = msIn([&] { app->quit_emulator(); });
    figure("ignores terminate: quit_emulator took", double(ms), "ms");
    EXPECT_GE(ms, AppDelegate::DrainBound.count() - 100);
    EXPECT_LT(ms, kStallLimitMs);
    // The meter saw that stall: it measures what it claims to.
    EXPECT_GE(meter->worstMs(), AppDelegate::DrainBound.count() - 200);
    // The launcher stopped waiting but not listening; the kill ends both.
    EXPECT_TRUE(run->isRunning());
    ASSERT_TRUE(bothEnds(5000));
    EXPECT_EQ(run->exitStatus(), SIGKILL);
    const QString killed = "did not end within 4 s of the terminate request; killed";
    EXPECT_EQ(desktop.systemLogLines().filter(killed).size(), 1);
    EXPECT_TRUE(log().contains("ready\nProcess " + QString::number(group)));
    EXPECT_TRUE(log().contains(killed + "\n"));
    expectReported(SIGKILL);
    expectCleanAndUsable("ignores terminate");
}

TEST_F(MisbehavingEmulator, AGrandchildHoldingThePipeIsStoppedWithItsGroup) {
    EmulatorProcess* run = launch("out ready\ngrandchild 30000 late\nrun");
    ASSERT_TRUE(waitUntil([&] { return log().contains("ready"); }));
    QTest::qWait(100);
    int members = 0;
    for (const ProcInfo& p : allProcesses())
        members += p.group == group;
    EXPECT_EQ(members, 2); // the emulator and its grandchild
    const qint64 ms = msIn([&] { app->quit_emulator(); });
    EXPECT_LT(ms, 1000); // the whole group ended, so the drain found the end at once
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(run->exitStatus(), SIGTERM);
    EXPECT_FALSE(log().contains("late"));
    expectReported(SIGTERM);
    expectCleanAndUsable("grandchild, stopped");
}

TEST_F(MisbehavingEmulator, AGrandchildThatOutlivesTheEmulatorIsFollowedToItsEnd) {
    EmulatorProcess* run = launch("out early\ngrandchild 600 late\nexit 0");
    ASSERT_TRUE(waitUntil([&] { return run->hasEnded(); }));
    EXPECT_FALSE(run->outputAtEnd());
    EXPECT_TRUE(desktop.systemLogLines().contains("Task terminate: Success"));
    EXPECT_EQ(desktop.count("raise"), 0);
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(log(), "early\nlate\n");
    EXPECT_EQ(desktop.count("raise"), 1);
    expectReported(0);
    expectCleanAndUsable("grandchild, natural end");
}

TEST_F(MisbehavingEmulator, DeathBySignalIsReportedWithTheSignalNumber) {
    for (const int signo : {SIGSEGV, SIGKILL}) {
        SCOPED_TRACE(signo);
        desktop.clear();
        app->ClearLogAction();
        EmulatorProcess* run =
            launch(QByteArray("out before\nsignal ") + QByteArray::number(signo));
        ASSERT_TRUE(bothEnds());
        EXPECT_EQ(run->exitStatus(), signo);
        EXPECT_TRUE(log().startsWith("before\n"));
        EXPECT_EQ(outputEndEvents, 1);
        expectReported(signo);
    }
    expectCleanAndUsable("death by signal");
}

TEST_F(MisbehavingEmulator, ExitingBeforeWritingAnything) {
    EmulatorProcess* run = launch("exit 3");
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(run->exitStatus(), 3);
    EXPECT_EQ(log(), formatText(app->text("Error_4"), 3));
    expectReported(3);

    desktop.clear();
    app->ClearLogAction();
    launch("exit 0");
    ASSERT_TRUE(bothEnds());
    EXPECT_TRUE(log().isEmpty());
    expectReported(0);
    expectCleanAndUsable("exits at once");
}

TEST_F(MisbehavingEmulator, ClosingItsOutputButRunningOn) {
    EmulatorProcess* run = launch("out early\nclose-output\nrun");
    // The end of output comes while the emulator still runs: brought to the
    // front, nothing reported yet.
    ASSERT_TRUE(waitUntil([&] { return run->outputAtEnd(); }));
    QTest::qWait(200);
    EXPECT_TRUE(run->isRunning());
    EXPECT_EQ(desktop.count("raise"), 1);
    EXPECT_EQ(desktop.count("alert"), 0);
    const qint64 ms = msIn([&] { app->quit_emulator(); });
    EXPECT_LT(ms, 1000);
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(run->exitStatus(), SIGTERM);
    EXPECT_EQ(log(), "early\n" + formatText(app->text("Error_4"), SIGTERM));
    expectReported(SIGTERM);
    expectCleanAndUsable("closes output");
}

TEST_F(MisbehavingEmulator, ClosingItsOutputAndIgnoringTheTerminateRequest) {
    app->terminateGrace = 1000ms;
    EmulatorProcess* run = launch("ignore-term\nclose-output\nrun");
    ASSERT_TRUE(waitUntil([&] { return run->outputAtEnd(); }));
    // Nothing is left to drain, so nothing holds the launcher; the emulator
    // still must not outlive its grace.
    const qint64 ms = msIn([&] { app->quit_emulator(); });
    EXPECT_LT(ms, 1000);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitUntil([&] { return run->hasEnded(); }, int(kStallLimitMs)));
    EXPECT_GE(clock.elapsed(), 1000 - 200);
    EXPECT_EQ(run->exitStatus(), SIGKILL);
    EXPECT_EQ(desktop.systemLogLines().filter("did not end within 1 s").size(), 1);
    expectReported(SIGKILL);
    expectCleanAndUsable("closes output, ignores terminate");
}

// Random bytes through the stream decoder land in the log exactly as a decoder
// fed in other chunks turns them into text; a character split between two
// writes survives.
TEST_F(MisbehavingEmulator, BinaryGarbageAndSplitCharactersArriveIntact) {
    constexpr qint64 bytes = 24 << 20;
    constexpr std::uint32_t seed = 7;
    QByteArray sent;
    sent.reserve(bytes + 8);
    std::uint32_t x = seed;
    for (qint64 i = 0; i < bytes; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        sent.append(char(x & 0xff));
    }
    sent.append("|\n\xe2\x82\xac\n");
    QByteArray expected;
    Utf8StreamDecoder decoder;
    for (qint64 at = 0; at < sent.size(); at += 4093)
        decoder.decode(
            QByteArrayView(sent.constData() + at, std::min<qint64>(4093, sent.size() - at)),
            expected);
    decoder.finish(expected);

    meter = std::make_unique<LatenessMeter>(); // from here on only the run counts
    launch(QByteArray("pattern ") + QByteArray::number(bytes) + ' ' + QByteArray::number(seed) +
           "\nout |\nhex e2 82\nsleep 100\nhex ac 0a\nexit 0");
    ASSERT_TRUE(bothEnds(60000));
    meter->stop();
    expectReported(0);
    const QByteArray received = app->infomationTextView->utf8();
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_EQ(QCryptographicHash::hash(received, QCryptographicHash::Sha256).toHex(),
              QCryptographicHash::hash(expected, QCryptographicHash::Sha256).toHex());
    EXPECT_TRUE(received.endsWith("|\n\xe2\x82\xac\n"));
    expectCleanAndUsable("binary garbage");
}

// One line of the demo emulator's frame log.
QByteArray frameLine(quint64 frame) {
    return "[frame " + QByteArray::number(frame) +
           "] ppc 66.00 MHz | gpu 8.31 ms | 60.00 fps | audio ok\n";
}

TEST_F(MisbehavingEmulator, OneGigabyteArrivesInFullWithoutStallingTheLauncher) {
    if (qEnvironmentVariable("KD_SANITIZE") == QLatin1String("1"))
        GTEST_SKIP() << "too slow under the sanitizers";
    constexpr qint64 bytes = qint64(1) << 30;
    QElapsedTimer clock;
    clock.start();
    launch("flood " + QByteArray::number(bytes) + "\nexit 0");
    ASSERT_TRUE(bothEnds(120000));
    meter->stop();
    const double seconds = double(clock.elapsed()) / 1000.0;
    figure("1 GiB flood: seconds to both ends", seconds, "s");
    figure("1 GiB flood: throughput", double(bytes) / (1 << 20) / seconds, "MiB/s");
    expectReported(0);
    ASSERT_EQ(app->infomationTextView->byteLength(), bytes);

    // Every line, in order: the frame counter leaves no room for a lost,
    // repeated or swapped chunk.
    const QByteArray received = app->infomationTextView->utf8();
    qint64 at = 0;
    quint64 frame = 0;
    qint64 firstDifference = -1;
    while (at < bytes) {
        const QByteArray line = frameLine(frame++);
        const qint64 n = std::min<qint64>(line.size(), bytes - at);
        if (std::memcmp(received.constData() + at, line.constData(), size_t(n)) != 0) {
            firstDifference = at;
            break;
        }
        at += n;
    }
    EXPECT_EQ(firstDifference, -1);
    figure("1 GiB flood: log bytes held per byte of text",
           double(app->infomationTextView->capacityBytes()) / double(bytes), "");
    app->ClearLogAction();
    expectCleanAndUsable("1 GiB flood");
}

} // namespace
} // namespace kd::test
