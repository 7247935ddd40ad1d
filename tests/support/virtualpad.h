#pragma once

#include "platform/gamepad/padbuttons.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace kd::test {

// A pad that exists only in this process: SDL's virtual joystick, mapped as a
// game controller with every standard button and the two sticks. Made while a
// Gamepad holds SDL's controller support open.
class VirtualPad {
public:
    explicit VirtualPad(const char* name = "Sofa Pad Virtual") {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = int(PadButton::Count);
        desc.button_mask = (1u << int(PadButton::Count)) - 1;
        desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
        desc.name = name;
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        EXPECT_GE(index, 0) << SDL_GetError();
        m_joystick = SDL_JoystickOpen(index);
        EXPECT_NE(m_joystick, nullptr) << SDL_GetError();
    }
    ~VirtualPad() { detach(); }

    void set(PadButton button, bool down) {
        SDL_JoystickSetVirtualButton(m_joystick, int(button), down ? 1 : 0);
    }
    void leftStickY(int value) {
        SDL_JoystickSetVirtualAxis(m_joystick, SDL_CONTROLLER_AXIS_LEFTY, Sint16(value));
    }
    void detach() {
        if (!m_joystick)
            return;
        const SDL_JoystickID instance = SDL_JoystickInstanceID(m_joystick);
        SDL_JoystickClose(m_joystick);
        m_joystick = nullptr;
        for (int index = 0; index < SDL_NumJoysticks(); ++index) {
            if (SDL_JoystickGetDeviceInstanceID(index) == instance)
                SDL_JoystickDetachVirtual(index);
        }
    }

private:
    SDL_Joystick* m_joystick = nullptr;
};

} // namespace kd::test
