// Reading and parsing the virtual joystick file, and sweep motion.
#include "platform/virtual/VirtualJoystickFile.h"

#include "devices/DirectInputObjects.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <numbers>
#include <sstream>
#include <utility>

#ifdef __linux__
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace {

constexpr std::uintmax_t kMaxFileSize = 1u << 20;
constexpr const char* kAxisKeys[8] = { "X", "Y", "Z", "RX", "RY", "RZ", "SL1", "SL2" };

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameWord(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
        return upper(x) == upper(y);
    });
}

bool ParseInteger(std::string_view text, long long minimum, long long maximum, long long& value)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end && value >= minimum && value <= maximum;
}

class Parser {
public:
    Parser(std::vector<VirtualJoystick>& out, std::string& error)
        : m_out(out)
        , m_error(error)
    {
    }

    bool Line(int number, std::string_view line)
    {
        m_line = number;
        line = Trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            return true;
        }
        if (line.front() == '[') {
            return Section(line);
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return Fail("expected KEY = value or [JOYSTICK_N]");
        }
        if (m_current == nullptr) {
            return Fail("a key before the first [JOYSTICK_N] section");
        }
        return Key(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    }

    bool Finish() { return CheckSection(); }

private:
    bool Fail(const std::string& what)
    {
        m_error = "line " + std::to_string(m_line) + ": " + what;
        return false;
    }

    bool Section(std::string_view line)
    {
        if (line.back() != ']') {
            return Fail("a section name without its closing ]");
        }
        const std::string_view name = Trim(line.substr(1, line.size() - 2));
        constexpr std::string_view prefix = "JOYSTICK_";
        long long number = 0;
        if (name.size() <= prefix.size() || !SameWord(name.substr(0, prefix.size()), prefix)
            || !ParseInteger(name.substr(prefix.size()), 0, 7, number)) {
            return Fail("unknown section [" + std::string(name) + "] (expected [JOYSTICK_0] to [JOYSTICK_7])");
        }
        if (!CheckSection()) {
            return false;
        }
        for (const VirtualJoystick& joystick : m_out) {
            if (joystick.section == number) {
                return Fail("[JOYSTICK_" + std::to_string(number) + "] appears twice");
            }
        }
        VirtualJoystick joystick;
        joystick.section = static_cast<int>(number);
        joystick.name = "Virtual Joystick " + std::to_string(number);
        m_out.push_back(joystick);
        m_current = &m_out.back();
        m_pressedLine = 0;
        return true;
    }

    // PRESSED may come before BUTTONS, so the two meet when the section ends.
    bool CheckSection()
    {
        if (m_current == nullptr) {
            return true;
        }
        for (int i = m_current->buttons; i < VirtualJoystick::kMaxButtons; ++i) {
            if (m_current->pressed[i]) {
                m_line = m_pressedLine;
                return Fail("PRESSED names button " + std::to_string(i + 1) + " but BUTTONS is "
                    + std::to_string(m_current->buttons));
            }
        }
        return true;
    }

