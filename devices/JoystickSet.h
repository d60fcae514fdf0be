// JoystickSet: the four joystick slots. Enumerates the attached joysticks
// through the DirectInput seam, polls every occupied slot once per tick and
// runs the processing (it is the ControlProcessor).
#pragma once

#include "mapping/ControlProcessor.h"
#include "mapping/JoystickState.h"

#include <cstdint>
#include <memory>
#include <string>

class JoystickDevice;
struct IDirectInputA;

class JoystickSet : public ControlProcessor {
public:
    JoystickSet();
    ~JoystickSet() override;

    // Attach, then ReadConfigurationFile(path); false with the reason in GetLastErrorText.
    bool Initialise(const char* path);
    // window: the owner window for the cooperative level; instance: the program's module.
    bool CreateDevices(void* window, void* instance);
    void PollAll(double period);
    bool GetSlotState(int slot, JoystickState& out) const;
    const char* GetDeviceName(int slot) const;
    std::int32_t GetJoystickCount() const { return m_joystickCount; }
    std::int32_t GetButtonCount(int slot) const;
    void PublishSlotNames();
    void RunControlPanel();
    const char* GetLastErrorText() const;

    // Empties the program-wide last-error text (for tests that start afresh).
    static void ClearLastErrorText();

private:
    void AddDevice(int slot, const void* deviceInstance);
    void ReleaseDevices();
    void SetLastError(const char* text, const char* detail = "");
    friend struct JoystickSetEnumeration;

    std::int32_t m_joystickCount = 0;
    void* m_window = nullptr;
    void* m_instance = nullptr;
    IDirectInputA* m_directInput = nullptr;
    std::unique_ptr<JoystickDevice> m_slots[kJoystickSlots];
    JoystickState m_states[kJoystickSlots] = {};
    const JoystickState* m_stateTable[kJoystickSlots] = {};
    // The set's own error text when the last-error text was set: a later
    // failure that changes only the own text (a configuration read) must
    // not be shown with the older reason.
    std::string m_ownTextAtLastError;
};
