// JoystickState: one joystick's reading as the device layer delivers it, the
// only form in which joystick input reaches the rest of the system. Copied
// whole (196 bytes); the 24 selectable inputs are the positions, velocities
// and accelerations, in that order.
#pragma once

#include <cstddef>
#include <cstdint>

struct JoystickState {
    std::uint32_t joystickId; // Data1 of the product GUID: vendor | product << 16
    std::int32_t axisSpan; // always 20000
    std::int32_t axisMinimum; // always -10000
    std::int32_t axisMaximum; // always 10000
    std::int32_t buttonCount; // 0..32
    std::int32_t axes[8]; // X, Y, Z, Rx, Ry, Rz, slider 1, slider 2
    std::uint32_t pov[4]; // POV 1..3 in whole degrees; POV 4 not filled
    std::uint8_t buttons[32]; // 1 pressed, 0 released
    std::int32_t velocities[8]; // vX .. vSL2
    std::int32_t accelerations[8]; // aX .. aSL2
    std::int32_t forces[8]; // not filled
};

static_assert(sizeof(JoystickState) == 196);
static_assert(offsetof(JoystickState, axes) == 20);
static_assert(offsetof(JoystickState, pov) == 52);
static_assert(offsetof(JoystickState, buttons) == 68);
static_assert(offsetof(JoystickState, velocities) == 100);
static_assert(offsetof(JoystickState, accelerations) == 132);
static_assert(offsetof(JoystickState, forces) == 164);

inline constexpr int kJoystickSlots = 4;
