// Cockpit buttons driven by an axis: the hysteresis on both signs, the button
// number ignored, and presses, edges, shared bytes and mirror bytes exactly as
// a joystick button gives them.
#include "mapping/AxisButtons.h"
#include "tests/mapping/processor_fixture.h"

#include <utility>
#include <vector>

namespace Block = GenericSimBlock;
using ProcessorTest::ProcessorFixture;

namespace {

constexpr std::int32_t kAxisX = 0;
constexpr std::int32_t kAxisRy = 4;

class AxisButtonCycle : public ProcessorFixture {
protected:
    // The BRAKE L byte after one cycle with the axis at `value`.
    std::uint8_t BrakeLAt(std::int32_t value, int slot = 0)
    {
        states[slot].axes[kAxisRy] = value;
        Cycle(2);
        return Byte(Block::kBrakeLPressed);
    }
};

TEST_F(AxisButtonCycle, PressesAtTheThresholdAndReleasesOnly500BackOnBothSigns)
{
    AssignButton(ButtonBrakeL, 0, -1); // NA: the axis drives it all the same
    ASSERT_TRUE(processor.SetAxisButton(ButtonBrakeL, kAxisRy, 5000));
    const struct {
        std::int32_t value;
        std::uint8_t pressed;
    } positive[] = { { -10000, 0 }, { 4999, 0 }, { 5000, 1 }, { 10000, 1 }, { 4501, 1 }, { 4500, 0 }, { 4999, 0 },
        { 5000, 1 }, { -10000, 0 } };
    for (const auto& step : positive) {
        EXPECT_EQ(BrakeLAt(step.value), step.pressed) << step.value;
    }

    // Mirrored: pressed at or below -3000, released at or above -2500.
    ASSERT_TRUE(processor.SetAxisButton(ButtonBrakeL, kAxisRy, -3000));
    const struct {
        std::int32_t value;
        std::uint8_t pressed;
    } negative[] = { { 10000, 0 }, { -2999, 0 }, { -3000, 1 }, { -10000, 1 }, { -2501, 1 }, { -2500, 0 }, { -2999, 0 },
        { -3000, 1 } };
    for (const auto& step : negative) {
        EXPECT_EQ(BrakeLAt(step.value), step.pressed) << step.value;
    }

    // The extreme thresholds are reached by the ends of travel and let go again.
    ASSERT_TRUE(processor.SetAxisButton(ButtonBrakeL, kAxisRy, -10000));
    EXPECT_EQ(BrakeLAt(-10000), 1);
    EXPECT_EQ(BrakeLAt(-9501), 1);
    EXPECT_EQ(BrakeLAt(-9500), 0);
    ASSERT_TRUE(processor.SetAxisButton(ButtonBrakeL, kAxisRy, 10000));
    EXPECT_EQ(BrakeLAt(10000), 1);
    EXPECT_EQ(BrakeLAt(9500), 0);
}

TEST_F(AxisButtonCycle, NoiseAtTheThresholdDoesNotChatter)
{
    AssignButton(ButtonBrakeL, 0, 3);
    ASSERT_TRUE(processor.SetAxisButton(ButtonBrakeL, kAxisRy, 5000));
    // A toe brake held at the threshold, its reading wandering by up to 400.
    std::vector<std::uint8_t> seen;
    for (int i = 0; i < 200; ++i) {
        seen.push_back(BrakeLAt(5000 + (i * 173) % 801 - 400));
    }
    int changes = 0;
    for (std::size_t i = 1; i < seen.size(); ++i) {
        changes += seen[i] != seen[i - 1] ? 1 : 0;
    }
    EXPECT_EQ(changes, 1) << "pressed once at the first reading of 5000 or more, then held";
    EXPECT_EQ(seen.back(), 1);
}

TEST_F(AxisButtonCycle, TheButtonNumberIsIgnoredWhileTheAxisDrivesAndCountsAgainAfter)
{
    AssignButton(ButtonBrakeR, 1, 4);
    states[1].buttons[3] = 1; // its joystick button held
    ASSERT_TRUE(processor.SetAxisButton(ButtonBrakeR, kAxisX, 2000));
    states[1].axes[kAxisX] = 0;
    Cycle(2);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 0);
    states[0].axes[kAxisX] = 10000; // another joystick's X does nothing
    Cycle(2);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 0);
    states[1].axes[kAxisX] = 2000;
    Cycle(2);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 1);
    EXPECT_EQ(processor.GetButtonNumber(ButtonBrakeR), 4); // the number stays as it was

    // A slot that is not attached (the block is anyone's to write) lets go at
    // once, although 2000 lies outside the band; back on its slot the band holds it released.
    SetRecordField(Block::ButtonRecord(ButtonBrakeR), Block::kRecordSlot, 3);
    Cycle(2);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 0);
    SetRecordField(Block::ButtonRecord(ButtonBrakeR), Block::kRecordSlot, 1);
    states[1].axes[kAxisX] = 1800;
    Cycle(2);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 0);

    // Held on one joystick, then moved to another whose axis is inside the band: released.
    states[1].axes[kAxisX] = 2000;
    Cycle(2);
    ASSERT_EQ(Byte(Block::kBrakeRPressed), 1);
    states[0].axes[kAxisX] = 1800;
    SetRecordField(Block::ButtonRecord(ButtonBrakeR), Block::kRecordSlot, 0);
    Cycle(2);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 0);
    SetRecordField(Block::ButtonRecord(ButtonBrakeR), Block::kRecordSlot, 1);

    processor.ClearAxisButton(ButtonBrakeR);
    Cycle(2);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 1); // the joystick button again
    states[1].buttons[3] = 0;
    Cycle(2);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 0);
}

