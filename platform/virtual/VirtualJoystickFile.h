// VirtualJoystickFile: the joysticks a plain text file describes, read again
// whenever the file's time stamp or size changes, and the clock that moves
// the joysticks in sweep motion. Portable C++ only. A file of more than 1 MiB,
// a folder or anything else that cannot be read gives a reason, never an
// exception: no joysticks when it was never good, else the last good ones,
// held until it is good again, with a notice when it breaks and when it mends.
#pragma once

#include "devices/DirectInput.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// How a joystick moves by itself. Sweep moves every axis, POV 1 and the
// buttons at once (for load figures). The others move like the device they
// are named after, each only its own inputs, taking turns within a minute so
// that "Move" learns the one that moves.
enum class VirtualMotion {
    None,
    Sweep,
    Stick, // 0-20 s X and Y circle; 22-28 s RZ twists; button 1 for 0.5 s every 4 s
    Throttle, // 30-38 s lever X, 38-46 s lever Y from idle to full and back; 46-48 s button 1 at idle
    Pedals, // 48-55 s the rudder RZ; 55-57.5 s toe brake X; 57.5-60 s toe brake Y
};

struct VirtualJoystick {
    static constexpr int kMaxButtons = 32;
    int section = 0; // the N of [JOYSTICK_N], 0..7
    std::uint32_t joystickId = 0;
    std::string name;
    std::string serial; // SERIAL, empty when not given
    std::string port; // PORT, empty when not given (the instance is then port:JOYSTICK_<n>)
    int buttons = 0;
    std::int32_t axes[8] = {}; // X Y Z RX RY RZ SL1 SL2
    std::int32_t pov[3] = { -1, -1, -1 };
    bool pressed[kMaxButtons] = {};
    VirtualMotion motion = VirtualMotion::None;
};

// Parses the whole text; false with a one-line reason naming the line.
bool ParseVirtualJoysticks(std::string_view text, std::vector<VirtualJoystick>& out, std::string& error);

// The device state a joystick shows at `seconds` on the virtual clock.
void FillVirtualJoystickState(const VirtualJoystick& joystick, double seconds, DIJOYSTATE2& state);

// The clock that sweep motion follows; null restores the steady clock.
using VirtualClock = double (*)();
void SetVirtualJoystickClock(VirtualClock clock);
double VirtualJoystickSeconds();

class VirtualJoystickFile {
public:
    explicit VirtualJoystickFile(const char* path);
    ~VirtualJoystickFile();
    VirtualJoystickFile(const VirtualJoystickFile&) = delete;
    VirtualJoystickFile& operator=(const VirtualJoystickFile&) = delete;

    // Reads the file again if it changed since the last look. On Linux an
    // inotify watch of its folder says so: one read of the watch and nothing
    // allocated while the file is left alone, and a rewrite is seen by the
    // first look after it lands. Elsewhere two status queries, and in the
    // two seconds after a change the text itself is compared too.
    void Refresh();
    // The look at the start of a tick: from now on the state reads of the
    // devices leave the looking to it.
    void RefreshForTick()
    {
        m_tickDriven = true;
        Refresh();
    }
    // The look of a state read, unless ticks look for everyone.
    void RefreshForRead()
    {
        if (!m_tickDriven) {
            Refresh();
        }
    }
    bool IsValid() const { return m_valid; }
    // The last read failed, and the joysticks of the last good one are held.
    bool IsHoldingLastGood() const { return !m_valid && m_everGood; }
    // Why the last read failed; empty while the file is valid.
    const std::string& GetError() const { return m_error; }
    // Lines for the operator: how many were made so far, and line `index`
    // (counted from 0) while it is among the last kKeptNotices, else null.
    static constexpr std::uint32_t kKeptNotices = 4;
    std::uint32_t GetNoticeCount() const { return m_noticeCount; }
    const char* GetNotice(std::uint32_t index) const;
    const std::vector<VirtualJoystick>& Joysticks() const { return m_joysticks; }
    const VirtualJoystick* Find(int section) const;
    // Goes up whenever a read changes which joysticks the file lists
    // (sections, IDs, names, serials or ports): a joystick was plugged in or out.
    std::uint32_t GetListGeneration() const { return m_listGeneration; }

private:
    static bool IsRecent(std::filesystem::file_time_type time);
    bool WatchSaysChanged();
    void Look();
    // The whole file in one bounded pass; false with the reason otherwise.
    bool ReadText(std::string& text, std::string& reason) const;
    void Read();
    void Apply(const std::string& text);
    // A read that failed for `reason` (the whole line, file name first).
    void Refuse(std::string reason);
    void SetJoysticks(std::vector<VirtualJoystick> joysticks);
    void AddNotice(std::string text);

    std::filesystem::path m_path;
    std::string m_displayPath;
    bool m_tickDriven = false;
    int m_watch = -1; // inotify, Linux only
    std::string m_watchedName;
    bool m_looked = false;
    bool m_present = false;
    std::filesystem::file_time_type m_time {};
    std::uintmax_t m_size = 0;
    bool m_sized = false;
    bool m_valid = false;
    bool m_everGood = false;
    std::string m_error;
    std::string m_notices[kKeptNotices];
    std::uint32_t m_noticeCount = 0;
    std::string m_text;
    std::vector<VirtualJoystick> m_joysticks;
    std::uint32_t m_listGeneration = 0;
};
