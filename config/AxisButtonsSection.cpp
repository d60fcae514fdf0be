#include "config/AxisButtonsSection.h"

#include "config/Ini_File_Reader.h"
#include "mapping/CockpitButtons.h"
#include "mapping/ControlProcessor.h"
#include "support/TextFunctions.h"

#include <charconv>
#include <cstring>

namespace Buttons = CockpitButtonTable;

namespace {

constexpr const char* kSection = "AXIS_BUTTONS";
// Tavelin's own sections are formatted and read with buffers of this size.
constexpr int kLineLength = 512;
constexpr const char* kKeySuffix = "_AXIS";

void KeyOf(const CockpitButtonRow& row, char (&key)[kLineLength])
{
    FormatBounded(key, kLineLength, "%s%s", row.numberKey, kKeySuffix);
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// One decimal integer with an optional sign, from `at`; false for anything else.
bool ReadInteger(const char*& at, const char* end, std::int32_t& value)
{
    const char* first = at;
    if (first != end && *first == '+') {
        ++first;
    }
    const auto result = std::from_chars(first, end, value);
    if (result.ec != std::errc() || result.ptr == first) {
        return false;
    }
    at = result.ptr;
    return true;
}

// "axis threshold": two integers separated by blanks or tabs, blanks around them.
bool ParseValue(const char* text, std::int32_t& axis, std::int32_t& threshold)
{
    const char* at = text;
    const char* end = text + std::strlen(text);
    while (at != end && IsBlank(*at)) {
        ++at;
    }
    if (!ReadInteger(at, end, axis) || at == end || !IsBlank(*at)) {
        return false;
    }
    while (at != end && IsBlank(*at)) {
        ++at;
    }
    if (!ReadInteger(at, end, threshold)) {
        return false;
    }
    while (at != end && IsBlank(*at)) {
        ++at;
    }
    return at == end;
}

} // namespace

std::string AxisButtonsSectionText(const ControlProcessor& processor)
{
    std::string lines;
    for (const std::int32_t button : Buttons::kFileOrder) {
        const AxisButtonSetting setting = processor.GetAxisButton(button);
        if (!setting.Drives()) {
            continue;
        }
        char key[kLineLength];
        KeyOf(Buttons::kRows[button], key);
        char line[kLineLength];
        FormatBounded(line, kLineLength, "%s\t= %d %d\n", key, setting.axis, setting.threshold);
        lines.append(line);
    }
    if (lines.empty()) {
        return lines;
    }
    return std::string("[") + kSection + "]\n" + lines + "#\n";
}

void ReadAxisButtonsSection(ControlProcessor& processor, CIniRead& reader, const std::string& fileName)
{
    processor.ClearAxisButtons();
    if (!reader.HasSection(kSection)) {
        return;
    }
    for (const std::int32_t button : Buttons::kFileOrder) {
        const CockpitButtonRow& row = Buttons::kRows[button];
        char key[kLineLength];
        KeyOf(row, key);
        char value[kLineLength] = {};
        if (!reader.LookForOwnValue(kSection, key, value, sizeof value)) {
            continue;
        }
        std::int32_t axis = -1;
        std::int32_t threshold = 0;
        // A "[" would end the section for the described reader: no value holds one.
        const bool read = std::strchr(value, '[') == nullptr && ParseValue(value, axis, threshold);
        if (read && processor.SetAxisButton(button, axis, threshold)) {
            continue;
        }
        char note[ControlProcessor::kWarningLength];
        FormatBounded(note, sizeof note,
            "%s: %s = %.40s%s could not be read (an axis 0 to 7 and a threshold from -10000 to 10000, not 0); "
            "%s works from its joystick button",
            fileName.c_str(), key, value, std::strlen(value) > 40 ? "..." : "", row.name);
        processor.AddNote(note, NoteKind::GivesWay);
    }
}
