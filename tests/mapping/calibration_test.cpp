// The calibration formula at its defining points, between them and beyond
// them, and which entry of the table a joystick takes.
#include "mapping/Calibration.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Calibration, CentredAxisMapsItsThreePointsAndClampsBeyondThem)
{
    const AxisCalibration axis = AxisCalibration::Centred(-8000, 500, 9000);
    ASSERT_TRUE(axis.Valid());
    EXPECT_EQ(axis.Apply(-8000), -10000);
    EXPECT_EQ(axis.Apply(500), 0);
    EXPECT_EQ(axis.Apply(9000), 10000);
    EXPECT_EQ(axis.Apply(-10000), -10000);
    EXPECT_EQ(axis.Apply(10000), 10000);
    // Each side has its own slope: 8500 raw units below the centre, 8500 above.
    EXPECT_EQ(axis.Apply(-3750), -5000);
    EXPECT_EQ(axis.Apply(4750), 5000);
    // Rounded to the nearest unit, halves away from the centre, on both sides.
    const AxisCalibration odd = AxisCalibration::Centred(-3, 0, 3);
    EXPECT_EQ(odd.Apply(1), 3333);
    EXPECT_EQ(odd.Apply(2), 6667);
    EXPECT_EQ(odd.Apply(-1), -3333);
    EXPECT_EQ(odd.Apply(-2), -6667);
    const AxisCalibration half = AxisCalibration::Centred(-20000 / 2, 0, 20000);
    EXPECT_FALSE(half.Valid()); // beyond 10000
    EXPECT_EQ(half.Apply(1234), 1234);
    // Monotone over the whole raw range, and never out of range.
    std::int32_t previous = -10000;
    for (std::int32_t raw = -10000; raw <= 10000; ++raw) {
        const std::int32_t value = axis.Apply(raw);
        ASSERT_GE(value, previous) << raw;
        ASSERT_GE(value, -10000);
        ASSERT_LE(value, 10000);
        previous = value;
    }
}

TEST(Calibration, AxisRestingAtAnEndIsOneStraightLine)
{
    const AxisCalibration brake = AxisCalibration::RestsAtEnd(-9500, 9700);
    ASSERT_TRUE(brake.Valid());
    EXPECT_EQ(brake.Apply(-9500), -10000);
    EXPECT_EQ(brake.Apply(9700), 10000);
    EXPECT_EQ(brake.Apply(100), 0); // half way
    EXPECT_EQ(brake.Apply(-10000), -10000);
    EXPECT_EQ(brake.Apply(10000), 10000);
    EXPECT_EQ(brake.Apply(4900), 5000);
    // Its centre field means nothing.
    AxisCalibration withCentre = brake;
    withCentre.centre = 9999;
    EXPECT_EQ(withCentre.Apply(100), 0);
}

TEST(Calibration, InvalidOrAbsentCalibrationLeavesTheValueAsItIs)
{
    const AxisCalibration invalid[] = {
        AxisCalibration::Centred(0, 0, 100), // min = centre
        AxisCalibration::Centred(-100, 100, 100), // centre = max
        AxisCalibration::Centred(100, 0, -100),
        AxisCalibration::Centred(-10001, 0, 100),
        AxisCalibration::RestsAtEnd(5, 5),
        AxisCalibration::RestsAtEnd(0, 10001),
    };
    for (const AxisCalibration& axis : invalid) {
        EXPECT_FALSE(axis.Valid());
        for (const std::int32_t raw : { -10000, -1, 0, 7, 10000 }) {
            EXPECT_EQ(axis.Apply(raw), raw);
        }
    }
    EXPECT_TRUE(AxisCalibration {}.Valid());
    EXPECT_EQ(AxisCalibration {}.Apply(-4321), -4321);

    // A joystick entry changes the axes it calibrates and nothing else of the record.
    JoystickState state {};
    state.joystickId = 77;
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        state.axes[axis] = 1000 * axis - 3000;
        state.velocities[axis] = axis;
    }
    JoystickState expected = state;
    JoystickCalibration entry;
    entry.axes[2] = AxisCalibration::RestsAtEnd(-1000, 1000);
    entry.Apply(state);
    expected.axes[2] = -10000;
    EXPECT_EQ(std::memcmp(&state, &expected, sizeof state), 0);
}

