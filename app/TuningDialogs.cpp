#include "app/TuningDialogs.h"

#include "devices/JoystickSet.h"
#include "dialogs/DeadBandDlg.h"
#include "dialogs/ResponseCurvesDlg.h"
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

void TuningDialogs::OnResponseCurves()
{
    JoystickSet* set = m_window.JoySticks();
    if (!m_block.Attached() || set == nullptr) {
        return;
    }
    ResponseCurveSet curves;
    for (int row = 0; row < CockpitAxisTable::kRowCount; ++row) {
        curves[static_cast<std::size_t>(row)] = set->GetResponseCurve(row);
    }
    // The dot follows the input the axis reads, as the cycle behind the dialog sees it.
    const auto live = [this](int row) -> std::optional<std::int32_t> {
        const JoystickSet* joySticks = m_window.JoySticks();
        const AxisAssignment record = m_block.AxisRecord(CockpitAxisTable::kRows[row].axis);
        if (joySticks == nullptr || record.input < 0 || record.input >= 8 || record.slot < 0
            || record.slot >= joySticks->GetJoystickCount()) {
            return std::nullopt;
        }
        JoystickState state {};
        if (!joySticks->GetSlotState(record.slot, state)) {
            return std::nullopt;
        }
        return state.axes[record.input];
    };
    CResponseCurvesDlg dialog(curves, live);
    if (m_window.RunChild(CResponseCurvesDlg::Template(), dialog) == kIdOk && !m_window.Closing()) {
        if (JoystickSet* now = m_window.JoySticks()) {
            for (int row = 0; row < CockpitAxisTable::kRowCount; ++row) {
                now->SetResponseCurve(row, curves[static_cast<std::size_t>(row)]);
            }
        }
    }
}
