// The real launcher in real windows, driven with the keyboard as a user would:
// a throwaway copy of the bundle and of the settings, a private X display.
#include "support/runhelpers.h"
#include "support/sessionbus.h"
#include "support/testbundle.h"

#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <tuple>
#include <unistd.h>

namespace kd::test {
namespace {

// The real launcher on a throwaway copy of the bundle and of the settings.
class RealLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const QString bundleRoot = dir.filePath("Apps/Kaleidrome Launcher.app");
        ASSERT_TRUE(
            copyTree(QStringLiteral(KD_BUNDLE_RESOURCES) + "/..", bundleRoot + "/Contents"));
        launcher = bundleRoot + "/Contents/MacOS/kaleidrome-launcher";
        ASSERT_TRUE(QFile::exists(launcher));
        roms = dir.filePath("My ROMs");
        ASSERT_TRUE(QDir().mkpath(roms));
        // A runtime folder of its own: each test's launcher is the one launcher there.
        ASSERT_TRUE(QDir().mkpath(dir.filePath("runtime")));
        QFile::setPermissions(dir.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSettings(config(), QSettings::IniFormat).setValue("RomsPath", roms);
    }
    void TearDown() override {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    QString config() const { return dir.filePath("config/Kaleidrome/Kaleidrome Launcher.conf"); }
    QString gameList() const {
        return QFileInfo(launcher).dir().filePath("../Resources/Kaleidrome.xml");
    }
    // The emulator's runs write their arguments to dir/argv.
    QProcessEnvironment environment(const QString& platform = "offscreen") const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        env.insert("XDG_CACHE_HOME", dir.filePath("cache"));
        env.insert("HOME", dir.path());
        env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
        env.insert("QT_QPA_PLATFORM", platform);
        env.insert("KD_DEMO_ARGV_FILE", dir.filePath("argv"));
        return env;
    }
    // The first argument a run of the emulator got, once it has started.
    QString startedRom() {
        waitUntil([&] { return QFile::exists(dir.filePath("argv")); }, 15000);
        QTest::qWait(300);
        return QString::fromUtf8(readFile(dir.filePath("argv")).split('\0').value(0));
    }
    // True once the launcher has its handler for `signalNumber` in place.
    bool catches(int signalNumber) {
        return waitUntil(
            [&] {
                const QByteArray status =
                    readFile(QStringLiteral("/proc/%1/status").arg(process.processId()));
                const quint64 caught = status.mid(status.indexOf("SigCgt:") + 7, 17)
                                           .trimmed()
                                           .toULongLong(nullptr, 16);
                return (caught >> (signalNumber - 1)) & 1;
            },
            15000);
    }
    // Sends `signalNumber` once it is caught; the launcher's exit status.
    int endWith(int signalNumber) {
        EXPECT_TRUE(catches(signalNumber));
        ::kill(pid_t(process.processId()), signalNumber);
        EXPECT_TRUE(process.waitForFinished(15000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return process.exitCode();
    }

    QTemporaryDir dir;
    QString launcher;
    QString roms;
    QProcess process;
};

// Logout, `kill` and Ctrl+C end the launcher the way Quit does: its game list is
// still looked after at exit (here a broken one, which it says it left alone).
TEST_F(RealLauncher, EndsInOrderOnTerminateInterruptAndHangUp) {
    ASSERT_TRUE(writeFile(gameList(), "<plist version=\"1.0\"><array><broken"));
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        process.setProcessEnvironment(environment());
        process.start(launcher, {});
        ASSERT_TRUE(process.waitForStarted(10000));
        EXPECT_EQ(endWith(signalNumber), 0);
        EXPECT_TRUE(process.readAllStandardError().contains("Kaleidrome.xml left unchanged"));
    }
}

// Two real launchers: the second hands its archive to the first and ends. (A
// socket left by a crash is taken over: InstanceChannelTest.)
TEST_F(RealLauncher, ASecondStartHandsItsArchiveToTheRunningOne) {
    const QProcessEnvironment env = environment();
    process.setProcessEnvironment(env);
    // The first start's archive is not one: it says so and starts without it.
    process.start(launcher, {dir.filePath("notes.txt")});
    const QByteArray notStarted =
        QByteArray(dir.filePath("notes.txt").toUtf8() + " cannot be started. Only ROM archives");
    QByteArray errors;
    ASSERT_TRUE(waitUntil(
        [&] {
            errors += process.readAllStandardError();
            return errors.contains(notStarted);
        },
        15000));
    const QString socket = dir.filePath("runtime/kaleidrome-launcher.socket");
    EXPECT_TRUE(QFileInfo(socket).exists());
    ASSERT_TRUE(writeFile(roms + "/astrovex.zip", "PK"));

    QProcess second;
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(roms);
    second.start(launcher, {"astrovex.zip"});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    EXPECT_EQ(startedRom(), roms + "/astrovex.zip");
    EXPECT_EQ(process.state(), QProcess::Running);
    EXPECT_EQ(endWith(SIGTERM), 0);
    EXPECT_FALSE(QFileInfo(socket).exists());
}

// The desktop's search on a private session bus: the launcher the bus starts
// for it answers both desktops' interfaces and starts the game picked.
TEST_F(RealLauncher, AnswersTheDesktopSearchAndStartsThePickedGame) {
    SessionBus bus;
    if (!bus.isValid())
        GTEST_SKIP() << "needs dbus-daemon";
    ASSERT_TRUE(writeFile(gameList(), R"(<plist version="1.0"><array>
<dict><key>name</key><string>zap</string><key>title</key><string>Moon Zapper</string>
  <key>maker</key><string>Bolt Works</string></dict>
<dict><key>name</key><string>thunderbolt</string><key>title</key><string>Thunderbolt</string></dict>
<dict><key>name</key><string>boltrunner</string><key>title</key><string>Bolt Runner</string>
  <key>year</key><integer>1991</integer><key>maker</key><string>Kestrel</string></dict>
</array></plist>)"));
    for (const char* rom : {"boltrunner.zip", "zap.zip"})
        ASSERT_TRUE(writeFile(roms + '/' + rom, "PK"));
    QProcessEnvironment env = environment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    env.insert("KD_DEMO_SCRIPT", "exit 0");
    process.setProcessEnvironment(env);
    process.start(launcher, {"--search-service"});
    const QString name = "org.example.KaleidromeLauncher";
    QDBusConnection client = bus.connection();
    ASSERT_TRUE(
        waitUntil([&] { return client.interface()->isServiceRegistered(name).value(); }, 15000));

    QDBusInterface shell(name, "/org/example/KaleidromeLauncher/SearchProvider",
                         "org.gnome.Shell.SearchProvider2", client);
    const QDBusReply<QStringList> found = shell.call("GetInitialResultSet", QStringList{"BOLT"});
    EXPECT_EQ(found.value(), QStringList({"boltrunner", "thunderbolt", "zap"}));
    const QDBusReply<QStringList> narrowed =
        shell.call("GetSubsearchResultSet", found.value(), QStringList{"bolt", "run"});
    EXPECT_EQ(narrowed.value(), QStringList({"boltrunner"}));
    QDBusMessage metas = shell.call("GetResultMetas", QStringList{"boltrunner", "gone"});
    ASSERT_EQ(metas.type(), QDBusMessage::ReplyMessage) << metas.errorMessage().toStdString();
    QList<QVariantMap> meta;
    qvariant_cast<QDBusArgument>(metas.arguments().value(0)) >> meta;
    ASSERT_EQ(meta.size(), 1);
    EXPECT_EQ(meta[0].value("id"), "boltrunner");
    EXPECT_EQ(meta[0].value("name"), "Bolt Runner");
    EXPECT_EQ(meta[0].value("description"), "1991, Kestrel");
    EXPECT_TRUE(QFileInfo(meta[0].value("gicon").toString()).isFile());

    QDBusInterface runner(name, "/org/example/KaleidromeLauncher/Runner", "org.kde.krunner1",
                          client);
    QDBusMessage matches = runner.call("Match", "zapper");
    ASSERT_EQ(matches.type(), QDBusMessage::ReplyMessage) << matches.errorMessage().toStdString();
    EXPECT_EQ(matches.signature(), "a(sssida{sv})");
    const QDBusArgument list = qvariant_cast<QDBusArgument>(matches.arguments().value(0));
    QStringList matchIds;
    list.beginArray();
    while (!list.atEnd()) {
        QString id, text, icon;
        int type = 0;
        double relevance = 0;
        QVariantMap properties;
        list.beginStructure();
        list >> id >> text >> icon >> type >> relevance >> properties;
        list.endStructure();
        matchIds << id + ':' + text;
    }
    list.endArray();
    EXPECT_EQ(matchIds, QStringList({"zap:Moon Zapper"}));

    // Picked: the normal start, then the game with the form's argument list.
    EXPECT_EQ(shell.call("ActivateResult", "boltrunner", QStringList{"bolt"}, 0u).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(startedRom(), roms + "/boltrunner.zip");
    QByteArray errors;
    ASSERT_TRUE(waitUntil(
        [&] {
            errors += process.readAllStandardError();
            return errors.contains("Task terminate: Success");
        },
        15000));
    QFile::remove(dir.filePath("argv"));
    EXPECT_EQ(runner.call("Run", "zap", "").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(startedRom(), roms + "/zap.zip");
    // The first start's form, as a double click in the table gives it.
    EXPECT_EQ(
        QString::fromUtf8(readFile(dir.filePath("argv"))).split(QChar(0)),
        QStringList({roms + "/zap.zip", "-ppc-frequency=50", "-gpu-multi-threaded", "-res=496,384",
                     "-fullscreen", "-no-multi-texture", "-crosshairs=0", ""}));
    EXPECT_EQ(endWith(SIGTERM), 0);
}

// Under a native Wayland compositor (weston, headless) a game handed over on
// the command line runs to its end; raising windows by class, an X11 matter,
// is skipped and said once.
TEST_F(RealLauncher, AGameRunCompletesUnderNativeWayland) {
    const QString weston = QStandardPaths::findExecutable("weston");
    if (weston.isEmpty() || !QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                                               "/platforms/libqwayland-generic.so"))
        GTEST_SKIP() << "needs weston and qt6-wayland";
    QProcessEnvironment env = environment("wayland");
    QProcess compositor;
    compositor.setProcessEnvironment(env);
    compositor.start(weston, {"--backend=headless-backend.so", "--socket=kd-wayland",
                              "--idle-time=0", "--no-config"});
    ASSERT_TRUE(
        waitUntil([&] { return QFile::exists(dir.filePath("runtime/kd-wayland")); }, 15000));
    ASSERT_TRUE(writeFile(roms + "/astrovex.zip", "PK"));
    env.insert("WAYLAND_DISPLAY", "kd-wayland");
    env.insert("KD_DEMO_SCRIPT", "out played\nexit 0");
    process.setProcessEnvironment(env);
    process.start(launcher, {roms + "/astrovex.zip"});
    EXPECT_EQ(startedRom(), roms + "/astrovex.zip");
    QByteArray errors;
    EXPECT_TRUE(waitUntil(
        [&] {
            errors += process.readAllStandardError();
            return errors.contains("Task terminate: Success");
        },
        15000))
        << errors.toStdString();
    EXPECT_EQ(errors.count("windows are not looked for or raised: the display is not X11 but "
                           "wayland"),
              1)
        << errors.toStdString();
    EXPECT_FALSE(errors.contains("xcb")) << errors.toStdString();
    EXPECT_EQ(endWith(SIGTERM), 0) << process.readAllStandardError().toStdString();
    compositor.terminate();
    compositor.waitForFinished(5000);
}

// --help and mistakes are answered on any terminal, with no display (--version:
// the install check).
TEST_F(RealLauncher, TheCommandLineAnswersWithoutADisplay) {
    QProcessEnvironment env = environment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    // arguments, language, status, part of standard output and of standard error
    const std::tuple<QStringList, const char*, int, QByteArray, QByteArray> cases[] = {
        {{"--help"}, "en", 0, "[ROM.zip]", ""},
        {{"-x", "a.zip"}, "de", 2, "", "kaleidrome-launcher: Unbekannte Option 'x'."},
        {{"a.zip", "b.zip"}, "en", 2, "", "kaleidrome-launcher: Only one ROM archive"},
    };
    for (const auto& [arguments, language, status, out, err] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        env.insert("LANGUAGE", language);
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(launcher, arguments);
        ASSERT_TRUE(run.waitForFinished(15000));
        EXPECT_EQ(run.exitCode(), status);
        const QByteArray printed = run.readAllStandardOutput();
        const QByteArray said = run.readAllStandardError();
        EXPECT_TRUE(printed.contains(out)) << printed.toStdString();
        EXPECT_TRUE(said.contains(err)) << said.toStdString();
        EXPECT_LE(said.count('\n'), 1) << said.toStdString();
    }
}

class EndToEnd : public RealLauncher {
protected:
    void SetUp() override {
        display = qEnvironmentVariable("KD_TEST_X11_DISPLAY");
        if (display.isEmpty())
            GTEST_SKIP() << "needs the X display that tools/test.sh starts";
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "needs xdotool";
        RealLauncher::SetUp();
    }
    // Starts the launcher; the id of its main window once input reaches it.
    QString start() {
        QProcessEnvironment env = environment("xcb");
        env.insert("DISPLAY", display);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(launcher, {});
        const QString main = windowNamed("Kaleidrome Launcher");
        EXPECT_FALSE(main.isEmpty()) << "the main window never appeared";
        QTest::qWait(1200); // openbox ignores input into a window that has just appeared
        return main;
    }
    bool quit(const QString& main) {
        return keys(main, {"ctrl+q"}) && process.waitForFinished(15000) &&
               process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    bool xdotool(const QStringList& args, QString* output = nullptr) {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        tool.setProcessEnvironment(env);
        tool.start("xdotool", args);
        if (!tool.waitForFinished(20000) || tool.exitCode() != 0)
            return false;
        if (output)
            *output = QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
        return true;
    }
    // The window id of the launcher's visible window with that title.
    QString windowNamed(const QString& title) {
        QString ids;
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (xdotool({"search", "--all", "--onlyvisible", "--pid",
                         QString::number(process.processId()), "--name", "^" + title + "$"},
                        &ids) &&
                !ids.isEmpty())
                return ids.split('\n').first();
            QTest::qWait(100);
        }
        return QString();
    }
    bool keys(const QString& window, const QStringList& keys) {
        if (!xdotool({"windowactivate", "--sync", window}))
            return false;
        QTest::qWait(200);
        return xdotool(QStringList{"key", "--clearmodifiers", "--delay", "80"} + keys);
    }
    QRect geometryOf(const QString& window) {
        QString text;
        EXPECT_TRUE(xdotool({"getwindowgeometry", window}, &text));
        const QRegularExpressionMatch m =
            QRegularExpression("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)",
                               QRegularExpression::DotMatchesEverythingOption)
                .match(text);
        return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                     m.captured(4).toInt());
    }

    QString display;
};

TEST_F(EndToEnd, SelectAGameWithTheKeyboardStartItAndSaveTheLog) {
    const QString main = start();
    // The first game is selected at start; Down moves to the second, Return starts it.
    ASSERT_TRUE(keys(main, {"Down", "Return"}));
    EXPECT_EQ(startedRom(), roms + "/boltrunner.zip"); // (its options: TheFormAtAFirstStart…)

    // Save the log through the real save panel and read it back.
    const QString saved = dir.filePath("saved-log.txt");
    ASSERT_TRUE(keys(main, {"ctrl+shift+s"}));
    ASSERT_FALSE(windowNamed(".*[Ss]ave.*").isEmpty()) << "the save panel never appeared";
    ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "ctrl+a"}));
    ASSERT_TRUE(xdotool({"type", "--delay", "20", saved}));
    ASSERT_TRUE(xdotool({"key", "Return"}));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(saved); }, 15000));
    const QString log = QString::fromUtf8(readFile(saved));
    EXPECT_TRUE(log.contains(" / Kaleidrome [Perform a lunch task] =====")) << log.toStdString();
    EXPECT_TRUE(log.contains("boltrunner")) << log.toStdString();
    // Quit from the keyboard: the launcher ends cleanly. (That the second
    // layout hands its first key to the list too: Windows.TheTableHasTheKeys….)
    ASSERT_TRUE(quit(main));
}

