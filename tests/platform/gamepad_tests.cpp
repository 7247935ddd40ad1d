// The pad part driven by SDL's virtual joysticks: hot-plug, commands, repeat and
// the quit combination, without hardware or a display.
#include "platform/gamepad/gamepad.h"
#include "support/runhelpers.h"
#include "support/virtualpad.h"

#include <QSignalSpy>

namespace kd::test {
namespace {

using namespace std::chrono_literals;
using B = PadButton;
using C = PadCommand;

class GamepadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(gamepad.problem(), QString()); }
    // Attaches a pad and waits until the part reads it.
    std::unique_ptr<VirtualPad> attach() {
        auto pad = std::make_unique<VirtualPad>();
        EXPECT_TRUE(waitUntil([&] { return gamepad.padCount() == 1; }, 3000));
        return pad;
    }
    void press(VirtualPad& pad, B button, int holdMs = 30) {
        pad.set(button, true);
        QTest::qWait(holdMs);
        pad.set(button, false);
        QTest::qWait(30);
    }
    QList<C> commands() const {
        QList<C> seen;
        for (const QList<QVariant>& call : commandSpy)
            seen << call.at(0).value<C>();
        return seen;
    }

    Gamepad gamepad;
    QSignalSpy commandSpy{&gamepad, &Gamepad::command};
    QSignalSpy quitSpy{&gamepad, &Gamepad::quitRequested};
};

TEST_F(GamepadTest, ReadsOnlyWhileAPadIsAttachedAndNamesIt) {
    QSignalSpy changes(&gamepad, &Gamepad::padsChanged);
    QTest::qWait(50);
    EXPECT_FALSE(gamepad.isReading());
    EXPECT_EQ(gamepad.padName(), QString());

    auto pad = attach();
    EXPECT_TRUE(gamepad.isReading());
    EXPECT_EQ(gamepad.padName(), QStringLiteral("Sofa Pad Virtual"));
    ASSERT_FALSE(changes.isEmpty());
    EXPECT_EQ(changes.last().at(0).toString(), QStringLiteral("Sofa Pad Virtual"));

    const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(SDL_NumJoysticks() - 1);
    pad->detach();
    ASSERT_TRUE(waitUntil([&] { return gamepad.padCount() == 0; }, 3000));
    EXPECT_FALSE(gamepad.isReading());
    EXPECT_EQ(SDL_GameControllerFromInstanceID(instance), nullptr); // nothing of it kept open
    EXPECT_EQ(changes.last().at(0).toString(), QString());

    // Attached again, it is found again.
    auto again = attach();
    press(*again, B::South);
    EXPECT_EQ(commands(), QList<C>{C::Accept});
}

TEST_F(GamepadTest, EachButtonIsOneCommandAndNoneWhileAGameRuns) {
    auto pad = attach();
    const std::pair<B, C> map[] = {{B::South, C::Accept},
                                   {B::East, C::Cancel},
                                   {B::North, C::Favourite},
                                   {B::Back, C::History},
                                   {B::Start, C::ToggleAvailable},
                                   {B::LeftShoulder, C::PageUp},
                                   {B::RightShoulder, C::PageDown},
                                   {B::Up, C::Up},
                                   {B::Down, C::Down}};
    QList<C> expected;
    for (const auto& [button, command] : map) {
        press(*pad, button);
        expected << command;
    }
    press(*pad, B::West); // not used
    EXPECT_EQ(commands(), expected);

    commandSpy.clear();
    gamepad.setGameRunning(true);
    for (const auto& [button, command] : map)
        press(*pad, button);
    pad->leftStickY(-32000);
    QTest::qWait(600);
    EXPECT_EQ(commands(), QList<C>{});
}

// A held direction repeats after a pause, then faster; letting go stops it.
TEST_F(GamepadTest, AHeldDirectionRepeatsThenSpeedsUp) {
    auto pad = attach();
    QList<qint64> times;
    QElapsedTimer clock;
    QObject::connect(&gamepad, &Gamepad::command, [&](C command) {
        EXPECT_EQ(command, C::Down);
        times << clock.elapsed();
    });
    clock.start();
    pad->leftStickY(30000);
    QTest::qWait(int((Gamepad::SpeedUpAfter + 600ms).count()));
    pad->leftStickY(2000);
    QTest::qWait(60);
    const qsizetype count = times.size();
    QTest::qWait(300);
    EXPECT_EQ(times.size(), count) << "repeats after the stick was let go";

    ASSERT_GE(times.size(), 6);
    EXPECT_GE(times[1] - times[0], Gamepad::RepeatDelay.count() - 25);
    const qint64 slowGap = times[2] - times[1];
    const qint64 fastGap = times.last() - times[times.size() - 2];
    EXPECT_LT(fastGap, slowGap);
}

struct QuitCase {
    const char* name;
    bool running;
    bool enabled;
    int holdMs; // how long both buttons are held
    QuitCombination combination;
    int quits;
};

class QuitCombinationTest : public GamepadTest, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitCombinationTest, StopsOnlyAfterTheHoldWhileAGameRuns) {
    const QuitCase& c = GetParam();
    QuitCombination combination = c.combination;
    combination.enabled = c.enabled;
    gamepad.setQuitCombination(combination);
    gamepad.setGameRunning(c.running);
    auto pad = attach();
    pad->set(combination.first, true);
    QTest::qWait(20);
    pad->set(combination.second, true);
    QTest::qWait(c.holdMs);
    pad->set(combination.first, false);
    pad->set(combination.second, false);
    QTest::qWait(int(combination.hold.count()) + 100);
    EXPECT_EQ(quitSpy.size(), c.quits);
}

const QuitCombination Standard{B::Back, B::Start, 300ms, true};
const QuitCombination Shoulders{B::LeftShoulder, B::RightShoulder, 200ms, true};

INSTANTIATE_TEST_SUITE_P(Gamepad, QuitCombinationTest,
                         ::testing::Values(QuitCase{"held", true, true, 500, Standard, 1},
                                           QuitCase{"heldLongFiresOnce", true, true, 1000, Standard,
                                                    1},
                                           QuitCase{"shortPress", true, true, 100, Standard, 0},
                                           QuitCase{"switchedOff", true, false, 500, Standard, 0},
                                           QuitCase{"noGameRunning", false, true, 500, Standard, 0},
                                           QuitCase{"otherButtons", true, true, 400, Shoulders, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PadButtons, NamesReadBack) {
    for (int button = 0; button < int(B::Count); ++button)
        EXPECT_EQ(padButtonFromName(padButtonName(B(button))), B(button));
    EXPECT_EQ(padButtonFromName(u"start"), B::Start);
    EXPECT_EQ(padButtonFromName(u"nonsense"), std::nullopt);
}

} // namespace
} // namespace kd::test
