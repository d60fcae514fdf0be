// The one description of the seventeen cockpit buttons, indexed by
// CockpitButton: display name, configuration keys, the orders in which the
// file, the loader and the main window take them, the block byte that
// mirrors the button number for the simulator, the block byte that publishes
// the button's state and the SwitchPanelState field that carries it.
#pragma once

#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/StepOrder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>

struct CockpitButtonRow {
    std::int32_t button;
    const char* name;
    const char* joystickKey;
    const char* numberKey;
    // Position in the file; also the order of resolution (and its warnings)
    // and of reading in the cycle: the gear lever and park brake come last.
    int fileStep;
    // Position in which the loader looks it up: when several are missing, the
    // error text kept is that of the last one.
    int loadStep;
    // Position in which the main window sets up its row; -1: never (PTT).
    int windowStep;
    // Where the low byte of its button number is mirrored (0: not mirrored).
    std::size_t mirror;
    // The block byte that publishes its state each cycle (0: none). Buttons
    // that share a byte publish whether any of them is pressed.
    std::size_t published;
    // The switch panel's field that carries its state each cycle (null: none).
    std::uint8_t SwitchPanelState::*switchField;
};

namespace CockpitButtonTable {
namespace B = GenericSimBlock;

// clang-format off
inline constexpr CockpitButtonRow kRows[] = {
    //  button           name           joystick key         number key      file load window mirror
    //      published               switch panel field
    { ButtonPtt,       "PTT",         "PTT_BTN_CNTL",      "PTT_BTN",       0,  2, -1, B::kPttButtonMirror,
            B::kPttPressed,       nullptr },
    { ButtonApDisc,    "A/P DISC",    "AP_BTN_CNTL",       "AP_BTN",        1,  0,  0, B::kApDiscButtonMirror,
            B::kApDiscPressed,    nullptr },
    { ButtonAtDisc,    "A/T DISC",    "AT_BTN_CNTL",       "AT_BTN",        2,  1,  1, B::kAtDiscButtonMirror,
            B::kAtDiscPressed,    nullptr },
    { ButtonBrakeL,    "BRAKE L",     "BRK_L_BTN_CNTL",    "BRK_L_BTN",     3,  3,  2, 0,
            B::kBrakeLPressed,    nullptr },
    { ButtonBrakeR,    "BRAKE R",     "BRK_R_BTN_CNTL",    "BRK_R_BTN",     4,  4,  3, 0,
            B::kBrakeRPressed,    nullptr },
    { ButtonReverseL,  "REVERSE L",   "REV_L_BTN_CNTL",    "REV_L_BTN",     5,  5,  8, 0,
            B::kReverserPressed,  &SwitchPanelState::reverseL },
    { ButtonReverseR,  "REVERSE R",   "REV_R_BTN_CNTL",    "REV_R_BTN",     6,  6,  9, 0,
            B::kReverserPressed,  &SwitchPanelState::reverseR },
    { ButtonFlapIn,    "FLAP IN",     "FLAP_IN_BTN_CNTL",  "FLAP_IN_BTN",   7,  7,  4, 0,
            0,                    &SwitchPanelState::flapIn },
    { ButtonFlapOut,   "FLAP OUT",    "FLAP_OUT_BTN_CNTL", "FLAP_OUT_BTN",  8,  8,  5, 0,
            0,                    &SwitchPanelState::flapOut },
    { ButtonSpdBrkIn,  "SPD BRK IN",  "SBRK_IN_BTN_CNTL",  "SBRK_IN_BTN",   9,  9,  6, 0,
            0,                    &SwitchPanelState::spdBrkIn },
    { ButtonSpdBrkOut, "SPD BRK OUT", "SBRK_OUT_BTN_CNTL", "SBRK_OUT_BTN", 10, 10,  7, 0,
            0,                    &SwitchPanelState::spdBrkOut },
    { ButtonGearLvr,   "GEAR LVR",    "GEAR_BTN_CNTL",     "GEAR_BTN",     15, 15, 14, 0,
            0,                    &SwitchPanelState::gearState },
    { ButtonStabAnu,   "STAB ANU",    "STAB_UP_CNTL",      "STAB_UP_BTN",  11, 11, 10, 0,
            0,                    &SwitchPanelState::stabAnu },
    { ButtonStabAnd,   "STAB AND",    "STAB_DN_CNTL",      "STAB_DN_BTN",  12, 12, 11, 0,
            0,                    &SwitchPanelState::stabAnd },
    { ButtonFdL,       "F/D L",       "FD_L_CNTL",         "FD_L_BTN",     13, 13, 12, 0,
            0,                    &SwitchPanelState::fdL },
    { ButtonFdR,       "F/D R",       "FD_R_CNTL",         "FD_R_BTN",     14, 14, 13, 0,
            0,                    &SwitchPanelState::fdR },
    { ButtonParkBrk,   "PARK BRK",    "PARK_BRK_CNTL",     "PARK_BRK_BTN", 16, 16, 15, 0,
            0,                    &SwitchPanelState::parkBrakeState },
};
// clang-format on

inline constexpr int kWindowSteps = StepOrder::CountSteps(kRows, &CockpitButtonRow::windowStep);

// CockpitButton values in the file's order, the loader's order and the window's.
inline constexpr std::array<std::int32_t, kCockpitButtonCount> kFileOrder
    = StepOrder::Rows<kCockpitButtonCount>(kRows, &CockpitButtonRow::fileStep);
inline constexpr std::array<std::int32_t, kCockpitButtonCount> kLoadOrder
    = StepOrder::Rows<kCockpitButtonCount>(kRows, &CockpitButtonRow::loadStep);
inline constexpr std::array<std::int32_t, kWindowSteps> kWindowOrder
    = StepOrder::Rows<kWindowSteps>(kRows, &CockpitButtonRow::windowStep);

constexpr bool IndexedByButton()
{
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        if (kRows[b].button != b) {
            return false;
        }
    }
    return true;
}

