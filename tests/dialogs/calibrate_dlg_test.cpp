// The calibration dialog through the recording view, on joysticks the test
// moves: what it captures and shows as the axes move, what OK stores and
// that Cancel stores nothing.
#include "dialogs/CalibrateDlg.h"
#include "tests/fakes/RecordingDialogView.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Dlg = CCalibrateDlg;
constexpr int kX = 0;
constexpr int kY = 1;
constexpr int kZ = 2;
constexpr int kRy = 4;
constexpr std::int32_t kStickId = 0x1234;

struct MovingJoysticks final : CalibrationInputs {
    bool present[kJoystickSlots] = { true, true, false, false };
    std::int32_t ids[kJoystickSlots] = { kStickId, 99, 0, 0 };
    std::int32_t raw[kJoystickSlots][kCalibratedAxes] = {};

    bool ReadRaw(int slot, std::int32_t (&axes)[kCalibratedAxes]) const override
    {
        if (!present[slot]) {
            return false;
        }
        for (int axis = 0; axis < kCalibratedAxes; ++axis) {
            axes[axis] = raw[slot][axis];
        }
        return true;
    }
    std::int32_t JoystickId(int slot) const override { return present[slot] ? ids[slot] : 0; }
    const char* SlotName(int slot) const override
    {
        return present[slot] ? (slot == 0 ? "Stick" : "Pedals") : "No Device";
    }
};

struct CalibrateDialog {
    MovingJoysticks joysticks;
    CalibrationTable table;
    Dlg dialog;
    RecordingDialogView view { Dlg::Template(), dialog };

    void Open()
    {
        dialog.SetInputs(joysticks);
        dialog.SetTable(table);
        ASSERT_TRUE(view.Open());
    }
    // The axis at `value` for `ticks` samples.
    void Hold(int axis, std::int32_t value, int ticks = 1, int slot = 0)
    {
        joysticks.raw[slot][axis] = value;
        for (int i = 0; i < ticks; ++i) {
            ASSERT_TRUE(view.Tick());
        }
    }
    // Through both ends in steps, then back to `rest` and let go.
    void Sweep(int axis, std::int32_t low, std::int32_t high, std::int32_t rest)
    {
        for (std::int32_t value = rest; value > low; value -= 2500) {
            Hold(axis, value);
        }
        Hold(axis, low);
        for (std::int32_t value = low; value < high; value += 2500) {
            Hold(axis, value);
        }
        Hold(axis, high);
        Hold(axis, rest, Dlg::kStillSamples + 2);
    }
    const std::string& Cell(int axis, Dlg::Column column) const { return view.Text(Dlg::RowId(axis, column)); }
    int Kind(int axis) const { return view.Control(Dlg::RowId(axis, Dlg::ColumnKind)).selection; }
};

} // namespace

