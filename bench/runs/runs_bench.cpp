// runs_bench [MiB] [--rounds N] [--cold]: supervised runs of the packaged demo
// emulator flooding the launcher's log window with MiB (default 256) of frame-log
// lines, the way a user would start one: a whole AppDelegate on a throwaway bundle,
// the log window shown. N rounds (default 5), each with its references.
//
// Prints the bytes captured and whether they are every byte in order (a hash of
// the log against a hash of the same command read straight from its pipe), the
// throughput against `emulator | cat >/dev/null` timed in the same rounds (medians),
// the longest lateness of a 10 ms timer during any flood, and the largest peak
// memory per byte of log. Exit status 0 when every target is met.
#include "app/appdelegate.h"
#include "benchsupport.h"
#include "emulator/emulatorprocess.h"
#include "log/view/logview.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/mman.h>
#include <vector>

namespace {

constexpr double kMiB = 1024.0 * 1024.0;
// Far beyond any sane flood; the benchmark reports a failure instead of hanging.
constexpr int kRunLimitMs = 300'000;

// Wall time of `emulator | cat >/dev/null`: the rate a pipe moves this output
// when nobody looks at it. Negative when the pipeline fails.
double rawPipeSeconds(const QString& emulator) {
    QProcess shell;
    shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("\"$0\" | cat >/dev/null"), emulator});
    if (!shell.waitForFinished(kRunLimitMs) || shell.exitStatus() != QProcess::NormalExit ||
        shell.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e9;
}

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Wall time of reading the emulator's output from a pipe into fresh memory kept
// to the end, in 2 MiB blocks as the log keeps it: the floor for any reader that
// keeps every byte, since first touches of memory are what such a reader pays
// beyond the pipe. Negative when the emulator cannot be run.
double pipeIntoMemorySeconds(const QString& emulator, long long bytes) {
    QElapsedTimer clock;
    clock.start();
    const QByteArray command = "exec '" + QFile::encodeName(emulator) + "'";
    FILE* pipe = ::popen(command.constData(), "r");
    if (!pipe)
        return -1;
    constexpr size_t block = size_t(1) << 21;
    std::vector<void*> blocks;
    long long total = 0;
    size_t used = block;
    for (;;) {
        if (used == block) {
            void* memory =
                ::mmap(nullptr, block, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (memory == MAP_FAILED)
                break;
            ::madvise(memory, block, MADV_HUGEPAGE);
            blocks.push_back(memory);
            used = 0;
        }
        const ssize_t n =
            ::read(::fileno(pipe), static_cast<char*>(blocks.back()) + used, block - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        used += size_t(n);
        total += n;
    }
    const int status = ::pclose(pipe);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    for (void* memory : blocks)
        ::munmap(memory, block);
    return status == 0 && total == bytes ? seconds : -1;
}

// Touches `bytes` of fresh memory and gives it back. This machine is a virtual
// one that backs guest memory on first touch at a few hundred MiB/s, ten times
// slower than a real machine zeroes pages; memory the guest kernel has had
// before comes back fast. Warming before each timed phase puts every reader on
// the same footing and keeps that noise out of the figures (--cold skips it).
void warmMemory(long long bytes) {
    if (bytes <= 0)
        return;
    const size_t size = size_t(bytes);
    void* memory =
        ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    ::madvise(memory, size, MADV_HUGEPAGE);
    for (size_t at = 0; at < size; at += 4096)
        static_cast<volatile char*>(memory)[at] = 1;
    ::munmap(memory, size);
}

struct Digest {
    QByteArray hash;
    long long bytes = 0;
};

// What the emulator writes, read from its own pipe without the launcher.
Digest emulatorOutputDigest(const QString& emulator, const QString& workingDir) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    Digest digest;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(workingDir);
    process.start(emulator, {});
    if (!process.waitForStarted())
        return digest;
    auto take = [&] {
        const QByteArray chunk = process.readAll();
        hash.addData(chunk);
        digest.bytes += chunk.size();
    };
    while (process.waitForReadyRead(kRunLimitMs))
        take();
    process.waitForFinished(kRunLimitMs);
    take();
    digest.hash = hash.result();
    return digest;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    long long mib = 256;
    bool cold = false;
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cold") == 0)
            cold = true;
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            mib = std::max(1LL, std::atoll(argv[i]));
    }
    const long long bytes = mib << 20;

    // A private home, settings file and bundle, so nothing of the user's is touched
    // and the start-up checks find what they look for (no alert comes up).
    QTemporaryDir home;
    const QString resources =
        home.path() + QStringLiteral("/Kaleidrome Launcher.app/Contents/Resources");
    if (!home.isValid() || !kd::bench::copyTree(QStringLiteral(KD_BUNDLE_RESOURCES), resources))
        return 2;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    const QString roms = home.path() + QStringLiteral("/roms");
    QDir().mkpath(roms);
    kd::SettingsStore store(home.path() + QStringLiteral("/settings.conf"));
    store.setObject(roms, kd::keys::RomsPath);
    store.synchronize();

    kd::bench::QuietDesktop desktop;
    kd::AppDelegate delegate(desktop, store, resources);
    delegate.awakeFromNib();
    delegate.applicationDidFinishLaunching();
    delegate.show_Logwindow();
    kd::LogView* shown = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QStringLiteral("logWindow"))
            shown = window->findChild<kd::LogView*>();
    kd::LogView& log = *shown;

    // Settle: windows painted, queued start-up work done.
    {
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
    }

    const QString emulator = delegate.pathOfExecFile();
    qputenv("KD_DEMO_SCRIPT", "flood " + QByteArray::number(bytes));

    // A 10 ms timer that notes how late it fires: how long the event loop was held.
    qint64 worstLatenessNs = 0;
    qint64 worstAtNs = 0; // when it ended, on `flood`
    QElapsedTimer flood;
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 lateness = sinceTick.nsecsElapsed() - 10'000'000;
        if (lateness > worstLatenessNs) {
            worstLatenessNs = lateness;
            worstAtNs = flood.isValid() ? flood.nsecsElapsed() : 0;
        }
        sinceTick.restart();
    });

    // The same timer on an idle loop first: the noise floor of this machine now.
    {
        QEventLoop idle;
        QTimer::singleShot(500, &idle, &QEventLoop::quit);
        sinceTick.start();
        ticker.start(10);
        idle.exec();
        ticker.stop();
    }
    const qint64 idleLatenessNs = worstLatenessNs;
    worstLatenessNs = 0;

    // The expected output, read once straight from the emulator's pipe.
    const Digest wrote = emulatorOutputDigest(emulator, delegate.pathOfCurrentDir());
    // More than the log and its index take, with room for what is in flight.
    const long long warmBytes = cold ? 0 : bytes + bytes / 2 + (64 << 20);

    // Rounds of: raw pipe, pipe into memory, the launcher's run; medians of the
    // times, the worst of stalls and memory, every round's log checked.
    std::vector<double> pipeTimes, keepTimes, runTimes;
    double worstStallMs = 0;
    double worstPerByte = 0;
    bool everyByte = !wrote.hash.isEmpty() && wrote.bytes == bytes;
    for (int round = 1; round <= rounds; ++round) {
        warmMemory(warmBytes);
        pipeTimes.push_back(rawPipeSeconds(emulator));
        warmMemory(warmBytes);
        keepTimes.push_back(pipeIntoMemorySeconds(emulator, bytes));
        log.clear();
        warmMemory(warmBytes);

        const bool peakReset = kd::bench::resetPeakRss();
        const long long baseline =
            peakReset ? kd::bench::procStatusBytes("VmRSS") : kd::bench::procStatusBytes("VmHWM");
        QEventLoop waitForRun;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &waitForRun, &QEventLoop::quit);
        const double floodFrom = monotonicSeconds();
        QElapsedTimer clock;
        clock.start();
        worstLatenessNs = 0;
        flood.start();
        sinceTick.restart();
        ticker.start(10);
        delegate.LaunchTask({});
        kd::EmulatorProcess* run = delegate.task();
        if (!run || !run->hasStarted()) {
            std::fprintf(stderr, "the emulator did not start\n");
            return 2;
        }
        // Connected after the launcher's own handlers, so these see the run handled.
        auto quitWhenDone = [&] {
            if (run->hasEnded() && run->outputAtEnd())
                waitForRun.quit();
        };
        QObject::connect(run, &kd::EmulatorProcess::outputEnded, &waitForRun, quitWhenDone);
        QObject::connect(run, &kd::EmulatorProcess::processEnded, &waitForRun, quitWhenDone);
        limit.start(kRunLimitMs);
        waitForRun.exec();
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        ticker.stop();
        // For `perf record -k mono` followed by `perf report --time FROM,TO`.
        std::fprintf(stderr, "flood %d on CLOCK_MONOTONIC: %.6f,%.6f\n", round, floodFrom,
                     monotonicSeconds());
        const long long peak = kd::bench::procStatusBytes("VmHWM");
        const bool finished = run->hasEnded() && run->outputAtEnd();
        const int status = run->exitStatus();
        const qint64 captured = log.byteLength();

        // Every byte in order: the log's whole text against the emulator's own output.
        const QByteArray logHash = QCryptographicHash::hash(log.utf8(), QCryptographicHash::Sha1);
        const bool intact = finished && status == 0 && captured == bytes && logHash == wrote.hash;
        everyByte = everyByte && intact;
        const double stallMs = double(worstLatenessNs) / 1e6;
        const double perByte = captured > 0 ? double(peak - baseline) / double(captured) : 0;
        worstStallMs = std::max(worstStallMs, stallMs);
        worstPerByte = std::max(worstPerByte, perByte);
        runTimes.push_back(seconds);
        std::printf("round %d: launcher %.3f s (%s, exit status %d, %lld bytes, sha1 %s%s), raw "
                    "pipe %.3f s, kept pipe %.3f s; stall %.1f ms (ending %.0f ms in); peak %.0f "
                    "MiB above %.0f MiB, "
                    "%.3f bytes per byte\n",
                    round, seconds, finished ? "finished" : "DID NOT FINISH", status,
                    static_cast<long long>(captured), logHash.toHex().left(12).constData(),
                    logHash == wrote.hash ? " as written" : " DIFFERS", pipeTimes.back(),
                    keepTimes.back(), stallMs, double(worstAtNs) / 1e6,
                    double(peak - baseline) / kMiB, double(baseline) / kMiB, perByte);
        std::fflush(stdout);
    }

    const double runSeconds = kd::bench::quantile(runTimes, 0.5);
    const double pipeSeconds = kd::bench::quantile(pipeTimes, 0.5);
    const double keepSeconds = kd::bench::quantile(keepTimes, 0.5);
    const double mibs = double(bytes) / kMiB;
    const double ratio = pipeSeconds > 0 ? pipeSeconds / runSeconds : 0;
    std::printf(
        "\nflood:       %lld MiB, %d rounds, memory %s; emulator wrote %lld bytes, sha1 %s\n", mib,
        rounds,
        cold ? "cold (--cold): fresh guest memory is slow here" : "warmed before each timed phase",
        wrote.bytes, wrote.hash.toHex().constData());
    std::printf("launcher:    %.1f MiB/s (median %.3f s)\n", mibs / runSeconds, runSeconds);
    std::printf("raw pipe:    %.1f MiB/s (median %.3f s)\n", mibs / pipeSeconds, pipeSeconds);
    std::printf(
        "kept pipe:   %.1f MiB/s into fresh memory (median %.3f s); the launcher makes %.3f "
        "of it\n",
        mibs / keepSeconds, keepSeconds, keepSeconds / runSeconds);
    std::printf("stall:       %.1f ms, the longest lateness of a 10 ms timer in any round (idle "
                "loop: %.1f ms)\n",
                worstStallMs, double(idleLatenessNs) / 1e6);
    std::printf("memory:      %.3f bytes per byte of log at most (peak above the level before the "
                "run)\n",
                worstPerByte);
    std::printf("alerts:      %d\n", desktop.alerts);

    const bool rateMet = ratio >= 0.5;
    const bool stallMet = worstStallMs <= 50;
    const bool memoryMet = worstPerByte <= 1.5;
    std::printf("\n%s  every byte captured in order\n", kd::bench::verdict(everyByte));
    std::printf("%s  throughput / raw pipe = %.3f (target >= 0.5)\n", kd::bench::verdict(rateMet),
                ratio);
    std::printf("%s  longest stall = %.1f ms (target <= 50 ms)\n", kd::bench::verdict(stallMet),
                worstStallMs);
    std::printf("%s  peak memory = %.3f bytes per byte of log (target <= 1.5)\n",
                kd::bench::verdict(memoryMet), worstPerByte);
    return everyByte && rateMet && stallMet && memoryMet && desktop.alerts == 0 ? 0 : 1;
}
