// Translating a libevdev handle's state into DIJOYSTATE2 the way Windows'
// DirectInput 5 reports the same HID device, so that a configuration file
// names the same inputs on both.
//
// The kernel turns HID usages into evdev codes and loses some on the way;
// where it does, the device's report descriptor (from sysfs) tells them
// apart, and without one the evdev codes decide as the last column says.
//
//   evdev code     HID usage behind it          DirectInput   without a descriptor, and why
//   ABS_X..ABS_RZ  Generic Desktop X..Rz        X..Rz         the same: one usage per code
//   ABS_THROTTLE   GD Slider, Simulation        slider        the same: both are sliders
//                  Throttle
//   ABS_RUDDER     GD Dial                      slider        Rz when the device has no ABS_RZ
//                  Simulation Rudder            Rz            (rudder pedals), else a slider (a dial
//                                                             beside a twist grip)
//   ABS_WHEEL      GD Wheel                     Z             X when the device has no ABS_X
//                  Simulation Steering          X             (a steering wheel), else Z
//   ABS_GAS        Simulation Accelerator       Y             Y
//   ABS_BRAKE      Simulation Brake             Rz            Rz
//   ABS_HAT0..3    GD Hat switch                POV 1..4      the same; hundredths of a degree
//                                                             clockwise from forward
//   BTN_0..,       Button 1, 2, ...             button 1, 2.. key-code order, which is the HID
//   BTN_JOYSTICK..                                            button-usage order for every
//                                                             application the kernel maps
//
// The GD axes X..Rz take their own fields first; every other input takes
// its field if that is still free, in descriptor order (code order without
// one), else the next free slider, else it is left out. Sliders fill in
// that order too. An axis whose minimum is above its maximum reads the
// right way round (the minimum end is -10000). At most 128 buttons; missing
// axes read 0, missing hats read centred.
#include "platform/posix/EvdevJoystick.h"

#include "devices/DirectInputObjects.h"

#include <libevdev/libevdev.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <vector>

