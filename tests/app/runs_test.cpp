// Emulator runs through the controller, with the real demo emulator as the child.
#include "support/delegatefixture.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <tuple>

namespace kd::test {
namespace {

using Runs = RunFixture;

// Both streams in order, invalid UTF-8 decoded across chunks ("€" split over two
// writes, a stray byte, a truncated sequence), in the emulator's own folder; at
// home when the emulator's path names no folder. (That a success is quiet:
// APlainFailedRun… with status 0, and MisbehavingEmulator's runs.)
TEST_F(Runs, OutputArrivesInOrderInTheEmulatorsFolderOrAtHome) {
    launch("pwd\nout one\nerr two\nout three\nerr four\nhex e2 82\nsleep 100\nhex ac 0a\n"
           "hex 41 ff 42 0a\nhex e2 82\nexit 0");
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(log(), QDir(bundle.path("kdromepak")).canonicalPath() +
                         QString::fromUtf8("\none\ntwo\nthree\nfour\n\u20AC\nA\uFFFDB\n\uFFFD"));
    // At the end of output the launcher comes to the front.
    EXPECT_EQ(desktop.argsOf("raise").value(0).value(0), AppDelegate::LauncherName);

    // A bare file name has no folder; the program is found relative to ours.
    QTemporaryDir fakeHome;
    ScopedEnv home("HOME", QFile::encodeName(fakeHome.path()));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(bundle.path("kdromepak"));
    box("button_exe")->click();
    type(field("textfild_exe"), "Kaleidrome");
    app->ClearLogAction();
    launch("pwd\nexit 0");
    ASSERT_TRUE(bothEnds());
    QDir::setCurrent(previous);
    EXPECT_EQ(log().trimmed(), QDir(fakeHome.path()).canonicalPath());
}

// A failed run is reported as the kernel knows it: an emulator that prints its
// error and exits has ended by the time its output has, whichever of the two
// events the launcher happens to handle first. The event loop is held until the
// child has exited, so both events are pending and the answer cannot depend on luck.
TEST_F(Runs, APlainFailedRunIsReportedByBothEndsOfASupervisedRunAndOnceByAWaitingRun) {
    const std::tuple<int, bool, int> cases[] = {
        {0, true, 0}, {3, true, 2}, {255, true, 1}, {0, false, 0}, {3, false, 1}, {255, false, 0},
    };
    for (const auto& [status, supervised, alerts] : cases) {
        SCOPED_TRACE(testing::Message() << status << (supervised ? " supervised" : " waiting"));
        desktop.clear();
        app->ClearLogAction();
        ScopedEnv env("KD_DEMO_SCRIPT", QByteArray("out bye\nexit ") + QByteArray::number(status));
        if (supervised) {
            app->LaunchTask({});
            ASSERT_TRUE(holdUntilExited(app->task()->pid()));
        } else {
            // The first thing the wait's event loop does is to hold still until the exit.
            QTimer::singleShot(0, [this] { holdUntilExited(app->task()->pid()); });
            app->LaunchTask_wait({});
        }
        ASSERT_TRUE(bothEnds());
        EXPECT_EQ(alertsWithMessage("Alert_1"), alerts);
        for (const AlertRequest& alert : desktop.alerts)
            EXPECT_EQ(alert.informativeText, formatText(app->text("Alert_3"), status));
        const bool reportsEnd = supervised && status != 0;
        EXPECT_EQ(desktop.count("beep"), reportsEnd ? 1 : 0);
        EXPECT_EQ(desktop.systemLogLines().filter("Task terminate: Error"),
                  reportsEnd ? QStringList{QStringLiteral("Task terminate: Error %1").arg(status)}
                             : QStringList());
        EXPECT_EQ(log().contains(formatText(app->text("Error_4"), status)), reportsEnd);
        EXPECT_TRUE(log().startsWith("bye\n"));
    }
}

// (An emulator that closes its output and runs on is reported once, at its
// end: MisbehavingEmulator.OnesThatRunOnAreStoppedOnRequest.)

// The user takes a while to answer the first alert. Output keeps flowing, but
// the other end of the run waits until the alert has closed: the alerts come one
// after another, and the stop step never runs inside one.
TEST_F(Runs, TheEndsOfARunWaitWhileAnAlertIsUp) {
    int alertsSeen = 0;
    desktop.whileModal = [&](const QString&) {
        ++alertsSeen;
        QTest::qWait(400); // a real modal loop turns the event loop meanwhile
    };
    desktop.alertAnswers = {0, 0}; // OK: the log window stays closed
    launch("out first\nsleep 50\nout second\nexit 3");
    ASSERT_TRUE(waitUntil([&] { return alertsSeen == 2; }));
    QTest::qWait(100);
    EXPECT_EQ(desktop.deepestModal, 1);
    for (const FakeDesktop::Call& call : desktop.calls)
        EXPECT_FALSE(call.duringModal) << call.name.toStdString() << " while an alert was up";
    EXPECT_EQ(alertsWithMessage("Alert_1"), 2);
    EXPECT_EQ(log(), "first\nsecond\n" + formatText(app->text("Error_4"), 3));
    EXPECT_FALSE(logWindow()->isVisible());

    // While a question is up a run's output still reaches the log; its end waits.
    desktop.clear();
    desktop.whileModal = [&](const QString&) {
        EXPECT_TRUE(waitUntil([&] { return log().contains("streaming"); }, 5000));
        QTest::qWait(200);
    };
    launch("sleep 100\nout streaming\nexit 0");
    desktop.alertAnswers = {1}; // Log
    app->display_Alert_Error(4);
    EXPECT_EQ(desktop.count("raise"), 0);
    ASSERT_TRUE(bothEnds());
    EXPECT_TRUE(logWindow()->isVisible());
    EXPECT_EQ(desktop.alerts.value(0).buttons, (QStringList{"OK", "Log"}));
    EXPECT_EQ(desktop.alerts.value(0).cancelButton, 0);
    EXPECT_EQ(desktop.alerts.value(0).style, AlertStyle::Warning);
}

// A command option may print for a long time; only one that prints nothing for
// its idle limit is stopped, and the log says so.
TEST_F(Runs, ACommandOptionIsStoppedOnlyAfterPrintingNothingForItsIdleLimit) {
    runs()->setIdleLimit(std::chrono::milliseconds(400));
    QByteArray busy;
    QString printed;
    for (int i = 0; i < 8; ++i) {
        busy += "out line " + QByteArray::number(i) + "\nsleep 150\n";
        printed += QStringLiteral("line %1\n").arg(i);
    }
    launch(busy + "exit 0", /*supervised=*/false);
    ASSERT_TRUE(app->task()->hasEnded());
    EXPECT_EQ(app->task()->exitStatus(), 0);
    EXPECT_EQ(log(), printed); // delivered during the wait
    EXPECT_TRUE(desktop.systemLogLines().filter("printed nothing").isEmpty());

    launch("out stuck\nrun", /*supervised=*/false);
    ASSERT_TRUE(app->task()->hasEnded());
    EXPECT_EQ(app->task()->exitStatus(), 15);
    EXPECT_EQ(desktop.systemLogLines().filter("printed nothing for").size(), 1);
    EXPECT_TRUE(log().contains("stuck\nCommand option \"\" printed nothing for"));
}

// After the terminate request an emulator gets a grace to save and exit; one
// that is still running after it is killed, and the log says why status 9 came.
TEST_F(Runs, AStoppedEmulatorIsKilledOnlyWhenItOutlivesItsGrace) {
    // Saving takes longer than the drain bound, less than the grace.
    launch("trap-term\nout playing\nrun\nout saving\nsleep 3500\nout saved\nexit 7");
    ASSERT_TRUE(waitUntil([&] { return log().contains("playing"); }));
    app->quit_emulator();
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(app->task()->exitStatus(), 7);
    EXPECT_TRUE(log().contains("saving\nsaved\n")) << log().toStdString();
    EXPECT_TRUE(desktop.systemLogLines().contains("Task terminate: Error 7"));
    EXPECT_TRUE(desktop.systemLogLines().filter("killed").isEmpty());
    EXPECT_EQ(desktop.systemLogLines().filter("still holds its output open 3 s after").size(), 1);

    desktop.clear();
    runs()->setTerminateGrace(std::chrono::milliseconds(500));
    launch("ignore-term\nclose-output\nrun");
    ASSERT_TRUE(waitUntil([&] { return app->task()->outputAtEnd(); }));
    // Nothing is left to drain, so nothing holds the launcher; the kill waits for the grace.
    QElapsedTimer clock;
    clock.start();
    app->quit_emulator();
    EXPECT_LT(clock.elapsed(), 400);
    ASSERT_TRUE(bothEnds());
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_EQ(app->task()->exitStatus(), 9);
    const QString killed =
        QStringLiteral("did not end within 0.5 s of the terminate request; killed");
    EXPECT_EQ(desktop.systemLogLines().filter(killed).size(), 1);
    EXPECT_TRUE(log().contains(killed));
}

// A stop with nothing running only brings the launcher to the front, and shows
// the preferences window again when a run had closed it. The log cleared while
// a run writes loses nothing written later.
TEST_F(Runs, PreferencesWindowClosedForAGameRunReopensAtItsEndOfOutput) {
    app->quit_emulator();
    EXPECT_EQ(desktop.callNames(), (QStringList{"listApps", "raise"}));
    EXPECT_FALSE(preferencesWindow()->isVisible());
    app->setVisible_prewindow(true);
    app->quit_emulator();
    EXPECT_TRUE(preferencesWindow()->isVisible());
    EXPECT_FALSE(app->visible_prewindow());

    {
        ScopedEnv env("KD_DEMO_SCRIPT", "out playing\nsleep 300\nout after\nexit 0");
        app->LaunchTask_option({"/roms/astrovex.zip"});
    }
    EXPECT_FALSE(preferencesWindow()->isVisible());
    EXPECT_TRUE(app->visible_prewindow());
    ASSERT_TRUE(waitUntil([&] { return log().contains("playing"); }));
    app->ClearLogAction();
    ASSERT_TRUE(bothEnds());
    EXPECT_TRUE(preferencesWindow()->isVisible());
    EXPECT_FALSE(app->visible_prewindow());
    EXPECT_EQ(log(), "after\n");
}

TEST_F(Runs, AnEmulatorThatCannotStartIsExplainedAndNothingWaits) {
    box("button_exe")->click();
    type(field("textfild_exe"), "/nowhere/Kaleidrome");
    // The preferences window closed for the run comes back: the request is over.
    preferencesWindow()->show();
    app->LaunchTask_option({"/roms/astrovex.zip"});
    EXPECT_TRUE(preferencesWindow()->isVisible());
    EXPECT_FALSE(app->visible_prewindow());
    desktop.clear();
    app->ClearLogAction();

    logWindow()->hide();
    desktop.alertAnswers = {1};    // "Log"
    app->LaunchTask({"-version"}); // (the run it leaves: RunSupervisor.ARunIsCurrent…)
    EXPECT_EQ(alertsWithMessage("Alert_StartFailed"), 1);
    EXPECT_TRUE(logWindow()->isVisible());
    EXPECT_TRUE(desktop.alerts.value(0).informativeText.contains("/nowhere/Kaleidrome"));
    EXPECT_TRUE(log().contains("/nowhere/Kaleidrome"));
    EXPECT_EQ(desktop.systemLogLines().filter("Cannot start").size(), 1);

    // A waiting run that cannot start returns at once. Its alert offers the
    // emulator's chooser; with the emulator chosen there the next run works.
    desktop.alertAnswers = {2};
    desktop.openPanelAnswers = {bundle.path("kdromepak/Kaleidrome")};
    app->LaunchTask_wait({"-version"});
    EXPECT_EQ(desktop.alerts.value(1).buttons,
              (QStringList{"OK", "Log", app->text("Button_ChooseEmulator")}));
    EXPECT_EQ(store->stringForKey(keys::ExecutionPath), bundle.path("kdromepak/Kaleidrome"));
    EXPECT_FALSE(box("button_exe")->isChecked());
    desktop.clear();
    launch("out works\nexit 0");
    ASSERT_TRUE(bothEnds());
    EXPECT_TRUE(log().endsWith("works\n"));
}

TEST_F(Runs, AnOlderRunsEndDoesNotDisturbTheCurrentRun) {
    launch("out first\ngrandchild 400 first-late\nexit 0");
    EmulatorProcess* first = app->task();
    const QPointer<EmulatorProcess> firstProcess(first);
    ASSERT_TRUE(waitUntil([&] { return first->hasEnded(); }));
    // Its success is told at its end; the launcher comes to the front only at the
    // end of the output its grandchild still holds.
    EXPECT_FALSE(first->outputAtEnd());
    EXPECT_TRUE(desktop.systemLogLines().contains("Task terminate: Success"));
    EXPECT_EQ(desktop.count("raise"), 0);
    // A new run while the first one's output is still held open by its grandchild.
    app->setVisible_prewindow(true);
    launch("out second\nsleep 800\nout second-late\nexit 0");
    EmulatorProcess* second = app->task();
    ASSERT_NE(first, second);
    ASSERT_TRUE(waitUntil([&] { return log().contains("first-late"); }));
    QTest::qWait(100);
    // The first run's end of output neither stopped the second nor reopened the window.
    EXPECT_TRUE(second->isRunning());
    EXPECT_TRUE(app->visible_prewindow());
    ASSERT_TRUE(bothEnds());
    EXPECT_TRUE(log().contains("second-late"));
    EXPECT_FALSE(app->visible_prewindow());
    EXPECT_EQ(desktop.systemLogLines().count("Task terminate: Success"), 2);
    // With both its ends handled, the first run is let go.
    EXPECT_TRUE(waitUntil([&] { return firstProcess.isNull(); }));
}

} // namespace
} // namespace kd::test
