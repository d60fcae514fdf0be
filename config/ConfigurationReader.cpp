// ControlProcessor's configuration loading: a joystick configuration file
// into the block's JoystickSetup and ControlSettings, through the processor's
// public record and tuning accessors. Only a missing file or a missing pitch
// or roll joystick entry fails the load; other gaps keep the current value,
// take a default with a warning, or unassign a button. The joystick IDs read
// here are matched to attached joysticks by the next cycle's ResolveAssignments.
// Whatever the file lacks or says in a form that cannot be read is told to the
// operator, one warning per control (or missing section) naming the keys, the
// file and the values the control now has, after the load's own warnings.
#include "config/AxisButtonsSection.h"
#include "config/ConfigurationText.h"
#include "config/Ini_File_Reader.h"
#include "config/JoystickInstancesSection.h"
#include "config/ResponseCurvesSection.h"
#include "mapping/Assignments.h"
#include "mapping/CockpitAxes.h"
#include "mapping/CockpitButtons.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace Block = GenericSimBlock;
namespace Axes = CockpitAxisTable;
namespace Buttons = CockpitButtonTable;

namespace {

constexpr const char* kButtonControls = "BUTTON_CONTROLS";
constexpr const char* kConfigDetails = "CONFIG_DETAILS";

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

// What one control (or section) could not take from the file. Only the load
// uses it, so it may allocate.
class PartialNote {
public:
    void Missing(const char* key) { AddProblem(std::string(key) + " missing"); }
    void Unreadable(const char* key, const char* text)
    {
        // Long enough to recognise the value, short enough to leave the line room.
        constexpr std::size_t kShownLength = 24;
        std::string shown(text);
        if (shown.size() > kShownLength) {
            shown.resize(kShownLength);
            shown += "...";
        }
        AddProblem(std::string(key) + " = " + shown + " could not be read");
    }
    void Taken(const char* key, const std::string& value)
    {
        m_taken += m_taken.empty() ? "" : ", ";
        m_taken += std::string(key) + " = " + value;
    }
    bool Empty() const { return m_problems.empty(); }
    std::string Text(const std::string& fileName) const
    {
        return fileName + ": " + m_problems + "; " + m_taken + " taken";
    }

private:
    void AddProblem(const std::string& problem)
    {
        m_problems += m_problems.empty() ? "" : ", ";
        m_problems += problem;
    }

    std::string m_problems;
    std::string m_taken;
};

// The notes of one load, queued after the load's own warnings so that those
// always find room in the list.
struct PartialNotes {
    std::string fileName;
    std::vector<std::string> lines;

