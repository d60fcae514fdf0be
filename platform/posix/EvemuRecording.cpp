// Reading evemu-record files and playing them back onto a libevdev handle.
//
// Reads the description lines N: (name), I: (bus, vendor, product and
// version, hex), P: (property bits), B: (event bits per type), A: (an
// axis: code in hex, minimum, maximum, fuzz, flat and the optional
// resolution) and L:/S: (LED and switch states, not played), then the
// events "E: <seconds>.<microseconds> <type> <code> <value>"; "#" starts a
// comment anywhere but in a name. Times count from the first event, so both
// the old absolute stamps and the newer ones from zero play alike.
// Events play frame by frame (up to each SYN_REPORT); a SYN_DROPPED frame is
// left out, as a reader resynchronising after it would never see it.
#include "platform/posix/EvemuRecording.h"

#include <libevdev/libevdev.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// The highest code the kernel knows for each event type.
int MaxCode(int type)
{
    switch (type) {
    case EV_SYN:
        return SYN_MAX;
    case EV_KEY:
        return KEY_MAX;
    case EV_REL:
        return REL_MAX;
    case EV_ABS:
        return ABS_MAX;
    case EV_MSC:
        return MSC_MAX;
    case EV_SW:
        return SW_MAX;
    case EV_LED:
        return LED_MAX;
    case EV_SND:
        return SND_MAX;
    case EV_REP:
        return REP_MAX;
    case EV_FF:
        return FF_MAX;
    case EV_PWR:
        return 0;
    case EV_FF_STATUS:
        return FF_STATUS_MAX;
    default:
        return -1;
    }
}

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

// The words of a line after its tag, a comment cut off.
std::vector<std::string_view> Words(std::string_view text)
{
    const std::size_t comment = text.find('#');
    if (comment != std::string_view::npos) {
        text = text.substr(0, comment);
    }
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r')) {
            ++at;
        }
        const std::size_t start = at;
        while (at < text.size() && text[at] != ' ' && text[at] != '\t' && text[at] != '\r') {
            ++at;
        }
        if (at > start) {
            words.push_back(text.substr(start, at - start));
        }
    }
    return words;
}

template <class Number> bool ParseNumber(std::string_view word, Number& out, int base = 10)
{
    const char* end = word.data() + word.size();
    const std::from_chars_result result = std::from_chars(word.data(), end, out, base);
    return result.ec == std::errc() && result.ptr == end && !word.empty();
}

// "<seconds>.<microseconds>" as microseconds.
bool ParseTime(std::string_view word, std::int64_t& out)
{
    const std::size_t dot = word.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 >= word.size() || word.size() - dot - 1 > 6) {
        return false;
    }
    std::int64_t seconds = 0;
    std::int64_t fraction = 0;
    if (!ParseNumber(word.substr(0, dot), seconds) || !ParseNumber(word.substr(dot + 1), fraction) || seconds < 0
        || seconds > 1'000'000'000'000LL || word[dot + 1] == '-' || word[dot + 1] == '+') {
        return false;
    }
    for (std::size_t digits = word.size() - dot - 1; digits < 6; ++digits) {
        fraction *= 10;
    }
    out = seconds * 1'000'000 + fraction;
    return true;
}

} // namespace

EvemuRecording::EvemuRecording(std::string path)
    : m_path(std::move(path))
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(m_path, error);
    if (error) {
        m_problem = m_path + ": cannot be read (" + error.message() + ")";
        return;
    }
    if (size > kMaxFileBytes) {
        m_problem = m_path + ": larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB, not read";
        return;
    }
    std::ifstream file(m_path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!file || !file.read(text.data(), static_cast<std::streamsize>(text.size()))) {
        m_problem = m_path + ": cannot be read";
        return;
    }
    Parse(text);
}

bool EvemuRecording::Fail(std::size_t line, const std::string& what)
{
    if (m_problem.empty()) {
        m_problem = m_path + ", line " + std::to_string(line) + ": " + what;
    }
    return false;
}

void EvemuRecording::Parse(const std::string& text)
{
    std::size_t at = 0;
    std::size_t number = 0;
    bool ok = true;
    while (ok && at < text.size()) {
        ++number;
        std::size_t end = text.find('\n', at);
        const bool complete = end != std::string::npos;
        if (!complete) {
            end = text.size();
        }
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.size() > 4096) {
            ok = Fail(number, "a line of more than 4096 characters");
            break;
        }
        if (line.find('\0') != std::string::npos) {
            ok = Fail(number, "not text");
            break;
        }
        m_frameLine = m_frame.empty() ? number : m_frameLine;
        if (!ParseLine(line)) {
            ok = Fail(number, complete ? m_lineError : m_lineError + " (the file is truncated)");
        }
    }
    if (ok && !m_frame.empty()) {
        Fail(m_frameLine, "the recording is truncated: the events from here on end without a SYN_REPORT");
    }
    m_frame.clear();
    m_hasDevice = m_haveId && !m_bits.empty();
    if (!m_hasDevice && m_problem.empty()) {
        m_problem = m_path + ": no device described (an I: and B: lines are needed)";
    }
}

