#include "app/InputDetector.h"

#include "mapping/Assignments.h"
#include "mapping/AxisButtons.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kAxesPerGroup = 8;
constexpr int kHats = 3;

} // namespace

std::int32_t InputDetector::AxisInputValue(const JoystickState& state, int input)
{
    if (input < kAxesPerGroup) {
        return state.axes[input];
    }
    if (input < 2 * kAxesPerGroup) {
        return state.velocities[input - kAxesPerGroup];
    }
    return state.accelerations[input - 2 * kAxesPerGroup];
}

bool InputDetector::AxisPushedPastHalf(const JoystickState& start, const JoystickState& now, Found& found)
{
    // It must have started short of the threshold by the buttons' hysteresis,
    // so that an axis resting near half its travel is not taken for a push.
    constexpr std::int32_t kShortOf = kAxisButtonThreshold - AxisButtons::kHysteresis;
    for (int axis = 0; axis < AxisButtons::kAxisCount; ++axis) {
        const std::int32_t from = start.axes[axis];
        const std::int32_t to = now.axes[axis];
        if (to >= kAxisButtonThreshold && from < kShortOf) {
            found = { 0, axis, kAxisButtonThreshold };
            return true;
        }
        if (to <= -kAxisButtonThreshold && from > -kShortOf) {
            found = { 0, axis, -kAxisButtonThreshold };
            return true;
        }
    }
    return false;
}

void InputDetector::Start(Kind kind, int row, const JoystickState* states, int count, std::int64_t nowMs)
{
    m_active = true;
    m_kind = kind;
    m_row = row;
    m_count = std::clamp(count, 0, kJoystickSlots);
    m_startMs = nowMs;
    for (int slot = 0; slot < m_count; ++slot) {
        m_start[slot] = states[slot];
        m_previous[slot] = states[slot];
    }
}

int InputDetector::SecondsLeft(std::int64_t nowMs) const
{
    const std::int64_t left = kTimeoutMs - (nowMs - m_startMs);
    return left <= 0 ? 0 : static_cast<int>((left + 999) / 1000);
}

InputDetector::Step InputDetector::Update(const JoystickState* states, int count, std::int64_t nowMs, Found& found)
{
    if (!m_active) {
        return Step::Idle;
    }
    // A joystick that came after the start has no reading to compare with.
    const int slots = std::min(m_count, std::clamp(count, 0, kJoystickSlots));
    bool moved = false;
    for (int slot = 0; slot < slots && !moved; ++slot) {
        const JoystickState& now = states[slot];
        const JoystickState& before = m_previous[slot];
        switch (m_kind) {
        case Kind::Axis: {
            // Measured from the start, so a slow but large movement counts too.
            const std::int64_t span = now.axisSpan > 0 ? now.axisSpan : 20000;
            for (int input = 0; input < kAxisInputCount; ++input) {
                const std::int64_t change
                    = static_cast<std::int64_t>(AxisInputValue(now, input)) - AxisInputValue(m_start[slot], input);
                if (std::llabs(change) * kRangeDivisor > span) {
                    found = { slot, input };
                    moved = true;
                    break;
                }
            }
            break;
        }
        case Kind::Button: {
            const int buttons = std::clamp(now.buttonCount, 0, 32);
            for (int button = 0; button < buttons; ++button) {
                if (now.buttons[button] != 0 && before.buttons[button] == 0) {
                    found = { slot, button + 1, 0 };
                    moved = true;
                    break;
                }
            }
            if (!moved && AxisPushedPastHalf(m_start[slot], now, found)) {
                found.slot = slot;
                moved = true;
            }
            break;
        }
        case Kind::Hat:
            for (int hat = 0; hat < kHats; ++hat) {
                if (!HatCentred(now.pov[hat]) && HatCentred(before.pov[hat])) {
                    found = { slot, hat + 1 };
                    moved = true;
                    break;
                }
            }
            break;
        }
    }
    for (int slot = 0; slot < slots; ++slot) {
        m_previous[slot] = states[slot];
    }
    if (moved) {
        m_active = false;
        return Step::Found;
    }
    if (nowMs - m_startMs >= kTimeoutMs) {
        m_active = false;
        return Step::TimedOut;
    }
    return Step::Waiting;
}
