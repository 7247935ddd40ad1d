// The launcher's start-up with a large game list, and the cost of a selection
// change with real artwork.
//
//   startup_bench GAMELIST [--reps N] [--big GAMELIST]
//       Start-up: runs fresh processes of four kinds N times each (default 7),
//       interleaved, and times each from its spawn to its "shown" line:
//         bare      a Qt application with one main window (startup_bare);
//         list      loadGameList + GameListController::addObjects alone, timed
//                   inside a fresh process;
//         cold      the launcher as main.cpp starts it, on a bundle copy whose
//                   Kaleidrome.xml is GAMELIST, without a list cache, until its
//                   first main window is exposed;
//         cached    the same with the cache the cold run wrote.
//       Targets: cached median <= bare median + 50 ms; cold median <= 1.5 x
//       (bare median + list median); with --big, the cached start above the
//       bare window grows at most 4 times from GAMELIST to the big list. Prints
//       each launcher's peak memory. Then runs the selection benchmark below in
//       a fresh process.
//   startup_bench huge GAMELIST [--reps N]
//       The launcher on GAMELIST and on a copy whose first record has a 10 MB
//       title, N times each, interleaved. Target: the copy's median <= 1.5 x the
//       list's (the table, its tooltips and the status line show only the
//       title's start).
//   startup_bench selection GAMELIST [--rows N]
//       Generates 640x480 PNG/JPEG snapshots and 32x32 ICO icons for the first
//       rows of the list, points the form's folders at them (packaged toggles
//       off) and times setSelectionIndex over them: the whole
//       tableViewSelectionDidChange path. Target: median < 16 ms.
//
// Internal modes (spawned by the above): launcher RESOURCES, list GAMELIST.
#include "app/appdelegate.h"
#include "app/launchercommandline.h"
#include "app/translations.h"
#include "app/windows/imageview.h"
#include "app/windows/mainwindow.h"
#include "benchsupport.h"
#include "catalogue/gamelist.h"
#include "catalogue/gamelistcontroller.h"
#include "firstexpose.h"
#include "platform/instancechannel.h"
#include "platform/uilanguage.h"
#include "settings/launcherpaths.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using kd::bench::quantile;
using kd::bench::verdict;

constexpr int kChildLimitMs = 120'000;

