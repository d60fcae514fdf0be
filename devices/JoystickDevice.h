// JoystickDevice: one attached joystick as DirectInput 5 presents it. Sets it
// up so every axis reports in -10000..10000, polls it, re-acquires it when
// DirectInput has taken it away and turns the raw state into a JoystickState.
#pragma once

#include "devices/DirectInput.h"
#include "mapping/JoystickState.h"
#include "support/KQ_ErrorReport.h"

#include <cstdint>

class JoystickDevice : public KQ_ErrorReport {
public:
    static constexpr std::int32_t kAxisMinimum = -10000;
    static constexpr std::int32_t kAxisMaximum = 10000;
    static constexpr std::uint32_t kDeadZone = 5;
    static constexpr std::uint32_t kSaturation = 9950;
    static constexpr int kMaxButtons = 32;

    // Creates the device's own DirectInput object for the program's module.
    explicit JoystickDevice(void* instance = nullptr);
    ~JoystickDevice() override;
    JoystickDevice(const JoystickDevice&) = delete;
    JoystickDevice& operator=(const JoystickDevice&) = delete;

    void SetWindow(void* window) { m_window = window; }
    // Copies the enumeration's record and runs the set-up; true only if every step succeeded.
    bool Open(const DIDEVICEINSTANCEA& instance);
    // True for a fresh reading; a failed poll leaves the last good reading in place.
    bool Poll();
    void GetState(JoystickState& out) const { out = m_state; }
    const char* GetName() const { return m_name; }
    std::uint32_t GetJoystickId() const { return m_instance.guidProduct.Data1; }
    const GUID& GetInstanceGuid() const { return m_instance.guidInstance; }
    // "serial:<text>", "port:<text>" or "" (IDirectInputA::GetInstanceKey),
    // as the joystick set was told after the enumeration.
    void SetInstanceKey(const char* key);
    const char* GetInstanceKey() const { return m_instanceKey; }
    // True while the joystick has vanished: the last poll found its input
    // lost and could not acquire it again. The reading is the last good one.
    bool IsLost() const { return m_lost; }
    std::int32_t GetButtonCount() const;

    // The text of a DirectInput result; static, never null, allocates nothing.
    static const char* ResultText(HRESULT code);

private:
    bool Fail(HRESULT result);
    bool CreateDeviceInterface();
    void ReleaseDeviceInterface(bool unacquire);
    bool SetRange();
    bool SetDwordProperty(DIPROPID property, std::uint32_t value);
    std::int32_t CountButtons();
    void Convert();

    DIJOYSTATE2 m_raw = {};
    IDirectInputDevice2A* m_device = nullptr;
    DIDEVICEINSTANCEA m_instance = {};
    GUID m_instanceGuid = {};
    char m_name[260] = {};
    char m_instanceKey[256] = {};
    void* m_module = nullptr;
    IDirectInputA* m_directInput = nullptr;
    void* m_window = nullptr;
    std::int32_t m_buttonCount = 0;
    bool m_lost = false;
    JoystickState m_state = {};
};
