// Translating a libevdev handle's state into DIJOYSTATE2 the way DirectInput
// 5 reports a joystick: axes X, Y, Z, RX, RY, RZ to the same fields, THROTTLE
// to slider 1 and RUDDER to slider 2, then WHEEL, GAS and BRAKE into a slider
// still free; HAT0..HAT3 to POV 1..4; buttons are the key codes from
// BTN_JOYSTICK upward in code order (at most 128). Missing axes read 0,
// missing hats read centred.
#include "platform/posix/EvdevJoystick.h"

#include "devices/DirectInputObjects.h"

#include <libevdev/libevdev.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <dirent.h>

namespace {

constexpr int kDirectAxes[6] = { ABS_X, ABS_Y, ABS_Z, ABS_RX, ABS_RY, ABS_RZ };
constexpr int kSliderFillers[3] = { ABS_WHEEL, ABS_GAS, ABS_BRAKE };
constexpr int kHatCodes[4][2]
    = { { ABS_HAT0X, ABS_HAT0Y }, { ABS_HAT1X, ABS_HAT1Y }, { ABS_HAT2X, ABS_HAT2Y }, { ABS_HAT3X, ABS_HAT3Y } };
constexpr int kMaxDrainedEvents = 4096;

int HatDirection(const libevdev* device, int code)
{
    if (code < 0) {
        return 0;
    }
    const input_absinfo* info = libevdev_get_abs_info(device, static_cast<unsigned>(code));
    const int value = libevdev_get_event_value(device, EV_ABS, static_cast<unsigned>(code));
    if (info == nullptr) {
        return value < 0 ? -1 : (value > 0 ? 1 : 0);
    }
    // Twice the value against the sum: no rounding of an odd centre.
    const long long twice = 2LL * value;
    const long long sum = static_cast<long long>(info->minimum) + info->maximum;
    return twice < sum ? -1 : (twice > sum ? 1 : 0);
}

} // namespace

std::int32_t ScaleEvdevAxis(int value, int minimum, int maximum, std::int32_t rangeMinimum, std::int32_t rangeMaximum,
    std::uint32_t deadZone, std::uint32_t saturation)
{
    const double centre = (static_cast<double>(rangeMinimum) + rangeMaximum) / 2.0;
    const double half = (static_cast<double>(rangeMaximum) - rangeMinimum) / 2.0;
    double result = centre;
    if (maximum > minimum) {
        const double deviceCentre = (static_cast<double>(minimum) + maximum) / 2.0;
        const double deviceHalf = (static_cast<double>(maximum) - minimum) / 2.0;
        const double deflection = std::clamp((value - deviceCentre) / deviceHalf, -1.0, 1.0);
        const double magnitude = std::fabs(deflection) * 10000.0;
        const double zone = std::min<double>(deadZone, 10000.0);
        const double full = std::min<double>(saturation, 10000.0);
        const double sign = deflection < 0 ? -1.0 : 1.0;
        if (magnitude <= zone) {
            result = centre;
        } else if (magnitude >= full || full <= zone) {
            result = centre + sign * half;
        } else {
            result = centre + sign * half * (magnitude - zone) / (full - zone);
        }
    }
    const double rounded = std::round(result);
    return static_cast<std::int32_t>(
        std::clamp(rounded, static_cast<double>(rangeMinimum), static_cast<double>(rangeMaximum)));
}

std::uint32_t EvdevHatToPov(int x, int y)
{
    x = x < 0 ? -1 : (x > 0 ? 1 : 0);
    y = y < 0 ? -1 : (y > 0 ? 1 : 0);
    // Indexed [y + 1][x + 1]; forward is y = -1.
    constexpr std::uint32_t kPov[3][3] = { { 31500, 0, 4500 }, { 27000, 0xFFFFFFFFu, 9000 }, { 22500, 18000, 13500 } };
    return kPov[y + 1][x + 1];
}

