#include "app/AssignmentRows.h"

#include "app/AxisButtonEntries.h"
#include "devices/JoystickSet.h"
#include "mapping/CockpitAxes.h"
#include "mapping/CockpitButtons.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace MainIds;

const char* const AssignmentRows::AxisInputNames[kAxisInputCount] = {
    " X",
    " Y",
    " Z",
    "Rx",
    "Ry",
    "Rz",
    "SL1",
    "SL2",
    " vX",
    " vY",
    " vZ",
    "vRx",
    "vRy",
    "vRz",
    "vSL1",
    "vSL2",
    " aX",
    " aY",
    " aZ",
    "aRx",
    "aRy",
    "aRz",
    "aSL1",
    "aSL2",
};

namespace {

constexpr BarColour kProgressColour = { 204, 0, 204 };

constexpr const char* kSlotTexts[4] = { "0", "1", "2", "3" };
constexpr const char* kNumberTexts[32] = { "NA", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13",
    "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30", "31" };

std::int32_t Limit(std::int32_t value, std::int32_t low, std::int32_t high)
{
    return std::clamp(value, low, high);
}

bool IsSlot(int value)
{
    return value >= 0 && value < kJoystickSlots;
}

} // namespace

AssignmentRows::AssignmentRows(const SlotStates& slots, const BlockSetUp& block)
    : m_slots(slots)
    , m_block(block)
{
    for (int row = 0; row < kAxisRowCount; ++row) {
        const CockpitAxisRow& axis = CockpitAxisTable::InWindowRow(row);
        m_axisPanels[row].axis = axis.axis;
        m_axisPanels[row].ids = &kAxisRows[row];
        m_axisPanels[row].low = axis.barLow;
        m_axisPanels[row].high = axis.barHigh;
        m_texts.Bind(row, kAxisRows[row].valueText);
        m_texts.Bind(SensitivityText(row), kAxisRows[row].sensitivityText);
    }
}

void AssignmentRows::SendTexts()
{
    if (m_view != nullptr) {
        m_texts.Send(*m_view);
    }
}

// ---------------------------------------------------------------- axis rows

AssignmentRows::AxisPanel* AssignmentRows::FindAxisPanel(std::int32_t axis)
{
    for (auto& panel : m_axisPanels) {
        if (panel.axis == axis) {
            return &panel;
        }
    }
    return nullptr;
}

void AssignmentRows::SetUpAxisPanels(const JoystickSet* model, bool initial)
{
    if (m_view == nullptr) {
        return;
    }
    for (int row = 0; row < kAxisRowCount; ++row) {
        AxisPanel& panel = m_axisPanels[row];
        const CockpitAxisRow& axis = CockpitAxisTable::InWindowRow(row);
        panel.step = 0.001;
        panel.low = axis.barLow;
        panel.high = axis.barHigh;
        if (model != nullptr) {
            panel.input = model->GetAxisInput(panel.axis);
            panel.slot = model->GetAxisSlot(panel.axis);
        }

        m_view->SetProgressBarColour(panel.ids->progress, kProgressColour);

        if (initial) {
            for (int i = 0; i < kAxisInputCount; ++i) {
                m_view->ComboInsertString(panel.ids->inputCombo, i, AxisInputNames[i]);
            }
        }
        m_view->ComboSetEditText(panel.ids->inputCombo, AxisInputNames[Limit(panel.input, 0, kAxisInputCount - 1)]);

        if (initial) {
            for (int i = 0; i < 4; ++i) {
                m_view->ComboInsertString(panel.ids->joystickCombo, i, kSlotTexts[i]);
            }
        }
        m_view->ComboSetEditText(panel.ids->joystickCombo, IsSlot(panel.slot) ? kSlotTexts[panel.slot] : "?");
    }
}

void AssignmentRows::RefreshAxisPanels(bool withTexts)
{
    for (const auto& panel : m_axisPanels) {
        RefreshAxisPanel(panel.axis, withTexts);
    }
}

