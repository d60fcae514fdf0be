// ControlProcessor's configuration loading: a joystick configuration file
// into the block's JoystickSetup and ControlSettings. Only a missing file or
// a missing pitch or roll joystick entry fails the load; other gaps keep the
// current value, take a default with a warning, or unassign a button. The
// joystick IDs read here are matched to attached joysticks by the next
// cycle's ResolveAssignments.
#include "config/ConfigurationKeys.h"
#include "config/Ini_File_Reader.h"
#include "mapping/Assignments.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "support/TextFunctions.h"

#include <iterator>
#include <string>

namespace Block = GenericSimBlock;

namespace {

constexpr const char* kFlightControls = "FLIGHT_CONTROLS";
constexpr const char* kButtonControls = "BUTTON_CONTROLS";

// Long enough for every 32-bit number the writer puts on a JOY_ID line
// ("-2147483648"), so a saved default joystick ID reads back whole.
constexpr int kJoyIdLength = 12;
constexpr int kInputLength = 20;

// The order in which the buttons are looked up (not the file's): when several
// are missing, the error text kept is that of the last one looked up.
constexpr std::int32_t kButtonLoadOrder[] = { ButtonApDisc, ButtonAtDisc, ButtonPtt, ButtonBrakeL, ButtonBrakeR,
    ButtonReverseL, ButtonReverseR, ButtonFlapIn, ButtonFlapOut, ButtonSpdBrkIn, ButtonSpdBrkOut, ButtonStabAnu,
    ButtonStabAnd, ButtonFdL, ButtonFdR, ButtonGearLvr, ButtonParkBrk };

constexpr bool EveryButtonLoaded()
{
    for (const ConfigurationKeys::ButtonKeys& keys : ConfigurationKeys::kButtons) {
        int times = 0;
        for (std::int32_t button : kButtonLoadOrder) {
            times += button == keys.button ? 1 : 0;
        }
        if (times != 1) {
            return false;
        }
    }
    return std::size(kButtonLoadOrder) == std::size(ConfigurationKeys::kButtons);
}
static_assert(EveryButtonLoaded());

bool Lookup(CIniRead& reader, const char* section, const char* key, char* destination, int length)
{
    InitDataRequest request;
    request.section = section;
    request.key = key;
    request.destination = destination;
    request.length = length;
    return reader.GetInitData(request);
}

} // namespace

bool ControlProcessor::LoadConfiguration(const char* path)
{
    ClearWarnings();
    return ReadConfigurationFile(path);
}

bool ControlProcessor::ReadConfigurationFile(const char* path)
{
    CopyBounded(m_currentPath, path != nullptr ? path : "", static_cast<int>(sizeof m_currentPath));
    if (m_block == nullptr) {
        ReportError("ControlProcessor::ReadConfigurationFile", "Shared memory is not attached");
        return false;
    }
    CIniRead reader(m_currentPath);
    if (!reader.Open()) {
        SetErrorText(reader.GetErrorText());
        return false;
    }
    return ReadConfigDetails(reader) && ReadFlightControls(reader) && ReadAccess(reader) && ReadButtonControls(reader);
}

bool ControlProcessor::ReadConfigDetails(CIniRead& reader)
{
    char name[Block::kConfigurationNameLength] = {};
    Block::StoreText(m_block, Block::kConfigurationName, Block::kConfigurationNameLength, "");
    if (Lookup(reader, "CONFIG_DETAILS", "NAME", name, static_cast<int>(sizeof name))) {
        Block::StoreText(m_block, Block::kConfigurationName, Block::kConfigurationNameLength, name);
    } else {
        SetErrorText(reader.GetErrorText());
    }

    char joyId[kJoyIdLength] = {};
    if (!Lookup(reader, "CONFIG_DETAILS", "JOY_ID", joyId, kJoyIdLength)) {
        SetErrorText(reader.GetErrorText());
        joyId[0] = '\0';
    }
    long id = 0;
    if (!CIniRead::ParseLong(joyId, id)) {
        id = 0;
    }
    Block::StoreInt32(m_block, Block::kDefaultJoystickId, static_cast<std::int32_t>(id));
    return true;
}

