// Files and environment the window and program tests start with: a joystick
// configuration, a virtual joystick file, a private block name and a private
// configuration folder, plus a second attachment to read the block.
#pragma once

#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace testfiles {

inline constexpr std::uint32_t kStickId = 305419896;
inline constexpr std::uint32_t kPedalsId = 4660;

// Pitch on the stick's Y (input 1), sensitivity 0.002, dead band 0.5: a raw
// Y of v settles at v * 0.002 - 0.5 for v above 250.
inline constexpr double kPitchSensitivity = 0.002;
inline constexpr double kPitchDeadBand = 0.5;

inline double SettledPitch(int rawY)
{
    const double x = rawY * kPitchSensitivity;
    return x > kPitchDeadBand ? x - kPitchDeadBand : (x < -kPitchDeadBand ? x + kPitchDeadBand : 0.0);
}

// A configuration as the program writes it: pitch Y, roll X, pedals Rz and
// tiller Z of the stick, thrust levers on the sliders; A/P Disc button 1,
// A/T Disc button 2, brakes 3 and 4, the rest unassigned; eye view on POV 1.
inline std::string Configuration()
{
    std::ostringstream out;
    const auto joystick = [&](const char* key) { out << key << "\t= " << kStickId << "\n"; };
    const auto tuning = [&](const char* key, double value) {
        char text[64];
        std::snprintf(text, sizeof text, "%f", value);
        out << key << "\t\t= " << text << "\n";
    };
    const auto input = [&](const char* key, int value) { out << key << "\t\t= " << value << "\n"; };
    out << "#\n#\t\t\tKQ-P- JOY STICK \n#\t\t\tInitialisation file\n#\n";
    out << "[CONFIG_DETAILS]\nNAME = DEFAULT_JOYSTICK_SETUP\nJOY_ID = " << kStickId << "\n#\n";
    out << "[FLIGHT_CONTROLS]\n";
    struct Axis {
        const char* joystickKey;
        const char* firstKey;
        double first;
        const char* secondKey;
        double second;
        const char* inputKey;
        int input;
    };
    const Axis axes[] = {
        { "SIDE_STICK_P_CNTL", "PITCH_SENS", kPitchSensitivity, "PITCH_DB", kPitchDeadBand, "PITCH_CNTL", 1 },
        { "SIDE_STICK_R_CNTL", "ROLL_SENS", 0.0025, "ROLL_DB", 0.5, "ROLL_CNTL", 0 },
        { "COCKPIT_PEDAL", "PEDAL_SENS", 0.0025, "PEDAL_DB", 0.5, "PEDAL_CNTL", 5 },
        { "COCKPIT_TILLER", "TILLER_SENS", 0.0015, "TILLER_DB", 0.5, "TILLER_CNTL", 2 },
        { "THRUST_LVR_1", "TLA_L_SENS", 1.0, "TLA_L_OFFSET", 0.0, "TLA_L_CNTL", 6 },
        { "THRUST_LVR_2", "TLA_R_SENS", 1.0, "TLA_R_OFFSET", 0.0, "TLA_R_CNTL", 7 },
        { "THRUST_LVR", "TLA_1_TC", 0.1, "TLA_2_TC", 0.1, "TLA_CNTL", 0 },
    };
    for (const Axis& axis : axes) {
        joystick(axis.joystickKey);
        tuning(axis.firstKey, axis.first);
        tuning(axis.secondKey, axis.second);
        input(axis.inputKey, axis.input);
        out << "#\n";
    }
    out << "#\n[BUTTON_CONTROLS]\n#\n";
    struct Button {
        const char* joystickKey;
        const char* buttonKey;
        int number; // 0: NA
    };
    const Button buttons[] = {
        { "PTT_BTN_CNTL", "PTT_BTN", 0 },
        { "AP_BTN_CNTL", "AP_BTN", 1 },
        { "AT_BTN_CNTL", "AT_BTN", 2 },
        { "BRK_L_BTN_CNTL", "BRK_L_BTN", 3 },
        { "BRK_R_BTN_CNTL", "BRK_R_BTN", 4 },
        { "REV_L_BTN_CNTL", "REV_L_BTN", 0 },
        { "REV_R_BTN_CNTL", "REV_R_BTN", 0 },
        { "FLAP_IN_BTN_CNTL", "FLAP_IN_BTN", 0 },
        { "FLAP_OUT_BTN_CNTL", "FLAP_OUT_BTN", 0 },
        { "SBRK_IN_BTN_CNTL", "SBRK_IN_BTN", 0 },
        { "SBRK_OUT_BTN_CNTL", "SBRK_OUT_BTN", 0 },
        { "STAB_UP_CNTL", "STAB_UP_BTN", 0 },
        { "STAB_DN_CNTL", "STAB_DN_BTN", 0 },
        { "FD_L_CNTL", "FD_L_BTN", 0 },
        { "FD_R_CNTL", "FD_R_BTN", 0 },
        { "GEAR_BTN_CNTL", "GEAR_BTN", 0 },
        { "PARK_BRK_CNTL", "PARK_BRK_BTN", 0 },
    };
    for (const Button& button : buttons) {
        joystick(button.joystickKey);
        if (button.number > 0) {
            input(button.buttonKey, button.number);
        } else {
            out << button.buttonKey << "\t\t= NA\n";
        }
        out << "#\n";
    }
    out << "[ACCESS]\n";
    joystick("CKPT_EYE_POV");
    tuning("N/A", 0.0);
    tuning("N/A", 0.0);
    input("EYE_POV_CNTL", 1);
    out << "#\n";
    return out.str();
}

