#include "platform/desktop/filemanager.h"
#include "platform/desktop/notifications.h"
#include "platform/desktop/qtdesktop.h"
#include "platform/desktop/soundplayer.h"
#include "testutil.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <gtest/gtest.h>

namespace kd {
namespace {

using test::FakeOpener;
using test::waitUntil;

// xdg-open is handed a file URL or a plain path, depending on who calls it.
QString localPathOf(const QString& argument) {
    const QUrl url(argument);
    return url.isLocalFile() ? url.toLocalFile() : argument;
}

TEST(OpenThroughDesktop, PathUrlAndRevealedFolderReachTheOpenerAndNothingElseDoes) {
    FakeOpener opener;
    QtDesktop desktop{QString()};
    EXPECT_FALSE(desktop.openPath(QString()));
    EXPECT_FALSE(desktop.openUrl(QString()));
    EXPECT_FALSE(desktop.openUrl("no scheme here"));
    QTemporaryDir dir;
    const QString folder = dir.filePath("Snaps and more");
    QDir().mkpath(folder);
    EXPECT_TRUE(desktop.openPath(folder));
    ASSERT_TRUE(opener.waitForCalls(1));
    EXPECT_TRUE(desktop.openUrl("https://example.org/kaleidrome?page=1"));
    ASSERT_TRUE(opener.waitForCalls(2));
    // The refused ones never reached it: the first call it saw is the folder.
    const QStringList calls = opener.calls();
    EXPECT_EQ(localPathOf(calls.value(0)), folder);
    EXPECT_EQ(calls.mid(1), QStringList{"https://example.org/kaleidrome?page=1"});

    // Whatever session bus this machine has, it has no file manager for us:
    // the root folder is opened instead, now or when the bus answers.
    EXPECT_TRUE(desktop.revealInFileViewer("Kaleidrome", dir.path()));
    ASSERT_TRUE(opener.waitForCalls(3));
    EXPECT_EQ(localPathOf(opener.calls().value(2)), dir.path());
    EXPECT_FALSE(desktop.revealInFileViewer(QString(), QString()));
    // Without a bus connection the fallback runs at once.
    int fallbacks = 0;
    EXPECT_TRUE(requestReveal(QDBusConnection("kd-never-connected"),
                              *revealTargetFor(QString(), "/b/roms"),
                              [&] { return ++fallbacks == 1; }));
    EXPECT_EQ(fallbacks, 1);
}

TEST(RevealTargets, ItemAndRootMakeOneRequest) {
    const struct {
        const char *item, *root;
        const char* method; // empty: nothing to reveal
        const char *path, *folder;
    } cases[] = {
        {"/b/kdromepak/Kaleidrome", "/b/kdromepak", "ShowItems", "/b/kdromepak/Kaleidrome",
         "/b/kdromepak"},
        {"emu", "/opt/kd/", "ShowItems", "/opt/kd/emu", "/opt/kd"},
        {"/opt/kd/emu", "", "ShowItems", "/opt/kd/emu", "/opt/kd"},
        {"", "/home/u/roms", "ShowFolders", "/home/u/roms", "/home/u/roms"},
        {"", "", "", "", ""},
        {"emu", "", "", "", ""},
        {"", "roms", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.item) + " in " + c.root);
        const auto target = revealTargetFor(QString::fromUtf8(c.item), QString::fromUtf8(c.root));
        ASSERT_EQ(target.has_value(), *c.method != 0);
        if (!target)
            continue;
        EXPECT_EQ(QStringList({target->method, target->path, target->folder}),
                  QStringList({c.method, c.path, c.folder}));
    }
}

// Stands in for the desktop's file manager on a private bus.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList requests;
    bool answer = true;

public slots:
    void ShowItems(const QStringList& uris, const QString&) { note("items", uris); }
    void ShowFolders(const QStringList& uris, const QString&) { note("folders", uris); }

private:
    void note(const QString& kind, const QStringList& uris) {
        requests.append(kind + u' ' + uris.join(u','));
        if (!answer)
            setDelayedReply(true); // and never reply
    }
};

class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        busDaemon.start(daemon, {"--session", "--nofork", "--print-address",
                                 "--address=unix:tmpdir=" + dir.path()});
        ASSERT_TRUE(busDaemon.waitForStarted());
        ASSERT_TRUE(waitUntil([&] { return busDaemon.canReadLine(); }));
        const QString address = QString::fromUtf8(busDaemon.readLine().trimmed());
        client = QDBusConnection::connectToBus(address, "kd-client");
        service = QDBusConnection::connectToBus(address, "kd-service");
        ASSERT_TRUE(client.isConnected() && service.isConnected());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("kd-client");
        QDBusConnection::disconnectFromBus("kd-service");
        busDaemon.kill();
        busDaemon.waitForFinished();
    }
    // D-Bus addresses do not take spaces, which the default template has.
    QTemporaryDir dir{QDir::tempPath() + "/kd-bus-XXXXXX"};
    QProcess busDaemon;
    QDBusConnection client{"kd-client"};
    QDBusConnection service{"kd-service"};
    FakeFileManager fileManager;
    int fallbacks = 0;
    std::function<bool()> fallback = [this] {
        ++fallbacks;
        return true;
    };
};

