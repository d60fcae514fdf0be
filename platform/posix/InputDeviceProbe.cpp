// The Linux side of `tavelin --list-devices`: every event node of a folder,
// opened as the evdev backend opens it and judged by the backend's own rule
// (IsEvdevJoystick, CountsAsJoystick). A node that cannot be opened is still
// judged: its name, ids and capabilities come from sysfs
// (<sysfs>/event<N>/device/...), which every user may read, and go into a
// libevdev handle of our own that the same rule reads.
// Limits: sysfs bitmaps are read in the width of this program's long, which
// is the kernel's for a program of the machine's own architecture.
#include "devices/InputDeviceList.h"
#include "platform/posix/EvdevJoystick.h"

#include <libevdev/libevdev.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ReadLine(const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) {
        return "";
    }
    return line;
}

bool ReadHex(const std::string& path, std::uint16_t& number)
{
    const std::string text = ReadLine(path);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end == text.data() || value > 0xFFFF) {
        return false;
    }
    number = static_cast<std::uint16_t>(value);
    return true;
}

// The bits of a sysfs capability bitmap: hexadecimal words of a long each,
// the most significant first, separated by blanks.
std::vector<unsigned> BitsOf(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream stream(text);
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    constexpr unsigned kWordBits = sizeof(long) * 8;
    std::vector<unsigned> bits;
    for (std::size_t index = 0; index < words.size(); ++index) {
        const std::string& word = words[words.size() - 1 - index];
        unsigned long long value = 0;
        const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, 16);
        if (error != std::errc() || end != word.data() + word.size()) {
            return {};
        }
        for (unsigned bit = 0; bit < kWordBits && bit < 64; ++bit) {
            if ((value >> bit & 1ULL) != 0) {
                bits.push_back(static_cast<unsigned>(index) * kWordBits + bit);
            }
        }
    }
    return bits;
}

struct EvdevHandle {
    libevdev* device = nullptr;
    EvdevHandle() = default;
    EvdevHandle(const EvdevHandle&) = delete;
    EvdevHandle& operator=(const EvdevHandle&) = delete;
    ~EvdevHandle()
    {
        if (device != nullptr) {
            libevdev_free(device);
        }
    }
};

// A libevdev handle carrying what sysfs says of the device behind `node`.
bool ReadSysfsDevice(const std::string& sysfs, const std::string& node, EvdevHandle& handle, InputDeviceFacts& facts)
{
    const std::string base = sysfs + "/" + node.substr(node.find_last_of('/') + 1) + "/device";
    struct stat status { };
    if (stat((base + "/capabilities").c_str(), &status) != 0) {
        facts.capabilitiesProblem = "nothing about it in " + base;
        return false;
    }
    handle.device = libevdev_new();
    if (handle.device == nullptr) {
        facts.capabilitiesProblem = "out of memory";
        return false;
    }
    facts.name = ReadLine(base + "/name");
    facts.identified = ReadHex(base + "/id/vendor", facts.vendor) && ReadHex(base + "/id/product", facts.product);
    for (const unsigned type : BitsOf(ReadLine(base + "/capabilities/ev"))) {
        libevdev_enable_event_type(handle.device, type);
    }
    const input_absinfo anyRange {};
    const struct {
        const char* file;
        unsigned type;
    } kinds[] = { { "key", EV_KEY }, { "abs", EV_ABS }, { "rel", EV_REL }, { "msc", EV_MSC }, { "sw", EV_SW } };
    for (const auto& kind : kinds) {
        for (const unsigned code : BitsOf(ReadLine(base + "/capabilities/" + kind.file))) {
            libevdev_enable_event_code(handle.device, kind.type, code, kind.type == EV_ABS ? &anyRange : nullptr);
        }
    }
    for (const unsigned property : BitsOf(ReadLine(base + "/properties"))) {
        libevdev_enable_property(handle.device, property);
    }
    return true;
}

std::string AccessOf(const struct stat& status)
{
    std::string text = S_ISCHR(status.st_mode) ? "c"
        : S_ISFIFO(status.st_mode)             ? "p"
        : S_ISDIR(status.st_mode)              ? "d"
                                               : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        text += (status.st_mode & (0400u >> bit)) != 0 ? letters[bit] : '-';
    }
    const passwd* owner = getpwuid(status.st_uid);
    const group* group = getgrgid(status.st_gid);
    text += " " + (owner != nullptr ? std::string(owner->pw_name) : std::to_string(status.st_uid));
    text += " " + (group != nullptr ? std::string(group->gr_name) : std::to_string(status.st_gid));
    return text;
}

InputDeviceFacts Probe(const std::string& node, const std::string& sysfs, const UdevLookup& udevLookup)
{
    InputDeviceFacts facts;
    facts.node = node;
    struct stat status { };
    if (stat(node.c_str(), &status) == 0) {
        facts.access = AccessOf(status);
    }
    const UdevInputClass udev = udevLookup ? udevLookup(node) : UdevInputClass {};
    facts.udevKnown = udev.known;
    facts.udevJoystick = udev.joystick;
    facts.udevClasses = udev.classes;
    facts.udevExcluding = udev.excluding;

    EvdevHandle handle;
    const int fd = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        facts.problem = std::strerror(errno);
        facts.denied = errno == EACCES || errno == EPERM;
    } else {
        const int result = libevdev_new_from_fd(fd, &handle.device);
        if (result < 0) {
            handle.device = nullptr;
            facts.problem = std::strerror(-result);
        } else {
            facts.opened = true;
            const char* name = libevdev_get_name(handle.device);
            facts.name = name != nullptr ? name : "";
            facts.identified = true;
            facts.vendor = static_cast<std::uint16_t>(libevdev_get_id_vendor(handle.device));
            facts.product = static_cast<std::uint16_t>(libevdev_get_id_product(handle.device));
        }
    }
    if (handle.device != nullptr || ReadSysfsDevice(sysfs, node, handle, facts)) {
        facts.capabilitiesKnown = true;
        facts.ruleCounts = IsEvdevJoystick(handle.device);
        facts.taken = CountsAsJoystick(udev, handle.device);
    } else {
        facts.taken = udev.joystick;
    }
    // The handle reads the descriptor no more.
    if (handle.device != nullptr) {
        libevdev_free(handle.device);
        handle.device = nullptr;
    }
    if (fd >= 0) {
        close(fd);
    }
    return facts;
}

} // namespace

UdevInputClass AskUdevAboutNode(const std::string& node)
{
    struct stat status { };
    if (stat(node.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) {
        return {};
    }
    return AskUdevAbout(status.st_rdev);
}

InputDeviceListing ListInputDevices(const std::string& directory, const std::string& sysfs, const UdevLookup& udev)
{
    InputDeviceListing listing;
    listing.directory = directory;
    if (DIR* folder = opendir(directory.c_str())) {
        closedir(folder);
        listing.readable = true;
    } else {
        listing.problem = directory + ": " + std::strerror(errno);
        return listing;
    }
    for (const std::string& node : ListEventNodes(directory)) {
        listing.devices.push_back(Probe(node, sysfs, udev));
    }
    return listing;
}

InputDeviceListing ListPlatformInputDevices()
{
    InputDeviceListing listing = ListInputDevices("/dev/input", "/sys/class/input", AskUdevAboutNode);
    if (const char* file = std::getenv("TAVELIN_VIRTUAL_JOYSTICKS"); file != nullptr && *file != '\0') {
        listing.virtualFile = file;
    }
    return listing;
}