bool EvemuRecording::ParseLine(const std::string& line)
{
    const auto bad = [this](const std::string& what) {
        m_lineError = what;
        return false;
    };
    const std::string_view view(line);
    std::size_t start = view.find_first_not_of(" \t\r");
    if (start == std::string_view::npos || view[start] == '#') {
        return true;
    }
    if (view.size() < start + 2 || view[start + 1] != ':') {
        return bad("not a line of an evemu recording");
    }
    const char tag = view[start];
    const std::string_view rest = view.substr(start + 2);
    if (tag != 'E' && m_inEvents) {
        return bad("a description line among the events");
    }
    if (tag == 'N') {
        const std::size_t first = rest.find_first_not_of(' ');
        const std::size_t last = rest.find_last_not_of(" \r");
        m_name = first == std::string_view::npos ? "" : std::string(rest.substr(first, last - first + 1));
        return true;
    }
    const std::vector<std::string_view> words = Words(rest);
    if (tag == 'I') {
        if (words.size() != 4) {
            return bad("an I: line needs bus, vendor, product and version");
        }
        for (int i = 0; i < 4; ++i) {
            if (!ParseNumber(words[static_cast<std::size_t>(i)], m_id[i], 16)) {
                return bad("an I: value is not a 16-bit hex number");
            }
        }
        m_haveId = true;
        return true;
    }
    if (tag == 'P' || tag == 'B') {
        std::size_t first = 0;
        std::vector<std::uint8_t>* bits = &m_properties;
        int type = -1;
        if (tag == 'B') {
            if (words.empty() || !ParseNumber(words[0], type, 16) || type < 0 || type >= EV_CNT) {
                return bad("event type " + std::string(words.empty() ? "" : words[0])
                    + " beyond the kernel's range (types end at " + Hex(EV_MAX) + ")");
            }
            if (m_bits.size() <= static_cast<std::size_t>(type)) {
                m_bits.resize(static_cast<std::size_t>(type) + 1);
            }
            bits = &m_bits[static_cast<std::size_t>(type)];
            first = 1;
        }
        for (std::size_t i = first; i < words.size(); ++i) {
            std::uint8_t byte = 0;
            if (!ParseNumber(words[i], byte, 16)) {
                return bad("a bit mask byte that is not two hex digits");
            }
            const int bit = static_cast<int>(bits->size()) * 8;
            const int limit = tag == 'P' ? INPUT_PROP_MAX : MaxCode(type);
            for (int b = 0; b < 8; ++b) {
                if ((byte >> b & 1) != 0 && bit + b > limit) {
                    return bad("code " + Hex(static_cast<unsigned>(bit + b)) + " beyond the kernel's range (it ends at "
                        + Hex(static_cast<unsigned>(limit)) + ")");
                }
            }
            if (bits->size() < 128) {
                bits->push_back(byte);
            }
        }
        return true;
    }
    if (tag == 'A') {
        EvemuAxis axis;
        if ((words.size() != 5 && words.size() != 6) || !ParseNumber(words[0], axis.code, 16)
            || !ParseNumber(words[1], axis.minimum) || !ParseNumber(words[2], axis.maximum)
            || !ParseNumber(words[3], axis.fuzz) || !ParseNumber(words[4], axis.flat)
            || (words.size() == 6 && !ParseNumber(words[5], axis.resolution))) {
            return bad("an A: line needs the axis code in hex, then minimum, maximum, fuzz, flat and resolution");
        }
        if (axis.code < 0 || axis.code > ABS_MAX) {
            return bad(
                "axis " + std::string(words[0]) + " beyond the kernel's range (axes end at " + Hex(ABS_MAX) + ")");
        }
        m_axes.push_back(axis);
        return true;
    }
    if (tag == 'L' || tag == 'S') {
        return true; // LED and switch states: no joystick input
    }
    if (tag != 'E') {
        return bad("not a line of an evemu recording");
    }
    m_inEvents = true;
    EvemuEvent event;
    std::int64_t time = 0;
    int type = 0;
    int code = 0;
    if (words.size() != 4 || !ParseTime(words[0], time) || !ParseNumber(words[1], type, 16)
        || !ParseNumber(words[2], code, 16) || !ParseNumber(words[3], event.value)) {
        return bad("an E: line needs <seconds>.<microseconds> <type> <code> <value>");
    }
    if (type < 0 || type >= EV_CNT || code < 0 || code > MaxCode(type)) {
        return bad((type == EV_ABS ? "axis " : "event code ") + std::string(words[2]) + " of type "
            + std::string(words[1]) + " beyond the kernel's range");
    }
    if (m_firstTime < 0) {
        m_firstTime = time;
    }
    if (time < m_lastTime + m_firstTime) {
        return bad("out of time order: " + std::string(words[0]) + " comes after a later event");
    }
    m_lastTime = time - m_firstTime;
    event.microseconds = m_lastTime;
    event.type = static_cast<std::uint16_t>(type);
    event.code = static_cast<std::uint16_t>(code);
    if (type == EV_SYN && code == SYN_DROPPED) {
        m_frame.clear();
        return true;
    }
    m_frame.push_back(event);
    if (type == EV_SYN && code == SYN_REPORT) {
        m_events.insert(m_events.end(), m_frame.begin(), m_frame.end());
        m_frame.clear();
    }
    return true;
}

