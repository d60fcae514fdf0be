#include "dialogs/TlaSetUp.h"

#include "devices/JoystickSet.h"
#include "support/TextFunctions.h"

const char* const CTlaSetUp::kHelp = "Sensitivity should normally be set at 1.0\n"
                                     "lower values reduce overall thrust lever range and higher values increase it\n\n"
                                     "Offsets allow the thrust levers to move in synchronization\n"
                                     "Position the actual thrust levers together and use the offset value \n"
                                     "to make their position equal\n\n"
                                     "The Filter Time Constant (TC) will filter out any noise. \n"
                                     "Values of 0 to 0.3 will give rapid thrust lever response but little filtering\n"
                                     "Values of 0.5 and above give increasing noise reduction \n"
                                     "but start to introduce a lagged response\n";

namespace {

// The six values the dialog shows, by the control that shows each.
struct Field {
    std::int32_t id;
    TuningValue value;
};
constexpr Field kFields[6] = {
    { CTlaSetUp::kLeftSensitivity, TuningValue::ThrLvrLSensitivity },
    { CTlaSetUp::kLeftOffset, TuningValue::ThrLvrLOffset },
    { CTlaSetUp::kRightSensitivity, TuningValue::ThrLvrRSensitivity },
    { CTlaSetUp::kRightOffset, TuningValue::ThrLvrROffset },
    { CTlaSetUp::kLeftTimeConstant, TuningValue::ThrLvrLTimeConstant },
    { CTlaSetUp::kRightTimeConstant, TuningValue::ThrLvrRTimeConstant },
};

} // namespace

bool CTlaSetUp::OnInitDialog()
{
    Refresh();
    m_view->SetControlText(kHelpText, kHelp);
    return true;
}

bool CTlaSetUp::SpinValue(std::int32_t id, TuningValue& value, bool& timeConstant)
{
    timeConstant = false;
    switch (id) {
    case kLeftSensitivitySpin:
        value = TuningValue::ThrLvrLSensitivity;
        return true;
    case kLeftOffsetSpin:
        value = TuningValue::ThrLvrLOffset;
        return true;
    case kRightSensitivitySpin:
        value = TuningValue::ThrLvrRSensitivity;
        return true;
    case kRightOffsetSpin:
        value = TuningValue::ThrLvrROffset;
        return true;
    case kLeftTimeConstantSpin:
        value = TuningValue::ThrLvrLTimeConstant;
        timeConstant = true;
        return true;
    case kRightTimeConstantSpin:
        value = TuningValue::ThrLvrRTimeConstant;
        timeConstant = true;
        return true;
    default:
        return false;
    }
}

int CTlaSetUp::OnSpinDelta(std::int32_t id, int delta)
{
    TuningValue stepped = TuningValue::ThrLvrLSensitivity;
    bool timeConstant = false;
    if (!m_refs.block.Attached() || !SpinValue(id, stepped, timeConstant)) {
        return 0;
    }
    // Opposite sense to the dead band dialog: the value falls as the position rises.
    double value = m_refs.block.Get(stepped) - delta * kStep;
    if (timeConstant && value < kSmallestTimeConstant) {
        value = 0.0;
    }
    m_refs.block.Set(stepped, value);
    if (timeConstant && m_refs.joySticks != nullptr) {
        m_refs.joySticks->ApplyFilterTimeConstants();
    }
    Refresh();
    return 0;
}

void CTlaSetUp::Refresh()
{
    if (!m_refs.block.Attached()) {
        return;
    }
    for (int i = 0; i < 6; ++i) {
        FormatBounded(m_texts[i], sizeof m_texts[i], "%6.4f", m_refs.block.Get(kFields[i].value));
        m_view->SetControlText(kFields[i].id, m_texts[i]);
    }
}
