// The calibration in the main window: Calibration.ini read at start-up (what
// cannot be used is a note, not a warning), the dialog reached from the
// window, and what its OK and Cancel leave in the file and in the readings.
#include "tests/app/main_window_fixture.h"

#include "config/CalibrationFile.h"
#include "config/WhichConfig.h"
#include "dialogs/CalibrateDlg.h"

#include <filesystem>
#include <fstream>
#include <string>

using namespace MainIds;

namespace {

std::string Section(std::uint32_t joystickId)
{
    return "[JOYSTICK_" + std::to_string(static_cast<std::int32_t>(joystickId)) + "]";
}

bool ListHolds(const JoystickSet& set, const std::string& text)
{
    WarningList list {};
    set.GetWarnings(list);
    for (int i = 0; i < list.count && i < 10; ++i) {
        if (text == list.messages[i]) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST_F(MainWindowTest, BadCalibrationEntriesAreNotesAndTheGoodOnesAreUsedFromTheFirstTick)
{
    {
        std::ofstream file(CalibrationPath(), std::ios::binary);
        file << Section(kStickA) << "\nX = 5 3 1\nY = -8000 0 8000\n";
    }
    m_input.AddJoystick(kStickA, "Stick A", 12);
    m_input.AddJoystick(kStickB, "Stick B", 12);
    m_input.joystick(0).state.lX = 5;
    m_input.joystick(0).state.lY = 4000;
    m_input.joystick(1).state.lY = 4000;
    Open();
    Tick();
    JoystickSet& set = *m_dialog->GetJoySticks();
    EXPECT_TRUE(ListHolds(set,
        "Calibration.ini: " + Section(kStickA)
            + " X = 5 3 1 has its min not below its centre: the axis is not calibrated"));
    EXPECT_FALSE(set.HasWarnings()); // a note: the choice dialog's flag stays down
    EXPECT_EQ(m_dialog->GetSlotState(0).axes[0], 5);
    EXPECT_EQ(m_dialog->GetSlotState(0).axes[1], 5000);
    EXPECT_EQ(m_dialog->GetSlotState(1).axes[1], 4000); // another joystick, another entry: none

    // The calibration belongs to the hardware: another set-up read keeps it, and the note is not told again.
    WriteConfiguration(1, Configuration(3));
    m_view->QueueChild([](RecordingDialogView& child) {
        child.Click(CWhichConfigDlg::kAlternate1Button);
        child.Click(kIdOk);
    });
    m_view->Click(kReadAlternate);
    ASSERT_TRUE(m_view->messageBoxes.empty()) << m_view->messageBoxes.front().first;
    EXPECT_EQ(m_dialog->GetJoySticks()->GetAxisInput(AxisPitch), 3);
    m_input.joystick(0).state.lY = -4000;
    Tick();
    EXPECT_EQ(m_dialog->GetSlotState(0).axes[1], -5000);
    EXPECT_FALSE(ListHolds(*m_dialog->GetJoySticks(),
        "Calibration.ini: " + Section(kStickA)
            + " X = 5 3 1 has its min not below its centre: the axis is not calibrated"));
}

TEST_F(MainWindowTest, CalibrateDialogOkSavesCalibrationIniAndTheAxesFollowAtOnceCancelDoesNothing)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    const std::int32_t button = kControlPanelCalibrates ? kControlPanel : kCalibrate;
    const auto sweepY = [this](RecordingDialogView& child) {
        const auto move = [&](std::int32_t value, int ticks) {
            m_input.joystick(0).state.lY = value;
            for (int i = 0; i < ticks; ++i) {
                m_view->Tick(); // the window keeps polling behind the dialog
                child.Tick();
            }
        };
        for (std::int32_t value = 0; value >= -8000; value -= 2000) {
            move(value, 1);
        }
        for (std::int32_t value = -8000; value <= 8000; value += 2000) {
            move(value, 1);
        }
        move(0, CCalibrateDlg::kStillSamples + 2);
        EXPECT_EQ(child.Text(CCalibrateDlg::RowId(1, CCalibrateDlg::ColumnState)), "captured");
    };

    m_view->QueueChild([&](RecordingDialogView& child) {
        sweepY(child);
        child.Click(kIdCancel);
    });
    m_view->Click(button);
    ASSERT_EQ(m_view->ChildrenRun(), 1);
    EXPECT_FALSE(std::filesystem::exists(CalibrationPath()));
    m_input.joystick(0).state.lY = 4000;
    Tick();
    EXPECT_EQ(m_dialog->GetSlotState(0).axes[1], 4000);

    m_view->QueueChild([&](RecordingDialogView& child) {
        sweepY(child);
        child.Click(kIdOk);
    });
    m_view->Click(button);
    ASSERT_EQ(m_view->ChildrenRun(), 2);
    const CalibrationFile::ReadResult stored = CalibrationFile::Read(CalibrationPath());
    EXPECT_TRUE(stored.notes.empty());
    ASSERT_NE(stored.table.Find(static_cast<std::int32_t>(kStickA)), nullptr);
    EXPECT_EQ(stored.table.Find(static_cast<std::int32_t>(kStickA))->axes[1], AxisCalibration::Centred(-8000, 0, 8000));
    EXPECT_EQ(stored.table, m_dialog->GetCalibrations().Table());
    EXPECT_TRUE(ListHolds(*m_dialog->GetJoySticks(), "Calibration saved to " + CalibrationPath()));

    // In use at once: what the window and the processing read is calibrated.
    m_input.joystick(0).state.lY = 4000;
    Tick();
    EXPECT_EQ(m_dialog->GetSlotState(0).axes[1], 5000);
    m_input.joystick(0).state.lY = -9000;
    Tick();
    EXPECT_EQ(m_dialog->GetSlotState(0).axes[1], -10000);
}
