// ControlProcessor's configuration loading: a joystick configuration file
// into the block's JoystickSetup and ControlSettings, through the processor's
// public record and tuning accessors. Only a missing file or a missing pitch
// or roll joystick entry fails the load; other gaps keep the current value,
// take a default with a warning, or unassign a button. The joystick IDs read
// here are matched to attached joysticks by the next cycle's ResolveAssignments.
#include "config/Ini_File_Reader.h"
#include "mapping/Assignments.h"
#include "mapping/CockpitAxes.h"
#include "mapping/CockpitButtons.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

namespace Block = GenericSimBlock;
namespace Axes = CockpitAxisTable;
namespace Buttons = CockpitButtonTable;

namespace {

constexpr const char* kButtonControls = "BUTTON_CONTROLS";

// Long enough for every 32-bit number the writer puts on a JOY_ID line
// ("-2147483648"), so a saved default joystick ID reads back whole.
constexpr int kJoyIdLength = 12;
constexpr int kInputLength = 20;

// One control entry's record fields as they are before the lookup and as the
// file leaves them, and the tuning values the file gives.
struct ControlEntry {
    char joystickText[Block::kRecordJoystickTextLength] = {};
    std::int32_t joystickId = 0;
    std::int32_t input = 0;
    std::optional<double> firstTuning;
    std::optional<double> secondTuning;
};

bool Lookup(CIniRead& reader, const char* section, const char* key, char* destination, int length)
{
    InitDataRequest request;
    request.section = section;
    request.key = key;
    request.destination = destination;
    request.length = length;
    return reader.GetInitData(request);
}

template <class Record> ControlEntry EntryOf(const Record& record, std::int32_t input)
{
    ControlEntry entry;
    std::memcpy(entry.joystickText, record.joystickText, sizeof entry.joystickText);
    entry.joystickId = record.joystickId;
    entry.input = input;
    return entry;
}

template <class Record> void CopyRecordFields(const ControlEntry& entry, Record& record)
{
    std::memcpy(record.joystickText, entry.joystickText, sizeof record.joystickText);
    record.joystickId = entry.joystickId;
}

bool ReadConfigDetails(CIniRead& reader, ControlProcessor& processor)
{
    char name[Block::kConfigurationNameLength] = {};
    processor.SetConfigurationName("");
    if (Lookup(reader, "CONFIG_DETAILS", "NAME", name, static_cast<int>(sizeof name))) {
        processor.SetConfigurationName(name);
    } else {
        processor.SetErrorText(reader.GetErrorText());
    }

    char joyId[kJoyIdLength] = {};
    if (!Lookup(reader, "CONFIG_DETAILS", "JOY_ID", joyId, kJoyIdLength)) {
        processor.SetErrorText(reader.GetErrorText());
        joyId[0] = '\0';
    }
    long id = 0;
    if (!CIniRead::ParseLong(joyId, id)) {
        id = 0;
    }
    processor.SetDefaultJoystickId(static_cast<std::int32_t>(id));
    return true;
}

// False, with the entry unchanged, when the joystick key is missing.
bool ReadControlEntry(CIniRead& reader, ControlProcessor& processor, const char* section, const char* joystickKey,
    const char* inputKey, const char* firstTuningKey, const char* secondTuningKey, ControlEntry& entry, bool noTuning)
{
    char joystickText[Block::kRecordJoystickTextLength] = {};
    if (!Lookup(reader, section, joystickKey, joystickText, static_cast<int>(sizeof joystickText))) {
        processor.SetErrorText(std::string(reader.GetErrorText()) + "\n >" + processor.GetCurrentConfigurationPath());
        return false;
    }
    // As the record holds it: at most 19 characters, the rest zeros.
    std::memset(entry.joystickText, 0, sizeof entry.joystickText);
    char* end = std::find(joystickText, joystickText + sizeof joystickText - 1, '\0');
    std::copy(joystickText, end, entry.joystickText);

    long number = 0;
    if (SameIgnoringBlanks(joystickText, "DEFAULT") || SameIgnoringBlanks(joystickText, "NOT_AVAIL")) {
        entry.joystickId = 0;
    } else if (CIniRead::ParseLong(joystickText, number)) {
        entry.joystickId = static_cast<std::int32_t>(number);
    }

    char input[kInputLength] = {};
    if (Lookup(reader, section, inputKey, input, kInputLength) && CIniRead::ParseLong(input, number)) {
        entry.input = SameIgnoringBlanks(input, "NA") ? -1 : static_cast<std::int32_t>(number);
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
        entry.firstTuning = value;
    }
    if (Lookup(reader, section, secondTuningKey, tuning, CIniRead::kValueLength)
        && CIniRead::ParseDouble(tuning, value)) {
        entry.secondTuning = value;
    }
    return true;
}

// One axis block of the table; false when its joystick key is missing.
bool ReadAxisEntry(CIniRead& reader, ControlProcessor& processor, int index)
{
    const CockpitAxisRow& row = Axes::kRows[index];
    AxisAssignment record = processor.GetAxisRecord(index);
    ControlEntry entry = EntryOf(record, record.input);
    if (!ReadControlEntry(reader, processor, row.keys.section, row.keys.joystick, row.keys.input, row.keys.firstTuning,
            row.keys.secondTuning, entry, !row.HasTuning())) {
        return false;
    }
    CopyRecordFields(entry, record);
    record.input = entry.input;
    processor.SetAxisRecord(index, record);
    if (entry.firstTuning) {
        processor.SetTuning(index, ControlProcessor::Tuning::First, *entry.firstTuning);
    }
    if (entry.secondTuning) {
        processor.SetTuning(index, ControlProcessor::Tuning::Second, *entry.secondTuning);
    }
    return true;
}

bool ReadSection(CIniRead& reader, ControlProcessor& processor, const char* section)
{
    for (int index = 0; index < Axes::kRowCount; ++index) {
        const CockpitAxisRow& row = Axes::kRows[index];
        if (std::strcmp(row.keys.section, section) != 0 || ReadAxisEntry(reader, processor, index)) {
            continue;
        }
        switch (row.whenMissing) {
        case WhenMissing::FailsLoad:
            return false;
        case WhenMissing::TakesDefaults:
            processor.SetTuning(index, ControlProcessor::Tuning::First, row.missingDefaults[0]);
            processor.SetTuning(index, ControlProcessor::Tuning::Second, row.missingDefaults[1]);
            processor.AddWarning(row.missingWarning);
            break;
        case WhenMissing::Ignored:
            break;
        }
    }
    return true;
}

bool ReadFlightControls(CIniRead& reader, ControlProcessor& processor)
{
    return ReadSection(reader, processor, kFlightControlsSection);
}

// The eye view; its entry's result does not count.
bool ReadAccess(CIniRead& reader, ControlProcessor& processor)
{
    ReadSection(reader, processor, kAccessSection);
    return true;
}

bool ReadButtonControls(CIniRead& reader, ControlProcessor& processor)
{
    for (const std::int32_t button : Buttons::kLoadOrder) {
        const CockpitButtonRow& row = Buttons::kRows[button];
        ButtonAssignment record = processor.GetButtonRecord(button);
        ControlEntry entry = EntryOf(record, record.buttonNumber);
        if (ReadControlEntry(
                reader, processor, kButtonControls, row.joystickKey, row.numberKey, nullptr, nullptr, entry, true)) {
            CopyRecordFields(entry, record);
            record.buttonNumber = entry.input;
        } else {
            record.buttonNumber = -1;
        }
        processor.SetButtonRecord(button, record);
    }
    // The simulator reads three of the numbers from their mirror bytes, which
    // must say what the load put into the records, as the setters would.
    for (const std::int32_t button : { ButtonApDisc, ButtonAtDisc, ButtonPtt }) {
        processor.SetButtonNumber(button, processor.GetButtonNumber(button));
    }
    return true;
}

} // namespace

bool ControlProcessor::LoadConfiguration(const char* path)
{
    ClearWarnings();
    return ReadConfigurationFile(path);
}

bool ControlProcessor::ReadConfigurationFile(const char* path)
{
    SetCurrentConfigurationPath(path);
    if (GetBlock() == nullptr) {
        ReportError("ControlProcessor::ReadConfigurationFile", "Shared memory is not attached");
        return false;
    }
    CIniRead reader(GetCurrentConfigurationPath());
    if (!reader.Open()) {
        SetErrorText(reader.GetErrorText());
        return false;
    }
    return ReadConfigDetails(reader, *this) && ReadFlightControls(reader, *this) && ReadAccess(reader, *this)
        && ReadButtonControls(reader, *this);
}
