// What finding a game and seeing which ones are playable cost on a big list.
//
//   filter_bench search FILE    keystrokes in the search field until the table
//                               has re-filtered and repainted, against Qt's
//                               QSortFilterProxyModel with a regular expression
//                               over every column; medians and p95
//   filter_bench scan FILE N    a ROMs folder of N archives listed into the
//                               availability column, with the event loop's
//                               worst lateness meanwhile
//   filter_bench index FILE     folding the whole list for searching, and the
//                               longest slice the launcher builds it in
// Prints "figure value" lines.

#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "catalogue/romfolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace kd;

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values.empty()
               ? 0
               : values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

void load(GameListController& controller, const QString& path) {
    GameListLoad result = loadGameList(path);
    if (result.status != GameListLoad::Status::Loaded) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(path), qPrintable(result.reason));
        std::exit(1);
    }
    controller.addObjects(std::move(result.records));
}

// A table as the launcher sets it up: the filtered rows, the shared selection
// of whole rows.
void showList(QTableView& table, GameListController& controller) {
    table.setModel(controller.shownModel());
    table.setSelectionModel(controller.selectionModel());
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.setSelectionMode(QAbstractItemView::SingleSelection);
}

// Texts as typed: each query letter by letter, then erased letter by letter.
QStringList keystrokes() {
    const QStringList queries{QStringLiteral("zorvex"), QStringLiteral("kestrel 3"),
                              QStringLiteral("CAFÉ"), QStringLiteral("tek19"),
                              QStringLiteral("brightwater 2001 sol")};
    QStringList texts;
    for (int round = 0; round < 3; ++round) {
        for (const QString& query : queries) {
            for (qsizetype n = 1; n <= query.size(); ++n)
                texts << query.left(n);
            for (qsizetype n = query.size() - 1; n >= 0; --n)
                texts << query.left(n);
        }
    }
    return texts;
}

// One keystroke: the filter changes, then the table lays itself out and paints.
template <typename Apply> std::vector<double> type(const QStringList& texts, Apply apply) {
    std::vector<double> times;
    for (const QString& text : texts) {
        const auto t0 = Clock::now();
        apply(text);
        QApplication::processEvents();
        times.push_back(ms(t0));
    }
    return times;
}

int search(const QString& path) {
    GameListController controller;
    load(controller, path);
    QTableView ours;
    showList(ours, controller);
    ours.resize(900, 560);
    ours.show();
    while (controller.buildSearchIndexSlice()) {
    }
    QApplication::processEvents();

    // The baseline: Qt's own filter proxy over the same arranged list.
    QSortFilterProxyModel qt;
    qt.setSourceModel(controller.proxyModel());
    qt.setFilterKeyColumn(-1);
    QTableView theirs;
    theirs.setModel(&qt);
    theirs.resize(900, 560);
    theirs.show();
    QApplication::processEvents();

    const QStringList texts = keystrokes();
    const std::vector<double> ourTimes =
        type(texts, [&](const QString& text) { controller.setSearchText(text); });
    // Qt's proxy takes a second or more a keystroke on big lists: a sample will do.
    const std::vector<double> qtTimes = type(texts.mid(0, 60), [&](const QString& text) {
        qt.setFilterRegularExpression(QRegularExpression(
            QRegularExpression::escape(text), QRegularExpression::CaseInsensitiveOption));
    });
    std::printf("keystrokes %lld\n", qlonglong(texts.size()));
    std::printf("search_median_ms %.2f\nsearch_p95_ms %.2f\nsearch_max_ms %.2f\n",
                percentile(ourTimes, 0.5), percentile(ourTimes, 0.95), percentile(ourTimes, 1));
    std::printf("qt_regex_median_ms %.2f\nqt_regex_p95_ms %.2f\n", percentile(qtTimes, 0.5),
                percentile(qtTimes, 0.95));
    return 0;
}

// A folder of `count` empty archives named after the list's own games (every
// third one missing), made once and kept for the next run.
QString romsFolder(const GameListController& controller, int count) {
    const QString folder =
        QDir::tempPath() + QStringLiteral("/kd-catalogue-bench/roms-%1").arg(count);
    const QString done = folder + QStringLiteral("/.complete");
    if (QFile::exists(done))
        return folder;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    int made = 0;
    for (std::size_t i = 0; made < count; ++i) {
        QString name;
        if (i < controller.content().size()) {
            if (i % 3 == 2)
                continue;
            name = gameName(controller.content()[i]).value_or(QString());
        }
        if (name.isEmpty())
            name = QStringLiteral("extra%1").arg(i);
        const QByteArray file = QFile::encodeName(folder + u'/' + name + QStringLiteral(".zip"));
        ::close(::open(file.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        ++made;
    }
    QFile(done).open(QIODevice::WriteOnly);
    return folder;
}

int scan(const QString& path, int count) {
    GameListController controller;
    load(controller, path);
    QTableView table;
    showList(table, controller);
    table.show();
    const QString folder = romsFolder(controller, count);
    QApplication::processEvents();

    std::vector<double> totals;
    double worstLate = 0;
    for (int round = 0; round < 3; ++round) {
        RomFolderWatcher watcher;
        bool shown = false;
        Clock::time_point t0;
        // As the launcher does: the listing is matched with the list in slices.
        QObject::connect(&watcher, &RomFolderWatcher::listed, &controller,
                         &GameListController::setRomArchives);
        const QMetaObject::Connection done =
            QObject::connect(&controller, &GameListController::availabilityChanged, [&] {
                QApplication::processEvents();
                totals.push_back(ms(t0));
                shown = true;
            });
        // A 10 ms timer: how late does it come while the folder is listed?
        QTimer tick;
        auto last = Clock::now();
        QObject::connect(&tick, &QTimer::timeout, [&] {
            worstLate = std::max(worstLate, ms(last) - 10);
            last = Clock::now();
        });
        tick.start(10);
        t0 = Clock::now();
        last = t0;
        watcher.setFolder(folder);
        while (!shown)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        tick.stop();
        QObject::disconnect(done);
    }
    int available = 0;
    for (int row = 0; row < controller.model()->rowCount(); ++row)
        available += controller.model()->isAvailable(row);
    std::printf("archives %d\navailable_games %d\n", count, available);
    std::printf("scan_median_ms %.1f\nscan_worst_lateness_ms %.1f\n", percentile(totals, 0.5),
                worstLate);
    return 0;
}

int index(const QString& path) {
    GameListController controller;
    load(controller, path);
    const auto t0 = Clock::now();
    double longest = 0;
    for (bool more = true; more;) {
        const auto slice = Clock::now();
        more = controller.buildSearchIndexSlice();
        longest = std::max(longest, ms(slice));
    }
    std::printf("index_build_ms %.1f\nindex_longest_slice_ms %.1f\n", ms(t0), longest);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QString path = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (mode == QLatin1String("search") && !path.isEmpty())
        return search(path);
    if (mode == QLatin1String("scan") && argc > 3)
        return scan(path, std::atoi(argv[3]));
    if (mode == QLatin1String("index") && !path.isEmpty())
        return index(path);
    std::fprintf(stderr, "usage: %s search FILE | scan FILE N | index FILE\n", argv[0]);
    return 2;
}