double msSince(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

// The platform every process of the benchmark uses: the caller's, else xcb when
// there is a display, else offscreen.
void choosePlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// A private home: settings, data and runtime folders of its own, so nothing of
// the user's is read or touched.
bool makeHome(const QString& home) {
    for (const char* sub : {"config", "data", "runtime"})
        if (!QDir().mkpath(home + u'/' + QLatin1String(sub)))
            return false;
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/cache")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home + QStringLiteral("/runtime")));
    return QDir().mkpath(home + QStringLiteral("/roms"));
}

// A copy of the built bundle's resources with `gameList` as its Kaleidrome.xml.
bool makeBundle(const QString& resources, const QString& gameList) {
    if (!kd::bench::copyTree(QStringLiteral(KD_BUNDLE_RESOURCES), resources))
        return false;
    const QString target = resources + QStringLiteral("/Kaleidrome.xml");
    QFile::remove(target);
    return QFile::copy(gameList, target);
}

// ---- child: the launcher, started the way main.cpp starts it ----

int runLauncher(int argc, char** argv, const QString& resources) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    const QString language = kd::uiLanguage(kd::translatedLanguages());
    {
        // The launcher's own command line is read before there is a display.
        QCoreApplication core(argc, argv);
        const kd::Translations translations(resources, language);
        kd::parseLauncherCommandLine({QCoreApplication::arguments().constFirst()},
                                     QDir::currentPath());
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(kd::AppDelegate::LauncherName);
    QApplication::setOrganizationName(QStringLiteral("Kaleidrome"));
    const kd::Translations translations(resources, language);
    const double appMs = msSince(sinceMain);
    // The one launcher of the benchmark's private runtime folder.
    kd::InstanceChannel channel;
    if (channel.claim({}) != kd::InstanceChannel::Role::Running) {
        std::fprintf(stderr, "not the one launcher: %s\n", qPrintable(channel.error()));
        return 1;
    }
    QApplication::setDesktopFileName(QStringLiteral("org.example.KaleidromeLauncher"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(resources + QStringLiteral("/kaleidrome-launcher.png")));
    const double channelMs = msSince(sinceMain) - appMs;

    kd::bench::QuietDesktop desktop;
    kd::SettingsStore store(kd::SettingsStore::defaultFilePath());
    double builtMs = 0;
    double awakeMs = 0;
    kd::bench::FirstExpose watch([&](const QString& title) {
        std::printf("phases_ms qapplication %.1f channel %.1f constructor %.1f awakeFromNib %.1f "
                    "shown %.1f\n",
                    appMs, channelMs, builtMs, awakeMs, msSince(sinceMain));
        std::printf("alerts %d\n", desktop.alerts);
        std::printf("shown %s\n", qPrintable(title));
        std::fflush(stdout);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    });
    int status = 0;
    {
        kd::AppDelegate delegate(desktop, store, resources);
        builtMs = msSince(sinceMain);
        delegate.awakeFromNib();
        awakeMs = msSince(sinceMain);
        QTimer::singleShot(0, &delegate, &kd::AppDelegate::applicationDidFinishLaunching);
        status = QApplication::exec();
    }
    // After the delegate, so a cache written on its thread is counted.
    std::printf("peak_rss_mb %.1f\n", double(kd::bench::procStatusBytes("VmHWM")) / (1 << 20));
    return status;
}

// ---- child: the list load alone ----

int runList(int argc, char** argv, const QString& gameList) {
    QCoreApplication application(argc, argv);
    QElapsedTimer clock;
    clock.start();
    kd::GameListController controller;
    kd::GameListLoad load = kd::loadGameList(gameList);
    if (load.status != kd::GameListLoad::Status::Loaded) {
        std::fprintf(stderr, "cannot load %s: %s\n", qPrintable(gameList), qPrintable(load.reason));
        return 1;
    }
    const size_t records = load.records.size();
    controller.addObjects(std::move(load.records));
    const double ms = msSince(clock);
    std::printf("records %zu\nlist_ms %.1f\nshown\n", records, ms);
    std::fflush(stdout);
    return 0;
}

// ---- the start-up driver ----

struct ChildRun {
    double spawnToShownMs = -1; // -1: never shown
    QByteArray output;
};

// Spawns a child and times it from the spawn until it prints "shown"; waits for
// its end before returning, so runs never overlap.
ChildRun timeChild(const QString& program, const QStringList& arguments) {
    ChildRun result;
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(program, arguments);
    if (!child.waitForStarted(kChildLimitMs))
        return result;
    while (result.spawnToShownMs < 0 && child.waitForReadyRead(kChildLimitMs)) {
        result.output += child.readAllStandardOutput();
        if (result.output.startsWith("shown") || result.output.contains("\nshown"))
            result.spawnToShownMs = msSince(clock);
    }
    if (!child.waitForFinished(kChildLimitMs)) {
        child.kill();
        child.waitForFinished();
    }
    result.output += child.readAllStandardOutput();
    if (result.spawnToShownMs < 0 || child.exitCode() != 0)
        std::fprintf(stderr, "%s %s failed:\n%s\n", qPrintable(program),
                     qPrintable(arguments.join(u' ')), child.readAllStandardError().constData());
    return result;
}

// The number after `name ` on a line of `output`; -1 when missing.
double figure(const QByteArray& output, const QByteArray& name) {
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith(QByteArray(name + ' ')))
            return line.mid(name.size() + 1).trimmed().toDouble();
    return -1;
}

QByteArray lineStartingWith(const QByteArray& output, const QByteArray& prefix) {
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith(prefix))
            return line;
    return {};
}

