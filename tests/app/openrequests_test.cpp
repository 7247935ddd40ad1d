// ROM archives from the command line, from a later start and from drops; the
// launcher in German.
#include "app/translations.h"
#include "platform/instancechannel.h"
#include "platform/instancemessage.h"
#include "support/delegatefixture.h"

#include <QLocalSocket>
#include <QMenuBar>
#include <QUrl>
#include <sys/stat.h>

namespace kd::test {
namespace {

class OpenRequests : public LaunchFixture {
protected:
    void SetUp() override {
        LaunchFixture::SetUp();
        ASSERT_TRUE(writeFile(rom, "PK\x05\x06") && writeFile(other, "PK"));
    }
    QString rom = home.filePath("Astro Vex.zip"), other = home.filePath("other.zip");
};

// The command line's archive waits for start-up, then runs as Open ROM would; so
// does one dropped on a main window.
TEST_F(OpenRequests, AFileFromTheCommandLineOrADropStartsOnceStartUpHasFinished) {
    app->application_openFiles({rom});
    QTest::qWait(50);
    EXPECT_EQ(app->task(), nullptr);
    app->applicationDidFinishLaunching();
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(receivedArguments().value(0), rom);

    // An archive dropped on either main window starts too.
    for (QMainWindow* target : {app->window(), app->window2()}) {
        ASSERT_TRUE(QFile::remove(argvFile) || !QFile::exists(argvFile));
        const QList<QUrl> urls{QUrl::fromLocalFile(target == app->window() ? rom : other)};
        EXPECT_EQ(dropOn(target, urls), std::pair(true, true));
        ASSERT_TRUE(waitUntil([&] { return QFile::exists(argvFile); }));
        ASSERT_TRUE(bothEnds());
        EXPECT_EQ(receivedArguments().value(0), urls[0].toLocalFile());
    }
}

// What cannot be started gets an alert, naming why. (What a drop refuses:
// MainWindow.OnlyAStartableArchiveIsTakenFromADrop.)
TEST_F(OpenRequests, WhatCannotBeStartedIsRefused) {
    app->applicationDidFinishLaunching();
    const QString folder = home.filePath("folder.zip");
    const QString fifo = home.filePath("pipe.zip");
    ASSERT_TRUE(QDir().mkpath(folder) && writeFile(home.filePath("notes.txt"), "x"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const std::pair<QString, const char*> cases[] = {
        {home.filePath("notes.txt"), "Open_NotZip"},
        {home.filePath("gone.zip"), "Open_Missing"},
        {folder, "Open_NotRegular"},
        {fifo, "Open_NotRegular"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path.toStdString());
        desktop.clear();
        app->application_openFiles({path});
        EXPECT_EQ(desktop.argsOf("alert"),
                  (QList<QStringList>{{path + " cannot be started.", app->text(reason)}}));
    }
    QTest::qWait(50);
    EXPECT_EQ(app->task(), nullptr);
    EXPECT_TRUE(log().isEmpty());
}

// What a later start sends arrives as a reopen; anything else only in the system log.
TEST_F(OpenRequests, MessagesFromLaterStartsAndWhatIsNotOne) {
    app->applicationDidFinishLaunching();
    app->window()->hide();
    InstanceChannel channel(home.filePath("launcher.socket"));
    ASSERT_EQ(channel.claim({}), InstanceChannel::Role::Running);
    app->listenToLaterStarts(channel);
    for (const QByteArray& bytes : {QByteArray("--version\n"), *instancemessage::encode({rom})}) {
        QLocalSocket later;
        later.connectToServer(channel.socketPath());
        ASSERT_TRUE(later.waitForConnected(5000));
        later.write(bytes);
        ASSERT_TRUE(later.waitForBytesWritten(5000));
    }
    ASSERT_TRUE(waitUntil([&] { return app->window()->isVisible(); }));
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(receivedArguments().value(0), rom);
    EXPECT_EQ(
        desktop.systemLogLines().filter("Ignored a message on the launcher's socket: ").size(), 1);
}

// In German the windows speak German (the alerts' texts, each under its key:
// StringTable.EveryTextHasAFinishedGermanTranslation) and runs stay the same.
TEST_F(OpenRequests, InGermanTheWindowsSpeakGermanAndRunsStayTheSame) {
    const QStringList english = emulatorArguments({rom}, emulatorForm());
    ScopedEnv language("LANGUAGE", "de");
    const Translations translations(bundle.resources(), "de");
    ASSERT_TRUE(translations.missing().isEmpty()) << translations.missing().join(' ').toStdString();
    restart();
    EXPECT_EQ(app->language(), "de");

    QStringList menus;
    for (QAction* menu : app->window()->menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus,
              (QStringList{"&Launcher", "&Spiel", "&Ansicht", "&Protokoll", "&Fenster", "&Hilfe"}));
    EXPECT_EQ(action("saveLog")->text(), "Protokoll &sichern …");
    // Qt's own texts too: standard buttons and file panels.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");

    EXPECT_EQ(emulatorArguments({rom}, emulatorForm()), english);
}

} // namespace
} // namespace kd::test
