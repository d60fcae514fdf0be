// Template 150, the calibration dialog: the slot, then one row per axis with
// its raw value, the captured minimum, centre and maximum, its kind, what it
// gives and how far its calibration has come.
#include "dialogs/CalibrateDlg.h"
#include "ui/DialogTemplate.h"

#include <array>
#include <cstddef>

namespace {

using Dlg = CCalibrateDlg;

constexpr std::size_t kFixedControls = 15;
constexpr std::size_t kControlsPerRow = 8;
constexpr std::size_t kControlCount = kFixedControls + kControlsPerRow * kCalibratedAxes;

constexpr const char* kAxisLabels[kCalibratedAxes] = { "X", "Y", "Z", "Rx", "Ry", "Rz", "Slider 1", "Slider 2" };

constexpr std::int32_t kRowTop = 66;
constexpr std::int32_t kRowStep = 14;
// Columns: left edge and width of raw, minimum, centre, maximum, kind, output, state.
constexpr std::int32_t kColumnX[7] = { 50, 88, 126, 164, 204, 278, 316 };
constexpr std::int32_t kColumnWidth[7] = { 34, 34, 34, 34, 70, 34, 44 };

struct Builder {
    std::array<ControlTemplate, kControlCount> controls {};
    std::size_t count = 0;

    constexpr void Add(std::int32_t id, ControlKind kind, const char* text, DialogRect rect,
        std::uint32_t flags = FlagNone, const char* tip = nullptr)
    {
        controls[count++] = ControlTemplate { id, kind, text, rect, flags, 0, tip };
    }
};

constexpr void AddRow(Builder& b, int axis)
{
    const std::int32_t y = kRowTop + kRowStep * axis;
    b.Add(kNoControlId, ControlKind::Static, kAxisLabels[axis], { 10, y + 2, 36, 8 });
    b.Add(Dlg::RowId(axis, Dlg::ColumnRaw), ControlKind::Static, "", { kColumnX[0], y, kColumnWidth[0], 11 },
        FlagSunken, "The axis as the joystick reports it, before any calibration (-10000 to 10000).");
    b.Add(Dlg::RowId(axis, Dlg::ColumnMinimum), ControlKind::Static, "", { kColumnX[1], y, kColumnWidth[1], 11 },
        FlagSunken, "The lowest raw value seen since the dialog opened: it will give -10000.");
    b.Add(Dlg::RowId(axis, Dlg::ColumnCentre), ControlKind::Static, "", { kColumnX[2], y, kColumnWidth[2], 11 },
        FlagSunken,
        "Where the axis came to rest when it was let go (half a second still, away from both ends), which will give "
        "0; none for an axis that rests at an end.");
    b.Add(Dlg::RowId(axis, Dlg::ColumnMaximum), ControlKind::Static, "", { kColumnX[3], y, kColumnWidth[3], 11 },
        FlagSunken, "The highest raw value seen since the dialog opened: it will give 10000.");
    b.Add(Dlg::RowId(axis, Dlg::ColumnKind), ControlKind::ComboBox, "", { kColumnX[4], y, kColumnWidth[4], 12 },
        FlagNone,
        "Centred for a stick or rudder that springs back (minimum, centre, maximum), rests at an end for a throttle, "
        "lever or toe brake (minimum and maximum only), not calibrated for an axis that goes on as read.");
    b.Add(Dlg::RowId(axis, Dlg::ColumnOutput), ControlKind::Static, "", { kColumnX[5], y, kColumnWidth[5], 11 },
        FlagSunken, "What the axis gives with this calibration, as the readouts and the controls will see it.");
    b.Add(Dlg::RowId(axis, Dlg::ColumnState), ControlKind::Static, "", { kColumnX[6], y + 2, kColumnWidth[6], 8 },
        FlagNone,
        "How far the axis has come: \"move it\" (not far enough yet), \"let it go\" (a centred axis still needs to "
        "rest), \"captured\" (OK stores it), \"kept\" (OK keeps the calibration it has) or \"as read\" (OK removes "
        "its calibration).");
}

constexpr Builder Build()
{
    Builder b;
    b.Add(kIdOk, ControlKind::PushButton, "OK", { 312, 6, 50, 14 }, FlagDefault,
        "Stores the captured calibration in Calibration.ini and uses it at once.");
    b.Add(kIdCancel, ControlKind::PushButton, "Cancel", { 312, 23, 50, 14 }, FlagNone,
        "Closes the dialog; the calibration stays as it was.");
    b.Add(kNoControlId, ControlKind::Static, "JoyStick slot", { 10, 8, 48, 8 });
    b.Add(Dlg::kSlotCombo, ControlKind::ComboBox, "", { 60, 6, 150, 12 }, FlagNone,
        "Which joystick to calibrate, by slot; its captures are kept while you look at another.");
    b.Add(Dlg::kStartAgain, ControlKind::PushButton, "Start Again", { 218, 6, 54, 14 }, FlagNone,
        "Forgets what was captured for this joystick, to capture again from here.");
    b.Add(Dlg::kDeviceText, ControlKind::Static, "", { 10, 22, 290, 8 }, FlagNone,
        "The joystick in this slot and the ID its calibration is kept under.");
    b.Add(kNoControlId, ControlKind::Static,
        "Move every axis to both ends, then let the centred ones go and wait until they show \"captured\". Axes you "
        "do not move keep their calibration.",
        { 10, 34, 290, 18 });
    b.Add(kNoControlId, ControlKind::Static, "Axis", { 10, 56, 36, 8 });
    b.Add(kNoControlId, ControlKind::Static, "Raw", { kColumnX[0], 56, kColumnWidth[0], 8 });
    b.Add(kNoControlId, ControlKind::Static, "Minimum", { kColumnX[1], 56, kColumnWidth[1], 8 });
    b.Add(kNoControlId, ControlKind::Static, "Centre", { kColumnX[2], 56, kColumnWidth[2], 8 });
    b.Add(kNoControlId, ControlKind::Static, "Maximum", { kColumnX[3], 56, kColumnWidth[3], 8 });
    b.Add(kNoControlId, ControlKind::Static, "Kind", { kColumnX[4], 56, kColumnWidth[4], 8 });
    b.Add(kNoControlId, ControlKind::Static, "Gives", { kColumnX[5], 56, kColumnWidth[5], 8 });
    b.Add(kNoControlId, ControlKind::Static, "State", { kColumnX[6], 56, kColumnWidth[6], 8 });
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        AddRow(b, axis);
    }
    return b;
}

constexpr Builder kCalibrate = Build();
static_assert(kCalibrate.count == kControlCount, "every control of the dialog has its place");

} // namespace

const DialogTemplate& CalibrateDialogTemplate()
{
    static const DialogTemplate dialog { kCalibrateTemplateId, "Calibrate joystick axes", 368,
        kRowTop + kRowStep * kCalibratedAxes + 8,
        std::span<const ControlTemplate>(kCalibrate.controls.data(), kCalibrate.count) };
    return dialog;
}