// The first row whose state goes to `published`: the one that writes it.
constexpr bool FirstToPublish(int button)
{
    for (int b = 0; b < button; ++b) {
        if (kRows[b].published == kRows[button].published) {
            return false;
        }
    }
    return kRows[button].published != 0;
}

// How many bytes the buttons publish.
constexpr int CountPublishedBytes()
{
    int count = 0;
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        count += FirstToPublish(b) ? 1 : 0;
    }
    return count;
}
inline constexpr int kPublishedByteCount = CountPublishedBytes();

// Published bytes lie in the block's button bytes; no two rows share a switch
// panel field, and a button is published or carried by the switch panel (or both).
constexpr bool PublishingIsOwn()
{
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        const CockpitButtonRow& row = kRows[b];
        bool named = row.published == 0;
        for (const std::size_t byte : { B::kApDiscPressed, B::kAtDiscPressed, B::kPttPressed, B::kBrakeLPressed,
                 B::kBrakeRPressed, B::kReverserPressed }) {
            named = named || row.published == byte;
        }
        if (!named) {
            return false;
        }
        if (row.published == 0 && row.switchField == nullptr) {
            return false;
        }
        for (int c = b + 1; c < kCockpitButtonCount; ++c) {
            if (row.switchField != nullptr && row.switchField == kRows[c].switchField) {
                return false;
            }
        }
    }
    return true;
}

static_assert(std::size(kRows) == kCockpitButtonCount && std::size(kRows) == B::kButtonRecordCount);
static_assert(PublishingIsOwn());
static_assert(kPublishedByteCount == 6, "the block has six button bytes");
static_assert(IndexedByButton(), "the table is indexed by CockpitButton");
static_assert(StepOrder::CountSteps(kRows, &CockpitButtonRow::fileStep) == kCockpitButtonCount);
static_assert(StepOrder::CountSteps(kRows, &CockpitButtonRow::loadStep) == kCockpitButtonCount);
static_assert(StepOrder::IsOrder(kRows, &CockpitButtonRow::fileStep));
static_assert(StepOrder::IsOrder(kRows, &CockpitButtonRow::loadStep));
static_assert(StepOrder::IsOrder(kRows, &CockpitButtonRow::windowStep));

} // namespace CockpitButtonTable
