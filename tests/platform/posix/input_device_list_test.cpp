// `tavelin --list-devices` on the fake evdev kernel: the nodes it can open go
// through the real libevdev, the ones it cannot are described from a sysfs
// folder the test writes, and udev's answers are the test's own.
#include "devices/InputDeviceList.h"
#include "platform/posix/EvdevJoystick.h"
#include "tests/platform/posix/fake_evdev_kernel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

class NodeFolder {
public:
    NodeFolder()
    {
        char pattern[] = "/tmp/tavelin-listing-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made != nullptr ? made : "";
        // A listing that runs without root must reach the nodes.
        chmod(path.c_str(), 0755);
    }
    ~NodeFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string Node(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

// A sysfs capability bitmap as the kernel writes it: words of a long, the
// most significant first, leading zero words left out.
std::string Bitmap(const std::vector<int>& bits)
{
    std::vector<unsigned long> words(1, 0);
    constexpr int kWordBits = sizeof(long) * 8;
    for (const int bit : bits) {
        if (static_cast<std::size_t>(bit / kWordBits) >= words.size()) {
            words.resize(static_cast<std::size_t>(bit / kWordBits) + 1, 0);
        }
        words[static_cast<std::size_t>(bit / kWordBits)] |= 1UL << (bit % kWordBits);
    }
    std::string text;
    for (std::size_t index = words.size(); index-- > 0;) {
        char word[24];
        std::snprintf(word, sizeof word, "%lx", words[index]);
        text += (text.empty() ? "" : " ") + std::string(word);
    }
    return text;
}

struct SysfsDevice {
    std::string name;
    const char* vendor;
    const char* product;
    std::vector<int> abs;
    std::vector<int> keys;
    std::vector<int> properties;
};

// What sysfs tells every user about event node `node`.
void Describe(const NodeFolder& folder, const std::string& node, const SysfsDevice& device)
{
    const std::filesystem::path base = folder.Node("sys/" + node + "/device");
    std::filesystem::create_directories(base / "id");
    std::filesystem::create_directories(base / "capabilities");
    std::ofstream(base / "name") << device.name << "\n";
    std::ofstream(base / "id/vendor") << device.vendor << "\n";
    std::ofstream(base / "id/product") << device.product << "\n";
    std::vector<int> types = { EV_SYN };
    if (!device.keys.empty()) {
        types.push_back(EV_KEY);
    }
    if (!device.abs.empty()) {
        types.push_back(EV_ABS);
    }
    std::ofstream(base / "capabilities/ev") << Bitmap(types) << "\n";
    std::ofstream(base / "capabilities/abs") << Bitmap(device.abs) << "\n";
    std::ofstream(base / "capabilities/key") << Bitmap(device.keys) << "\n";
    std::ofstream(base / "capabilities/rel") << "0\n";
    std::ofstream(base / "properties") << Bitmap(device.properties) << "\n";
}

// The same device as a node that can be opened.
void Make(FakeEvdevNode& node, const SysfsDevice& device)
{
    node.Name(device.name)
        .Id(static_cast<std::uint16_t>(std::stoul(device.vendor, nullptr, 16)),
            static_cast<std::uint16_t>(std::stoul(device.product, nullptr, 16)));
    for (const int code : device.abs) {
        node.Axis(code, 0, 1023);
    }
    for (const int code : device.keys) {
        node.Key(code);
    }
    for (const int property : device.properties) {
        node.Prop(property);
    }
}

UdevInputClass Udev(bool joystick, const char* classes, const char* excluding = "")
{
    UdevInputClass answer;
    answer.known = true;
    answer.joystick = joystick;
    answer.classes = classes;
    answer.excluding = excluding;
    return answer;
}

// The listing's text as a user without root sees it: root opens every node,
// so as root the listing runs in a child that has given root up.
std::string ListAsUser(const NodeFolder& folder, const std::map<std::string, UdevInputClass>& udev)
{
    const UdevLookup lookup = [&udev](const std::string& node) {
        const auto found = udev.find(node);
        return found != udev.end() ? found->second : UdevInputClass {};
    };
    const auto list = [&] { return FormatInputDeviceList(ListInputDevices(folder.path, folder.Node("sys"), lookup)); };
    if (geteuid() != 0) {
        return list();
    }
    int ends[2];
    if (pipe(ends) != 0) {
        return "pipe failed";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        const std::string text = dropped ? list() : "could not give up root";
        const ssize_t written = write(ends[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(ends[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t length; (length = read(ends[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(length));
    }
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return text;
}

// The lines of the listing that tell about one node, up to the next node.
std::string Section(const std::string& text, const std::string& node)
{
    const std::size_t start = text.find(node + ": ");
    if (start == std::string::npos) {
        return "";
    }
    const std::size_t end = text.find("\n\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

const SysfsDevice kStick = { "Flight Stick", "044f", "0402", { ABS_X, ABS_Y, ABS_HAT0X, ABS_HAT0Y },
    { BTN_TRIGGER, BTN_THUMB, BTN_THUMB2 }, {} };
// X, Y and Z without keys: udev guesses an accelerometer.
const SysfsDevice kPedals = { "Rudder Pedals", "feed", "0763", { ABS_X, ABS_Y, ABS_Z }, {}, {} };
const SysfsDevice kKeyboard
    = { "Keyboard", "feed", "c31c", {}, { KEY_ESC, KEY_A, KEY_LEFTCTRL, KEY_CAPSLOCK, KEY_NUMLOCK, KEY_INSERT }, {} };
// Two levers as X and Y, no keys: udev gives it no class at all.
const SysfsDevice kThrottle = { "Throttle Quadrant", "feed", "0c2d", { ABS_X, ABS_Y }, {}, {} };

TEST(InputDeviceListTest, TellsJoysticksKeyboardsAndNodesThatCannotBeOpenedApart)
{
    NodeFolder folder;
    FakeEvdevNode stick(folder.Node("event1"));
    Make(stick, kStick);
    FakeEvdevNode pedals(folder.Node("event2"));
    Make(pedals, kPedals);
    FakeEvdevNode keyboard(folder.Node("event3"));
    Make(keyboard, kKeyboard);
    // The same model as event1 on another port, and the throttle: udev's
    // permissions keep this user out of both.
    FakeEvdevNode secondStick(folder.Node("event4"));
    Describe(folder, "event4", kStick);
    FakeEvdevNode throttle(folder.Node("event10"));
    Describe(folder, "event10", kThrottle);
    std::ofstream(folder.Node("event5")) << "not a device";
    for (const char* open : { "event1", "event2", "event3", "event5" }) {
        chmod(folder.Node(open).c_str(), 0666);
    }
    chmod(folder.Node("event4").c_str(), 0);
    chmod(folder.Node("event10").c_str(), 0);

    const std::string text = ListAsUser(folder,
        { { folder.Node("event1"), Udev(true, "ID_INPUT_JOYSTICK=1 ID_INPUT_KEY=1") },
            { folder.Node("event2"), Udev(false, "ID_INPUT_ACCELEROMETER=1") },
            { folder.Node("event3"), Udev(false, "ID_INPUT_KEYBOARD=1 ID_INPUT_KEY=1", "ID_INPUT_KEYBOARD") },
            { folder.Node("event4"), Udev(true, "ID_INPUT_JOYSTICK=1 ID_INPUT_KEY=1") },
            { folder.Node("event10"), Udev(false, "") } });

    EXPECT_TRUE(Contains(text, "Input devices in " + folder.path + ": 6\n")) << text;
    // In node-number order: event10 last.
    EXPECT_LT(text.find(folder.Node("event5") + ":"), text.find(folder.Node("event10") + ":")) << text;

    const std::string stickLines = Section(text, folder.Node("event1"));
    EXPECT_TRUE(Contains(stickLines, "\"Flight Stick\", vendor 044f, product 0402")) << stickLines;
    EXPECT_TRUE(Contains(stickLines, "udev:           a joystick (ID_INPUT_JOYSTICK=1 ID_INPUT_KEY=1)")) << stickLines;
    EXPECT_TRUE(Contains(stickLines, "Tavelin's rule: a joystick")) << stickLines;
    EXPECT_TRUE(Contains(stickLines, "opened:         yes")) << stickLines;
    EXPECT_TRUE(Contains(stickLines, "Tavelin uses it as a joystick.")) << stickLines;
    EXPECT_FALSE(Contains(stickLines, "udevadm")) << stickLines;

    // Tavelin's rule counts the pedals, udev does not tag them: the rule that fixes it.
    const std::string pedalLines = Section(text, folder.Node("event2"));
    EXPECT_TRUE(Contains(pedalLines, "udev:           not a joystick (ID_INPUT_ACCELEROMETER=1)")) << pedalLines;
    EXPECT_TRUE(Contains(pedalLines, "Tavelin uses it as a joystick.")) << pedalLines;
    EXPECT_TRUE(Contains(pedalLines,
        "\n    SUBSYSTEM==\"input\", ATTRS{id/vendor}==\"feed\", ATTRS{id/product}==\"0763\", "
        "ENV{ID_INPUT_JOYSTICK}=\"1\"\n"))
        << pedalLines;
    EXPECT_TRUE(Contains(pedalLines, "| sudo tee -a /etc/udev/rules.d/69-tavelin-local.rules\n")) << pedalLines;
    EXPECT_TRUE(Contains(pedalLines,
        "    sudo udevadm control --reload && sudo udevadm trigger --action=change --subsystem-match=input\n"))
        << pedalLines;

    // A keyboard is never counted, and nothing is offered to make it one.
    const std::string keyboardLines = Section(text, folder.Node("event3"));
    EXPECT_TRUE(Contains(keyboardLines, "Tavelin's rule: not a joystick")) << keyboardLines;
    EXPECT_TRUE(Contains(keyboardLines, "Tavelin leaves it: it is not a joystick.")) << keyboardLines;
    EXPECT_FALSE(Contains(keyboardLines, "ID_INPUT_JOYSTICK")) << keyboardLines;

    // Tagged but not this user's: the permissions are the seat's, no rule helps.
    const std::string secondLines = Section(text, folder.Node("event4"));
    EXPECT_TRUE(Contains(secondLines, "\"Flight Stick\", vendor 044f, product 0402")) << secondLines;
    EXPECT_TRUE(Contains(secondLines, "opened:         no: Permission denied (p---------")) << secondLines;
    EXPECT_TRUE(Contains(secondLines, "Tavelin's rule: a joystick")) << secondLines;
    EXPECT_TRUE(Contains(secondLines, "but cannot open it")) << secondLines;
    EXPECT_TRUE(Contains(secondLines, "not the seat's active session")) << secondLines;
    EXPECT_FALSE(Contains(secondLines, "udevadm")) << secondLines;

    // Untagged and shut: judged from sysfs, and the rule for it.
    const std::string throttleLines = Section(text, folder.Node("event10"));
    EXPECT_TRUE(Contains(throttleLines, "\"Throttle Quadrant\", vendor feed, product 0c2d")) << throttleLines;
    EXPECT_TRUE(Contains(throttleLines, "not a joystick (no ID_INPUT_* class)")) << throttleLines;
    EXPECT_TRUE(Contains(throttleLines, "Tavelin's rule: a joystick")) << throttleLines;
    EXPECT_TRUE(Contains(throttleLines, "opened:         no: Permission denied")) << throttleLines;
    EXPECT_TRUE(Contains(throttleLines, "ATTRS{id/vendor}==\"feed\", ATTRS{id/product}==\"0c2d\"")) << throttleLines;

    // Not an event device at all: the reason, and no guess.
    const std::string fileLines = Section(text, folder.Node("event5"));
    EXPECT_TRUE(Contains(fileLines, "opened:         no: Inappropriate ioctl for device")) << fileLines;
    EXPECT_TRUE(Contains(fileLines, "Tavelin's rule: cannot tell")) << fileLines;
    EXPECT_TRUE(Contains(fileLines, "udev:           no entry")) << fileLines;

    EXPECT_TRUE(Contains(text, "Tavelin uses 2 of them as joysticks")) << text;
}

// The capabilities read from sysfs reach the backend's rule as the device's own do.
TEST(InputDeviceListTest, SysfsDescriptionsAreJudgedAsTheOpenedDevices)
{
    const SysfsDevice accelerometer
        = { "Motion Sensors", "feed", "09cc", { ABS_X, ABS_Y, ABS_Z }, {}, { INPUT_PROP_ACCELEROMETER } };
    // Buttons far up the key bitmap, in its fifth and later words.
    const SysfsDevice gamepad
        = { "Game Pad", "feed", "028e", { ABS_X, ABS_Y }, { BTN_SOUTH, BTN_TRIGGER_HAPPY1, BTN_TRIGGER_HAPPY40 }, {} };
    const SysfsDevice tablet = { "Pen Tablet", "feed", "0357", { ABS_X, ABS_Y }, { BTN_TOOL_PEN, BTN_STYLUS }, {} };
    NodeFolder folder;
    int number = 0;
    for (const SysfsDevice* device : { &kStick, &kPedals, &kKeyboard, &kThrottle, &accelerometer, &gamepad, &tablet }) {
        const std::string opened = "event" + std::to_string(number++);
        const std::string described = "event" + std::to_string(number++);
        FakeEvdevNode node(folder.Node(opened));
        Make(node, *device);
        FakeEvdevNode shut(folder.Node(described));
        Describe(folder, described, *device);
        chmod(folder.Node(opened).c_str(), 0666);
        chmod(folder.Node(described).c_str(), 0);

        const std::string text = ListAsUser(folder, {});
        const std::string openedLines = Section(text, folder.Node(opened));
        const std::string describedLines = Section(text, folder.Node(described));
        ASSERT_TRUE(Contains(openedLines, "opened:         yes")) << openedLines;
        ASSERT_TRUE(Contains(describedLines, "opened:         no")) << describedLines;
        const auto verdict = [](const std::string& lines) {
            const std::size_t at = lines.find("Tavelin's rule: ");
            return at == std::string::npos ? std::string("none") : lines.substr(at, lines.find('\n', at) - at);
        };
        EXPECT_EQ(verdict(describedLines), verdict(openedLines)) << device->name;
        EXPECT_TRUE(Contains(describedLines, "\"" + device->name + "\"")) << describedLines;
    }
}

// The printed command writes the rule as shown, whatever the device calls itself.
TEST(InputDeviceListTest, ThePrintedCommandWritesTheRuleWhateverTheDeviceIsCalled)
{
    NodeFolder folder;
    FakeEvdevNode pedals(folder.Node("event0"));
    SysfsDevice hostile = kPedals;
    hostile.name = "Pedals 'Pro' $(touch gotcha) `id` \x1b[2J";
    Make(pedals, hostile);
    chmod(folder.Node("event0").c_str(), 0666);
    const std::string text = ListAsUser(folder, { { folder.Node("event0"), Udev(false, "") } });

    // No terminal control from the device's name reaches the screen.
    EXPECT_FALSE(Contains(text, "\x1b")) << text;
    const std::string command = "printf '%s\\n' ";
    const std::size_t start = text.find(command);
    ASSERT_NE(start, std::string::npos) << text;
    std::string line = text.substr(start, text.find('\n', start) - start);
    const std::string install = " | sudo tee -a /etc/udev/rules.d/69-tavelin-local.rules";
    ASSERT_TRUE(
        line.size() > install.size() && line.compare(line.size() - install.size(), install.size(), install) == 0)
        << line;
    const std::string rules = folder.Node("written.rules");
    line = "cd " + folder.path + " && " + line.substr(0, line.size() - install.size()) + " > " + rules;
    ASSERT_EQ(std::system(line.c_str()), 0) << line;

    std::ifstream written(rules);
    const std::string content((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_EQ(
        content, "# Pedals _Pro_ _(touch gotcha) _id_ __2J (feed:0763)\n" + UdevJoystickRule(0xFEED, 0x0763) + "\n");
    EXPECT_FALSE(std::filesystem::exists(folder.Node("gotcha")));
}

} // namespace
