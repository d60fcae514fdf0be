// The thrust lever dialog on a block of its own: it subtracts the spin's
// delta, writes straight into the block and turns tiny time constants off.
#include "dialogs/TlaSetUp.h"
#include "mapping/GenericSimBlock.h"
#include "tests/fakes/RecordingDialogView.h"

#include <gtest/gtest.h>

#include <vector>

namespace GSB = GenericSimBlock;

namespace {

struct ThrustLeverDialog {
    std::vector<unsigned char> block = std::vector<unsigned char>(GSB::kSize);
    CTlaSetUp dialog;
    RecordingDialogView view { CTlaSetUp::Template(), dialog };

    ThrustLeverDialog(double timeConstant)
    {
        GSB::StoreDouble(block.data(), GSB::kThrLvrLSensitivity, 1.0);
        GSB::StoreDouble(block.data(), GSB::kThrLvrRSensitivity, 0.25);
        GSB::StoreDouble(block.data(), GSB::kThrLvrROffset, -1.5);
        GSB::StoreDouble(block.data(), GSB::kThrLvrLFilterTimeConstant, timeConstant);
        GSB::StoreDouble(block.data(), GSB::kThrLvrRFilterTimeConstant, 0.5);
        ThrustLeverRefs refs;
        refs.block = BlockSetUp(block.data());
        dialog.SetRefs(refs);
        view.Open();
    }
    double Value(std::size_t offset) const { return GSB::LoadDouble(block.data(), offset); }
};

} // namespace

TEST(TlaSetUp, ShowsTheSixValuesAndTheHelpText)
{
    ThrustLeverDialog t(0.01);
    EXPECT_EQ(t.view.Text(CTlaSetUp::kLeftSensitivity), "1.0000");
    EXPECT_EQ(t.view.Text(CTlaSetUp::kLeftOffset), "0.0000");
    EXPECT_EQ(t.view.Text(CTlaSetUp::kRightSensitivity), "0.2500");
    EXPECT_EQ(t.view.Text(CTlaSetUp::kRightOffset), "-1.5000");
    EXPECT_EQ(t.view.Text(CTlaSetUp::kLeftTimeConstant), "0.0100");
    EXPECT_EQ(t.view.Text(CTlaSetUp::kRightTimeConstant), "0.5000");
    EXPECT_EQ(t.view.Text(CTlaSetUp::kHelpText),
        "Sensitivity should normally be set at 1.0\n"
        "lower values reduce overall thrust lever range and higher values increase it\n\n"
        "Offsets allow the thrust levers to move in synchronization\n"
        "Position the actual thrust levers together and use the offset value \n"
        "to make their position equal\n\n"
        "The Filter Time Constant (TC) will filter out any noise. \n"
        "Values of 0 to 0.3 will give rapid thrust lever response but little filtering\n"
        "Values of 0.5 and above give increasing noise reduction \n"
        "but start to introduce a lagged response\n");
}

TEST(TlaSetUp, StepsSubtractAndSmallTimeConstantsBecomeZero)
{
    {
        ThrustLeverDialog t(0.01);
        EXPECT_EQ(t.view.Spin(CTlaSetUp::kLeftTimeConstantSpin, 1), 0);
        EXPECT_EQ(t.Value(GSB::kThrLvrLFilterTimeConstant), 0.0);
        t.view.Spin(CTlaSetUp::kLeftTimeConstantSpin, 1); // -0.01 is below 0.01 as well
        EXPECT_EQ(t.Value(GSB::kThrLvrLFilterTimeConstant), 0.0);
        EXPECT_EQ(t.view.Text(CTlaSetUp::kLeftTimeConstant), "0.0000");
        t.view.Spin(CTlaSetUp::kRightTimeConstantSpin, -1);
        EXPECT_DOUBLE_EQ(t.Value(GSB::kThrLvrRFilterTimeConstant), 0.51);
    }
    {
        ThrustLeverDialog t(0.015);
        t.view.Spin(CTlaSetUp::kLeftTimeConstantSpin, 1);
        EXPECT_EQ(t.Value(GSB::kThrLvrLFilterTimeConstant), 0.0);

        // Sensitivities and offsets have no limits and touch only their own value.
        for (int i = 0; i < 30; ++i) {
            t.view.Spin(CTlaSetUp::kRightSensitivitySpin, 1);
        }
        EXPECT_NEAR(t.Value(GSB::kThrLvrRSensitivity), -0.05, 1e-12);
        EXPECT_EQ(t.view.Text(CTlaSetUp::kRightSensitivity), "-0.0500");
        t.view.Spin(CTlaSetUp::kLeftOffsetSpin, -3);
        EXPECT_DOUBLE_EQ(t.Value(GSB::kThrLvrLOffset), 0.03);
        EXPECT_DOUBLE_EQ(t.Value(GSB::kThrLvrLSensitivity), 1.0);
        EXPECT_DOUBLE_EQ(t.Value(GSB::kThrLvrROffset), -1.5);
        t.view.Spin(CTlaSetUp::kRightOffsetSpin, 1);
        EXPECT_DOUBLE_EQ(t.Value(GSB::kThrLvrROffset), -1.51);
        t.view.Spin(CTlaSetUp::kLeftSensitivitySpin, -1);
        EXPECT_DOUBLE_EQ(t.Value(GSB::kThrLvrLSensitivity), 1.01);
        t.view.Click(kIdCancel);
        EXPECT_DOUBLE_EQ(t.Value(GSB::kThrLvrLOffset), 0.03);
    }
}
