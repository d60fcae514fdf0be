// Replayed joysticks: a DirectInput 5 backend that plays a Tavelin recording
// (the file TAVELIN_REPLAY names, devices/JoystickRecording.h) as the
// joysticks, in real time from the moment the file was read.
//
// Supports: the recording's slots 0..3 enumerated in slot order, each from
// the time its JOYSTICK line gives (a later one is a joystick plugged in:
// DevicesChanged); its name, joystick ID and button count; all eight axes,
// their velocities and accelerations, POV 1..3 and up to 32 buttons, each
// at the value of the last change due. The range, dead zone and saturation
// properties are accepted (whole device only), the recorded values, already
// in -10000..10000, are delivered unchanged. A joystick recorded as lost
// answers DIERR_INPUTLOST, then DIERR_UNPLUGGED to Acquire until it is back.
// Limits: after the last line every joystick keeps its state. A file that
// cannot be read gives no joysticks; a bad line ends the recording there,
// and once playing reaches it TakeNote says so (the file and the line) once.
// No effects, no buffered data, no control panel.
#include "devices/DirectInputBackends.h"
#include "devices/DirectInputObjects.h"
#include "devices/JoystickRecording.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <new>
#include <string>

namespace {

constexpr std::uint32_t kInstanceMagic = 0x50525654; // "TVRP"
constexpr std::uintmax_t kMaxFileBytes = 256u << 20;

ReplayClock g_clock = nullptr;

std::int64_t Milliseconds()
{
    if (g_clock != nullptr) {
        return g_clock();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

GUID InstanceGuid(int slot)
{
    return { kInstanceMagic, static_cast<std::uint16_t>(slot), 0x0500, { 'R', 'E', 'P', 'L', 'A', 'Y', 0, 0 } };
}

// The recording, read once for every root of the program, and its clock.
class ReplayFile {
public:
    explicit ReplayFile(const std::string& path)
        : m_path(path)
        , m_start(Milliseconds())
    {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        std::string text;
        if (error) {
            m_unreadable = path + ": cannot be read (" + error.message() + ")";
        } else if (size > kMaxFileBytes) {
            m_unreadable = path + ": larger than 256 MiB, not read";
        } else {
            std::ifstream file(path, std::ios::binary);
            text.resize(static_cast<std::size_t>(size));
            if (!file || !file.read(text.data(), static_cast<std::streamsize>(text.size()))) {
                m_unreadable = path + ": cannot be read";
            }
        }
        if (!m_unreadable.empty()) {
            m_notes.push_back(m_unreadable + "; there are no joysticks to play");
            m_told = true;
            return;
        }
        m_recording = ParseRecording(text);
    }

    std::int64_t Now() const { return Milliseconds() - m_start; }
    const ParsedRecording& Recording() const { return m_recording; }
    const std::string& Unreadable() const { return m_unreadable; }

    bool IsThere(int slot, std::int64_t now) const
    {
        return slot >= 0 && slot < kJoystickSlots && m_recording.declared[slot] && m_recording.slots[slot].from <= now;
    }
    int CountThere(std::int64_t now) const
    {
        int count = 0;
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            count += IsThere(slot, now) ? 1 : 0;
        }
        return count;
    }

    // Once playing reached a bad line, it is said once.
    void Look(std::int64_t now)
    {
        if (!m_told && !m_recording.problem.empty() && now >= m_recording.end) {
            m_told = true;
            m_notes.push_back(m_path + ", " + m_recording.problem + "; the joysticks keep their last state");
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
    std::string m_path;
    std::int64_t m_start;
    std::string m_unreadable;
    ParsedRecording m_recording;
    bool m_told = false;
    std::deque<std::string> m_notes;
};

std::shared_ptr<ReplayFile> SharedFile(const char* path)
{
    static std::map<std::string, std::weak_ptr<ReplayFile>> files;
    std::weak_ptr<ReplayFile>& known = files[path];
    std::shared_ptr<ReplayFile> file = known.lock();
    if (!file) {
        file = std::make_shared<ReplayFile>(path);
        known = file;
    }
    return file;
}

bool ValidDeviceHeader(const DIPROPHEADER* header, std::uint32_t size)
{
    return header != nullptr && header->dwSize == size && header->dwHeaderSize == sizeof(DIPROPHEADER)
        && header->dwHow == DIPH_DEVICE && header->dwObj == 0;
}

class ReplayDevice final : public EmulatedJoystickDevice {
public:
    ReplayDevice(std::shared_ptr<ReplayFile> file, int slot)
        : m_file(std::move(file))
        , m_slot(slot)
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
            return range.lMin < range.lMax ? DI_OK : DIERR_INVALIDPARAM;
        }
        if (property == DIPROP_DEADZONE || property == DIPROP_SATURATION) {
            if (!ValidDeviceHeader(header, sizeof(DIPROPDWORD))) {
                return DIERR_INVALIDPARAM;
            }
            DIPROPDWORD word;
            std::memcpy(&word, header, sizeof(word));
            return word.dwData <= 10000 ? DI_OK : DIERR_INVALIDPARAM;
        }
        return DIERR_UNSUPPORTED;
    }

    HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* info, std::uint32_t object, std::uint32_t how) override
    {
        const int buttons = m_file->Recording().slots[m_slot].buttons;
        return DescribeObject(info, object, how, buttons);
    }

    HRESULT GetDeviceState(std::uint32_t size, void* data) override
    {
        if (!IsStateBuffer(size, data)) {
            return DIERR_INVALIDPARAM;
        }
        const std::int64_t now = m_file->Now();
        m_file->Look(now);
        const RecordedState& state = StateAt(now);
        if (state.lost || !m_file->IsThere(m_slot, now)) {
            return LoseInput();
        }
        if (!m_acquired) {
            return DIERR_NOTACQUIRED;
        }
        Fill(state);
        std::memcpy(data, &m_state, sizeof(DIJOYSTATE2));
        return DI_OK;
    }

    HRESULT Poll() override { return m_acquired ? DI_NOEFFECT : DIERR_NOTACQUIRED; }

private:
    HRESULT FindDevice() override
    {
        const std::int64_t now = m_file->Now();
        return m_file->IsThere(m_slot, now) && !StateAt(now).lost ? DI_OK : DIERR_UNPLUGGED;
    }

    // The last change due at `now`; the cursor only moves on, as the clock does.
    const RecordedState& StateAt(std::int64_t now)
    {
        const auto& changes = m_file->Recording().slots[m_slot].changes;
        if (m_next > 0 && changes[m_next - 1].at > now) {
            m_next = 0; // a clock set back (tests): from the start
        }
        while (m_next < changes.size() && changes[m_next].at <= now) {
            ++m_next;
        }
        return m_next > 0 ? changes[m_next - 1].state : m_centred;
    }

    void Fill(const RecordedState& state)
    {
        m_state = DIJOYSTATE2 {};
        std::int32_t* axes[8] = { &m_state.lX, &m_state.lY, &m_state.lZ, &m_state.lRx, &m_state.lRy, &m_state.lRz,
            &m_state.rglSlider[0], &m_state.rglSlider[1] };
        std::int32_t* velocities[8] = { &m_state.lVX, &m_state.lVY, &m_state.lVZ, &m_state.lVRx, &m_state.lVRy,
            &m_state.lVRz, &m_state.rglVSlider[0], &m_state.rglVSlider[1] };
        std::int32_t* accelerations[8] = { &m_state.lAX, &m_state.lAY, &m_state.lAZ, &m_state.lARx, &m_state.lARy,
            &m_state.lARz, &m_state.rglASlider[0], &m_state.rglASlider[1] };
        for (int i = 0; i < 8; ++i) {
            *axes[i] = state.values[i];
            *velocities[i] = state.values[8 + i];
            *accelerations[i] = state.values[16 + i];
        }
        for (int i = 0; i < 3; ++i) {
            m_state.rgdwPOV[i] = state.pov[i];
        }
        m_state.rgdwPOV[3] = kPovCentred;
        for (int i = 0; i < 32; ++i) {
            m_state.rgbButtons[i] = (state.pressed >> i & 1u) != 0 ? 0x80 : 0;
        }
    }

    std::shared_ptr<ReplayFile> m_file;
    int m_slot;
    std::size_t m_next = 0;
    RecordedState m_centred;
    DIJOYSTATE2 m_state = {};
};

class ReplayDirectInput final : public EmulatedDirectInput {
public:
    explicit ReplayDirectInput(const char* path)
        : m_file(SharedFile(path))
        , m_path(path)
    {
    }

