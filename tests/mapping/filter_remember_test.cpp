// EngineeringFilter (the lag and the two further forms) and KQ_Remember.
#include "mapping/EngineeringFilter.h"
#include "mapping/KQ_Remember.h"

#include <gtest/gtest.h>

#include <limits>

TEST(EngineeringFilterLag, StepResponseAndPassThroughEdges)
{
    EngineeringFilter filter(0.025);
    EXPECT_EQ(filter.GetType(), 0);
    EXPECT_EQ(filter.GetMemory(), 0.0);
    EXPECT_EQ(filter.GetPeriod(), 1.0);
    EXPECT_NEAR(filter.Iterate(1.0, 0.01), 0.4, 1e-12);
    EXPECT_NEAR(filter.Iterate(1.0, 0.01), 0.64, 1e-12);
    EXPECT_NEAR(filter.Iterate(1.0, 0.01), 0.784, 1e-12);
    EXPECT_EQ(filter.GetPeriod(), 0.01);

    // dt equal to T: a step factor of 1.
    EngineeringFilter equal(0.01);
    EXPECT_DOUBLE_EQ(equal.Iterate(3.0, 0.01), 3.0);
    // dt above T passes the input, whatever the memory.
    EXPECT_EQ(equal.Iterate(-7.0, 0.02), -7.0);

    // Time constant 0 passes every input, even with a period of 0 (no 0/0).
    EngineeringFilter off(0.0);
    for (const double x : { 1.0, -2.5, 1e6 }) {
        EXPECT_EQ(off.Iterate(x, 0.01), x);
        EXPECT_EQ(off.Iterate(x, 0.0), x);
    }

    // After ResetFilter(5) an input of 5 returns 5 whatever the time constant.
    EngineeringFilter slow(100.0);
    EXPECT_EQ(slow.ResetFilter(5.0), 5.0);
    EXPECT_EQ(slow.Iterate(5.0, 0.01), 5.0);
}

