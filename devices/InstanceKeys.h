// InstanceKeys: what tells one joystick from another of the same model
// across a reboot or a re-plug into the same port, written "serial:<text>"
// or "port:<text>". Every backend chooses its keys by the same rule among the
// joysticks it lists; header-only, since the backends sit below the device layer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What a backend knows of one joystick: serial numbers in the order they are
// trusted (Linux: udev's ID_SERIAL_SHORT, then the evdev uniq; Windows: the
// HID serial) and the port it is plugged into.
struct InstanceFacts {
    std::vector<std::string> serials;
    std::string port;
};

// The longest key a configuration file keeps.
inline constexpr std::size_t kMaxInstanceKeyLength = 200;

// Blanks at either end do not count: the file's values are compared trimmed.
inline std::string_view TrimInstanceText(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// A key a configuration file can hold: one line, no "[" (which ends a
// section for the described reader), at most kMaxInstanceKeyLength characters.
inline bool IsStorableInstanceKey(std::string_view key)
{
    if (key.empty() || key.size() > kMaxInstanceKeyLength || key.find('[') != std::string_view::npos) {
        return false;
    }
    for (const char c : key) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return true;
}

// One key per joystick, in the same order: the first serial (by trust) that
// is not empty and that no other listed joystick has in the same place,
// else the port; "" when neither can be stored.
inline std::vector<std::string> ChooseInstanceKeys(const std::vector<InstanceFacts>& joysticks)
{
    std::vector<std::string> keys(joysticks.size());
    for (std::size_t i = 0; i < joysticks.size(); ++i) {
        for (std::size_t place = 0; place < joysticks[i].serials.size() && keys[i].empty(); ++place) {
            const std::string_view serial = TrimInstanceText(joysticks[i].serials[place]);
            if (serial.empty()) {
                continue;
            }
            bool shared = false;
            for (std::size_t other = 0; other < joysticks.size() && !shared; ++other) {
                shared = other != i && place < joysticks[other].serials.size()
                    && TrimInstanceText(joysticks[other].serials[place]) == serial;
            }
            const std::string key = "serial:" + std::string(serial);
            if (!shared && IsStorableInstanceKey(key)) {
                keys[i] = key;
            }
        }
        const std::string_view port = TrimInstanceText(joysticks[i].port);
        if (keys[i].empty() && !port.empty() && IsStorableInstanceKey("port:" + std::string(port))) {
            keys[i] = "port:" + std::string(port);
        }
    }
    return keys;
}

// A key as the window shows it beside a name: "serial A1B2C3", "port 3".
inline std::string InstanceKeyForDisplay(std::string_view key)
{
    const std::size_t colon = key.find(':');
    if (colon == std::string_view::npos) {
        return std::string(key);
    }
    return std::string(key.substr(0, colon)) + " " + std::string(key.substr(colon + 1));
}

// The port part of a Windows device interface path
// ("\\?\hid#vid_044f&pid_0404#7&2a3b4c5d&0&0000#{4d1e55b2-...}" gives
// "7&2a3b4c5d&0&0000"): the instance the system derives from where the device
// is plugged in when it has no serial number. "" for a path of another form.
inline std::string DevicePathPortPart(std::string_view path)
{
    std::size_t parts = 0;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= path.size(); ++at) {
        if (at == path.size() || path[at] == '#') {
            if (parts == 2) {
                return at < path.size() ? std::string(path.substr(start, at - start)) : std::string();
            }
            ++parts;
            start = at + 1;
        }
    }
    return {};
}
