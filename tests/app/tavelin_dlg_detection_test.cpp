// Assignment by moving the control and what makes movement visible: the
// detection of an axis, a button and a hat, its cancelling by Escape and by
// time-out, the readout highlight, the slot headers and the lost mark.
#include "tests/app/main_window_fixture.h"

#include "mapping/CockpitButtons.h"
#include "mapping/GenericSimBlock.h"

#include <cstdint>
#include <string>

using namespace MainIds;
namespace Block = GenericSimBlock;

namespace {

std::int64_t g_now = 0;
std::int64_t TestClock()
{
    return g_now;
}

struct RecordContent {
    std::int32_t joystickId;
    std::int32_t input;
    bool operator==(const RecordContent&) const = default;
};

class DetectionTest : public MainWindowTest {
protected:
    void OpenWithTwoSticks()
    {
        m_input.AddJoystick(kStickA, "Stick A", 12);
        m_input.AddJoystick(kStickB, "Throttle B", 16);
        Open();
        g_now = 1000000;
        m_dialog->SetClock(TestClock);
        Step();
    }
    // One tick, 8 ms later.
    void Step(int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            g_now += 8;
            Tick();
        }
    }
    RecordContent Record(std::size_t record) const
    {
        return { Block::LoadInt32(Block(), record + Block::kRecordJoystickId),
            Block::LoadInt32(Block(), record + Block::kRecordInput) };
    }
    const RecordedControl& Control(std::int32_t id) const { return m_view->Control(id); }
};

} // namespace

TEST_F(DetectionTest, AMovedAxisButtonOrHatIsAssignedAsAComboChoiceWouldBe)
{
    OpenWithTwoSticks();
    const AxisRowIds& pitch = kAxisRows[0];
    ASSERT_EQ(Control(AxisDetectId(0)).text, "Move");

    // Axis: a small movement is not enough, a fifth of the range is.
    m_view->Click(AxisDetectId(0));
    EXPECT_TRUE(m_dialog->Detecting());
    EXPECT_EQ(Control(AxisDetectId(0)).text, "5 s");
    m_input.joystick(1).state.lRz = 3900;
    Step();
    EXPECT_TRUE(m_dialog->Detecting());
    m_input.joystick(1).state.lRz = 4100;
    Step();
    EXPECT_FALSE(m_dialog->Detecting());
    EXPECT_EQ(Control(AxisDetectId(0)).text, "Move");
    EXPECT_EQ(Control(pitch.joystickCombo).selection, 1);
    EXPECT_EQ(Control(pitch.inputCombo).selection, 5);
    const RecordContent detected = Record(Block::kPitchRecord);
    EXPECT_EQ(detected, (RecordContent { static_cast<std::int32_t>(kStickB), 5 }));
    EXPECT_EQ(m_dialog->GetJoySticks()->GetAxisSlot(AxisPitch), 1);

    // The same choice made in the combos writes the same record.
    m_view->Select(pitch.joystickCombo, 0);
    m_view->Select(pitch.inputCombo, 1);
    ASSERT_NE(Record(Block::kPitchRecord), detected);
    m_view->Select(pitch.joystickCombo, 1);
    m_view->Select(pitch.inputCombo, 5);
    EXPECT_EQ(Record(Block::kPitchRecord), detected);

    // Button: one held since before the start does not count, a new press does.
    const std::size_t apRecord = Block::ButtonRecord(static_cast<std::size_t>(ButtonApDisc));
    m_input.joystick(0).state.rgbButtons[3] = 0x80;
    Step();
    m_view->Click(ButtonDetectId(ButtonApDisc));
    Step(3);
    EXPECT_TRUE(m_dialog->Detecting());
    m_input.joystick(1).state.rgbButtons[7] = 0x80;
    Step();
    EXPECT_FALSE(m_dialog->Detecting());
    EXPECT_EQ(Control(kButtonRows[ButtonApDisc].joystickCombo).selection, 1);
    EXPECT_EQ(Control(kButtonRows[ButtonApDisc].buttonCombo).selection, 8);
    EXPECT_EQ(Record(apRecord), (RecordContent { static_cast<std::int32_t>(kStickB), 8 }));
    m_input.joystick(0).state.rgbButtons[3] = 0;
    m_input.joystick(1).state.rgbButtons[7] = 0;

    // Hat: the second hat of the first stick leaves centre.
    m_view->Click(kEyeDetect);
    Step();
    EXPECT_TRUE(m_dialog->Detecting());
    m_input.joystick(0).state.rgdwPOV[1] = 9000;
    Step();
    EXPECT_FALSE(m_dialog->Detecting());
    EXPECT_EQ(Control(kEyeJoystickCombo).selection, 0);
    EXPECT_EQ(Control(kEyePovCombo).selection, 2);
    EXPECT_EQ(m_dialog->GetJoySticks()->GetEyeViewInput(), 2);
    EXPECT_EQ(Record(Block::kEyeViewRecord).input, 2);

    // The PTT row, like its combos, cannot be detected.
    EXPECT_FALSE(Control(ButtonDetectId(ButtonPtt)).enabled);
}