TEST(EngineeringFilterLag, SetTimeConstantRefusesNegativeAndNotANumber)
{
    EngineeringFilter filter(0.025);
    filter.SetTimeConstant(-1.0);
    EXPECT_EQ(filter.GetTimeConstant(), 0.025);
    filter.SetTimeConstant(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(filter.GetTimeConstant(), 0.025);
    filter.SetTimeConstant(0.05);
    EXPECT_NEAR(filter.Iterate(10.0, 0.01), 2.0, 1e-12);
    filter.SetTimeConstant(0.0);
    EXPECT_EQ(filter.GetTimeConstant(), 0.0);
    EXPECT_EQ(filter.Iterate(10.0, 0.01), 10.0);
}

TEST(EngineeringFilterForms, LeadLagHasUnitSteadyGainAndItsLeadOvershoot)
{
    // Lag 0.04, lead 0.09, dt 0.01: the first step gives (dt + lead) / (dt + lag) = 2.
    EngineeringFilter filter(EngineeringFilter::LeadLag, 0.04, 0.09);
    EXPECT_EQ(filter.GetType(), EngineeringFilter::LeadLag);
    EXPECT_NEAR(filter.Iterate(1.0, 0.01), 2.0, 1e-12);
    // then (0.04 * 2 + 0.1 - 0.09) / 0.05 = 1.8, falling towards 1 without ringing
    EXPECT_NEAR(filter.Iterate(1.0, 0.01), 1.8, 1e-12);
    double previous = 1.8;
    for (int i = 0; i < 500; ++i) {
        const double y = filter.Iterate(1.0, 0.01);
        EXPECT_LE(y, previous);
        EXPECT_GE(y, 1.0);
        previous = y;
    }
    EXPECT_NEAR(previous, 1.0, 1e-9);

    // Equal time constants pass the input; a lag of 0 is a pure lead.
    EngineeringFilter equal(EngineeringFilter::LeadLag, 0.05, 0.05);
    for (const double x : { 1.0, 4.0, -3.0 }) {
        EXPECT_NEAR(equal.Iterate(x, 0.01), x, 1e-12);
    }
    EngineeringFilter lead(EngineeringFilter::LeadLag, 0.0, 0.02);
    EXPECT_NEAR(lead.Iterate(1.0, 0.01), 3.0, 1e-12); // 1 + 0.02 / 0.01 * (1 - 0)
    EXPECT_NEAR(lead.Iterate(1.0, 0.01), 1.0, 1e-12);
    // Both dt and the lag 0: passes the input instead of dividing by 0.
    EXPECT_EQ(lead.Iterate(2.0, 0.0), 2.0);

    // A reset to v holds v for a steady input v.
    EngineeringFilter reset(EngineeringFilter::LeadLag, 0.3, 0.1);
    reset.ResetFilter(6.0);
    EXPECT_NEAR(reset.Iterate(6.0, 0.01), 6.0, 1e-12);
}

TEST(EngineeringFilterForms, WashoutPassesChangesAndForgetsSteadyInput)
{
    EngineeringFilter filter(EngineeringFilter::Washout, 0.09, 123.0);
    EXPECT_NEAR(filter.Iterate(1.0, 0.01), 0.9, 1e-12);
    EXPECT_NEAR(filter.Iterate(1.0, 0.01), 0.81, 1e-12);
    for (int i = 0; i < 2000; ++i) {
        filter.Iterate(1.0, 0.01);
    }
    EXPECT_NEAR(filter.GetMemory(), 0.0, 1e-9);

    // A ramp of slope 2 per second settles at T * slope.
    EngineeringFilter ramp(EngineeringFilter::Washout, 0.09, 0.0);
    double x = 0.0;
    for (int i = 0; i < 2000; ++i) {
        x += 2.0 * 0.01;
        ramp.Iterate(x, 0.01);
    }
    EXPECT_NEAR(ramp.GetMemory(), 0.18, 1e-9);

    // Type 0 through the second constructor is a washout; T = 0 passes nothing.
    EngineeringFilter zero(0, 0.0, 0.0);
    EXPECT_EQ(zero.GetType(), EngineeringFilter::Washout);
    EXPECT_EQ(zero.Iterate(5.0, 0.01), 0.0);
    EXPECT_EQ(zero.Iterate(5.0, 0.0), 0.0);

    // Any other type computes nothing.
    EngineeringFilter unknown(7, 0.1, 0.1);
    unknown.ResetFilter(3.0);
    EXPECT_EQ(unknown.Iterate(10.0, 0.01), 3.0);
    EXPECT_EQ(unknown.GetPeriod(), 0.01);
}

TEST(KQ_RememberFlags, EdgesOfAPolledFlag)
{
    KQ_Remember flag;
    EXPECT_FALSE(flag.GetFlag());
    EXPECT_EQ(flag.GetValue(), -1);
    EXPECT_TRUE(flag.IsOff());
    const bool sequence[] = { false, true, true, false, false };
    const bool rising[] = { false, true, false, false, false };
    const bool falling[] = { false, false, false, true, false };
    for (int i = 0; i < 5; ++i) {
        flag.SetFlag(sequence[i]);
        bool r = !rising[i];
        bool f = !falling[i];
        flag.GetEdges(r, f);
        EXPECT_EQ(r, rising[i]) << i;
        EXPECT_EQ(f, falling[i]) << i;
    }

    // Held from the start: a rising edge in the first poll.
    KQ_Remember held;
    held.SetFlag(true);
    EXPECT_TRUE(held.IsOn());
    EXPECT_EQ(held.Difference(), 0);
    bool r = false;
    bool f = true;
    held.GetEdges(r, f);
    EXPECT_TRUE(r);
    EXPECT_FALSE(f);

    // Rising(false) does not acknowledge; Rising(true) does.
    KQ_Remember on;
    on.SetFlag(true);
    EXPECT_TRUE(on.Rising(false));
    EXPECT_TRUE(on.Rising(false));
    EXPECT_TRUE(on.Rising(true));
    EXPECT_FALSE(on.Rising(true));
    on.SetFlag(false);
    EXPECT_FALSE(on.Rising(false));
    EXPECT_TRUE(on.Falling(false));
    EXPECT_TRUE(on.FallingAndAcknowledge());
    EXPECT_FALSE(on.Falling(true));
    on.SetFlag(true);
    EXPECT_TRUE(on.RisingAndAcknowledge());
    EXPECT_FALSE(on.HasChanged());

    KQ_Remember copy;
    copy.SetFlagFrom(on);
    EXPECT_TRUE(copy.GetFlag());
    EXPECT_TRUE(copy.HasChangedAndAcknowledge());
    EXPECT_FALSE(copy.HasChangedAndAcknowledge());
}

TEST(KQ_RememberCounts, ChangesDifferencesAndNoEdges)
{
    KQ_Remember count;
    count.Increment();
    count.Increment();
    count.Increment();
    EXPECT_EQ(count.GetValue(), 2);
    EXPECT_EQ(count.Difference(), 3);
    EXPECT_TRUE(count.IsOn());
    EXPECT_FALSE(count.IsOff());

    // GetEdges reports nothing for a count and leaves its change pending.
    bool r = true;
    bool f = true;
    count.GetEdges(r, f);
    EXPECT_FALSE(r);
    EXPECT_FALSE(f);
    EXPECT_TRUE(count.HasChanged());
    count.Acknowledge();
    EXPECT_FALSE(count.HasChanged());
    EXPECT_EQ(count.Difference(), 0);

    count.Add(-2);
    EXPECT_EQ(count.GetValue(), 0);
    EXPECT_TRUE(count.Falling(false));
    EXPECT_FALSE(count.Rising(true));
    count.SetCount(9);
    EXPECT_EQ(count.Difference(), 9);
    EXPECT_TRUE(count.RisingAndAcknowledge());

    // A first value of -1 reads as unchanged.
    KQ_Remember fresh;
    fresh.SetValue(-1);
    EXPECT_FALSE(fresh.HasChanged());

    // A count that overflows wraps instead of becoming undefined.
    KQ_Remember big;
    big.SetValue(std::numeric_limits<std::int32_t>::max());
    big.Acknowledge();
    big.Increment();
    EXPECT_EQ(big.GetValue(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(big.Difference(), 1);
}
