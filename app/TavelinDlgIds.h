// Control ids of the main window (template 102), shared by its template and
// its presenter; the renderer knows them only through the template.
#pragma once

#include "mapping/Assignments.h"
#include "mapping/CockpitAxes.h"

#include <cstdint>
#include <iterator>

namespace MainIds {

inline constexpr std::int32_t kOk = 1;
inline constexpr std::int32_t kCancel = 2;
inline constexpr std::int32_t kEnumerate = 1000;
inline constexpr std::int32_t kControlPanel = 1089;

// Slot panels: device-name texts and group boxes, slot 0..3.
inline constexpr std::int32_t kDeviceName[4] = { 1001, 1002, 1007, 1008 };
inline constexpr std::int32_t kSlotGroup[4] = { 1003, 1004, 1005, 1006 };

inline constexpr std::int32_t kBanner = 1095;
inline constexpr std::int32_t kAssignmentGroup = 1009;

// Eye-point row.
inline constexpr std::int32_t kEyePovCombo = 1106;
inline constexpr std::int32_t kEyeJoystickCombo = 1105;
inline constexpr std::int32_t kEyeText = 1506;

inline constexpr std::int32_t kSideStickLamp = 1091;

inline constexpr std::int32_t kSetDeadBands = 1090;
inline constexpr std::int32_t kThrustLeverData = 1107;

inline constexpr std::int32_t kSaveAssignments = 1028;
inline constexpr std::int32_t kReadAlternate = 1092;
inline constexpr std::int32_t kCurrentFile = 1097;
inline constexpr std::int32_t kSetUpName = 1101;

inline constexpr std::int32_t kGearMessage = 1502;
inline constexpr std::int32_t kParkBrakeMessage = 1503;

inline constexpr std::int32_t kWarningLamp = 1501;
inline constexpr std::int32_t kWarningList = 1505;

// The network link: its dialog's button and its state.
inline constexpr std::int32_t kNetwork = 1600;
inline constexpr std::int32_t kNetworkState = 1601;

// Recording the joysticks: the toggle.
inline constexpr std::int32_t kRecord = 1602;

// The controls of one axis row, by window row; which axis a row shows, and its
// bar's range, are in CockpitAxisTable (windowRow).
struct AxisRowIds {
    const char* label;
    std::int32_t progress;
    std::int32_t valueText;
    std::int32_t sensitivityText;
    std::int32_t spin;
    std::int32_t inputCombo;
    std::int32_t joystickCombo;
};

inline constexpr AxisRowIds kAxisRows[] = {
    { "SideStick Pitch Cntl", 1016, 1010, 1011, 1017, 1015, 1014 },
    { "SideStick Roll Cntl", 1021, 1012, 1013, 1023, 1022, 1020 },
    { "Rudder Pedals", 1025, 1018, 1019, 1027, 1026, 1024 },
    { "Tiller", 1032, 1029, 1030, 1034, 1033, 1031 },
    { "Thrust lever LEFT", 1038, 1035, 1036, 1040, 1039, 1037 },
    { "Thrust lever RIGHT", 1044, 1041, 1042, 1046, 1045, 1043 },
};
inline constexpr int kAxisRowCount = CockpitAxisTable::kWindowRows;
static_assert(std::size(kAxisRows) == kAxisRowCount, "one set of controls per axis row of the table");

// The thrust levers are tuned in their own dialog: no sensitivity text or spin in their rows.
constexpr bool SensitivityHidden(int windowRow)
{
    return CockpitAxisTable::InWindowRow(windowRow).kind == AxisKind::ThrustLever;
}

// One button or switch row, indexed by CockpitButton 0..16.
struct ButtonRowIds {
    std::int32_t button;
    const char* label;
    std::int32_t lamp;
    std::int32_t buttonCombo;
    std::int32_t joystickCombo;
};

inline constexpr ButtonRowIds kButtonRows[] = {
    { 0, "PTT", 1068, 1070, 1069 },
    { 1, "A/P Disc", 1047, 1049, 1048 },
    { 2, "A/T Disc", 1050, 1052, 1051 },
    { 3, "Brakes L", 1053, 1055, 1054 },
    { 4, "Brakes R", 1065, 1066, 1067 },
    { 5, "Reverser L", 1080, 1082, 1081 },
    { 6, "Reverser R", 1077, 1079, 1078 },
    { 7, "Flaps In", 1062, 1064, 1063 },
    { 8, "Flaps Out", 1059, 1061, 1060 },
    { 9, "Spd Brake In", 1074, 1076, 1075 },
    { 10, "Spd Brake Out", 1071, 1073, 1072 },
    { 11, "Gear Lever Dn", 1056, 1058, 1057 },
    { 12, "Stab ANU", 1086, 1088, 1087 },
    { 13, "STAB AND", 1083, 1085, 1084 },
    { 14, "F/D  Left", 1098, 1100, 1099 },
    { 15, "F/D Right", 1093, 1096, 1094 },
    { 16, "Park Brake On", 1102, 1104, 1103 },
};

constexpr bool ButtonRowsIndexedByButton()
{
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        if (kButtonRows[b].button != b) {
            return false;
        }
    }
    return true;
}
static_assert(std::size(kButtonRows) == kCockpitButtonCount && ButtonRowsIndexedByButton());

// The "Move" buttons that assign a row by moving the control: one per axis
// row (by window row), per button row (by CockpitButton) and the eye view's.
inline constexpr std::int32_t kAxisDetectBase = 1200;
inline constexpr std::int32_t kButtonDetectBase = 1210;
inline constexpr std::int32_t kEyeDetect = 1230;
constexpr std::int32_t AxisDetectId(int windowRow)
{
    return kAxisDetectBase + windowRow;
}
constexpr std::int32_t ButtonDetectId(int button)
{
    return kButtonDetectBase + button;
}
inline constexpr const char* kDetectText = "Move";

// Readout controls made at run time: three per line (label, value box, unit),
// 30 lines per slot, in a range of their own so that every one is addressable.
inline constexpr std::int32_t kReadoutBase = 4000;
constexpr std::int32_t ReadoutLabelId(int slot, int line)
{
    return kReadoutBase + 100 * slot + 3 * line;
}
constexpr std::int32_t ReadoutValueId(int slot, int line)
{
    return ReadoutLabelId(slot, line) + 1;
}
constexpr std::int32_t ReadoutUnitId(int slot, int line)
{
    return ReadoutLabelId(slot, line) + 2;
}

} // namespace MainIds