// One kind of start, timed `reps` times.
struct Kind {
    std::vector<double> ms;
    double median() const { return quantile(ms, 0.5); }
    void print(const char* label) const {
        std::printf("%-44s median %4.0f ms (min %.0f, max %.0f)\n", label, median(),
                    quantile(ms, 0), quantile(ms, 1));
    }
};

struct Startups {
    Kind bare, cold, cached, list;
    double peakColdMb = -1, peakCachedMb = -1, listMb = 0, records = -1;
    QByteArray lastCachedOutput;
    bool ok = true;
};

// The bare window, the launcher without a cache (removed before each run), the
// launcher with the cache the run before it left, and the list load alone,
// interleaved `reps` times on a bundle of their own.
Startups timeStartups(const QString& self, const QString& gameList, int reps) {
    Startups r;
    QTemporaryDir home;
    const QString resources =
        home.path() + QStringLiteral("/Kaleidrome Launcher.app/Contents/Resources");
    if (!home.isValid() || !makeHome(home.path()) || !makeBundle(resources, gameList)) {
        r.ok = false;
        return r;
    }
    {
        // The start-up checks find the emulator and a ROMs folder: no alert comes up.
        kd::SettingsStore store(kd::SettingsStore::defaultFilePath());
        store.setObject(QString(home.path() + QStringLiteral("/roms")), kd::keys::RomsPath);
        store.synchronize();
    }
    const QString cache = kd::LauncherPaths::listCacheFile();
    r.listMb = double(QFileInfo(gameList).size()) / (1 << 20);
    for (int rep = 0; rep < reps; ++rep) {
        const ChildRun b = timeChild(QStringLiteral(KD_BARE_WINDOW), {});
        const ChildRun l = timeChild(self, {QStringLiteral("list"), gameList});
        QFile::remove(cache);
        const ChildRun cold = timeChild(self, {QStringLiteral("launcher"), resources});
        const bool cacheWritten = QFileInfo::exists(cache);
        const ChildRun cached = timeChild(self, {QStringLiteral("launcher"), resources});
        r.ok = r.ok && b.spawnToShownMs >= 0 && l.spawnToShownMs >= 0 && cold.spawnToShownMs >= 0 &&
               cached.spawnToShownMs >= 0 && figure(cold.output, "alerts") == 0 &&
               figure(cached.output, "alerts") == 0 && cacheWritten;
        r.bare.ms.push_back(b.spawnToShownMs);
        r.list.ms.push_back(figure(l.output, "list_ms"));
        r.cold.ms.push_back(cold.spawnToShownMs);
        r.cached.ms.push_back(cached.spawnToShownMs);
        r.records = figure(l.output, "records");
        r.peakColdMb = std::max(r.peakColdMb, figure(cold.output, "peak_rss_mb"));
        r.peakCachedMb = std::max(r.peakCachedMb, figure(cached.output, "peak_rss_mb"));
        r.lastCachedOutput = cached.output;
        std::printf("rep %d: bare window %.0f ms, launcher without a cache %.0f ms, with the "
                    "cache %.0f ms, list load alone %.0f ms%s\n",
                    rep + 1, b.spawnToShownMs, cold.spawnToShownMs, cached.spawnToShownMs,
                    r.list.ms.back(), cacheWritten ? "" : " [no cache was written]");
        std::fflush(stdout);
    }
    return r;
}

