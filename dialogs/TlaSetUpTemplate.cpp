// Template 134, the thrust lever dialog.
#include "ui/DialogTemplate.h"

#include <array>

namespace {

constexpr std::array<ControlTemplate, 23> kThrustLeverControls = { {
    { 1, ControlKind::PushButton, "OK", { 318, 6, 50, 14 }, FlagDefault, 0,
        "Closes the dialog; every step is already in use." },
    { 2, ControlKind::PushButton, "Cancel", { 318, 24, 50, 14 }, FlagNone, 0,
        "Closes the dialog; the values stay as stepped, since each step is used at once." },
    { kNoControlId, ControlKind::GroupBox, "Thrust Lever 1", { 2, 4, 158, 70 } },
    { kNoControlId, ControlKind::Static, "Sensitivity", { 10, 18, 50, 8 } },
    { kNoControlId, ControlKind::Static, "Offset", { 10, 36, 50, 8 } },
    { kNoControlId, ControlKind::Static, "Filter TC", { 10, 54, 50, 8 } },
    { 1507, ControlKind::Static, "", { 70, 18, 40, 8 }, FlagNone, 0,
        "The left lever's sensitivity: percent of thrust per percent of lever travel." },
    { 1508, ControlKind::Static, "", { 68, 36, 40, 8 }, FlagNone, 0, "The left lever's offset in percent of thrust." },
    { 1511, ControlKind::Static, "", { 68, 54, 40, 8 }, FlagNone, 0,
        "The left lever's filter time constant in seconds." },
    { 1512, ControlKind::Spin, "", { 110, 12, 9, 16 }, FlagNone, 0, "Steps the left lever's sensitivity by 0.01." },
    { 1513, ControlKind::Spin, "", { 110, 32, 9, 16 }, FlagNone, 0, "Steps the left lever's offset by 0.01 percent." },
    { 1516, ControlKind::Spin, "", { 110, 50, 9, 16 }, FlagNone, 0,
        "Steps the left lever's filter time constant by 0.01 seconds." },
    { kNoControlId, ControlKind::GroupBox, "Thrust Lever 2", { 0, 94, 158, 68 } },
    { kNoControlId, ControlKind::Static, "Sensitivity", { 6, 106, 50, 8 } },
    { kNoControlId, ControlKind::Static, "Offset", { 6, 124, 50, 8 } },
    { kNoControlId, ControlKind::Static, "Filter TC", { 6, 146, 50, 8 } },
    { 1509, ControlKind::Static, "", { 66, 106, 40, 8 }, FlagNone, 0,
        "The right lever's sensitivity: percent of thrust per percent of lever travel." },
    { 1510, ControlKind::Static, "", { 66, 124, 40, 8 }, FlagNone, 0,
        "The right lever's offset in percent of thrust." },
    { 1517, ControlKind::Static, "", { 66, 146, 40, 8 }, FlagNone, 0,
        "The right lever's filter time constant in seconds." },
    { 1514, ControlKind::Spin, "", { 110, 102, 9, 16 }, FlagNone, 0, "Steps the right lever's sensitivity by 0.01." },
    { 1515, ControlKind::Spin, "", { 110, 122, 9, 16 }, FlagNone, 0,
        "Steps the right lever's offset by 0.01 percent." },
    { 1518, ControlKind::Spin, "", { 110, 144, 9, 16 }, FlagNone, 0,
        "Steps the right lever's filter time constant by 0.01 seconds." },
    { 1096, ControlKind::Static, "", { 168, 42, 200, 114 }, FlagNone, 0,
        "How the lever values act on the thrust the simulator receives." },
} };

} // namespace

const DialogTemplate& ThrustLeverDialogTemplate()
{
    static const DialogTemplate dialog { kThrustLeverTemplateId, "Thrust Lever Dialog", 378, 176,
        kThrustLeverControls };
    return dialog;
}
