// The recording text: one line per change, and its reading.
#include "devices/JoystickRecording.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace {

constexpr const char* kKeys[24] = { "X", "Y", "Z", "RX", "RY", "RZ", "SL1", "SL2", "VX", "VY", "VZ", "VRX", "VRY",
    "VRZ", "VSL1", "VSL2", "AX", "AY", "AZ", "ARX", "ARY", "ARZ", "ASL1", "ASL2" };
constexpr const char* kPovKeys[3] = { "POV1", "POV2", "POV3" };

// Appends text at `at`, never past the line's room.
void Append(char* out, std::size_t& at, const char* text)
{
    const std::size_t length = std::strlen(text);
    if (at + length < kRecordingLineLength) {
        std::memcpy(out + at, text, length);
        at += length;
        out[at] = '\0';
    }
}

void AppendNumber(char* out, std::size_t& at, long long value)
{
    char digits[24];
    const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits - 1, value);
    *result.ptr = '\0';
    Append(out, at, digits);
}

template <class Number> bool ParseNumber(std::string_view word, Number& out)
{
    const char* end = word.data() + word.size();
    const std::from_chars_result result = std::from_chars(word.data(), end, out);
    return result.ec == std::errc() && result.ptr == end && !word.empty();
}

std::string_view NextWord(std::string_view& text)
{
    const std::size_t start = text.find_first_not_of(" \t\r");
    if (start == std::string_view::npos) {
        text = {};
        return {};
    }
    std::size_t end = text.find_first_of(" \t\r", start);
    end = end == std::string_view::npos ? text.size() : end;
    const std::string_view word = text.substr(start, end - start);
    text = text.substr(end);
    return word;
}

// One KEY=value into `state`; the reason otherwise.
bool ApplyField(std::string_view field, RecordedState& state, std::string& why)
{
    const std::size_t equals = field.find('=');
    if (equals == std::string_view::npos) {
        why = std::string(field);
        why.insert(0, 1, '"');
        why += "\" is no KEY=value";
        return false;
    }
    const std::string_view key = field.substr(0, equals);
    const std::string_view value = field.substr(equals + 1);
    for (int i = 0; i < 24; ++i) {
        if (key == kKeys[i]) {
            std::int32_t number = 0;
            if (!ParseNumber(value, number)) {
                why = std::string(key) + " is not a 32-bit number";
                return false;
            }
            if (i < 8 && (number < -10000 || number > 10000)) {
                why = std::string(key) + " = " + std::string(value) + " is beyond the axes' range -10000..10000";
                return false;
            }
            state.values[i] = number;
            return true;
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (key == kPovKeys[i]) {
            std::int32_t number = 0;
            if (!ParseNumber(value, number) || number < -1 || number > 35999) {
                why = std::string(key) + " is neither -1 nor hundredths of a degree 0..35999";
                return false;
            }
            state.pov[i] = number < 0 ? RecordedState::kRecordedPovCentred : static_cast<std::uint32_t>(number);
            return true;
        }
    }
    if (key == "PRESSED") {
        std::uint32_t pressed = 0;
        if (value != "-") {
            std::string_view rest = value;
            while (true) {
                const std::size_t comma = rest.find(',');
                int button = 0;
                if (!ParseNumber(rest.substr(0, comma), button) || button < 1 || button > 32) {
                    why = "PRESSED holds a button that is not 1..32";
                    return false;
                }
                pressed |= 1u << (button - 1);
                if (comma == std::string_view::npos) {
                    break;
                }
                rest = rest.substr(comma + 1);
            }
        }
        state.pressed = pressed;
        return true;
    }
    if (key == "LOST") {
        if (value != "0" && value != "1") {
            why = "LOST is neither 0 nor 1";
            return false;
        }
        state.lost = value == "1";
        return true;
    }
    why = "unknown key " + std::string(key);
    return false;
}

} // namespace

RecordedState RecordedStateOf(const JoystickState& state, bool lost)
{
    RecordedState recorded;
    for (int i = 0; i < 8; ++i) {
        recorded.values[i] = state.axes[i];
        recorded.values[8 + i] = state.velocities[i];
        recorded.values[16 + i] = state.accelerations[i];
    }
    for (int i = 0; i < 3; ++i) {
        // The device layer keeps whole degrees; a centred hat is far beyond 359.
        recorded.pov[i] = state.pov[i] < 360 ? state.pov[i] * 100 : RecordedState::kRecordedPovCentred;
    }
    for (int i = 0; i < 32; ++i) {
        recorded.pressed |= state.buttons[i] != 0 ? 1u << i : 0u;
    }
    recorded.lost = lost;
    return recorded;
}