TEST(CalibrateDlg, CapturesBothEndsAndTheCentreWhereTheAxisIsLetGo)
{
    CalibrateDialog t;
    t.joysticks.raw[0][kX] = 300;
    t.Open();
    // The slots by number and name, the first with a joystick chosen; the kinds offered per axis.
    const RecordedControl& slots = t.view.Control(Dlg::kSlotCombo);
    ASSERT_EQ(slots.entries.size(), 4u);
    EXPECT_EQ(slots.entries[0], "0  Stick");
    EXPECT_EQ(slots.entries[2], "2  No Device");
    EXPECT_EQ(slots.selection, 0);
    EXPECT_EQ(t.view.Text(Dlg::kDeviceText), "Stick (JoyStick Id 4660)");
    EXPECT_EQ(t.view.Control(Dlg::RowId(kZ, Dlg::ColumnKind)).entries,
        (std::vector<std::string> { "Centred", "Rests at an end", "Not calibrated" }));
    EXPECT_EQ(t.Kind(kX), Dlg::ChoiceCentred);
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnRaw), "300");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnState), "move it");
    EXPECT_EQ(t.view.timers.count(Dlg::kSampleTimer), 1u);

    t.Sweep(kX, -9000, 9500, 250);
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnMinimum), "-9000");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnMaximum), "9500");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnCentre), "250");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnState), "captured");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnOutput), "0");
    t.Hold(kX, 4875, 2);
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnRaw), "4875");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnOutput), "5000"); // what the capture gives: 4625 of 9250 above the centre
    // Held at an end for longer than a rest: that is no centre.
    t.Hold(kX, 9500, 3 * Dlg::kStillSamples);
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnCentre), "250");
    t.Hold(kX, 250, 2);

    // A lever rests at an end: it gets no centre, and needs none to be captured.
    t.Hold(kZ, -10000, 2);
    t.view.Select(Dlg::RowId(kZ, Dlg::ColumnKind), Dlg::ChoiceRestsAtEnd);
    EXPECT_EQ(t.Cell(kZ, Dlg::ColumnCentre), "-");
    t.Hold(kZ, 8000, 2);
    t.Hold(kZ, -10000, 2);
    EXPECT_EQ(t.Cell(kZ, Dlg::ColumnState), "captured");
    EXPECT_EQ(t.Cell(kZ, Dlg::ColumnOutput), "-10000");
    // A centred axis that went from one end to the other and never rested between them lacks its centre.
    t.Hold(kRy, -7000, 2);
    EXPECT_EQ(t.Cell(kRy, Dlg::ColumnState), "let it go");
    t.view.Close(); // nothing stored by closing: checked below
    EXPECT_TRUE(t.table.Empty());
}

TEST(CalibrateDlg, OkStoresWhatWasCapturedAndLeavesTheRestAsItWas)
{
    CalibrateDialog t;
    t.table.Entry(kStickId).axes[kY] = AxisCalibration::Centred(-100, 0, 100);
    t.table.Entry(kStickId).axes[kRy] = AxisCalibration::RestsAtEnd(-50, 50);
    t.table.Entry(99).axes[kX] = AxisCalibration::RestsAtEnd(-1, 1);
    t.joysticks.raw[0][kY] = 50;
    t.joysticks.raw[0][kRy] = -7000;
    t.Open();
    // The stored kinds are shown, and an axis not moved keeps its calibration.
    EXPECT_EQ(t.Kind(kY), Dlg::ChoiceCentred);
    EXPECT_EQ(t.Kind(kRy), Dlg::ChoiceRestsAtEnd);
    EXPECT_EQ(t.Cell(kY, Dlg::ColumnState), "kept");
    EXPECT_EQ(t.Cell(kY, Dlg::ColumnOutput), "5000");

    t.Sweep(kX, -9000, 9500, 250);
    t.Hold(kZ, -10000, 2);
    t.view.Select(Dlg::RowId(kZ, Dlg::ColumnKind), Dlg::ChoiceRestsAtEnd);
    t.Hold(kZ, 8000, 2);
    // RY moves from its resting end to the other as a centred axis: no centre, so it is not taken.
    t.view.Select(Dlg::RowId(kRy, Dlg::ColumnKind), Dlg::ChoiceCentred);
    t.Hold(kRy, 7000, 2);
    EXPECT_EQ(t.Cell(kRy, Dlg::ColumnState), "let it go");
    t.view.Click(kIdOk);
    ASSERT_TRUE(t.view.Ended());
    EXPECT_EQ(t.view.Result(), kIdOk);

    const JoystickCalibration* stick = t.table.Find(kStickId);
    ASSERT_NE(stick, nullptr);
    EXPECT_EQ(stick->axes[kX], AxisCalibration::Centred(-9000, 250, 9500));
    EXPECT_EQ(stick->axes[kZ], AxisCalibration::RestsAtEnd(-10000, 8000));
    EXPECT_EQ(stick->axes[kY], AxisCalibration::Centred(-100, 0, 100));
    EXPECT_EQ(stick->axes[kRy], AxisCalibration::RestsAtEnd(-50, 50));
    // The pedals were never shown: their entry is as it was.
    EXPECT_EQ(t.table.Find(99)->axes[kX], AxisCalibration::RestsAtEnd(-1, 1));
}

