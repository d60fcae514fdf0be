// ControlProcessor: attachment, assignment resolution and the per-cycle
// processing from joystick readings to the block's cockpit values. The
// configuration file operations are defined in config/.
//
// The block is shared with programs that may write anything into it, so every
// slot, input, button and POV number taken from its records is checked before
// it indexes a state record, and no value that is not finite, or beyond the
// outputs' physical limits (below), is published or kept in a filter.
#include "mapping/ControlProcessor.h"

#include "mapping/BlockKeeper.h"
#include "mapping/CockpitButtons.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "mapping/LinkValues.h"
#include "mapping/OutputLimits.h"
#include "support/TextFunctions.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

namespace Block = GenericSimBlock;
namespace Axes = CockpitAxisTable;
namespace Buttons = CockpitButtonTable;

namespace {

constexpr const char* kOutOfRange = "Out Of Range";

// Physical limits of the outputs (mapping/OutputLimits.h): beyond them the
// stick value is held at the limit, so the stick filters recover within a few
// time constants, and a thrust lever keeps its last good value.
using OutputLimits::kLongestThrustLeverTimeConstant;
using OutputLimits::kStickLimitDegrees;
using OutputLimits::kThrustLeverHighest;
using OutputLimits::kThrustLeverLowest;

double Limited(double value, double limit)
{
    return value < -limit ? -limit : (value > limit ? limit : value);
}

// Detents of the thrust levers, in percent of travel.
constexpr double kFirstDetent = 80.0;
constexpr double kSecondDetent = 92.0;
constexpr double kDetentWidth = 3.0;
constexpr double kFullThrustFrom = 99.0;
constexpr double kFullThrust = 100.0;

enum GateIndex { Gate1, Gate2, Value1, Width1, Gate3, Gate4, Value2, Width2 };

constexpr int kMaxButtonNumber = 32;
constexpr std::int32_t kPositionInputs = 8; // X to SL2; then the speeds and accelerations
constexpr int kPovCount = 4;

double DeadBand(double x, double band)
{
    if (x < -band) {
        return x + band;
    }
    if (x > band) {
        return x - band;
    }
    return 0.0;
}

// The state record of a slot in 0..3, or null for any other slot. Used where
// the record's content counts even when the slot is not attached this cycle.
const JoystickState* SlotRecord(const JoystickState* const states[kJoystickSlots], std::int32_t slot)
{
    if (states == nullptr || slot < 0 || slot >= kJoystickSlots) {
        return nullptr;
    }
    return states[slot];
}

// The state record of an attached slot, or null.
const JoystickState* AttachedRecord(
    const JoystickState* const states[kJoystickSlots], std::int32_t slot, std::int32_t attachedCount)
{
    if (slot >= attachedCount) {
        return nullptr;
    }
    return SlotRecord(states, slot);
}

std::uint32_t NextWarningSerial()
{
    static std::atomic<std::uint32_t> last { 0 };
    return ++last;
}

// Appends `text` to the zero-terminated `buffer` of `size` characters.
void Append(char* buffer, std::size_t size, const char* text)
{
    std::size_t n = std::strlen(buffer);
    while (n + 1 < size && *text != '\0') {
        buffer[n++] = *text++;
    }
    buffer[n] = '\0';
}

} // namespace

ControlProcessor::ControlProcessor()
{
    ClearWarnings();

    double* gates = m_thrustLeverGates;
    gates[Gate1] = kFirstDetent;
    gates[Gate2] = kFirstDetent + kDetentWidth;
    gates[Value1] = kFirstDetent;
    gates[Width1] = gates[Gate2] - gates[Gate1];
    gates[Gate3] = kSecondDetent + kDetentWidth;
    gates[Gate4] = gates[Gate3] + kDetentWidth;
    gates[Value2] = gates[Gate3];
    gates[Width2] = gates[Gate4] - gates[Gate3];
}

ControlProcessor::~ControlProcessor()
{
    Detach();
    for (auto& filter : m_filters) {
        filter.reset();
    }
}

bool ControlProcessor::Attach()
{
    for (auto& filter : m_filters) {
        filter.reset();
    }
    m_keeper.reset();
    m_block = nullptr;

    m_keeper = std::make_unique<BlockKeeper>(ReleaseControlOutputs);
    if (!m_keeper->Attach()) {
        SetErrorText(m_keeper->ErrorText());
        return false;
    }
    m_block = m_keeper->Block();
    PrepareBlock();
    return true;
}

void ControlProcessor::WaitForBlock()
{
    if (m_keeper == nullptr || m_keeper->Block() != nullptr) {
        return; // only after an Attach that failed
    }
    const std::string note = m_keeper->WorkOnStandIn();
    m_block = m_keeper->Block();
    PrepareBlock();
    AddNote(note.c_str(), NoteKind::Stays);
}

