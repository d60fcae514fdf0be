// Linux joysticks through evdev and libevdev, behaving as DirectInput 5 does.
//
// Supports: every /dev/input/event<N> node that udev tags ID_INPUT_JOYSTICK
// (its own property through libudev when udev knows the node; a node udev
// left untagged and did not call a keyboard, mouse, touchpad, touch screen,
// tablet or pointing stick, and every node without udev, by the same rule
// applied to the capabilities: IsEvdevJoystick), so buttonless pedals,
// throttles and wheels count and accelerometers never do; enumerated in
// node-number order. The joystick ID (Data1 of the product GUID) is vendor |
// product << 16, as DirectInput reports it; the instance name is the
// device's name; the instance key (GetInstanceKey) its serial number (udev's
// ID_SERIAL_SHORT, else the evdev uniq) when no other joystick listed has
// the same, else its port (udev's ID_PATH, else the evdev phys). Axes,
// sliders, hats and buttons as Windows maps the same HID
// device (the table in EvdevTranslation.cpp), using the report descriptor
// from sysfs when there is one; the range, dead zone and saturation
// properties for the whole device; GetObjectInfo by offset for the objects
// present. DevicesChanged answers from an inotify watch of the node folder.
// Limits: non-exclusive only (the cooperative level is accepted, no grab);
// no effects, no buffered data. A node that cannot be opened for lack of
// permission is skipped and counted in GetFailureDetail. A node that fails
// while read answers DIERR_INPUTLOST; Acquire then looks for the same device
// (same vendor, product, physical path and uniq) among the nodes, again only when
// the node folder changed, and answers DIERR_UNPLUGGED until it is back. Poll reads the node's pending events and
// GetDeviceState reports the state they left, so a tick reads each node
// once. RunControlPanel starts jstest-gtk detached when it is on the PATH,
// and otherwise answers DIERR_UNSUPPORTED with what to install in
// GetFailureDetail.
// Recorded devices (CreateEvemuDirectInput, TAVELIN_EVEMU): each evemu-record
// file is a node whose libevdev handle is made from its description and
// whose events are played into that handle instead of being read from a
// descriptor; enumeration, the joystick rule (as without udev), the
// translation and the device's answers are those of a node. They never
// vanish; what is wrong with a file comes once through TakeNote.
#include "devices/DirectInputBackends.h"
#include "devices/DirectInputObjects.h"
#include "devices/InstanceKeys.h"
#include "platform/posix/EvdevJoystick.h"
#include "platform/posix/EvemuRecording.h"

#include <libevdev/libevdev.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Who a device is, so that it can be found again after it vanished: the
// same model in the same port, with the same serial number if it has one
// (another of the model put into that port is another device).
struct Identity {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::string phys;
    std::string uniq;

    bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const libevdev* device)
{
    Identity identity;
    identity.vendor = static_cast<std::uint16_t>(libevdev_get_id_vendor(device));
    identity.product = static_cast<std::uint16_t>(libevdev_get_id_product(device));
    const char* phys = libevdev_get_phys(device);
    identity.phys = phys != nullptr ? phys : "";
    const char* uniq = libevdev_get_uniq(device);
    identity.uniq = uniq != nullptr ? uniq : "";
    return identity;
}

