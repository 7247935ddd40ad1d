#pragma once

#include <QString>
#include <chrono>
#include <optional>

namespace kd {

// The buttons of a standard pad by position (South is "A" on most pads), in
// the game-controller API's own order.
enum class PadButton {
    South,
    East,
    West,
    North,
    Back,
    Guide,
    Start,
    LeftStick,
    RightStick,
    LeftShoulder,
    RightShoulder,
    Up,
    Down,
    Left,
    Right,
    Count
};

// The name a button is stored under ("back", "start"), as controller mappings spell it.
QString padButtonName(PadButton button);
std::optional<PadButton> padButtonFromName(QStringView name);

// What the pad asks of the launcher.
enum class PadCommand {
    Up,
    Down,
    PageUp,
    PageDown,
    Accept,          // South
    Favourite,       // North
    Cancel,          // East
    History,         // Back
    ToggleAvailable, // Start
};

// Held together for `hold`, the two buttons stop a running game.
struct QuitCombination {
    PadButton first = PadButton::Back;
    PadButton second = PadButton::Start;
    std::chrono::milliseconds hold{1000};
    bool enabled = true;
    bool operator==(const QuitCombination&) const = default;
};

} // namespace kd
