// The indicators on their own: each button lamp follows what the switch
// panel carries for it or the byte the processing published, PTT's never
// lights, a lamp is sent only when its picture changes, the side-stick lamp
// and the gear messages are taken every cycle but shown in frames, and the
// warning list, whose lamp turns red for a described warning only.
#include "app/Indicators.h"
#include "tests/app/window_part_fixture.h"

using namespace MainIds;
namespace GSB = GenericSimBlock;

namespace {

class IndicatorsTest : public WindowPartTest {
protected:
    void SetUp() override
    {
        WindowPartTest::SetUp();
        m_indicators.Bind(&View());
    }
    LampPicture Lamp(std::int32_t button) const { return Shown(kButtonRows[button].lamp).lamp; }
    int LampSets(std::int32_t button) const { return Shown(kButtonRows[button].lamp).lampSets; }

    Indicators m_indicators { m_panel, m_windowBlock };
};

} // namespace

TEST_F(IndicatorsTest, ButtonLampsFollowTheSwitchPanelOrThePublishedByte)
{
    m_panel.flapOut = 1;
    m_panel.reverseR = 1;
    m_panel.parkBrakeState = 1;
    GSB::StoreByte(Block(), GSB::kBrakeRPressed, 1);
    GSB::StoreByte(Block(), GSB::kPttPressed, 1);
    GSB::StoreByte(Block(), GSB::kReverserPressed, 1);
    m_indicators.RefreshButtonLamps();
    EXPECT_EQ(Lamp(ButtonFlapOut), LampPicture::On);
    EXPECT_EQ(Lamp(ButtonBrakeR), LampPicture::On);
    EXPECT_EQ(Lamp(ButtonParkBrk), LampPicture::On);
    // Each reverser has its own lamp, though they publish one byte.
    EXPECT_EQ(Lamp(ButtonReverseR), LampPicture::On);
    EXPECT_EQ(Lamp(ButtonReverseL), LampPicture::Off);
    EXPECT_EQ(Lamp(ButtonBrakeL), LampPicture::Off);
    EXPECT_EQ(LampSets(ButtonPtt), 0) << "PTT's lamp is never driven";

    // Sent when the picture changes, not on every frame.
    const int sets = LampSets(ButtonFlapOut);
    m_indicators.RefreshButtonLamps();
    EXPECT_EQ(LampSets(ButtonFlapOut), sets);
    m_panel.flapOut = 0;
    m_indicators.RefreshButtonLamps();
    EXPECT_EQ(Lamp(ButtonFlapOut), LampPicture::Off);
    EXPECT_EQ(LampSets(ButtonFlapOut), sets + 1);

    // Without the window's view of the block only the switch panel's lamps move.
    BlockSetUp none;
    Indicators blind(m_panel, none);
    RecordingDialogView other(MainDialogTemplate(), m_blank);
    other.Open();
    blind.Bind(&other);
    m_panel.stabAnu = 1;
    blind.RefreshButtonLamps();
    EXPECT_EQ(other.Control(kButtonRows[ButtonStabAnu].lamp).lamp, LampPicture::On);
    EXPECT_EQ(other.Control(kButtonRows[ButtonBrakeR].lamp).lampSets, 0);
    blind.TakeCycle();
    blind.RefreshSideStick();
    EXPECT_EQ(other.Control(kSideStickLamp).lampSets, 0);
}

TEST_F(IndicatorsTest, WhatLastsOneCycleIsTakenThenAndShownInTheNextFrame)
{
    GSB::StoreDouble(Block(), GSB::kRollDeadBand, 0.5);
    GSB::StoreDouble(Block(), GSB::kRollOutput, 3.0);
    m_indicators.TakeCycle();
    EXPECT_TRUE(m_indicators.SideStickLit());
    EXPECT_EQ(Shown(kSideStickLamp).lampSets, 0) << "nothing is drawn outside a frame";
    GSB::StoreDouble(Block(), GSB::kRollOutput, 0.0);
    m_indicators.TakeCycle(); // out and back within one frame: the frame shows where it ended
    m_indicators.RefreshSideStick();
    EXPECT_EQ(Shown(kSideStickLamp).lamp, LampPicture::Off);
    m_indicators.RefreshSideStick();
    EXPECT_EQ(Shown(kSideStickLamp).lampSets, 1);

    // A gear press in one cycle leaves its message for the frames after it.
    m_panel.gearPressed = 1;
    GSB::StoreByte(Block(), GSB::kGearFlag2, 1);
    m_indicators.TakeCycle();
    m_panel.gearPressed = 0;
    m_indicators.TakeCycle();
    m_panel.eyeAngle = 270;
    m_indicators.RefreshEyeText();
    m_indicators.SendTexts();
    EXPECT_EQ(Shown(kGearMessage).text, "Gear Lever set to DOWN");
    EXPECT_EQ(Shown(kEyeText).text, "Looking  Left");
    EXPECT_EQ(Shown(kParkBrakeMessage).text, "");
}

TEST_F(IndicatorsTest, NotesAreListedAndOnlyAWarningTurnsTheLampRed)
{
    StartSet();
    m_indicators.PrepareWarningList();
    ASSERT_EQ(Shown(kWarningList).columns.size(), 2u);
    m_indicators.ShowWarnings(*m_set);
    EXPECT_TRUE(Shown(kWarningList).rows.empty());
    EXPECT_EQ(Shown(kWarningLamp).lamp, LampPicture::On);

    m_set->AddNote("what a file lacked", NoteKind::GivesWay);
    m_set->AddNote("a joystick lost", NoteKind::Stays);
    m_indicators.ShowWarnings(*m_set);
    ASSERT_EQ(Shown(kWarningList).rows.size(), 2u);
    EXPECT_EQ(Shown(kWarningList).rows[1][1], "a joystick lost");
    EXPECT_EQ(Shown(kWarningLamp).lamp, LampPicture::On);

    // Listed again above what the list holds, as every listing is.
    m_set->AddWarning("JoyStick Id for ROLL in the ini file has no match with any attached Joy sticks");
    m_indicators.ShowWarnings(*m_set);
    ASSERT_EQ(Shown(kWarningList).rows.size(), 5u);
    EXPECT_EQ(Shown(kWarningList).rows[2][1],
        "JoyStick Id for ROLL in the ini file has no match with any attached Joy sticks");
    EXPECT_EQ(Shown(kWarningList).rows[4][1], "a joystick lost");
    EXPECT_EQ(Shown(kWarningLamp).lamp, LampPicture::Warning);

    m_set->ClearWarnings();
    m_indicators.ShowWarnings(*m_set);
    EXPECT_TRUE(Shown(kWarningList).rows.empty());
    EXPECT_EQ(Shown(kWarningLamp).lamp, LampPicture::On);
}
