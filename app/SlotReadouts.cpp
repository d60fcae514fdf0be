#include "app/SlotReadouts.h"

#include "devices/InstanceKeys.h"

#include "app/TavelinDlgIds.h"
#include "devices/JoystickSet.h"

#include <cstring>

using namespace MainIds;

// clang-format off
const ReadoutLine SlotReadouts::kReadoutLines[kLines] = {
    { "ID",     ReadoutSource::JoystickId,   0,
        "The joystick's ID, its vendor and product number as configuration files store it." },
    { "X",      ReadoutSource::Axis,         0, "The X axis, from -10000 to 10000." },
    { "Y",      ReadoutSource::Axis,         1, "The Y axis, from -10000 to 10000." },
    { "Z",      ReadoutSource::Axis,         2, "The Z axis, from -10000 to 10000." },
    { "Rx",     ReadoutSource::Axis,         3, "The X rotation axis, from -10000 to 10000." },
    { "Ry",     ReadoutSource::Axis,         4, "The Y rotation axis, from -10000 to 10000." },
    { "Rz",     ReadoutSource::Axis,         5, "The Z rotation axis, from -10000 to 10000." },
    { "SL1",    ReadoutSource::Axis,         6, "The first slider, from -10000 to 10000." },
    { "SL2",    ReadoutSource::Axis,         7, "The second slider, from -10000 to 10000." },
    { "POV1",   ReadoutSource::Pov,          0,
        "Hat 1's direction in degrees clockwise from forward; a large number while centred." },
    { "BTNS",   ReadoutSource::ButtonCount,  0, "How many buttons the joystick has." },
    { "BTN   ", ReadoutSource::FirstButton,  0,
        "The lowest-numbered button held down, counted from 1; 0 while none is." },
    { "vX",     ReadoutSource::Velocity,     0, "The X axis velocity, in the driver's units." },
    { "vY",     ReadoutSource::Velocity,     1, "The Y axis velocity, in the driver's units." },
    { "vZ",     ReadoutSource::Velocity,     2, "The Z axis velocity, in the driver's units." },
    { "vRx",    ReadoutSource::Velocity,     3, "The X rotation velocity, in the driver's units." },
    { "vRy",    ReadoutSource::Velocity,     4, "The Y rotation velocity, in the driver's units." },
    { "vRz",    ReadoutSource::Velocity,     5, "The Z rotation velocity, in the driver's units." },
    { "vSL1",   ReadoutSource::Velocity,     6, "The first slider's velocity, in the driver's units." },
    { "vSL2",   ReadoutSource::Velocity,     7, "The second slider's velocity, in the driver's units." },
    { "POV2",   ReadoutSource::Pov,          1,
        "Hat 2's direction in degrees clockwise from forward; a large number while centred." },
    { "aX",     ReadoutSource::Acceleration, 0, "The X axis acceleration, in the driver's units." },
    { "aY",     ReadoutSource::Acceleration, 1, "The Y axis acceleration, in the driver's units." },
    { "aZ",     ReadoutSource::Acceleration, 2, "The Z axis acceleration, in the driver's units." },
    { "aRx",    ReadoutSource::Acceleration, 3, "The X rotation acceleration, in the driver's units." },
    { "aRy",    ReadoutSource::Acceleration, 4, "The Y rotation acceleration, in the driver's units." },
    { "aRz",    ReadoutSource::Acceleration, 5, "The Z rotation acceleration, in the driver's units." },
    { "aSL1",   ReadoutSource::Acceleration, 6, "The first slider's acceleration, in the driver's units." },
    { "aSL2",   ReadoutSource::Acceleration, 7, "The second slider's acceleration, in the driver's units." },
    { "POV3",   ReadoutSource::Pov,          2,
        "Hat 3's direction in degrees clockwise from forward; a large number while centred." },
};
// clang-format on