void AssignmentRows::RefreshAxisPanel(std::int32_t axis, bool withTexts)
{
    AxisPanel* panel = FindAxisPanel(axis);
    if (panel == nullptr || !m_block.Attached() || m_view == nullptr) {
        return;
    }
    const double output = m_block.Output(axis);
    const double setting = m_block.Sensitivity(axis);

    // The block is shared: whatever another program wrote must not make the
    // conversion undefined. The bar shows 0..100 in any case.
    double position = (output - panel->low) / (panel->high - panel->low) * 100.0;
    if (std::isnan(position)) {
        position = 0.0;
    }
    const int progress = static_cast<int>(std::clamp(position, 0.0, 100.0));
    if (progress != panel->progressSent) {
        panel->progressSent = progress;
        m_view->SetProgressPosition(panel->ids->progress, progress);
    }
    if (!withTexts) {
        return;
    }

    // Bit-wise comparison: a NaN written by another program is still "unchanged".
    if (!panel->textsValid || std::memcmp(&output, &panel->outputShown, sizeof output) != 0
        || std::memcmp(&setting, &panel->settingShown, sizeof setting) != 0) {
        const int row = static_cast<int>(panel - m_axisPanels);
        char text[64];
        FormatBounded(text, sizeof text, "%7.3f Deg", output);
        m_texts.Set(row, text);
        FormatBounded(text, sizeof text, "%6.4f", setting);
        m_texts.Set(SensitivityText(row), text);
        panel->outputShown = output;
        panel->settingShown = setting;
        panel->textsValid = true;
    }
    SendTexts();
}

bool AssignmentRows::OnSpinDelta(std::int32_t id, int delta)
{
    for (auto& panel : m_axisPanels) {
        if (id != panel.ids->spin) {
            continue;
        }
        if (!m_block.Attached()) {
            return true;
        }
        // Up (a negative delta) raises the sensitivity: one click is a tenth of the step.
        const double setting = m_block.Sensitivity(panel.axis) - delta * panel.step * 0.1;
        m_block.SetSensitivity(panel.axis, setting);
        char text[32];
        FormatBounded(text, sizeof text, "%6.4f", setting);
        m_texts.Set(SensitivityText(static_cast<int>(&panel - m_axisPanels)), text);
        SendTexts();
        return true;
    }
    return false;
}

void AssignmentRows::ApplyAxisAssignment(JoystickSet& model, AxisPanel& panel)
{
    // The row's other half came from the block, which anyone may have written:
    // a slot or input out of range falls back to the first.
    if (!IsSlot(panel.slot)) {
        panel.slot = 0;
        m_view->ComboSetEditText(panel.ids->joystickCombo, kSlotTexts[0]);
    }
    if (panel.input < 0 || panel.input >= kAxisInputCount) {
        panel.input = 0;
        m_view->ComboSetEditText(panel.ids->inputCombo, AxisInputNames[0]);
    }
    model.SetAxisAssignment(panel.axis, panel.slot, m_slots.JoystickId(panel.slot), panel.input);
    SendTexts();
}

// ---------------------------------------------------------------- button and eye-point rows

void AssignmentRows::SetUpButtonRows(const JoystickSet* model, bool initial)
{
    if (m_view == nullptr) {
        return;
    }
    for (std::int32_t b : CockpitButtonTable::kWindowOrder) {
        const ButtonRowIds& row = kButtonRows[b];
        if (initial) {
            for (int i = 0; i < 32; ++i) {
                m_view->ComboInsertString(row.buttonCombo, i, kNumberTexts[i]);
            }
            for (int i = AxisButtonEntries::kFirst; i < AxisButtonEntries::kFirst + AxisButtonEntries::kCount; ++i) {
                char text[16];
                AxisButtonEntries::Text(AxisButtonEntries::SettingAt(i), text, sizeof text);
                m_view->ComboInsertString(row.buttonCombo, i, text);
            }
        }
        if (model != nullptr) {
            ShowButtonChoice(*model, b);
        }
        if (initial) {
            for (int i = 0; i < 4; ++i) {
                m_view->ComboInsertString(row.joystickCombo, i, kSlotTexts[i]);
            }
        }
        if (model != nullptr) {
            m_view->ComboSetEditText(row.joystickCombo, kSlotTexts[Limit(model->GetButtonSlot(b), 0, 3)]);
        }
    }
}

// The axis that drives the row, or its button number.
void AssignmentRows::ShowButtonChoice(const JoystickSet& model, std::int32_t button)
{
    const AxisButtonSetting axis = model.GetAxisButton(button);
    if (axis.Drives()) {
        char text[16];
        AxisButtonEntries::Text(axis, text, sizeof text);
        m_view->ComboSetEditText(kButtonRows[button].buttonCombo, text);
        return;
    }
    const std::int32_t number = Limit(model.GetButtonNumber(button), -2, 31);
    m_view->ComboSetEditText(kButtonRows[button].buttonCombo, kNumberTexts[number > 0 ? number : 0]);
}

