// The assignment rows on their own: a bar is sent when it moves, its texts
// only with the numbers and only when they changed; without the window's view
// of the block a row neither reads nor stores; a row waiting for its control
// counts down only while the window is seen and gives up after five seconds.
#include "app/AssignmentRows.h"
#include "tests/app/window_part_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace MainIds;
namespace GSB = GenericSimBlock;

namespace {

class AssignmentRowsTest : public WindowPartTest {
protected:
    void SetUp() override
    {
        WindowPartTest::SetUp();
        m_rows.Bind(&View());
    }

    AssignmentRows m_rows { m_slots, m_windowBlock };
};

} // namespace

TEST_F(AssignmentRowsTest, BarsMoveAtOnceAndTheirTextsOnlyWithTheNumbers)
{
    const AxisRowIds& roll = kAxisRows[1];
    GSB::StoreDouble(Block(), GSB::kRollOutput, 12.5);
    GSB::StoreDouble(Block(), GSB::kRollSensitivity, 0.0025);
    m_rows.RefreshAxisPanels(false);
    EXPECT_EQ(Shown(roll.progress).progress, 75);
    EXPECT_EQ(Shown(roll.valueText).textSets, 0);

    m_rows.RefreshAxisPanels(true);
    EXPECT_EQ(Shown(roll.valueText).text, " 12.500 Deg");
    EXPECT_EQ(Shown(roll.sensitivityText).text, "0.0025");
    const int calls = View().CallCount();
    m_rows.RefreshAxisPanels(true);
    EXPECT_EQ(View().CallCount(), calls) << "nothing changed, nothing is sent";

    // The spin steps the block's value and shows it at once; another control is not the rows'.
    EXPECT_TRUE(m_rows.OnSpinDelta(roll.spin, -2));
    EXPECT_NEAR(GSB::LoadDouble(Block(), GSB::kRollSensitivity), 0.0027, 1e-12);
    EXPECT_EQ(Shown(roll.sensitivityText).text, "0.0027");
    EXPECT_FALSE(m_rows.OnSpinDelta(kSetDeadBands, 1));
}

TEST_F(AssignmentRowsTest, WithoutTheBlockARowNeitherReadsNorStores)
{
    BlockSetUp none;
    AssignmentRows blind(m_slots, none);
    blind.Bind(&View());
    GSB::StoreDouble(Block(), GSB::kPitchSensitivity, 0.002);
    const int calls = View().CallCount();
    blind.RefreshAxisPanels(true);
    EXPECT_TRUE(blind.OnSpinDelta(kAxisRows[0].spin, -1)) << "the rows' spin, though it does nothing";
    EXPECT_EQ(View().CallCount(), calls);
    EXPECT_EQ(GSB::LoadDouble(Block(), GSB::kPitchSensitivity), 0.002);
}

TEST_F(AssignmentRowsTest, AWaitingRowCountsDownWhileSeenAndGivesUpAfterFiveSeconds)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    StartSet();
    m_rows.SetUpAxisPanels(m_set.get(), true);
    m_rows.SetUpEyePointRow(m_set.get(), true);
    EXPECT_FALSE(m_rows.IsDetectButton(ButtonDetectId(ButtonPtt)));
    ASSERT_TRUE(m_rows.IsDetectButton(AxisDetectId(2)));
    const std::int32_t pedalsInput = m_set->GetAxisInput(AxisPedals);

    // Hidden: the countdown is not written, the waiting goes on.
    std::int64_t now = 5000;
    m_rows.OnDetectButton(*m_set, AxisDetectId(2), now, false);
    EXPECT_TRUE(m_rows.Detecting());
    EXPECT_EQ(Shown(AxisDetectId(2)).textSets, 0);
    m_rows.StepDetection(*m_set, 1, now += 1500, true);
    EXPECT_EQ(Shown(AxisDetectId(2)).text, "4 s");
    const int sets = Shown(AxisDetectId(2)).textSets;
    m_rows.StepDetection(*m_set, 1, now += 100, true);
    EXPECT_EQ(Shown(AxisDetectId(2)).textSets, sets) << "the text changes once a second";

    m_rows.StepDetection(*m_set, 1, now += 3500, true);
    EXPECT_FALSE(m_rows.Detecting());
    EXPECT_EQ(Shown(AxisDetectId(2)).text, "Move");
    EXPECT_EQ(m_set->GetAxisInput(AxisPedals), pedalsInput);

    // Another row's Move ends the first row's waiting and starts its own.
    m_rows.OnDetectButton(*m_set, AxisDetectId(0), now, true);
    EXPECT_EQ(Shown(AxisDetectId(0)).text, "5 s");
    m_rows.OnDetectButton(*m_set, kEyeDetect, now, true);
    EXPECT_EQ(Shown(AxisDetectId(0)).text, "Move");
    EXPECT_EQ(Shown(kEyeDetect).text, "5 s");
    m_slots.state[0].pov[1] = 90;
    m_rows.StepDetection(*m_set, 1, now += 8, true);
    EXPECT_FALSE(m_rows.Detecting());
    EXPECT_EQ(m_set->GetEyeViewInput(), 2);
    EXPECT_EQ(Shown(kEyePovCombo).selection, 2);
}

