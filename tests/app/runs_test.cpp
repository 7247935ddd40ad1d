// Emulator runs through the controller, with the real demo emulator as the child.
#include "emulator/emulatorprocess.h"
#include "log/logview.h"
#include "support/delegatefixture.h"
#include "support/runhelpers.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QWidget>

#include <unistd.h>

namespace kd::test {
namespace {

class Runs : public DelegateFixture {
protected:
    void SetUp() override {
        DelegateFixture::SetUp();
        desktop.applications = {{AppDelegate::LauncherName, qint64(::getpid()), 0}};
    }

    QString log() const { return app->infomationTextView->text(); }
    int alertsWithMessage(const QString& key) const {
        int n = 0;
        for (const AlertRequest& alert : desktop.alerts)
            n += alert.message == app->text(key);
        return n;
    }
    // Starts a supervised run of the demo emulator steered by `script`.
    void launch(const QByteArray& script, bool supervised = true) {
        ScopedEnv env("KD_DEMO_SCRIPT", script);
        supervised ? app->LaunchTask({}) : app->LaunchTask_wait({});
    }
    // Both ends of the current run handled, and the event loop quiet for a moment.
    bool runFinished() {
        EmulatorProcess* task = app->task();
        const bool done = waitUntil([&] {
            return task && task->hasEnded() && task->outputAtEnd() &&
                   desktop.count("raise") > 0;
        });
        QTest::qWait(50);
        return done;
    }
};

TEST_F(Runs, OutputOfBothStreamsArrivesInOrderAndSuccessIsQuiet) {
    launch("out one\nerr two\nout three\nerr four\nexit 0");
    ASSERT_TRUE(runFinished());
    EXPECT_EQ(log(), "one\ntwo\nthree\nfour\n");
    EXPECT_TRUE(desktop.systemLogLines().contains("Task terminate: Success"));
    EXPECT_EQ(desktop.count("beep"), 0);
    EXPECT_EQ(desktop.count("alert"), 0);
    // At the end of output the launcher comes to the front.
    EXPECT_EQ(desktop.argsOf("raise").value(0).value(0), AppDelegate::LauncherName);
}

// A failed supervised run is reported by the end of the process and, when the
// process had ended by the time its output ended, once more by the end of output.
TEST_F(Runs, FailedRunReportsOnceOrTwiceByTheOrderOfItsEnds) {
    struct Case {
        QByteArray script;
        int status;
        int alerts;
    };
    const Case cases[] = {
        {"out bye\ngrandchild 300 late\nexit 1", 1, 2},   // process ends first
        {"out bye\nclose-output\nsleep 300\nexit 1", 1, 1},   // output ends first
        {"grandchild 300 late\nexit 255", 255, 1},
        {"grandchild 300 late\nexit 3", 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.toStdString());
        desktop.clear();
        app->ClearLogAction();
        launch(c.script);
        ASSERT_TRUE(runFinished());
        EXPECT_EQ(desktop.count("beep"), 1);
        EXPECT_EQ(desktop.systemLogLines().filter("Task terminate: Error").value(0),
                  QStringLiteral("Task terminate: Error %1").arg(c.status));
        EXPECT_EQ(alertsWithMessage("Alert_1"), c.alerts);
        EXPECT_TRUE(log().contains(formatText(app->text("Error_4"), c.status)));
        EXPECT_EQ(desktop.alerts.value(0).informativeText, formatText(app->text("Alert_3"), c.status));
    }
}

TEST_F(Runs, WaitingRunReportsOnlyThroughItsEndOfOutput) {
    struct Case {
        QByteArray script;
        int alerts;
    };
    const Case cases[] = {
        {"out x\ngrandchild 300 late\nexit 3", 1},
        {"out x\nclose-output\nsleep 300\nexit 3", 0},
        {"grandchild 300 late\nexit 255", 0},
        {"out fine\nexit 0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.toStdString());
        desktop.clear();
        launch(c.script, /*supervised=*/false);
        // The wait returned: the process has ended.
        ASSERT_TRUE(app->task()->hasEnded());
        ASSERT_TRUE(runFinished());
        EXPECT_EQ(alertsWithMessage("Alert_1"), c.alerts);
        EXPECT_EQ(desktop.count("beep"), 0);
        EXPECT_TRUE(desktop.systemLogLines().filter("Task terminate").isEmpty());
        EXPECT_FALSE(log().contains("exit status"));
    }
}

TEST_F(Runs, WaitingRunDeliversOutputDuringTheWait) {
    launch("out a\nsleep 200\nout b\nexit 0", false);
    EXPECT_EQ(log(), "a\nb\n");
}

// A command option that never ends must not hold the launcher for good.
TEST_F(Runs, AWaitingRunThatNeverEndsIsStoppedAfterItsLimit) {
    app->commandOptionLimit = std::chrono::milliseconds(300);
    launch("out stuck\nrun", /*supervised=*/false);
    ASSERT_TRUE(app->task()->hasEnded());
    EXPECT_EQ(app->task()->exitStatus(), 15);
    EXPECT_TRUE(log().contains("stuck"));
    EXPECT_EQ(desktop.systemLogLines().filter("still running").size(), 1);

    // One that has let go of its output and ignores the terminate request is killed.
    desktop.clear();
    launch("ignore-term\nclose-output\nrun", /*supervised=*/false);
    ASSERT_TRUE(app->task()->hasEnded());
    EXPECT_EQ(app->task()->exitStatus(), 9);
}

TEST_F(Runs, StopWithNothingRunningOnlyRaisesAndReopensWhenFlagged) {
    app->quit_emulator();
    EXPECT_EQ(desktop.callNames(), (QStringList{"listApps", "raise"}));
    EXPECT_FALSE(app->preferencesWindow->isVisible());
    app->visible_prewindow = true;
    app->quit_emulator();
    EXPECT_TRUE(app->preferencesWindow->isVisible());
    EXPECT_FALSE(app->visible_prewindow);
}

TEST_F(Runs, PreferencesWindowClosedForAGameRunReopensAtItsEndOfOutput) {
    app->preferencesWindow->show();
    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out playing\nsleep 200\nexit 0");
        app->LaunchTask_option({{"rom_name", "/roms/astrovex.zip"}});
    }
    EXPECT_FALSE(app->preferencesWindow->isVisible());
    EXPECT_TRUE(app->visible_prewindow);
    ASSERT_TRUE(runFinished());
    EXPECT_TRUE(app->preferencesWindow->isVisible());
    EXPECT_FALSE(app->visible_prewindow);
}

TEST_F(Runs, MissingFolderOfTheEmulatorFallsBackToHome) {
    QTemporaryDir fakeHome;
    ScopedEnv home("HOME", QFile::encodeName(fakeHome.path()));
    // A bare file name has no folder; the program is found relative to ours.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(bundle.path("kdromepak"));
    app->button_exe->click();
    app->textfild_exe->setText("Kaleidrome");
    launch("pwd\nexit 0");
    ASSERT_TRUE(runFinished());
    QDir::setCurrent(previous);
    EXPECT_EQ(log().trimmed(), QDir(fakeHome.path()).canonicalPath());
}

TEST_F(Runs, RunStartsInTheEmulatorsFolder) {
    launch("pwd\nexit 0");
    ASSERT_TRUE(runFinished());
    EXPECT_EQ(log().trimmed(), QDir(bundle.path("kdromepak")).canonicalPath());
}

TEST_F(Runs, AnEmulatorThatCannotStartIsExplainedAndNothingWaits) {
    app->button_exe->click();
    app->textfild_exe->setText("/nowhere/Kaleidrome");
    app->LaunchTask({"-version"});
    ASSERT_NE(app->task(), nullptr);
    EXPECT_FALSE(app->task()->isRunning());
    EXPECT_EQ(alertsWithMessage("Alert_StartFailed"), 1);
    EXPECT_TRUE(desktop.alerts.value(0).informativeText.contains("/nowhere/Kaleidrome"));
    EXPECT_TRUE(log().contains("/nowhere/Kaleidrome"));
    EXPECT_EQ(desktop.systemLogLines().filter("Cannot start").size(), 1);

    // A waiting run that cannot start returns at once; the next good run works.
    app->LaunchTask_wait({"-version"});
    app->button_exe->click();
    desktop.clear();
    launch("out works\nexit 0");
    ASSERT_TRUE(runFinished());
    EXPECT_TRUE(log().endsWith("works\n"));
}

TEST_F(Runs, OutputThatIsNotValidUtf8IsDecodedAcrossChunks) {
    // "€" split over two writes, then a stray byte and a truncated sequence.
    launch("hex e2 82\nsleep 100\nhex ac 0a\nhex 41 ff 42 0a\nhex e2 82\nexit 0");
    ASSERT_TRUE(runFinished());
    EXPECT_EQ(log(), QString::fromUtf8("\u20AC\nA\uFFFDB\n\uFFFD"));
}

TEST_F(Runs, AnOlderRunsEndDoesNotDisturbTheCurrentRun) {
    launch("out first\ngrandchild 400 first-late\nexit 0");
    EmulatorProcess* first = app->task();
    ASSERT_TRUE(waitUntil([&] { return first->hasEnded(); }));
    // A new run while the first one's output is still held open by its grandchild.
    app->visible_prewindow = true;
    launch("out second\nsleep 800\nout second-late\nexit 0");
    EmulatorProcess* second = app->task();
    ASSERT_NE(first, second);
    ASSERT_TRUE(waitUntil([&] { return log().contains("first-late"); }));
    QTest::qWait(100);
    // The first run's end of output neither stopped the second nor reopened the window.
    EXPECT_TRUE(second->isRunning());
    EXPECT_TRUE(app->visible_prewindow);
    ASSERT_TRUE(runFinished());
    EXPECT_TRUE(log().contains("second-late"));
    EXPECT_FALSE(app->visible_prewindow);
    EXPECT_EQ(desktop.systemLogLines().count("Task terminate: Success"), 2);
}

TEST_F(Runs, ClearingWhileARunWritesLosesNothingLater) {
    launch("out before\nsleep 300\nout after\nexit 0");
    ASSERT_TRUE(waitUntil([&] { return log().contains("before"); }));
    app->ClearLogAction();
    ASSERT_TRUE(runFinished());
    EXPECT_EQ(log(), "after\n");
}

TEST_F(Runs, TheErrorAlertsLogButtonShowsTheLogWindow) {
    desktop.alertAnswers = {0};
    app->display_Alert_Error(4);
    EXPECT_FALSE(app->logWindow->isVisible());
    desktop.alertAnswers = {1};
    app->display_Alert_Error(4);
    EXPECT_TRUE(app->logWindow->isVisible());
    EXPECT_EQ(desktop.alerts.value(1).buttons, (QStringList{"OK", "Log"}));
}

} // namespace
} // namespace kd::test
