#include "app/Indicators.h"

#include "app/MessageEcho.h"
#include "app/TavelinDlgIds.h"
#include "devices/JoystickSet.h"
#include "mapping/CockpitButtons.h"
#include "support/TextFunctions.h"

#include <algorithm>

using namespace MainIds;

namespace {

constexpr const char* kWarningCaption = "Warning Message";

} // namespace

Indicators::Indicators(const SwitchPanelState& panel, const BlockSetUp& block)
    : m_panel(panel)
    , m_block(block)
{
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        m_lamps[b].id = kButtonRows[b].lamp;
    }
    m_lamps[LampSideStick].id = kSideStickLamp;
    m_lamps[LampWarningList].id = kWarningLamp;
    m_texts.Bind(TextGearMessage, kGearMessage);
    m_texts.Bind(TextParkBrakeMessage, kParkBrakeMessage);
    m_texts.Bind(TextEyePoint, kEyeText);
}

void Indicators::SetLamp(int lampIndex, LampPicture picture)
{
    LampState& lamp = m_lamps[lampIndex];
    if (m_view == nullptr || (lamp.everSent && lamp.sent == picture)) {
        return;
    }
    lamp.everSent = true;
    lamp.sent = picture;
    m_view->SetLampPicture(lamp.id, picture);
}

void Indicators::SendTexts()
{
    if (m_view != nullptr) {
        m_texts.Send(*m_view);
    }
}

void Indicators::ButtonLampsOff()
{
    SetLamp(ButtonApDisc, LampPicture::Off);
    SetLamp(ButtonAtDisc, LampPicture::Off);
}

void Indicators::TakeCycle()
{
    if (!m_block.Attached()) {
        return;
    }
    const NeutralIndicatorDisplay neutral = ControlProcessor::ShowNeutralIndicator(m_block, m_sideStickLit);
    if (neutral.changeLamp) {
        m_sideStickPending = true;
        m_sideStickPicture = neutral.lamp;
    }
    const GearAndParkBrakeDisplay gear = ControlProcessor::ShowGearAndParkBrake(m_block, m_panel);
    if (gear.gearMessage != nullptr) {
        m_texts.Set(TextGearMessage, gear.gearMessage);
    }
    if (gear.parkBrakeMessage != nullptr) {
        m_texts.Set(TextParkBrakeMessage, gear.parkBrakeMessage);
    }
}

void Indicators::RefreshSideStick()
{
    if (m_block.Attached() && m_sideStickPending) {
        m_sideStickPending = false;
        SetLamp(LampSideStick, m_sideStickPicture);
    }
}

void Indicators::RefreshButtonLamps()
{
    // A row's lamp shows what the switch panel carries for it, or else the
    // byte the processing published (which only the block holds); PTT's row
    // has none.
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        const CockpitButtonRow& row = CockpitButtonTable::kRows[b];
        if (row.windowStep < 0) {
            continue;
        }
        bool on = false;
        if (row.switchField != nullptr) {
            on = m_panel.*row.switchField != 0;
        } else if (m_block.Attached()) {
            on = m_block.ButtonPublished(b);
        } else {
            continue;
        }
        SetLamp(b, on ? LampPicture::On : LampPicture::Off);
    }
}

void Indicators::RefreshEyeText()
{
    m_texts.Set(TextEyePoint, ControlProcessor::ShowEyeView(m_panel));
}

void Indicators::PrepareWarningList()
{
    if (m_view == nullptr) {
        return;
    }
    m_view->ListInsertColumn(kWarningList, 0, "Item", 5);
    m_view->ListInsertColumn(kWarningList, 1, "Warning Message", 500);
    m_view->ListDeleteAllItems(kWarningList);
}

void Indicators::ClearWarningList()
{
    if (m_view != nullptr) {
        m_view->ListDeleteAllItems(kWarningList);
    }
}

void Indicators::ShowWarnings(const JoystickSet& set)
{
    if (m_view == nullptr) {
        return;
    }
    set.GetWarnings(m_warningCopy);
    const int count = std::clamp(m_warningCopy.count, 0, ControlProcessor::kMaxWarnings);
    const std::int32_t notShown = set.WarningsNotShown();
    if (count == 0 && notShown <= 0 && m_warningCopy.present == 0) {
        m_view->ListDeleteAllItems(kWarningList);
        SetLamp(LampWarningList, LampPicture::On);
        return;
    }
    for (int i = 0; i < count; ++i) {
        char message[ControlProcessor::kWarningLength];
        CopyBounded(message, m_warningCopy.messages[i], sizeof message);
        m_view->ListInsertItem(kWarningList, i, " ", true);
        m_view->ListSetItemText(kWarningList, i, 1, message);
        m_view->ListEnsureVisible(kWarningList, i);
    }
    if (notShown > 0) {
        char message[ControlProcessor::kWarningLength];
        FormatBounded(message, sizeof message,
            notShown == 1 ? "%d more warning was not shown" : "%d more warnings were not shown",
            static_cast<int>(notShown));
        m_view->ListInsertItem(kWarningList, count, " ", true);
        m_view->ListSetItemText(kWarningList, count, 1, message);
    }
    // Red only for what the described pending flag stands for; a list of
    // Tavelin's own notes leaves the lamp as an empty list does.
    SetLamp(LampWarningList, m_warningCopy.present != 0 ? LampPicture::Warning : LampPicture::On);
    EchoNewWarnings();
}

void Indicators::EchoNewWarnings() const
{
    // Every listing adds its entries to the list: each is new there.
    const int count = std::clamp(m_warningCopy.count, 0, ControlProcessor::kMaxWarnings);
    for (int i = 0; i < count; ++i) {
        char message[ControlProcessor::kWarningLength];
        CopyBounded(message, m_warningCopy.messages[i], sizeof message);
        MessageEcho::Print(kWarningCaption, message);
    }
}
