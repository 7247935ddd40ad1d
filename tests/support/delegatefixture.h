#pragma once

#include "app/appdelegate.h"
#include "app/runs/runsupervisor.h"
#include "app/windows/activityindicator.h"
#include "app/windows/gametableview.h"
#include "app/windows/imageview.h"
#include "app/windows/mainwindow.h"
#include "app/windows/preferenceswindow.h"
#include "catalogue/gamelistcontroller.h"
#include "emulator/emulatorprocess.h"
#include "log/view/logfindbar.h"
#include "log/view/logview.h"
#include "platform/utf8text.h"
#include "settings/settingskeys.h"
#include "settings/settingsstore.h"
#include "support/fakedesktop.h"
#include "support/runhelpers.h"
#include "support/testbundle.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace kd::test {

// The key=value lines of a settings file as on disk (a QSettings in this
// process would answer from the store's own unwritten values).
inline QStringList settingsLines(const QString& file) {
    return QString::fromUtf8(readFile(file)).split(u'\n').filter(QStringLiteral("="));
}

// The launcher's windows, parts and controls, found by their names.
template <class T = QWidget> T* topLevel(const QString& name) {
    T* found = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() != name)
            continue;
        EXPECT_EQ(found, nullptr) << "two windows named " << name.toStdString();
        found = qobject_cast<T*>(window);
    }
    EXPECT_NE(found, nullptr) << "no window named " << name.toStdString();
    return found;
}
template <class T> T* in(const QString& window, const QString& name) {
    T* found = topLevel(window)->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString() << " in " << window.toStdString();
    return found;
}
inline QCheckBox* box(const QString& name) {
    return in<QCheckBox>(QStringLiteral("preferencesWindow"), name);
}
inline QLineEdit* field(const QString& name) {
    return in<QLineEdit>(QStringLiteral("preferencesWindow"), name);
}
inline QComboBox* popup(const QString& name) {
    return in<QComboBox>(QStringLiteral("preferencesWindow"), name);
}
inline LogView* logView() {
    return in<LogView>(QStringLiteral("logWindow"), QStringLiteral("infomationTextView"));
}

// Drags `urls` onto `target` and drops them there: whether the drag and the
// drop were taken.
inline std::pair<bool, bool> dropOn(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QApplication::sendEvent(target, &drop);
    return {enter.isAccepted(), drop.isAccepted()};
}

// An AppDelegate on a throwaway bundle and settings file, with the scripted desktop.
class DelegateFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bundle.isValid());
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
        start();
    }
    void TearDown() override {
        app.reset();
        store.reset();
    }

    QString settingsPath() const { return home.path() + QStringLiteral("/settings.conf"); }
    QString listFile() const { return bundle.path(QStringLiteral("Kaleidrome.xml")); }
    static QWidget* preferencesWindow() { return topLevel(QStringLiteral("preferencesWindow")); }
    static QWidget* logWindow() { return topLevel(QStringLiteral("logWindow")); }
    QString log() const { return logView()->text(); }
    // What a field shows for a packaged item while its box is on.
    static QString packaged(const QString& item) {
        return "Kaleidrome Launcher.app/Contents/Resources/kdromepak/" + item;
    }

    // The game table, search field, status line and artwork of main window 1 or 2.
    GameTableView* table(int window = 1) const {
        return child<GameTableView>(window, QStringLiteral("tableView_list"));
    }
    QLineEdit* searchField(int window = 1) const {
        return child<QLineEdit>(window, QStringLiteral("searchField"));
    }
    QLabel* statusLine(int window = 1) const {
        return child<QLabel>(window, QStringLiteral("statusLine"));
    }
    ImageView* imageView(int window = 1) const {
        return child<ImageView>(window, QStringLiteral("imageView"));
    }
    ImageView* iconView(int window = 1) const {
        return child<ImageView>(window, QStringLiteral("iconView"));
    }
    QAction* action(const QString& name) const {
        QAction* found = app->findChild<QAction*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    GameListController* list() const {
        return app->findChild<GameListController*>(QStringLiteral("arrayController_list"));
    }
    RunSupervisor* runs() const { return app->findChild<RunSupervisor*>(); }
    // What a game run would pass on, as the form shows it now.
    static EmulatorForm emulatorForm() {
        return topLevel<PreferencesWindow>(QStringLiteral("preferencesWindow"))->emulatorForm();
    }
    // Types into a field as a user would: its text is replaced and stored
    // (nothing changes in a field that cannot be typed into).
    static void type(QLineEdit* field, const QString& text) {
        if (field->isReadOnly())
            return;
        field->selectAll();
        field->del();
        field->insert(text);
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
    template <class T> T* child(int window, const QString& name) const {
        MainWindow* main = window == 2 ? app->window2() : app->window();
        T* found = main->findChild<T*>(window == 2 ? name + u'2' : name);
        EXPECT_NE(found, nullptr) << name.toStdString() << " in main window " << window;
        return found;
    }
};

// A launcher that brings itself to the front at the end of a run's output, with
// the demo emulator as its child.
class RunFixture : public DelegateFixture {
protected:
    void SetUp() override {
        DelegateFixture::SetUp();
        desktop.applications = {{AppDelegate::LauncherName, qint64(::getpid()), 0}};
    }

    int alertsWithMessage(const QString& key) const {
        return int(
            std::count_if(desktop.alerts.begin(), desktop.alerts.end(),
                          [&](const AlertRequest& a) { return a.message == app->text(key); }));
    }
    // Starts a supervised run (or a waiting one, which returns at its end) of the
    // demo emulator steered by `script`.
    EmulatorProcess* launch(const QByteArray& script, bool supervised = true) {
        ScopedEnv env("KD_DEMO_SCRIPT", script);
        supervised ? app->LaunchTask({}) : app->LaunchTask_wait({});
        return app->task();
    }
    // Both ends of the current run handled, and the event loop quiet for a moment.
    bool bothEnds(int ms = 15000) {
        EmulatorProcess* task = app->task();
        const bool done = waitUntil(
            [&] {
                return task && task->hasEnded() && task->outputAtEnd() &&
                       desktop.count("raise") > 0;
            },
            ms);
        QTest::qWait(50);
        return done;
    }
};

// The same launcher started, its runs writing the emulator's argv to a file.
class LaunchFixture : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
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
    // Runs the selected game with `script` and waits for both of its ends.
    void play(const QByteArray& script) {
        ScopedEnv env("KD_DEMO_SCRIPT", script);
        desktop.clear();
        app->start_game();
        ASSERT_TRUE(bothEnds());
    }
    QString argvFile = home.filePath("argv");

private:
    ScopedEnv m_argv{"KD_DEMO_ARGV_FILE", QFile::encodeName(argvFile)};
};

} // namespace kd::test