TEST_F(PrivateBus, FileManagerGetsTheUriElseTheFallbackRuns) {
    const RevealTarget item{"ShowItems", "/b/kdromepak/Kale idrome", "/b/kdromepak"};
    const RevealTarget folder{"ShowFolders", "/b/roms", "/b/roms"};
    // With no file manager on the bus the fallback runs at once, so the caller
    // learns whether anything opened the folder.
    EXPECT_TRUE(requestReveal(client, folder, fallback));
    EXPECT_EQ(fallbacks, 1);
    EXPECT_FALSE(requestReveal(client, folder, [] { return false; }));

    ASSERT_TRUE(service.registerObject("/org/freedesktop/FileManager1", &fileManager,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService("org.freedesktop.FileManager1"));
    EXPECT_TRUE(requestReveal(client, item, fallback));
    EXPECT_TRUE(requestReveal(client, folder, fallback));
    ASSERT_TRUE(waitUntil([&] { return fileManager.requests.size() == 2; }));
    EXPECT_EQ(fileManager.requests,
              (QStringList{"items file:///b/kdromepak/Kale%20idrome", "folders file:///b/roms"}));
    // Let the answers arrive before judging the fallback.
    QTest::qWait(100);
    EXPECT_EQ(fallbacks, 1);

    // A file manager that never answers: the fallback runs once the (here
    // short, else 25 s) timeout is up.
    fileManager.answer = false;
    EXPECT_TRUE(requestReveal(client, folder, fallback, 300));
    EXPECT_EQ(fallbacks, 1);
    EXPECT_TRUE(waitUntil([&] { return fallbacks == 2; }, 5000));
    EXPECT_EQ(fileManager.requests.size(), 3);
}

// Stands in for the desktop's notification server.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList shown;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout) {
        shown.append(QStringList{app, QString::number(replaces), icon, summary, body,
                                 actions.join(u','), hints.value("desktop-entry").toString(),
                                 QString::number(timeout)}
                         .join(u'|'));
        return uint(40 + shown.size());
    }
};

TEST_F(PrivateBus, ANotificationIsShownAndItsActionRunsOnce) {
    Notifications notifications(client);
    int picked = 0;
    // No server: nothing shown, nothing waits, nothing runs.
    QElapsedTimer clock;
    clock.start();
    notifications.notify("Bolt Runner ended", "a<b", "Show Log", [&] { ++picked; });
    EXPECT_LT(clock.elapsed(), 1000);

    FakeNotificationServer server;
    ASSERT_TRUE(service.registerObject("/org/freedesktop/Notifications", &server,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
    notifications.notify("Bolt Runner ended", "a<b", "Show Log", [&] { ++picked; });
    ASSERT_TRUE(waitUntil([&] { return server.shown.size() == 1; }));
    EXPECT_EQ(server.shown[0], "Kaleidrome Launcher|0|kaleidrome-launcher|Bolt Runner ended|"
                               "a&lt;b|show-log,Show Log|org.example.KaleidromeLauncher|-1");
    QTest::qWait(100); // the id comes back
    const auto invoke = [&](uint id, const QString& action) {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
        signal << id << action;
        service.send(signal);
        QTest::qWait(100);
    };
    invoke(99, "show-log"); // another program's notification
    invoke(41, "other");
    EXPECT_EQ(picked, 0);
    invoke(41, "show-log");
    invoke(41, "show-log");
    EXPECT_EQ(picked, 1);
    EXPECT_EQ(server.shown.size(), 1) << "the first one, without a server, was dropped";
}

TEST(Sounds, NamesResolveToBundleFilesAndPlayingNeverWaits) {
    QTemporaryDir dir;
    for (const char* name : {"Pop.wav", "Tink.oga", "Tink.wav", "Glass.oga"})
        QFile(dir.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
    SoundPlayer player(dir.path());
    EXPECT_EQ(player.fileFor("Pop"), dir.filePath("Pop.wav"));
    EXPECT_EQ(player.fileFor("Tink"), dir.filePath("Tink.wav"));
    EXPECT_EQ(player.fileFor("Glass"), dir.filePath("Glass.oga"));
    EXPECT_EQ(player.fileFor("Basso"), QString());
    EXPECT_EQ(player.fileFor("../Pop"), QString());
    EXPECT_FALSE(player.play("Basso"));

    // Without a sound card libcanberra refuses at once; with one it plays in
    // the background. A hang here would stall every run's end.
    // One that cannot play stays silent (the beep means "refused"), said once.
    struct Counting : QtDesktop {
        using QtDesktop::QtDesktop;
        void beep() override { ++beeps; }
        void systemLog(const QString& line) override { lines << line; }
        int beeps = 0;
        QStringList lines;
    } desktop{QStringLiteral(KD_SOURCE_DIR "/resources/bundle")};
    QElapsedTimer clock;
    clock.start();
    for (const char* name : {"Pop", "Tink", "NoSuchSound", "NoSuchSound"})
        desktop.playSound(name);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(desktop.beeps, 0);
    EXPECT_EQ(desktop.lines.filter("cannot be played").size(), 1);
}

} // namespace
} // namespace kd

#include "workspace_tests.moc"
