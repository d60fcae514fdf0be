// The typed set-up: where each of its fields lies in the block.
#include "mapping/SetUp.h"

#include "mapping/CockpitButtons.h"
#include "mapping/GenericSimBlock.h"

#include <cstring>

namespace Block = GenericSimBlock;
namespace Axes = CockpitAxisTable;
namespace Buttons = CockpitButtonTable;

namespace {

constexpr std::size_t TuningOffset(TuningValue value)
{
    return Block::kControlSettings + sizeof(double) * static_cast<std::size_t>(value);
}

static_assert(kTuningValueCount == static_cast<int>(Block::kControlSettingsCount));
static_assert(kConfigurationNameLength == static_cast<int>(Block::kConfigurationNameLength));
static_assert(TuningOffset(TuningValue::PitchSensitivity) == Block::kPitchSensitivity);
static_assert(TuningOffset(TuningValue::PitchDeadBand) == Block::kPitchDeadBand);
static_assert(TuningOffset(TuningValue::RollSensitivity) == Block::kRollSensitivity);
static_assert(TuningOffset(TuningValue::RollDeadBand) == Block::kRollDeadBand);
static_assert(TuningOffset(TuningValue::PedalsSensitivity) == Block::kPedalsSensitivity);
static_assert(TuningOffset(TuningValue::PedalsDeadBand) == Block::kPedalsDeadBand);
static_assert(TuningOffset(TuningValue::TillerSensitivity) == Block::kTillerSensitivity);
static_assert(TuningOffset(TuningValue::TillerDeadBand) == Block::kTillerDeadBand);
static_assert(TuningOffset(TuningValue::ThrLvrRTimeConstant) == Block::kThrLvrRFilterTimeConstant);
static_assert(TuningOffset(TuningValue::ThrLvrLTimeConstant) == Block::kThrLvrLFilterTimeConstant);
static_assert(TuningOffset(TuningValue::ThrLvrLSensitivity) == Block::kThrLvrLSensitivity);
static_assert(TuningOffset(TuningValue::ThrLvrLOffset) == Block::kThrLvrLOffset);
static_assert(TuningOffset(TuningValue::ThrLvrRSensitivity) == Block::kThrLvrRSensitivity);
static_assert(TuningOffset(TuningValue::ThrLvrROffset) == Block::kThrLvrROffset);

bool IsButton(std::int32_t button)
{
    return button >= 0 && button < kCockpitButtonCount;
}

std::size_t ButtonRecordOffset(int button)
{
    return Block::ButtonRecord(static_cast<std::size_t>(button));
}

template <class T> bool SameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

bool SetUpValues::SavesAs(const SetUpValues& other) const
{
    for (int row = 0; row < Axes::kRowCount; ++row) {
        if (axes[row].joystickId != other.axes[row].joystickId || axes[row].input != other.axes[row].input) {
            return false;
        }
    }
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        if (buttons[b].joystickId != other.buttons[b].joystickId
            || buttons[b].buttonNumber != other.buttons[b].buttonNumber) {
            return false;
        }
    }
    return SameBits(tuning, other.tuning);
}

SetUpValues BlockSetUp::Take() const
{
    SetUpValues setUp;
    if (m_block == nullptr) {
        return setUp;
    }
    setUp.configurationIndex = Block::LoadInt32(m_block, Block::kConfigurationIndex);
    setUp.defaultJoystickId = Block::LoadInt32(m_block, Block::kDefaultJoystickId);
    std::memcpy(setUp.configurationName, static_cast<const unsigned char*>(m_block) + Block::kConfigurationName,
        sizeof setUp.configurationName);
    for (int row = 0; row < Axes::kRowCount; ++row) {
        setUp.axes[row] = LoadAxisAssignment(m_block, Axes::kRows[row].record);
    }
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        setUp.buttons[b] = LoadButtonAssignment(m_block, b);
        std::memset(setUp.buttons[b].unused, 0, sizeof setUp.buttons[b].unused);
    }
    for (int v = 0; v < kTuningValueCount; ++v) {
        setUp.tuning[v] = Block::LoadDouble(m_block, TuningOffset(static_cast<TuningValue>(v)));
    }
    return setUp;
}