// A button row's Move takes an axis pushed past half its travel from either
// side of centre, with the threshold on the side it went to; an axis that
// rests near half its travel does not count for a nudge.
TEST_F(DetectionTest, AnAxisPushedPastHalfItsTravelDrivesAButtonRow)
{
    OpenWithTwoSticks();
    const ButtonRowIds& brakeR = kButtonRows[ButtonBrakeR];
    m_input.joystick(1).state.lRx = -10000; // a toe brake at rest
    m_input.joystick(0).state.lY = 4800; // a stick held near half its travel
    Step();
    m_view->Click(ButtonDetectId(ButtonBrakeR));
    m_input.joystick(0).state.lY = 5200;
    m_input.joystick(1).state.lRx = 4900;
    Step();
    EXPECT_TRUE(m_dialog->Detecting());
    m_input.joystick(1).state.lRx = 5000;
    Step();
    EXPECT_FALSE(m_dialog->Detecting());
    const AxisButtonSetting axis = m_dialog->GetJoySticks()->GetAxisButton(ButtonBrakeR);
    EXPECT_EQ(axis.axis, 3);
    EXPECT_EQ(axis.threshold, 5000);
    EXPECT_EQ(Control(brakeR.joystickCombo).selection, 1);
    EXPECT_EQ(Control(brakeR.buttonCombo).entries.at(static_cast<std::size_t>(Control(brakeR.buttonCombo).selection)),
        "Rx+50");
    EXPECT_EQ(m_dialog->GetJoySticks()->GetButtonSlot(ButtonBrakeR), 1);
    Step();
    EXPECT_EQ(Block::LoadByte(Block(), Block::kBrakeRPressed), 1);

    // The other way, on the first stick's slider.
    m_view->Click(ButtonDetectId(ButtonFlapOut));
    m_input.joystick(0).state.rglSlider[0] = -7000;
    Step();
    EXPECT_FALSE(m_dialog->Detecting());
    EXPECT_EQ(m_dialog->GetJoySticks()->GetAxisButton(ButtonFlapOut).axis, 6);
    EXPECT_EQ(m_dialog->GetJoySticks()->GetAxisButton(ButtonFlapOut).threshold, -5000);
    EXPECT_EQ(m_dialog->GetJoySticks()->GetButtonSlot(ButtonFlapOut), 0);
}