// Where and how big the user left the windows comes back at the next start; a
// place that no screen shows any more comes back on the screen.
TEST_F(EndToEnd, WindowPlacesAndSizesSurviveARestart) {
    QString main = start();
    ASSERT_TRUE(xdotool({"windowsize", "--sync", main, "1000", "620"}));
    ASSERT_TRUE(xdotool({"windowmove", "--sync", main, "150", "90"}));
    ASSERT_TRUE(keys(main, {"ctrl+l"}));
    QString log = windowNamed("Log");
    ASSERT_FALSE(log.isEmpty());
    ASSERT_TRUE(xdotool({"windowsize", "--sync", log, "520", "300"}));
    ASSERT_TRUE(xdotool({"windowmove", "--sync", log, "640", "420"}));
    QTest::qWait(500);
    const QRect mainBefore = geometryOf(main);
    const QRect logBefore = geometryOf(log);
    ASSERT_TRUE(quit(main));

    main = start();
    EXPECT_EQ(geometryOf(main), mainBefore);
    ASSERT_TRUE(keys(main, {"ctrl+l"}));
    log = windowNamed("Log");
    EXPECT_EQ(geometryOf(log), logBefore);
    ASSERT_TRUE(quit(main));

    // Saved on a second screen of the same size, to the right of this one, that
    // is gone: the stored place is moved there (QWidget::saveGeometry, format 3).
    QByteArray state;
    {
        const QByteArray saved =
            QSettings(config(), QSettings::IniFormat).value("Arrangement/window").toByteArray();
        quint32 magic;
        quint16 major, minor;
        QRect frame, normal, geometry;
        qint32 screen, screenWidth;
        quint8 maximized, fullScreen;
        QDataStream in(saved);
        in >> magic >> major >> minor >> frame >> normal >> screen >> maximized >> fullScreen >>
            screenWidth >> geometry;
        ASSERT_EQ(major, 3);
        const QPoint away(1280 + 300, 0);
        QDataStream out(&state, QIODevice::WriteOnly);
        out.setVersion(in.version());
        out << magic << major << minor << frame.translated(away) << normal.translated(away)
            << qint32(1) << maximized << fullScreen << screenWidth << geometry.translated(away);
    }
    QSettings(config(), QSettings::IniFormat).setValue("Arrangement/window", state);
    const QRect shown = geometryOf(start());
    EXPECT_EQ(shown.size(), mainBefore.size());
    // On the screen, give or take the frame's border.
    const QRect onScreen = QRect(0, 0, 1280, 800) & shown;
    EXPECT_GE(onScreen.width(), shown.width() - 8) << shown.x();
    EXPECT_GE(onScreen.height(), shown.height() - 8) << shown.y();
}

} // namespace
} // namespace kd::test
