// The dead band dialog edits the caller's copy in steps of 0.01, adding the
// spin's delta, and shows four decimals.
#include "dialogs/DeadBandDlg.h"
#include "tests/fakes/RecordingDialogView.h"

#include <gtest/gtest.h>

TEST(DeadBandDlg, ShowsEveryValueWithFourDecimals)
{
    DeadBandValues values { 0.5, 12.345678, -0.01, 1.0 };
    CDeadBandDlg dialog;
    dialog.SetValues(values);
    RecordingDialogView view(CDeadBandDlg::Template(), dialog);
    view.Open();
    EXPECT_EQ(view.Text(CDeadBandDlg::kPitchValue), "0.5000");
    EXPECT_EQ(view.Text(CDeadBandDlg::kRollValue), "12.3457");
    EXPECT_EQ(view.Text(CDeadBandDlg::kPedalsValue), "-0.0100");
    EXPECT_EQ(view.Text(CDeadBandDlg::kTillerValue), "1.0000");
    EXPECT_EQ(view.Title(), "Adjust axis dead bands");
}

TEST(DeadBandDlg, SpinsAddTheirDeltaToTheirOwnValueOnly)
{
    DeadBandValues values { 0.5, 0.5, 0.5, 0.5 };
    CDeadBandDlg dialog;
    dialog.SetValues(values);
    RecordingDialogView view(CDeadBandDlg::Template(), dialog);
    view.Open();

    EXPECT_EQ(view.Spin(CDeadBandDlg::kPedalsSpin, 1), 0);
    EXPECT_DOUBLE_EQ(values.pedals, 0.51);
    EXPECT_EQ(view.Text(CDeadBandDlg::kPedalsValue), "0.5100");
    EXPECT_DOUBLE_EQ(values.pitch, 0.5);
    EXPECT_DOUBLE_EQ(values.roll, 0.5);
    EXPECT_DOUBLE_EQ(values.tiller, 0.5);
    EXPECT_EQ(view.Text(CDeadBandDlg::kPitchValue), "0.5000");

    // No lower limit: 60 steps down from 0.5 goes below zero.
    for (int i = 0; i < 60; ++i) {
        view.Spin(CDeadBandDlg::kTillerSpin, -1);
    }
    EXPECT_NEAR(values.tiller, -0.1, 1e-9);
    EXPECT_EQ(view.Text(CDeadBandDlg::kTillerValue), "-0.1000");

    view.Spin(CDeadBandDlg::kPitchSpin, 3);
    view.Spin(CDeadBandDlg::kRollSpin, -2);
    EXPECT_DOUBLE_EQ(values.pitch, 0.53);
    EXPECT_DOUBLE_EQ(values.roll, 0.48);

    view.Click(kIdOk);
    EXPECT_EQ(view.Result(), kIdOk);
    EXPECT_NEAR(values.tiller, -0.1, 1e-9);
}
