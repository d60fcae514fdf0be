// The joystick configuration file's keys, one table for its writer and its
// loader, so that what is saved reads back under the same names.
#pragma once

#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace ConfigurationKeys {

// One axis block: its keys and the block record it fills.
struct AxisKeys {
    const char* joystick;
    const char* input;
    const char* firstTuning;
    const char* secondTuning;
    std::size_t record;
};

// [FLIGHT_CONTROLS] in file order, which is also the order of the processor's
// settings table (entries 0..6).
inline constexpr AxisKeys kFlight[] = {
    { "SIDE_STICK_P_CNTL", "PITCH_CNTL", "PITCH_SENS", "PITCH_DB", GenericSimBlock::kPitchRecord },
    { "SIDE_STICK_R_CNTL", "ROLL_CNTL", "ROLL_SENS", "ROLL_DB", GenericSimBlock::kRollRecord },
    { "COCKPIT_PEDAL", "PEDAL_CNTL", "PEDAL_SENS", "PEDAL_DB", GenericSimBlock::kPedalsRecord },
    { "COCKPIT_TILLER", "TILLER_CNTL", "TILLER_SENS", "TILLER_DB", GenericSimBlock::kTillerRecord },
    { "THRUST_LVR_1", "TLA_L_CNTL", "TLA_L_SENS", "TLA_L_OFFSET", GenericSimBlock::kThrLvrLRecord },
    { "THRUST_LVR_2", "TLA_R_CNTL", "TLA_R_SENS", "TLA_R_OFFSET", GenericSimBlock::kThrLvrRRecord },
    { "THRUST_LVR", "TLA_CNTL", "TLA_1_TC", "TLA_2_TC", GenericSimBlock::kThrustLeverFilterRecord },
};

// [ACCESS]: the eye view, whose tuning keys are placeholders.
inline constexpr AxisKeys kEyeView = { "CKPT_EYE_POV", "EYE_POV_CNTL", "N/A", "N/A", GenericSimBlock::kEyeViewRecord };

struct ButtonKeys {
    std::int32_t button;
    const char* joystick;
    const char* number;
};

// [BUTTON_CONTROLS] in file order: the gear lever follows the flight directors.
inline constexpr ButtonKeys kButtons[] = {
    { ButtonPtt, "PTT_BTN_CNTL", "PTT_BTN" },
    { ButtonApDisc, "AP_BTN_CNTL", "AP_BTN" },
    { ButtonAtDisc, "AT_BTN_CNTL", "AT_BTN" },
    { ButtonBrakeL, "BRK_L_BTN_CNTL", "BRK_L_BTN" },
    { ButtonBrakeR, "BRK_R_BTN_CNTL", "BRK_R_BTN" },
    { ButtonReverseL, "REV_L_BTN_CNTL", "REV_L_BTN" },
    { ButtonReverseR, "REV_R_BTN_CNTL", "REV_R_BTN" },
    { ButtonFlapIn, "FLAP_IN_BTN_CNTL", "FLAP_IN_BTN" },
    { ButtonFlapOut, "FLAP_OUT_BTN_CNTL", "FLAP_OUT_BTN" },
    { ButtonSpdBrkIn, "SBRK_IN_BTN_CNTL", "SBRK_IN_BTN" },
    { ButtonSpdBrkOut, "SBRK_OUT_BTN_CNTL", "SBRK_OUT_BTN" },
    { ButtonStabAnu, "STAB_UP_CNTL", "STAB_UP_BTN" },
    { ButtonStabAnd, "STAB_DN_CNTL", "STAB_DN_BTN" },
    { ButtonFdL, "FD_L_CNTL", "FD_L_BTN" },
    { ButtonFdR, "FD_R_CNTL", "FD_R_BTN" },
    { ButtonGearLvr, "GEAR_BTN_CNTL", "GEAR_BTN" },
    { ButtonParkBrk, "PARK_BRK_CNTL", "PARK_BRK_BTN" },
};
static_assert(std::size(kButtons) == kCockpitButtonCount);

// The keys of `button`, or null for a number that is no cockpit button.
constexpr const ButtonKeys* FindButtonKeys(std::int32_t button)
{
    for (const ButtonKeys& keys : kButtons) {
        if (keys.button == button) {
            return &keys;
        }
    }
    return nullptr;
}

} // namespace ConfigurationKeys
