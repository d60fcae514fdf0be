#include "dialogs/DeadBandDlg.h"

#include "support/TextFunctions.h"

bool CDeadBandDlg::OnInitDialog()
{
    Refresh();
    return true;
}

int CDeadBandDlg::OnSpinDelta(std::int32_t id, int delta)
{
    if (m_values == nullptr) {
        return 0;
    }
    double* value = nullptr;
    switch (id) {
    case kPitchSpin:
        value = &m_values->pitch;
        break;
    case kRollSpin:
        value = &m_values->roll;
        break;
    case kPedalsSpin:
        value = &m_values->pedals;
        break;
    case kTillerSpin:
        value = &m_values->tiller;
        break;
    default:
        return 0;
    }
    // The dead band grows with the control's proposed position change; no limits.
    *value += delta * kStep;
    Refresh();
    return 0;
}

void CDeadBandDlg::Refresh()
{
    if (m_values == nullptr) {
        return;
    }
    const double values[4] = { m_values->pitch, m_values->roll, m_values->pedals, m_values->tiller };
    const std::int32_t ids[4] = { kPitchValue, kRollValue, kPedalsValue, kTillerValue };
    for (int i = 0; i < 4; ++i) {
        FormatBounded(m_texts[i], sizeof m_texts[i], "%6.4f", values[i]);
        m_view->SetControlText(ids[i], m_texts[i]);
    }
}