void printStartups(const Startups& r) {
    std::printf("\n%.0f records, %.1f MiB of list:\n", r.records, r.listMb);
    r.bare.print("bare Qt window, spawn to shown:");
    r.cached.print("launcher with the cache, to first window:");
    r.cold.print("launcher without a cache, to first window:");
    r.list.print("list load alone (parse + controller):");
    std::printf("  last cached run's phases from main(): %s\n",
                lineStartingWith(r.lastCachedOutput, "phases_ms").mid(10).constData());
    std::printf("  window: %s\n", lineStartingWith(r.lastCachedOutput, "shown").mid(6).constData());
    std::printf("  launcher peak memory: without a cache %.0f MiB (%.2f bytes per byte of list), "
                "with it %.0f MiB (%.2f)\n",
                r.peakColdMb, r.peakColdMb / r.listMb, r.peakCachedMb, r.peakCachedMb / r.listMb);
}

int runStartup(const QString& self, const QString& gameList, const QString& bigList, int reps) {
    const Startups small = timeStartups(self, gameList, reps);
    printStartups(small);
    const double above = small.cached.median() - small.bare.median();
    const double coldRatio = small.cold.median() / (small.bare.median() + small.list.median());
    bool met = small.ok && above <= 50 && coldRatio <= 1.5;
    std::printf("%s  first window with the cache - bare window = %.1f ms (target <= 50)\n",
                verdict(small.ok && above <= 50), above);
    std::printf("%s  first window without a cache / (bare window + list load) = %.3f (target <= "
                "1.5)%s\n",
                verdict(small.ok && coldRatio <= 1.5), coldRatio,
                small.ok ? "" : "  [a run failed, raised an alert or wrote no cache]");
    if (!bigList.isEmpty()) {
        const Startups big = timeStartups(self, bigList, reps);
        printStartups(big);
        const double growth = (big.cached.median() - big.bare.median()) / std::max(above, 1.0);
        const bool grows = big.ok && growth <= 4;
        met = met && grows;
        std::printf("%s  first window with the cache above the bare window, %.0f / %.0f records "
                    "= %.2f (target <= 4)%s\n",
                    verdict(grows), big.records, small.records, growth,
                    big.ok ? "" : "  [a run failed, raised an alert or wrote no cache]");
    }
    return met ? 0 : 1;
}

// ---- a list with one huge title ----

// GAMELIST with the first title replaced by `bytes` of words; empty when the
// list has no title.
QByteArray withHugeTitle(const QByteArray& list, qsizetype bytes) {
    const QByteArray key = "<key>title</key>";
    const qsizetype at = list.indexOf(key);
    const qsizetype open = at < 0 ? -1 : list.indexOf("<string>", at + key.size());
    const qsizetype close = open < 0 ? -1 : list.indexOf("</string>", open);
    if (close < 0)
        return {};
    QByteArray title;
    title.reserve(bytes);
    for (int word = 0; title.size() < bytes; ++word)
        title += QByteArray("Zorvex Quatek Ryubal ").left(7 * (word % 3 + 1));
    title.truncate(bytes);
    const qsizetype start = open + 8;
    return list.left(start) + title + list.mid(close);
}