TEST_F(DetectionTest, EscapeAndFiveSecondsWithoutMovementCancelWithoutAssigning)
{
    OpenWithTwoSticks();
    const RecordContent before = Record(Block::kRollRecord);

    // Escape gives up the waiting, and leaves the window open.
    m_view->Click(AxisDetectId(1));
    Step();
    m_view->PressEscape();
    EXPECT_FALSE(m_dialog->Detecting());
    EXPECT_FALSE(m_view->Ended());
    EXPECT_EQ(Control(AxisDetectId(1)).text, "Move");
    m_input.joystick(1).state.lZ = 9000;
    Step();
    EXPECT_EQ(Record(Block::kRollRecord), before);
    m_input.joystick(1).state.lZ = 0;
    Step();

    // The row counts down and gives up after five seconds.
    m_view->Click(AxisDetectId(1));
    g_now += 1500;
    Step();
    EXPECT_EQ(Control(AxisDetectId(1)).text, "4 s");
    g_now += 3480;
    Step();
    EXPECT_TRUE(m_dialog->Detecting());
    EXPECT_EQ(Control(AxisDetectId(1)).text, "1 s");
    g_now += 20;
    Step();
    EXPECT_FALSE(m_dialog->Detecting());
    EXPECT_EQ(Control(AxisDetectId(1)).text, "Move");
    m_input.joystick(1).state.lZ = 9000;
    Step();
    EXPECT_EQ(Record(Block::kRollRecord), before);

    // Starting another row gives up the first one.
    m_view->Click(AxisDetectId(1));
    m_view->Click(AxisDetectId(2));
    EXPECT_EQ(Control(AxisDetectId(1)).text, "Move");
    EXPECT_EQ(Control(AxisDetectId(2)).text, "5 s");

    // Escape gives up the second row too; without a waiting row it ends nothing.
    m_view->PressEscape();
    EXPECT_FALSE(m_dialog->Detecting());
    m_view->PressEscape();
    EXPECT_FALSE(m_view->Ended());
}

TEST_F(DetectionTest, AReadoutIsHighlightedWhileItMovesMoreThanTwoPercentInHalfASecond)
{
    OpenWithTwoSticks();
    const std::int32_t x = ReadoutValueId(1, 1);
    const std::int32_t hat = ReadoutValueId(1, 9);
    Step(70);
    EXPECT_FALSE(Control(x).highlighted);

    // 1.5 % in small steps: not highlighted; 2.5 % within half a second: highlighted.
    for (int i = 1; i <= 3; ++i) {
        m_input.joystick(1).state.lX = 100 * i;
        Step(5);
    }
    EXPECT_FALSE(Control(x).highlighted);
    EXPECT_EQ(Control(x).highlightSets, 0);
    m_input.joystick(1).state.lX = 500;
    Step(kNumberCycles);
    EXPECT_TRUE(Control(x).highlighted);

    // Moving on keeps it lit without telling the window again.
    for (int i = 1; i <= 20; ++i) {
        m_input.joystick(1).state.lX = 500 + 300 * i;
        Step();
    }
    EXPECT_TRUE(Control(x).highlighted);
    EXPECT_EQ(Control(x).highlightSets, 1);

    // Half a second at rest puts it out; the other cells were never touched.
    Step(70);
    EXPECT_FALSE(Control(x).highlighted);
    EXPECT_EQ(Control(x).highlightSets, 2);
    EXPECT_EQ(Control(ReadoutValueId(1, 2)).highlightSets, 0);
    EXPECT_EQ(Control(ReadoutValueId(0, 1)).highlightSets, 0);

    // A hat leaving centre lights up too; the joystick ID never does.
    m_input.joystick(1).state.rgdwPOV[0] = 0;
    Step(kNumberCycles);
    EXPECT_TRUE(Control(hat).highlighted);
    EXPECT_EQ(Control(ReadoutValueId(1, 0)).highlightSets, 0);
}

