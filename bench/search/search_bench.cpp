// The desktop's search through D-Bus: a private session bus, the real launcher
// started for a search on a bundle copy holding GAMELIST, and the queries a
// shell sends while a user types (the result set, then the metas of what it
// shows), timed at the caller. Prints medians and p95; exit status 1 when the
// median of a whole query is not under 20 ms.
//   search_bench GAMELIST [--rounds N]
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool copyTree(const QString& from, const QString& to) {
    QProcess copy;
    copy.start(QStringLiteral("cp"), {QStringLiteral("-a"), from, to});
    return copy.waitForFinished(60000) && copy.exitCode() == 0;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: search_bench GAMELIST [--rounds N]\n");
        return 2;
    }
    const int rounds = args.indexOf(QStringLiteral("--rounds")) > 0
                           ? args.value(args.indexOf(QStringLiteral("--rounds")) + 1).toInt()
                           : 5;
    QTemporaryDir dir;
    const QString bundle = dir.filePath(QStringLiteral("Kaleidrome Launcher.app"));
    QDir().mkpath(bundle);
    if (!copyTree(QStringLiteral(KD_BUNDLE_RESOURCES "/.."),
                  bundle + QStringLiteral("/Contents")) ||
        !QFile::remove(bundle + QStringLiteral("/Contents/Resources/Kaleidrome.xml")) ||
        !QFile::copy(args[1], bundle + QStringLiteral("/Contents/Resources/Kaleidrome.xml"))) {
        std::fprintf(stderr, "cannot make the bundle copy\n");
        return 2;
    }
    QDir().mkpath(dir.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"),
                  QStringLiteral("--print-address=1")});
    if (!daemon.waitForReadyRead(5000)) {
        std::fprintf(stderr, "no dbus-daemon\n");
        return 2;
    }
    const QString address = QString::fromUtf8(daemon.readLine().trimmed());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess launcher;
    launcher.setProcessEnvironment(env);
    launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    launcher.start(bundle + QStringLiteral("/Contents/MacOS/kaleidrome-launcher"),
                   {QStringLiteral("--search-service")});

    const QString name = QStringLiteral("org.example.KaleidromeLauncher");
    QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("bench"));
    QElapsedTimer clock;
    clock.start();
    while (!bus.interface()->isServiceRegistered(name).value()) {
        if (clock.elapsed() > 60000) {
            std::fprintf(stderr, "the launcher never offered its search\n");
            return 2;
        }
        QThread::msleep(20);
    }
    auto call = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            name, QStringLiteral("/org/example/KaleidromeLauncher/SearchProvider"),
            QStringLiteral("org.gnome.Shell.SearchProvider2"), method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, 30000);
    };
    // The list is read while the first query waits: not a keystroke's cost.
    clock.restart();
    call(QStringLiteral("GetInitialResultSet"), {QStringList{QStringLiteral("zor")}});
    std::printf("first query (list read and folded meanwhile): %lld ms\n", qint64(clock.elapsed()));

    const QStringList typed = {QStringLiteral("v"),       QStringLiteral("ve"),
                               QStringLiteral("vex"),     QStringLiteral("vexk"),
                               QStringLiteral("vexkin"),  QStringLiteral("1987"),
                               QStringLiteral("kestrel"), QStringLiteral("caf"),
                               QStringLiteral("zzzz"),    QStringLiteral("qua 3")};
    std::vector<double> sets, metas, whole;
    std::size_t results = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& text : typed) {
            QElapsedTimer timer;
            timer.start();
            const QDBusMessage found =
                call(QStringLiteral("GetInitialResultSet"), {text.split(QLatin1Char(' '))});
            const double setMs = double(timer.nsecsElapsed()) / 1e6;
            const QStringList ids = found.arguments().value(0).toStringList();
            const QDBusMessage shown = call(QStringLiteral("GetResultMetas"), {ids.mid(0, 5)});
            const double allMs = double(timer.nsecsElapsed()) / 1e6;
            if (found.type() != QDBusMessage::ReplyMessage ||
                shown.type() != QDBusMessage::ReplyMessage) {
                std::fprintf(stderr, "a query failed: %s\n",
                             qPrintable(found.errorMessage() + shown.errorMessage()));
                return 2;
            }
            results += std::size_t(ids.size());
            sets.push_back(setMs);
            metas.push_back(allMs - setMs);
            whole.push_back(allMs);
        }
    }
    std::printf("queries: %zu (%zu results in all, at most 20 each)\n", whole.size(), results);
    std::printf("result set:   median %.2f ms  p95 %.2f ms\n", percentile(sets, 0.5),
                percentile(sets, 0.95));
    std::printf("result metas: median %.2f ms  p95 %.2f ms\n", percentile(metas, 0.5),
                percentile(metas, 0.95));
    std::printf("search query: median %.2f ms  p95 %.2f ms (target: median < 20 ms)\n",
                percentile(whole, 0.5), percentile(whole, 0.95));
    launcher.terminate();
    launcher.waitForFinished(10000);
    QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
    daemon.terminate();
    daemon.waitForFinished(5000);
    return percentile(whole, 0.5) < 20 ? 0 : 1;
}
