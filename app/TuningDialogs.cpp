#include "app/TuningDialogs.h"

#include "devices/JoystickSet.h"
#include "dialogs/DeadBandDlg.h"
#include "dialogs/TlaSetUp.h"

TuningDialogs::TuningDialogs(MainWindowServices& window, const BlockSetUp& block)
    : m_window(window)
    , m_block(block)
{
}

void TuningDialogs::OnSetDeadBands()
{
    if (!m_block.Attached()) {
        return;
    }
    DeadBandValues values;
    values.pitch = m_block.Get(TuningValue::PitchDeadBand);
    values.roll = m_block.Get(TuningValue::RollDeadBand);
    values.pedals = m_block.Get(TuningValue::PedalsDeadBand);
    values.tiller = m_block.Get(TuningValue::TillerDeadBand);

    CDeadBandDlg dialog;
    dialog.SetValues(values);
    if (m_window.RunChild(CDeadBandDlg::Template(), dialog) == kIdOk && m_block.Attached() && !m_window.Closing()) {
        m_block.Set(TuningValue::PitchDeadBand, values.pitch);
        m_block.Set(TuningValue::RollDeadBand, values.roll);
        m_block.Set(TuningValue::PedalsDeadBand, values.pedals);
        m_block.Set(TuningValue::TillerDeadBand, values.tiller);
    }
}

void TuningDialogs::OnThrustLeverData()
{
    if (!m_block.Attached()) {
        return;
    }
    ThrustLeverRefs refs;
    refs.block = m_block;
    refs.joySticks = m_window.JoySticks();

    CTlaSetUp dialog;
    dialog.SetRefs(refs);
    if (m_window.RunChild(CTlaSetUp::Template(), dialog) == kIdOk && !m_window.Closing()) {
        if (JoystickSet* set = m_window.JoySticks()) {
            set->ApplyFilterTimeConstants();
        }
    }
}
