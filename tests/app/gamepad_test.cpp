// The launcher driven by a pad (SDL's virtual joystick): navigation in the
// active window, alerts, a game started and stopped from the pad.
#include "settings/gamepadkeys.h"
#include "support/delegatefixture.h"
#include "support/virtualpad.h"

#include <QMessageBox>
#include <QSpinBox>

namespace kd::test {
namespace {

using B = PadButton;

class PadInLauncher : public LaunchFixture {
protected:
    void SetUp() override {
        LaunchFixture::SetUp();
        type(field("textfild_roms"), home.filePath("roms"));
        app->show_Mainwindow();
        QApplication::setActiveWindow(app->window());
        app->setSelectionIndex(0);
        pad = std::make_unique<VirtualPad>();
        ASSERT_TRUE(waitUntil([&] { return padLine()->isVisibleTo(app->window()); }, 3000));
    }
    void TearDown() override {
        pad.reset();
        LaunchFixture::TearDown();
    }
    void press(B button, int holdMs = 30) {
        pad->set(button, true);
        QTest::qWait(holdMs);
        pad->set(button, false);
        QTest::qWait(40);
    }
    void holdBoth(int ms) {
        pad->set(B::Back, true);
        pad->set(B::Start, true);
        QTest::qWait(ms);
        pad->set(B::Back, false);
        pad->set(B::Start, false);
        QTest::qWait(40);
    }
    QLabel* padLine() const { return app->window()->findChild<QLabel*>("padLine"); }

    std::unique_ptr<VirtualPad> pad;
};

TEST_F(PadInLauncher, MovesAndActsInTheActiveWindowOnlyAndNamesThePad) {
    EXPECT_EQ(padLine()->text(), "Gamepad: Sofa Pad Virtual");
    press(B::Down);
    EXPECT_EQ(app->selectionIndex(), 1);
    press(B::Up);
    EXPECT_EQ(app->selectionIndex(), 0);
    press(B::RightShoulder);
    EXPECT_GT(app->selectionIndex(), 1);
    const qint64 paged = app->selectionIndex();

    // Another application has the focus: the launcher leaves the pad alone.
    const bool favourite = action("favourite")->isChecked();
    QApplication::setActiveWindow(nullptr);
    press(B::Down);
    press(B::North);
    EXPECT_EQ(app->selectionIndex(), paged);
    EXPECT_EQ(action("favourite")->isChecked(), favourite);

    QApplication::setActiveWindow(app->window());
    press(B::North);
    EXPECT_NE(action("favourite")->isChecked(), favourite);
    const bool available = action("onlyAvailable")->isChecked();
    press(B::Start);
    EXPECT_NE(action("onlyAvailable")->isChecked(), available);
    press(B::Start);
    EXPECT_EQ(action("onlyAvailable")->isChecked(), available);

    app->setSearchText("a");
    press(B::East);
    EXPECT_EQ(searchField()->text(), "");
    EXPECT_TRUE(app->window()->isVisible()); // B closes no main window

    press(B::Back);
    QWidget* history = topLevel("historyWindow");
    ASSERT_TRUE(history->isVisible());
    QApplication::setActiveWindow(history);
    press(B::East);
    EXPECT_FALSE(history->isVisible());

    pad->detach();
    EXPECT_TRUE(waitUntil([&] { return !padLine()->isVisibleTo(app->window()); }, 3000));
}

TEST_F(PadInLauncher, AnswersAnAlertWithItsDefaultOrItsCancelButton) {
    for (const auto& [button, answer] :
         {std::pair{B::South, QMessageBox::Yes}, std::pair{B::East, QMessageBox::No}}) {
        QMessageBox box(QMessageBox::Question, "Kaleidrome Launcher", "Stop the game?",
                        QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        ASSERT_EQ(QApplication::activeModalWidget(), &box);
        press(button);
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(box.result(), answer);
        EXPECT_EQ(app->task(), nullptr); // A answered the alert, it started nothing
    }
}

// A starts the selected game as Return does; while it runs the pad belongs to
// it, and only the combination held long enough stops it, through Stop Emulator.
TEST_F(PadInLauncher, StartsAGameThenOnlyTheHeldCombinationStopsIt) {
    // The Gamepad page's hold time, stored and in force at once.
    auto* hold = in<QSpinBox>("preferencesWindow", "textfild_padQuitHold");
    EXPECT_EQ(hold->value(), 1000);
    hold->setValue(400);
    EXPECT_EQ(store->value(ownKeys::GamepadQuitHold), 400);

    ScopedEnv script("KD_DEMO_SCRIPT", "trap-term\nout playing\nrun\nout saved\nexit 3");
    press(B::South);
    ASSERT_NE(app->task(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return log().contains("playing"); }));
    EXPECT_EQ(receivedArguments().filter(".zip"),
              QStringList{home.filePath("roms") + "/" + *app->selectedGameName() + ".zip"});

    press(B::Down);
    press(B::North);
    press(B::South);
    holdBoth(150);
    QTest::qWait(500);
    EXPECT_EQ(app->selectionIndex(), 0);
    EXPECT_TRUE(app->task()->isRunning());
    EXPECT_FALSE(log().contains("saved"));

    holdBoth(700);
    ASSERT_TRUE(bothEnds());
    EXPECT_EQ(app->task()->exitStatus(), 3); // its own end, after the trapped request
    EXPECT_TRUE(log().contains("playing\nsaved\n")) << log().toStdString();
    EXPECT_EQ(desktop.systemLogLines().filter("quit combination held").size(), 1);
    EXPECT_TRUE(desktop.systemLogLines().contains("Task terminate: Error 3"));

    app->DefaultAction(); // the reset leaves the pad's keys alone
    EXPECT_EQ(hold->value(), 400);
}

} // namespace
} // namespace kd::test
