// Reading and writing Calibration.ini. Whatever a line says that cannot be
// used is told once, as a note, and left out of the table; an axis value that
// cannot be read is kept as it was written, so a later save does not change
// it behind the operator's back.
#include "config/CalibrationFile.h"

#include "config/FileReplacement.h"
#include "config/SettingsFile.h"
#include "support/Paths.h"
#include "support/TextFunctions.h"

#include <charconv>
#include <cstring>
#include <filesystem>

namespace CalibrationFile {

namespace {

constexpr const char* kSectionPrefix = "JOYSTICK_";
constexpr const char* kBlanks = " \t";
// Enough of a text to recognise it, and room left in the 255 characters of a note.
constexpr std::size_t kShownLength = 32;

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string Shown(const std::string& text)
{
    return text.size() > kShownLength ? text.substr(0, kShownLength) + "..." : text;
}

bool ParseInt32(const std::string& text, std::int32_t& out)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    const auto result = std::from_chars(begin, end, out);
    return result.ec == std::errc() && result.ptr == end && begin != end;
}

// "min centre max" or "min max"; the reason it is not, or "".
std::string ParseAxis(const std::string& value, AxisCalibration& out)
{
    std::int32_t numbers[3] = {};
    int count = 0;
    std::size_t at = 0;
    while (true) {
        const std::size_t start = value.find_first_not_of(kBlanks, at);
        if (start == std::string::npos) {
            break;
        }
        const std::size_t end = std::min(value.find_first_of(kBlanks, start), value.size());
        if (count == 3 || !ParseInt32(value.substr(start, end - start), numbers[count])) {
            return "is not \"min centre max\" or \"min max\" in whole numbers";
        }
        ++count;
        at = end;
    }
    if (count < 2) {
        return "is not \"min centre max\" or \"min max\" in whole numbers";
    }
    for (int i = 0; i < count; ++i) {
        if (numbers[i] < -kAxisLimit || numbers[i] > kAxisLimit) {
            return "lies beyond -10000..10000";
        }
    }
    if (count == 2) {
        out = AxisCalibration::RestsAtEnd(numbers[0], numbers[1]);
        return numbers[0] < numbers[1] ? "" : "has its min not below its max";
    }
    out = AxisCalibration::Centred(numbers[0], numbers[1], numbers[2]);
    if (numbers[0] >= numbers[1]) {
        return "has its min not below its centre";
    }
    if (numbers[1] >= numbers[2]) {
        return "has its centre not below its max";
    }
    return "";
}

int AxisOfKey(const std::string& key)
{
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        if (key == kCalibrationAxisKeys[axis]) {
            return axis;
        }
    }
    return -1;
}

// "JOYSTICK_<id>" or "JOYSTICK_<id>@<instance>".
bool ParseSectionName(const std::string& name, std::int32_t& joystickId, std::string& instance)
{
    if (name.rfind(kSectionPrefix, 0) != 0) {
        return false;
    }
    const std::string rest = name.substr(std::strlen(kSectionPrefix));
    const std::size_t at = rest.find('@');
    instance = at == std::string::npos ? std::string() : rest.substr(at + 1);
    if (at != std::string::npos && instance.empty()) {
        return false;
    }
    return ParseInt32(rest.substr(0, at), joystickId);
}

class Parser {
public:
    explicit Parser(const std::string& fileName)
        : m_fileName(fileName)
    {
    }

    void Line(std::string line, bool cut)
    {
        if (cut) {
            Note("a line longer than " + std::to_string(kLineLength - 1) + " characters (" + Shown(Trimmed(line))
                + ") is ignored");
            return;
        }
        line = Trimmed(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') {
            return;
        }
        if (line[0] == '[') {
            Section(line);
            return;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            Note(Place() + Shown(line) + " is not a \"key = value\" line: ignored");
            return;
        }
        const std::string key = Trimmed(line.substr(0, equals));
        const std::string value = Trimmed(line.substr(equals + 1));
        if (!m_inSection) {
            if (!m_sectionRefused) {
                Note(Shown(key) + " = " + Shown(value) + " stands outside any [JOYSTICK_<ID>] section: ignored");
            }
            return;
        }
        const int axis = AxisOfKey(key);
        if (axis < 0) {
            Note(Place() + Shown(key) + " is not one of X Y Z RX RY RZ SL1 SL2: ignored");
            return;
        }
        JoystickCalibration& entry = m_result.table.Entry(m_joystickId, m_instance);
        AxisCalibration calibration;
        const std::string problem = ParseAxis(value, calibration);
        if (!problem.empty()) {
            Note(Place() + Shown(key) + " = " + Shown(value) + " " + problem + ": the axis is not calibrated");
            entry.axes[axis] = AxisCalibration {};
            // Kept to be written back as it stands, when its line as the writer
            // puts it ("KEY\t= value") fits the line buffer.
            const bool fits = std::strlen(kCalibrationAxisKeys[axis]) + 3 + value.size() < kLineLength - 1;
            entry.unreadText[axis] = fits ? value : std::string();
            return;
        }
        entry.axes[axis] = calibration;
        entry.unreadText[axis].clear();
    }

