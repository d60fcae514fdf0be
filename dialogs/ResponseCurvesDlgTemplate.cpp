// Template 141, the response curves dialog.
#include "dialogs/ResponseCurvesDlg.h"
#include "ui/DialogTemplate.h"

#include <array>

namespace {

using Dlg = CResponseCurvesDlg;

constexpr std::array<ControlTemplate, 15> kResponseCurvesControls = { {
    { Dlg::kGraph, ControlKind::CurveGraph, "", { 8, 8, 150, 136 }, FlagSunken, 0,
        "The curve, the input's position across and what goes on up (both -1 to 1), with the input now as a dot; "
        "drag a point to move it." },
    { kNoControlId, ControlKind::Static, "Axis", { 166, 10, 30, 8 } },
    { Dlg::kAxis, ControlKind::ComboBox, "", { 198, 8, 66, 12 }, FlagNone, 0,
        "Which axis's curve is shown and edited here." },
    { kNoControlId, ControlKind::Static, "Kind", { 166, 28, 30, 8 } },
    { Dlg::kKind, ControlKind::ComboBox, "", { 198, 26, 66, 12 }, FlagNone, 0,
        "LINEAR: the input as it is; EXPO: softer near the centre, full at the ends; POINTS: a smooth curve through "
        "points of your own." },
    { kNoControlId, ControlKind::Static, "k", { 166, 46, 30, 8 } },
    { Dlg::kK, ControlKind::Edit, "", { 198, 44, 66, 12 }, FlagEditable, 0,
        "EXPO's k, 0 to 1: the output is (1 - k) u + k u cubed, so 0 is a straight line and 1 the softest centre." },
    { Dlg::kInvert, ControlKind::CheckBox, "Invert", { 198, 62, 66, 10 }, FlagNone, 0,
        "Turns the axis round (the input is negated before the curve), for an axis that runs the wrong way." },
    { Dlg::kLive, ControlKind::Static, "", { 166, 80, 156, 8 }, FlagNone, 0,
        "Where the axis is now and what the curve makes of it, -1 to 1." },
    { Dlg::kProblem, ControlKind::Static, "", { 166, 94, 156, 40 }, FlagNone, 0,
        "Why what was typed is not taken yet; the curve stays as it was until it is." },
    { kNoControlId, ControlKind::Static, "Points: x y pairs, x rising from -1 to 1, 2 to 16 of them",
        { 8, 150, 250, 8 } },
    { Dlg::kPoints, ControlKind::Edit, "", { 8, 160, 314, 12 }, FlagEditable, 0,
        "The points of a POINTS curve as x y pairs apart by blanks: the first x is -1, the last 1, each y -1 to 1." },
    { 1, ControlKind::PushButton, "OK", { 272, 8, 50, 14 }, FlagDefault, 0,
        "Keeps the curves shown here (the processing uses them at once) and closes the dialog." },
    { 2, ControlKind::PushButton, "Cancel", { 272, 25, 50, 14 }, FlagNone, 0,
        "Closes the dialog and leaves every curve as it was." },
    { kNoControlId, ControlKind::Static, "Kept with the set-up when it is saved.", { 166, 136, 156, 8 } },
} };

} // namespace

const DialogTemplate& ResponseCurvesDialogTemplate()
{
    static const DialogTemplate dialog { kResponseCurvesTemplateId, "Response Curves", 330, 180,
        kResponseCurvesControls };
    return dialog;
}
