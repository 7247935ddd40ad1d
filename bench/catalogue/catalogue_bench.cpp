// Times a game-list load into the list controller, the exit check of an
// unchanged list and the write of a changed one. Prints "figure value" lines.
//
//   catalogue_bench first FILE    first load in this (fresh) process, then one
//                                 exit check; peak memory of the whole run
//   catalogue_bench warm FILE     best of several loads
//   catalogue_bench check FILE    best of several exit checks of an unchanged list
//   catalogue_bench write FILE    best of several writes of a changed list (to a copy)
//   catalogue_bench cache FILE    the list's digest, and its cache's encoding, size and
//                                 decoding (best of several each); writes FILE.kdcache
//   catalogue_bench cached FILE   start-up from FILE.kdcache in this (fresh) process:
//                                 loadGameList with the cache, then the controller; peak
//                                 memory of the whole run

#include "catalogue/gamelist.h"
#include "catalogue/gamelistcache.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/gamelistcopies.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>
#include <span>
#include <sys/resource.h>

using namespace kd;

namespace {

constexpr int kRepeats = 5;

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double peakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// Load as the launcher does at start-up: read, append, let the table's proxy
// map every row.
std::unique_ptr<GameListController> load(const QString& path) {
    auto controller = std::make_unique<GameListController>();
    GameListLoad result = loadGameList(path);
    if (result.status != GameListLoad::Status::Loaded) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(path), qPrintable(result.reason));
        std::exit(1);
    }
    controller->addObjects(std::move(result.records));
    controller->proxyModel()->rowCount();
    controller->setSelectionIndex(0);
    return controller;
}

GameListSave::Status exitCheck(const QString& path, const GameListController& c) {
    return saveGameListIfChanged(path, c.content(), c.arrangedObjects()).status;
}

// Best of kRepeats runs of `work`, in seconds.
template <typename Work> double best(Work work) {
    double fastest = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        fastest = std::min(fastest, seconds(t0));
    }
    return fastest;
}

int cacheFigures(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    const auto span = std::as_bytes(std::span(bytes.constData(), std::size_t(bytes.size())));
    ListDigest digest;
    std::printf("digest_s %.4f\n", best([&] { digest = digestOf(span); }));
    const GameListLoad list = loadGameList(path);
    std::optional<std::string> cache;
    std::printf("encode_s %.4f\n",
                best([&] { cache = encodeGameListCache(list.records, digest, bytes.size()); }));
    if (!cache)
        return 1;
    std::printf("list_bytes %lld cache_bytes %zu\n", qlonglong(bytes.size()), cache->size());
    const auto cacheSpan = std::as_bytes(std::span(cache->data(), cache->size()));
    // Timed without the comparison and without freeing the records.
    bool same = true;
    double fastest = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto records = decodeGameListCache(cacheSpan, digest, bytes.size());
        fastest = std::min(fastest, seconds(t0));
        same = same && records && *records == list.records;
    }
    std::printf("decode_s %.4f%s\n", fastest, same ? "" : " (DIFFERENT?)");
    QFile out(path + QStringLiteral(".kdcache"));
    if (!out.open(QIODevice::WriteOnly) || out.write(cache->data(), qint64(cache->size())) < 0)
        return 1;
    return same ? 0 : 1;
}

