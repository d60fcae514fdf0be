// The default set-up is made in a private copy of the block, never in the
// shared one: a first start must not disturb what the simulator reads before
// the file has been loaded the ordinary way.
#include "config/DefaultConfiguration.h"

#include "config/ConfigurationText.h"
#include "config/Ini_File_Reader.h"
#include "mapping/Assignments.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"

#include <cstdint>
#include <vector>

namespace Block = GenericSimBlock;

namespace {

// Full deflection (10000 counts) gives the window's display range in degrees.
constexpr double kPitchSensitivity = 20.0 / 10000.0;
constexpr double kRollSensitivity = 25.0 / 10000.0;
constexpr double kPedalsSensitivity = 25.0 / 10000.0;
constexpr double kTillerSensitivity = 15.0 / 10000.0;
constexpr double kDeadBand = 0.5;
constexpr double kThrustLeverTimeConstant = 0.5;

class DefaultSetUp : public ControlProcessor {
public:
    DefaultSetUp()
        : m_memory(Block::kSize, 0)
    {
        m_block = m_memory.data();
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            SetSlotName("No Joy Stick Attached", slot);
        }
        SetSlotZeroJoystickId(0);
        Block::StoreInt32(m_block, Block::kDefaultJoystickId, 0);

        Axis(Block::kPitchRecord, InputY);
        Axis(Block::kRollRecord, InputX);
        Axis(Block::kPedalsRecord, InputRz);
        Axis(Block::kTillerRecord, InputSL2);
        Axis(Block::kThrLvrLRecord, InputZ);
        Axis(Block::kThrLvrRRecord, InputSL1);
        Axis(Block::kThrustLeverFilterRecord, 0);
        Axis(Block::kEyeViewRecord, 1);

        Block::StoreDouble(m_block, Block::kPitchSensitivity, kPitchSensitivity);
        Block::StoreDouble(m_block, Block::kRollSensitivity, kRollSensitivity);
        Block::StoreDouble(m_block, Block::kPedalsSensitivity, kPedalsSensitivity);
        Block::StoreDouble(m_block, Block::kTillerSensitivity, kTillerSensitivity);
        for (const std::size_t deadBand :
            { Block::kPitchDeadBand, Block::kRollDeadBand, Block::kPedalsDeadBand, Block::kTillerDeadBand }) {
            Block::StoreDouble(m_block, deadBand, kDeadBand);
        }
        Block::StoreDouble(m_block, Block::kThrLvrLSensitivity, 1.0);
        Block::StoreDouble(m_block, Block::kThrLvrRSensitivity, 1.0);
        Block::StoreDouble(m_block, Block::kThrLvrLOffset, 0.0);
        Block::StoreDouble(m_block, Block::kThrLvrROffset, 0.0);
        Block::StoreDouble(m_block, Block::kThrLvrLFilterTimeConstant, kThrustLeverTimeConstant);
        Block::StoreDouble(m_block, Block::kThrLvrRFilterTimeConstant, kThrustLeverTimeConstant);

        // Buttons 1 to 16 down the file; PTT is left for the operator.
        const std::int32_t fileOrder[] = { ButtonApDisc, ButtonAtDisc, ButtonBrakeL, ButtonBrakeR, ButtonReverseL,
            ButtonReverseR, ButtonFlapIn, ButtonFlapOut, ButtonSpdBrkIn, ButtonSpdBrkOut, ButtonStabAnu, ButtonStabAnd,
            ButtonFdL, ButtonFdR, ButtonGearLvr, ButtonParkBrk };
        std::int32_t number = 1;
        for (const std::int32_t button : fileOrder) {
            Axis(Block::ButtonRecord(static_cast<std::size_t>(button)), number++);
        }
        Axis(Block::ButtonRecord(static_cast<std::size_t>(ButtonPtt)), -1);
    }

    ~DefaultSetUp() override
    {
        // Not a mapping: nothing for Detach to release.
        m_block = nullptr;
    }

    DefaultSetUp(const DefaultSetUp&) = delete;
    DefaultSetUp& operator=(const DefaultSetUp&) = delete;

private:
    void Axis(std::size_t record, std::int32_t input)
    {
        Block::StoreInt32(m_block, record + Block::kRecordJoystickId, 0);
        Block::StoreInt32(m_block, record + Block::kRecordInput, input);
    }

    std::vector<std::uint8_t> m_memory;
};

} // namespace

namespace DefaultConfiguration {

bool Write(const char* path, KQ_ErrorReport& report)
{
    DefaultSetUp setUp;
    if (!setUp.SaveConfiguration(0, path)) {
        report.SetErrorText(setUp.GetErrorText());
        return false;
    }
    return true;
}

std::string Text()
{
    const DefaultSetUp setUp;
    return ConfigurationText(setUp, 0);
}

} // namespace DefaultConfiguration

bool ControlProcessor::ReadDefaultConfiguration(const char* path)
{
    SetCurrentConfigurationPath(path);
    if (GetBlock() == nullptr) {
        ReportError("ControlProcessor::ReadDefaultConfiguration", "Shared memory is not attached");
        return false;
    }
    CIniRead reader(GetCurrentConfigurationPath());
    reader.OpenText(DefaultConfiguration::Text());
    return ReadConfiguration(*this, reader);
}