void ControlProcessor::KeepBlock()
{
    if (m_keeper == nullptr || m_block == nullptr) {
        return;
    }
    const char* note = m_keeper->Keep();
    m_block = m_keeper->Block();
    if (note != nullptr) {
        AddNote(note, NoteKind::Stays);
    }
}

void ControlProcessor::PrepareBlock()
{
    ApplyFilterTimeConstants();

    for (int row = 0; row < Axes::kRowCount; ++row) {
        if (Axes::kRows[row].filter != AxisFilter::None) {
            m_filters[row].emplace(kPitchRollTimeConstant);
            m_filters[row]->ResetFilter(0.0);
        }
    }

    // Dead bands, offsets and the left lever's filter time constant, until a
    // configuration file replaces them.
    for (const CockpitAxisRow& row : Axes::kRows) {
        if (row.HasTuning()) {
            Block::StoreDouble(m_block, row.second, row.secondOnAttach);
        }
    }
    m_lastTopIndex = 0;
}

void ControlProcessor::Detach()
{
    ReleaseControls();
    m_keeper.reset();
    m_block = nullptr;
}

void ControlProcessor::ReleaseControls()
{
    if (m_block == nullptr) {
        return;
    }
    ReleaseControlOutputs(m_block);
    for (int row = 0; row < Axes::kRowCount; ++row) {
        if (Axes::kRows[row].kind == AxisKind::StickAxis && m_filters[row]) {
            m_filters[row]->ResetFilter(0.0);
        }
    }
}

void ControlProcessor::SetCounts(std::int32_t attachedCount, std::int32_t inputCount)
{
    m_attachedCount = attachedCount;
    m_inputCount = inputCount;
}

void ControlProcessor::ApplyFilterTimeConstants()
{
    if (m_block == nullptr) {
        return;
    }
    for (int row = 0; row < Axes::kRowCount; ++row) {
        const CockpitAxisRow& axis = Axes::kRows[row];
        if (axis.filter == AxisFilter::TimeConstantSetting && m_filters[row]) {
            const double seconds = Block::LoadDouble(m_block, axis.filterTimeConstant);
            m_filters[row]->SetTimeConstant(seconds <= kLongestThrustLeverTimeConstant ? seconds : -1.0);
        }
    }
}

double ControlProcessor::Filtered(int row, double value, double period)
{
    auto& filter = m_filters[row];
    if (!filter) {
        return value;
    }
    return filter->Iterate(value, period);
}

double ControlProcessor::Published(int row, double value)
{
    if (std::isfinite(value)) {
        return value;
    }
    // One garbage tuning value must not poison the filter for the rest of the run.
    if (auto& filter = m_filters[row]) {
        filter->ResetFilter(0.0);
    }
    return 0.0;
}

double ControlProcessor::ThrustLeverPercent(
    double value, double minimum, double maximum, double sensitivity, double offset) const
{
    // A slot that never held a joystick has a range of 0: no travel, not 0/0.
    const double travel = maximum == minimum ? 0.0 : (maximum - value) / (maximum - minimum) * 100.0;
    const double t = travel * sensitivity + offset;
    if (!std::isfinite(t)) {
        return t;
    }
    const double* gates = m_thrustLeverGates;
    if (t < gates[Gate1]) {
        return t;
    }
    if (t < gates[Gate2]) {
        return gates[Value1];
    }
    if (t < gates[Gate3]) {
        return t - gates[Width1];
    }
    if (t < gates[Gate4]) {
        return gates[Value2] - gates[Width1];
    }
    if (t < kFullThrustFrom) {
        return t - gates[Width1] - gates[Width2];
    }
    return kFullThrust;
}

double ControlProcessor::AxisValue(
    int row, const AxisAssignment& record, const JoystickState* const states[kJoystickSlots]) const
{
    const double value = static_cast<double>(ReadInput(record.input, record.slot, states, m_attachedCount));
    const ResponseCurve& curve = m_curves[row];
    // Plain LINEAR is no curve at all, and speeds and accelerations are never curved.
    if (curve.IsPlainLinear() || record.input < 0 || record.input >= kPositionInputs) {
        return value;
    }
    return curve.Apply(value);
}

