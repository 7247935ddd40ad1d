// The real launcher in real windows, driven with the keyboard as a user would:
// a throwaway copy of the bundle and of the settings, a private X display.
#include "support/runhelpers.h"
#include "support/testbundle.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kd::test {
namespace {

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        display = qEnvironmentVariable("KD_TEST_X11_DISPLAY");
        if (display.isEmpty())
            GTEST_SKIP() << "needs the X display that tools/test.sh starts";
        if (QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "needs xdotool";
        ASSERT_TRUE(dir.isValid());
        const QString bundleRoot = dir.filePath("Apps/Kaleidrome Launcher.app");
        ASSERT_TRUE(copyTree(QStringLiteral(KD_BUNDLE_RESOURCES) + "/..", bundleRoot + "/Contents"));
        launcher = bundleRoot + "/Contents/MacOS/kaleidrome-launcher";
        ASSERT_TRUE(QFile::exists(launcher));
        roms = dir.filePath("My ROMs");
        ASSERT_TRUE(QDir().mkpath(roms));
        QSettings settings(dir.filePath("config/Kaleidrome/Kaleidrome Launcher.conf"),
                           QSettings::IniFormat);
        settings.setValue("RomsPath", roms);
        settings.sync();
    }
    void TearDown() override {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
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
            if (xdotool({"search", "--all", "--onlyvisible", "--pid", QString::number(process.processId()),
                         "--name", "^" + title + "$"},
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

    QTemporaryDir dir;
    QString display;
    QString launcher;
    QString roms;
    QProcess process;
};

TEST_F(EndToEnd, SelectAGameWithTheKeyboardStartItAndSaveTheLog) {
    const QString argvFile = dir.filePath("argv");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("HOME", dir.path());
    env.insert("KD_DEMO_ARGV_FILE", argvFile);
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(launcher, {});
    ASSERT_TRUE(process.waitForStarted(10000));

    const QString main = windowNamed("Kaleidrome Launcher");
    ASSERT_FALSE(main.isEmpty()) << "the main window never appeared";
    // The first game is selected at start; Down moves to the second, Return starts it.
    ASSERT_TRUE(keys(main, {"Down", "Return"}));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(argvFile); }, 15000));
    QTest::qWait(300);
    const QList<QByteArray> argv = readFile(argvFile).split('\0');
    ASSERT_GE(argv.size(), 7);
    EXPECT_EQ(QString::fromUtf8(argv[0]), roms + "/boltrunner.zip");
    EXPECT_EQ(argv[1], "-ppc-frequency=50");

    // Save the log through the real save panel and read it back.
    const QString saved = dir.filePath("saved-log.txt");
    ASSERT_TRUE(keys(main, {"ctrl+shift+s"}));
    const QString panel = windowNamed(".*[Ss]ave.*");
    ASSERT_FALSE(panel.isEmpty()) << "the save panel never appeared";
    ASSERT_TRUE(xdotool({"key", "--clearmodifiers", "ctrl+a"}));
    ASSERT_TRUE(xdotool({"type", "--delay", "20", saved}));
    ASSERT_TRUE(xdotool({"key", "Return"}));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(saved); }, 15000));
    const QString log = QString::fromUtf8(readFile(saved));
    EXPECT_TRUE(log.contains(" / Kaleidrome [Perform a lunch task] =====")) << log.toStdString();
    EXPECT_TRUE(log.contains("boltrunner")) << log.toStdString();

    // Quit from the keyboard: the launcher ends cleanly.
    ASSERT_TRUE(keys(main, {"ctrl+q"}));
    ASSERT_TRUE(process.waitForFinished(15000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

} // namespace
} // namespace kd::test
