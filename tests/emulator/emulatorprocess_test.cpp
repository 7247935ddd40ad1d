#include "emulator/emulatorprocess.h"
#include "processtesting.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace kd {
namespace {

using testing::Recorder;
using testing::spinFor;
using testing::spinUntil;
using testing::startDemo;

// Runs a script to both end events and returns what was recorded.
Recorder runScript(const QByteArray& script, const QStringList& arguments = {},
                   const QString& workingDir = QDir::tempPath()) {
    testing::TestProcess process;
    Recorder rec;
    rec.attach(process);
    EXPECT_TRUE(startDemo(process, script, arguments, workingDir));
    EXPECT_TRUE(spinUntil([&] { return rec.bothEnded(); })) << rec.output.constData();
    return rec;
}

// The demo emulator's "pattern" bytes: xorshift32, low byte of each state.
QByteArray patternBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<char>(x & 0xff);
    }
    return bytes;
}

bool processGone(qint64 pid) {
    return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

int openDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)
                                .size());
}

TEST(EmulatorProcess, StdoutAndStderrArriveInTheOrderWritten) {
    const Recorder rec = runScript("out one\nerr two\nout three\nerr four\nhex 41 ff c3\nerr five");
    EXPECT_EQ(rec.output, QByteArray("one\ntwo\nthree\nfour\nA\xff\xc3"
                                     "five\n"));
}

TEST(EmulatorProcess, ArgumentsArriveOneByOneUntouched) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString argvFile = dir.filePath(QStringLiteral("argv"));
    testing::ScopedEnv env("KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile));
    const QStringList arguments = {QStringLiteral("/roms/star lance.zip"),
                                   QStringLiteral("two\nlines"),
                                   QStringLiteral("-res=800,600"),
                                   QStringLiteral("-"),
                                   QString(),
                                   QStringLiteral("Ünïcødé ゲーム"),
                                   QStringLiteral("$HOME *.zip `x` 'q' \"dq\" a\\b ; | &")};
    const Recorder rec = runScript("exit 0", arguments);
    EXPECT_EQ(rec.events.back().status, 0);

    QFile file(argvFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray expected;
    for (const QString& arg : arguments)
        expected += arg.toUtf8() + '\0';
    EXPECT_EQ(file.readAll(), expected);
}

TEST(EmulatorProcess, RunsInTheGivenWorkingDirectory) {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/kd emu dir XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const Recorder rec = runScript("pwd", {}, dir.path());
    EXPECT_EQ(rec.output, QFile::encodeName(QFileInfo(dir.path()).canonicalFilePath()) + '\n');
}

TEST(EmulatorProcess, ChildGetsNullInputOnePipeAndNothingElse) {
    // A descriptor the launcher holds without close-on-exec must still not leak.
    const int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 0);
    const Recorder rec = runScript("fds");
    ::close(stray);

    const QList<QByteArray> lines = rec.output.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3) << rec.output.constData();
    EXPECT_EQ(lines[0], "fd 0 -> /dev/null");
    EXPECT_TRUE(lines[1].startsWith("fd 1 -> pipe:[")) << lines[1].constData();
    EXPECT_EQ(lines[2].mid(4), lines[1].mid(4)); // stderr is the same pipe
}

class ExitStatus : public ::testing::TestWithParam<int> {};

TEST_P(ExitStatus, IsReportedOnceAndKept) {
    testing::TestProcess process;
    Recorder rec;
    rec.attach(process);
    ASSERT_TRUE(startDemo(process, "out bye\nexit " + QByteArray::number(GetParam())));
    EXPECT_TRUE(process.isRunning() || !process.hasEnded());
    ASSERT_TRUE(spinUntil([&] { return rec.bothEnded(); }));
    spinFor(50);

    int ends = 0;
    for (const Recorder::Event& e : rec.events)
        ends += e.kind == Recorder::ProcessEnded;
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(rec.events[rec.indexOf(Recorder::ProcessEnded)].status, GetParam());
    EXPECT_EQ(process.exitStatus(), GetParam());
    EXPECT_TRUE(process.hasEnded());
    EXPECT_FALSE(process.isRunning());
    EXPECT_EQ(rec.output, "bye\n");
}

INSTANTIATE_TEST_SUITE_P(Statuses, ExitStatus, ::testing::Values(0, 1, 3, 255));