namespace {

// Geometry, in pixels relative to the slot's group box.
constexpr int kLeft = 2;
constexpr int kTop = 2;
constexpr int kHeight = 20;
constexpr int kLabelWidth = 50;
constexpr int kValueWidth = 70;
constexpr int kIdValueWidth = 90;
constexpr int kUnitWidth = 10;
constexpr int kIdUnitWidth = 2;

// The ID and the hats are unsigned in the reading; only the ID is shown so.
bool StoredUnsigned(ReadoutSource source)
{
    return source == ReadoutSource::JoystickId || source == ReadoutSource::Pov;
}

// The range a line's value moves in, for its highlight: axes, velocities and
// accelerations in -10000..10000, hats in degrees, the first pressed button
// on every change; the ID and the button count never light up (0).
std::int64_t MovementRange(ReadoutSource source)
{
    switch (source) {
    case ReadoutSource::Axis:
    case ReadoutSource::Velocity:
    case ReadoutSource::Acceleration:
        return 20000;
    case ReadoutSource::Pov:
        return 360;
    case ReadoutSource::FirstButton:
        return 1;
    case ReadoutSource::JoystickId:
    case ReadoutSource::ButtonCount:
        break;
    }
    return 0;
}

bool IsSlot(int slot)
{
    return slot >= 0 && slot < kJoystickSlots;
}

} // namespace

SlotReadouts::SlotReadouts(const SlotStates& slots)
    : m_slots(slots)
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        m_names.Bind(slot, kDeviceName[slot]);
    }
}

std::uint32_t SlotReadouts::RawValue(int slot, int line) const
{
    const JoystickState& state = m_slots.state[slot];
    const ReadoutLine& readout = kReadoutLines[line];
    switch (readout.source) {
    case ReadoutSource::JoystickId:
        return state.joystickId;
    case ReadoutSource::Axis:
        return static_cast<std::uint32_t>(state.axes[readout.index]);
    case ReadoutSource::Pov:
        return state.pov[readout.index];
    case ReadoutSource::ButtonCount:
        return static_cast<std::uint32_t>(state.buttonCount);
    case ReadoutSource::FirstButton:
        return static_cast<std::uint32_t>(m_slots.firstButton[slot]);
    case ReadoutSource::Velocity:
        return static_cast<std::uint32_t>(state.velocities[readout.index]);
    case ReadoutSource::Acceleration:
        return static_cast<std::uint32_t>(state.accelerations[readout.index]);
    }
    return 0;
}

void SlotReadouts::Create(int slot)
{
    if (!IsSlot(slot) || m_view == nullptr) {
        return;
    }
    for (int line = 0; line < kLines; ++line) {
        const ReadoutLine& readout = kReadoutLines[line];
        Item& item = m_items[slot][line];
        const int top = kTop + kHeight * line;
        const bool id = readout.source == ReadoutSource::JoystickId;
        const int valueWidth = id ? kIdValueWidth : kValueWidth;
        const int unitWidth = id ? kIdUnitWidth : kUnitWidth;
        const std::int32_t group = kSlotGroup[slot];
        m_view->CreateControl({ ReadoutLabelId(slot, line), ControlKind::Static, readout.label, group,
            { kLeft, top, kLabelWidth, kHeight }, FlagNone, readout.tip });
        m_view->CreateControl({ ReadoutValueId(slot, line), ControlKind::Edit, "----", group,
            { kLeft + kLabelWidth + 2, top, valueWidth, kHeight }, FlagSunken | FlagDisabled, readout.tip });
        m_view->CreateControl({ ReadoutUnitId(slot, line), ControlKind::Static, "-", group,
            { kLeft + kLabelWidth + valueWidth + 4, top, unitWidth, kHeight }, FlagNone, readout.tip });
        CopyBounded(item.sent, "----", sizeof item.sent);
        item.sentValid = false;
        item.movement.Reset();
        item.highlighted = false;
        item.created = true;
    }
}

void SlotReadouts::Enable(int attached)
{
    if (m_view == nullptr) {
        return;
    }
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        for (int line = 0; line < kLines; ++line) {
            if (m_items[slot][line].created) {
                m_view->EnableControl(ReadoutValueId(slot, line), false);
            }
        }
    }
    for (int slot = 0; slot < attached && slot < kJoystickSlots; ++slot) {
        for (int line = 0; line < kLines; ++line) {
            if (m_items[slot][line].created) {
                m_view->EnableControl(ReadoutValueId(slot, line), true);
            }
        }
    }
}