TEST(Calibration, TableFindsTheInstanceFirstThenTheId)
{
    CalibrationTable table;
    EXPECT_EQ(table.Find(5), nullptr);
    table.Entry(5).axes[0] = AxisCalibration::RestsAtEnd(0, 100);
    table.Entry(5, "serial:A1").axes[0] = AxisCalibration::RestsAtEnd(0, 200);
    table.Entry(-7).axes[1] = AxisCalibration::Centred(-5, 0, 5);
    ASSERT_NE(table.Find(5), nullptr);
    EXPECT_EQ(table.Find(5)->axes[0].maximum, 100);
    EXPECT_EQ(table.Find(5, "serial:A1")->axes[0].maximum, 200);
    EXPECT_EQ(table.Find(5, "serial:B2")->axes[0].maximum, 100); // no entry of its own: the ID's
    EXPECT_EQ(table.Find(-7)->axes[1].kind, AxisCalibration::Kind::Centred);
    EXPECT_EQ(table.Find(6), nullptr);
    // Entry finds what is there instead of making another; kept in ID order.
    table.Entry(5).axes[3] = AxisCalibration::RestsAtEnd(1, 2);
    ASSERT_EQ(table.Entries().size(), 3u);
    EXPECT_EQ(table.Entries()[0].joystickId, -7);
    EXPECT_EQ(table.Entries()[1].instance, "");
    EXPECT_EQ(table.Entries()[2].instance, "serial:A1");
    // Entries that calibrate nothing go; one that keeps an unread value stays.
    table.Entry(9);
    table.Entry(10).unreadText[4] = "abc";
    table.DropEmpty();
    EXPECT_EQ(table.Find(9), nullptr);
    EXPECT_NE(table.Find(10), nullptr);
    EXPECT_EQ(table.Entries().size(), 4u);
}

TEST(Calibration, PreparedCalibrationGivesExactlyWhatTheFormulaGives)
{
    // Every raw value of every kind of span: the narrowest, odd ones, the
    // widest, a centre at either end of the range; and axes left alone.
    JoystickCalibration calibration;
    calibration.axes[0] = AxisCalibration::Centred(-3, 0, 3);
    calibration.axes[1] = AxisCalibration::Centred(-10000, -9999, 10000);
    calibration.axes[2] = AxisCalibration::Centred(-8000, 500, 9000);
    calibration.axes[3] = AxisCalibration::RestsAtEnd(-10000, 10000);
    calibration.axes[4] = AxisCalibration::RestsAtEnd(9998, 10000);
    calibration.axes[5] = AxisCalibration::RestsAtEnd(-7777, 3331);
    calibration.axes[6] = AxisCalibration::Centred(5, 5, 6); // invalid: as read
    const PreparedCalibration prepared(calibration);
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        for (std::int32_t raw = -10000; raw <= 10000; ++raw) {
            ASSERT_EQ(prepared.Apply(axis, raw), calibration.axes[axis].Apply(raw)) << axis << " " << raw;
        }
    }
    EXPECT_EQ(prepared.Apply(1, 0), 5000); // 9999 of 19999 above the centre
    EXPECT_EQ(prepared.Apply(7, -1234), -1234);
    // Beyond the range a device should never give: still clamped or passed on, never wrapped.
    EXPECT_EQ(prepared.Apply(3, 2000000000), 10000);
    EXPECT_EQ(prepared.Apply(7, 2000000000), 2000000000);

    JoystickState state {};
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        state.axes[axis] = 1111 * axis - 4000;
    }
    JoystickState expected = state;
    calibration.Apply(expected);
    prepared.Apply(state);
    EXPECT_EQ(std::memcmp(&state, &expected, sizeof state), 0);

    // Records of a resting, a moving and a returning axis, one after the
    // other: what an axis read last time is never given for what it reads now.
    const std::int32_t readings[] = { 250, 250, -3, 9000, 9000, 250, -10000, 250 };
    for (const std::int32_t raw : readings) {
        JoystickState record {};
        for (int axis = 0; axis < kCalibratedAxes; ++axis) {
            record.axes[axis] = axis % 2 == 0 ? raw : -raw;
        }
        JoystickState formula = record;
        calibration.Apply(formula);
        prepared.Apply(record);
        ASSERT_EQ(std::memcmp(&record, &formula, sizeof record), 0) << raw;
    }
}
