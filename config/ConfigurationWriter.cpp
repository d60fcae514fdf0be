// ControlProcessor::SaveConfiguration: the joystick configuration file, line
// by line, from the processor's public record and tuning accessors. The file
// is written beside the target under a temporary name and only moved over the
// target once every line, the flush and the close have succeeded, so a failed
// save never damages the file it would replace. The temporary file is always a
// new one (an existing name, a link above all, is never opened), and a target
// that is a link is replaced where it points.
#include "config/AxisButtonsSection.h"
#include "config/ConfigurationText.h"
#include "config/FileReplacement.h"
#include "config/JoystickInstancesSection.h"
#include "config/ResponseCurvesSection.h"
#include "config/SettingsFile.h"
#include "mapping/Assignments.h"
#include "mapping/CockpitAxes.h"
#include "mapping/CockpitButtons.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "support/Paths.h"
#include "support/TextFunctions.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace Block = GenericSimBlock;
namespace Axes = CockpitAxisTable;
namespace Buttons = CockpitButtonTable;

namespace {

constexpr const char* kWhere = "ControlProcessor::SaveConfiguration";
constexpr int kControlLineLength = 100;
constexpr int kHeaderLineLength = 1024;

constexpr const char* kRule = "#=============================================================\n";

constexpr const char* kNameLines[] = {
    "NAME = DEFAULT_JOYSTICK_SETUP\n",
    "NAME = ALTN_1_JOYSTICK_SETUP\n",
    "NAME = ALTN_2_JOYSTICK_SETUP\n",
    "NAME = ALTN_3_JOYSTICK_SETUP\n",
};

// Writes the file's lines, stopping at the first that fails; or adds them to
// a text in memory.
class LineWriter {
public:
    explicit LineWriter(SettingsFileClass& file)
        : m_file(&file)
    {
    }
    explicit LineWriter(std::string& text)
        : m_text(&text)
    {
    }

    bool Ok() const { return m_ok; }

    void Text(const char* text)
    {
        if (!m_ok) {
            return;
        }
        if (m_text != nullptr) {
            m_text->append(text);
        } else {
            m_ok = m_file->WriteToSettingsFile(text);
        }
    }

    // Formats one line into a buffer of `length` characters (at most 1024).
    // A text that does not fit keeps its line end, so the lines after it stay
    // lines of their own.
    void Line(int length, const char* format, ...) TAVELIN_PRINTF_FORMAT(3, 4)
    {
        char buffer[kHeaderLineLength];
        va_list args;
        va_start(args, format);
        FormatBoundedV(buffer, length, format, args);
        va_end(args);
        const std::size_t used = std::strlen(buffer);
        if (used == static_cast<std::size_t>(length - 1) && buffer[used - 1] != '\n') {
            buffer[used - 1] = '\n';
        }
        Text(buffer);
    }

private:
    SettingsFileClass* m_file = nullptr;
    std::string* m_text = nullptr;
    bool m_ok = true;
};

// A slot name is one line of the header: a line end inside it would start a
// line of its own.
std::string OneLine(const char* text)
{
    std::string line = text != nullptr ? text : "";
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return line;
}

// The file's lines from the processor's accessors, in the described order.
void WriteLines(const ControlProcessor& processor, std::int32_t configurationIndex, LineWriter& out)
{
    const auto joystickValue = [&processor](std::int32_t recordId) {
        return recordId != 0 ? recordId : static_cast<std::int32_t>(processor.GetSlotZeroJoystickId());
    };

    out.Text("#\n");
    out.Text("#\t\t\tKQ-P- JOY STICK \n");
    out.Text("#\t\t\tInitialisation file\n");
    out.Text(kRule);
    out.Text("#                      User Modified Option File \n");
    out.Text(kRule);
    out.Text("#\n");
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        out.Line(kHeaderLineLength, "# Slot %d : %s \n", slot, OneLine(processor.GetSlotName(slot)).c_str());
    }
    out.Text("#\n");

    out.Text("[CONFIG_DETAILS]\n");
    if (configurationIndex >= 0 && configurationIndex <= 3) {
        out.Text(kNameLines[configurationIndex]);
    } else {
        out.Line(kHeaderLineLength, "NAME = %s\n", processor.GetConfigurationName().c_str());
    }
    out.Line(kHeaderLineLength, "JOY_ID = %d\n#\n", processor.GetDefaultJoystickId());

