// InputDeviceList: what `tavelin --list-devices` says about every input
// device of the machine: whether udev tags it a joystick, whether Tavelin's
// own rule counts it, whether it can be opened and why not, and for a
// joystick that udev leaves untagged the rule that gives it to the user at
// the seat. The platform gathers the facts; the text is made here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct InputDeviceFacts {
    std::string node; // "/dev/input/event3"
    std::string name; // the device's own name, empty when unknown
    bool identified = false; // vendor and product are known
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    bool udevKnown = false; // udev has an entry for the node
    bool udevJoystick = false; // udev tagged it ID_INPUT_JOYSTICK
    std::string udevClasses; // the ID_INPUT_* classes udev gave it
    std::string udevExcluding; // the class for which Tavelin leaves it (ID_INPUT_KEYBOARD, ...), else empty
    bool capabilitiesKnown = false; // read from the device, or from sysfs when it cannot be opened
    std::string capabilitiesProblem; // why they are not known
    bool ruleCounts = false; // Tavelin's own rule on the capabilities
    bool taken = false; // Tavelin takes it as a joystick when it can open it
    bool opened = false;
    bool denied = false; // not opened for lack of permission
    std::string problem; // why it could not be opened: "Permission denied"
    std::string access; // the node's type, mode and owner: "crw-rw---- root input"
};

struct InputDeviceListing {
    std::string directory; // "/dev/input"
    bool readable = false; // the directory could be listed
    std::string problem; // why not
    std::vector<InputDeviceFacts> devices; // in node-number order
    std::string virtualFile; // TAVELIN_VIRTUAL_JOYSTICKS, when it is set
};

// Where the printed rules go: a local file that sorts after udev's own
// input_id rules and before 70-uaccess.rules, which hands the seat's user
// every node tagged ID_INPUT_JOYSTICK.
constexpr const char* kLocalJoystickRules = "/etc/udev/rules.d/69-tavelin-local.rules";

// The udev rule that tags the input devices of one vendor and product ID_INPUT_JOYSTICK.
std::string UdevJoystickRule(std::uint16_t vendor, std::uint16_t product);

// The listing as text; after every device that Tavelin's rule counts and
// that udev knows but does not tag, the rule and the two commands that
// install it and reload udev.
std::string FormatInputDeviceList(const InputDeviceListing& listing);

// The platform's input devices (Linux: the event nodes of /dev/input, with
// sysfs and udev's database). Linux only (platform/posix).
InputDeviceListing ListPlatformInputDevices();
