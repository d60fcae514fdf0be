// What another program's garbage in the tuning values can do to the outputs
// (nothing lasting), and the released stick every way publishing ends.
#include "mapping/KQ_P_0001_02_Shm.h"
#include "tests/mapping/processor_fixture.h"

#include <cmath>
#include <limits>

namespace Block = GenericSimBlock;
using ProcessorTest::ProcessorFixture;

namespace {

constexpr double kTick = 0.008;
constexpr int kTicksPerSecond = 125;

class GarbageFixture : public ProcessorFixture {
protected:
    // Pitch 10 degrees, left lever 50 and right lever 30 percent, all settled.
    void SetUpSettledControls()
    {
        AssignAxis(AxisPitch, 0, InputY);
        AssignAxis(AxisThrLvrL, 0, InputZ);
        AssignAxis(AxisThrLvrR, 0, InputRz);
        states[0].axes[InputY] = 5000;
        states[0].axes[InputZ] = 0;
        states[0].axes[InputRz] = 4000;
        SetDouble(Block::kPitchSensitivity, 0.002);
        SetDouble(Block::kPitchDeadBand, 0.0);
        SetDouble(Block::kThrLvrLSensitivity, 1.0);
        SetDouble(Block::kThrLvrRSensitivity, 1.0);
        SetDouble(Block::kThrLvrRFilterTimeConstant, 0.5);
        processor.ApplyFilterTimeConstants();
        Ticks(15 * kTicksPerSecond);
        ASSERT_NEAR(Output(Block::kPitchOutput), 10.0, 1e-9);
        ASSERT_NEAR(Output(Block::kThrLvrLOutput), 50.0, 1e-6);
        ASSERT_NEAR(Output(Block::kThrLvrROutput), 30.0, 1e-6);
    }
    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            Cycle(1, kTick);
        }
    }
};

} // namespace

TEST_F(GarbageFixture, ABurstOfGarbageIsGoneWithinASecond)
{
    SetUpSettledControls();
    const double pitch = Output(Block::kPitchOutput);
    const double left = Output(Block::kThrLvrLOutput);
    const double right = Output(Block::kThrLvrROutput);

    // 100 ms of garbage from another program: absurd but finite values, and a NaN.
    SetDouble(Block::kPitchSensitivity, -1e300);
    SetDouble(Block::kThrLvrLOffset, -1e300);
    SetDouble(Block::kThrLvrRSensitivity, std::numeric_limits<double>::quiet_NaN());
    SetDouble(Block::kThrLvrRFilterTimeConstant, 1e300);
    processor.ApplyFilterTimeConstants(); // as the thrust lever dialog does after any change
    for (int tick = 0; tick < (kTicksPerSecond + 9) / 10; ++tick) { // 104 ms
        Cycle(1, kTick);
        EXPECT_LE(std::fabs(Output(Block::kPitchOutput)), 180.0) << "tick " << tick;
        EXPECT_EQ(Output(Block::kThrLvrLOutput), left) << "the lever keeps its last good value";
        EXPECT_EQ(Output(Block::kThrLvrROutput), right) << "a NaN does not idle the lever";
    }
    SetDouble(Block::kPitchSensitivity, 0.002);
    SetDouble(Block::kThrLvrLOffset, 0.0);
    SetDouble(Block::kThrLvrRSensitivity, 1.0);
    SetDouble(Block::kThrLvrRFilterTimeConstant, 0.5);
    Ticks(kTicksPerSecond);
    EXPECT_NEAR(Output(Block::kPitchOutput), pitch, 1e-6);
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), left, 1e-6);
    EXPECT_NEAR(Output(Block::kThrLvrROutput), right, 1e-6);
    // The right lever still follows with its own lag (0.5 s: 86 % of a step in a second), not frozen.
    states[0].axes[InputRz] = 0;
    Ticks(kTicksPerSecond);
    EXPECT_NEAR(Output(Block::kThrLvrROutput), 30.0 + 20.0 * (1.0 - std::exp(-2.0)), 0.2);
    states[0].axes[InputRz] = 4000;
    Ticks(15 * kTicksPerSecond);

    // The dead band and a lever's range are no way around the limits either.
    SetDouble(Block::kPitchDeadBand, -1e300);
    // A velocity input on a lever: far beyond its range.
    AssignAxis(AxisThrLvrL, 0, InputVZ);
    states[0].velocities[2] = std::numeric_limits<std::int32_t>::max();
    Ticks(3);
    EXPECT_LE(std::fabs(Output(Block::kPitchOutput)), 180.0);
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), left, 1e-6);
    SetDouble(Block::kPitchDeadBand, 0.0);
    AssignAxis(AxisThrLvrL, 0, InputZ);
    Ticks(kTicksPerSecond);
    EXPECT_NEAR(Output(Block::kPitchOutput), pitch, 1e-6);
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), left, 1e-6);
}

