// Display names of the cockpit controls and joystick inputs, and where each
// cockpit axis keeps its record in the block.
#include "mapping/Assignments.h"

namespace {

constexpr const char* kUnknownControl = "UNKNOWN CTL";
constexpr const char* kUnknownButton = "UNKNOWN BTN";

// clang-format off
constexpr const char* kButtonNames[kCockpitButtonCount] = {
    "PTT",        "A/P DISC",    "A/T DISC", "BRAKE L",  "BRAKE R",  "REVERSE L",
    "REVERSE R",  "FLAP IN",     "FLAP OUT", "SPD BRK IN", "SPD BRK OUT", "GEAR LVR",
    "STAB ANU",   "STAB AND",    "F/D L",    "F/D R",    "PARK BRK",
};

constexpr const char* kInputNames[kAxisInputCount] = {
    "X",  "Y",  "Z",  "Rx",  "Ry",  "Rz",  "SL1",  "SL2",
    "vX", "vY", "vZ", "vRx", "vRy", "vRz", "vSL1", "vSL2",
    "aX", "aY", "aZ", "aRx", "aRy", "aRz", "aSL1", "aSL2",
};
// clang-format on

} // namespace

const char* CockpitAxisName(std::int32_t axis)
{
    switch (axis) {
    case AxisPitch:
        return "PITCH";
    case AxisRoll:
        return "ROLL";
    case AxisThrLvrL:
        return "THR LVR L";
    case AxisThrLvrR:
        return "THR LVR R";
    case AxisPedals:
        return "PEDALS";
    case AxisTiller:
        return "TILLER";
    case AxisEyeView:
        return "EYE_VIEW";
    default:
        return kUnknownControl;
    }
}

const char* CockpitButtonName(std::int32_t button)
{
    if (button < 0 || button >= kCockpitButtonCount) {
        return kUnknownButton;
    }
    return kButtonNames[button];
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
    switch (axis) {
    case AxisPitch:
        return GenericSimBlock::kPitchRecord;
    case AxisRoll:
        return GenericSimBlock::kRollRecord;
    case AxisThrLvrL:
        return GenericSimBlock::kThrLvrLRecord;
    case AxisThrLvrR:
        return GenericSimBlock::kThrLvrRRecord;
    case AxisPedals:
        return GenericSimBlock::kPedalsRecord;
    case AxisTiller:
        return GenericSimBlock::kTillerRecord;
    case AxisEyeView:
        return GenericSimBlock::kEyeViewRecord;
    default:
        return 0;
    }
}
