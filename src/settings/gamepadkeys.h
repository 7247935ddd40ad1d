#pragma once

#include "settings/settingskeys.h"

namespace kd::ownKeys {

// The pad's quit combination: on or off, its two buttons (by their mapping
// names, "back" and "start") and how long they are held, in milliseconds.
// Absent until the user changes them on the Gamepad page; the reset leaves them alone.
inline constexpr BoolKey GamepadQuit{"GamepadQuit"};
inline constexpr TextKey GamepadQuitFirst{"GamepadQuitFirst"};
inline constexpr TextKey GamepadQuitSecond{"GamepadQuitSecond"};
inline constexpr IntegerKey GamepadQuitHold{"GamepadQuitHold"};

} // namespace kd::ownKeys