    void Add(const PartialNote& note)
    {
        if (!note.Empty()) {
            lines.push_back(note.Text(fileName));
        }
    }
};

std::string FileNameOf(const char* path)
{
    const std::string text(path);
    const std::size_t cut = text.find_last_of("/\\");
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

// The value as the writer puts it in the file.
std::string TuningText(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("0.000000");
}

std::string InputText(std::int32_t input)
{
    return input == -1 ? std::string("NA") : std::to_string(input);
}

std::string TrimmedEnd(const char* text)
{
    std::string trimmed(text);
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) {
        trimmed.pop_back();
    }
    return trimmed;
}

// A whole integer: the converters also take "12abc" as 12 and "na" as 0,
// which the file's writer never writes.
bool IsWholeInteger(const char* text)
{
    const std::string trimmed = TrimmedEnd(text);
    long value = 0;
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto result = std::from_chars(first, last, value);
    return first != last && result.ec == std::errc() && result.ptr == last;
}

bool IsWholeNumber(const char* text)
{
    const std::string trimmed = TrimmedEnd(text);
    double value = 0.0;
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    return first != last && result.ec == std::errc() && result.ptr == last;
}

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

bool ReadConfigDetails(CIniRead& reader, ControlProcessor& processor, PartialNotes& notes)
{
    const bool sectionPresent = reader.HasSection(kConfigDetails);
    PartialNote note;
    char name[Block::kConfigurationNameLength] = {};
    processor.SetConfigurationName("");
    if (Lookup(reader, kConfigDetails, "NAME", name, static_cast<int>(sizeof name))) {
        processor.SetConfigurationName(name);
    } else {
        processor.SetErrorText(reader.GetErrorText());
        note.Missing("NAME");
        note.Taken("NAME", "(empty)");
    }

    char joyId[kJoyIdLength] = {};
    bool joyIdFound = true;
    if (!Lookup(reader, kConfigDetails, "JOY_ID", joyId, kJoyIdLength)) {
        processor.SetErrorText(reader.GetErrorText());
        joyId[0] = '\0';
        joyIdFound = false;
    }
    long id = 0;
    if (!CIniRead::ParseLong(joyId, id)) {
        id = 0;
    }
    processor.SetDefaultJoystickId(static_cast<std::int32_t>(id));
    if (!joyIdFound) {
        note.Missing("JOY_ID");
    } else if (!IsWholeInteger(joyId)) {
        note.Unreadable("JOY_ID", joyId);
    }
    if (!joyIdFound || !IsWholeInteger(joyId)) {
        note.Taken("JOY_ID", std::to_string(id));
    }

    if (!sectionPresent) {
        PartialNote section;
        section.Missing("[CONFIG_DETAILS]");
        section.Taken("NAME", "(empty)");
        section.Taken("JOY_ID", "0");
        notes.Add(section);
    } else {
        notes.Add(note);
    }
    return true;
}

// The keys of one control entry that the file did not give in a form that
// could be read; their values are named in the entry's note once applied.
enum EntryKey : unsigned { KeyJoystick = 1U, KeyInput = 2U, KeyFirst = 4U, KeySecond = 8U };

// False, with the entry unchanged, when the joystick key is missing. `note`
// (null: say nothing) collects what could not be read, `unread` which keys.
bool ReadControlEntry(CIniRead& reader, ControlProcessor& processor, const char* section, const char* joystickKey,
    const char* inputKey, const char* firstTuningKey, const char* secondTuningKey, ControlEntry& entry, bool noTuning,
    PartialNote& note, unsigned& unread)
{
    unread = 0;
    char joystickText[Block::kRecordJoystickTextLength] = {};
    if (!Lookup(reader, section, joystickKey, joystickText, static_cast<int>(sizeof joystickText))) {
        processor.SetErrorText(std::string(reader.GetErrorText()) + "\n >" + processor.GetCurrentConfigurationPath());
        note.Missing(joystickKey);
        unread = KeyJoystick | KeyInput | (noTuning ? 0U : KeyFirst | KeySecond);
        return false;
    }
    // As the record holds it: at most 19 characters, the rest zeros.
    std::memset(entry.joystickText, 0, sizeof entry.joystickText);
    char* end = std::find(joystickText, joystickText + sizeof joystickText - 1, '\0');
    std::copy(joystickText, end, entry.joystickText);

    long number = 0;
    if (SameIgnoringBlanks(joystickText, "DEFAULT") || SameIgnoringBlanks(joystickText, "NOT_AVAIL")) {
        entry.joystickId = 0;
    } else {
        if (CIniRead::ParseLong(joystickText, number)) {
            entry.joystickId = static_cast<std::int32_t>(number);
        }
        if (!IsWholeInteger(joystickText)) {
            note.Unreadable(joystickKey, joystickText);
            unread |= KeyJoystick;
        }
    }

    char input[kInputLength] = {};
    if (!Lookup(reader, section, inputKey, input, kInputLength)) {
        note.Missing(inputKey);
        unread |= KeyInput;
    } else {
        const bool accepted = CIniRead::ParseLong(input, number);
        const bool notAvailable = SameIgnoringBlanks(input, "NA");
        if (accepted) {
            entry.input = notAvailable ? -1 : static_cast<std::int32_t>(number);
        }
        if (!accepted || (!notAvailable && !IsWholeInteger(input))) {
            note.Unreadable(inputKey, input);
            unread |= KeyInput;
        }
    }

    if (noTuning) {
        return true;
    }
    // The whole value is looked at, so the converter's length rule sees what
    // the file says rather than a cut copy.
    const char* tuningKeys[2] = { firstTuningKey, secondTuningKey };
    std::optional<double>* destinations[2] = { &entry.firstTuning, &entry.secondTuning };
    const unsigned bits[2] = { KeyFirst, KeySecond };
    for (int which = 0; which < 2; ++which) {
        char tuning[CIniRead::kValueLength] = {};
        double value = 0.0;
        if (!Lookup(reader, section, tuningKeys[which], tuning, CIniRead::kValueLength)) {
            note.Missing(tuningKeys[which]);
            unread |= bits[which];
        } else if (CIniRead::ParseDouble(tuning, value)) {
            *destinations[which] = value;
            if (!IsWholeNumber(tuning)) {
                note.Unreadable(tuningKeys[which], tuning);
                unread |= bits[which];
            }
        } else {
            note.Unreadable(tuningKeys[which], tuning);
            unread |= bits[which];
        }
    }
    return true;
}

// One axis block of the table; false when its joystick key is missing. The
// note's values are taken after the caller has applied its defaults.
bool ReadAxisEntry(CIniRead& reader, ControlProcessor& processor, int index, PartialNote& note, unsigned& unread)
{
    const CockpitAxisRow& row = Axes::kRows[index];
    AxisAssignment record = processor.GetAxisRecord(index);
    ControlEntry entry = EntryOf(record, record.input);
    if (!ReadControlEntry(reader, processor, row.keys.section, row.keys.joystick, row.keys.input, row.keys.firstTuning,
            row.keys.secondTuning, entry, !row.HasTuning(), note, unread)) {
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

void NoteAxisValues(const ControlProcessor& processor, int index, unsigned unread, PartialNote& note)
{
    const CockpitAxisRow& row = Axes::kRows[index];
    const AxisAssignment record = processor.GetAxisRecord(index);
    if ((unread & KeyJoystick) != 0) {
        note.Taken(row.keys.joystick, std::to_string(record.joystickId));
    }
    if ((unread & KeyInput) != 0) {
        note.Taken(row.keys.input, InputText(record.input));
    }
    if ((unread & KeyFirst) != 0) {
        note.Taken(row.keys.firstTuning, TuningText(processor.GetTuning(index, ControlProcessor::Tuning::First)));
    }
    if ((unread & KeySecond) != 0) {
        note.Taken(row.keys.secondTuning, TuningText(processor.GetTuning(index, ControlProcessor::Tuning::Second)));
    }
}

bool ReadSection(CIniRead& reader, ControlProcessor& processor, const char* section, PartialNotes& notes)
{
    const bool sectionPresent = reader.HasSection(section);
    PartialNote sectionNote;
    sectionNote.Missing((std::string("[") + section + "]").c_str());
    for (int index = 0; index < Axes::kRowCount; ++index) {
        const CockpitAxisRow& row = Axes::kRows[index];
        if (std::strcmp(row.keys.section, section) != 0) {
            continue;
        }
        PartialNote note;
        unsigned unread = 0;
        if (!ReadAxisEntry(reader, processor, index, note, unread)) {
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
        NoteAxisValues(processor, index, unread, sectionPresent ? note : sectionNote);
        if (sectionPresent) {
            notes.Add(note);
        }
    }
    if (!sectionPresent) {
        notes.Add(sectionNote);
    }
    return true;
}

bool ReadFlightControls(CIniRead& reader, ControlProcessor& processor, PartialNotes& notes)
{
    return ReadSection(reader, processor, kFlightControlsSection, notes);
}

// The eye view; its entry's result does not count.
bool ReadAccess(CIniRead& reader, ControlProcessor& processor, PartialNotes& notes)
{
    ReadSection(reader, processor, kAccessSection, notes);
    return true;
}

bool ReadButtonControls(CIniRead& reader, ControlProcessor& processor, PartialNotes& notes)
{
    const bool sectionPresent = reader.HasSection(kButtonControls);
    for (const std::int32_t button : Buttons::kLoadOrder) {
        const CockpitButtonRow& row = Buttons::kRows[button];
        ButtonAssignment record = processor.GetButtonRecord(button);
        ControlEntry entry = EntryOf(record, record.buttonNumber);
        PartialNote note;
        unsigned unread = 0;
        if (ReadControlEntry(reader, processor, kButtonControls, row.joystickKey, row.numberKey, nullptr, nullptr,
                entry, true, note, unread)) {
            CopyRecordFields(entry, record);
            record.buttonNumber = entry.input;
        } else {
            record.buttonNumber = -1;
        }
        processor.SetButtonRecord(button, record);
        if ((unread & KeyJoystick) != 0) {
            note.Taken(row.joystickKey, std::to_string(record.joystickId));
        }
        if ((unread & KeyInput) != 0) {
            note.Taken(row.numberKey, InputText(record.buttonNumber));
        }
        if (sectionPresent) {
            notes.Add(note);
        }
    }
    if (!sectionPresent) {
        PartialNote note;
        note.Missing("[BUTTON_CONTROLS]");
        note.Taken("every button", "NA");
        notes.Add(note);
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

bool ReadConfiguration(ControlProcessor& processor, CIniRead& reader)
{
    PartialNotes notes;
    notes.fileName = FileNameOf(processor.GetCurrentConfigurationPath());
    const bool read = ReadConfigDetails(reader, processor, notes) && ReadFlightControls(reader, processor, notes)
        && ReadAccess(reader, processor, notes) && ReadButtonControls(reader, processor, notes);
    ReadJoystickInstances(reader, processor);
    // After the load's own warnings, and giving way to any that come later
    // (joysticks without a match, joysticks lost). Notes, not warnings: what
    // a file lacked is no joystick ID without a match, which the pending flag
    // tells the choice dialog of.
    for (const std::string& line : notes.lines) {
        processor.AddNote(line.c_str(), NoteKind::GivesWay);
    }
    ReadResponseCurves(processor, reader, notes.fileName);
    ReadAxisButtonsSection(processor, reader, notes.fileName);
    return read;
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
    return ReadConfiguration(*this, reader);
}
