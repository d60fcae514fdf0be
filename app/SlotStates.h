// What the main window knows of the four slots after a cycle: a copy of each
// attached slot's reading and the lowest-numbered button held on it. The
// polling cycle fills it; the readouts, the rows and the detection read it.
#pragma once

#include "devices/JoystickSet.h"
#include "mapping/JoystickState.h"

#include <algorithm>
#include <cstdint>

struct SlotStates {
    JoystickState state[kJoystickSlots] = {};
    std::int32_t firstButton[kJoystickSlots] = {}; // 1-based; 0 while none is held

    // Copies slots 0..count-1; the others keep what they had.
    void Copy(const JoystickSet& set, int count)
    {
        for (int slot = 0; slot < count; ++slot) {
            set.GetSlotState(slot, state[slot]);
        }
        for (auto& first : firstButton) {
            first = 0;
        }
        for (int slot = 0; slot < count; ++slot) {
            const int buttons = std::clamp(state[slot].buttonCount, 0, 32);
            for (int i = buttons - 1; i >= 0; --i) {
                if (state[slot].buttons[i] != 0) {
                    firstButton[slot] = i + 1;
                }
            }
        }
    }

    // The ID of the joystick last seen in a slot 0..3 (the records name it).
    std::int32_t JoystickId(int slot) const { return static_cast<std::int32_t>(state[slot].joystickId); }
};