    bool Key(std::string_view key, std::string_view value)
    {
        VirtualJoystick& joystick = *m_current;
        long long number = 0;
        for (int axis = 0; axis < 8; ++axis) {
            if (SameWord(key, kAxisKeys[axis])) {
                if (!ParseInteger(value, -10000, 10000, number)) {
                    return Fail(std::string(kAxisKeys[axis]) + " must be a whole number from -10000 to 10000");
                }
                joystick.axes[axis] = static_cast<std::int32_t>(number);
                return true;
            }
        }
        for (int pov = 0; pov < 3; ++pov) {
            if (SameWord(key, "POV" + std::to_string(pov + 1))) {
                if (!ParseInteger(value, -1, 35999, number)) {
                    return Fail("POV" + std::to_string(pov + 1) + " must be -1 (centred) or 0 to 35999");
                }
                joystick.pov[pov] = static_cast<std::int32_t>(number);
                return true;
            }
        }
        if (SameWord(key, "JOY_ID")) {
            if (!ParseInteger(value, -2147483648LL, 4294967295LL, number)) {
                return Fail("JOY_ID must be a whole number");
            }
            joystick.joystickId = static_cast<std::uint32_t>(number);
            return true;
        }
        if (SameWord(key, "NAME")) {
            joystick.name = std::string(value.substr(0, 259));
            return true;
        }
        if (SameWord(key, "SERIAL")) {
            joystick.serial = std::string(value.substr(0, 259));
            return true;
        }
        if (SameWord(key, "PORT")) {
            joystick.port = std::string(value.substr(0, 259));
            return true;
        }
        if (SameWord(key, "BUTTONS")) {
            if (!ParseInteger(value, 0, VirtualJoystick::kMaxButtons, number)) {
                return Fail("BUTTONS must be a whole number from 0 to 32");
            }
            joystick.buttons = static_cast<int>(number);
            return true;
        }
        if (SameWord(key, "PRESSED")) {
            std::fill(std::begin(joystick.pressed), std::end(joystick.pressed), false);
            std::string list(value);
            std::replace(list.begin(), list.end(), ',', ' ');
            std::istringstream words(list);
            std::string word;
            while (words >> word) {
                if (!ParseInteger(word, 1, VirtualJoystick::kMaxButtons, number)) {
                    return Fail("PRESSED lists button numbers from 1 to 32, not \"" + word + "\"");
                }
                joystick.pressed[number - 1] = true;
            }
            m_pressedLine = m_line;
            return true;
        }
        if (SameWord(key, "MOTION")) {
            static constexpr std::pair<const char*, VirtualMotion> kMotions[] = { { "NONE", VirtualMotion::None },
                { "SWEEP", VirtualMotion::Sweep }, { "STICK", VirtualMotion::Stick },
                { "THROTTLE", VirtualMotion::Throttle }, { "PEDALS", VirtualMotion::Pedals } };
            if (value.empty()) {
                joystick.motion = VirtualMotion::None;
                return true;
            }
            for (const auto& [word, motion] : kMotions) {
                if (SameWord(value, word)) {
                    joystick.motion = motion;
                    return true;
                }
            }
            return Fail("MOTION must be STICK, THROTTLE, PEDALS, SWEEP or NONE");
        }
        return Fail("unknown key " + std::string(key));
    }

    std::vector<VirtualJoystick>& m_out;
    std::string& m_error;
    VirtualJoystick* m_current = nullptr;
    int m_line = 0;
    int m_pressedLine = 0;
};