void BlockSetUp::PutBack(const SetUpValues& setUp) const
{
    if (m_block == nullptr) {
        return;
    }
    Block::StoreInt32(m_block, Block::kConfigurationIndex, setUp.configurationIndex);
    Block::StoreInt32(m_block, Block::kDefaultJoystickId, setUp.defaultJoystickId);
    std::memcpy(static_cast<unsigned char*>(m_block) + Block::kConfigurationName, setUp.configurationName,
        sizeof setUp.configurationName);
    for (int row = 0; row < Axes::kRowCount; ++row) {
        StoreAxisAssignment(m_block, Axes::kRows[row].record, setUp.axes[row]);
    }
    // The four bytes after a button record's number are the simulator's.
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        const ButtonAssignment& record = setUp.buttons[b];
        const std::size_t at = ButtonRecordOffset(b);
        std::memcpy(static_cast<unsigned char*>(m_block) + at + Block::kRecordJoystickText, record.joystickText,
            sizeof record.joystickText);
        Block::StoreInt32(m_block, at + Block::kRecordJoystickId, record.joystickId);
        Block::StoreInt32(m_block, at + Block::kRecordSlot, record.slot);
        Block::StoreInt32(m_block, at + Block::kRecordInput, record.buttonNumber);
    }
    for (int v = 0; v < kTuningValueCount; ++v) {
        Block::StoreDouble(m_block, TuningOffset(static_cast<TuningValue>(v)), setUp.tuning[v]);
    }
}

std::int32_t BlockSetUp::ConfigurationIndex() const
{
    return m_block != nullptr ? Block::LoadInt32(m_block, Block::kConfigurationIndex) : 0;
}

void BlockSetUp::SetConfigurationIndex(std::int32_t index) const
{
    if (m_block != nullptr) {
        Block::StoreInt32(m_block, Block::kConfigurationIndex, index);
    }
}

std::string BlockSetUp::ConfigurationName() const
{
    char name[kConfigurationNameLength + 1] = {};
    if (m_block != nullptr) {
        Block::LoadText(m_block, Block::kConfigurationName, Block::kConfigurationNameLength, name, sizeof name);
    }
    return name;
}

void BlockSetUp::SetConfigurationName(const char* name) const
{
    if (m_block != nullptr) {
        Block::StoreText(m_block, Block::kConfigurationName, Block::kConfigurationNameLength, name);
    }
}

double BlockSetUp::Get(TuningValue value) const
{
    return m_block != nullptr ? Block::LoadDouble(m_block, TuningOffset(value)) : 0.0;
}

void BlockSetUp::Set(TuningValue value, double setting) const
{
    if (m_block != nullptr) {
        Block::StoreDouble(m_block, TuningOffset(value), setting);
    }
}

double BlockSetUp::Sensitivity(std::int32_t axis) const
{
    const CockpitAxisRow* row = Axes::Find(axis);
    if (m_block == nullptr || row == nullptr || !row->HasTuning()) {
        return 0.0;
    }
    return Block::LoadDouble(m_block, row->first);
}

void BlockSetUp::SetSensitivity(std::int32_t axis, double setting) const
{
    const CockpitAxisRow* row = Axes::Find(axis);
    if (m_block != nullptr && row != nullptr && row->HasTuning()) {
        Block::StoreDouble(m_block, row->first, setting);
    }
}

AxisAssignment BlockSetUp::AxisRecord(std::int32_t axis) const
{
    const CockpitAxisRow* row = Axes::Find(axis);
    if (m_block == nullptr || row == nullptr) {
        return AxisAssignment {};
    }
    return LoadAxisAssignment(m_block, row->record);
}

ButtonAssignment BlockSetUp::ButtonRecord(std::int32_t button) const
{
    if (m_block == nullptr || !IsButton(button)) {
        return ButtonAssignment {};
    }
    return LoadButtonAssignment(m_block, button);
}

double BlockSetUp::Output(std::int32_t axis) const
{
    const CockpitAxisRow* row = Axes::Find(axis);
    if (m_block == nullptr || row == nullptr || row->output == 0) {
        return 0.0;
    }
    return Block::LoadDouble(m_block, row->output);
}

bool BlockSetUp::ButtonPublished(std::int32_t button) const
{
    if (m_block == nullptr || !IsButton(button) || Buttons::kRows[button].published == 0) {
        return false;
    }
    return Block::LoadByte(m_block, Buttons::kRows[button].published) != 0;
}

bool BlockSetUp::GearFlag() const
{
    return m_block != nullptr
        && (Block::LoadByte(m_block, Block::kGearFlag1) != 0 || Block::LoadByte(m_block, Block::kGearFlag2) != 0);
}

bool BlockSetUp::ParkBrakeFlag() const
{
    return m_block != nullptr
        && (Block::LoadByte(m_block, Block::kParkBrakeFlag1) != 0
            || Block::LoadByte(m_block, Block::kParkBrakeFlag2) != 0);
}
