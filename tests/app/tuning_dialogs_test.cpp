// The tuning dialogs on their own: the dead bands are stored only on OK and
// never once a way out was taken behind the dialog, and neither dialog opens
// without the window's view of the block.
#include "app/TuningDialogs.h"
#include "dialogs/DeadBandDlg.h"
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
