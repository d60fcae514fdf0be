// Template 131, the dead band dialog.
#include "ui/DialogTemplate.h"

#include <array>

namespace {

constexpr std::uint32_t kSpin = FlagHorizontalSpin;

constexpr std::array<ControlTemplate, 14> kDeadBandControls = { {
    { 1, ControlKind::PushButton, "OK", { 280, 14, 50, 14 }, FlagDefault, 0,
        "Keeps the dead bands shown here and closes the dialog." },
    { 2, ControlKind::PushButton, "Cancel", { 280, 31, 50, 14 }, FlagNone, 0,
        "Closes the dialog and leaves the dead bands as they were." },
    { kNoControlId, ControlKind::Static, "Pitch", { 10, 6, 82, 10 } },
    { kNoControlId, ControlKind::Static, "Roll", { 10, 19, 82, 10 } },
    { kNoControlId, ControlKind::Static, "Yaw ( rudder pedals )", { 10, 32, 82, 10 } },
    { kNoControlId, ControlKind::Static, "Tiller", { 10, 45, 82, 10 } },
    { 1090, ControlKind::Static, "", { 102, 6, 38, 10 }, FlagNone, 0,
        "The pitch dead band in degrees: smaller deflections send 0." },
    { 1091, ControlKind::Static, "", { 102, 19, 38, 10 }, FlagNone, 0,
        "The roll dead band in degrees: smaller deflections send 0." },
    { 1092, ControlKind::Static, "", { 102, 32, 38, 10 }, FlagNone, 0,
        "The rudder pedals' dead band in degrees: smaller deflections send 0." },
    { 1093, ControlKind::Static, "", { 102, 45, 38, 10 }, FlagNone, 0,
        "The tiller's dead band in degrees: smaller deflections send 0." },
    { 1094, ControlKind::Spin, "", { 150, 6, 26, 10 }, kSpin, 0, "Steps the pitch dead band by 0.01 degrees." },
    { 1095, ControlKind::Spin, "", { 150, 19, 26, 10 }, kSpin, 0, "Steps the roll dead band by 0.01 degrees." },
    { 1096, ControlKind::Spin, "", { 150, 32, 26, 10 }, kSpin, 0,
        "Steps the rudder pedals' dead band by 0.01 degrees." },
    { 1097, ControlKind::Spin, "", { 150, 45, 26, 10 }, kSpin, 0, "Steps the tiller's dead band by 0.01 degrees." },
} };

} // namespace

const DialogTemplate& DeadBandDialogTemplate()
{
    static const DialogTemplate dialog { kDeadBandTemplateId, "Adjust axis dead bands", 336, 74, kDeadBandControls };
    return dialog;
}