void ControlProcessor::ProcessStickAxis(int row, double period, const JoystickState* const states[kJoystickSlots])
{
    const CockpitAxisRow& axis = Axes::kRows[row];
    const AxisAssignment record = LoadAxisAssignment(m_block, axis.record);
    double x = AxisValue(row, record, states) * Block::LoadDouble(m_block, axis.first);
    if (std::isfinite(x)) {
        x = Filtered(row, Limited(x, kStickLimitDegrees), period);
    }
    if (std::isfinite(x)) {
        x = DeadBand(x, Block::LoadDouble(m_block, axis.second));
    }
    if (std::isfinite(x)) {
        x = Limited(x, kStickLimitDegrees); // a garbage dead band can push it out again
    }
    Block::StoreDouble(m_block, axis.output, Published(row, x));
}

void ControlProcessor::ProcessThrustLever(int row, double period, const JoystickState* const states[kJoystickSlots])
{
    const CockpitAxisRow& axis = Axes::kRows[row];
    const AxisAssignment record = LoadAxisAssignment(m_block, axis.record);
    const double value = AxisValue(row, record, states);
    const JoystickState* range = SlotRecord(states, record.slot);
    const double minimum = range != nullptr ? static_cast<double>(range->axisMinimum) : 0.0;
    const double maximum = range != nullptr ? static_cast<double>(range->axisMaximum) : 0.0;

    double t = ThrustLeverPercent(
        value, minimum, maximum, Block::LoadDouble(m_block, axis.first), Block::LoadDouble(m_block, axis.second));
    if (std::isfinite(t) && t >= kThrustLeverLowest && t <= kThrustLeverHighest) {
        t = Filtered(row, t, period);
    } else {
        // Garbage (NaN included) neither reaches the filter nor idles the
        // lever: the last good value stays, and the next good input goes on from it.
        t = m_filters[row] ? m_filters[row]->GetMemory() : 0.0;
    }
    if (m_publishFlags[axis.publishFlag] != 0) {
        Block::StoreDouble(m_block, axis.output, t);
    }
}

std::uint8_t ControlProcessor::ButtonState(std::int32_t button, const JoystickState* const states[kJoystickSlots]) const
{
    const ButtonAssignment record = LoadButtonAssignment(m_block, button);
    const std::int32_t number = record.buttonNumber;
    if (number < 1 || number > kMaxButtonNumber) {
        return 0; // -1 not assigned, 0 no button, anything else is not a button
    }
    const JoystickState* state = AttachedRecord(states, record.slot, m_attachedCount);
    if (state == nullptr || number > state->buttonCount) {
        return 0;
    }
    return state->buttons[number - 1] != 0 ? 1 : 0;
}

std::uint8_t ControlProcessor::AxisButtonState(std::int32_t button, const JoystickState* const states[kJoystickSlots])
{
    // Whatever the button number says, NA included; a joystick that is not
    // attached lets go, so the button does not stay held inside its hysteresis.
    const ButtonAssignment record = LoadButtonAssignment(m_block, button);
    if (AttachedRecord(states, record.slot, m_attachedCount) == nullptr) {
        m_axisButtons.Release(button);
        return 0;
    }
    const AxisButtonSetting setting = m_axisButtons.Get(button);
    return m_axisButtons.Update(button, record.slot, ReadInput(setting.axis, record.slot, states, m_attachedCount));
}

void ControlProcessor::ProcessCycle(
    double period, const JoystickState* const states[kJoystickSlots], std::int32_t topIndex)
{
    if (m_block == nullptr) {
        return;
    }
    if (m_cycleCount == 0) {
        ResolveAssignments(states, m_attachedCount);
        ApplyFilterTimeConstants();
    }
    if (m_cycleCount < std::numeric_limits<std::int32_t>::max()) {
        ++m_cycleCount; // never back to 0, which would resolve again
    }
    if (topIndex != m_lastTopIndex) {
        ResolveAssignments(states, m_attachedCount);
    }
    m_lastTopIndex = topIndex;

    // An axis without a filter (pedals, tiller) passes the stick-axis path unfiltered.
    for (const std::int32_t row : Axes::kCycleOrder) {
        if (Axes::kRows[row].kind == AxisKind::ThrustLever) {
            ProcessThrustLever(row, period, states);
        } else {
            ProcessStickAxis(row, period, states);
        }
    }

    for (const std::int32_t button : Buttons::kFileOrder) {
        m_buttonStates[button]
            = m_axisButtons.Drives(button) ? AxisButtonState(button, states) : ButtonState(button, states);
    }
    PublishButtons();
    FillSwitchPanel(states);
}

void ControlProcessor::PublishButtons()
{
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        if (!Buttons::FirstToPublish(b)) {
            continue;
        }
        const std::size_t byte = Buttons::kRows[b].published;
        std::uint8_t pressed = 0;
        for (int c = b; c < kCockpitButtonCount; ++c) {
            if (Buttons::kRows[c].published == byte && m_buttonStates[c] != 0) {
                pressed = 1;
            }
        }
        Block::StoreByte(m_block, byte, pressed);
    }
}

