#include "platform/filemanager.h"
#include "platform/qtdesktop.h"
#include "platform/soundplayer.h"
#include "testutil.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
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

TEST(OpenThroughDesktop, PathAndUrlReachTheOpener) {
    FakeOpener opener;
    QtDesktop desktop{QString()};
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Snaps and more"));
    QDir().mkpath(folder);

    EXPECT_TRUE(desktop.openPath(folder));
    ASSERT_TRUE(opener.waitForCalls(1));
    EXPECT_TRUE(desktop.openUrl(QStringLiteral("https://example.org/kaleidrome?page=1")));
    ASSERT_TRUE(opener.waitForCalls(2));
    const QStringList calls = opener.calls();
    EXPECT_EQ(localPathOf(calls[0]), folder);
    EXPECT_EQ(calls[1], QStringLiteral("https://example.org/kaleidrome?page=1"));
}

TEST(OpenThroughDesktop, NothingToOpenIsRefused) {
    FakeOpener opener;
    QtDesktop desktop{QString()};
    EXPECT_FALSE(desktop.openPath(QString()));
    EXPECT_FALSE(desktop.openUrl(QString()));
    EXPECT_FALSE(desktop.openUrl(QStringLiteral("no scheme here")));
    // A later real call is the first the opener sees.
    EXPECT_TRUE(desktop.openUrl(QStringLiteral("https://example.com/")));
    ASSERT_TRUE(opener.waitForCalls(1));
    EXPECT_EQ(opener.calls(), QStringList{QStringLiteral("https://example.com/")});
}

struct TargetCase {
    const char* item;
    const char* root;
    const char* method; // empty: nothing to reveal
    const char* path;
    const char* folder;
};

class RevealTargets : public ::testing::TestWithParam<TargetCase> {};

TEST_P(RevealTargets, ItemAndRootMakeOneRequest) {
    const TargetCase& c = GetParam();
    const auto target = revealTargetFor(QString::fromUtf8(c.item), QString::fromUtf8(c.root));
    if (!*c.method) {
        EXPECT_FALSE(target.has_value());
        return;
    }
    ASSERT_TRUE(target.has_value());
    EXPECT_EQ(target->method, QString::fromUtf8(c.method));
    EXPECT_EQ(target->path, QString::fromUtf8(c.path));
    EXPECT_EQ(target->folder, QString::fromUtf8(c.folder));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RevealTargets,
    ::testing::Values(TargetCase{"/b/kdromepak/Kaleidrome", "/b/kdromepak", "ShowItems",
                                 "/b/kdromepak/Kaleidrome", "/b/kdromepak"},
                      TargetCase{"emu", "/opt/kd/", "ShowItems", "/opt/kd/emu", "/opt/kd"},
                      TargetCase{"/opt/kd/emu", "", "ShowItems", "/opt/kd/emu", "/opt/kd"},
                      TargetCase{"", "/home/u/roms", "ShowFolders", "/home/u/roms", "/home/u/roms"},
                      TargetCase{"", "", "", "", ""}, TargetCase{"emu", "", "", "", ""},
                      TargetCase{"", "roms", "", "", ""}));

// Stands in for the desktop's file manager on a private bus.
class FakeFileManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList requests;
    bool answer = true;