void AssignmentRows::OnButtonNumberChange(JoystickSet& model, std::int32_t button, int position)
{
    if (AxisButtonEntries::IsEntry(position)) {
        // The button number stays as it is, ignored while the axis drives the button.
        const AxisButtonSetting axis = AxisButtonEntries::SettingAt(position);
        model.SetAxisButton(button, axis.axis, axis.threshold);
        m_view->ComboSetSelection(kButtonRows[button].buttonCombo, position);
        SendTexts();
        return;
    }
    model.ClearAxisButton(button);
    const std::int32_t slot = model.GetButtonSlot(button);
    const std::int32_t count = IsSlot(slot) ? Limit(model.GetButtonCount(slot), 0, 31) : 0;
    const std::int32_t number = Limit(position, 0, count);
    model.SetButtonNumber(button, number);
    m_view->ComboSetSelection(kButtonRows[button].buttonCombo, number);
    SendTexts();
}

void AssignmentRows::OnButtonJoystickChange(JoystickSet& model, std::int32_t button, int position)
{
    if (!IsSlot(position)) {
        return;
    }
    model.SetButtonJoystick(button, position, m_slots.JoystickId(position));
    const AxisButtonSetting axis = model.GetAxisButton(button);
    if (axis.Drives()) {
        // The same axis of the new joystick, starting released.
        model.SetAxisButton(button, axis.axis, axis.threshold);
        ShowButtonChoice(model, button);
        SendTexts();
        return;
    }
    // The row's number is limited again to the new joystick's buttons. The
    // model's number is what the Button combo shows.
    OnButtonNumberChange(model, button, model.GetButtonNumber(button));
    SendTexts();
}

void AssignmentRows::SetUpEyePointRow(const JoystickSet* model, bool initial)
{
    if (m_view == nullptr) {
        return;
    }
    if (initial) {
        for (int i = 0; i < 4; ++i) {
            m_view->ComboInsertString(kEyePovCombo, i, kNumberTexts[i]);
        }
    }
    if (model != nullptr) {
        const std::int32_t pov = Limit(model->GetEyeViewInput(), -2, 3);
        m_view->ComboSetEditText(kEyePovCombo, kNumberTexts[pov > 0 ? pov : 0]);
    }
    if (initial) {
        for (int i = 0; i < 4; ++i) {
            m_view->ComboInsertString(kEyeJoystickCombo, i, kSlotTexts[i]);
        }
    }
    if (model != nullptr) {
        m_view->ComboSetEditText(kEyeJoystickCombo, kSlotTexts[Limit(model->GetEyeViewSlot(), 0, 3)]);
    }
}

void AssignmentRows::ShowSlotNamesInCombos(const JoystickSet& set)
{
    if (m_view == nullptr) {
        return;
    }
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        JoystickState state;
        // Identical joysticks are told apart by their instance.
        const std::string text = set.GetSlotState(slot, state) ? set.GetDisplayName(slot) : "No Joy Stick Attached";
        const char* name = text.c_str();
        for (const auto& row : kAxisRows) {
            m_view->ComboSetItemToolTip(row.joystickCombo, slot, name);
        }
        for (std::int32_t b = 1; b < kCockpitButtonCount; ++b) {
            m_view->ComboSetItemToolTip(kButtonRows[b].joystickCombo, slot, name);
        }
        m_view->ComboSetItemToolTip(kEyeJoystickCombo, slot, name);
    }
}

void AssignmentRows::OnSelectionChange(JoystickSet& model, std::int32_t id, int position)
{
    if (m_view == nullptr || model.GetBlock() == nullptr) {
        return;
    }
    for (auto& panel : m_axisPanels) {
        if (id == panel.ids->joystickCombo) {
            if (!IsSlot(position)) {
                return;
            }
            panel.slot = position;
            ApplyAxisAssignment(model, panel);
            return;
        }
        if (id == panel.ids->inputCombo) {
            if (position < 0 || position >= kAxisInputCount) {
                return;
            }
            panel.input = position;
            ApplyAxisAssignment(model, panel);
            return;
        }
    }
    for (std::int32_t b = 1; b < kCockpitButtonCount; ++b) {
        if (id == kButtonRows[b].buttonCombo) {
            OnButtonNumberChange(model, b, position);
            return;
        }
        if (id == kButtonRows[b].joystickCombo) {
            OnButtonJoystickChange(model, b, position);
            return;
        }
    }
    if (id == kEyeJoystickCombo) {
        const int slot = Limit(position, 0, 3);
        model.SetEyeViewJoystick(slot, m_slots.JoystickId(slot));
    } else if (id == kEyePovCombo) {
        if (position >= 0 && position <= 3) {
            model.SetEyeViewInput(position);
        }
    }
}