void ControlProcessor::FillSwitchPanel(const JoystickState* const states[kJoystickSlots])
{
    const std::uint8_t* pressed = m_buttonStates;
    bool gearRising = false;
    bool gearFalling = false;
    m_gearLever.SetFlag(pressed[ButtonGearLvr] != 0);
    m_gearLever.GetEdges(gearRising, gearFalling);
    bool parkRising = false;
    bool parkFalling = false;
    m_parkBrake.SetFlag(pressed[ButtonParkBrk] != 0);
    m_parkBrake.GetEdges(parkRising, parkFalling);

    if (m_switchPanel == nullptr) {
        return;
    }
    SwitchPanelState& panel = *m_switchPanel;

    const AxisAssignment eye = LoadAxisAssignment(m_block, Block::kEyeViewRecord);
    if (eye.input >= 1 && eye.input <= kPovCount && m_attachedCount >= 1) {
        const std::int32_t top = m_attachedCount < kJoystickSlots ? m_attachedCount - 1 : kJoystickSlots - 1;
        const std::int32_t slot = eye.slot < 0 ? 0 : (eye.slot > top ? top : eye.slot);
        if (const JoystickState* state = SlotRecord(states, slot)) {
            panel.eyeAngle = static_cast<std::int32_t>(state->pov[eye.input - 1]);
        }
    }

    panel.gearAlwaysOne = 1;
    panel.parkBrakeAlwaysOne = 1;
    panel.gearPressed = gearRising ? 1 : 0;
    panel.gearReleased = gearFalling ? 1 : 0;
    panel.parkBrakePressed = parkRising ? 1 : 0;
    panel.parkBrakeReleased = parkFalling ? 1 : 0;
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        if (Buttons::kRows[b].switchField != nullptr) {
            panel.*Buttons::kRows[b].switchField = pressed[b];
        }
    }
}

void ControlProcessor::GetWarnings(WarningList& out) const
{
    out = m_warnings;
}

void ControlProcessor::AddWarning(const char* text)
{
    m_warnings.present = 1;
    QueueLine(text, false);
}

void ControlProcessor::AddNote(const char* text, NoteKind kind)
{
    // A note of Tavelin's own never raises the pending flag of the described warnings.
    if (kind == NoteKind::GivesWay && (m_warnings.count < 0 || m_warnings.count >= kMaxWarnings)) {
        ++m_warningChanges;
        ++m_warningsNotShown;
        return;
    }
    QueueLine(text, kind == NoteKind::GivesWay);
}

void ControlProcessor::QueueLine(const char* text, bool givesWay)
{
    ++m_warningChanges;
    if (m_warnings.count >= kMaxWarnings) {
        // A full list makes room by dropping its last note that gives way.
        for (int i = kMaxWarnings - 1; i >= 0; --i) {
            if (!m_givesWay[i]) {
                continue;
            }
            for (int j = i; j + 1 < kMaxWarnings; ++j) {
                std::memcpy(m_warnings.messages[j], m_warnings.messages[j + 1], kWarningLength);
                m_givesWay[j] = m_givesWay[j + 1];
                m_warningSerials[j] = m_warningSerials[j + 1];
            }
            --m_warnings.count;
            ++m_warningsNotShown;
            break;
        }
    }
    if (m_warnings.count < 0 || m_warnings.count >= kMaxWarnings) {
        ++m_warningsNotShown;
        return;
    }
    CopyBounded(m_warnings.messages[m_warnings.count], text != nullptr ? text : "", kWarningLength);
    m_givesWay[m_warnings.count] = givesWay;
    m_warningSerials[m_warnings.count] = NextWarningSerial();
    ++m_warnings.count;
}

void ControlProcessor::ClearWarnings()
{
    std::memset(&m_warnings, 0, sizeof m_warnings);
    m_warningsNotShown = 0;
    ++m_warningChanges;
    for (bool& givesWay : m_givesWay) {
        givesWay = false;
    }
    for (std::uint32_t& serial : m_warningSerials) {
        serial = 0;
    }
}

std::uint32_t ControlProcessor::GetWarningSerial(int i) const
{
    return i >= 0 && i < m_warnings.count && i < kMaxWarnings ? m_warningSerials[i] : 0;
}

const char* ControlProcessor::GetSlotName(int slot) const
{
    if (slot < 0 || slot >= kJoystickSlots) {
        return kOutOfRange;
    }
    return m_slotNames[slot];
}

