// InputDeviceList: the text of `tavelin --list-devices`.
#include "devices/InputDeviceList.h"

#include <cstdio>

namespace {

std::string Hex4(std::uint16_t number)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(number));
    return text;
}

// A device's name is whatever its firmware says: no terminal controls reach the screen.
std::string Printable(const std::string& text)
{
    std::string printable;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        printable += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    return printable;
}

// The name as a comment inside the single quotes of a shell command.
std::string CommentSafe(const std::string& text)
{
    std::string safe;
    for (const char c : text) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || std::string(" ._-+,()/:").find(c) != std::string::npos;
        safe += plain ? c : '_';
    }
    return safe;
}

std::string UdevLine(const InputDeviceFacts& device)
{
    if (!device.udevKnown) {
        return "no entry (udev is not running, or has not seen the node)";
    }
    if (device.udevJoystick) {
        return "a joystick (" + device.udevClasses + ")";
    }
    return "not a joystick (" + (device.udevClasses.empty() ? std::string("no ID_INPUT_* class") : device.udevClasses)
        + ")";
}

std::string RuleLine(const InputDeviceFacts& device)
{
    if (!device.capabilitiesKnown) {
        return "cannot tell: " + device.capabilitiesProblem;
    }
    return device.ruleCounts ? "a joystick" : "not a joystick";
}

std::string Verdict(const InputDeviceFacts& device)
{
    if (device.taken) {
        return device.opened ? "Tavelin uses it as a joystick."
                             : "Tavelin would use it as a joystick, but cannot open it.";
    }
    if (!device.capabilitiesKnown && !device.udevJoystick) {
        return "Tavelin cannot tell whether it is a joystick.";
    }
    if (device.ruleCounts && !device.udevExcluding.empty()) {
        return "Tavelin leaves it: udev calls it " + device.udevExcluding + ".";
    }
    return "Tavelin leaves it: it is not a joystick.";
}

void AppendFix(const InputDeviceFacts& device, std::string& text)
{
    const std::string rule = UdevJoystickRule(device.vendor, device.product);
    const std::string comment
        = "# " + CommentSafe(device.name) + " (" + Hex4(device.vendor) + ":" + Hex4(device.product) + ")";
    text += "  udev does not tag it ID_INPUT_JOYSTICK, so the user at the seat is not given it. This rule does\n"
            "  (in a file that sorts before 70-uaccess.rules):\n"
            "    "
        + rule
        + "\n"
          "  Install it and reload udev:\n"
          "    printf '%s\\n' '"
        + comment + "' '" + rule + "' | sudo tee -a " + kLocalJoystickRules
        + "\n"
          "    sudo udevadm control --reload && sudo udevadm trigger --action=change --subsystem-match=input\n";
}

void AppendDevice(const InputDeviceFacts& device, std::string& text)
{
    text += device.node + ": ";
    if (device.name.empty()) {
        text += "(name unknown)";
    } else {
        text += '"';
        text += Printable(device.name);
        text += '"';
    }
    if (device.identified) {
        text += ", vendor " + Hex4(device.vendor) + ", product " + Hex4(device.product) + "\n";
    } else {
        text += ", vendor and product unknown\n";
    }
    text += "  udev:           " + UdevLine(device) + "\n";
    text += "  Tavelin's rule: " + RuleLine(device) + "\n";
    text += "  opened:         " + (device.opened ? std::string("yes") : "no: " + device.problem);
    text += device.access.empty() || device.opened ? "\n" : " (" + device.access + ")\n";
    text += "  " + Verdict(device) + "\n";
    if (device.udevKnown && !device.udevJoystick && device.ruleCounts && device.identified) {
        AppendFix(device, text);
    } else if (device.udevJoystick && device.denied) {
        text += "  udev gives a joystick to the user at the seat; this login is not the seat's active session\n"
                "  (a remote login, another user's desktop, a container). Start Tavelin from the desktop.\n";
    } else if (!device.udevKnown && device.ruleCounts && device.denied) {
        text
            += "  Without udev nobody is given it; run udev (systemd-udevd), or give the node to this user yourself.\n";
    }
}

} // namespace

std::string UdevJoystickRule(std::uint16_t vendor, std::uint16_t product)
{
    return "SUBSYSTEM==\"input\", ATTRS{id/vendor}==\"" + Hex4(vendor) + "\", ATTRS{id/product}==\"" + Hex4(product)
        + "\", ENV{ID_INPUT_JOYSTICK}=\"1\"";
}

std::string FormatInputDeviceList(const InputDeviceListing& listing)
{
    std::string text;
    if (!listing.virtualFile.empty()) {
        text += "TAVELIN_VIRTUAL_JOYSTICKS is set: Tavelin uses the virtual joysticks of " + listing.virtualFile
            + " instead of these.\n\n";
    }
    if (!listing.readable) {
        return text + "No input devices can be listed: " + listing.problem + "\n";
    }
    int taken = 0;
    text += "Input devices in " + listing.directory + ": " + std::to_string(listing.devices.size()) + "\n";
    for (const InputDeviceFacts& device : listing.devices) {
        text += "\n";
        AppendDevice(device, text);
        taken += device.taken && device.opened ? 1 : 0;
    }
    text += "\nTavelin uses " + std::to_string(taken)
        + (taken == 1 ? " of them as a joystick" : " of them as joysticks") + " (at most four at a time).\n";
    return text;
}
