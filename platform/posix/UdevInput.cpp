// What udev's database says about an input device, and the backend's choice
// of joysticks made from it: the one place both the evdev backend and
// `tavelin --list-devices` take it from. Without libudev nothing is known
// and the capabilities decide alone.
#include "platform/posix/EvdevJoystick.h"

#ifdef TAVELIN_HAVE_LIBUDEV
#include <libudev.h>
#endif

#include <cstring>

namespace {

// The classes udev's input_id gives, in the order they are shown. The first
// six rule a joystick out: a device udev calls one of them is never taken.
constexpr const char* kClasses[] = { "ID_INPUT_KEYBOARD", "ID_INPUT_MOUSE", "ID_INPUT_TOUCHPAD", "ID_INPUT_TOUCHSCREEN",
    "ID_INPUT_TABLET", "ID_INPUT_POINTINGSTICK", "ID_INPUT_JOYSTICK", "ID_INPUT_ACCELEROMETER", "ID_INPUT_KEY",
    "ID_INPUT_SWITCH", "ID_INPUT_TRACKBALL", "ID_INPUT_TABLET_PAD" };
constexpr int kExcludingClasses = 6;

} // namespace

UdevInputClass AskUdevAbout(dev_t device)
{
    UdevInputClass answer;
#ifdef TAVELIN_HAVE_LIBUDEV
    udev* context = udev_new();
    if (context == nullptr) {
        return answer;
    }
    if (udev_device* entry = udev_device_new_from_devnum(context, 'c', device)) {
        // Without an entry in udev's database (no udev running, or a node
        // it never saw) only the kernel's own properties are there.
        answer.known = udev_device_get_is_initialized(entry) > 0;
        int index = 0;
        for (const char* name : kClasses) {
            const char* value = udev_device_get_property_value(entry, name);
            if (value != nullptr && std::strcmp(value, "1") == 0) {
                answer.classes += (answer.classes.empty() ? "" : " ") + std::string(name) + "=1";
                if (index < kExcludingClasses && answer.excluding.empty()) {
                    answer.excluding = name;
                }
                if (std::strcmp(name, "ID_INPUT_JOYSTICK") == 0) {
                    answer.joystick = true;
                }
            }
            ++index;
        }
        const char* serial = udev_device_get_property_value(entry, "ID_SERIAL_SHORT");
        const char* path = udev_device_get_property_value(entry, "ID_PATH");
        answer.serial = serial != nullptr ? serial : "";
        answer.path = path != nullptr ? path : "";
        udev_device_unref(entry);
    }
    udev_unref(context);
#else
    (void)device;
#endif
    return answer;
}

bool CountsAsJoystick(const UdevInputClass& udev, const libevdev* device)
{
    // Untagged, or only ID_INPUT_ACCELEROMETER by udev's guess from X, Y and
    // Z without keys (a buttonless pedal set looks like that): the
    // capabilities decide.
    return udev.joystick || (udev.excluding.empty() && IsEvdevJoystick(device));
}