public slots:
    void ShowItems(const QStringList& uris, const QString&) { note(QStringLiteral("items"), uris); }
    void ShowFolders(const QStringList& uris, const QString&) {
        note(QStringLiteral("folders"), uris);
    }

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
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        busDaemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                 QStringLiteral("--print-address"),
                                 QStringLiteral("--address=unix:tmpdir=") + dir.path()});
        ASSERT_TRUE(busDaemon.waitForStarted());
        ASSERT_TRUE(waitUntil([&] { return busDaemon.canReadLine(); }));
        address = QString::fromUtf8(busDaemon.readLine().trimmed());
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("kd-client")));
        service = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("kd-service")));
        ASSERT_TRUE(client->isConnected());
        ASSERT_TRUE(service->isConnected());
    }
    void TearDown() override {
        client.reset();
        service.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("kd-client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("kd-service"));
        busDaemon.kill();
        busDaemon.waitForFinished();
    }
    void provideFileManager() {
        ASSERT_TRUE(service->registerObject(QStringLiteral("/org/freedesktop/FileManager1"),
                                            &fileManager, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service->registerService(QStringLiteral("org.freedesktop.FileManager1")));
    }

    // D-Bus addresses do not take spaces, which the default template has.
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/kd-bus-XXXXXX")};
    QProcess busDaemon;
    QString address;
    std::unique_ptr<QDBusConnection> client;
    std::unique_ptr<QDBusConnection> service;
    FakeFileManager fileManager;
    int fallbacks = 0;
    std::function<bool()> fallback = [this] {
        ++fallbacks;
        return true;
    };
};

TEST_F(PrivateBus, FileManagerGetsTheItemUriAndNoFallbackRuns) {
    provideFileManager();
    const RevealTarget item{QStringLiteral("ShowItems"), QStringLiteral("/b/kdromepak/Kale idrome"),
                            QStringLiteral("/b/kdromepak")};
    const RevealTarget folder{QStringLiteral("ShowFolders"), QStringLiteral("/b/roms"),
                              QStringLiteral("/b/roms")};
    EXPECT_TRUE(requestReveal(*client, item, fallback));
    EXPECT_TRUE(requestReveal(*client, folder, fallback));
    ASSERT_TRUE(waitUntil([&] { return fileManager.requests.size() == 2; }));
    EXPECT_EQ(fileManager.requests,
              (QStringList{QStringLiteral("items file:///b/kdromepak/Kale%20idrome"),
                           QStringLiteral("folders file:///b/roms")}));
    // Let the answers arrive before judging the fallback.
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(fallbacks, 0);
}

// With no file manager on the bus the fallback runs at once, so the caller
// learns whether anything opened the folder.
TEST_F(PrivateBus, MissingFileManagerFallsBackAtOnce) {
    const RevealTarget folder{QStringLiteral("ShowFolders"), QStringLiteral("/b/roms"),
                              QStringLiteral("/b/roms")};
    EXPECT_TRUE(requestReveal(*client, folder, fallback));
    EXPECT_EQ(fallbacks, 1);
    EXPECT_FALSE(requestReveal(*client, folder, [] { return false; }));
}

TEST_F(PrivateBus, SilentFileManagerFallsBackAfterTheTimeout) {
    fileManager.answer = false;
    provideFileManager();
    const RevealTarget folder{QStringLiteral("ShowFolders"), QStringLiteral("/b/roms"),
                              QStringLiteral("/b/roms")};
    // Without the short timeout the fallback would wait 25 s.
    EXPECT_TRUE(requestReveal(*client, folder, fallback, 300));
    EXPECT_EQ(fallbacks, 0);
    EXPECT_TRUE(waitUntil([&] { return fallbacks == 1; }, 5000));
    EXPECT_EQ(fileManager.requests.size(), 1);
}

TEST(RevealWithoutBus, OpensTheRootFolder) {
    FakeOpener opener;
    QtDesktop desktop{QString()};
    QDBusConnection disconnected(QStringLiteral("kd-never-connected"));
    int fallbacks = 0;
    EXPECT_TRUE(requestReveal(disconnected, *revealTargetFor(QString(), QStringLiteral("/b/roms")),
                              [&] { return ++fallbacks == 1; }));
    EXPECT_EQ(fallbacks, 1);

    // Whatever session bus this machine has, it has no file manager for us:
    // the root folder is opened instead, now or when the bus answers.
    QTemporaryDir dir;
    EXPECT_TRUE(desktop.revealInFileViewer(QStringLiteral("Kaleidrome"), dir.path()));
    ASSERT_TRUE(opener.waitForCalls(1));
    EXPECT_EQ(localPathOf(opener.calls().value(0)), dir.path());
    EXPECT_FALSE(desktop.revealInFileViewer(QString(), QString()));
}

TEST(Sounds, NamesResolveToBundleFiles) {
    QTemporaryDir dir;
    for (const char* name : {"Pop.wav", "Tink.oga", "Tink.wav", "Glass.oga"})
        QFile(dir.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
    SoundPlayer player(dir.path());
    EXPECT_EQ(player.fileFor(QStringLiteral("Pop")), dir.filePath(QStringLiteral("Pop.wav")));
    EXPECT_EQ(player.fileFor(QStringLiteral("Tink")), dir.filePath(QStringLiteral("Tink.wav")));
    EXPECT_EQ(player.fileFor(QStringLiteral("Glass")), dir.filePath(QStringLiteral("Glass.oga")));
    EXPECT_EQ(player.fileFor(QStringLiteral("Basso")), QString());
    EXPECT_EQ(player.fileFor(QStringLiteral("../Pop")), QString());
    EXPECT_FALSE(player.play(QStringLiteral("Basso")));
}

TEST(Sounds, PlayingNeverWaits) {
    // Without a sound card libcanberra refuses at once; with one it plays in
    // the background. A hang here would stall every run's end.
    QtDesktop desktop{QStringLiteral(KD_SOURCE_DIR "/resources/bundle")};
    QElapsedTimer clock;
    clock.start();
    desktop.playSound(QStringLiteral("Pop"));
    desktop.playSound(QStringLiteral("Tink"));
    desktop.playSound(QStringLiteral("NoSuchSound"));
    EXPECT_LT(clock.elapsed(), 3000);
}

} // namespace
} // namespace kd

#include "workspace_tests.moc"
