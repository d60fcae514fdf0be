// EvdevJoystick: the Linux evdev side of the joystick seam. The translation
// from a libevdev handle's state into DIJOYSTATE2 is kept apart from the
// device files so tests can feed it a libevdev handle of their own.
#pragma once

#include "devices/DirectInput.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <sys/types.h>
#include <vector>

struct libevdev;

// The axis usages of a HID device's input fields, (page << 16) | usage, in
// report-descriptor order: what the kernel's evdev codes hide (a Dial and a
// Simulation Rudder are both ABS_RUDDER). Empty when nothing was learnt.
std::vector<std::uint32_t> ParseHidAxisUsages(std::span<const std::uint8_t> descriptor);

// DirectInput's axis rule: the device's own range scaled to [rangeMinimum,
// rangeMaximum], then the dead zone and saturation (ten-thousandths of the
// half travel) about the centre, rounded and never outside the range.
std::int32_t ScaleEvdevAxis(int value, int minimum, int maximum, std::int32_t rangeMinimum, std::int32_t rangeMaximum,
    std::uint32_t deadZone, std::uint32_t saturation);

// A hat's two axes (each below, at or above its centre: -1, 0, 1; y -1 is
// forward) as DirectInput's POV value, hundredths of a degree clockwise.
std::uint32_t EvdevHatToPov(int x, int y);

// Which evdev codes feed which DIJOYSTATE2 fields, and the properties set.
class EvdevTranslation {
public:
    enum class Drained { Ok, Lost };

    // Reads the handle's capabilities; allocates (once per device). `usages`
    // are the device's HID axis usages when its report descriptor could be
    // read, else empty (the evdev codes decide alone).
    void Configure(const libevdev* device, std::span<const std::uint32_t> usages = {});
    // Reads every pending event; a SYN_DROPPED is resynchronised through
    // libevdev's sync mode. Lost when the descriptor has failed.
    Drained Drain(libevdev* device);
    // The handle's current state as DIJOYSTATE2 under the properties set.
    void Fill(const libevdev* device, DIJOYSTATE2& state) const;

    void SetRange(std::int32_t minimum, std::int32_t maximum);
    void SetDeadZone(std::uint32_t deadZone) { m_deadZone = deadZone; }
    void SetSaturation(std::uint32_t saturation) { m_saturation = saturation; }

    int ButtonCount() const { return static_cast<int>(m_buttons.size()); }
    bool HasAxis(int index) const { return index >= 0 && index < 8 && m_axes[index] >= 0; }
    bool HasPov(int index) const { return index >= 0 && index < 4 && (m_hats[index][0] >= 0 || m_hats[index][1] >= 0); }
    // The evdev key code of button i, -1 if there is none.
    int ButtonCode(int index) const;

private:
    int m_axes[8] = { -1, -1, -1, -1, -1, -1, -1, -1 };
    int m_hats[4][2] = { { -1, -1 }, { -1, -1 }, { -1, -1 }, { -1, -1 } };
    std::vector<int> m_buttons;
    std::int32_t m_rangeMinimum = 0;
    std::int32_t m_rangeMaximum = 65535;
    std::uint32_t m_deadZone = 0;
    std::uint32_t m_saturation = 10000;
};

// True when udev would tag the handle ID_INPUT_JOYSTICK: absolute axes with
// joystick or gamepad buttons, or the axes of pedals, throttles and wheels
// without any key of a keyboard, mouse, touch device or tablet, or a
// button box's joystick buttons alone (two at least); never an
// accelerometer (INPUT_PROP_ACCELEROMETER).
bool IsEvdevJoystick(const libevdev* device);

// What udev's database says about an input device node.
struct UdevInputClass {
    bool known = false; // udev has an entry for it
    bool joystick = false; // ID_INPUT_JOYSTICK=1
    std::string excluding; // the first class that rules a joystick out (ID_INPUT_KEYBOARD, ...), else empty
    std::string classes; // every ID_INPUT_* class udev gave it: "ID_INPUT_KEY=1 ID_INPUT_KEYBOARD=1"
    std::string serial; // ID_SERIAL_SHORT, empty when udev has none
    std::string path; // ID_PATH, the port: "pci-0000:00:14.0-usb-0:2:1.0"
};

// udev's entry for the character device `device`; nothing known without libudev.
UdevInputClass AskUdevAbout(dev_t device);

// The backend's choice: udev's joystick tag, or IsEvdevJoystick when udev
// gave the node no class that rules a joystick out.
bool CountsAsJoystick(const UdevInputClass& udev, const libevdev* device);

// udev's entry for the node at a path; nothing known for anything but a character device.
UdevInputClass AskUdevAboutNode(const std::string& node);

// Who answers for udev when the input devices are listed (tests answer for their own nodes).
using UdevLookup = std::function<UdevInputClass(const std::string& node)>;

struct InputDeviceListing;
// Every event node of `directory` as `tavelin --list-devices` shows it; a
// node that cannot be opened is described from <sysfs>/event<N>/device.
InputDeviceListing ListInputDevices(const std::string& directory, const std::string& sysfs, const UdevLookup& udev);

// The event nodes of a directory ("event<N>"), in node-number order.
std::vector<std::string> ListEventNodes(const std::string& directory);

// A root object over the event nodes in `directory` (normally /dev/input);
// a node's HID report descriptor is looked for at
// <sysfs>/event<N>/device/device/report_descriptor (normally /sys/class/input).
HRESULT CreateEvdevDirectInput(const char* directory, IDirectInputA** out, const char* sysfs = "/sys/class/input");

// A root object whose joysticks are the devices of evemu-record files, each
// played in real time (from the moment the files were read) through the same
// device code as a node; at its end a device keeps its last state, or with
// `loop` starts again. Problems of a file come once each through TakeNote.
HRESULT CreateEvemuDirectInput(const std::vector<std::string>& paths, bool loop, IDirectInputA** out);

// The files TAVELIN_EVEMU names, separated by ":"; empty when it names none.
std::vector<std::string> EvemuRecordingPaths();

// The clock recordings play by, in microseconds; null restores the steady clock.
using EvemuClock = std::int64_t (*)();
void SetEvemuClock(EvemuClock clock);
