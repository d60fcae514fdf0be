// Display names of the cockpit controls and joystick inputs, and where each
// cockpit axis keeps its record in the block, from the axis and button tables.
#include "mapping/Assignments.h"

#include "mapping/CockpitAxes.h"
#include "mapping/CockpitButtons.h"

namespace {

constexpr const char* kUnknownControl = "UNKNOWN CTL";
constexpr const char* kUnknownButton = "UNKNOWN BTN";

// clang-format off
constexpr const char* kInputNames[kAxisInputCount] = {
    "X",  "Y",  "Z",  "Rx",  "Ry",  "Rz",  "SL1",  "SL2",
    "vX", "vY", "vZ", "vRx", "vRy", "vRz", "vSL1", "vSL2",
    "aX", "aY", "aZ", "aRx", "aRy", "aRz", "aSL1", "aSL2",
};
// clang-format on

} // namespace

const char* CockpitAxisName(std::int32_t axis)
{
    const CockpitAxisRow* row = CockpitAxisTable::Find(axis);
    return row != nullptr ? row->name : kUnknownControl;
}

const char* CockpitButtonName(std::int32_t button)
{
    if (button < 0 || button >= kCockpitButtonCount) {
        return kUnknownButton;
    }
    return CockpitButtonTable::kRows[button].name;
}

const char* AxisInputName(std::int32_t input)
{
    if (input < 0 || input >= kAxisInputCount) {
        return "";
    }
    return kInputNames[input];
}

std::size_t AxisRecordOffset(std::int32_t axis)
{
    const CockpitAxisRow* row = CockpitAxisTable::Find(axis);
    return row != nullptr ? row->record : 0;
}