std::uint64_t Fnv1a(const std::string& text, std::uint64_t hash = 14695981039346656037ull)
{
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// Data1 is the joystick ID; Data4 carries a hash of the physical path and the
// node number, so two joysticks of one model on two ports stay apart.
GUID InstanceGuid(const libevdev* device, long node)
{
    const Identity identity = IdentityOf(device);
    const std::uint64_t hash = Fnv1a(identity.uniq, Fnv1a(identity.phys + '\n'));
    GUID guid = {};
    guid.Data1 = static_cast<std::uint32_t>(identity.vendor) | static_cast<std::uint32_t>(identity.product) << 16;
    guid.Data2 = static_cast<std::uint16_t>(libevdev_get_id_bustype(device));
    guid.Data3 = static_cast<std::uint16_t>(libevdev_get_id_version(device));
    for (int i = 0; i < 6; ++i) {
        guid.Data4[i] = static_cast<std::uint8_t>(hash >> (8 * i));
    }
    guid.Data4[6] = static_cast<std::uint8_t>(node);
    guid.Data4[7] = static_cast<std::uint8_t>(node >> 8);
    return guid;
}

long NodeNumber(const std::string& path)
{
    const std::size_t digits = path.find_last_not_of("0123456789");
    return std::strtol(path.c_str() + (digits == std::string::npos ? 0 : digits + 1), nullptr, 10);
}

EvemuClock g_evemuClock = nullptr;

std::int64_t EvemuMicroseconds()
{
    if (g_evemuClock != nullptr) {
        return g_evemuClock();
    }
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The recordings TAVELIN_EVEMU names, read once for every root of the
// program, the clock they all play by (from the moment they were read) and
// what is still to be told about them: each recording's problem once.
class EvemuDeviceSet {
public:
    EvemuDeviceSet(const std::vector<std::string>& paths, bool loop)
        : m_loop(loop)
        , m_start(EvemuMicroseconds())
    {
        for (const std::string& path : paths) {
            m_recordings.push_back(std::make_unique<EvemuRecording>(path));
            m_told.push_back(false);
            if (!m_recordings.back()->HasDevice()) {
                Tell(m_recordings.size() - 1);
            }
        }
    }

    std::size_t Count() const { return m_recordings.size(); }
    const EvemuRecording& Recording(std::size_t index) const { return *m_recordings[index]; }
    bool Loop() const { return m_loop; }
    std::int64_t Now() const { return EvemuMicroseconds() - m_start; }

    void Tell(std::size_t index, const std::string& text = "")
    {
        if (index < m_told.size() && !m_told[index]) {
            m_told[index] = true;
            const EvemuRecording& recording = *m_recordings[index];
            const char* outcome
                = recording.HasDevice() ? "; the device keeps its last state" : "; it gives no joystick";
            m_notes.push_back(text.empty() ? recording.GetProblem() + outcome : text);
        }
    }
    bool TakeNote(char* out, std::size_t size)
    {
        if (m_notes.empty() || size == 0) {
            return false;
        }
        std::snprintf(out, size, "%s", m_notes.front().c_str());
        m_notes.pop_front();
        return true;
    }

private:
    bool m_loop;
    std::int64_t m_start;
    std::vector<std::unique_ptr<EvemuRecording>> m_recordings;
    std::vector<bool> m_told;
    std::deque<std::string> m_notes;
};

// One set per list of files for the whole program, as long as a root holds it.
std::shared_ptr<EvemuDeviceSet> SharedEvemuDevices(const std::vector<std::string>& paths, bool loop)
{
    static std::map<std::pair<std::vector<std::string>, bool>, std::weak_ptr<EvemuDeviceSet>> sets;
    std::weak_ptr<EvemuDeviceSet>& known = sets[{ paths, loop }];
    std::shared_ptr<EvemuDeviceSet> set = known.lock();
    if (!set) {
        set = std::make_shared<EvemuDeviceSet>(paths, loop);
        known = set;
    }
    return set;
}

// An open node: descriptor and libevdev handle, closed together. A recorded
// device has no descriptor: its events come from its playback.
struct OpenNode {
    int fd = -1;
    libevdev* device = nullptr;
    std::shared_ptr<EvemuDeviceSet> recordings;
    std::size_t recording = 0;
    std::unique_ptr<EvemuPlayback> playback;

    OpenNode() = default;
    OpenNode(const OpenNode&) = delete;
    OpenNode& operator=(const OpenNode&) = delete;
    OpenNode(OpenNode&& other) noexcept
        : fd(other.fd)
        , device(other.device)
        , recordings(std::move(other.recordings))
        , recording(other.recording)
        , playback(std::move(other.playback))
    {
        other.fd = -1;
        other.device = nullptr;
    }
    OpenNode& operator=(OpenNode&& other) noexcept
    {
        if (this != &other) {
            Close();
            fd = other.fd;
            device = other.device;
            recordings = std::move(other.recordings);
            recording = other.recording;
            playback = std::move(other.playback);
            other.fd = -1;
            other.device = nullptr;
        }
        return *this;
    }
    ~OpenNode() { Close(); }

    void Close()
    {
        playback.reset();
        recordings.reset();
        if (device != nullptr) {
            libevdev_free(device);
            device = nullptr;
        }
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
    explicit operator bool() const { return device != nullptr; }
};

UdevInputClass UdevOfNode(int fd)
{
    struct stat status { };
    if (fstat(fd, &status) == 0 && S_ISCHR(status.st_mode)) {
        return AskUdevAbout(status.st_rdev);
    }
    return {};
}

bool IsJoystickNode(int fd, const libevdev* device)
{
    return CountsAsJoystick(UdevOfNode(fd), device);
}

// What tells a joystick from another of its model: udev's serial, else the
// device's own (uniq); udev's port path, else the kernel's physical path.
InstanceFacts InstanceFactsOf(int fd, const libevdev* device)
{
    const UdevInputClass udev = UdevOfNode(fd);
    const Identity identity = IdentityOf(device);
    InstanceFacts facts;
    facts.serials = { udev.serial, identity.uniq };
    facts.port = !udev.path.empty() ? udev.path : identity.phys;
    return facts;
}

// The HID axis usages of a node's device, from its report descriptor in sysfs.
std::vector<std::uint32_t> ReadHidAxisUsages(const std::string& sysfs, const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string node = path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::ifstream file(sysfs + "/" + node + "/device/device/report_descriptor", std::ios::binary);
    if (!file) {
        return {};
    }
    // 4096 bytes is the most a HID report descriptor may hold.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(4096);
    std::istreambuf_iterator<char> at(file);
    for (const std::istreambuf_iterator<char> end; at != end && bytes.size() < 4096; ++at) {
        bytes.push_back(static_cast<std::uint8_t>(*at));
    }
    return ParseHidAxisUsages(bytes);
}

// Opens a node as a joystick; errno-style reason in `error` when it is not one.
OpenNode OpenJoystick(const std::string& path, int& error)
{
    OpenNode node;
    error = 0;
    node.fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (node.fd < 0) {
        error = errno;
        return node;
    }
    const int result = libevdev_new_from_fd(node.fd, &node.device);
    if (result < 0) {
        node.device = nullptr;
        error = -result;
        node.Close();
        return node;
    }
    if (!IsJoystickNode(node.fd, node.device)) {
        error = ENODEV;
        node.Close();
    }
    return node;
}

// The node holding the device `wanted`, cheaply rejecting the others by their id.
OpenNode FindJoystick(const std::string& directory, const Identity& wanted)
{
    for (const std::string& path : ListEventNodes(directory)) {
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        input_id id {};
        const bool candidate
            = ioctl(fd, EVIOCGID, &id) == 0 && id.vendor == wanted.vendor && id.product == wanted.product;
        close(fd);
        if (!candidate) {
            continue;
        }
        int error = 0;
        OpenNode node = OpenJoystick(path, error);
        if (node && IdentityOf(node.device) == wanted) {
            return node;
        }
    }
    return OpenNode();
}

// Where a backend's nodes come from: the event nodes of a folder, or the
// devices of recordings (listed as "recording<N>", N their place in the list).
struct NodeSource {
    std::string directory;
    std::string sysfs;
    std::shared_ptr<EvemuDeviceSet> recordings;

    std::vector<std::string> List() const
    {
        if (!recordings) {
            return ListEventNodes(directory);
        }
        std::vector<std::string> names;
        for (std::size_t i = 0; i < recordings->Count(); ++i) {
            names.push_back("recording" + std::to_string(i));
        }
        return names;
    }

    OpenNode Open(const std::string& name, int& error) const
    {
        if (!recordings) {
            return OpenJoystick(name, error);
        }
        OpenNode node;
        error = ENODEV;
        const auto index = static_cast<std::size_t>(NodeNumber(name));
        if (index >= recordings->Count()) {
            return node;
        }
        const EvemuRecording& recording = recordings->Recording(index);
        node.device = recording.MakeDevice();
        // No udev entry exists for a recording: the rule on its capabilities decides.
        if (node.device == nullptr || !CountsAsJoystick(UdevInputClass {}, node.device)) {
            if (node.device != nullptr) {
                recordings->Tell(index,
                    recording.Path() + ": the recorded device (" + libevdev_get_name(node.device)
                        + ") is not a joystick, so it is left out");
            }
            node.Close();
            return node;
        }
        error = 0;
        node.recordings = recordings;
        node.recording = index;
        node.playback = std::make_unique<EvemuPlayback>(recording, recordings->Loop());
        return node;
    }

    std::vector<std::uint32_t> Usages(const std::string& name) const
    {
        // A recording holds no report descriptor: the evdev codes decide alone.
        return recordings ? std::vector<std::uint32_t> {} : ReadHidAxisUsages(sysfs, name);
    }
};

// An inotify watch of the node folder: whether an event node came, went or
// changed its permissions (udev sets them just after the node appears)
// since the last question. One read of the watch per question, nothing
// allocated.
class NodeFolderWatch {
public:
    NodeFolderWatch() = default;
    NodeFolderWatch(const NodeFolderWatch&) = delete;
    NodeFolderWatch& operator=(const NodeFolderWatch&) = delete;
    ~NodeFolderWatch() { Stop(); }

    // False when there can be no watch (no inotify, no folder).
    bool Start(const std::string& directory)
    {
        Stop();
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_fd >= 0
            && inotify_add_watch(
                   m_fd, directory.c_str(), IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO)
                < 0) {
            Stop();
        }
        return m_fd >= 0;
    }
    void Stop()
    {
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
    bool IsOn() const { return m_fd >= 0; }

    bool NodesChanged()
    {
        bool changed = false;
        alignas(inotify_event) char buffer[4096];
        while (m_fd >= 0) {
            const ssize_t length = read(m_fd, buffer, sizeof buffer);
            if (length <= 0) {
                break;
            }
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= length;) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                const char* name = buffer + at + sizeof(inotify_event);
                if ((event.mask & IN_Q_OVERFLOW) != 0 || (event.len > 0 && std::strncmp(name, "event", 5) == 0)) {
                    changed = true;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            }
        }
        return changed;
    }

private:
    int m_fd = -1;
};

class EvdevDevice final : public EmulatedJoystickDevice {
public:
    EvdevDevice(NodeSource source, OpenNode node, std::vector<std::uint32_t> usages)
        : m_source(std::move(source))
        , m_node(std::move(node))
        , m_usages(std::move(usages))
    {
        m_identity = IdentityOf(m_node.device);
        m_translation.Configure(m_node.device, m_usages);
    }

    HRESULT SetProperty(DIPROPID property, const DIPROPHEADER* header) override
    {
        if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) {
            return DIERR_INVALIDPARAM;
        }
        if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) {
            return DIERR_UNSUPPORTED;
        }
        if (property == DIPROP_RANGE) {
            if (header->dwSize != sizeof(DIPROPRANGE)) {
                return DIERR_INVALIDPARAM;
            }
            DIPROPRANGE range;
            std::memcpy(&range, header, sizeof(range));
            if (range.lMin >= range.lMax) {
                return DIERR_INVALIDPARAM;
            }
            m_translation.SetRange(range.lMin, range.lMax);
            return DI_OK;
        }
        if (property == DIPROP_DEADZONE || property == DIPROP_SATURATION) {
            if (header->dwSize != sizeof(DIPROPDWORD)) {
                return DIERR_INVALIDPARAM;
            }
            DIPROPDWORD word;
            std::memcpy(&word, header, sizeof(word));
            if (word.dwData > 10000) {
                return DIERR_INVALIDPARAM;
            }
            if (property == DIPROP_DEADZONE) {
                m_translation.SetDeadZone(word.dwData);
            } else {
                m_translation.SetSaturation(word.dwData);
            }
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* info, std::uint32_t object, std::uint32_t how) override
    {
        // The DirectInput 3 size is accepted too, as DirectInput 5 does.
        if (info == nullptr || (info->dwSize != sizeof(DIDEVICEOBJECTINSTANCEA) && info->dwSize != 296)
            || how != DIPH_BYOFFSET) {
            return DIERR_INVALIDPARAM;
        }
        bool present = false;
        if (object < DIJOFS_POV(0)) {
            present = object % 4 == 0 && m_translation.HasAxis(static_cast<int>(object / 4));
        } else if (object < DIJOFS_BUTTON(0)) {
            present = object % 4 == 0 && m_translation.HasPov(static_cast<int>((object - DIJOFS_POV(0)) / 4));
        } else {
            present = object - DIJOFS_BUTTON(0) < static_cast<std::uint32_t>(m_translation.ButtonCount());
        }
        if (!present) {
            return DIERR_OBJECTNOTFOUND;
        }
        info->dwOfs = object;
        std::snprintf(info->tszName, sizeof(info->tszName), "Object %u", object);
        return DI_OK;
    }

    HRESULT GetDeviceState(std::uint32_t size, void* data) override
    {
        if (!IsStateBuffer(size, data)) {
            return DIERR_INVALIDPARAM;
        }
        // A Poll since the last state read has drained the node already:
        // the device layer polls and then reads, and one drain is enough.
        const HRESULT read = m_polled ? Check() : Read();
        m_polled = false;
        if (read != DI_OK) {
            return read;
        }
        m_translation.Fill(m_node.device, m_state);
        std::memcpy(data, &m_state, sizeof(DIJOYSTATE2));
        return DI_OK;
    }

    HRESULT Poll() override
    {
        const HRESULT read = Read();
        m_polled = read == DI_OK;
        return read;
    }

private:
    HRESULT FindDevice() override
    {
        if (!m_node) {
            // While it is away, the nodes are searched again only when the
            // folder changed: a lost joystick costs one read a tick, not a
            // listing (without a watch: a listing every time).
            if (!m_awayWatch.IsOn()) {
                m_awayWatch.Start(m_source.directory);
            } else if (!m_awayWatch.NodesChanged()) {
                return DIERR_UNPLUGGED;
            }
            OpenNode found = FindJoystick(m_source.directory, m_identity);
            if (!found) {
                return DIERR_UNPLUGGED;
            }
            m_awayWatch.Stop();
            m_node = std::move(found);
            m_translation.Configure(m_node.device, m_usages);
        }
        return DI_OK;
    }

    HRESULT Check() const
    {
        if (!m_node) {
            return DIERR_INPUTLOST;
        }
        return m_acquired ? DI_OK : DIERR_NOTACQUIRED;
    }

    HRESULT Read()
    {
        const HRESULT checked = Check();
        if (checked != DI_OK) {
            return checked;
        }
        if (m_node.playback) {
            // A recorded device: its due frames go into the handle instead of a read.
            m_node.playback->PlayUntil(m_node.device, m_node.recordings->Now());
            if (m_node.playback->ReachedProblem()) {
                m_node.recordings->Tell(m_node.recording);
            }
            return DI_OK;
        }
        if (m_translation.Drain(m_node.device) == EvdevTranslation::Drained::Lost) {
            // The node is gone (or broken): let go of it, Acquire looks for it again.
            m_node.Close();
            return LoseInput();
        }
        return DI_OK;
    }

    NodeSource m_source;
    OpenNode m_node;
    std::vector<std::uint32_t> m_usages;
    Identity m_identity;
    EvdevTranslation m_translation;
    NodeFolderWatch m_awayWatch;
    bool m_polled = false;
    DIJOYSTATE2 m_state = {};
};

std::string FindOnPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = folders.find(':', start);
        const std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!folder.empty()) {
            const std::string candidate = folder + "/" + program;
            if (access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return "";
}

class EvdevDirectInput final : public EmulatedDirectInput {
public:
    explicit EvdevDirectInput(NodeSource source)
        : m_source(std::move(source))
    {
    }
    bool DevicesChanged() override { return m_watch.NodesChanged(); }
    bool TakeNote(char* out, std::size_t size) override
    {
        return m_source.recordings && m_source.recordings->TakeNote(out, size);
    }

    HRESULT RunControlPanel(void*, std::uint32_t) override
    {
        m_detail.clear();
        if (m_source.recordings) {
            m_detail = "Recorded joysticks (TAVELIN_EVEMU) have no system panel.";
            return DIERR_UNSUPPORTED;
        }
        const std::string program = FindOnPath("jstest-gtk");
        if (program.empty()) {
            m_detail = "Control Panel starts jstest-gtk, which is not installed. "
                       "Install it (Debian and Ubuntu: sudo apt install jstest-gtk) and try again.";
            return DIERR_UNSUPPORTED;
        }
        // Detached twice over: the panel outlives us and leaves no zombie behind.
        char* const arguments[] = { const_cast<char*>(program.c_str()), nullptr };
        const pid_t child = fork();
        if (child < 0) {
            return DIERR_GENERIC;
        }
        if (child == 0) {
            setsid();
            if (fork() == 0) {
                execv(arguments[0], arguments);
            }
            _exit(0);
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
        return DI_OK;
    }

protected:
    HRESULT EnumJoysticks(LPDIENUMDEVICESCALLBACKA callback, void* reference) override
    {
        Watch();
        std::string denied;
        int deniedCount = 0;
        // Every joystick first: whether a serial is shared is known only then.
        std::vector<DIDEVICEINSTANCEA> records;
        std::vector<InstanceFacts> facts;
        for (const std::string& path : m_source.List()) {
            int error = 0;
            const OpenNode node = m_source.Open(path, error);
            if (!node) {
                if (error == EACCES || error == EPERM) {
                    ++deniedCount;
                    denied += (denied.empty() ? "" : ", ") + path;
                }
                continue;
            }
            const GUID instance = InstanceGuid(node.device, NodeNumber(path));
            const char* name = libevdev_get_name(node.device);
            records.push_back(JoystickRecord(instance, instance.Data1, name != nullptr ? name : ""));
            facts.push_back(InstanceFactsOf(node.fd, node.device));
        }
        const std::vector<std::string> keys = ChooseInstanceKeys(facts);
        m_instanceKeys.clear();
        for (std::size_t i = 0; i < records.size(); ++i) {
            m_instanceKeys.emplace_back(records[i].guidInstance, keys[i]);
        }
        for (const DIDEVICEINSTANCEA& record : records) {
            if (callback(&record, reference) != DIENUM_CONTINUE) {
                break;
            }
        }
        if (deniedCount > 0) {
            m_detail = std::to_string(deniedCount) + " input node(s) could not be opened (permission denied): " + denied
                + ". udev gives the user at the seat every node it tags ID_INPUT_JOYSTICK; tavelin --list-devices "
                + "shows which of these are joysticks and, for one that udev leaves untagged, the rule that fixes it.";
        }
        return DI_OK;
    }

    HRESULT CreateJoystick(const GUID& instance, IDirectInputDeviceA** out) override
    {
        // The node named in the GUID first; if the nodes were renumbered, any that matches.
        const long wanted = instance.Data4[6] | instance.Data4[7] << 8;
        const std::vector<std::string> nodes = m_source.List();
        for (int pass = 0; pass < 2; ++pass) {
            for (const std::string& path : nodes) {
                if ((NodeNumber(path) == wanted) != (pass == 0)) {
                    continue;
                }
                int error = 0;
                OpenNode node = m_source.Open(path, error);
                if (!node || !(InstanceGuid(node.device, wanted) == instance)) {
                    continue;
                }
                auto* device = new (std::nothrow) EvdevDevice(m_source, std::move(node), m_source.Usages(path));
                if (device == nullptr) {
                    return DIERR_OUTOFMEMORY;
                }
                *out = device;
                return DI_OK;
            }
        }
        return DIERR_DEVICENOTREG;
    }

private:
    // Only a root that enumerates watches (a device's own root never asks),
    // and from before its first listing, so that nothing comes unseen.
    // Without the watch (no inotify, no folder yet) joysticks are found at
    // start-up and by Read Alternate only.
    void Watch()
    {
        // Recordings come and go with the program only.
        if (!m_watch.IsOn() && !m_watchFailed && !m_source.recordings) {
            m_watchFailed = !m_watch.Start(m_source.directory);
        }
    }

    NodeSource m_source;
    NodeFolderWatch m_watch;
    bool m_watchFailed = false;
};

} // namespace

HRESULT CreateEvdevDirectInput(const char* directory, IDirectInputA** out, const char* sysfs)
{
    if (out == nullptr || directory == nullptr || sysfs == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    *out = new (std::nothrow) EvdevDirectInput(NodeSource { directory, sysfs, nullptr });
    return *out != nullptr ? DI_OK : DIERR_OUTOFMEMORY;
}

HRESULT CreateEvemuDirectInput(const std::vector<std::string>& paths, bool loop, IDirectInputA** out)
{
    if (out == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    *out = new (std::nothrow) EvdevDirectInput(NodeSource { "", "", SharedEvemuDevices(paths, loop) });
    return *out != nullptr ? DI_OK : DIERR_OUTOFMEMORY;
}

void SetEvemuClock(EvemuClock clock)
{
    g_evemuClock = clock;
}

std::vector<std::string> EvemuRecordingPaths()
{
    std::vector<std::string> paths;
    const char* list = std::getenv("TAVELIN_EVEMU");
    const std::string text = list != nullptr ? list : "";
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(':', start), text.size());
        if (end > start) {
            paths.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return paths;
}

bool IsPlatformDirectInputAvailable()
{
    return true;
}

HRESULT CreatePlatformDirectInput(void*, std::uint32_t version, IDirectInputA** out)
{
    const HRESULT accepted = CheckDirectInputVersion(version);
    if (FAILED(accepted)) {
        return accepted;
    }
    const std::vector<std::string> recordings = EvemuRecordingPaths();
    if (!recordings.empty()) {
        const char* loop = std::getenv("TAVELIN_EVEMU_LOOP");
        return CreateEvemuDirectInput(recordings, loop != nullptr && std::strcmp(loop, "1") == 0, out);
    }
    return CreateEvdevDirectInput("/dev/input", out);
}
