#include "config/ResponseCurvesSection.h"

#include "config/Ini_File_Reader.h"
#include "mapping/CockpitAxes.h"
#include "mapping/ControlProcessor.h"
#include "mapping/ResponseCurve.h"

#include <cstring>

namespace Axes = CockpitAxisTable;

namespace {

constexpr const char* kSection = "RESPONSE_CURVES";
// Long enough to show what was there, short enough for a warning line.
constexpr std::size_t kShownLength = 80;

} // namespace

std::string ResponseCurvesSectionText(const ControlProcessor& processor)
{
    std::string text;
    for (int index = 0; index < Axes::kRowCount; ++index) {
        const char* key = Axes::kRows[index].keys.curve;
        const ResponseCurve& curve = processor.GetResponseCurve(index);
        if (key == nullptr || curve.IsPlainLinear()) {
            continue;
        }
        char value[ResponseCurve::kTextLength];
        curve.Format(value, sizeof value);
        text += key;
        text += "\t= ";
        text += value;
        text += "\n";
    }
    if (text.empty()) {
        return text;
    }
    return "[" + std::string(kSection) + "]\n" + text + "#\n";
}

void ReadResponseCurves(ControlProcessor& processor, CIniRead& reader, const std::string& fileName)
{
    const bool present = reader.HasSection(kSection);
    for (int index = 0; index < Axes::kRowCount; ++index) {
        const char* key = Axes::kRows[index].keys.curve;
        if (key == nullptr) {
            continue;
        }
        processor.SetResponseCurve(index, ResponseCurve());
        // One character more than a line may hold, so an over-long value is seen as such.
        char value[ResponseCurve::kTextLength + 1] = {};
        if (!present || !reader.GetLongValue(kSection, key, value, sizeof value)) {
            continue;
        }
        std::size_t length = std::strlen(value);
        const bool tooLong = length >= ResponseCurve::kTextLength;
        while (length > 0 && (value[length - 1] == ' ' || value[length - 1] == '\t')) {
            value[--length] = '\0';
        }
        ResponseCurve curve;
        const char* reason = tooLong ? "longer than 511 characters" : ResponseCurve::Parse(value, curve);
        if (reason == nullptr) {
            processor.SetResponseCurve(index, curve);
            continue;
        }
        std::string shown(value);
        if (shown.size() > kShownLength) {
            shown.resize(kShownLength);
            shown += "...";
        }
        const std::string note
            = fileName + ": " + key + " = " + shown + " could not be read (" + reason + "); LINEAR taken";
        processor.AddNote(note.c_str(), NoteKind::GivesWay);
    }
}
