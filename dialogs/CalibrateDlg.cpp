#include "dialogs/CalibrateDlg.h"

#include "devices/JoystickSet.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kNoValue = "----";
constexpr const char* kStateTexts[] = { "move it", "let it go", "captured", "kept", "as read" };

} // namespace

bool JoystickSetInputs::ReadRaw(int slot, std::int32_t (&axes)[kCalibratedAxes]) const
{
    return slot < m_set.GetJoystickCount() && m_set.GetRawAxes(slot, axes);
}

std::int32_t JoystickSetInputs::JoystickId(int slot) const
{
    JoystickState state {};
    return m_set.GetSlotState(slot, state) ? static_cast<std::int32_t>(state.joystickId) : 0;
}

std::string JoystickSetInputs::Instance(int slot) const
{
    return m_set.IsOneOfIdenticalJoysticks(slot) ? std::string(m_set.GetInstanceKey(slot)) : std::string();
}

const char* JoystickSetInputs::SlotName(int slot) const
{
    return m_set.GetDeviceName(slot);
}

bool CCalibrateDlg::OnInitDialog()
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        char entry[300];
        FormatBounded(entry, static_cast<int>(sizeof entry), "%d  %s", slot,
            m_inputs != nullptr ? m_inputs->SlotName(slot) : "No Device");
        m_view->ComboInsertString(kSlotCombo, slot, entry);
    }
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        for (int choice = 0; choice < 3; ++choice) {
            m_view->ComboInsertString(RowId(axis, ColumnKind), choice, kKindTexts[choice]);
        }
    }
    // The first slot that holds a joystick.
    int first = 0;
    std::int32_t raw[kCalibratedAxes] = {};
    while (first < kJoystickSlots - 1 && (m_inputs == nullptr || !m_inputs->ReadRaw(first, raw))) {
        ++first;
    }
    SelectSlot(m_inputs != nullptr && m_inputs->ReadRaw(first, raw) ? first : 0);
    m_view->StartTimer(kSampleTimer, kSamplePeriodMs);
    return true;
}

void CCalibrateDlg::OnDestroy()
{
    if (m_view != nullptr) {
        m_view->StopTimer(kSampleTimer);
    }
}

void CCalibrateDlg::OnCommand(std::int32_t id)
{
    if (id == kStartAgain) {
        SlotCapture& capture = m_captures[m_slot];
        capture.axes = {};
        Sample(m_slot);
        ShowRows(true);
        return;
    }
    DialogPresenter::OnCommand(id);
}

void CCalibrateDlg::OnSelectionChange(std::int32_t id, int position)
{
    if (id == kSlotCombo) {
        if (position >= 0 && position < kJoystickSlots) {
            SelectSlot(position);
        }
        return;
    }
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        if (id == RowId(axis, ColumnKind) && position >= 0 && position <= ChoiceAsRead) {
            m_captures[m_slot].kinds[axis] = static_cast<KindChoice>(position);
            ShowRows(true);
            return;
        }
    }
}

void CCalibrateDlg::OnTimer(std::int32_t id)
{
    if (id == kSampleTimer) {
        Sample(m_slot);
    }
}

void CCalibrateDlg::OnFrame(bool numbers)
{
    ShowRows(numbers);
}

void CCalibrateDlg::SelectSlot(int slot)
{
    m_slot = slot;
    ChooseKinds(slot);
    Sample(slot);
    m_view->ComboSetSelection(kSlotCombo, slot);
    ShowSlot();
    ShowRows(true);
}

// The kinds start as the stored calibration has them; an axis without one
// is taken as centred until the operator says otherwise.
void CCalibrateDlg::ChooseKinds(int slot)
{
    SlotCapture& capture = m_captures[slot];
    if (capture.kindsChosen || m_inputs == nullptr || m_table == nullptr) {
        return;
    }
    std::int32_t raw[kCalibratedAxes] = {};
    if (!m_inputs->ReadRaw(slot, raw)) {
        return;
    }
    capture.kindsChosen = true;
    const JoystickCalibration* stored = m_table->Find(m_inputs->JoystickId(slot), m_inputs->Instance(slot));
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        const AxisCalibration::Kind kind = stored != nullptr ? stored->axes[axis].kind : AxisCalibration::Kind::None;
        capture.kinds[axis] = kind == AxisCalibration::Kind::RestsAtEnd ? ChoiceRestsAtEnd : ChoiceCentred;
    }
}

void CCalibrateDlg::Sample(int slot)
{
    SlotCapture& capture = m_captures[slot];
    capture.present = m_inputs != nullptr && m_inputs->ReadRaw(slot, capture.raw);
    if (!capture.present) {
        return;
    }
    ChooseKinds(slot);
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        AxisCapture& a = capture.axes[axis];
        const std::int32_t raw = capture.raw[axis];
        if (!a.seen) {
            // Where it is when the dialog opens is where a centred axis rests.
            a = AxisCapture { true, raw, raw, raw, raw, 0 };
            continue;
        }
        a.minimum = std::min(a.minimum, raw);
        a.maximum = std::max(a.maximum, raw);
        if (raw >= a.rest - kStillBand && raw <= a.rest + kStillBand) {
            ++a.stillSamples;
        } else {
            a.rest = raw;
            a.stillSamples = 0;
        }
        // Let go: still for half a second once the axis has travelled, well
        // away from both ends (an axis held at an end, or slowed down while
        // it is being moved to one, is not resting there).
        const std::int32_t travel = a.maximum - a.minimum;
        const std::int32_t margin = travel / 10;
        if (a.stillSamples >= kStillSamples && travel >= kMinimumTravel && a.rest > a.minimum + margin
            && a.rest < a.maximum - margin) {
            a.centre = a.rest;
        }
    }
}

