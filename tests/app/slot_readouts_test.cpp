// The slot readouts on their own: each line shows its value of the slot
// copies as its kind is written, only changes are sent, a value that moves
// lights up for half a second (hats by degrees, the first button on any
// change, never the ID), and the headers name the device and mark a lost one.
#include "app/SlotReadouts.h"
#include "tests/app/window_part_fixture.h"

#include <string>

using namespace MainIds;

namespace {

int LineOf(const char* label)
{
    for (int line = 0; line < SlotReadouts::kLines; ++line) {
        if (std::string(SlotReadouts::kReadoutLines[line].label) == label) {
            return line;
        }
    }
    ADD_FAILURE() << "no readout line " << label;
    return 0;
}

class SlotReadoutsTest : public WindowPartTest {
protected:
    void SetUp() override
    {
        WindowPartTest::SetUp();
        m_readouts.Bind(&View());
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            m_readouts.Create(slot);
        }
    }
    const std::string& Value(int slot, const char* label) { return Shown(ReadoutValueId(slot, LineOf(label))).text; }

    SlotReadouts m_readouts { m_slots };
};

} // namespace

TEST_F(SlotReadoutsTest, EachLineShowsItsValueAndOnlyChangesAreSent)
{
    EXPECT_EQ(Value(0, "X"), "----");
    EXPECT_FALSE(Shown(ReadoutValueId(0, 0)).enabled);
    m_readouts.Enable(2);
    EXPECT_TRUE(Shown(ReadoutValueId(1, 29)).enabled);
    EXPECT_FALSE(Shown(ReadoutValueId(2, 0)).enabled);

    JoystickState& state = m_slots.state[1];
    state.joystickId = 0x8004046Du; // above the signed range
    state.axes[5] = -10000;
    state.pov[2] = 0xFFFFFFFFu; // shown as the signed number it is
    state.velocities[7] = 17;
    state.accelerations[0] = -3;
    state.buttonCount = 12;
    m_slots.firstButton[1] = 4;
    m_readouts.Refresh(2, 0);
    EXPECT_EQ(Value(1, "ID"), "2147746925");
    EXPECT_EQ(Value(1, "Rz"), "-10000");
    EXPECT_EQ(Value(1, "POV3"), "-1");
    EXPECT_EQ(Value(1, "vSL2"), "17");
    EXPECT_EQ(Value(1, "aX"), "-3");
    EXPECT_EQ(Value(1, "BTNS"), "12");
    EXPECT_EQ(Value(1, "BTN   "), "4");
    EXPECT_EQ(Value(2, "X"), "----") << "slots beyond the attached ones are not refreshed";

    // Nothing moved: nothing is sent; one value moved: that one alone.
    const int calls = View().CallCount();
    m_readouts.Refresh(2, 10);
    EXPECT_EQ(View().CallCount(), calls);
    state.axes[1] = 5;
    m_readouts.Refresh(2, 20);
    EXPECT_EQ(Value(1, "Y"), "5");
    EXPECT_EQ(View().CallCount(), calls + 1);
}

TEST_F(SlotReadoutsTest, AMovingValueLightsUpForHalfASecond)
{
    m_readouts.Enable(1);
    JoystickState& state = m_slots.state[0];
    std::int64_t now = 1000;
    const auto lit = [&](const char* label) { return Shown(ReadoutValueId(0, LineOf(label))).highlighted; };
    m_readouts.Refresh(1, now);

    // An axis moving by a fiftieth of its range, a hat by a fiftieth of a
    // turn, the first button by any step; the ID and the button count never.
    state.axes[0] = 399;
    state.pov[0] = 7;
    state.joystickId = 99;
    state.buttonCount = 30;
    m_readouts.Refresh(1, now += 50);
    EXPECT_FALSE(lit("X"));
    EXPECT_FALSE(lit("POV1"));
    state.axes[0] = 401;
    state.pov[0] = 8;
    m_slots.firstButton[0] = 1;
    m_readouts.Refresh(1, now += 50);
    EXPECT_TRUE(lit("X"));
    EXPECT_TRUE(lit("POV1"));
    EXPECT_TRUE(lit("BTN   "));
    EXPECT_FALSE(lit("ID"));
    EXPECT_FALSE(lit("BTNS"));

    // Still for half a second: the light goes out, and once only.
    const int sets = Shown(ReadoutValueId(0, LineOf("X"))).highlightSets;
    for (int i = 0; i < 12; ++i) {
        m_readouts.Refresh(1, now += 50);
    }
    EXPECT_FALSE(lit("X"));
    EXPECT_FALSE(lit("POV1"));
    EXPECT_EQ(Shown(ReadoutValueId(0, LineOf("X"))).highlightSets, sets + 1);
}

TEST_F(SlotReadoutsTest, HeadersAndNamesSayWhichDeviceAndWhetherItIsLost)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    StartSet();
    m_readouts.ShowHeaders(*m_set);
    EXPECT_EQ(Shown(kSlotGroup[0]).text, "JoyStick 0: Stick A");
    EXPECT_EQ(Shown(kSlotGroup[1]).text, "JoyStick 1");
    EXPECT_FALSE(Shown(kSlotGroup[0]).highlighted);
    const int sets = Shown(kSlotGroup[0]).textSets;
    m_readouts.ShowHeaders(*m_set);
    EXPECT_EQ(Shown(kSlotGroup[0]).textSets, sets) << "unchanged headers are not sent again";

    m_input.joystick(0).attached = false;
    Cycle();
    ASSERT_TRUE(m_set->IsSlotLost(0));
    m_readouts.ShowHeaders(*m_set);
    EXPECT_EQ(Shown(kSlotGroup[0]).text, "JoyStick 0: Stick A (lost)");
    EXPECT_TRUE(Shown(kSlotGroup[0]).highlighted);
    m_readouts.ShowDeviceNames(*m_set, true);
    m_readouts.SendTexts();
    EXPECT_EQ(Shown(kDeviceName[0]).text, "Stick A (lost)");
    EXPECT_EQ(Shown(kDeviceName[3]).text, "No Device");
    m_readouts.ShowDeviceNames(*m_set, false);
    m_readouts.SendTexts();
    EXPECT_EQ(Shown(kDeviceName[0]).text, "Stick A");

    // Told that the slots changed, every header is sent again.
    m_readouts.HeadersChanged();
    const int lostSets = Shown(kSlotGroup[3]).textSets;
    m_readouts.ShowHeaders(*m_set);
    EXPECT_EQ(Shown(kSlotGroup[3]).textSets, lostSets + 1);
}
