// Cockpit buttons that take their state from an axis of their own joystick
// instead of one of its buttons (toe brakes as wheel brakes, a lever's end as
// the reverser). What drives each button and its hysteresis state belong to
// the process, never to the block. Fixed storage: nothing is allocated per cycle.
#pragma once

#include "mapping/Assignments.h"

#include <cstdint>

struct AxisButtonSetting {
    std::int32_t axis = -1; // 0..7 (X Y Z Rx Ry Rz SL1 SL2); -1: a joystick button drives it
    std::int32_t threshold = 0;

    bool Drives() const { return axis >= 0; }
};

class AxisButtons {
public:
    static constexpr std::int32_t kAxisCount = 8;
    static constexpr std::int32_t kLargestThreshold = 10000;
    // How far back past the threshold the axis must go before the button is
    // released, so that a noisy axis resting at the threshold does not chatter.
    static constexpr std::int32_t kHysteresis = 500;

    // An axis 0..7 and a threshold within +-10000 other than 0.
    static bool IsValid(std::int32_t axis, std::int32_t threshold);

    // False, and the button left to its joystick button, for a setting that is not valid.
    // Any change starts the button released.
    bool Set(std::int32_t button, std::int32_t axis, std::int32_t threshold);
    void Clear(std::int32_t button);
    void ClearAll();
    AxisButtonSetting Get(std::int32_t button) const;
    bool Drives(std::int32_t button) const;

    // This cycle's state (0 or 1) from the value of the axis on `slot`: a
    // positive threshold presses at value >= threshold and releases at
    // value <= threshold - 500, a negative one presses at value <= threshold
    // and releases at value >= threshold + 500; in between the button stays
    // as it was, unless the axis is another slot's than last cycle's.
    std::uint8_t Update(std::int32_t button, std::int32_t slot, std::int32_t value);
    // Released at once (its joystick is not attached).
    void Release(std::int32_t button);

private:
    static bool InRange(std::int32_t button) { return button >= 0 && button < kCockpitButtonCount; }

    AxisButtonSetting m_settings[kCockpitButtonCount] = {};
    std::uint8_t m_pressed[kCockpitButtonCount] = {};
    std::int32_t m_slots[kCockpitButtonCount] = {}; // where the state was last taken
};