AxisCalibration CCalibrateDlg::Captured(int slot, int axis, AxisState& state) const
{
    const SlotCapture& capture = m_captures[slot];
    const AxisCapture& a = capture.axes[axis];
    const KindChoice kind = capture.kinds[axis];
    if (kind == ChoiceAsRead) {
        state = AxisState::AsRead;
        return {};
    }
    const bool moved = a.seen && a.maximum - a.minimum >= kMinimumTravel;
    if (moved) {
        const AxisCalibration captured = kind == ChoiceRestsAtEnd
            ? AxisCalibration::RestsAtEnd(a.minimum, a.maximum)
            : AxisCalibration::Centred(a.minimum, a.centre, a.maximum);
        if (captured.Valid()) {
            state = AxisState::Captured;
            return captured;
        }
        if (kind == ChoiceCentred) {
            state = AxisState::LetItGo;
            return {};
        }
    }
    const JoystickCalibration* stored = m_table != nullptr && m_inputs != nullptr
        ? m_table->Find(m_inputs->JoystickId(slot), m_inputs->Instance(slot))
        : nullptr;
    const AxisCalibration::Kind wanted
        = kind == ChoiceRestsAtEnd ? AxisCalibration::Kind::RestsAtEnd : AxisCalibration::Kind::Centred;
    state = stored != nullptr && stored->axes[axis].kind == wanted ? AxisState::Kept : AxisState::MoveIt;
    return {};
}

void CCalibrateDlg::OnOK()
{
    if (m_table != nullptr && m_inputs != nullptr) {
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            const SlotCapture& capture = m_captures[slot];
            if (!capture.kindsChosen) {
                continue; // never shown: nothing asked of it
            }
            JoystickCalibration& entry = m_table->Entry(m_inputs->JoystickId(slot), m_inputs->Instance(slot));
            for (int axis = 0; axis < kCalibratedAxes; ++axis) {
                AxisState state = AxisState::MoveIt;
                const AxisCalibration captured = Captured(slot, axis, state);
                if (state == AxisState::Captured || state == AxisState::AsRead) {
                    entry.axes[axis] = captured;
                    entry.unreadText[axis].clear();
                }
            }
        }
        m_table->DropEmpty();
    }
    EndDialog(kIdOk);
}

void CCalibrateDlg::SetText(std::int32_t id, const char* text)
{
    m_view->SetControlText(id, text);
}

void CCalibrateDlg::ShowSlot()
{
    char text[320];
    if (m_inputs != nullptr && m_captures[m_slot].present) {
        FormatBounded(text, static_cast<int>(sizeof text), "%s (JoyStick Id %d)", m_inputs->SlotName(m_slot),
            m_inputs->JoystickId(m_slot));
    } else {
        CopyBounded(text, "No joystick in this slot", static_cast<int>(sizeof text));
    }
    SetText(kDeviceText, text);
}

void CCalibrateDlg::ShowRows(bool numbers)
{
    const SlotCapture& capture = m_captures[m_slot];
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        const AxisCapture& a = capture.axes[axis];
        char texts[7][24] = {};
        AxisState state = AxisState::MoveIt;
        AxisCalibration captured = Captured(m_slot, axis, state);
        if (capture.present) {
            FormatBounded(texts[ColumnRaw], 24, "%d", capture.raw[axis]);
            FormatBounded(texts[ColumnMinimum], 24, "%d", a.minimum);
            FormatBounded(texts[ColumnMaximum], 24, "%d", a.maximum);
            const bool centred = capture.kinds[axis] == ChoiceCentred;
            CopyBounded(texts[ColumnCentre], centred ? "" : "-", 24);
            if (centred) {
                FormatBounded(texts[ColumnCentre], 24, "%d", a.centre);
            }
            // What the axis gives now: by the capture once it is one, else as it is calibrated today.
            if (state != AxisState::Captured) {
                const JoystickCalibration* stored = m_table != nullptr
                    ? m_table->Find(m_inputs->JoystickId(m_slot), m_inputs->Instance(m_slot))
                    : nullptr;
                captured = state == AxisState::AsRead || stored == nullptr ? AxisCalibration {} : stored->axes[axis];
            }
            FormatBounded(texts[ColumnOutput], 24, "%d", captured.Apply(capture.raw[axis]));
            CopyBounded(texts[ColumnState], kStateTexts[static_cast<int>(state)], 24);
        } else {
            for (const Column column : { ColumnRaw, ColumnMinimum, ColumnCentre, ColumnMaximum, ColumnOutput }) {
                CopyBounded(texts[column], kNoValue, 24);
            }
        }
        for (int column = 0; column < 7; ++column) {
            if (column == ColumnKind) {
                continue;
            }
            // The state follows at once; the numbers at their own pace.
            if (!numbers && column != ColumnState) {
                continue;
            }
            if (std::strcmp(m_shown[axis][column], texts[column]) != 0) {
                std::memcpy(m_shown[axis][column], texts[column], 24);
                SetText(RowId(axis, static_cast<Column>(column)), texts[column]);
            }
        }
        const int choice = capture.kinds[axis];
        if (m_shown[axis][ColumnKind][0] != static_cast<char>('0' + choice)) {
            m_shown[axis][ColumnKind][0] = static_cast<char>('0' + choice);
            m_view->ComboSetSelection(RowId(axis, ColumnKind), choice);
        }
    }
}