TEST(EmulatorProcess, SignalsGiveTheSignalNumber) {
    struct Case {
        QByteArray script;
        void (EmulatorProcess::*request)();
        int status;
    };
    const Case cases[] = {
        {"out ready\nrun", &EmulatorProcess::terminate, SIGTERM},
        {"out ready\nrun", &EmulatorProcess::kill, SIGKILL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.constData());
        testing::TestProcess process;
        Recorder rec;
        rec.attach(process);
        ASSERT_TRUE(startDemo(process, c.script));
        ASSERT_TRUE(spinUntil([&] { return rec.output.contains("ready"); }));
        if (c.request)
            (process.*c.request)();
        ASSERT_TRUE(spinUntil([&] { return rec.bothEnded(); }));
        EXPECT_EQ(process.exitStatus(), c.status);
    }
}

TEST(EmulatorProcess, ProcessEndsBeforeOutputWhileAGrandchildHoldsThePipe) {
    const Recorder rec = runScript("grandchild 400 late\nout early\nexit 0");
    const int processEnd = rec.indexOf(Recorder::ProcessEnded);
    const int late = rec.indexOfOutput("late");
    ASSERT_GE(late, 0);
    EXPECT_LT(rec.indexOfOutput("early"), processEnd);
    EXPECT_LT(processEnd, late); // written after its parent was reaped
    EXPECT_LT(late, rec.indexOf(Recorder::OutputEnded));
}

TEST(EmulatorProcess, OutputEndsFirstWhenTheChildClosesItAndRunsOn) {
    const Recorder rec = runScript("out early\nclose-output\nsleep 400\nexit 4");
    EXPECT_LT(rec.indexOf(Recorder::OutputEnded), rec.indexOf(Recorder::ProcessEnded));
    EXPECT_EQ(rec.events.back().status, 4);
    EXPECT_EQ(rec.output, "early\n");
}

TEST(EmulatorProcess, DrainCollectsTheRestAndSilencesOutputEvents) {
    testing::TestProcess process;
    Recorder rec;
    rec.attach(process);
    ASSERT_TRUE(startDemo(process, "out one\nsleep 100\nerr two\nexit 5"));
    QByteArray drained;
    EXPECT_TRUE(process.drain(10s, [&](QByteArrayView chunk) { drained += chunk; }));
    EXPECT_EQ(drained, "one\ntwo\n");
    EXPECT_TRUE(process.outputAtEnd());

    ASSERT_TRUE(spinUntil([&] { return rec.processEnded(); }));
    spinFor(50);
    EXPECT_EQ(rec.events.size(), 1u) << "only processEnded may follow a drain";
    EXPECT_EQ(process.exitStatus(), 5);
    // A second drain has nothing left to read.
    EXPECT_TRUE(process.drain(10ms, {}));
}

TEST(EmulatorProcess, DrainStopsAtItsBoundWhileAGrandchildHoldsThePipe) {
    testing::TestProcess process;
    Recorder rec;
    rec.attach(process);
    ASSERT_TRUE(startDemo(process, "out start\ngrandchild 5000 late\nexit 0"));
    ASSERT_TRUE(spinUntil([&] { return rec.processEnded(); }));
    const qint64 group = process.pid();

    QByteArray drained;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(process.drain(300ms, [&](QByteArrayView chunk) { drained += chunk; }));
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, 290);
    EXPECT_LT(elapsed, 300 + 1500);
    EXPECT_FALSE(process.outputAtEnd());
    spinFor(50);
    EXPECT_FALSE(rec.outputEnded());
    EXPECT_FALSE(drained.contains("late"));
    ::kill(-static_cast<pid_t>(group), SIGKILL); // the grandchild
}

TEST(EmulatorProcess, DrainIsBoundedWhenTerminateIsIgnoredAndTheEndStillComes) {
    testing::TestProcess process;
    Recorder rec;
    rec.attach(process);
    ASSERT_TRUE(startDemo(process, "ignore-term\nout ready\nrun"));
    ASSERT_TRUE(spinUntil([&] { return rec.output.contains("ready"); }));
    process.terminate();

    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(process.drain(300ms, {}));
    EXPECT_LT(clock.elapsed(), 300 + 1500);
    spinFor(100);
    EXPECT_TRUE(process.isRunning());

    process.kill();
    ASSERT_TRUE(spinUntil([&] { return rec.processEnded(); }));
    EXPECT_EQ(process.exitStatus(), SIGKILL);
    EXPECT_FALSE(rec.outputEnded());
}