void ControlProcessor::SetSlotName(const char* text, int slot)
{
    if (slot < 0 || slot >= kJoystickSlots || text == nullptr) {
        return;
    }
    CopyBounded(m_slotNames[slot], text, static_cast<int>(sizeof m_slotNames[slot]));
}

std::int32_t ControlProcessor::ReadInput(std::int32_t input, std::int32_t slot,
    const JoystickState* const states[kJoystickSlots], std::int32_t attachedCount)
{
    const JoystickState* state = AttachedRecord(states, slot, attachedCount);
    if (state == nullptr || input < 0 || input >= kAxisInputCount) {
        return 0;
    }
    if (input < 8) {
        return state->axes[input];
    }
    if (input < 16) {
        return state->velocities[input - 8];
    }
    return state->accelerations[input - 16];
}

// --- assignment accessors ---------------------------------------------------

std::int32_t ControlProcessor::GetAxisInput(std::int32_t axis) const
{
    const std::size_t record = AxisRecordOffset(axis);
    if (m_block == nullptr || record == 0) {
        return 0;
    }
    return Block::LoadInt32(m_block, record + Block::kRecordInput);
}

std::int32_t ControlProcessor::GetAxisSlot(std::int32_t axis) const
{
    const std::size_t record = AxisRecordOffset(axis);
    if (m_block == nullptr || record == 0) {
        return 0;
    }
    return Block::LoadInt32(m_block, record + Block::kRecordSlot);
}

void ControlProcessor::SetAxisAssignment(
    std::int32_t axis, std::int32_t slot, std::int32_t joystickId, std::int32_t input)
{
    if (m_block == nullptr || axis == AxisEyeView) {
        return;
    }
    const std::size_t record = AxisRecordOffset(axis);
    if (record == 0) {
        return;
    }
    Block::StoreInt32(m_block, record + Block::kRecordSlot, slot);
    Block::StoreInt32(m_block, record + Block::kRecordJoystickId, joystickId);
    Block::StoreInt32(m_block, record + Block::kRecordInput, input);
    // The joystick chosen is this very one, even among identical ones.
    SetControlInstance(false, axis, GetSlotInstance(slot));
}

void ControlProcessor::SetButtonAssignment(
    std::int32_t button, std::int32_t slot, std::int32_t buttonNumber, std::int32_t joystickId)
{
    if (m_block == nullptr || button < 0 || button >= kCockpitButtonCount) {
        return;
    }
    const std::size_t record = Block::ButtonRecord(static_cast<std::size_t>(button));
    Block::StoreInt32(m_block, record + Block::kRecordSlot, slot);
    Block::StoreInt32(m_block, record + Block::kRecordInput, buttonNumber);
    Block::StoreInt32(m_block, record + Block::kRecordJoystickId, joystickId);

    // The simulator reads the low byte, so "not assigned" (-1) shows as 255.
    const std::size_t mirror = Buttons::kRows[button].mirror;
    if (mirror != 0) {
        Block::StoreByte(m_block, mirror, static_cast<std::uint8_t>(static_cast<std::uint32_t>(buttonNumber) & 0xFFu));
    }
}

void ControlProcessor::SetButtonJoystick(std::int32_t button, std::int32_t slot, std::int32_t joystickId)
{
    SetButtonAssignment(button, slot, GetButtonNumber(button), joystickId);
    SetControlInstance(true, button, GetSlotInstance(slot));
}

void ControlProcessor::SetButtonNumber(std::int32_t button, std::int32_t buttonNumber)
{
    if (m_block == nullptr || button < 0 || button >= kCockpitButtonCount) {
        return;
    }
    const ButtonAssignment record = LoadButtonAssignment(m_block, button);
    SetButtonAssignment(button, record.slot, buttonNumber, record.joystickId);
}

std::int32_t ControlProcessor::GetButtonSlot(std::int32_t button) const
{
    if (m_block == nullptr || button < 0 || button >= kCockpitButtonCount) {
        return 0;
    }
    return LoadButtonAssignment(m_block, button).slot;
}

std::int32_t ControlProcessor::GetButtonNumber(std::int32_t button) const
{
    if (m_block == nullptr || button < 0 || button >= kCockpitButtonCount) {
        return 0;
    }
    return LoadButtonAssignment(m_block, button).buttonNumber;
}

void ControlProcessor::SetEyeViewJoystick(std::int32_t slot, std::int32_t joystickId)
{
    // The top is inclusive: slot equal to the count is accepted (the
    // processing limits it to an attached slot).
    if (m_block == nullptr || slot < 0 || slot > m_attachedCount) {
        return;
    }
    Block::StoreInt32(m_block, Block::kEyeViewRecord + Block::kRecordSlot, slot);
    Block::StoreInt32(m_block, Block::kEyeViewRecord + Block::kRecordJoystickId, joystickId);
    SetControlInstance(false, AxisEyeView, GetSlotInstance(slot));
}