    ReadResult Finish()
    {
        m_result.table.DropEmpty();
        return std::move(m_result);
    }

    void Note(const std::string& text) { m_result.notes.push_back(m_fileName + ": " + text); }

private:
    void Section(const std::string& line)
    {
        m_inSection = false;
        m_sectionRefused = true;
        const std::size_t close = line.find(']');
        std::string name = close == std::string::npos ? std::string() : Trimmed(line.substr(1, close - 1));
        const bool closed = close != std::string::npos && Trimmed(line.substr(close + 1)).empty();
        if (!closed || !ParseSectionName(name, m_joystickId, m_instance)) {
            Note(Shown(line) + " is not a [JOYSTICK_<ID>] section: its lines are ignored");
            return;
        }
        m_inSection = true;
        m_sectionName = name;
    }

    std::string Place() const
    {
        // Appended piece by piece: g++ 12 at -O3 warns (wrongly) of an overlap in "[" + text + "] ".
        std::string place("[");
        place += Shown(m_sectionName);
        place += "] ";
        return place;
    }

    std::string m_fileName;
    ReadResult m_result;
    bool m_inSection = false;
    bool m_sectionRefused = false; // lines after a refused header are not told one by one
    std::int32_t m_joystickId = 0;
    std::string m_instance;
    std::string m_sectionName;
};

std::string FileNameOf(const std::string& path)
{
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace

std::string DefaultPath()
{
    return Paths::ConfigurationFolder() + Paths::Separator() + kFileName;
}

ReadResult Parse(const std::string& text, const std::string& fileName)
{
    Parser parser(fileName);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            end = text.size();
        }
        // Cut to the line buffer, as a bounded line read would.
        std::string line = text.substr(start, end - start);
        const bool cut = line.size() > static_cast<std::size_t>(kLineLength - 1);
        if (cut) {
            line.resize(kLineLength - 1);
        }
        // A NUL ends a line read into a buffer.
        line.resize(std::strlen(line.c_str()));
        parser.Line(line, cut);
        start = end;
        if (start < text.size() && text[start] == '\r') {
            ++start;
        }
        if (start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
    return parser.Finish();
}

ReadResult Read(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return {};
    }
    const std::string fileName = FileNameOf(path);
    SettingsFileClass file(path, FileOpenForReading);
    std::string text;
    if (!file.IsOpen() || !file.ReadWholeFile(text, kMaxFileSize)) {
        ReadResult result;
        std::string reason = file.GetErrorText();
        for (char& c : reason) {
            c = c == '\n' ? ' ' : c;
        }
        result.notes.push_back(fileName + " could not be read, no axis is calibrated: " + reason);
        return result;
    }
    return Parse(text, fileName);
}

std::string Text(const CalibrationTable& table)
{
    std::string text = "#\n# Tavelin: the calibration of the joystick axes, per joystick ID.\n"
                       "# Each axis: min centre max, or min max for an axis that rests at one end.\n#\n";
    char line[kLineLength];
    for (const JoystickCalibration& entry : table.Entries()) {
        if (entry.instance.empty()) {
            FormatBounded(line, kLineLength, "[JOYSTICK_%d]\n", entry.joystickId);
        } else {
            FormatBounded(line, kLineLength, "[JOYSTICK_%d@%s]\n", entry.joystickId, entry.instance.c_str());
        }
        text += line;
        for (int axis = 0; axis < kCalibratedAxes; ++axis) {
            const AxisCalibration& calibration = entry.axes[axis];
            const char* key = kCalibrationAxisKeys[axis];
            switch (calibration.kind) {
            case AxisCalibration::Kind::Centred:
                FormatBounded(line, kLineLength, "%s\t= %d %d %d\n", key, calibration.minimum, calibration.centre,
                    calibration.maximum);
                break;
            case AxisCalibration::Kind::RestsAtEnd:
                FormatBounded(line, kLineLength, "%s\t= %d %d\n", key, calibration.minimum, calibration.maximum);
                break;
            case AxisCalibration::Kind::None:
                if (entry.unreadText[axis].empty()) {
                    continue;
                }
                FormatBounded(line, kLineLength, "%s\t= %s\n", key, entry.unreadText[axis].c_str());
                break;
            }
            text += line;
        }
        text += "#\n";
    }
    return text;
}

bool Save(const std::string& path, const CalibrationTable& table, std::string& reason)
{
    return ReplaceFileWithText(path, Text(table), reason);
}

} // namespace CalibrationFile