TEST_F(AxisButtonCycle, SettingsOutOfRangeAreRefusedAndLeaveTheJoystickButton)
{
    AssignButton(ButtonFlapIn, 0, 2);
    states[0].buttons[1] = 1;
    for (const auto& [axis, threshold] : { std::pair { kAxisX, 0 }, { kAxisX, 10001 }, { kAxisX, -10001 }, { 8, 5000 },
             { -1, 5000 }, { kAxisX, INT32_MIN } }) {
        ASSERT_TRUE(processor.SetAxisButton(ButtonFlapIn, kAxisX, 5000));
        EXPECT_FALSE(processor.SetAxisButton(ButtonFlapIn, axis, threshold));
        Cycle();
        EXPECT_EQ(panel.flapIn, 1) << axis << " " << threshold; // its joystick button again
    }
    EXPECT_FALSE(processor.SetAxisButton(kCockpitButtonCount, kAxisX, 5000));
    EXPECT_FALSE(processor.SetAxisButton(-1, kAxisX, 5000));
}

// The same presses through a joystick button and through an axis give the
// same block bytes and switch panel, cycle by cycle: the gear lever's and park
// brake's edges, the shared reverser byte and the simulator's mirror bytes.
TEST_F(AxisButtonCycle, EdgesSharedBytesAndMirrorsAreThoseOfAJoystickButton)
{
    const std::int32_t buttons[] = { ButtonApDisc, ButtonGearLvr, ButtonParkBrk, ButtonReverseL, ButtonStabAnu };
    const bool held[] = { false, true, true, true, false, false, true, false, true, true, true, false };
    const auto run = [&](bool byAxis) {
        for (const std::int32_t button : buttons) {
            AssignButton(button, 1, 5 + button);
            if (byAxis) {
                processor.SetAxisButton(button, kAxisRy, -5000);
            } else {
                processor.ClearAxisButton(button);
            }
        }
        std::vector<std::vector<std::uint8_t>> frames;
        for (const bool down : held) {
            for (const std::int32_t button : buttons) {
                states[1].buttons[4 + button] = static_cast<std::uint8_t>(down && !byAxis ? 1 : 0);
            }
            states[1].axes[kAxisRy] = down && byAxis ? -10000 : 0;
            std::memset(&panel, 0, sizeof panel);
            Cycle(2);
            std::vector<std::uint8_t> frame(reinterpret_cast<const std::uint8_t*>(&panel),
                reinterpret_cast<const std::uint8_t*>(&panel) + sizeof panel);
            for (std::size_t byte = Block::kApDiscPressed; byte <= Block::kReverserPressed; ++byte) {
                frame.push_back(Byte(byte));
            }
            frame.push_back(Byte(Block::kApDiscButtonMirror));
            frames.push_back(frame);
        }
        return frames;
    };
    const auto byButton = run(false);
    const auto byAxis = run(true);
    EXPECT_EQ(byAxis, byButton);
    EXPECT_EQ(Byte(Block::kApDiscButtonMirror), 5 + ButtonApDisc);
    // The runs did press and release: the gear lever's edges were seen.
    int gearEdges = 0;
    for (const auto& frame : byAxis) {
        gearEdges += frame[offsetof(SwitchPanelState, gearPressed)] + frame[offsetof(SwitchPanelState, gearReleased)];
    }
    EXPECT_EQ(gearEdges, 6);
}

} // namespace