double SteadySeconds()
{
    static const auto start = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

VirtualClock g_clock = nullptr;

std::int32_t Wave(double seconds, double period)
{
    return static_cast<std::int32_t>(std::lround(10000.0 * std::sin(2.0 * std::numbers::pi * seconds / period)));
}

// 0 at the start of a stroke of `length` seconds, 1 half-way, 0 again at its end.
double Stroke(double into, double length)
{
    return into < 0.0 || into > length ? 0.0 : (1.0 - std::cos(2.0 * std::numbers::pi * into / length)) / 2.0;
}

std::int32_t Scaled(double value)
{
    return static_cast<std::int32_t>(std::lround(std::clamp(value, -10000.0, 10000.0)));
}

constexpr int kX = 0;
constexpr int kY = 1;
constexpr int kRz = 5;
constexpr std::int32_t kIdle = -10000; // a lever at idle, a brake let go

// The motions named after devices take turns in one minute, so that while
// one of them moves its axes the others keep theirs still and "Move" learns
// the one that moves. The inputs a motion leaves alone keep the file's values.
//   0-20 s   stick: X and Y circle twice, out from the centre and back
//   22-28 s  stick: RZ twists one way and the other
//   30-38 s  throttle: lever X from idle to full and back; 38-46 s lever Y
//   46-48 s  throttle: button 1, the reverser, with both levers at idle
//   48-55 s  pedals: the rudder RZ swings; 55-57.5 s left toe brake X, 57.5-60 s right Y
// The stick's trigger (button 1) is pressed for half a second every 4 s throughout.
void MoveLikeADevice(VirtualMotion motion, double seconds, std::int32_t (&axes)[8], bool (&pressed)[32])
{
    const double pi = std::numbers::pi;
    const double t = std::max(0.0, seconds);
    const double into = std::fmod(t, 60.0);
    switch (motion) {
    case VirtualMotion::Stick: {
        const double reach = into < 20.0 ? 7000.0 * std::sin(pi * into / 20.0) : 0.0;
        axes[kX] = Scaled(reach * std::sin(2.0 * pi * into / 10.0));
        axes[kY] = Scaled(reach * std::cos(2.0 * pi * into / 10.0));
        axes[kRz] = into >= 22.0 && into < 28.0 ? Scaled(6000.0 * std::sin(2.0 * pi * (into - 22.0) / 6.0)) : 0;
        pressed[0] = std::fmod(t, 4.0) < 0.5; // the trigger
        break;
    }
    case VirtualMotion::Throttle:
        axes[kX] = Scaled(kIdle + 20000.0 * Stroke(into - 30.0, 8.0));
        axes[kY] = Scaled(kIdle + 20000.0 * Stroke(into - 38.0, 8.0));
        pressed[0] = into >= 46.0 && into < 48.0; // the reverser
        break;
    case VirtualMotion::Pedals:
        axes[kRz] = into >= 48.0 && into < 55.0 ? Scaled(8000.0 * std::sin(2.0 * pi * (into - 48.0) / 7.0)) : 0;
        axes[kX] = Scaled(kIdle + 20000.0 * Stroke(into - 55.0, 2.5));
        axes[kY] = Scaled(kIdle + 20000.0 * Stroke(into - 57.5, 2.5));
        break;
    default:
        break;
    }
}

} // namespace

bool ParseVirtualJoysticks(std::string_view text, std::vector<VirtualJoystick>& out, std::string& error)
{
    out.clear();
    out.reserve(8);
    error.clear();
    if (text.find('\0') != std::string_view::npos) {
        error = "the file holds binary data, not text";
        return false;
    }
    Parser parser(out, error);
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        ++number;
        if (!parser.Line(number, text.substr(0, end))) {
            out.clear();
            return false;
        }
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    if (!parser.Finish()) {
        out.clear();
        return false;
    }
    std::sort(out.begin(), out.end(),
        [](const VirtualJoystick& a, const VirtualJoystick& b) { return a.section < b.section; });
    return true;
}

void FillVirtualJoystickState(const VirtualJoystick& joystick, double seconds, DIJOYSTATE2& state)
{
    EmulatedJoystickReading reading;
    std::copy(std::begin(joystick.axes), std::end(joystick.axes), reading.axes);
    for (int pov = 0; pov < 3; ++pov) {
        reading.povs[pov] = joystick.pov[pov] < 0 ? kPovCentred : static_cast<std::uint32_t>(joystick.pov[pov]);
    }
    bool pressed[VirtualJoystick::kMaxButtons];
    std::copy(std::begin(joystick.pressed), std::end(joystick.pressed), pressed);
    if (joystick.motion == VirtualMotion::Stick || joystick.motion == VirtualMotion::Throttle
        || joystick.motion == VirtualMotion::Pedals) {
        MoveLikeADevice(joystick.motion, seconds, reading.axes, pressed);
    }
    if (joystick.motion == VirtualMotion::Sweep) {
        // Each axis its own period, so the demo never repeats a pose exactly.
        for (int axis = 0; axis < 8; ++axis) {
            reading.axes[axis] = Wave(seconds, 3.0 + 0.7 * axis);
        }
        const auto step = static_cast<long long>(std::floor(seconds / 0.5));
        const int direction = static_cast<int>(((step % 9) + 9) % 9);
        reading.povs[0] = direction < 8 ? static_cast<std::uint32_t>(direction) * 4500u : kPovCentred;
        std::fill(std::begin(pressed), std::end(pressed), false);
        if (joystick.buttons > 0) {
            const auto press = static_cast<long long>(std::floor(seconds / 0.4));
            pressed[((press % joystick.buttons) + joystick.buttons) % joystick.buttons] = true;
        }
    }
    const int buttons = std::clamp(joystick.buttons, 0, VirtualJoystick::kMaxButtons);
    PackJoystickState(reading, std::span<const bool>(pressed, static_cast<std::size_t>(buttons)), state);
}

