// Virtual joysticks: a DirectInput 5 backend driven by a text file (the file
// named by TAVELIN_VIRTUAL_JOYSTICKS), for the demo, the end-to-end tests and
// anyone without hardware.
//
// Supports: sections [JOYSTICK_0]..[JOYSTICK_7] enumerated in number order,
// each with its instance (SERIAL unless two sections share it, else PORT,
// else port:JOYSTICK_<n>); a section whose SERIAL or PORT changes is another
// device, and the one it described is unplugged;
// all eight axes, POV 1..3 and up to 32 buttons per joystick; the range, dead
// zone and saturation properties are accepted (whole device only) but the
// file's values, already in -10000..10000, are delivered unchanged; MOTION =
// SWEEP moves the axes, POV 1 and the buttons by the virtual clock.
// A section added while the program runs is a joystick plugged in
// (DevicesChanged). Every root of the program shares one look at the file
// per tick: the joystick set's, when it asks DevicesChanged at the start of
// the tick (so a rewrite is seen on the next tick after it lands), else each
// state read's. On Linux an inotify watch says when the file changed,
// elsewhere its time stamp and size.
// Limits: a section that disappears makes its joystick answer
// DIERR_INPUTLOST, and Acquire answers DIERR_UNPLUGGED until the section is
// back. A file that cannot be read or parsed at the first look fails the
// enumeration with DIERR_GENERIC and the reason in GetFailureDetail; one
// that was good and becomes unreadable keeps its last good joysticks (also
// for enumerations) until it is good again, and TakeNote says so, once
// when it breaks and once when it mends. No effects, no buffered data; RunControlPanel answers
// DIERR_UNSUPPORTED and says in GetFailureDetail that there is no panel.
#include "devices/DirectInputBackends.h"
#include "devices/DirectInputObjects.h"
#include "devices/InstanceKeys.h"
#include "platform/virtual/VirtualJoystickFile.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <new>
#include <string>

namespace {

// Instance GUIDs carry the section number and a hash of its SERIAL and
// PORT, so a section that now describes another device is another joystick;
// Data1 spells "TVJS".
constexpr std::uint32_t kInstanceMagic = 0x534A5654;

GUID InstanceGuid(const VirtualJoystick& joystick)
{
    std::uint32_t hash = 2166136261u;
    for (const std::string* text : { &joystick.serial, &joystick.port }) {
        for (const char c : *text) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        }
        hash = (hash ^ 0xFFu) * 16777619u;
    }
    return { kInstanceMagic, static_cast<std::uint16_t>(joystick.section), 0x0500,
        { 'V', 'I', 'R', 'T', static_cast<std::uint8_t>(hash), static_cast<std::uint8_t>(hash >> 8),
            static_cast<std::uint8_t>(hash >> 16), static_cast<std::uint8_t>(hash >> 24) } };
}

// The instance a section stands for: its SERIAL unless another section has
// the same, else its PORT, else port:JOYSTICK_<n>.
InstanceFacts FactsOf(const VirtualJoystick& joystick)
{
    InstanceFacts facts;
    facts.serials.push_back(joystick.serial);
    facts.port = joystick.port.empty() ? "JOYSTICK_" + std::to_string(joystick.section) : joystick.port;
    return facts;
}

bool ValidDeviceHeader(const DIPROPHEADER* header, std::uint32_t size)
{
    return header != nullptr && header->dwSize == size && header->dwHeaderSize == sizeof(DIPROPHEADER);
}

class VirtualDevice final : public EmulatedJoystickDevice {
public:
    VirtualDevice(std::shared_ptr<VirtualJoystickFile> file, const GUID& instance)
        : m_file(std::move(file))
        , m_instance(instance)
    {
    }

    HRESULT SetProperty(DIPROPID property, const DIPROPHEADER* header) override
    {
        if (property == DIPROP_RANGE) {
            if (!ValidDeviceHeader(header, sizeof(DIPROPRANGE))) {
                return DIERR_INVALIDPARAM;
            }
            DIPROPRANGE range;
            std::memcpy(&range, header, sizeof(range));
            if (range.diph.dwHow != DIPH_DEVICE || range.diph.dwObj != 0) {
                return DIERR_UNSUPPORTED;
            }
            return range.lMin < range.lMax ? DI_OK : DIERR_INVALIDPARAM;
        }
        if (property == DIPROP_DEADZONE || property == DIPROP_SATURATION) {
            if (!ValidDeviceHeader(header, sizeof(DIPROPDWORD))) {
                return DIERR_INVALIDPARAM;
            }
            DIPROPDWORD word;
            std::memcpy(&word, header, sizeof(word));
            if (word.diph.dwHow != DIPH_DEVICE || word.diph.dwObj != 0) {
                return DIERR_UNSUPPORTED;
            }
            return word.dwData <= 10000 ? DI_OK : DIERR_INVALIDPARAM;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* info, std::uint32_t object, std::uint32_t how) override
    {
        const VirtualJoystick* joystick = Mine();
        const int buttons = joystick != nullptr ? joystick->buttons : 0;
        return DescribeObject(info, object, how, buttons);
    }

    HRESULT GetDeviceState(std::uint32_t size, void* data) override
    {
        if (!IsStateBuffer(size, data)) {
            return DIERR_INVALIDPARAM;
        }
        m_file->RefreshForRead();
        const VirtualJoystick* joystick = Mine();
        if (joystick == nullptr) {
            return LoseInput();
        }
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        FillVirtualJoystickState(*joystick, VirtualJoystickSeconds(), m_state);
        std::memcpy(data, &m_state, sizeof(DIJOYSTATE2));
        return DI_OK;
    }

    HRESULT Poll() override
    {
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        return DI_NOEFFECT;
    }

private:
    HRESULT FindDevice() override
    {
        m_file->RefreshForRead();
        return Mine() != nullptr ? DI_OK : DIERR_UNPLUGGED;
    }

    // The section, while it still describes this device.
    const VirtualJoystick* Mine() const
    {
        const VirtualJoystick* joystick = m_file->Find(m_instance.Data2);
        return joystick != nullptr && InstanceGuid(*joystick) == m_instance ? joystick : nullptr;
    }

    std::shared_ptr<VirtualJoystickFile> m_file;
    GUID m_instance;
    DIJOYSTATE2 m_state = {};
};

// One file object per path for every root of the program: the set's and
// each device's own roots look at the file once between them, not once each.
std::shared_ptr<VirtualJoystickFile> SharedFile(const char* path)
{
    static std::map<std::string, std::weak_ptr<VirtualJoystickFile>> files;
    for (auto entry = files.begin(); entry != files.end();) {
        entry = entry->second.expired() ? files.erase(entry) : std::next(entry);
    }
    std::weak_ptr<VirtualJoystickFile>& known = files[path];
    std::shared_ptr<VirtualJoystickFile> file = known.lock();
    if (!file) {
        file = std::make_shared<VirtualJoystickFile>(path);
        known = file;
    }
    return file;
}

class VirtualDirectInput final : public EmulatedDirectInput {
public:
    explicit VirtualDirectInput(const char* path)
        : m_file(SharedFile(path))
        , m_path(path)
        , m_noticesBefore(m_file->GetNoticeCount())
    {
    }