// ---------------------------------------------------------------- assignment by moving

bool AssignmentRows::IsDetectButton(std::int32_t id) const
{
    return (id >= AxisDetectId(0) && id < AxisDetectId(kAxisRowCount))
        || (id > ButtonDetectId(0) && id < ButtonDetectId(kCockpitButtonCount)) || id == kEyeDetect;
}

void AssignmentRows::OnDetectButton(JoystickSet& model, std::int32_t id, std::int64_t nowMs, bool visible)
{
    if (id >= AxisDetectId(0) && id < AxisDetectId(kAxisRowCount)) {
        StartDetection(model, InputDetector::Kind::Axis, id - AxisDetectId(0), nowMs, visible);
    } else if (id > ButtonDetectId(0) && id < ButtonDetectId(kCockpitButtonCount)) {
        StartDetection(model, InputDetector::Kind::Button, id - ButtonDetectId(0), nowMs, visible);
    } else if (id == kEyeDetect) {
        StartDetection(model, InputDetector::Kind::Hat, 0, nowMs, visible);
    }
}

std::int32_t AssignmentRows::DetectButton() const
{
    switch (m_detector.GetKind()) {
    case InputDetector::Kind::Axis:
        return AxisDetectId(m_detector.Row());
    case InputDetector::Kind::Button:
        return ButtonDetectId(m_detector.Row());
    case InputDetector::Kind::Hat:
        break;
    }
    return kEyeDetect;
}

void AssignmentRows::StartDetection(
    JoystickSet& model, InputDetector::Kind kind, int row, std::int64_t nowMs, bool visible)
{
    if (m_view == nullptr) {
        return;
    }
    if (m_detector.Active()) {
        EndDetection();
    }
    const int count = Limit(model.GetJoystickCount(), 0, kJoystickSlots);
    m_detector.Start(kind, row, m_slots.state, count, nowMs);
    m_detectSecondsShown = -1;
    StepDetection(model, count, nowMs, visible);
}

// While a row waits its button counts down the seconds left; the text
// changes once a second, so the waiting costs the window nothing more.
void AssignmentRows::StepDetection(JoystickSet& model, int count, std::int64_t nowMs, bool visible)
{
    if (!m_detector.Active() || m_view == nullptr) {
        return;
    }
    InputDetector::Found found;
    switch (m_detector.Update(m_slots.state, count, nowMs, found)) {
    case InputDetector::Step::Waiting: {
        const int seconds = m_detector.SecondsLeft(nowMs);
        if (seconds != m_detectSecondsShown && visible) {
            m_detectSecondsShown = seconds;
            char text[16];
            FormatBounded(text, sizeof text, "%d s", seconds);
            m_view->SetControlText(DetectButton(), text);
        }
        break;
    }
    case InputDetector::Step::Found:
        EndDetection();
        ApplyDetected(model, found);
        break;
    case InputDetector::Step::TimedOut:
    case InputDetector::Step::Idle:
        EndDetection();
        break;
    }
}

void AssignmentRows::EndDetection()
{
    m_detector.Cancel();
    m_detectSecondsShown = -1;
    if (m_view != nullptr) {
        m_view->SetControlText(DetectButton(), kDetectText);
    }
}

// As if the operator had chosen the slot and then the input in the row's
// combos: the combos show it and the same handlers write the block.
void AssignmentRows::ApplyDetected(JoystickSet& model, const InputDetector::Found& found)
{
    std::int32_t joystickCombo = kEyeJoystickCombo;
    std::int32_t inputCombo = kEyePovCombo;
    switch (m_detector.GetKind()) {
    case InputDetector::Kind::Axis:
        joystickCombo = kAxisRows[m_detector.Row()].joystickCombo;
        inputCombo = kAxisRows[m_detector.Row()].inputCombo;
        break;
    case InputDetector::Kind::Button:
        joystickCombo = kButtonRows[m_detector.Row()].joystickCombo;
        inputCombo = kButtonRows[m_detector.Row()].buttonCombo;
        break;
    case InputDetector::Kind::Hat:
        break;
    }
    // A button row given an axis takes the axis's entry of its Button combo.
    const int position
        = found.threshold != 0 ? AxisButtonEntries::PositionOf({ found.input, found.threshold }) : found.input;
    m_view->ComboSetSelection(joystickCombo, found.slot);
    OnSelectionChange(model, joystickCombo, found.slot);
    m_view->ComboSetSelection(inputCombo, position);
    OnSelectionChange(model, inputCombo, position);
}
