// CDeadBandDlg: adjusts the dead bands of pitch, roll, pedals and tiller on
// the caller's copy, in steps of 0.01; the caller stores them back on OK.
#pragma once

#include "ui/DialogView.h"

#include <cstdint>

struct DeadBandValues {
    double pitch = 0.0;
    double roll = 0.0;
    double pedals = 0.0; // "Yaw ( rudder pedals )"
    double tiller = 0.0;
};

class CDeadBandDlg : public DialogPresenter {
public:
    static constexpr std::int32_t kPitchValue = 1090;
    static constexpr std::int32_t kRollValue = 1091;
    static constexpr std::int32_t kPedalsValue = 1092;
    static constexpr std::int32_t kTillerValue = 1093;
    static constexpr std::int32_t kPitchSpin = 1094;
    static constexpr std::int32_t kRollSpin = 1095;
    static constexpr std::int32_t kPedalsSpin = 1096;
    static constexpr std::int32_t kTillerSpin = 1097;
    static constexpr double kStep = 0.01;

    CDeadBandDlg() = default;

    static const DialogTemplate& Template() { return DeadBandDialogTemplate(); }

    // The values are changed in place; they must outlive the dialog.
    void SetValues(DeadBandValues& values) { m_values = &values; }

    bool OnInitDialog() override;
    int OnSpinDelta(std::int32_t id, int delta) override;

private:
    void Refresh();

    DeadBandValues* m_values = nullptr;
    char m_texts[4][32] = {};
};
