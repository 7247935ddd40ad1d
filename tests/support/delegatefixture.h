#pragma once

#include "app/appdelegate.h"
#include "catalogue/gamelistcontroller.h"
#include "emulator/emulatorprocess.h"
#include "log/view/logview.h"
#include "platform/utf8text.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "support/fakedesktop.h"
#include "support/runhelpers.h"
#include "support/testbundle.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace kd::test {

// An AppDelegate on a throwaway bundle and settings file, with the scripted desktop.
class DelegateFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bundle.isValid());
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
        start();
    }
    void TearDown() override {
        app.reset();
        store.reset();
    }

    QString settingsPath() const { return home.path() + QStringLiteral("/settings.conf"); }
    // The settings file's key=value lines as on disk (a QSettings in this
    // process would answer from the store's own unwritten values).
    QStringList settingsFileLines() const {
        return QString::fromUtf8(readFile(settingsPath())).split(u'\n').filter(QStringLiteral("="));
    }
    QString listFile() const { return bundle.path(QStringLiteral("Kaleidrome.xml")); }
    QString log() const { return app->infomationTextView->text(); }
    // What a field shows for a packaged item while its box is on.
    static QString packaged(const QString& item) {
        return "Kaleidrome Launcher.app/Contents/Resources/kdromepak/" + item;
    }
    // A control carrying `tag`, as the sender of an action.
    QObject* tagged(int tag) {
        AppDelegate::setTag(&m_sender, tag);
        return &m_sender;
    }

    void start() {
        store = std::make_unique<SettingsStore>(settingsPath());
        app = std::make_unique<AppDelegate>(desktop, *store, bundle.resources());
    }
    // A new launcher on the same files, as after quitting and starting again.
    void restart() {
        app.reset();
        store.reset();
        desktop.clear();
        start();
    }
    // The same, through the start-up checks and the list's loading.
    void relaunch() {
        restart();
        app->awakeFromNib();
    }

    QTemporaryDir home;
    TestBundle bundle;
    FakeDesktop desktop;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<AppDelegate> app;

private:
    QPushButton m_sender;
};

// A started launcher whose runs write the emulator's argv to a file, raising the
// launcher itself at their end of output.
class LaunchFixture : public DelegateFixture {
protected:
    void SetUp() override {
        DelegateFixture::SetUp();
        desktop.applications = {{AppDelegate::LauncherName, qint64(::getpid()), 0}};
        app->awakeFromNib();
        desktop.clear();
    }
    QStringList receivedArguments() const {
        QStringList args;
        for (const QByteArray& arg : readFile(argvFile).split('\0'))
            args << textFromUtf8(arg);
        if (!args.isEmpty() && args.last().isEmpty())
            args.removeLast();
        return args;
    }
    bool finished() {
        return waitUntil([&] {
            EmulatorProcess* task = app->task();
            return task && task->hasEnded() && task->outputAtEnd() && desktop.count("raise") > 0;
        });
    }
    // Runs the selected game with `script` and waits for both of its ends.
    void play(const QByteArray& script) {
        ScopedEnv env("KD_DEMO_SCRIPT", script);
        desktop.clear();
        app->start_game();
        ASSERT_TRUE(finished());
    }
    QString argvFile = home.filePath("argv");

private:
    ScopedEnv m_argv{"KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile)};
};

} // namespace kd::test