libevdev* EvemuRecording::MakeDevice() const
{
    if (!m_hasDevice) {
        return nullptr;
    }
    libevdev* device = libevdev_new();
    if (device == nullptr) {
        return nullptr;
    }
    libevdev_set_name(device, m_name.c_str());
    libevdev_set_id_bustype(device, m_id[0]);
    libevdev_set_id_vendor(device, m_id[1]);
    libevdev_set_id_product(device, m_id[2]);
    libevdev_set_id_version(device, m_id[3]);
    const auto set = [](const std::vector<std::uint8_t>& bits, int bit) {
        return static_cast<std::size_t>(bit / 8) < bits.size()
            && (bits[static_cast<std::size_t>(bit / 8)] >> (bit % 8) & 1) != 0;
    };
    for (int property = 0; property <= INPUT_PROP_MAX; ++property) {
        if (set(m_properties, property)) {
            libevdev_enable_property(device, static_cast<unsigned>(property));
        }
    }
    for (std::size_t type = 1; type < m_bits.size(); ++type) {
        const bool typed = m_bits[0].empty() || set(m_bits[0], static_cast<int>(type));
        // Key repeat needs values the recording does not give; a joystick has none.
        if (!typed || type == EV_REP) {
            continue;
        }
        for (int code = 0; code <= MaxCode(static_cast<int>(type)); ++code) {
            if (!set(m_bits[type], code)) {
                continue;
            }
            input_absinfo info {};
            const void* data = nullptr;
            if (type == EV_ABS) {
                const auto axis
                    = std::find_if(m_axes.begin(), m_axes.end(), [code](const EvemuAxis& a) { return a.code == code; });
                if (axis != m_axes.end()) {
                    info.minimum = axis->minimum;
                    info.maximum = axis->maximum;
                    info.fuzz = axis->fuzz;
                    info.flat = axis->flat;
                    info.resolution = axis->resolution;
                }
                data = &info;
            }
            libevdev_enable_event_code(device, static_cast<unsigned>(type), static_cast<unsigned>(code), data);
        }
    }
    return device;
}

void EvemuPlayback::Restart(libevdev* device)
{
    for (unsigned code = 0; code <= ABS_MAX; ++code) {
        if (libevdev_has_event_code(device, EV_ABS, code) != 0) {
            libevdev_set_event_value(device, EV_ABS, code, 0);
        }
    }
    for (unsigned code = 0; code <= KEY_MAX; ++code) {
        if (libevdev_get_event_value(device, EV_KEY, code) != 0) {
            libevdev_set_event_value(device, EV_KEY, code, 0);
        }
    }
    m_next = 0;
}

void EvemuPlayback::PlayUntil(libevdev* device, std::int64_t microseconds)
{
    const std::int64_t duration = m_recording->Duration();
    std::int64_t local = microseconds;
    if (m_loop && duration > 0) {
        const std::int64_t cycle = microseconds / duration;
        if (cycle != m_cycle) {
            // The round that passed ends in its last state; then from the start.
            Apply(device, duration);
            Restart(device);
            m_cycle = cycle;
        }
        local = microseconds - cycle * duration;
    }
    Apply(device, local);
}

void EvemuPlayback::Apply(libevdev* device, std::int64_t local)
{
    const std::vector<EvemuEvent>& events = m_recording->Events();
    while (m_next < events.size()) {
        std::size_t report = m_next;
        while (report < events.size() && !(events[report].type == EV_SYN && events[report].code == SYN_REPORT)) {
            ++report;
        }
        if (report >= events.size() || events[report].microseconds > local) {
            break;
        }
        for (std::size_t i = m_next; i < report; ++i) {
            // libevdev's own state update, as for an event read from a node:
            // codes the device lacks are dropped there.
            libevdev_set_event_value(device, events[i].type, events[i].code, events[i].value);
        }
        m_next = report + 1;
    }
    if (m_next >= events.size()) {
        m_reachedEnd = true;
    }
}