void ControlProcessor::SetEyeViewInput(std::int32_t povNumber)
{
    if (m_block == nullptr || povNumber < 0 || povNumber >= 4) {
        return;
    }
    Block::StoreInt32(m_block, Block::kEyeViewRecord + Block::kRecordInput, povNumber);
}

std::int32_t ControlProcessor::GetEyeViewSlot() const
{
    return GetAxisSlot(AxisEyeView);
}

std::int32_t ControlProcessor::GetEyeViewInput() const
{
    return GetAxisInput(AxisEyeView);
}

// --- what the configuration files hold ------------------------------------------

void ControlProcessor::SetCurrentConfigurationPath(const char* path)
{
    CopyBounded(m_currentPath, path != nullptr ? path : "", static_cast<int>(sizeof m_currentPath));
}

AxisAssignment ControlProcessor::GetAxisRecord(int entry) const
{
    if (m_block == nullptr || entry < 0 || entry >= Axes::kRowCount) {
        return AxisAssignment {};
    }
    return LoadAxisAssignment(m_block, Axes::kRows[entry].record);
}

void ControlProcessor::SetAxisRecord(int entry, const AxisAssignment& record)
{
    if (m_block == nullptr || entry < 0 || entry >= Axes::kRowCount) {
        return;
    }
    StoreAxisAssignment(m_block, Axes::kRows[entry].record, record);
}

double ControlProcessor::GetTuning(int entry, Tuning which) const
{
    if (m_block == nullptr || entry < 0 || entry >= Axes::kRowCount || !Axes::kRows[entry].HasTuning()) {
        return 0.0;
    }
    const CockpitAxisRow& row = Axes::kRows[entry];
    return Block::LoadDouble(m_block, which == Tuning::First ? row.first : row.second);
}

void ControlProcessor::SetTuning(int entry, Tuning which, double value)
{
    if (m_block == nullptr || entry < 0 || entry >= Axes::kRowCount || !Axes::kRows[entry].HasTuning()) {
        return;
    }
    const CockpitAxisRow& row = Axes::kRows[entry];
    Block::StoreDouble(m_block, which == Tuning::First ? row.first : row.second, value);
}

ButtonAssignment ControlProcessor::GetButtonRecord(std::int32_t button) const
{
    if (m_block == nullptr || button < 0 || button >= kCockpitButtonCount) {
        return ButtonAssignment {};
    }
    return LoadButtonAssignment(m_block, button);
}

void ControlProcessor::SetButtonRecord(std::int32_t button, const ButtonAssignment& record)
{
    if (m_block == nullptr || button < 0 || button >= kCockpitButtonCount) {
        return;
    }
    StoreButtonAssignment(m_block, button, record);
}

const ResponseCurve& ControlProcessor::GetResponseCurve(int entry) const
{
    static const ResponseCurve kLinear;
    if (entry < 0 || entry >= Axes::kRowCount || Axes::kRows[entry].keys.curve == nullptr) {
        return kLinear;
    }
    return m_curves[entry];
}

void ControlProcessor::SetResponseCurve(int entry, const ResponseCurve& curve)
{
    if (entry >= 0 && entry < Axes::kRowCount && Axes::kRows[entry].keys.curve != nullptr) {
        m_curves[entry] = curve;
    }
}

std::string ControlProcessor::GetConfigurationName() const
{
    char name[Block::kConfigurationNameLength + 1] = {};
    if (m_block != nullptr) {
        Block::LoadText(m_block, Block::kConfigurationName, Block::kConfigurationNameLength, name, sizeof name);
    }
    return name;
}

void ControlProcessor::SetConfigurationName(const char* name)
{
    if (m_block != nullptr) {
        Block::StoreText(m_block, Block::kConfigurationName, Block::kConfigurationNameLength, name);
    }
}

std::int32_t ControlProcessor::GetDefaultJoystickId() const
{
    return m_block != nullptr ? Block::LoadInt32(m_block, Block::kDefaultJoystickId) : 0;
}

void ControlProcessor::SetDefaultJoystickId(std::int32_t id)
{
    if (m_block != nullptr) {
        Block::StoreInt32(m_block, Block::kDefaultJoystickId, id);
    }
}

// --- resolution -----------------------------------------------------------------

