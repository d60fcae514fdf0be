// Response curves in the cycle: a set-up without curves publishes bit for bit
// what the plain processing gives; a curve shapes the value before the
// sensitivity, the filters, the dead band and the thrust-lever percentage;
// speeds and accelerations pass uncurved.
#include "tests/mapping/processor_fixture.h"

#include "mapping/CockpitAxes.h"

#include <cstring>

namespace Block = GenericSimBlock;
using ProcessorTest::ProcessorFixture;

namespace {

ResponseCurve Curve(const char* text)
{
    ResponseCurve curve;
    EXPECT_EQ(ResponseCurve::Parse(text, curve), nullptr) << text;
    return curve;
}

int Row(std::int32_t axis)
{
    return CockpitAxisTable::IndexOf(axis);
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

double WithoutBand(double x, double band)
{
    return x < -band ? x + band : (x > band ? x - band : 0.0);
}

} // namespace

TEST_F(ProcessorFixture, PlainLinearLeavesEveryOutputBitForBitAsItWas)
{
    AssignAxis(AxisPedals, 0, InputX);
    AssignAxis(AxisTiller, 0, InputY);
    SetDouble(Block::kPedalsSensitivity, 0.0023);
    SetDouble(Block::kTillerSensitivity, 0.0017);
    SetDouble(Block::kPedalsDeadBand, 0.3);
    SetDouble(Block::kTillerDeadBand, 0.0);
    // Curves set and put back to plain LINEAR, and a curve on an unassigned axis.
    processor.SetResponseCurve(Row(AxisPedals), Curve("EXPO 0.5"));
    processor.SetResponseCurve(Row(AxisPedals), Curve("LINEAR"));
    processor.SetResponseCurve(Row(AxisRoll), Curve("EXPO 0.5"));

    for (std::int32_t raw = -10000; raw <= 10000; raw += 7) {
        states[0].axes[InputX] = raw;
        states[0].axes[InputY] = -raw / 3;
        Cycle();
        ASSERT_TRUE(SameBits(Output(Block::kPedalsOutput), WithoutBand(static_cast<double>(raw) * 0.0023, 0.3))) << raw;
        ASSERT_TRUE(SameBits(Output(Block::kTillerOutput), static_cast<double>(-raw / 3) * 0.0017)) << raw;
    }
}

TEST_F(ProcessorFixture, CurvesShapeTheValueBeforeTheRestOfTheProcessing)
{
    AssignAxis(AxisPedals, 0, InputX);
    AssignAxis(AxisTiller, 0, InputY);
    AssignAxis(AxisThrLvrL, 0, InputZ);
    SetDouble(Block::kPedalsSensitivity, 0.002);
    SetDouble(Block::kPedalsDeadBand, 0.5);
    SetDouble(Block::kTillerSensitivity, 0.001);
    SetDouble(Block::kTillerDeadBand, 0.0);
    SetDouble(Block::kThrLvrLSensitivity, 1.0);
    SetDouble(Block::kThrLvrLFilterTimeConstant, 0.0);
    processor.SetResponseCurve(Row(AxisPedals), Curve("EXPO 0.5"));
    processor.SetResponseCurve(Row(AxisTiller), Curve("POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1"));
    processor.SetResponseCurve(Row(AxisThrLvrL), Curve("LINEAR INVERT"));

    // EXPO 0.5 at u = 0.5: 0.3125, so 3125 * 0.002 - 0.5.
    states[0].axes[InputX] = 5000;
    states[0].axes[InputY] = 5000; // a point: 0.3
    states[0].axes[InputZ] = 10000; // inverted: the lever's far end, 100 %
    Cycle();
    EXPECT_NEAR(Output(Block::kPedalsOutput), 5.75, 1e-12);
    EXPECT_NEAR(Output(Block::kTillerOutput), 3.0, 1e-12);
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), 100.0, 1e-12);

    states[0].axes[InputX] = -10000;
    states[0].axes[InputY] = 2500; // on the straight run: 0.15
    states[0].axes[InputZ] = -2000; // inverted to 2000: 40 %
    Cycle();
    EXPECT_NEAR(Output(Block::kPedalsOutput), -19.5, 1e-12);
    EXPECT_NEAR(Output(Block::kTillerOutput), 1.5, 1e-9);
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), 40.0, 1e-9);

    // Raw values beyond the range are taken at its ends.
    states[0].axes[InputX] = 30000;
    Cycle();
    EXPECT_NEAR(Output(Block::kPedalsOutput), 19.5, 1e-12);
}

TEST_F(ProcessorFixture, SpeedsAndAccelerationsAreNeverCurved)
{
    AssignAxis(AxisPedals, 0, 8); // the X axis's speed
    AssignAxis(AxisTiller, 0, 16); // the X axis's acceleration
    SetDouble(Block::kPedalsSensitivity, 0.002);
    SetDouble(Block::kPedalsDeadBand, 0.0);
    SetDouble(Block::kTillerSensitivity, 0.002);
    SetDouble(Block::kTillerDeadBand, 0.0);
    processor.SetResponseCurve(Row(AxisPedals), Curve("EXPO 1 INVERT"));
    processor.SetResponseCurve(Row(AxisTiller), Curve("EXPO 1 INVERT"));
    states[0].velocities[0] = 5000;
    states[0].accelerations[0] = -20000;
    Cycle();
    EXPECT_EQ(Output(Block::kPedalsOutput), 10.0);
    EXPECT_EQ(Output(Block::kTillerOutput), -40.0);
}

TEST_F(ProcessorFixture, OnlyTheSixProcessedAxesHoldACurve)
{
    int filters = -1; // the thrust-lever filter pair, which drives nothing
    for (int row = 0; row < CockpitAxisTable::kRowCount; ++row) {
        if (CockpitAxisTable::kRows[row].record == Block::kThrustLeverFilterRecord) {
            filters = row;
        }
    }
    ASSERT_GE(filters, 0);
    processor.SetResponseCurve(filters, Curve("EXPO 0.5"));
    processor.SetResponseCurve(Row(AxisEyeView), Curve("EXPO 0.5"));
    processor.SetResponseCurve(-1, Curve("EXPO 0.5"));
    processor.SetResponseCurve(CockpitAxisTable::kRowCount, Curve("EXPO 0.5"));
    EXPECT_TRUE(processor.GetResponseCurve(filters).IsPlainLinear());
    EXPECT_TRUE(processor.GetResponseCurve(Row(AxisEyeView)).IsPlainLinear());
    EXPECT_TRUE(processor.GetResponseCurve(-1).IsPlainLinear());
    for (const std::int32_t axis : { AxisPitch, AxisRoll, AxisPedals, AxisTiller, AxisThrLvrL, AxisThrLvrR }) {
        processor.SetResponseCurve(Row(axis), Curve("EXPO 0.5"));
        EXPECT_EQ(processor.GetResponseCurve(Row(axis)).Kind(), CurveKind::Expo) << axis;
    }
}