TEST(CalibrateDlg, CancelStoresNothingAndNotCalibratedRemovesAnAxis)
{
    CalibrationTable before;
    before.Entry(kStickId).axes[kY] = AxisCalibration::Centred(-100, 0, 100);
    before.Entry(kStickId).axes[kRy] = AxisCalibration::RestsAtEnd(-50, 50);
    {
        CalibrateDialog t;
        t.table = before;
        t.Open();
        t.Sweep(kX, -9000, 9500, 250);
        t.view.Select(Dlg::RowId(kY, Dlg::ColumnKind), Dlg::ChoiceAsRead);
        t.view.Click(kIdCancel);
        EXPECT_EQ(t.view.Result(), kIdCancel);
        EXPECT_EQ(t.table, before);
    }
    {
        CalibrateDialog t;
        t.table = before;
        t.joysticks.raw[0][kY] = 50;
        t.Open();
        t.view.Select(Dlg::RowId(kY, Dlg::ColumnKind), Dlg::ChoiceAsRead);
        EXPECT_EQ(t.Cell(kY, Dlg::ColumnState), "as read");
        EXPECT_EQ(t.Cell(kY, Dlg::ColumnOutput), "50");
        t.view.Select(Dlg::RowId(kRy, Dlg::ColumnKind), Dlg::ChoiceAsRead);
        t.view.Click(kIdOk);
        // Nothing calibrated any more: the entry goes.
        EXPECT_EQ(t.table.Find(kStickId), nullptr);
    }
}

TEST(CalibrateDlg, EachSlotKeepsItsOwnCapturesAndStartAgainForgetsThem)
{
    CalibrateDialog t;
    t.Open();
    t.Sweep(kX, -9000, 9500, 250);
    t.view.Select(Dlg::kSlotCombo, 1);
    EXPECT_EQ(t.view.Text(Dlg::kDeviceText), "Pedals (JoyStick Id 99)");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnState), "move it");
    // Only the slot shown is sampled.
    t.Hold(kX, 9999, 2);
    t.joysticks.raw[0][kX] = 250;
    t.Hold(kZ, 8000, 2, 1);
    t.Hold(kZ, -8000, 2, 1);
    t.view.Select(Dlg::RowId(kZ, Dlg::ColumnKind), Dlg::ChoiceRestsAtEnd);
    EXPECT_EQ(t.Cell(kZ, Dlg::ColumnMinimum), "-8000");
    t.view.Select(Dlg::kSlotCombo, 0);
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnState), "captured");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnMaximum), "9500");
    EXPECT_EQ(t.Cell(kZ, Dlg::ColumnState), "move it");
    t.view.Click(Dlg::kStartAgain);
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnState), "move it");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnMinimum), "250");

    // A slot without a joystick shows no numbers.
    t.view.Select(Dlg::kSlotCombo, 3);
    EXPECT_EQ(t.view.Text(Dlg::kDeviceText), "No joystick in this slot");
    EXPECT_EQ(t.Cell(kX, Dlg::ColumnRaw), "----");
    t.Hold(kX, 5, 2);
    t.view.Click(kIdOk);
    // The stick was started again, the pedals' brake was captured.
    EXPECT_EQ(t.table.Find(kStickId), nullptr);
    ASSERT_NE(t.table.Find(99), nullptr);
    EXPECT_EQ(t.table.Find(99)->axes[kZ], AxisCalibration::RestsAtEnd(-8000, 8000));
    EXPECT_TRUE(t.view.Destroyed());
    EXPECT_EQ(t.view.timers.count(Dlg::kSampleTimer), 0u);
}