std::int32_t ControlProcessor::FindSlotForJoystick(bool isButton, std::int32_t control, std::int32_t& recordJoystickId,
    const JoystickState* const states[kJoystickSlots], std::int32_t count)
{
    const std::int32_t slots = count < kJoystickSlots ? count : kJoystickSlots;
    // Where the file names an instance, it chooses among joysticks of one
    // ID; without it (or without a joystick that has it) the lowest slot.
    ControlInstance* instance = InstanceOf(isButton, control);
    const bool wants = instance != nullptr && !instance->wanted.empty();
    std::int32_t first = -1;
    for (std::int32_t slot = 0; slot < slots; ++slot) {
        const JoystickState* state = SlotRecord(states, slot);
        if (state == nullptr || state->joystickId != static_cast<std::uint32_t>(recordJoystickId)) {
            continue;
        }
        if (!wants || instance->wanted == m_slotIdentities[slot].instance) {
            if (wants) {
                instance->missingNoted = false;
            }
            return slot;
        }
        first = first < 0 ? slot : first;
    }
    if (first >= 0) {
        if (wants && !instance->missingNoted) {
            instance->missingSlot = first; // said by ResolveAssignments, one line per instance
        }
        return first;
    }
    if (recordJoystickId != 0) {
        char text[kWarningLength] = "JoyStick Id for ";
        Append(text, sizeof text, isButton ? CockpitButtonName(control) : CockpitAxisName(control));
        Append(text, sizeof text, " in the ini file has no match with any attached Joy sticks");
        AddWarning(text);
    }
    recordJoystickId = static_cast<std::int32_t>(m_slotZeroJoystickId);
    return 0;
}

void ControlProcessor::NoteMissingInstances()
{
    // Every control that wants one absent instance, in one line.
    const auto each = [this](const auto& visit) {
        for (int axis = 0; axis < kInstanceAxes; ++axis) {
            visit(false, axis, m_axisInstances[axis]);
        }
        for (int button : Buttons::kFileOrder) {
            visit(true, button, m_buttonInstances[button]);
        }
    };
    each([&](bool, std::int32_t, ControlInstance& lead) {
        if (lead.missingSlot < 0) {
            return;
        }
        char text[kWarningLength];
        FormatBounded(text, static_cast<int>(sizeof text),
            "Joystick %s is not attached: %s in slot %d, the first joystick of its ID, takes", lead.wanted.c_str(),
            GetSlotName(lead.missingSlot), static_cast<int>(lead.missingSlot));
        const std::string wanted = lead.wanted;
        const std::int32_t slot = lead.missingSlot;
        bool firstName = true;
        each([&](bool isButton, std::int32_t control, ControlInstance& entry) {
            if (entry.missingSlot == slot && entry.wanted == wanted) {
                Append(text, sizeof text, firstName ? " " : ", ");
                Append(text, sizeof text, isButton ? CockpitButtonName(control) : CockpitAxisName(control));
                firstName = false;
                entry.missingSlot = -1;
                entry.missingNoted = true;
            }
        });
        AddNote(text, NoteKind::Stays);
    });
}

ControlProcessor::ControlInstance* ControlProcessor::InstanceOf(bool isButton, std::int32_t control)
{
    if (isButton) {
        return control >= 0 && control < kCockpitButtonCount ? &m_buttonInstances[control] : nullptr;
    }
    return control >= 0 && control < kInstanceAxes ? &m_axisInstances[control] : nullptr;
}

void ControlProcessor::SetControlInstance(bool isButton, std::int32_t control, const char* instance)
{
    if (ControlInstance* entry = InstanceOf(isButton, control)) {
        entry->wanted = instance != nullptr ? instance : "";
        entry->missingNoted = false;
        entry->missingSlot = -1;
    }
}

const char* ControlProcessor::GetControlInstance(bool isButton, std::int32_t control) const
{
    const ControlInstance* entry = const_cast<ControlProcessor*>(this)->InstanceOf(isButton, control);
    return entry != nullptr ? entry->wanted.c_str() : "";
}

void ControlProcessor::ClearControlInstances()
{
    for (ControlInstance& entry : m_axisInstances) {
        entry = ControlInstance {};
    }
    for (ControlInstance& entry : m_buttonInstances) {
        entry = ControlInstance {};
    }
}

void ControlProcessor::SetSlotIdentity(int slot, bool occupied, std::uint32_t joystickId, const char* instanceKey)
{
    if (slot < 0 || slot >= kJoystickSlots) {
        return;
    }
    SlotIdentity& identity = m_slotIdentities[slot];
    identity.occupied = occupied;
    identity.joystickId = occupied ? joystickId : 0;
    CopyBounded(identity.instance, occupied && instanceKey != nullptr ? instanceKey : "",
        static_cast<int>(sizeof identity.instance));
}

