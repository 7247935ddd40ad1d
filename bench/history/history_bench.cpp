// history_bench [RUNS] [--games N]: the play history's costs on the main thread,
// on a database that already holds RUNS runs (default 100000) of N games (2000),
// in a private folder under $TMPDIR (a real disk, as a user's data folder is).
//
// Prints the time to open it (what start-up pays), recording a run's start and
// its end (each one transaction; 200 of each, median and p95), and reading the
// newest runs for the History window; the note that a running game is still
// going (200 of them), and the daily copy of the database with how late the
// event loop ran meanwhile (a 4 ms timer). Targets: both medians < 5 ms, the
// note's median < 1 ms, the event loop never more than 16 ms late.
#include "benchsupport.h"
#include "catalogue/playhistory.h"
#include "makehistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double msSince(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    int runs = 100'000;
    int games = 2000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--games") == 0 && i + 1 < argc)
            games = std::max(1, std::atoi(argv[++i]));
        else
            runs = std::max(0, std::atoi(argv[i]));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    QElapsedTimer clock;
    clock.start();
    if (!dir.isValid() || !kd::bench::makeHistory(path, runs, games))
        return 2;
    std::printf("history: %d runs of %d games, %.1f MiB, made in %.0f ms\n", runs, games,
                double(QFileInfo(path).size()) / (1 << 20), msSince(clock));

    std::vector<double> opens;
    for (int i = 0; i < 5; ++i) {
        clock.restart();
        const kd::PlayHistory history(path);
        opens.push_back(msSince(clock));
        if (!history.isOpen()) {
            std::fprintf(stderr, "cannot open: %s\n", qPrintable(history.problem()));
            return 2;
        }
    }

    kd::PlayHistory history(path);
    std::vector<double> starts, ends;
    qint64 now = 1'800'000'000'000;
    for (int i = 0; i < 200; ++i) {
        const QString name = QStringLiteral("game%1").arg(i % games, 5, 10, QChar(u'0'));
        const QString rom = QStringLiteral("/home/player/roms/") + name + QStringLiteral(".zip");
        const QStringList arguments = kd::bench::typicalArguments(rom);
        clock.restart();
        const qint64 id = history.recordStart(name, rom, arguments, now);
        starts.push_back(msSince(clock));
        now += 30'000;
        clock.restart();
        history.recordEnd(id, {now, i % 3, false});
        ends.push_back(msSince(clock));
        now += 1000;
    }
    if (!history.isOpen()) {
        std::fprintf(stderr, "recording failed: %s\n", qPrintable(history.problem()));
        return 2;
    }
    std::vector<double> reads;
    for (int i = 0; i < 5; ++i) {
        clock.restart();
        const std::size_t n = history.recentRuns(kd::PlayHistory::RecentRomLimit * 50).size();
        reads.push_back(msSince(clock));
        if (n == 0)
            return 2;
    }

    const qint64 running = history.recordStart(
        QStringLiteral("game00000"), QStringLiteral("/home/player/roms/game00000.zip"), {}, now);
    std::vector<double> seens;
    for (int i = 0; i < 200; ++i) {
        clock.restart();
        history.recordSeen(running, now + (i + 1) * kd::PlayHistory::SeenIntervalMs);
        seens.push_back(msSince(clock));
    }
    history.recordEnd(running, {now + 201 * kd::PlayHistory::SeenIntervalMs, 0, false});

    QElapsedTimer loop;
    qint64 lastTick = 0;
    double worstLateMs = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(4);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 at = loop.nsecsElapsed();
        worstLateMs = std::max(worstLateMs, double(at - lastTick) / 1e6 - 4);
        lastTick = at;
    });
    QEventLoop copying;
    QString copyProblem;
    QObject::connect(&history, &kd::PlayHistory::copied, &copying, [&](const QString& problem) {
        copyProblem = problem;
        copying.quit();
    });
    clock.restart();
    loop.start();
    tick.start();
    if (!history.startCopy(now))
        return 2;
    copying.exec();
    const double copyMs = msSince(clock);
    tick.stop();
    if (!copyProblem.isEmpty()) {
        std::fprintf(stderr, "copy failed: %s\n", qPrintable(copyProblem));
        return 2;
    }

    using kd::bench::quantile;
    const double startMedian = quantile(starts, 0.5);
    const double endMedian = quantile(ends, 0.5);
    std::printf("open (start-up):      median %.2f ms (max %.2f)\n", quantile(opens, 0.5),
                quantile(opens, 1));
    std::printf("record a start:       median %.3f ms, p95 %.3f ms, max %.2f ms\n", startMedian,
                quantile(starts, 0.95), quantile(starts, 1));
    std::printf("record an end:        median %.3f ms, p95 %.3f ms, max %.2f ms\n", endMedian,
                quantile(ends, 0.95), quantile(ends, 1));
    std::printf("newest 500 runs read: median %.2f ms\n", quantile(reads, 0.5));
    const double seenMedian = quantile(seens, 0.5);
    std::printf("note a run as seen:   median %.3f ms, p95 %.3f ms, max %.2f ms\n", seenMedian,
                quantile(seens, 0.95), quantile(seens, 1));
    std::printf("daily copy:           %.0f ms on its thread, event loop at most %.2f ms late\n",
                copyMs, worstLateMs);
    const bool met = startMedian < 5 && endMedian < 5;
    std::printf("%s  recording a start / an end: median %.3f / %.3f ms (target < 5 ms each)\n",
                kd::bench::verdict(met), startMedian, endMedian);
    const bool seenMet = seenMedian < 1;
    std::printf("%s  noting a running game: median %.3f ms (target < 1 ms)\n",
                kd::bench::verdict(seenMet), seenMedian);
    const bool copyMet = worstLateMs <= 16;
    std::printf("%s  event loop during the copy: at most %.2f ms late (target <= 16 ms)\n",
                kd::bench::verdict(copyMet), worstLateMs);
    return met && seenMet && copyMet ? 0 : 1;
}