    // What the file said since this root was made, each line once.
    bool TakeNote(char* out, std::size_t size) override
    {
        const std::uint32_t made = m_file->GetNoticeCount() - m_noticesBefore;
        if (m_noticesTaken >= made || out == nullptr || size == 0) {
            return false;
        }
        if (made - m_noticesTaken > VirtualJoystickFile::kKeptNotices) {
            m_noticesTaken = made - VirtualJoystickFile::kKeptNotices; // older ones are gone
        }
        const char* text = m_file->GetNotice(m_noticesBefore + m_noticesTaken++);
        std::snprintf(out, size, "%s", text != nullptr ? text : "");
        return true;
    }

    // No system settings exist for a joystick that is a few lines of text.
    HRESULT RunControlPanel(void*, std::uint32_t) override
    {
        m_detail = "Virtual joysticks have no system panel: they are the sections of " + m_path
            + " (TAVELIN_VIRTUAL_JOYSTICKS), and change when it does.";
        return DIERR_UNSUPPORTED;
    }

    // A section added to the file is a joystick plugged in, one removed a
    // joystick unplugged. Asked at the start of every tick, so this is where
    // the tick's one look at the file happens.
    bool DevicesChanged() override
    {
        m_file->RefreshForTick();
        const std::uint32_t generation = m_file->GetListGeneration();
        const bool changed = generation != m_seenGeneration;
        m_seenGeneration = generation;
        return changed;
    }

protected:
    HRESULT EnumJoysticks(LPDIENUMDEVICESCALLBACKA callback, void* reference) override
    {
        m_file->Refresh();
        m_seenGeneration = m_file->GetListGeneration();
        if (!m_file->IsValid() && !m_file->IsHoldingLastGood()) {
            m_detail = m_file->GetError();
            return DIERR_GENERIC;
        }
        // A copy: the callback creates devices, which may read the file again.
        const std::vector<VirtualJoystick> joysticks = m_file->Joysticks();
        std::vector<InstanceFacts> facts;
        for (const VirtualJoystick& joystick : joysticks) {
            facts.push_back(FactsOf(joystick));
        }
        const std::vector<std::string> keys = ChooseInstanceKeys(facts);
        m_instanceKeys.clear();
        for (std::size_t i = 0; i < joysticks.size(); ++i) {
            m_instanceKeys.emplace_back(InstanceGuid(joysticks[i]), keys[i]);
        }
        for (const VirtualJoystick& joystick : joysticks) {
            const DIDEVICEINSTANCEA record
                = JoystickRecord(InstanceGuid(joystick), joystick.joystickId, joystick.name.c_str());
            if (callback(&record, reference) != DIENUM_CONTINUE) {
                break;
            }
        }
        return DI_OK;
    }

    HRESULT CreateJoystick(const GUID& instance, IDirectInputDeviceA** out) override
    {
        m_file->Refresh();
        const VirtualJoystick* joystick = m_file->Find(instance.Data2);
        if (instance.Data1 != kInstanceMagic || joystick == nullptr || !(instance == InstanceGuid(*joystick))) {
            return DIERR_DEVICENOTREG;
        }
        auto* device = new (std::nothrow) VirtualDevice(m_file, instance);
        if (device == nullptr) {
            return DIERR_OUTOFMEMORY;
        }
        *out = device;
        return DI_OK;
    }

private:
    std::shared_ptr<VirtualJoystickFile> m_file;
    std::string m_path;
    std::uint32_t m_noticesBefore;
    std::uint32_t m_noticesTaken = 0;
    std::uint32_t m_seenGeneration = 0;
};

} // namespace

HRESULT CreateVirtualDirectInput(const char* path, IDirectInputA** out)
{
    if (out == nullptr || path == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    *out = new (std::nothrow) VirtualDirectInput(path);
    return *out != nullptr ? DI_OK : DIERR_OUTOFMEMORY;
}