int runHugeTitle(const QString& self, const QString& gameList, int reps) {
    QTemporaryDir home;
    const QString plain = home.path() + QStringLiteral("/Plain.app/Contents/Resources");
    const QString huge = home.path() + QStringLiteral("/Huge.app/Contents/Resources");
    const QString hugeList = home.filePath(QStringLiteral("huge.xml"));
    QFile source(gameList);
    QFile target(hugeList);
    if (!home.isValid() || !makeHome(home.path()) || !source.open(QIODevice::ReadOnly) ||
        !target.open(QIODevice::WriteOnly))
        return 2;
    const QByteArray hugeBytes = withHugeTitle(source.readAll(), 10 << 20);
    if (hugeBytes.isEmpty() || target.write(hugeBytes) != hugeBytes.size() || !target.flush() ||
        !makeBundle(plain, gameList) || !makeBundle(huge, hugeList))
        return 2;
    {
        kd::SettingsStore store(kd::SettingsStore::defaultFilePath());
        store.setObject(QString(home.path() + QStringLiteral("/roms")), kd::keys::RomsPath);
        store.synchronize();
    }
    std::vector<double> plainMs, hugeMs;
    bool allShown = true;
    // Each list with a cache of its own, as a user of one of them has.
    auto launch = [&](const QString& resources, const char* cache) {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QLatin1String(cache))));
        return timeChild(self, {QStringLiteral("launcher"), resources});
    };
    for (int rep = 0; rep < reps; ++rep) {
        const ChildRun p = launch(plain, "cache-plain");
        const ChildRun h = launch(huge, "cache-huge");
        allShown = allShown && p.spawnToShownMs >= 0 && h.spawnToShownMs >= 0 &&
                   figure(p.output, "alerts") == 0 && figure(h.output, "alerts") == 0;
        plainMs.push_back(p.spawnToShownMs);
        hugeMs.push_back(h.spawnToShownMs);
        std::printf("rep %d: list %.0f ms, with a 10 MB title %.0f ms\n", rep + 1, plainMs.back(),
                    hugeMs.back());
        std::fflush(stdout);
    }
    const double ratio = quantile(hugeMs, 0.5) / quantile(plainMs, 0.5);
    const bool met = allShown && ratio <= 1.5;
    std::printf(
        "%s  10 MB title / same list, spawn to first main window = %.3f (target <= 1.5)%s\n",
        verdict(met), ratio, allShown ? "" : "  [a run failed or raised an alert]");
    return met ? 0 : 1;
}

// ---- selection ----

// A snapshot with the look of a game screen: gradient sky, shapes, a text line
// and a textured band, so it compresses like a real one.
QImage makeSnapshot(int seed) {
    QRandomGenerator random(quint32(seed) + 1);
    QImage image(640, 480, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 480);
    sky.setColorAt(0, QColor::fromHsv(int(random.bounded(360)), 160, 230));
    sky.setColorAt(1, QColor::fromHsv(int(random.bounded(360)), 200, 60));
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 40; ++i) {
        painter.setBrush(QColor::fromHsv(int(random.bounded(360)), 200, 220));
        painter.setPen(Qt::NoPen);
        const QRect r(int(random.bounded(600)), int(random.bounded(440)),
                      8 + int(random.bounded(120)), 8 + int(random.bounded(90)));
        if (i % 2)
            painter.drawEllipse(r);
        else
            painter.drawRect(r);
    }
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(28);
    painter.setFont(font);
    painter.drawText(QRect(0, 20, 640, 40), Qt::AlignCenter,
                     QStringLiteral("STAGE %1  SCORE %2").arg(seed % 9 + 1).arg(seed * 7919));
    painter.end();
    for (int y = 400; y < 480; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < 640; ++x)
            line[x] = qRgb(int(random.bounded(90)), 120 + int(random.bounded(60)), 40);
    }
    return image;
}

QImage makeIcon(int seed) {
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromHsv((seed * 37) % 360, 220, 230));
    painter.drawEllipse(2, 2, 28, 28);
    painter.drawText(icon.rect(), Qt::AlignCenter, QString::number(seed % 10));
    return icon;
}

struct Expected {
    QString snapshot;
    QString icon;
};