    // Every axis block of one section, in the table's order; a block
    // without tuning values (the eye view) shows 0.0 twice.
    const auto axisBlocks = [&](const char* section) {
        for (int index = 0; index < Axes::kRowCount; ++index) {
            const CockpitAxisRow& row = Axes::kRows[index];
            if (std::strcmp(row.keys.section, section) != 0) {
                continue;
            }
            const AxisAssignment assignment = processor.GetAxisRecord(index);
            out.Line(kControlLineLength, "%s\t= %d\n", row.keys.joystick, joystickValue(assignment.joystickId));
            out.Line(kControlLineLength, "%s\t\t= %f\n", row.keys.firstTuning,
                processor.GetTuning(index, ControlProcessor::Tuning::First));
            out.Line(kControlLineLength, "%s\t\t= %f\n", row.keys.secondTuning,
                processor.GetTuning(index, ControlProcessor::Tuning::Second));
            out.Line(kControlLineLength, "%s\t\t= %d\n", row.keys.input, assignment.input);
            out.Text("#\n");
        }
    };

    out.Text("[FLIGHT_CONTROLS]\n");
    axisBlocks(kFlightControlsSection);

    out.Text("#\n[BUTTON_CONTROLS]\n#\n");
    for (const std::int32_t button : Buttons::kFileOrder) {
        const CockpitButtonRow& row = Buttons::kRows[button];
        const ButtonAssignment assignment = processor.GetButtonRecord(button);
        out.Line(kControlLineLength, "%s\t= %d\n", row.joystickKey, joystickValue(assignment.joystickId));
        if (assignment.buttonNumber < 0) {
            out.Line(kControlLineLength, "%s\t\t= NA\n", row.numberKey);
        } else {
            out.Line(kControlLineLength, "%s\t\t= %d\n", row.numberKey, assignment.buttonNumber);
        }
        out.Text("#\n");
    }

    out.Text("[ACCESS]\n");
    axisBlocks(kAccessSection);

    out.Text(ResponseCurvesSectionText(processor).c_str());
    out.Text(AxisButtonsSectionText(processor).c_str());
    if (const std::string instances = JoystickInstancesSection(processor); !instances.empty()) {
        out.Text(instances.c_str());
    }
}

} // namespace

std::string ConfigurationText(const ControlProcessor& processor, std::int32_t configurationIndex)
{
    std::string text;
    LineWriter out(text);
    WriteLines(processor, configurationIndex, out);
    return text;
}

bool ControlProcessor::SaveConfiguration(std::int32_t configurationIndex, const char* path)
{
    SetCurrentConfigurationPath(path);
    if (GetBlock() == nullptr) {
        ReportError(kWhere, "Shared memory is not attached");
        return false;
    }
    if (path == nullptr || path[0] == '\0') {
        ReportError(kWhere, "No file name given");
        return false;
    }
    const std::string target = Paths::ResolveLinks(GetCurrentConfigurationPath());
    const std::string folder = FolderOf(target);
    if (!folder.empty() && !Paths::CreateFolders(folder)) {
        ReportError(kWhere, "Could not create the folder", folder.c_str());
        return false;
    }

    std::string temporary;
    bool written = false;
    {
        const std::unique_ptr<SettingsFileClass> created = CreateTemporary(target, temporary);
        SettingsFileClass& file = *created;
        if (!file.IsOpen()) {
            SetErrorText(file.GetErrorText());
            return false;
        }
        LineWriter out(file);
        WriteLines(*this, configurationIndex, out);

        written = out.Ok() && file.FlushFile() && file.CloseFile();
        if (!written) {
            SetErrorText(file.GetErrorText());
        }
    }

    if (!written) {
        std::remove(temporary.c_str());
        return false;
    }
    std::string reason;
    if (!Paths::ReplaceExistingFile(temporary, target, reason)) {
        std::remove(temporary.c_str());
        ReportError(kWhere, reason.c_str(), target.c_str());
        return false;
    }
    return true;
}