std::size_t FormatRecordingChange(
    char* out, std::int64_t milliseconds, int slot, const RecordedState* before, const RecordedState& now)
{
    std::size_t at = 0;
    out[0] = '\0';
    AppendNumber(out, at, milliseconds);
    Append(out, at, " ");
    AppendNumber(out, at, slot);
    const std::size_t bare = at;
    for (int i = 0; i < 24; ++i) {
        if (before == nullptr || before->values[i] != now.values[i]) {
            Append(out, at, " ");
            Append(out, at, kKeys[i]);
            Append(out, at, "=");
            AppendNumber(out, at, now.values[i]);
        }
    }
    for (int i = 0; i < 3; ++i) {
        if (before == nullptr || before->pov[i] != now.pov[i]) {
            Append(out, at, " ");
            Append(out, at, kPovKeys[i]);
            Append(out, at, "=");
            AppendNumber(
                out, at, now.pov[i] == RecordedState::kRecordedPovCentred ? -1LL : static_cast<long long>(now.pov[i]));
        }
    }
    if (before == nullptr || before->pressed != now.pressed) {
        Append(out, at, " PRESSED=");
        bool first = true;
        for (int i = 0; i < 32; ++i) {
            if ((now.pressed >> i & 1u) != 0) {
                Append(out, at, first ? "" : ",");
                AppendNumber(out, at, i + 1);
                first = false;
            }
        }
        Append(out, at, first ? "-" : "");
    }
    if (before == nullptr || before->lost != now.lost) {
        Append(out, at, now.lost ? " LOST=1" : " LOST=0");
    }
    if (at == bare) {
        out[0] = '\0';
        return 0;
    }
    Append(out, at, "\n");
    return at;
}

ParsedRecording ParseRecording(std::string_view text)
{
    ParsedRecording parsed;
    RecordedState current[kJoystickSlots];
    std::int64_t last = 0;
    std::size_t number = 0;
    std::size_t at = 0;
    const auto fail = [&parsed, &number](
                          const std::string& what) { parsed.problem = "line " + std::to_string(number) + ": " + what; };
    while (at < text.size() && parsed.problem.empty()) {
        ++number;
        std::size_t end = text.find('\n', at);
        const bool complete = end != std::string_view::npos;
        end = complete ? end : text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!complete) {
            // The writer ends every line: a last one without its end was cut short.
            fail("the recording is truncated (its last line has no end)");
            break;
        }
        if (line.size() > 4096 || line.find('\0') != std::string_view::npos) {
            fail("not a line of a recording");
            break;
        }
        if (number == 1) {
            if (line.substr(0, std::strlen(kRecordingHeader)) != kRecordingHeader) {
                fail(std::string("not a Tavelin recording (it begins with \"") + kRecordingHeader + "\")");
            }
            continue;
        }
        const std::size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] == '#') {
            continue;
        }
        std::int64_t time = 0;
        int slot = 0;
        if (!ParseNumber(NextWord(line), time) || time < 0) {
            fail("a line begins with its time in milliseconds");
            break;
        }
        if (time < last) {
            fail("out of time order: " + std::to_string(time) + " ms after " + std::to_string(last) + " ms");
            break;
        }
        std::string_view word = NextWord(line);
        if (word == "JOYSTICK") {
            RecordedJoystick joystick;
            std::int64_t id = 0;
            if (!ParseNumber(NextWord(line), slot) || slot < 0 || slot >= kJoystickSlots
                || !ParseNumber(NextWord(line), id) || id < -2147483648LL || id > 4294967295LL
                || !ParseNumber(NextWord(line), joystick.buttons) || joystick.buttons < 0 || joystick.buttons > 32) {
                fail("JOYSTICK needs a slot 0..3, a joystick ID and a button count 0..32");
                break;
            }
            if (parsed.declared[slot]) {
                fail("slot " + std::to_string(slot) + " has its joystick already");
                break;
            }
            const std::size_t name = line.find_first_not_of(" \t");
            const std::size_t nameEnd = line.find_last_not_of(" \t\r");
            joystick.name = name == std::string_view::npos ? "" : std::string(line.substr(name, nameEnd - name + 1));
            joystick.from = time;
            joystick.joystickId = static_cast<std::uint32_t>(id);
            parsed.slots[slot] = std::move(joystick);
            parsed.declared[slot] = true;
            last = time;
            continue;
        }
        if (!ParseNumber(word, slot) || slot < 0 || slot >= kJoystickSlots || !parsed.declared[slot]) {
            fail("a change names a slot 0..3 whose JOYSTICK line came before");
            break;
        }
        RecordedState state = current[slot];
        std::string why;
        bool good = true;
        for (word = NextWord(line); !word.empty() && good; word = NextWord(line)) {
            good = ApplyField(word, state, why);
        }
        if (!good) {
            fail(why);
            break;
        }
        current[slot] = state;
        std::vector<RecordedJoystick::Change>& changes = parsed.slots[slot].changes;
        if (!changes.empty() && changes.back().at == time) {
            changes.back().state = state;
        } else {
            changes.push_back({ time, state });
        }
        last = time;
    }
    if (number == 0 && parsed.problem.empty()) {
        parsed.problem = "line 1: empty, not a Tavelin recording";
    }
    parsed.end = last;
    return parsed;
}
