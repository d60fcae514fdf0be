#include "tools/simblock/BlockReport.h"

#include "mapping/Assignments.h"
#include "mapping/CockpitButtons.h"
#include "mapping/GenericSimBlock.h"
#include "support/TextFunctions.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace GSB = GenericSimBlock;

namespace {

// simblock keeps its own copy of the display names, so that it stays a
// second, independent reader of the block.
struct NamedOffset {
    const char* name;
    const char* key; // for json
    std::size_t offset;
};

constexpr NamedOffset kOutputs[] = {
    { "PITCH", "pitch", GSB::kPitchOutput },
    { "ROLL", "roll", GSB::kRollOutput },
    { "PEDALS", "pedals", GSB::kPedalsOutput },
    { "THR LVR L", "thrLvrL", GSB::kThrLvrLOutput },
    { "THR LVR R", "thrLvrR", GSB::kThrLvrROutput },
    { "TILLER", "tiller", GSB::kTillerOutput },
};

// The published button bytes, under simblock's own names; where each lies is
// the button table's (a byte two buttons share appears once).
constexpr std::size_t PublishedBy(std::int32_t button)
{
    return CockpitButtonTable::kRows[button].published;
}
constexpr NamedOffset kButtonBytes[] = {
    { "A/P DISC", "apDisc", PublishedBy(ButtonApDisc) },
    { "A/T DISC", "atDisc", PublishedBy(ButtonAtDisc) },
    { "PTT", "ptt", PublishedBy(ButtonPtt) },
    { "BRAKE L", "brakeL", PublishedBy(ButtonBrakeL) },
    { "BRAKE R", "brakeR", PublishedBy(ButtonBrakeR) },
    { "REVERSE L/R", "reverse", PublishedBy(ButtonReverseL) },
};

constexpr bool NamesEveryPublishedByteOnce()
{
    if (std::size(kButtonBytes) != static_cast<std::size_t>(CockpitButtonTable::kPublishedByteCount)) {
        return false;
    }
    for (std::size_t i = 0; i < std::size(kButtonBytes); ++i) {
        if (kButtonBytes[i].offset == 0) {
            return false;
        }
        for (std::size_t j = i + 1; j < std::size(kButtonBytes); ++j) {
            if (kButtonBytes[i].offset == kButtonBytes[j].offset) {
                return false;
            }
        }
    }
    return true;
}
static_assert(NamesEveryPublishedByteOnce());

constexpr NamedOffset kSimulatorFlags[] = {
    { "gear lever (first)", "gearLever1", GSB::kGearFlag1 },
    { "gear lever (second)", "gearLever2", GSB::kGearFlag2 },
    { "park brake (first)", "parkBrake1", GSB::kParkBrakeFlag1 },
    { "park brake (second)", "parkBrake2", GSB::kParkBrakeFlag2 },
};

constexpr NamedOffset kSettings[] = {
    { "PITCH sensitivity", "pitchSensitivity", GSB::kPitchSensitivity },
    { "PITCH dead band", "pitchDeadBand", GSB::kPitchDeadBand },
    { "ROLL sensitivity", "rollSensitivity", GSB::kRollSensitivity },
    { "ROLL dead band", "rollDeadBand", GSB::kRollDeadBand },
    { "PEDALS sensitivity", "pedalsSensitivity", GSB::kPedalsSensitivity },
    { "PEDALS dead band", "pedalsDeadBand", GSB::kPedalsDeadBand },
    { "TILLER sensitivity", "tillerSensitivity", GSB::kTillerSensitivity },
    { "TILLER dead band", "tillerDeadBand", GSB::kTillerDeadBand },
    { "THR LVR R filter time constant", "thrLvrRFilterTimeConstant", GSB::kThrLvrRFilterTimeConstant },
    { "THR LVR L filter time constant", "thrLvrLFilterTimeConstant", GSB::kThrLvrLFilterTimeConstant },
    { "THR LVR L sensitivity", "thrLvrLSensitivity", GSB::kThrLvrLSensitivity },
    { "THR LVR L offset", "thrLvrLOffset", GSB::kThrLvrLOffset },
    { "THR LVR R sensitivity", "thrLvrRSensitivity", GSB::kThrLvrRSensitivity },
    { "THR LVR R offset", "thrLvrROffset", GSB::kThrLvrROffset },
};

constexpr NamedOffset kMirrors[] = {
    { "A/P DISC", "apDisc", GSB::kApDiscButtonMirror },
    { "A/T DISC", "atDisc", GSB::kAtDiscButtonMirror },
    { "PTT", "ptt", GSB::kPttButtonMirror },
};

constexpr NamedOffset kAxisRecords[] = {
    { "PITCH", "pitch", GSB::kPitchRecord },
    { "ROLL", "roll", GSB::kRollRecord },
    { "PEDALS", "pedals", GSB::kPedalsRecord },
    { "TILLER", "tiller", GSB::kTillerRecord },
    { "THR LVR L", "thrLvrL", GSB::kThrLvrLRecord },
    { "THR LVR R", "thrLvrR", GSB::kThrLvrRRecord },
    { "EYE_VIEW", "eyeView", GSB::kEyeViewRecord },
    { "THR LVR FILTER", "thrustLeverFilter", GSB::kThrustLeverFilterRecord },
};

constexpr const char* kButtonNames[]
    = { "PTT", "A/P DISC", "A/T DISC", "BRAKE L", "BRAKE R", "REVERSE L", "REVERSE R", "FLAP IN", "FLAP OUT",
          "SPD BRK IN", "SPD BRK OUT", "GEAR LVR", "STAB ANU", "STAB AND", "F/D L", "F/D R", "PARK BRK" };
static_assert(std::size(kButtonNames) == GSB::kButtonRecordCount);

constexpr const char* kInputNames[] = { "X", "Y", "Z", "Rx", "Ry", "Rz", "SL1", "SL2", "vX", "vY", "vZ", "vRx", "vRy",
    "vRz", "vSL1", "vSL2", "aX", "aY", "aZ", "aRx", "aRy", "aRz", "aSL1", "aSL2" };

// What an axis record's input field means, by record: EYE_VIEW holds a POV number.
std::string InputMeaning(const NamedOffset& record, std::int32_t input)
{
    if (record.offset == GSB::kEyeViewRecord) {
        if (input >= 1 && input <= 4) {
            return "POV " + std::to_string(input);
        }
        return "no POV";
    }
    if (input >= 0 && input < static_cast<std::int32_t>(std::size(kInputNames))) {
        return kInputNames[input];
    }
    return input == -1 ? "none" : "out of range";
}

std::string ButtonMeaning(std::int32_t number)
{
    if (number == -1) {
        return "not assigned";
    }
    if (number == 0) {
        return "no button";
    }
    return number > 0 ? "button " + std::to_string(number) : "out of range";
}

std::string Format(const char* format, ...) TAVELIN_PRINTF_FORMAT(1, 2);
std::string Format(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    FormatBoundedV(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// A text field as it is, up to its first NUL or its whole width.
std::string FieldText(const void* block, std::size_t offset, std::size_t length)
{
    char text[GSB::kVersionLength + 1];
    GSB::LoadText(block, offset, length, text, sizeof text);
    return text;
}

// `text` in double quotes, quotes and backslashes escaped. A byte outside
// 32..126 is written as \xNN for a terminal or, for JSON, as \u00NN: the
// block's bytes need not be UTF-8, so a JSON string takes each such byte as
// the code point of that byte (Latin-1).
std::string Escaped(const std::string& text, bool json)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 32 || c > 126) {
            out += json ? Format("\\u%04x", c) : Format("\\x%02X", c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Quoted(const std::string& text)
{
    return Escaped(text, false);
}

std::string JsonString(const std::string& text)
{
    return Escaped(text, true);
}

// JSON has no NaN or infinity; another program may have stored either.
std::string JsonNumber(double value)
{
    return std::isfinite(value) ? Format("%.17g", value) : "null";
}

std::string ShowNumber(double value)
{
    return Format("%.10g", value);
}

} // namespace

namespace BlockReport {

std::string ShowText(const void* block, const char* mappingName)
{
    std::string out;
    out += Format("Shared block \"%s\", %lu bytes\n", mappingName, static_cast<unsigned long>(GSB::kSize));
    out += "  version text         " + Quoted(FieldText(block, GSB::kVersionOffset, GSB::kVersionLength)) + "\n";
    out += Format("  user count           %d\n", static_cast<int>(GSB::LoadUserCount(block)));

    out += "\nOutputs\n";
    for (const auto& output : kOutputs) {
        out += Format("  %-20s %s\n", output.name, ShowNumber(GSB::LoadDouble(block, output.offset)).c_str());
    }
    out += "\nButton bytes\n";
    for (const auto& button : kButtonBytes) {
        out += Format("  %-20s %u\n", button.name, GSB::LoadByte(block, button.offset));
    }
    out += "\nSimulator flags\n";
    for (const auto& flag : kSimulatorFlags) {
        out += Format("  %-20s %u\n", flag.name, GSB::LoadByte(block, flag.offset));
    }
    out += "\nTuning values\n";
    for (const auto& setting : kSettings) {
        out += Format("  %-31s %s\n", setting.name, ShowNumber(GSB::LoadDouble(block, setting.offset)).c_str());
    }
    out += "\nButton numbers for the simulator (low bytes)\n";
    for (const auto& mirror : kMirrors) {
        out += Format("  %-20s %u\n", mirror.name, GSB::LoadByte(block, mirror.offset));
    }

    out += "\nJoystick set-up\n";
    out += Format("  configuration index  %d\n", static_cast<int>(GSB::LoadInt32(block, GSB::kConfigurationIndex)));
    out += Format("  default joystick ID  %d\n", static_cast<int>(GSB::LoadInt32(block, GSB::kDefaultJoystickId)));
    out += "  name                 " + Quoted(FieldText(block, GSB::kConfigurationName, GSB::kConfigurationNameLength))
        + "\n";
    out += Format("\n  %-16s %-24s %12s %5s  %s\n", "axis", "joystick text", "joystick ID", "slot", "input");
    for (const auto& axis : kAxisRecords) {
        const AxisAssignment record = LoadAxisAssignment(block, axis.offset);
        const std::string text
            = FieldText(block, axis.offset + GSB::kRecordJoystickText, GSB::kRecordJoystickTextLength);
        out += Format("  %-16s %-24s %12d %5d  %d (%s)\n", axis.name, Quoted(text).c_str(),
            static_cast<int>(record.joystickId), static_cast<int>(record.slot), static_cast<int>(record.input),
            InputMeaning(axis, record.input).c_str());
    }
    out += Format("\n  %-16s %-24s %12s %5s  %s\n", "button", "joystick text", "joystick ID", "slot", "button");
    for (std::size_t b = 0; b < GSB::kButtonRecordCount; ++b) {
        const ButtonAssignment record = LoadButtonAssignment(block, static_cast<std::int32_t>(b));
        const std::string text
            = FieldText(block, GSB::ButtonRecord(b) + GSB::kRecordJoystickText, GSB::kRecordJoystickTextLength);
        out += Format("  %-16s %-24s %12d %5d  %d (%s)\n", kButtonNames[b], Quoted(text).c_str(),
            static_cast<int>(record.joystickId), static_cast<int>(record.slot), static_cast<int>(record.buttonNumber),
            ButtonMeaning(record.buttonNumber).c_str());
    }
    return out;
}

std::string JsonText(const void* block, const char* mappingName)
{
    std::string out = "{\n";
    out += "  \"mapping\": " + JsonString(mappingName) + ",\n";
    out += Format("  \"size\": %lu,\n", static_cast<unsigned long>(GSB::kSize));
    out += "  \"version\": " + JsonString(FieldText(block, GSB::kVersionOffset, GSB::kVersionLength)) + ",\n";
    out += Format("  \"userCount\": %d,\n", static_cast<int>(GSB::LoadUserCount(block)));

    const auto numbers = [&](const char* key, const auto& table, bool bytes) {
        out += Format("  \"%s\": {", key);
        const char* separator = "";
        for (const auto& entry : table) {
            const std::string value = bytes ? std::to_string(GSB::LoadByte(block, entry.offset))
                                            : JsonNumber(GSB::LoadDouble(block, entry.offset));
            out += Format("%s\"%s\": %s", separator, entry.key, value.c_str());
            separator = ", ";
        }
        out += "},\n";
    };
    numbers("outputs", kOutputs, false);
    numbers("buttons", kButtonBytes, true);
    numbers("simulatorFlags", kSimulatorFlags, true);
    numbers("controlSettings", kSettings, false);
    numbers("buttonMirrors", kMirrors, true);

    out += "  \"joystickSetup\": {\n";
    out += Format(
        "    \"configurationIndex\": %d,\n", static_cast<int>(GSB::LoadInt32(block, GSB::kConfigurationIndex)));
    out += Format("    \"defaultJoystickId\": %d,\n", static_cast<int>(GSB::LoadInt32(block, GSB::kDefaultJoystickId)));
    out += "    \"name\": " + JsonString(FieldText(block, GSB::kConfigurationName, GSB::kConfigurationNameLength))
        + ",\n";
    out += "    \"axes\": [\n";
    for (std::size_t i = 0; i < std::size(kAxisRecords); ++i) {
        const auto& axis = kAxisRecords[i];
        const AxisAssignment record = LoadAxisAssignment(block, axis.offset);
        const std::string text
            = FieldText(block, axis.offset + GSB::kRecordJoystickText, GSB::kRecordJoystickTextLength);
        out += Format("      {\"control\": \"%s\", \"joystickText\": %s, \"joystickId\": %d, \"slot\": %d, "
                      "\"input\": %d, \"inputName\": %s}%s\n",
            axis.name, JsonString(text).c_str(), static_cast<int>(record.joystickId), static_cast<int>(record.slot),
            static_cast<int>(record.input), JsonString(InputMeaning(axis, record.input)).c_str(),
            i + 1 < std::size(kAxisRecords) ? "," : "");
    }
    out += "    ],\n    \"buttons\": [\n";
    for (std::size_t b = 0; b < GSB::kButtonRecordCount; ++b) {
        const ButtonAssignment record = LoadButtonAssignment(block, static_cast<std::int32_t>(b));
        const std::string text
            = FieldText(block, GSB::ButtonRecord(b) + GSB::kRecordJoystickText, GSB::kRecordJoystickTextLength);
        out += Format("      {\"control\": \"%s\", \"index\": %d, \"joystickText\": %s, \"joystickId\": %d, "
                      "\"slot\": %d, \"buttonNumber\": %d}%s\n",
            kButtonNames[b], static_cast<int>(b), JsonString(text).c_str(), static_cast<int>(record.joystickId),
            static_cast<int>(record.slot), static_cast<int>(record.buttonNumber),
            b + 1 < GSB::kButtonRecordCount ? "," : "");
    }
    out += "    ]\n  }\n}\n";
    return out;
}

std::string WatchHeading()
{
    return Format("%9s %9s %9s %9s %9s %9s | %3s %3s %3s %3s %3s %3s", "PITCH", "ROLL", "PEDALS", "TILLER", "THR L %",
        "THR R %", "A/P", "A/T", "PTT", "B L", "B R", "REV");
}

std::string WatchLine(const void* block)
{
    std::string line;
    const std::size_t order[] = { GSB::kPitchOutput, GSB::kRollOutput, GSB::kPedalsOutput, GSB::kTillerOutput,
        GSB::kThrLvrLOutput, GSB::kThrLvrROutput };
    for (std::size_t offset : order) {
        const double value = GSB::LoadDouble(block, offset);
        // Keep the columns whatever another program stored there.
        line += std::isfinite(value) && std::fabs(value) < 1e5 ? Format("%9.3f ", value) : Format("%9.2e ", value);
    }
    line += "|";
    for (const auto& button : kButtonBytes) {
        line += Format(" %3u", GSB::LoadByte(block, button.offset));
    }
    return line;
}

} // namespace BlockReport
