#include "mapping/AxisButtons.h"

bool AxisButtons::IsValid(std::int32_t axis, std::int32_t threshold)
{
    return axis >= 0 && axis < kAxisCount && threshold != 0 && threshold >= -kLargestThreshold
        && threshold <= kLargestThreshold;
}

bool AxisButtons::Set(std::int32_t button, std::int32_t axis, std::int32_t threshold)
{
    if (!InRange(button)) {
        return false;
    }
    m_pressed[button] = 0;
    if (!IsValid(axis, threshold)) {
        m_settings[button] = AxisButtonSetting {};
        return false;
    }
    m_settings[button] = AxisButtonSetting { axis, threshold };
    return true;
}

void AxisButtons::Clear(std::int32_t button)
{
    if (InRange(button)) {
        m_settings[button] = AxisButtonSetting {};
        m_pressed[button] = 0;
    }
}

void AxisButtons::ClearAll()
{
    for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
        Clear(button);
    }
}

AxisButtonSetting AxisButtons::Get(std::int32_t button) const
{
    return InRange(button) ? m_settings[button] : AxisButtonSetting {};
}

bool AxisButtons::Drives(std::int32_t button) const
{
    return InRange(button) && m_settings[button].Drives();
}

std::uint8_t AxisButtons::Update(std::int32_t button, std::int32_t slot, std::int32_t value)
{
    if (!Drives(button)) {
        return 0;
    }
    // A state held on one joystick's axis says nothing about another's.
    if (slot != m_slots[button]) {
        m_slots[button] = slot;
        m_pressed[button] = 0;
    }
    // 64 bits: a threshold of -10000 less the hysteresis must not wrap for any value.
    const std::int64_t v = value;
    const std::int64_t t = m_settings[button].threshold;
    std::uint8_t& pressed = m_pressed[button];
    if (t > 0) {
        if (v >= t) {
            pressed = 1;
        } else if (v <= t - kHysteresis) {
            pressed = 0;
        }
    } else {
        if (v <= t) {
            pressed = 1;
        } else if (v >= t + kHysteresis) {
            pressed = 0;
        }
    }
    return pressed;
}

void AxisButtons::Release(std::int32_t button)
{
    if (InRange(button)) {
        m_pressed[button] = 0;
    }
}