const char* ControlProcessor::GetSlotInstance(int slot) const
{
    return slot >= 0 && slot < kJoystickSlots ? m_slotIdentities[slot].instance : "";
}

std::uint32_t ControlProcessor::GetSlotJoystickId(int slot) const
{
    return slot >= 0 && slot < kJoystickSlots ? m_slotIdentities[slot].joystickId : 0;
}

bool ControlProcessor::SlotHasTwin(int slot) const
{
    if (slot < 0 || slot >= kJoystickSlots || !m_slotIdentities[slot].occupied) {
        return false;
    }
    for (int other = 0; other < kJoystickSlots; ++other) {
        if (other != slot && m_slotIdentities[other].occupied
            && m_slotIdentities[other].joystickId == m_slotIdentities[slot].joystickId) {
            return true;
        }
    }
    return false;
}

void ControlProcessor::ResolveAssignments(const JoystickState* const states[kJoystickSlots], std::int32_t count)
{
    if (m_block == nullptr) {
        return;
    }
    const auto resolve = [&](bool isButton, std::int32_t control, std::size_t record) {
        std::int32_t id = Block::LoadInt32(m_block, record + Block::kRecordJoystickId);
        const std::int32_t slot = FindSlotForJoystick(isButton, control, id, states, count);
        Block::StoreInt32(m_block, record + Block::kRecordJoystickId, id);
        Block::StoreInt32(m_block, record + Block::kRecordSlot, slot);
    };
    // The thrust-lever filter record has no CockpitAxis and drives nothing: not resolved.
    for (const CockpitAxisRow& row : Axes::kRows) {
        if (row.axis != kNoCockpitAxis) {
            resolve(false, row.axis, row.record);
        }
    }
    for (const std::int32_t button : Buttons::kFileOrder) {
        resolve(true, button, Block::ButtonRecord(static_cast<std::size_t>(button)));
    }
    NoteMissingInstances();
}

// --- display decisions --------------------------------------------------------

const char* ControlProcessor::ShowEyeView(const SwitchPanelState& panel)
{
    switch (panel.eyeAngle) {
    case 0:
    case 360:
        return "Looking  Ahead";
    case 45:
        return "Looking  Front Right";
    case 90:
        return "Looking  Right";
    case 135:
        return "Looking  Behind Right";
    case 180:
        return "Looking  Behind";
    case 225:
        return "Looking  Behind Left";
    case 270:
        return "Looking  Left";
    case 315:
        return "Looking  Front Left";
    default:
        return "      ---          ";
    }
}

GearAndParkBrakeDisplay ControlProcessor::ShowGearAndParkBrake(const void* block, const SwitchPanelState& panel)
{
    // The view is only read here.
    return ShowGearAndParkBrake(BlockSetUp(const_cast<void*>(block)), panel);
}

GearAndParkBrakeDisplay ControlProcessor::ShowGearAndParkBrake(const BlockSetUp& block, const SwitchPanelState& panel)
{
    GearAndParkBrakeDisplay display {};
    display.gearLamp = panel.gearState != 0 ? LampPicture::On : LampPicture::Off;
    display.parkBrakeLamp = panel.parkBrakeState != 0 ? LampPicture::On : LampPicture::Off;
    display.gearMessage = nullptr;
    display.parkBrakeMessage = nullptr;
    if (!block.Attached()) {
        return display;
    }
    if (panel.gearPressed != 0) {
        display.gearMessage = block.GearFlag() ? "Gear Lever set to DOWN" : "Gear Lever set to UP";
    }
    if (panel.parkBrakePressed != 0) {
        display.parkBrakeMessage = block.ParkBrakeFlag() ? "Park Brake to OFF" : "Park Brake to ON";
    }
    return display;
}

NeutralIndicatorDisplay ControlProcessor::ShowNeutralIndicator(const BlockSetUp& block, bool& deflected)
{
    return ShowNeutralIndicator(block.Block(), deflected);
}

NeutralIndicatorDisplay ControlProcessor::ShowNeutralIndicator(const void* block, bool& deflected)
{
    NeutralIndicatorDisplay display { false, LampPicture::Off };
    if (block == nullptr) {
        return display;
    }
    bool outside = false;
    for (const CockpitAxisRow& row : Axes::kRows) {
        if (row.lightsSideStickLamp && !outside) {
            outside = std::fabs(Block::LoadDouble(block, row.output)) > Block::LoadDouble(block, row.second);
        }
    }
    if (outside) {
        display = { true, LampPicture::On };
        deflected = true;
    } else if (deflected) {
        display = { true, LampPicture::Off };
        deflected = false;
    }
    return display;
}
