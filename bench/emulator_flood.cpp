// emulator_flood_bench [MiB]: the demo emulator writes MiB of frame-log lines as
// fast as it can; prints the rate at which EmulatorProcess hands them over and the
// longest gap between ticks of a 1 ms timer meanwhile (how long the event loop
// was held), next to the same figure for an idle half second before it: on a
// shared machine the idle figure is the noise floor.
#include "emulator/emulatorprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long long mib = argc > 1 ? std::atoll(argv[1]) : 256;
    const long long bytes = mib << 20;
    qputenv("KD_DEMO_SCRIPT", "flood " + QByteArray::number(bytes));

    kd::EmulatorProcess process;
    long long received = 0;
    long long chunks = 0;
    qsizetype largest = 0;
    QElapsedTimer clock;
    QObject::connect(&process, &kd::EmulatorProcess::outputReceived, [&](const QByteArray& c) {
        received += c.size();
        ++chunks;
        largest = std::max(largest, c.size());
    });
    double seconds = 0;
    QObject::connect(&process, &kd::EmulatorProcess::outputEnded, [&] {
        seconds = clock.nsecsElapsed() / 1e9;
        if (process.hasEnded())
            app.quit();
    });
    QObject::connect(&process, &kd::EmulatorProcess::processEnded, [&](int) {
        if (process.outputAtEnd())
            app.quit();
    });

    QElapsedTimer sinceTick;
    qint64 longestGapNs = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGapNs = std::max(longestGapNs, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });

    // Idle first, for the noise floor; then the flood.
    sinceTick.start();
    tick.start(1);
    QTimer::singleShot(500, &app, &QCoreApplication::quit);
    app.exec();
    const qint64 idleGapNs = longestGapNs;
    longestGapNs = 0;

    QString error;
    clock.start();
    if (!process.start(QStringLiteral(KD_DEMO_EMULATOR), {}, QDir::tempPath(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    sinceTick.restart();
    app.exec();

    std::printf("flood of %lld MiB: received %lld bytes in %lld chunks (largest %lld)\n", mib,
                received, chunks, static_cast<long long>(largest));
    std::printf("rate: %.1f MiB/s (%.3f s)\n", received / 1048576.0 / seconds, seconds);
    std::printf("longest event-loop gap with a 1 ms timer: %.2f ms (idle: %.2f ms)\n",
                longestGapNs / 1e6, idleGapNs / 1e6);
    return received == bytes && process.exitStatus() == 0 ? 0 : 1;
}
