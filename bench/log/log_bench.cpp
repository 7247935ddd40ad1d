// Floods a LogView with emulator-like output the way the launcher feeds it:
// chunks of pipe sizes through the stream decoder, the event loop turning every
// few chunks, a scroll to the end at most every 16 ms. Prints throughput, peak
// memory per byte of log and the longest event-loop stall. Then finds a line
// that is only at the very top and the very bottom of that log with the find
// bar, as a user would, and prints how long each find took and the longest stall.
//
// Usage: log_bench [MiB, default 256]
#include "log/logtext.h"
#include "log/utf8streamdecoder.h"
#include "log/view/logfindbar.h"
#include "log/view/logview.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

qint64 peakRssBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

qint64 currentRssBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

double mib(qint64 bytes) {
    return double(bytes) / (1024.0 * 1024.0);
}

// 8 MiB of lines like an emulator's: varying lengths, some non-ASCII, a few
// tabs, "\r\n" line ends, long lines and the odd invalid byte.
QByteArray makePool() {
    std::mt19937 random(12345);
    // clang-format off
    const char* words[] = {"cpu", "frame", "rendered", "texture", "sound", "vblank", "irq",
                           "0x00ff3a", "ok", "dma", "polygons", "=", "ms", "layer", "#12"};
    const char* foreign[] = {"\xC3\xA9tat", "\xE6\x97\xA5\xE6\x9C\xAC", "\xE2\x86\x92",
                             "\xF0\x9F\x8E\xAE"};
    // clang-format on
    QByteArray pool;
    pool.reserve(8 * 1024 * 1024 + 4096);
    int line = 0;
    while (pool.size() < 8 * 1024 * 1024) {
        pool.append("[" + QByteArray::number(++line).rightJustified(8, '0') + "] ");
        const int roll = int(random() % 100);
        const int wordCount = roll == 0 ? 400 : 1 + int(random() % 30);
        for (int w = 0; w < wordCount; ++w) {
            if (random() % 25 == 0)
                pool.append(foreign[random() % std::size(foreign)]);
            else
                pool.append(words[random() % std::size(words)]);
            pool.append(random() % 17 == 0 ? '\t' : ' ');
            if (random() % 5000 == 0)
                pool.append('\xFF');
        }
        pool.append(roll < 10 ? "\r\n" : "\n");
    }
    return pool;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 total = qint64(argc > 1 ? std::max(1, atoi(argv[1])) : 256) * 1024 * 1024;

    const QByteArray pool = makePool();
    std::mt19937 random(777);

    kd::LogView view;
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    const qint64 baseline = currentRssBytes();

    // A 10 ms timer that notes how late it fires.
    qint64 worstStallNs = 0;
    QElapsedTimer stallClock;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        worstStallNs = std::max(worstStallNs, stallClock.nsecsElapsed() - 10'000'000);
        stallClock.restart();
    });
    ticker.start(10);
    stallClock.start();

    // Found only here and at the very end.
    const QByteArray mark = "rendered frame mark of the find benchmark\n";
    view.appendUtf8(mark);

    kd::Utf8StreamDecoder decoder;
    QByteArray chunk;
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = cpuSeconds();
    QElapsedTimer sinceScroll;
    sinceScroll.start();
    qint64 fed = 0;
    qint64 at = 0;
    int chunks = 0;
    while (fed < total) {
        // Pipe-sized reads, 4 KiB to 1 MiB, copied out as a reader would.
        const qint64 size = std::min<qint64>(total - fed, qint64(4096) << (random() % 9));
        chunk.resize(qsizetype(size));
        for (qint64 done = 0; done < size;) {
            const qint64 take = std::min(size - done, pool.size() - at);
            std::memcpy(chunk.data() + done, pool.constData() + at, size_t(take));
            done += take;
            at = (at + take) % pool.size();
        }
        decoder.decode(chunk, [&view](QByteArrayView piece) { view.appendUtf8(piece); });
        fed += size;
        if (++chunks % 4 == 0) {
            QApplication::processEvents();
            if (sinceScroll.elapsed() >= 16) {
                view.scrollToEnd();
                sinceScroll.restart();
            }
        }
    }
    decoder.finish([&view](QByteArrayView piece) { view.appendUtf8(piece); });
    view.appendUtf8(QByteArray("\n" + mark));
    view.scrollToEnd();
    QApplication::processEvents();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuStart;
    const qint64 peak = peakRssBytes();

    std::printf("fed:                %8.0f MiB in %d chunks, %lld lines\n", mib(fed), chunks,
                static_cast<long long>(view.lineCount()));
    std::printf("pipeline:           %8.0f MiB/s (%.2f s wall), %.0f MiB/s of CPU time\n",
                mib(fed) / seconds, seconds, mib(fed) / cpu);
    std::printf("held by the view:   %8.3f bytes per byte of log\n",
                double(view.capacityBytes()) / double(view.byteLength()));
    std::printf("peak RSS:           %8.0f MiB, %.3f bytes per byte of log (%.3f above start-up)\n",
                mib(peak), double(peak) / double(view.byteLength()),
                double(peak - baseline) / double(view.byteLength()));
    std::printf("longest stall:      %8.1f ms beyond the 10 ms tick\n", double(worstStallNs) / 1e6);
    const bool endVisible = view.isEndVisible();
    std::printf("end visible:        %8s\n", endVisible ? "yes" : "NO");

    // The find bar on that log, driven with Enter and Shift+Enter.
    kd::LogFindBar bar(&view);
    bar.open();
    view.verticalScrollBar()->setValue(0);
    // Milliseconds from the key to the match shown; the match's first byte.
    auto find = [&](const QString& needle, bool matchCase, Qt::KeyboardModifiers keys, qint64* at) {
        bar.field()->setText(needle);
        bar.caseSwitch()->setChecked(matchCase);
        QEventLoop loop;
        QObject::connect(&bar, &kd::LogFindBar::finished, &loop, &QEventLoop::quit);
        QElapsedTimer took;
        took.start();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, keys);
        QApplication::sendEvent(bar.field(), &enter);
        if (bar.isSearching())
            loop.exec();
        const double ms = double(took.nsecsElapsed()) / 1e6;
        *at = bar.status() == QStringLiteral("Not found") ? -1 : view.selectionStart();
        return ms;
    };
    const QString needle = QString::fromUtf8(mark).trimmed();
    const qint64 lastMark = view.byteLength() - mark.size();
    bool foundRight = true;
    double worstFirst = 0;
    double worstLast = 0;
    worstStallNs = 0;
    stallClock.restart();
    for (const bool matchCase : {false, true}) {
        qint64 at = 0;
        view.setSelection(0, 0);
        const double first = find(needle, matchCase, Qt::NoModifier, &at);
        foundRight &= at == 0;
        const double last = find(needle, matchCase, Qt::NoModifier, &at);
        foundRight &= at == lastMark;
        const double back = find(needle, matchCase, Qt::ShiftModifier, &at);
        foundRight &= at == 0;
        const double none = find(needle + QStringLiteral("!"), matchCase, Qt::NoModifier, &at);
        foundRight &= at == -1;
        std::printf("find %-14s first match %6.1f ms, last match %6.1f ms, back to the first "
                    "%6.1f ms, not found %6.1f ms\n",
                    matchCase ? "(match case):" : "(any case):", first, last, back, none);
        worstFirst = std::max(worstFirst, first);
        worstLast = std::max({worstLast, last, back});
    }
    std::printf("find first match:   %8.1f ms\n", worstFirst);
    std::printf("find last match:    %8.1f ms\n", worstLast);
    std::printf("find longest stall: %8.1f ms beyond the 10 ms tick\n", double(worstStallNs) / 1e6);
    std::printf("find matches right: %8s\n", foundRight ? "yes" : "NO");
    view.clear();

    // The decoder alone, on the pool.
    {
        kd::Utf8StreamDecoder decoder;
        QByteArray out;
        out.reserve(pool.size() + 4096);
        const double cpuStart = cpuSeconds();
        for (int round = 0; round < 16; ++round) {
            out.resize(0);
            for (qsizetype at = 0; at < pool.size(); at += 65536)
                decoder.decode(
                    QByteArrayView(pool).sliced(at, std::min<qsizetype>(65536, pool.size() - at)),
                    out);
        }
        std::printf("decoder alone:      %8.0f MiB/s of CPU time\n",
                    mib(16 * pool.size()) / (cpuSeconds() - cpuStart));
    }
    // The storage alone, without decoding or painting.
    {
        kd::LogText text;
        const double cpuStart = cpuSeconds();
        for (int round = 0; round < 8; ++round) {
            for (qsizetype at = 0; at < pool.size(); at += 65536)
                text.append(
                    QByteArrayView(pool).sliced(at, std::min<qsizetype>(65536, pool.size() - at)));
        }
        std::printf(
            "log text alone:     %8.0f MiB/s of CPU time (first touch of memory included)\n",
            mib(text.size()) / (cpuSeconds() - cpuStart));
    }

    return endVisible && foundRight ? 0 : 1;
}
