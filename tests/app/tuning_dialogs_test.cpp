// The tuning dialogs on their own: the dead bands and the response curves
// are stored only on OK and never once a way out was taken behind the
// dialog, and no dialog opens without the window's view of the block.
#include "app/TuningDialogs.h"
#include "dialogs/DeadBandDlg.h"
#include "dialogs/ResponseCurvesDlg.h"
#include "dialogs/TlaSetUp.h"
#include "tests/app/window_part_fixture.h"

namespace GSB = GenericSimBlock;

TEST_F(WindowPartTest, DeadBandsAreStoredOnOkUnlessTheWindowIsOnItsWayOut)
{
    TuningDialogs tuning(*this, m_windowBlock);
    m_windowBlock.Set(TuningValue::RollDeadBand, 0.5);
    const auto stepRoll = [&](bool closeMeanwhile) {
        View().QueueChild([=, this](RecordingDialogView& child) {
            child.Spin(CDeadBandDlg::kRollSpin, 10);
            m_closing = closeMeanwhile;
            child.Click(kIdOk);
        });
        tuning.OnSetDeadBands();
    };
    stepRoll(true);
    EXPECT_DOUBLE_EQ(m_windowBlock.Get(TuningValue::RollDeadBand), 0.5);
    m_closing = false;
    stepRoll(false);
    EXPECT_DOUBLE_EQ(m_windowBlock.Get(TuningValue::RollDeadBand), 0.6);
    EXPECT_DOUBLE_EQ(m_windowBlock.Get(TuningValue::PitchDeadBand), 0.0);

    BlockSetUp none;
    TuningDialogs blind(*this, none);
    blind.OnSetDeadBands();
    blind.OnThrustLeverData();
    EXPECT_EQ(m_childrenRun, 2);
}

TEST_F(WindowPartTest, TheThrustLeverDialogEditsTheBlockItIsLent)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    StartSet();
    TuningDialogs tuning(*this, m_windowBlock);
    m_windowBlock.Set(TuningValue::ThrLvrROffset, 1.0);
    View().QueueChild([](RecordingDialogView& child) {
        EXPECT_EQ(child.Text(CTlaSetUp::kRightOffset), "1.0000");
        child.Spin(CTlaSetUp::kRightOffsetSpin, 50);
        child.Click(kIdCancel);
    });
    tuning.OnThrustLeverData();
    EXPECT_DOUBLE_EQ(m_windowBlock.Get(TuningValue::ThrLvrROffset), 0.5) << "kept after Cancel: edited live";
    EXPECT_DOUBLE_EQ(GSB::LoadDouble(Block(), GSB::kThrLvrROffset), 0.5);
}

TEST_F(WindowPartTest, ResponseCurvesReachTheSetOnlyOnOkAndNeverOnTheWayOut)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    StartSet();
    TuningDialogs tuning(*this, m_windowBlock);
    const int pitch = CockpitAxisTable::IndexOf(AxisPitch);
    const auto makeExpo = [&](const char* k, std::int32_t button, bool closeMeanwhile) {
        View().QueueChild([=, this](RecordingDialogView& child) {
            EXPECT_EQ(child.Control(CResponseCurvesDlg::kAxis).selection, 0) << "pitch first";
            child.Select(CResponseCurvesDlg::kKind, 1);
            child.Type(CResponseCurvesDlg::kK, k);
            m_closing = closeMeanwhile;
            child.Click(button);
        });
        tuning.OnResponseCurves();
    };
    makeExpo("0.4", kIdCancel, false);
    EXPECT_TRUE(m_set->GetResponseCurve(pitch).IsPlainLinear());
    makeExpo("0.4", kIdOk, true);
    EXPECT_TRUE(m_set->GetResponseCurve(pitch).IsPlainLinear());
    m_closing = false;
    makeExpo("0.4", kIdOk, false);
    EXPECT_EQ(m_set->GetResponseCurve(pitch).Kind(), CurveKind::Expo);
    EXPECT_EQ(m_set->GetResponseCurve(pitch).K(), 0.4);

    // The next opening starts from what the set holds.
    View().QueueChild([](RecordingDialogView& child) {
        EXPECT_EQ(child.Text(CResponseCurvesDlg::kK), "0.400000");
        child.Click(kIdCancel);
    });
    tuning.OnResponseCurves();
}