void SetVirtualJoystickClock(VirtualClock clock)
{
    g_clock = clock;
}

double VirtualJoystickSeconds()
{
    return g_clock != nullptr ? g_clock() : SteadySeconds();
}

VirtualJoystickFile::VirtualJoystickFile(const char* path)
    : m_path(path)
    , m_displayPath(path)
{
#ifdef __linux__
    // The folder, not the file: a file replaced by a rename or removed and
    // written again is still watched. Without the watch, time stamp and size tell.
    const std::filesystem::path folder = m_path.has_parent_path() ? m_path.parent_path() : ".";
    m_watchedName = m_path.filename().string();
    m_watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch >= 0
        && inotify_add_watch(m_watch, folder.c_str(),
               IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF)
            < 0) {
        close(m_watch);
        m_watch = -1;
    }
#endif
}

VirtualJoystickFile::~VirtualJoystickFile()
{
#ifdef __linux__
    if (m_watch >= 0) {
        close(m_watch);
    }
#endif
}

bool VirtualJoystickFile::WatchSaysChanged()
{
    bool changed = false;
#ifdef __linux__
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = read(m_watch, buffer, sizeof buffer);
        if (length <= 0) {
            break;
        }
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof(inotify_event);
            if ((event.mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0
                || (event.len > 0 && m_watchedName == name)) {
                changed = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
#endif
    return changed;
}

void VirtualJoystickFile::Refresh()
{
    if (m_watch >= 0 && m_looked) {
        // Nothing written, renamed or touched: not even a status query.
        if (!WatchSaysChanged()) {
            return;
        }
        Look();
        return;
    }
    std::error_code error;
    const auto time = std::filesystem::last_write_time(m_path, error);
    const bool present = !error;
    const std::uintmax_t size = present ? std::filesystem::file_size(m_path, error) : 0;
    const bool sized = present && !error;
    if (m_looked && present == m_present
        && (!present || (sized == m_sized && time == m_time && (!sized || size == m_size)))) {
        // A rewrite within the file system's time-stamp granule keeps both
        // time and size: while the stamp is that fresh, compare the text.
        if (sized && size <= kMaxFileSize && IsRecent(time)) {
            std::string text;
            std::string reason;
            if (ReadText(text, reason) && text != m_text) {
                Apply(text);
            }
        }
        return;
    }
    Look();
}

void VirtualJoystickFile::Look()
{
    std::error_code error;
    const auto time = std::filesystem::last_write_time(m_path, error);
    const bool present = !error;
    const std::uintmax_t size = present ? std::filesystem::file_size(m_path, error) : 0;
    const bool sized = present && !error;
    m_looked = true;
    m_present = present;
    m_time = present ? time : std::filesystem::file_time_type {};
    m_size = sized ? size : 0;
    m_sized = sized;
    Read();
}

bool VirtualJoystickFile::IsRecent(std::filesystem::file_time_type time)
{
    const auto age = std::filesystem::file_time_type::clock::now() - time;
    return age < std::chrono::seconds(2) && age > -std::chrono::seconds(2);
}

bool VirtualJoystickFile::ReadText(std::string& text, std::string& reason) const
{
    text.clear();
    std::error_code error;
    const auto type = std::filesystem::status(m_path, error).type();
    if (type == std::filesystem::file_type::directory) {
        reason = "is a folder, not a file";
        return false;
    }
    if (!error && type != std::filesystem::file_type::regular) {
        // A named pipe would hold the poll until something writes into it.
        reason = "is not a regular file";
        return false;
    }
    // C streams: a read error is a return value here, where a file stream
    // of this library throws from inside the read (a folder, for one).
    errno = 0;
    std::FILE* file = std::fopen(m_displayPath.c_str(), "rb");
    if (file == nullptr) {
        reason = std::string("cannot be read (") + std::strerror(errno != 0 ? errno : EIO) + ")";
        return false;
    }
    char chunk[16384];
    bool tooLarge = false;
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
        if (got == 0) {
            break;
        }
        if (text.size() + got > kMaxFileSize) {
            tooLarge = true;
            break;
        }
        text.append(chunk, got);
    }
    const int readError = std::ferror(file) != 0 ? (errno != 0 ? errno : EIO) : 0;
    std::fclose(file);
    if (tooLarge) {
        text.clear();
        reason = "is too large for a joystick description (more than 1 MiB)";
        return false;
    }
    if (readError != 0) {
        text.clear();
        reason = std::string("cannot be read (") + std::strerror(readError) + ")";
        return false;
    }
    return true;
}

void VirtualJoystickFile::SetJoysticks(std::vector<VirtualJoystick> joysticks)
{
    const auto sameList = [this, &joysticks] {
        if (joysticks.size() != m_joysticks.size()) {
            return false;
        }
        for (std::size_t i = 0; i < joysticks.size(); ++i) {
            if (joysticks[i].section != m_joysticks[i].section || joysticks[i].joystickId != m_joysticks[i].joystickId
                || joysticks[i].name != m_joysticks[i].name || joysticks[i].serial != m_joysticks[i].serial
                || joysticks[i].port != m_joysticks[i].port) {
                return false;
            }
        }
        return true;
    };
    if (!sameList()) {
        ++m_listGeneration;
    }
    m_joysticks = std::move(joysticks);
}

void VirtualJoystickFile::Read()
{
    m_text.clear();
    const std::string where = "Virtual joystick file " + m_displayPath + ": ";
    if (!m_present) {
        Refuse(where + "cannot be read (it does not exist)");
        return;
    }
    if (m_size > kMaxFileSize) {
        Refuse(where + "is too large for a joystick description (more than 1 MiB)");
        return;
    }
    std::string text;
    std::string reason;
    if (!ReadText(text, reason)) {
        Refuse(where + reason);
        return;
    }
    Apply(text);
}

void VirtualJoystickFile::Apply(const std::string& text)
{
    m_text = text;
    std::string reason;
    std::vector<VirtualJoystick> joysticks;
    if (!ParseVirtualJoysticks(text, joysticks, reason)) {
        Refuse("Virtual joystick file " + m_displayPath + ": " + reason);
        return;
    }
    if (IsHoldingLastGood()) {
        AddNotice("Virtual joystick file " + m_displayPath + " is good again: the joysticks follow it");
    }
    m_valid = true;
    m_everGood = true;
    m_error.clear();
    SetJoysticks(std::move(joysticks));
}

void VirtualJoystickFile::Refuse(std::string reason)
{
    // A file caught half written, or mistyped while the program runs, must
    // not unplug every joystick: what was last good stays until it mends.
    if (!m_everGood) {
        SetJoysticks({});
    } else if (m_valid) {
        AddNotice(reason + "; the joysticks keep their last reading until the file is good again");
    }
    m_valid = false;
    m_error = std::move(reason);
}

void VirtualJoystickFile::AddNotice(std::string text)
{
    m_notices[m_noticeCount % kKeptNotices] = std::move(text);
    ++m_noticeCount;
}

const char* VirtualJoystickFile::GetNotice(std::uint32_t index) const
{
    if (index >= m_noticeCount || m_noticeCount - index > kKeptNotices) {
        return nullptr;
    }
    return m_notices[index % kKeptNotices].c_str();
}

const VirtualJoystick* VirtualJoystickFile::Find(int section) const
{
    for (const VirtualJoystick& joystick : m_joysticks) {
        if (joystick.section == section) {
            return &joystick;
        }
    }
    return nullptr;
}