TEST_F(DetectionTest, SlotHeadersNameTheirJoystickAndMarkOneThatIsLost)
{
    OpenWithTwoSticks();
    EXPECT_EQ(Control(kSlotGroup[0]).text, "JoyStick 0: Stick A");
    EXPECT_EQ(Control(kSlotGroup[1]).text, "JoyStick 1: Throttle B");
    EXPECT_EQ(Control(kSlotGroup[2]).text, "JoyStick 2");
    for (std::int32_t combo :
        { kAxisRows[0].joystickCombo, kButtonRows[ButtonGearLvr].joystickCombo, kEyeJoystickCombo }) {
        const RecordedControl& control = Control(combo);
        ASSERT_EQ(control.entryToolTips.size(), 4u) << combo;
        EXPECT_EQ(control.entryToolTips.at(0), "Stick A");
        EXPECT_EQ(control.entryToolTips.at(1), "Throttle B");
        EXPECT_EQ(control.entryToolTips.at(2), "No Joy Stick Attached");
    }

    // Every readout cell has its tooltip, like every control of the template.
    for (int line = 0; line < CTavelinDlg::kReadoutLines; ++line) {
        for (std::int32_t id : { ReadoutLabelId(0, line), ReadoutValueId(0, line), ReadoutUnitId(0, line) }) {
            EXPECT_FALSE(Control(id).toolTip.empty()) << id;
        }
    }
    EXPECT_NE(Control(ReadoutValueId(3, 1)).toolTip.find("-10000 to 10000"), std::string::npos);

    m_input.joystick(1).attached = false;
    Step();
    EXPECT_EQ(Control(kSlotGroup[1]).text, "JoyStick 1: Throttle B (lost)");
    EXPECT_TRUE(Control(kSlotGroup[1]).highlighted);
    EXPECT_FALSE(Control(kSlotGroup[0]).highlighted);
    const int sets = Control(kSlotGroup[1]).textSets;
    Step(3);
    EXPECT_EQ(Control(kSlotGroup[1]).textSets, sets);

    m_input.joystick(1).attached = true;
    Step();
    EXPECT_EQ(Control(kSlotGroup[1]).text, "JoyStick 1: Throttle B");
    EXPECT_FALSE(Control(kSlotGroup[1]).highlighted);
}

TEST_F(DetectionTest, IdenticalJoysticksAreToldApartByTheirInstanceInHeadersAndTooltips)
{
    m_input.AddJoystick(kStickA, "Stick A", 12).instanceKey = "port:usb-1";
    m_input.AddJoystick(kStickB, "Throttle Quadrant", 8).instanceKey = "serial:A1B2C3";
    m_input.AddJoystick(kStickB, "Throttle Quadrant", 8).instanceKey = "port:7&2a3b4c5d&0&0000";
    Open();
    Step();
    EXPECT_EQ(Control(kSlotGroup[0]).text, "JoyStick 0: Stick A") << "a joystick without a twin: its name alone";
    // In the header's room the instance stands for the name, which is shown above the box.
    EXPECT_EQ(Control(kSlotGroup[1]).text, "JoyStick 1: serial A1B2C3");
    EXPECT_EQ(Control(kSlotGroup[2]).text, "JoyStick 2: port 7&2a3b4c5d&0&0000");
    EXPECT_EQ(Control(kDeviceName[1]).text, "Throttle Quadrant");
    const RecordedControl& combo = Control(kAxisRows[4].joystickCombo);
    ASSERT_EQ(combo.entryToolTips.size(), 4u);
    EXPECT_EQ(combo.entryToolTips.at(0), "Stick A");
    EXPECT_EQ(combo.entryToolTips.at(1), "Throttle Quadrant (serial A1B2C3)");
    EXPECT_EQ(combo.entryToolTips.at(2), "Throttle Quadrant (port 7&2a3b4c5d&0&0000)");

    // The twin unplugged: the other one is told by its name alone again.
    m_input.joystick(2).attached = false;
    m_dialog->OnDevicesChanged();
    Step();
    EXPECT_EQ(Control(kSlotGroup[2]).text, "JoyStick 2: port 7&2a3b4c5d&0&0000 (lost)");
    EXPECT_EQ(Control(kSlotGroup[1]).text, "JoyStick 1: serial A1B2C3")
        << "a lost joystick keeps its slot, so its twin is still there";
}