namespace {

constexpr int kDirectAxes[6] = { ABS_X, ABS_Y, ABS_Z, ABS_RX, ABS_RY, ABS_RZ };
constexpr int kOtherAxes[5] = { ABS_THROTTLE, ABS_RUDDER, ABS_WHEEL, ABS_GAS, ABS_BRAKE };
constexpr int kSlider = 6; // "the next free slider" as a wanted field

constexpr std::uint32_t kGenericDesktop = 0x01;
constexpr std::uint32_t kSimulation = 0x02;
constexpr std::uint32_t Usage(std::uint32_t page, std::uint32_t usage)
{
    return page << 16 | usage;
}
constexpr std::uint32_t kGdX = Usage(kGenericDesktop, 0x30);
constexpr std::uint32_t kGdSlider = Usage(kGenericDesktop, 0x36);
constexpr std::uint32_t kGdWheel = Usage(kGenericDesktop, 0x38);
constexpr std::uint32_t kSimRudder = Usage(kSimulation, 0xBA);
constexpr std::uint32_t kSimThrottle = Usage(kSimulation, 0xBB);
constexpr std::uint32_t kSimAccelerator = Usage(kSimulation, 0xC4);
constexpr std::uint32_t kSimBrake = Usage(kSimulation, 0xC5);
constexpr std::uint32_t kSimSteering = Usage(kSimulation, 0xC8);

// The evdev code the kernel gives an axis usage, -1 for usages it does not make an axis of.
int KernelCode(std::uint32_t usage)
{
    if (usage >= kGdX && usage <= kGdWheel) {
        return static_cast<int>(usage - kGdX); // ABS_X .. ABS_WHEEL, as the kernel counts them
    }
    switch (usage) {
    case kSimRudder:
        return ABS_RUDDER;
    case kSimThrottle:
        return ABS_THROTTLE;
    case kSimAccelerator:
        return ABS_GAS;
    case kSimBrake:
        return ABS_BRAKE;
    case kSimSteering:
        return ABS_WHEEL;
    default:
        return -1;
    }
}

// The field Windows gives an axis usage: 0..5 X..Rz, or kSlider.
int WindowsField(std::uint32_t usage)
{
    if (usage >= kGdX && usage < kGdSlider) {
        return static_cast<int>(usage - kGdX);
    }
    switch (usage) {
    case kGdWheel:
        return 2;
    case kSimSteering:
        return 0;
    case kSimAccelerator:
        return 1;
    case kSimRudder:
    case kSimBrake:
        return 5;
    default:
        return kSlider; // Slider, Dial, Simulation Throttle
    }
}

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
    // An inverted range (minimum above maximum) turns the sign of the half travel.
    if (maximum != minimum) {
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

void EvdevTranslation::Configure(const libevdev* device, std::span<const std::uint32_t> usages)
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

    // Each axis code with the field it wants, in descriptor order, then the
    // codes the descriptor did not explain in code order.
    struct Wanted {
        int code;
        int field;
    };
    std::vector<Wanted> wanted;
    const auto listed = [&wanted](int code) {
        return std::any_of(wanted.begin(), wanted.end(), [code](const Wanted& w) { return w.code == code; });
    };
    for (const std::uint32_t usage : usages) {
        const int code = KernelCode(usage);
        // A second usage for one code is one the kernel dropped.
        if (code >= 0 && has(EV_ABS, code) && !listed(code)) {
            wanted.push_back({ code, WindowsField(usage) });
        }
    }
    for (const int code : kDirectAxes) {
        if (has(EV_ABS, code) && !listed(code)) {
            wanted.push_back({ code, code - ABS_X });
        }
    }
    for (const int code : kOtherAxes) {
        if (!has(EV_ABS, code) || listed(code)) {
            continue;
        }
        int field = kSlider;
        if (code == ABS_RUDDER) {
            field = has(EV_ABS, ABS_RZ) ? kSlider : 5;
        } else if (code == ABS_WHEEL) {
            field = has(EV_ABS, ABS_X) ? 2 : 0;
        } else if (code == ABS_GAS) {
            field = 1;
        } else if (code == ABS_BRAKE) {
            field = 5;
        }
        wanted.push_back({ code, field });
    }
    const auto place = [this](const Wanted& axis) {
        if (axis.field < kSlider && m_axes[axis.field] < 0) {
            m_axes[axis.field] = axis.code;
        } else if (m_axes[6] < 0) {
            m_axes[6] = axis.code;
        } else if (m_axes[7] < 0) {
            m_axes[7] = axis.code;
        }
    };
    // The desktop axes own their fields; the rest take what is left.
    for (const Wanted& axis : wanted) {
        if (axis.code <= ABS_RZ) {
            place(axis);
        }
    }
    for (const Wanted& axis : wanted) {
        if (axis.code > ABS_RZ) {
            place(axis);
        }
    }

    for (int hat = 0; hat < 4; ++hat) {
        for (int side = 0; side < 2; ++side) {
            if (has(EV_ABS, kHatCodes[hat][side])) {
                m_hats[hat][side] = kHatCodes[hat][side];
            }
        }
    }
    // BTN_0.. is where the kernel puts the buttons of a device that is
    // neither joystick nor gamepad (many home-made boards); BTN_MOUSE.. is a mouse's.
    for (int code = BTN_MISC; code < BTN_MOUSE && m_buttons.size() < 128; ++code) {
        if (has(EV_KEY, code)) {
            m_buttons.push_back(code);
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
    const auto has
        = [device](unsigned type, unsigned code) { return libevdev_has_event_code(device, type, code) != 0; };
    const auto any = [&has](unsigned type, unsigned first, unsigned last) {
        for (unsigned code = first; code <= last; ++code) {
            if (has(type, code)) {
                return true;
            }
        }
        return false;
    };
    if (libevdev_has_property(device, INPUT_PROP_ACCELEROMETER) != 0) {
        return false;
    }
    // Pointing devices, told apart as udev does: only a device with absolute
    // X and Y (or touch slots) can be a tablet, touchpad, touch screen or
    // absolute mouse; a device with relative X and Y is a mouse.
    const bool pen = has(EV_KEY, BTN_TOOL_PEN) || has(EV_KEY, BTN_STYLUS);
    const bool finger = has(EV_KEY, BTN_TOOL_FINGER) || has(EV_KEY, BTN_TOUCH);
    const bool direct = libevdev_has_property(device, INPUT_PROP_DIRECT) != 0;
    const bool pointer = (has(EV_ABS, ABS_X) && has(EV_ABS, ABS_Y)) || has(EV_ABS, ABS_MT_POSITION_X);
    if (pointer && (pen || finger || direct || any(EV_KEY, BTN_MOUSE, BTN_JOYSTICK - 1))) {
        return false;
    }
    const bool relativeMouse = has(EV_REL, REL_X) && has(EV_REL, REL_Y);
    // udev's keyboard test: a joystick may carry a key or two, a keyboard carries them all.
    constexpr unsigned kKeyboardKeys[] = { KEY_LEFTCTRL, KEY_CAPSLOCK, KEY_NUMLOCK, KEY_INSERT, KEY_MUTE, KEY_CALC,
        KEY_FILE, KEY_MAIL, KEY_PLAYPAUSE, KEY_BRIGHTNESSDOWN };
    int keyboardKeys = 0;
    for (const unsigned key : kKeyboardKeys) {
        keyboardKeys += has(EV_KEY, key) ? 1 : 0;
    }
    if (keyboardKeys >= 4) {
        return false;
    }
    const bool stickAxes = any(EV_ABS, ABS_X, ABS_RZ);
    const bool cockpitAxes = any(EV_ABS, ABS_THROTTLE, ABS_BRAKE);
    const bool hats = any(EV_ABS, ABS_HAT0X, ABS_HAT3Y);
    if (!stickAxes && !cockpitAxes && !hats) {
        // A button box: buttons of a joystick application (the kernel's
        // BTN_TRIGGER.. and BTN_TRIGGER_HAPPY..) and nothing else, as udev
        // tags it. A gamepad's buttons alone are a remote's, not a joystick.
        int joystickButtons = 0;
        for (unsigned code = BTN_JOYSTICK; code < BTN_GAMEPAD; ++code) {
            joystickButtons += has(EV_KEY, code) ? 1 : 0;
        }
        for (unsigned code = BTN_TRIGGER_HAPPY1; code <= BTN_TRIGGER_HAPPY40; ++code) {
            joystickButtons += has(EV_KEY, code) ? 1 : 0;
        }
        return joystickButtons >= 2 && !relativeMouse && keyboardKeys == 0 && !any(EV_KEY, KEY_ESC, KEY_MICMUTE)
            && !any(EV_KEY, BTN_MOUSE, BTN_JOYSTICK - 1);
    }
    // Joystick and gamepad buttons (BTN_JOYSTICK..BTN_THUMBR, BTN_TRIGGER_HAPPY..),
    // or the buttons of a board the kernel files under BTN_0...
    if (any(EV_KEY, BTN_JOYSTICK, BTN_THUMBR) || any(EV_KEY, BTN_TRIGGER_HAPPY1, BTN_TRIGGER_HAPPY40)
        || any(EV_KEY, BTN_MISC, BTN_9)) {
        return true;
    }
    // Buttonless: pedals, throttles, wheels, axis-only boards, unless they
    // carry any key of a keyboard, mouse or touch device.
    return (stickAxes || cockpitAxes) && !relativeMouse && !pen && !finger && !any(EV_KEY, KEY_ESC, KEY_MICMUTE)
        && !any(EV_KEY, BTN_MOUSE, BTN_JOYSTICK - 1);
}

std::vector<std::uint32_t> ParseHidAxisUsages(std::span<const std::uint8_t> descriptor)
{
    std::vector<std::uint32_t> found;
    std::uint32_t page = 0;
    std::uint32_t pageStack[4] = {};
    int stackDepth = 0;
    std::uint32_t count = 0;
    std::uint32_t countStack[4] = {};
    std::vector<std::uint32_t> locals;
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
    bool ranged = false;
    std::size_t at = 0;
    while (at < descriptor.size()) {
        const std::uint8_t prefix = descriptor[at];
        if (prefix == 0xFE) { // a long item: its size follows
            if (at + 1 >= descriptor.size()) {
                break;
            }
            at += 3u + descriptor[at + 1];
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (at + 1 + size > descriptor.size()) {
            break;
        }
        std::uint32_t data = 0;
        for (std::size_t i = 0; i < size; ++i) {
            data |= static_cast<std::uint32_t>(descriptor[at + 1 + i]) << (8 * i);
        }
        at += 1 + size;
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        // A local usage of one or two bytes lives on the current page.
        const auto full = [&page, size](std::uint32_t usage) { return size == 4 ? usage : page << 16 | usage; };
        if (type == 1) {
            if (tag == 0) {
                page = data;
            } else if (tag == 9) {
                count = data;
            } else if (tag == 10 && stackDepth < 4) {
                pageStack[stackDepth] = page;
                countStack[stackDepth] = count;
                ++stackDepth;
            } else if (tag == 11 && stackDepth > 0) {
                --stackDepth;
                page = pageStack[stackDepth];
                count = countStack[stackDepth];
            }
        } else if (type == 2) {
            if (tag == 0 && locals.size() < 256) {
                locals.push_back(full(data));
            } else if (tag == 1) {
                minimum = full(data);
                ranged = true;
            } else if (tag == 2) {
                maximum = full(data);
                ranged = true;
            }
        } else if (type == 0) {
            // An Input that is data and variable: one usage per field, the last repeating.
            if (tag == 8 && (data & 1) == 0 && (data & 2) != 0) {
                std::vector<std::uint32_t> usages = locals;
                if (usages.empty() && ranged && maximum >= minimum) {
                    for (std::uint32_t usage = minimum; usage <= maximum && usages.size() < 256; ++usage) {
                        usages.push_back(usage);
                    }
                }
                for (std::uint32_t field = 0; field < count && field < 256 && !usages.empty(); ++field) {
                    const std::uint32_t usage = usages[std::min<std::size_t>(field, usages.size() - 1)];
                    if (KernelCode(usage) >= 0) {
                        found.push_back(usage);
                    }
                }
            }
            locals.clear();
            ranged = false;
            minimum = 0;
            maximum = 0;
        }
    }
    return found;
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