bool ControlProcessor::ReadControlEntry(CIniRead& reader, const char* section, const char* joystickKey,
    const char* inputKey, const char* firstTuningKey, const char* secondTuningKey, std::size_t recordOffset,
    std::size_t firstDestination, std::size_t secondDestination, bool noTuning)
{
    char joystickText[Block::kRecordJoystickTextLength] = {};
    if (!Lookup(reader, section, joystickKey, joystickText, static_cast<int>(sizeof joystickText))) {
        SetErrorText(std::string(reader.GetErrorText()) + "\n >" + m_currentPath);
        return false;
    }
    Block::StoreText(
        m_block, recordOffset + Block::kRecordJoystickText, Block::kRecordJoystickTextLength, joystickText);

    const std::size_t idField = recordOffset + Block::kRecordJoystickId;
    long number = 0;
    if (SameIgnoringBlanks(joystickText, "DEFAULT") || SameIgnoringBlanks(joystickText, "NOT_AVAIL")) {
        Block::StoreInt32(m_block, idField, 0);
    } else if (CIniRead::ParseLong(joystickText, number)) {
        Block::StoreInt32(m_block, idField, static_cast<std::int32_t>(number));
    }

    char input[kInputLength] = {};
    if (Lookup(reader, section, inputKey, input, kInputLength) && CIniRead::ParseLong(input, number)) {
        const std::int32_t value = SameIgnoringBlanks(input, "NA") ? -1 : static_cast<std::int32_t>(number);
        Block::StoreInt32(m_block, recordOffset + Block::kRecordInput, value);
    }

    if (noTuning) {
        return true;
    }
    // The whole value is looked at, so the converter's length rule sees what
    // the file says rather than a cut copy.
    char tuning[CIniRead::kValueLength] = {};
    double value = 0.0;
    if (Lookup(reader, section, firstTuningKey, tuning, CIniRead::kValueLength)
        && CIniRead::ParseDouble(tuning, value)) {
        Block::StoreDouble(m_block, firstDestination, value);
    }
    if (Lookup(reader, section, secondTuningKey, tuning, CIniRead::kValueLength)
        && CIniRead::ParseDouble(tuning, value)) {
        Block::StoreDouble(m_block, secondDestination, value);
    }
    return true;
}

bool ControlProcessor::ReadFlightControls(CIniRead& reader)
{
    bool found[kAxisSettingsCount] = {};
    for (int index = 0; index < kAxisSettingsCount; ++index) {
        const ConfigurationKeys::AxisKeys& entry = ConfigurationKeys::kFlight[index];
        found[index] = ReadControlEntry(reader, kFlightControls, entry.joystick, entry.input, entry.firstTuning,
            entry.secondTuning, entry.record, m_axisSettings[index].first, m_axisSettings[index].second, false);
        if (!found[index] && (index == SettingsPitch || index == SettingsRoll)) {
            return false;
        }
    }
    if (!found[SettingsThrLvrL]) {
        Block::StoreDouble(m_block, m_axisSettings[SettingsThrLvrL].first, 1.0);
        Block::StoreDouble(m_block, m_axisSettings[SettingsThrLvrL].second, 0.0);
        AddWarning("No data for Left thrust lever, please setup control and re-save");
    }
    if (!found[SettingsThrLvrR]) {
        Block::StoreDouble(m_block, m_axisSettings[SettingsThrLvrR].first, 1.0);
        Block::StoreDouble(m_block, m_axisSettings[SettingsThrLvrR].second, 0.0);
        AddWarning("No data for Right thrust lever, please setup control and re-save");
    }
    if (!found[SettingsThrLvrFilters]) {
        Block::StoreDouble(m_block, m_axisSettings[SettingsThrLvrFilters].first, 0.0);
        Block::StoreDouble(m_block, m_axisSettings[SettingsThrLvrFilters].second, 0.0);
        AddWarning("No data for thrust lever filters, please setup thrust lvr control and re-save");
    }
    return true;
}

bool ControlProcessor::ReadAccess(CIniRead& reader)
{
    const ConfigurationKeys::AxisKeys& entry = ConfigurationKeys::kEyeView;
    ReadControlEntry(
        reader, "ACCESS", entry.joystick, entry.input, entry.firstTuning, entry.secondTuning, entry.record, 0, 0, true);
    return true;
}

bool ControlProcessor::ReadButtonControls(CIniRead& reader)
{
    for (std::int32_t button : kButtonLoadOrder) {
        const ConfigurationKeys::ButtonKeys& entry = *ConfigurationKeys::FindButtonKeys(button);
        const std::size_t record = Block::ButtonRecord(static_cast<std::size_t>(entry.button));
        if (!ReadControlEntry(
                reader, kButtonControls, entry.joystick, entry.number, nullptr, nullptr, record, 0, 0, true)) {
            Block::StoreInt32(m_block, record + Block::kRecordInput, -1);
        }
    }
    return true;
}