// A start-up's load with a valid cache (FILE.kdcache, which `cache` writes), in
// this fresh process: loadGameList with the cache, then the controller as in
// load().
int cachedStart(const QString& path) {
    const auto t0 = std::chrono::steady_clock::now();
    GameListLoad result = loadGameList(path, path + QStringLiteral(".kdcache"));
    const double loaded = seconds(t0);
    if (result.status != GameListLoad::Status::Loaded || !result.fromCache) {
        std::fprintf(stderr, "%s was not read from its cache\n", qPrintable(path));
        return 1;
    }
    const std::size_t records = result.records.size();
    GameListController controller;
    controller.addObjects(std::move(result.records));
    controller.proxyModel()->rowCount();
    controller.setSelectionIndex(0);
    std::printf("cached_load_s %.4f\ncached_start_s %.4f\nrecords %zu\ncached_peak_rss_mb %.1f\n",
                loaded, seconds(t0), records, peakRssMb());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s first|warm|check|write|cache|cached FILE\n", argv[0]);
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);

    if (mode == QLatin1String("first")) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto controller = load(path);
        std::printf("first_load_s %.4f\n", seconds(t0));
        std::printf("records %zu\n", controller->content().size());
        const auto t1 = std::chrono::steady_clock::now();
        const bool unchanged = exitCheck(path, *controller) == GameListSave::Status::Unchanged;
        std::printf("first_exit_check_s %.4f%s\n", seconds(t1), unchanged ? "" : " (CHANGED?)");
        std::printf("peak_rss_mb %.1f\n", peakRssMb());
        return unchanged ? 0 : 1;
    }
    if (mode == QLatin1String("warm")) {
        double best = 1e9;
        for (int i = 0; i < kRepeats; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            const auto controller = load(path);
            best = std::min(best, seconds(t0));
        }
        std::printf("warm_load_s %.4f\n", best);
        return 0;
    }
    if (mode == QLatin1String("cache"))
        return cacheFigures(path);
    if (mode == QLatin1String("cached"))
        return cachedStart(path);
    const auto controller = load(path);
    if (mode == QLatin1String("check")) {
        double best = 1e9;
        for (int i = 0; i < kRepeats; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            if (exitCheck(path, *controller) != GameListSave::Status::Unchanged) {
                std::fprintf(stderr, "the unchanged list compared as changed\n");
                return 1;
            }
            best = std::min(best, seconds(t0));
        }
        std::printf("exit_check_s %.4f\n", best);
        return 0;
    }
    if (mode == QLatin1String("write")) {
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("Kaleidrome.xml"));
        // Sorted by title: every record is where it was, the arranged order is not.
        controller->proxyModel()->sort(GameListModel::Title);
        double best = 1e9;
        for (int i = 0; i < kRepeats; ++i) {
            QFile::remove(copy);
            QFile::copy(path, copy);
            const auto t0 = std::chrono::steady_clock::now();
            if (exitCheck(copy, *controller) != GameListSave::Status::Written) {
                std::fprintf(stderr, "the changed list was not written\n");
                return 1;
            }
            best = std::min(best, seconds(t0));
        }
        std::printf("write_changed_s %.4f\n", best);
        // What keeping the replaced file adds to that save: its link among the
        // copies, with the pruning to the newest ten.
        const QString copies = dir.filePath(QStringLiteral("copies"));
        double bestCopy = 1e9;
        for (int i = 0; i < 2 * kRepeats; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            if (!keepGameListCopy(copy, copies, 10)) {
                std::fprintf(stderr, "no copy kept\n");
                return 1;
            }
            bestCopy = std::min(bestCopy, seconds(t0));
        }
        std::printf("keep_copy_s %.5f\n", bestCopy);
        // The rewrite keeps every record; the bytes differ only where the
        // generator's layout differs from ours.
        QFile a(path), b(copy);
        if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
            return 1;
        const QList<QByteArray> before = a.readAll().split('\n'), after = b.readAll().split('\n');
        qsizetype differing = 0, first = -1;
        for (qsizetype i = 0; i < std::min(before.size(), after.size()); ++i)
            if (before[i] != after[i] && differing++ == 0)
                first = i;
        std::printf("lines_before %lld lines_after %lld differing_lines %lld\n",
                    qlonglong(before.size()), qlonglong(after.size()), qlonglong(differing));
        if (first >= 0)
            std::printf("first difference, line %lld:\n  %s\n  %s\n", qlonglong(first + 1),
                        before[first].constData(), after[first].constData());
        return 0;
    }
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}