void SlotReadouts::Refresh(int attached, std::int64_t nowMs)
{
    if (m_view == nullptr) {
        return;
    }
    for (int slot = 0; slot < attached && slot < kJoystickSlots; ++slot) {
        for (int line = 0; line < kLines; ++line) {
            RefreshValue(slot, line);
            RefreshHighlight(slot, line, nowMs);
        }
    }
}

void SlotReadouts::RefreshValue(int slot, int line)
{
    Item& item = m_items[slot][line];
    if (!item.created) {
        return;
    }
    const std::uint32_t raw = RawValue(slot, line);
    if (item.sentValid && raw == item.sentValue) {
        return; // 120 items a tick: formatting a value that did not move is the costly part
    }
    char text[sizeof item.sent];
    if (kReadoutLines[line].source == ReadoutSource::JoystickId) {
        FormatBounded(text, sizeof text, "%lu", static_cast<unsigned long>(raw));
    } else {
        FormatBounded(text, sizeof text, "%d", static_cast<int>(static_cast<std::int32_t>(raw)));
    }
    item.sentValue = raw;
    item.sentValid = true;
    if (std::strcmp(text, item.sent) != 0) {
        CopyBounded(item.sent, text, sizeof item.sent);
        m_view->SetControlText(ReadoutValueId(slot, line), text);
    }
}

void SlotReadouts::RefreshHighlight(int slot, int line, std::int64_t nowMs)
{
    Item& item = m_items[slot][line];
    const ReadoutSource source = kReadoutLines[line].source;
    const std::int64_t range = MovementRange(source);
    if (!item.created || range <= 0) {
        return;
    }
    const std::uint32_t raw = RawValue(slot, line);
    const std::int64_t value = StoredUnsigned(source) ? static_cast<std::int64_t>(raw)
                                                      : static_cast<std::int64_t>(static_cast<std::int32_t>(raw));
    const bool moving = item.movement.Feed(value, nowMs, range);
    if (moving != item.highlighted) {
        item.highlighted = moving;
        m_view->SetControlHighlight(ReadoutValueId(slot, line), moving);
    }
}

void SlotReadouts::ShowDeviceNames(const JoystickSet& set, bool markLost)
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        if (!markLost) {
            m_names.Set(slot, set.GetDeviceName(slot));
            continue;
        }
        char name[300];
        FormatBounded(name, sizeof name, set.IsSlotLost(slot) ? "%s (lost)" : "%s", set.GetDeviceName(slot));
        m_names.Set(slot, name);
    }
}

void SlotReadouts::ShowHeaders(const JoystickSet& set)
{
    if (m_view == nullptr) {
        return;
    }
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        const bool lost = set.IsSlotLost(slot);
        if (m_headersShown && lost == m_lostShown[slot]) {
            continue;
        }
        char header[320];
        JoystickState state;
        if (!set.GetSlotState(slot, state)) {
            FormatBounded(header, sizeof header, "JoyStick %d", slot);
        } else {
            // Identical joysticks are told apart by their instance, in the
            // header's room: the name stands above the box.
            FormatBounded(header, sizeof header, lost ? "JoyStick %d: %s (lost)" : "JoyStick %d: %s", slot,
                set.IsOneOfIdenticalJoysticks(slot) ? InstanceKeyForDisplay(set.GetInstanceKey(slot)).c_str()
                                                    : set.GetDeviceName(slot));
        }
        m_view->SetControlText(kSlotGroup[slot], header);
        if (lost != m_lostShown[slot] || !m_headersShown) {
            m_view->SetControlHighlight(kSlotGroup[slot], lost);
        }
        m_lostShown[slot] = lost;
    }
    m_headersShown = true;
}

void SlotReadouts::SendTexts()
{
    if (m_view != nullptr) {
        m_names.Send(*m_view);
    }
}