TEST_F(GarbageFixture, DetachingPublishesAReleasedStickAndKeepsTheLevers)
{
    // A second view of the block, as the simulator has, sees what is left behind.
    KQ_P_0001_02_Shm simulator;
    ASSERT_TRUE(simulator.IsReady()) << simulator.FullErrorText();
    void* seen = simulator.GetBlock();

    SetUpSettledControls();
    AssignAxis(AxisRoll, 0, InputX);
    AssignAxis(AxisPedals, 0, InputRx);
    AssignAxis(AxisTiller, 0, InputRy);
    states[0].axes[InputX] = -9000;
    states[0].axes[InputRx] = 7000;
    states[0].axes[InputRy] = -6000;
    for (const std::size_t sensitivity :
        { Block::kRollSensitivity, Block::kPedalsSensitivity, Block::kTillerSensitivity }) {
        SetDouble(sensitivity, 0.002);
    }
    const std::int32_t buttons[]
        = { ButtonApDisc, ButtonAtDisc, ButtonPtt, ButtonBrakeL, ButtonBrakeR, ButtonReverseL };
    for (std::int32_t i = 0; i < 6; ++i) {
        AssignButton(buttons[i], 0, i + 1);
        states[0].buttons[i] = 1;
    }
    Ticks(kTicksPerSecond);
    const std::size_t sticks[]
        = { Block::kPitchOutput, Block::kRollOutput, Block::kPedalsOutput, Block::kTillerOutput };
    const std::size_t bytes[] = { Block::kApDiscPressed, Block::kAtDiscPressed, Block::kPttPressed,
        Block::kBrakeLPressed, Block::kBrakeRPressed, Block::kReverserPressed };
    for (const std::size_t output : sticks) {
        ASSERT_GT(std::fabs(Block::LoadDouble(seen, output)), 1.0) << output;
    }
    for (const std::size_t byte : bytes) {
        ASSERT_EQ(Block::LoadByte(seen, byte), 1) << byte;
    }

    processor.Detach();
    EXPECT_EQ(processor.GetBlock(), nullptr);
    for (const std::size_t output : sticks) {
        EXPECT_EQ(Block::LoadDouble(seen, output), 0.0) << output;
    }
    for (const std::size_t byte : bytes) {
        EXPECT_EQ(Block::LoadByte(seen, byte), 0) << byte;
    }
    EXPECT_NEAR(Block::LoadDouble(seen, Block::kThrLvrLOutput), 50.0, 1e-6);
    EXPECT_NEAR(Block::LoadDouble(seen, Block::kThrLvrROutput), 30.0, 1e-6);
}

TEST_F(GarbageFixture, AReleasedStickStartsAgainFromRest)
{
    SetUpSettledControls();
    processor.ReleaseControls();
    EXPECT_EQ(Output(Block::kPitchOutput), 0.0);
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), 50.0, 1e-6);
    // The next cycle goes on from the released stick, as the simulator last saw it.
    Cycle(1, kTick);
    EXPECT_GT(Output(Block::kPitchOutput), 0.0);
    EXPECT_LT(Output(Block::kPitchOutput), 10.0);
}