TEST(EmulatorProcess, StartFailuresSayWhyAndFireNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath(QStringLiteral("not executable"));
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho hi\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));

    struct Case {
        QString program;
        QString workingDir;
        QString mentions;
        int err;
    };
    const QString missing = dir.filePath(QStringLiteral("no such emulator"));
    const QString missingDir = dir.filePath(QStringLiteral("gone"));
    const Case cases[] = {
        {missing, dir.path(), missing, ENOENT},
        {plain, dir.path(), plain, EACCES},
        {dir.path(), dir.path(), dir.path(), EACCES},
        {testing::demoEmulator(), missingDir, missingDir, ENOENT},
        {testing::demoEmulator(), plain, plain, ENOTDIR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.program + QStringLiteral(" in ") + c.workingDir));
        testing::TestProcess process;
        Recorder rec;
        rec.attach(process);
        QString error;
        EXPECT_FALSE(process.start(c.program, {}, c.workingDir, &error));
        EXPECT_TRUE(error.contains(c.mentions)) << qPrintable(error);
        EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(c.err))))
            << qPrintable(error);
        EXPECT_FALSE(process.hasStarted());
        EXPECT_FALSE(process.isRunning());
        EXPECT_FALSE(process.hasEnded());
        EXPECT_FALSE(process.waitForEnd());
        process.terminate(); // nothing to signal
        spinFor(100);
        EXPECT_TRUE(rec.events.empty());
    }
}

TEST(EmulatorProcess, WaitForEndDeliversOutputDuringTheWait) {
    testing::TestProcess process;
    Recorder rec;
    rec.attach(process);
    ASSERT_TRUE(startDemo(process, "out one\nsleep 300\nout two\nexit 3"));
    ASSERT_TRUE(process.waitForEnd());
    const int end = rec.indexOf(Recorder::ProcessEnded);
    ASSERT_GE(end, 0);
    EXPECT_LT(rec.indexOfOutput("one"), end);
    EXPECT_EQ(process.exitStatus(), 3);
    EXPECT_TRUE(process.waitForEnd()); // already ended: at once
    ASSERT_TRUE(spinUntil([&] { return rec.outputEnded(); }));
    EXPECT_EQ(rec.output, "one\ntwo\n");
}

TEST(EmulatorProcess, RawBytesAndFloodsArriveIntactInNonEmptyChunks) {
    constexpr qsizetype size = 24 << 20;
    const Recorder rec =
        runScript("hex 41 ff c3 28 e2 82\nhex ac 0a\npattern " + QByteArray::number(size) + " 7");
    EXPECT_EQ(rec.output.left(8), QByteArray("A\xff\xc3(\xe2\x82\xac\n"));
    EXPECT_TRUE(rec.output.mid(8) == patternBytes(size, 7)) << "pattern bytes differ";
    int chunks = 0;
    for (const Recorder::Event& e : rec.events) {
        if (e.kind == Recorder::Output) {
            EXPECT_FALSE(e.chunk.isEmpty());
            ++chunks;
        }
    }
    EXPECT_GT(chunks, 1);
}

TEST(EmulatorProcess, RunsLeaveNoDescriptorOrZombieBehind) {
    runScript("exit 0"); // lets the event dispatcher set itself up first
    spinFor(20);
    const int before = openDescriptors();
    std::vector<qint64> pids;

    for (int i = 0; i < 3; ++i) {
        testing::TestProcess process;
        Recorder rec;
        rec.attach(process);
        ASSERT_TRUE(startDemo(process, "out x\nexit " + QByteArray::number(i)));
        ASSERT_TRUE(spinUntil([&] { return rec.bothEnded(); }));
        pids.push_back(process.pid());
    }
    {
        testing::TestProcess process;
        ASSERT_TRUE(startDemo(process, "out x\nsleep 50\nexit 0"));
        process.drain(5s, {});
        ASSERT_TRUE(process.waitForEnd());
        pids.push_back(process.pid());
    }
    {
        testing::TestProcess process;
        EXPECT_FALSE(process.start(QStringLiteral("/nonexistent/emulator"), {}, QDir::tempPath()));
    }
    {
        // Let go while running: the child is not stopped, yet reaped later.
        auto process = std::make_unique<EmulatorProcess>();
        ASSERT_TRUE(startDemo(*process, "sleep 300\nexit 0"));
        const qint64 pid = process->pid();
        process.reset();
        EXPECT_EQ(::kill(static_cast<pid_t>(pid), 0), 0) << "the child was stopped";
        pids.push_back(pid);
    }

    for (qint64 pid : pids)
        EXPECT_TRUE(spinUntil([&] { return processGone(pid); })) << "zombie " << pid;
    for (qint64 pid : pids) {
        errno = 0;
        EXPECT_EQ(::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }
    spinFor(20); // deferred deletions of the watchers
    EXPECT_EQ(openDescriptors(), before);
}

TEST(EmulatorProcess, EachObjectHasItsOwnRunIdentity) {
    testing::TestProcess first;
    testing::TestProcess second;
    EXPECT_LT(first.runId(), second.runId());
    EXPECT_EQ(first.pid(), -1);
    EXPECT_EQ(first.exitStatus(), -1);
}

} // namespace
} // namespace kd