// A button row driven by an axis: the Button combo's axis entries, the model
// they set, the button it presses, a change of joystick keeping the axis, a
// number giving the row back to its button, and a threshold no entry has.
TEST_F(AssignmentRowsTest, AButtonRowTakesAnAxisAndThresholdFromItsButtonCombo)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    m_input.AddJoystick(kStickB, "Pedals B", 0);
    StartSet();
    m_rows.SetUpButtonRows(m_set.get(), true);
    const ButtonRowIds& brakeL = kButtonRows[ButtonBrakeL];
    const std::vector<std::string>& entries = Shown(brakeL.buttonCombo).entries;
    ASSERT_EQ(entries.size(), 32u + 64u);
    EXPECT_EQ(entries[31], "31");
    EXPECT_EQ(entries[32], "X+25");
    EXPECT_EQ(entries[33], "X+50");
    EXPECT_EQ(entries[36], "X-25");
    EXPECT_EQ(entries[95], "SL2-90");

    m_rows.OnSelectionChange(*m_set, brakeL.joystickCombo, 1);
    const std::int32_t number = m_set->GetButtonNumber(ButtonBrakeL);
    const auto ryHalf = std::find(entries.begin(), entries.end(), "Ry+50") - entries.begin();
    m_rows.OnSelectionChange(*m_set, brakeL.buttonCombo, static_cast<int>(ryHalf));
    EXPECT_EQ(m_set->GetAxisButton(ButtonBrakeL).axis, 4);
    EXPECT_EQ(m_set->GetAxisButton(ButtonBrakeL).threshold, 5000);
    EXPECT_EQ(m_set->GetButtonNumber(ButtonBrakeL), number);
    EXPECT_EQ(Shown(brakeL.buttonCombo).selection, ryHalf);

    // The pedals' right toe brake (Ry) pressed beyond the threshold brakes on the left.
    m_input.joystick(1).state.lRy = 6000;
    Cycle();
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kBrakeLPressed), 1);
    m_input.joystick(1).state.lRy = 4600;
    Cycle();
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kBrakeLPressed), 1) << "inside the 500 of hysteresis";
    m_input.joystick(1).state.lRy = 4500;
    Cycle();
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kBrakeLPressed), 0);

    // Another joystick: the same axis of that one, still shown as the axis.
    m_rows.OnSelectionChange(*m_set, brakeL.joystickCombo, 0);
    EXPECT_EQ(m_set->GetAxisButton(ButtonBrakeL).axis, 4);
    EXPECT_EQ(m_set->GetButtonSlot(ButtonBrakeL), 0);
    EXPECT_EQ(Shown(brakeL.buttonCombo).text, "Ry+50");

    // A number gives the row back to its joystick button.
    m_rows.OnSelectionChange(*m_set, brakeL.buttonCombo, 3);
    EXPECT_FALSE(m_set->GetAxisButton(ButtonBrakeL).Drives());
    EXPECT_EQ(m_set->GetButtonNumber(ButtonBrakeL), 3);

    // A threshold that no entry has, as a file may give it.
    ASSERT_TRUE(m_set->SetAxisButton(ButtonParkBrk, 7, -3050));
    m_rows.SetUpButtonRows(m_set.get(), false);
    EXPECT_EQ(Shown(kButtonRows[ButtonParkBrk].buttonCombo).text, "SL2-30.5");
    EXPECT_EQ(Shown(brakeL.buttonCombo).text, "3");
}
