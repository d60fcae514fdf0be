// The per-cycle processing allocates nothing: every global operator new is
// replaced by one that counts while counting is switched on.
#include "tests/mapping/processor_fixture.h"
#include "tests/support/allocation_counter.h"

using ProcessorTest::kJoystickIds;
using ProcessorTest::ProcessorFixture;

TEST_F(ProcessorFixture, CyclesAllocateNothingEvenWhileResolvingAndWarning)
{
    // The counter itself works. The pointer is volatile: a new and delete the
    // compiler can see together it may leave out.
    AllocationCounter::Start();
    int* volatile probe = new int(5);
    delete probe;
    ASSERT_EQ(AllocationCounter::Stop(), 1);

    // Every control assigned, some to joysticks that are not there, so that
    // resolutions run and queue warnings during the counted cycles.
    const std::int32_t axes[] = { AxisPitch, AxisRoll, AxisPedals, AxisTiller, AxisThrLvrL, AxisThrLvrR };
    for (int i = 0; i < 6; ++i) {
        processor.SetAxisAssignment(
            axes[i], i % 4, i == 2 ? 0x0BAD : static_cast<std::int32_t>(kJoystickIds[i % 4]), i);
    }
    processor.SetEyeViewJoystick(0, static_cast<std::int32_t>(kJoystickIds[1]));
    processor.SetEyeViewInput(1);
    for (int button = 0; button < kCockpitButtonCount; ++button) {
        processor.SetButtonAssignment(
            button, button % 4, 1 + button, static_cast<std::int32_t>(kJoystickIds[button % 4]));
    }
    // Two buttons driven by axes, so their hysteresis runs in the counted cycles too.
    processor.SetAxisButton(ButtonBrakeL, 1, 5000);
    processor.SetAxisButton(ButtonGearLvr, 2, -3000);
    GenericSimBlock::StoreDouble(block, GenericSimBlock::kPitchSensitivity, 0.002);
    GenericSimBlock::StoreDouble(block, GenericSimBlock::kThrLvrLSensitivity, 1.0);

    AllocationCounter::Start();
    for (int cycle = 0; cycle < 20000; ++cycle) {
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            states[slot].axes[slot] = (cycle * 37 + slot * 1000) % 20001 - 10000;
            states[slot].buttons[cycle % 32] = static_cast<std::uint8_t>(cycle & 1);
        }
        if (cycle % 1000 == 0) {
            processor.ResetCycleCount();
        }
        Cycle(1 + (cycle / 100) % 4);
    }
    EXPECT_EQ(AllocationCounter::Stop(), 0);
    EXPECT_TRUE(processor.HasWarnings()); // the counted cycles did resolve and warn
}
