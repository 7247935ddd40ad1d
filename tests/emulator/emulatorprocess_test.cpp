#include "processtesting.h"
#include "support/testbundle.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <tuple>

using namespace std::chrono_literals;

namespace kd::test {
namespace {

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

TEST(EmulatorProcess, BothStreamsRawBytesAndFloodsArriveInWriteOrderInNonEmptyChunks) {
    constexpr qsizetype size = 24 << 20;
    const QByteArray head("one\ntwo\nthree\nfour\nA\xff\xc3(\xe2\x82\xac\nfive\n");
    const Recorder rec = runScript("out one\nerr two\nout three\nerr four\nhex 41 ff c3 28 e2 82\n"
                                   "hex ac 0a\nerr five\npattern " +
                                   QByteArray::number(size) + " 7");
    EXPECT_EQ(rec.output.left(head.size()), head);
    EXPECT_TRUE(rec.output.mid(head.size()) == patternBytes(size, 7)) << "pattern bytes differ";
    for (const Recorder::Event& e : rec.events)
        EXPECT_TRUE(e.kind != Recorder::Output || !e.chunk.isEmpty());
    EXPECT_GT(rec.count(Recorder::Output), 1);
}

// Arguments one by one and untouched, the given folder, /dev/null as input and
// one pipe for both outputs; a descriptor the launcher holds without
// close-on-exec must still not leak.
TEST(EmulatorProcess, TheChildGetsItsArgumentsAndFolderNullInputAndOnePipe) {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/kd emu dir XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString argvFile = dir.filePath(QStringLiteral("argv"));
    ScopedEnv env("KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile));
    const QStringList arguments = {"/roms/star lance.zip",
                                   "two\nlines",
                                   "-res=800,600",
                                   "-",
                                   QString(),
                                   "Ünïcødé ゲーム",
                                   "$HOME *.zip `x` 'q' \"dq\" a\\b ; | &"};
    const int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 0);
    const Recorder rec = runScript("pwd\nfds", arguments, dir.path());
    ::close(stray);

    EXPECT_EQ(rec.status(), 0);
    QByteArray expected;
    for (const QString& arg : arguments)
        expected += arg.toUtf8() + '\0';
    EXPECT_EQ(readFile(argvFile), expected);
    const QList<QByteArray> lines = rec.output.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4) << rec.output.constData();
    EXPECT_EQ(lines[0], QFile::encodeName(QFileInfo(dir.path()).canonicalFilePath()));
    EXPECT_EQ(lines[1], "fd 0 -> /dev/null");
    EXPECT_TRUE(lines[2].startsWith("fd 1 -> pipe:[")) << lines[2].constData();
    EXPECT_EQ(lines[3].mid(4), lines[2].mid(4)); // stderr is the same pipe
}

// The end is reported once, with the exit status or the signal number; no
// descriptor or zombie is left, whether the end was waited for, drained, or the
// process was let go while running.
TEST(EmulatorProcess, TheEndIsReportedOnceAndNothingIsLeftBehind) {
    runScript("exit 0"); // lets the event dispatcher set itself up first
    QTest::qWait(20);
    const int descriptors = openDescriptorCount();
    std::vector<qint64> pids;
    const std::tuple<QByteArray, void (EmulatorProcess::*)(), int> cases[] = {
        {"exit 0", nullptr, 0},
        {"exit 1", nullptr, 1},
        {"exit 3", nullptr, 3},
        {"exit 255", nullptr, 255},
        {"signal 11", nullptr, SIGSEGV},
        {"run", &EmulatorProcess::terminate, SIGTERM},
        {"run", &EmulatorProcess::kill, SIGKILL},
    };
    quint64 lastRunId = 0;
    for (const auto& [script, request, status] : cases) {
        SCOPED_TRACE(script.constData());
        TestProcess process;
        EXPECT_GT(process.runId(), lastRunId);
        lastRunId = process.runId();
        EXPECT_EQ(process.pid(), -1);
        EXPECT_EQ(process.exitStatus(), -1);
        Recorder rec(process);
        ASSERT_TRUE(startDemo(process, "out bye\n" + script));
        pids.push_back(process.pid());
        EXPECT_FALSE(process.hasEnded()); // events come from the event loop only
        if (request) {
            ASSERT_TRUE(waitUntil([&] { return rec.output.contains("bye"); }));
            (process.*request)();
        }
        // The wait turns the event loop; what was written is reported before the end.
        ASSERT_TRUE(process.waitForEnd());
        EXPECT_EQ(rec.output, "bye\n");
        EXPECT_TRUE(process.waitForEnd()); // already ended: at once
        ASSERT_TRUE(waitUntil([&] { return rec.bothEnded(); }));
        QTest::qWait(50);

        EXPECT_EQ(rec.count(Recorder::ProcessEnded), 1);
        EXPECT_EQ(rec.count(Recorder::OutputEnded), 1);
        EXPECT_EQ(rec.status(), status);
        EXPECT_EQ(process.exitStatus(), status);
        EXPECT_EQ(process.wasSignalled(), !script.startsWith("exit"));
        EXPECT_TRUE(process.hasEnded());
        EXPECT_FALSE(process.isRunning());
    }
    {
        TestProcess drained;
        ASSERT_TRUE(startDemo(drained, "out x\nsleep 50\nexit 0"));
        drained.drain(5s, {});
        ASSERT_TRUE(drained.waitForEnd());
        pids.push_back(drained.pid());
        TestProcess failed;
        EXPECT_FALSE(failed.start(QStringLiteral("/nonexistent/emulator"), {}, QDir::tempPath()));
    }
    // Let go while running: the child is not stopped, yet reaped later.
    auto letGo = std::make_unique<EmulatorProcess>();
    ASSERT_TRUE(startDemo(*letGo, "sleep 300\nexit 0"));
    pids.push_back(letGo->pid());
    letGo.reset();
    EXPECT_EQ(::kill(static_cast<pid_t>(pids.back()), 0), 0) << "the child was stopped";
    for (qint64 pid : pids) {
        const QString entry = QStringLiteral("/proc/%1").arg(pid);
        EXPECT_TRUE(waitUntil([&] { return !QFileInfo::exists(entry); })) << "zombie " << pid;
        errno = 0;
        EXPECT_EQ(::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
    }
    QTest::qWait(20); // deferred deletions of the watchers
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

// A drain stops output events, collects the rest and closes the output. At its
// bound it gives up: here an emulator ignores the terminate request while its
// grandchild holds the pipe, and the end of output that the kill brings later
// is not reported either.
TEST(EmulatorProcess, DrainCollectsTheRestOrStopsAtItsBoundAndSilencesOutputEvents) {
    TestProcess quick;
    Recorder quickRec(quick);
    ASSERT_TRUE(startDemo(quick, "out one\nsleep 100\nerr two\nexit 5"));
    QByteArray drained;
    EXPECT_TRUE(quick.drain(10s, [&](QByteArrayView chunk) { drained += chunk; }));
    EXPECT_EQ(drained, "one\ntwo\n");
    EXPECT_TRUE(quick.outputAtEnd());

    ASSERT_TRUE(waitUntil([&] { return quickRec.processEnded(); }));
    QTest::qWait(50);
    EXPECT_EQ(quickRec.events.size(), 1u) << "only processEnded may follow a drain";
    EXPECT_EQ(quick.exitStatus(), 5);
    // A second drain has nothing left to read.
    EXPECT_TRUE(quick.drain(10ms, {}));

    TestProcess process;
    Recorder rec(process);
    ASSERT_TRUE(startDemo(process, "ignore-term\nout ready\ngrandchild 5000 late\nrun"));
    ASSERT_TRUE(waitUntil([&] { return rec.output.contains("ready"); }));
    process.terminate();

    drained.clear();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(process.drain(300ms, [&](QByteArrayView chunk) { drained += chunk; }));
    EXPECT_GE(clock.elapsed(), 290);
    EXPECT_LT(clock.elapsed(), 300 + 1500);
    EXPECT_FALSE(process.outputAtEnd());
    EXPECT_FALSE(drained.contains("late"));
    QTest::qWait(100);
    EXPECT_TRUE(process.isRunning());

    process.kill(); // the whole group, the grandchild too
    ASSERT_TRUE(waitUntil([&] { return rec.processEnded(); }));
    EXPECT_EQ(process.exitStatus(), SIGKILL);
    QTest::qWait(100);
    EXPECT_FALSE(rec.outputEnded());
}

TEST(EmulatorProcess, StartFailuresSayWhyAndFireNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath(QStringLiteral("not executable"));
    ASSERT_TRUE(writeFile(plain, "#!/bin/sh\necho hi\n"));
    const QString missing = dir.filePath(QStringLiteral("no such emulator"));
    const QString missingDir = dir.filePath(QStringLiteral("gone"));
    // program, working folder, what the error names, its errno
    const std::tuple<QString, QString, QString, int> cases[] = {
        {missing, dir.path(), missing, ENOENT},
        {plain, dir.path(), plain, EACCES},
        {dir.path(), dir.path(), dir.path(), EACCES},
        {QStringLiteral(KD_DEMO_EMULATOR), missingDir, missingDir, ENOENT},
        {QStringLiteral(KD_DEMO_EMULATOR), plain, plain, ENOTDIR},
    };
    for (const auto& [program, workingDir, mentions, err] : cases) {
        SCOPED_TRACE(qPrintable(program + QStringLiteral(" in ") + workingDir));
        TestProcess process;
        Recorder rec(process);
        QString error;
        EXPECT_FALSE(process.start(program, {}, workingDir, &error));
        EXPECT_TRUE(error.contains(mentions) &&
                    error.contains(QString::fromLocal8Bit(std::strerror(err))))
            << qPrintable(error);
        EXPECT_FALSE(process.hasStarted() || process.isRunning() || process.hasEnded());
        EXPECT_FALSE(process.waitForEnd());
        process.terminate(); // nothing to signal
        QTest::qWait(100);
        EXPECT_TRUE(rec.events.empty());
    }
}

} // namespace
} // namespace kd::test