int runSelection(int argc, char** argv, const QString& gameList, int rows) {
    // The private home first: QApplication looks at the runtime folder.
    QTemporaryDir home;
    if (!home.isValid() || !makeHome(home.path()))
        return 2;
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString resources =
        home.path() + QStringLiteral("/Kaleidrome Launcher.app/Contents/Resources");
    if (!makeBundle(resources, gameList))
        return 2;
    if (!QImageWriter::supportedImageFormats().contains("ico")) {
        std::fprintf(stderr, "no ICO writer in this Qt\n");
        return 2;
    }
    const QString snaps = home.path() + QStringLiteral("/snaps");
    const QString icons = home.path() + QStringLiteral("/icons");
    QDir().mkpath(snaps);
    QDir().mkpath(icons);

    kd::SettingsStore store(home.path() + QStringLiteral("/settings.conf"));
    store.setObject(QString(home.path() + QStringLiteral("/roms")), kd::keys::RomsPath);
    store.setObject(false, kd::keys::Button_packege2);
    store.setObject(false, kd::keys::Button_packege3);
    store.setObject(snaps, kd::keys::SnapPath);
    store.setObject(icons, kd::keys::IconPath);
    store.synchronize();

    kd::bench::QuietDesktop desktop;
    kd::AppDelegate delegate(desktop, store, resources);
    delegate.awakeFromNib();
    delegate.applicationDidFinishLaunching();
    QApplication::processEvents();

    // Artwork for most of the first `rows` records: a PNG or JPEG snapshot for
    // four in five, an icon for three in four; the rest fall back to the placeholders.
    std::vector<Expected> expected;
    long long artworkBytes = 0;
    int snapshotCount = 0, iconCount = 0;
    for (int row = 0; row < rows; ++row) {
        delegate.setSelectionIndex(row);
        const std::optional<QString> name = delegate.selectedGameName();
        if (delegate.selectionIndex() != row || !name) {
            std::fprintf(stderr, "row %d has no name; the list has too few records\n", row);
            return 2;
        }
        Expected e{resources + QStringLiteral("/no_image.jpg"),
                   resources + QStringLiteral("/no_icon.ico")};
        if (row % 5 != 4) {
            const bool png = row % 2 == 0;
            e.snapshot =
                snaps + u'/' + *name + (png ? QStringLiteral(".png") : QStringLiteral(".jpg"));
            QImageWriter writer(e.snapshot, png ? "png" : "jpeg");
            if (!png)
                writer.setQuality(90);
            if (!writer.write(makeSnapshot(row)))
                return 2;
            artworkBytes += QFileInfo(e.snapshot).size();
            ++snapshotCount;
        }
        if (row % 4 != 3) {
            e.icon = icons + u'/' + *name + QStringLiteral(".ico");
            if (!makeIcon(row).save(e.icon, "ico"))
                return 2;
            ++iconCount;
        }
        expected.push_back(e);
    }

    // Every row visited three times in a shuffled order, never the same row twice
    // in a row (that would change nothing).
    std::vector<int> order;
    QRandomGenerator shuffle(2024);
    for (int round = 0; round < 3; ++round) {
        std::vector<int> pass(static_cast<size_t>(rows));
        for (int i = 0; i < rows; ++i)
            pass[size_t(i)] = i;
        std::shuffle(pass.begin(), pass.end(), shuffle);
        if (!order.empty() && order.back() == pass.front())
            std::swap(pass.front(), pass.back());
        order.insert(order.end(), pass.begin(), pass.end());
    }
    delegate.setSelectionIndex(order.back() == 0 ? 1 : 0);
    QApplication::processEvents();

    std::vector<double> selectMs, paintMs;
    int wrong = 0;
    for (int row : order) {
        QElapsedTimer clock;
        clock.start();
        delegate.setSelectionIndex(row);
        selectMs.push_back(msSince(clock));
        // The repaint it brings, as the next pass of the event loop runs it.
        clock.restart();
        QApplication::processEvents();
        paintMs.push_back(msSince(clock));
        const Expected& e = expected[size_t(row)];
        for (const QString& suffix : {QString(), QStringLiteral("2")}) {
            const auto* main = suffix.isEmpty() ? delegate.window() : delegate.window2();
            const auto* snapshot = main->findChild<kd::ImageView*>("imageView" + suffix);
            const auto* icon = main->findChild<kd::ImageView*>("iconView" + suffix);
            if (snapshot->sourcePath() != e.snapshot || icon->sourcePath() != e.icon ||
                snapshot->image().isNull() || icon->image().isNull())
                ++wrong;
        }
    }
    std::vector<double> totalMs(selectMs.size());
    for (size_t i = 0; i < selectMs.size(); ++i)
        totalMs[i] = selectMs[i] + paintMs[i];

    const double median = quantile(selectMs, 0.5);
    std::printf("selection: %zu changes over %d rows of %s; %d snapshots (PNG and JPEG, 640x480, "
                "%.0f KiB on average), %d icons (ICO 32x32), the rest placeholders\n",
                order.size(), rows, qPrintable(QFileInfo(gameList).fileName()), snapshotCount,
                snapshotCount ? double(artworkBytes) / snapshotCount / 1024 : 0.0, iconCount);
    std::printf("setSelectionIndex:          median %.2f ms, p95 %.2f ms, max %.2f ms\n", median,
                quantile(selectMs, 0.95), quantile(selectMs, 1));
    std::printf("  then the repaint:         median %.2f ms, p95 %.2f ms\n", quantile(paintMs, 0.5),
                quantile(paintMs, 0.95));
    std::printf("  both together:            median %.2f ms, p95 %.2f ms\n", quantile(totalMs, 0.5),
                quantile(totalMs, 0.95));
    std::printf("  views showing the wrong artwork afterwards: %d; alerts: %d\n", wrong,
                desktop.alerts);
    const bool met = wrong == 0 && desktop.alerts == 0 && median < 16;
    std::printf("%s  selection change median = %.2f ms (target < 16 ms)%s\n", verdict(met), median,
                wrong ? "  [wrong artwork shown]" : "");
    return met ? 0 : 1;
}

