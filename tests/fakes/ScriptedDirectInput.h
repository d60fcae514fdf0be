// ScriptedDirectInput: a DirectInput that behaves as DirectInput 5 does for a
// list of joysticks the test describes, answers scripted results where the
// test wants a failure, and logs every call. While it lives it is the
// DirectInputCreateA override, so JoystickDevice and JoystickSet run on it.
#pragma once

#include "devices/DirectInput.h"

#include <cstdint>
#include <string>
#include <vector>

class ScriptedDirectInput {
public:
    static constexpr int kRoot = -1;
    static constexpr int kForever = -1;

    struct Joystick {
        std::string name;
        std::string productName;
        std::uint32_t joystickId = 0;
        int buttonCount = 0;
        bool attached = true; // false: input lost, Acquire answers DIERR_UNPLUGGED
        bool acquired = false;
        DIJOYSTATE2 state = {}; // what GetDeviceState delivers
        GUID instanceGuid = {};
        std::string instanceKey; // what GetInstanceKey says: "serial:...", "port:..." or ""
    };

    ScriptedDirectInput();
    ~ScriptedDirectInput();
    ScriptedDirectInput(const ScriptedDirectInput&) = delete;
    ScriptedDirectInput& operator=(const ScriptedDirectInput&) = delete;

    // A joystick at rest: axes 0, POVs centred, no button pressed.
    Joystick& AddJoystick(std::uint32_t joystickId, const std::string& name, int buttonCount);
    Joystick& joystick(int index) { return m_joysticks.at(static_cast<std::size_t>(index)); }
    int JoystickCount() const { return static_cast<int>(m_joysticks.size()); }
    static DIDEVICEINSTANCEA InstanceRecord(const Joystick& joystick);

    // The next `times` calls named `call` (kForever: all of them) answer
    // `result` instead of the normal answer. call is the log entry's name:
    // "DirectInputCreateA", "EnumDevices", "CreateDevice", "RunControlPanel"
    // for the root (joystick kRoot); "QueryInterface", "SetDataFormat",
    // "SetCooperativeLevel", "SetProperty DIPROP_RANGE" (or _DEADZONE,
    // _SATURATION), "GetObjectInfo", "Poll", "GetDeviceState", "Acquire",
    // "Unacquire" for a joystick's device.
    void Script(const std::string& call, HRESULT result, int times = 1, int joystickIndex = kRoot);
    // What the root's GetFailureDetail says (a backend that knows more than a result code).
    void SetFailureDetail(const std::string& detail) { m_failureDetail = detail; }
    // A device method that throws instead of answering (a driver gone wrong).
    void ScriptThrow(const std::string& call, int joystickIndex);

    // Entries such as "CreateDevice j1", "j0 SetProperty DIPROP_DEADZONE 5 DIPH_DEVICE 0".
    const std::vector<std::string>& Log() const { return m_log; }
    void ClearLog() { m_log.clear(); }
    int CountCalls(const std::string& entry) const;
    // Off for tests that count allocations: logging allocates.
    void SetLogging(bool on) { m_logging = on; }
    // Roots and devices handed out and not yet released.
    int LiveRoots() const { return m_liveRoots; }
    int LiveDevices() const { return m_liveDevices; }
    void* LastCooperativeWindow() const { return m_lastWindow; }

private:
    struct Root;
    struct Device;
    struct ScriptEntry {
        std::string call;
        int joystick;
        HRESULT result;
        int times;
        bool throws;
    };
    friend struct Root;
    friend struct Device;

    HRESULT Create(std::uint32_t version, IDirectInputA** out);
    void Record(int joystickIndex, const std::string& entry);
    // True (and result set) when the script answers this call.
    bool Scripted(const std::string& call, int joystickIndex, HRESULT& result);

    std::vector<Joystick> m_joysticks;
    std::vector<ScriptEntry> m_script;
    std::vector<std::string> m_log;
    bool m_logging = true;
    int m_liveRoots = 0;
    int m_liveDevices = 0;
    void* m_lastWindow = nullptr;
    std::string m_failureDetail;
};
