#include "dialogs/TlaSetUp.h"

#include "devices/JoystickSet.h"
#include "mapping/GenericSimBlock.h"
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

constexpr std::size_t kOffsetAfterSensitivity = sizeof(double);

} // namespace

bool CTlaSetUp::OnInitDialog()
{
    Refresh();
    m_view->SetControlText(kHelpText, kHelp);
    return true;
}

int CTlaSetUp::OnSpinDelta(std::int32_t id, int delta)
{
    if (m_refs.block == nullptr) {
        return 0;
    }
    std::size_t offset = 0;
    bool timeConstant = false;
    switch (id) {
    case kLeftSensitivitySpin:
        offset = m_refs.leftPair;
        break;
    case kLeftOffsetSpin:
        offset = m_refs.leftPair + kOffsetAfterSensitivity;
        break;
    case kRightSensitivitySpin:
        offset = m_refs.rightPair;
        break;
    case kRightOffsetSpin:
        offset = m_refs.rightPair + kOffsetAfterSensitivity;
        break;
    case kLeftTimeConstantSpin:
        offset = m_refs.leftTimeConstant;
        timeConstant = true;
        break;
    case kRightTimeConstantSpin:
        offset = m_refs.rightTimeConstant;
        timeConstant = true;
        break;
    default:
        return 0;
    }

    // Opposite sense to the dead band dialog: the value falls as the position rises.
    double value = GenericSimBlock::LoadDouble(m_refs.block, offset) - delta * kStep;
    if (timeConstant && value < kSmallestTimeConstant) {
        value = 0.0;
    }
    GenericSimBlock::StoreDouble(m_refs.block, offset, value);
    if (timeConstant && m_refs.joySticks != nullptr) {
        m_refs.joySticks->ApplyFilterTimeConstants();
    }
    Refresh();
    return 0;
}

void CTlaSetUp::Refresh()
{
    if (m_refs.block == nullptr) {
        return;
    }
    struct Field {
        std::int32_t id;
        std::size_t offset;
    };
    const Field fields[6] = {
        { kLeftSensitivity, m_refs.leftPair },
        { kLeftOffset, m_refs.leftPair + kOffsetAfterSensitivity },
        { kRightSensitivity, m_refs.rightPair },
        { kRightOffset, m_refs.rightPair + kOffsetAfterSensitivity },
        { kLeftTimeConstant, m_refs.leftTimeConstant },
        { kRightTimeConstant, m_refs.rightTimeConstant },
    };
    for (int i = 0; i < 6; ++i) {
        FormatBounded(
            m_texts[i], sizeof m_texts[i], "%6.4f", GenericSimBlock::LoadDouble(m_refs.block, fields[i].offset));
        m_view->SetControlText(fields[i].id, m_texts[i]);
    }
}