void EvdevTranslation::Configure(const libevdev* device)
{
    for (int& axis : m_axes) {
        axis = -1;
    }
    for (auto& hat : m_hats) {
        hat[0] = -1;
        hat[1] = -1;
    }
    m_buttons.clear();
    const auto has = [device](unsigned type, int code) {
        return libevdev_has_event_code(device, type, static_cast<unsigned>(code)) != 0;
    };
    for (int i = 0; i < 6; ++i) {
        if (has(EV_ABS, kDirectAxes[i])) {
            m_axes[i] = kDirectAxes[i];
        }
    }
    if (has(EV_ABS, ABS_THROTTLE)) {
        m_axes[6] = ABS_THROTTLE;
    }
    if (has(EV_ABS, ABS_RUDDER)) {
        m_axes[7] = ABS_RUDDER;
    }
    for (int code : kSliderFillers) {
        if (!has(EV_ABS, code)) {
            continue;
        }
        if (m_axes[6] < 0) {
            m_axes[6] = code;
        } else if (m_axes[7] < 0) {
            m_axes[7] = code;
        }
    }
    for (int hat = 0; hat < 4; ++hat) {
        for (int side = 0; side < 2; ++side) {
            if (has(EV_ABS, kHatCodes[hat][side])) {
                m_hats[hat][side] = kHatCodes[hat][side];
            }
        }
    }
    for (int code = BTN_JOYSTICK; code <= KEY_MAX && m_buttons.size() < 128; ++code) {
        if (has(EV_KEY, code)) {
            m_buttons.push_back(code);
        }
    }
}

void EvdevTranslation::SetRange(std::int32_t minimum, std::int32_t maximum)
{
    m_rangeMinimum = minimum;
    m_rangeMaximum = maximum;
}

int EvdevTranslation::ButtonCode(int index) const
{
    if (index < 0 || index >= ButtonCount()) {
        return -1;
    }
    return m_buttons[static_cast<std::size_t>(index)];
}

EvdevTranslation::Drained EvdevTranslation::Drain(libevdev* device)
{
    unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
    input_event event {};
    // Bounded: a device that floods faster than we read must not hold the tick.
    for (int i = 0; i < kMaxDrainedEvents; ++i) {
        const int result = libevdev_next_event(device, flags, &event);
        if (result == LIBEVDEV_READ_STATUS_SYNC) {
            // Either the SYN_DROPPED itself or one event of the resync:
            // stay in sync mode until libevdev says the resync is over.
            flags = LIBEVDEV_READ_FLAG_SYNC;
            continue;
        }
        if (result == LIBEVDEV_READ_STATUS_SUCCESS) {
            continue;
        }
        if (result == -EAGAIN) {
            if (flags == LIBEVDEV_READ_FLAG_SYNC) {
                flags = LIBEVDEV_READ_FLAG_NORMAL;
                continue;
            }
            return Drained::Ok;
        }
        if (result == -EINTR) {
            return Drained::Ok;
        }
        return Drained::Lost;
    }
    return Drained::Ok;
}

void EvdevTranslation::Fill(const libevdev* device, DIJOYSTATE2& state) const
{
    EmulatedJoystickReading reading;
    for (int i = 0; i < 8; ++i) {
        if (m_axes[i] < 0) {
            continue;
        }
        const auto code = static_cast<unsigned>(m_axes[i]);
        const input_absinfo* info = libevdev_get_abs_info(device, code);
        if (info == nullptr) {
            continue;
        }
        reading.axes[i] = ScaleEvdevAxis(
            info->value, info->minimum, info->maximum, m_rangeMinimum, m_rangeMaximum, m_deadZone, m_saturation);
    }
    for (int hat = 0; hat < 4; ++hat) {
        if (HasPov(hat)) {
            reading.povs[hat]
                = EvdevHatToPov(HatDirection(device, m_hats[hat][0]), HatDirection(device, m_hats[hat][1]));
        }
    }
    bool pressed[128] = {};
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        pressed[i] = libevdev_get_event_value(device, EV_KEY, static_cast<unsigned>(m_buttons[i])) != 0;
    }
    PackJoystickState(reading, std::span<const bool>(pressed, m_buttons.size()), state);
}

bool IsEvdevJoystick(const libevdev* device)
{
    if (libevdev_has_event_code(device, EV_ABS, ABS_X) == 0 && libevdev_has_event_code(device, EV_ABS, ABS_Y) == 0) {
        return false;
    }
    // BTN_JOYSTICK..BTN_DEAD and BTN_GAMEPAD..BTN_THUMBR.
    for (unsigned code = BTN_JOYSTICK; code <= BTN_THUMBR; ++code) {
        if (libevdev_has_event_code(device, EV_KEY, code) != 0) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> ListEventNodes(const std::string& directory)
{
    std::vector<std::pair<long, std::string>> numbered;
    if (DIR* folder = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name.size() <= 5 || name.compare(0, 5, "event") != 0
                || name.find_first_not_of("0123456789", 5) != std::string::npos || name.size() > 14) {
                continue;
            }
            numbered.emplace_back(std::strtol(name.c_str() + 5, nullptr, 10), directory + "/" + name);
        }
        closedir(folder);
    }
    // Number order, not text order: event10 comes after event9.
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> nodes;
    nodes.reserve(numbered.size());
    for (auto& node : numbered) {
        nodes.push_back(std::move(node.second));
    }
    return nodes;
}