    HRESULT RunControlPanel(void*, std::uint32_t) override
    {
        m_detail = "Replayed joysticks have no system panel: they are the recording " + m_path + " (TAVELIN_REPLAY).";
        return DIERR_UNSUPPORTED;
    }

    // A joystick whose time in the recording has come is one plugged in.
    bool DevicesChanged() override
    {
        const std::int64_t now = m_file->Now();
        m_file->Look(now);
        const int count = m_file->CountThere(now);
        const bool changed = count != m_seen;
        m_seen = count;
        return changed;
    }

    bool TakeNote(char* out, std::size_t size) override { return m_file->TakeNote(out, size); }

protected:
    HRESULT EnumJoysticks(LPDIENUMDEVICESCALLBACKA callback, void* reference) override
    {
        const std::int64_t now = m_file->Now();
        m_seen = m_file->CountThere(now);
        m_file->Look(now);
        if (!m_file->Unreadable().empty()) {
            m_detail = m_file->Unreadable();
            return DIERR_GENERIC;
        }
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            if (!m_file->IsThere(slot, now)) {
                continue;
            }
            const RecordedJoystick& joystick = m_file->Recording().slots[slot];
            const DIDEVICEINSTANCEA record
                = JoystickRecord(InstanceGuid(slot), joystick.joystickId, joystick.name.c_str());
            if (callback(&record, reference) != DIENUM_CONTINUE) {
                break;
            }
        }
        return DI_OK;
    }

    HRESULT CreateJoystick(const GUID& instance, IDirectInputDeviceA** out) override
    {
        const int slot = instance.Data2;
        if (instance.Data1 != kInstanceMagic || !(instance == InstanceGuid(slot))
            || !m_file->IsThere(slot, m_file->Now())) {
            return DIERR_DEVICENOTREG;
        }
        auto* device = new (std::nothrow) ReplayDevice(m_file, slot);
        if (device == nullptr) {
            return DIERR_OUTOFMEMORY;
        }
        *out = device;
        return DI_OK;
    }

private:
    std::shared_ptr<ReplayFile> m_file;
    std::string m_path;
    int m_seen = 0;
};

} // namespace

HRESULT CreateReplayDirectInput(const char* path, IDirectInputA** out)
{
    if (out == nullptr || path == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    *out = new (std::nothrow) ReplayDirectInput(path);
    return *out != nullptr ? DI_OK : DIERR_OUTOFMEMORY;
}

void SetReplayClock(ReplayClock clock)
{
    g_clock = clock;
}