struct Stick {
    int x = 0;
    int y = 0;
    int z = 0;
    int rz = 0;
    int pov = -1;
    std::string pressed; // "1 4": buttons held, counted from 1
    bool sweep = false;
};

inline std::string VirtualJoysticks(const Stick& stick, bool withPedals = false)
{
    std::ostringstream out;
    out << "[JOYSTICK_0]\nJOY_ID = " << kStickId << "\nNAME = Virtual Stick\nBUTTONS = 12\n";
    out << "X = " << stick.x << "\nY = " << stick.y << "\nZ = " << stick.z << "\nRZ = " << stick.rz << "\n";
    out << "POV1 = " << stick.pov << "\n";
    if (!stick.pressed.empty()) {
        out << "PRESSED = " << stick.pressed << "\n";
    }
    if (stick.sweep) {
        out << "MOTION = SWEEP\n";
    }
    if (withPedals) {
        out << "\n[JOYSTICK_1]\nJOY_ID = " << kPedalsId << "\nNAME = Virtual Pedals\nBUTTONS = 8\nRZ = 0\n";
    }
    return out.str();
}

// Replaces the file whole, so that a reader never sees half of it.
inline void WriteFile(const std::filesystem::path& path, const std::string& text)
{
    const std::filesystem::path temporary = path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::filesystem::rename(temporary, path);
}

// A private configuration folder, joystick file and block name; restores the
// environment and removes the folder when it goes.
class Sandbox {
public:
    explicit Sandbox(const std::string& tag)
    {
        static int counter = 0;
        const std::string unique = tag + std::to_string(getpid()) + "_" + std::to_string(++counter);
        m_root = std::filesystem::temp_directory_path() / ("tavelin-" + unique);
        std::filesystem::remove_all(m_root);
        m_configFolder = m_root / "config" / "Orrelane" / "Shared";
        std::filesystem::create_directories(m_configFolder);
        m_joysticks = m_root / "virtual-joysticks.ini";
        m_shmName = "TavelinTest" + unique;
        WriteFile(ConfigurationFile(), Configuration());
        WriteFile(m_joysticks, VirtualJoysticks(Stick {}));
        Set("XDG_CONFIG_HOME", (m_root / "config").string());
        Set("TAVELIN_VIRTUAL_JOYSTICKS", m_joysticks.string());
        Set("TAVELIN_SHM_NAME", m_shmName);
    }
    ~Sandbox()
    {
        for (const auto& [name, value] : m_saved) {
            if (value.has_value) {
                setenv(name.c_str(), value.text.c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path ConfigurationFile(int index = 0) const
    {
        return m_configFolder
            / (index == 0 ? std::string("Joystick.ini") : "Joystick" + std::to_string(index) + ".ini");
    }
    const std::filesystem::path& JoystickFile() const { return m_joysticks; }
    const std::string& ShmName() const { return m_shmName; }
    void MoveStick(const Stick& stick, bool withPedals = false) const
    {
        WriteFile(m_joysticks, VirtualJoysticks(stick, withPedals));
    }

private:
    struct Saved {
        bool has_value;
        std::string text;
    };
    void Set(const std::string& name, const std::string& value)
    {
        const char* old = std::getenv(name.c_str());
        m_saved.emplace_back(name, Saved { old != nullptr, old != nullptr ? old : "" });
        setenv(name.c_str(), value.c_str(), 1);
    }

    std::filesystem::path m_root;
    std::filesystem::path m_configFolder;
    std::filesystem::path m_joysticks;
    std::string m_shmName;
    std::vector<std::pair<std::string, Saved>> m_saved;
};

// A second attacher, as the simulator would be: opens the block, never creates it.
class BlockReader {
public:
    explicit BlockReader(const std::string& name)
        : m_shm(std::make_unique<KQ_P_0001_02_Shm>(name.c_str(), true))
    {
    }
    bool Ready() const { return m_shm->IsReady(); }
    const void* Block() const { return m_shm->GetBlock(); }
    double Double(std::size_t offset) const { return GenericSimBlock::LoadDouble(Block(), offset); }
    std::int32_t Int(std::size_t offset) const { return GenericSimBlock::LoadInt32(Block(), offset); }
    std::uint8_t Byte(std::size_t offset) const { return GenericSimBlock::LoadByte(Block(), offset); }

private:
    std::unique_ptr<KQ_P_0001_02_Shm> m_shm;
};

} // namespace testfiles