int usage() {
    std::fprintf(stderr, "usage: startup_bench GAMELIST [--reps N] [--big GAMELIST]\n"
                         "       startup_bench huge GAMELIST [--reps N]\n"
                         "       startup_bench selection GAMELIST [--rows N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    choosePlatform();
    const QByteArray mode = argv[1];
    if (mode == "launcher" && argc >= 3)
        return runLauncher(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (mode == "list" && argc >= 3)
        return runList(argc, argv, QString::fromLocal8Bit(argv[2]));

    // The option after the game list, if any.
    auto option = [&](int from, const char* name, int fallback) {
        for (int i = from; i + 1 < argc; ++i)
            if (std::strcmp(argv[i], name) == 0)
                return std::max(1, std::atoi(argv[i + 1]));
        return fallback;
    };
    if (mode == "selection" && argc >= 3)
        return runSelection(argc, argv, QString::fromLocal8Bit(argv[2]), option(3, "--rows", 250));
    if (mode.startsWith('-'))
        return usage();
    if (mode == "huge" && argc >= 3) {
        QCoreApplication application(argc, argv);
        const QString gameList = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
        return runHugeTitle(QCoreApplication::applicationFilePath(), gameList,
                            option(3, "--reps", 7));
    }

    QCoreApplication application(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    const QString gameList = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    if (!QFileInfo::exists(gameList))
        return usage();
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString bigList;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--big") == 0)
            bigList = QFileInfo(QString::fromLocal8Bit(argv[i + 1])).absoluteFilePath();
    const int startup = runStartup(self, gameList, bigList, option(2, "--reps", 7));
    // Its private home is gone: the selection child makes one of its own.
    for (const char* name :
         {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        if (environment.contains(QLatin1String(name)))
            qputenv(name, environment.value(QLatin1String(name)).toLocal8Bit());
        else
            qunsetenv(name);
    }

    std::printf("\n");
    std::fflush(stdout);
    QProcess selection;
    selection.setProcessChannelMode(QProcess::ForwardedChannels);
    selection.start(self, {QStringLiteral("selection"), gameList});
    if (!selection.waitForFinished(600'000)) {
        selection.kill();
        selection.waitForFinished();
    }
    const bool selectionMet =
        selection.exitStatus() == QProcess::NormalExit && selection.exitCode() == 0;
    return startup == 0 && selectionMet ? 0 : 1;
}
