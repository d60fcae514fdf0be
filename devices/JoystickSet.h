// JoystickSet: the four joystick slots. Enumerates the attached joysticks
// through the DirectInput seam, polls every occupied slot once per tick and
// runs the processing (it is the ControlProcessor). Joysticks that come
// while it runs take the next free slot; one that goes keeps its slot, reads
// as lost and comes back to it.
#pragma once

#include "mapping/Calibration.h"
#include "mapping/ControlProcessor.h"
#include "mapping/JoystickState.h"

#include <cstdint>
#include <memory>
#include <string>

class JoystickDevice;
struct IDirectInputA;

class JoystickSet : public ControlProcessor {
public:
    // Room for the records the resolution matches: an axis control value
    // 0..15 (not all have a record), then the seventeen buttons.
    static constexpr int kResolvedRecords = 33;

    JoystickSet();
    ~JoystickSet() override;

    // Attach, then ReadConfigurationFile(path); false with the reason in GetLastErrorText.
    bool Initialise(const char* path);

    // Another configuration, read by a set of its own while the set in use
    // keeps its joysticks: `index` and `name` are stored in `inUse` (the
    // block as the caller sees it) as the configuration chosen, then `path`
    // is read. When that fails the set-up that was in use (assignment,
    // tuning, configuration index and name) is put back, and no set comes
    // back. With `inUse` not attached nothing is stored or put back.
    struct Replacement {
        std::unique_ptr<JoystickSet> set; // null: not read, the set-up in use stays
        std::string setUpName; // the name stored with the choice, as the block holds it
        std::string reason; // why it was not read
    };
    static Replacement ReadOrKeep(const char* path, std::int32_t index, const char* name, const BlockSetUp& inUse);
    // The program's start: as Initialise, but without the block the set works
    // on a stand-in until the block can be had (WaitForBlock), and with
    // `defaultSetUp` the compiled-in default set-up is read as if from `path`
    // (a first start whose configuration folder cannot be written).
    bool InitialiseAtStartUp(const char* path, bool defaultSetUp);
    // window: the owner window for the cooperative level; instance: the program's module.
    bool CreateDevices(void* window, void* instance);
    void PollAll(double period);
    // The slot's record as the processing sees it: calibrated.
    bool GetSlotState(int slot, JoystickState& out) const;
    // The slot's eight position axes as the device gave them, before
    // calibration (what a calibration is made from).
    bool GetRawAxes(int slot, std::int32_t (&out)[kCalibratedAxes]) const;

    // The calibration every later poll applies; an empty table (the default)
    // leaves every reading exactly as the device gives it. The records of the
    // slots are calibrated again at once.
    void SetCalibration(const CalibrationTable& table);
    const CalibrationTable& GetCalibration() const { return m_calibration; }
    const char* GetDeviceName(int slot) const;
    std::int32_t GetJoystickCount() const { return m_joystickCount; }
    // The last CreateDevices asked the backend and heard of no joystick at all
    // (not: the backend could not be asked).
    bool FoundNoJoysticks() const { return m_foundNone; }
    std::int32_t GetButtonCount(int slot) const;
    void PublishSlotNames();
    // Starts the joystick control panel; "" or what the user must be told
    // (for instance which program to install).
    const char* RunControlPanel();

    // Joysticks may have come or gone (the window heard WM_DEVICECHANGE):
    // the next PollAll enumerates again. Backends that watch for devices
    // themselves (DevicesChanged) need no call.
    void OnDevicesChanged() { m_devicesChanged = true; }
    // The slot's instance key ("serial:<text>", "port:<text>"), "" when the
    // backend cannot tell or the slot is empty.
    const char* GetInstanceKey(int slot) const;
    // Another slot holds a joystick of the same ID and this one's instance is
    // known: the window shows the instance beside the name.
    bool IsOneOfIdenticalJoysticks(int slot) const;
    // The device name, followed for one of identical joysticks by its
    // instance: "Throttle Quadrant (serial A1B2C3)".
    std::string GetDisplayName(int slot) const;
    // True while the slot's joystick has vanished: it keeps its slot and its
    // last reading, and its slot is given to no other joystick.
    bool IsSlotLost(int slot) const;
    // Goes up whenever a slot's joystick came, went or came back, so that a
    // window knows when to show the names, readouts and warnings again.
    std::uint32_t GetSlotChangeCount() const { return m_slotChanges; }
    const char* GetLastErrorText() const;

    // Empties the program-wide last-error text (for tests that start afresh).
    static void ClearLastErrorText();

private:
    void AddDevice(int slot, const void* deviceInstance);
    void ReleaseDevices();
    // Enumerates again and places what came: the only part of a tick that allocates.
    void Rescan();
    // Said once when a slot's joystick goes, and once when it comes back.
    // The backend's instance keys for the slots' devices, after an enumeration.
    void TakeInstanceKeys();
    void PublishSlotIdentities();
    void NoteLoss(int slot);
    void NoteReturn(int slot);
    // What the backend has to tell (a recording it cannot play to its end) becomes notes.
    void TakeBackendNotes();
    // Which entry of the calibration holds for the slot's joystick.
    void FindSlotCalibration(int slot);
    // The slot's record from its device, calibrated.
    void TakeState(int slot);
    // Around a cycle that resolves the assignment: a configured joystick ID
    // that the resolution replaced by slot 0's (its joystick was not there)
    // is remembered, and given back once that joystick is attached, so that
    // a joystick plugged in later takes the controls the file gave it.
    void GiveBackConfiguredIds(std::int32_t attached);
    void NoteSubstitutions(const std::int32_t (&before)[kResolvedRecords]);
    void SetLastError(const char* text, const char* detail = "");
    friend struct JoystickSetEnumeration;

    std::int32_t m_joystickCount = 0;
    bool m_foundNone = false;
    void* m_window = nullptr;
    void* m_instance = nullptr;
    IDirectInputA* m_directInput = nullptr;
    std::unique_ptr<JoystickDevice> m_slots[kJoystickSlots];
    JoystickState m_states[kJoystickSlots] = {};
    std::int32_t m_rawAxes[kJoystickSlots][kCalibratedAxes] = {};
    CalibrationTable m_calibration;
    // The calibration of each slot's joystick as the tick applies it; none for a slot without one.
    PreparedCalibration m_slotCalibration[kJoystickSlots];
    bool m_calibrated[kJoystickSlots] = {};
    bool m_taken[kJoystickSlots] = {}; // the slot's record came from its device
    const JoystickState* m_stateTable[kJoystickSlots] = {};
    struct Substitution {
        bool active = false;
        std::int32_t configured = 0;
        std::int32_t substitute = 0;
    };
    Substitution m_substitutions[kResolvedRecords];
    bool m_lost[kJoystickSlots] = {};
    bool m_devicesChanged = false;
    std::uint32_t m_slotChanges = 0;
    // The set's own error text when the last-error text was set: a later
    // failure that changes only the own text (a configuration read) must
    // not be shown with the older reason.
    std::string m_ownTextAtLastError;
};
