// ControlProcessor: turns one polling cycle's joystick readings into the
// cockpit values the simulator reads. It attaches its own view of the block,
// owns the axis filters, resolves the assignment to slots, keeps the warning
// list, and loads and saves the joystick configuration files (those
// operations are defined in config/ and use only the public accessors).
// JoystickSet derives from it.
#pragma once

#include "mapping/Assignments.h"
#include "mapping/AxisButtons.h"
#include "mapping/CockpitAxes.h"
#include "mapping/EngineeringFilter.h"
#include "mapping/JoystickState.h"
#include "mapping/KQ_Remember.h"
#include "mapping/ResponseCurve.h"
#include "mapping/SetUp.h"
#include "support/KQ_ErrorReport.h"
#include "ui/LampPicture.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class BlockKeeper;

// The record the dialog copies out for its warning list: every line held
// (the described warnings and Tavelin's own notes alike) and the described
// pending flag, which only a warning raises.
struct WarningList {
    std::int32_t count;
    std::uint8_t present;
    char messages[10][256];
};

// How one of Tavelin's own lines keeps its place in the warning list.
enum class NoteKind {
    Stays, // as a warning does (a first start, a joystick lost)
    GivesWay, // queued only while there is room, and the first to leave it (what a partial file lacked)
};

// What the gear and park-brake indicators should show after a cycle.
// A null message means "leave the field as it is".
struct GearAndParkBrakeDisplay {
    LampPicture gearLamp;
    LampPicture parkBrakeLamp;
    const char* gearMessage;
    const char* parkBrakeMessage;
};

// What the side-stick lamp should do: change to `lamp`, or stay as it is.
struct NeutralIndicatorDisplay {
    bool changeLamp;
    LampPicture lamp;
};

class ControlProcessor : public KQ_ErrorReport {
public:
    static constexpr int kMaxWarnings = 10;
    static constexpr int kWarningLength = 256;
    static constexpr int kInputCount = 24;
    static constexpr double kPitchRollTimeConstant = 0.025;

    ControlProcessor();
    ~ControlProcessor() override;
    ControlProcessor(const ControlProcessor&) = delete;
    ControlProcessor& operator=(const ControlProcessor&) = delete;

    // Attaches the block (TAVELIN_SHM_NAME or the simulator's name), creates
    // the filters and writes the default tuning values. False: see GetErrorText.
    bool Attach();
    // After a failed Attach, for a program that must go on: works on a
    // private stand-in of the block instead (filters and default tuning values
    // as Attach makes them), notes that the block is tried again every
    // second, and KeepBlock puts the set-up into the block once it has one.
    void WaitForBlock();
    // Once per tick, before the cycle: keeps publishing into the block
    // whatever other programs do to it (shrink it, remove its name, keep it
    // from being attached), with one note for each thing that happened.
    void KeepBlock();
    // Releases the controls (ReleaseControls), then the block.
    void Detach();
    // Publishes a released stick: pitch, roll, pedals and tiller 0, the six
    // button bytes 0 (the stick filters start again from rest). The thrust
    // levers keep their value: an idle slam is no safer than holding. Called
    // whenever publishing stops, so no deflection is ever left behind.
    void ReleaseControls();
    // The attached block, null before a successful Attach, and the set-up in it.
    void* GetBlock() const { return m_block; }
    BlockSetUp SetUpInBlock() const { return BlockSetUp(m_block); }

    void SetSwitchPanel(SwitchPanelState* panel) { m_switchPanel = panel; }
    void SetCounts(std::int32_t attachedCount, std::int32_t inputCount);

    // One cycle; `states` are the four slot records, topIndex the attached count - 1.
    void ProcessCycle(double period, const JoystickState* const states[kJoystickSlots], std::int32_t topIndex);
    void ApplyFilterTimeConstants();
    void ResetCycleCount() { m_cycleCount = 0; }
    std::int32_t GetCycleCount() const { return m_cycleCount; }

    // Warning list: at most ten texts of 255 characters and a pending flag.
    void GetWarnings(WarningList& out) const;
    // The pending flag: a described warning (a missing thrust-lever entry, a
    // joystick ID without a match) was queued since the list was cleared.
    bool HasWarnings() const { return m_warnings.present != 0; }
    // A described warning: raises the pending flag. When the list is full it
    // takes the place of the last note that gives way.
    void AddWarning(const char* text);
    // One of Tavelin's own lines: listed like a warning, but it never raises
    // the pending flag. A note that gives way leaves the list (counted as not
    // shown) for any later line that finds it full.
    void AddNote(const char* text, NoteKind kind);
    void ClearWarnings();
    // How many warnings arrived after the list was full, so the window can
    // say that some were not shown.
    std::int32_t WarningsNotShown() const { return m_warningsNotShown; }
    // Goes up whenever the list changes, so that a window knows when to show it again.
    std::uint32_t GetWarningChangeCount() const { return m_warningChanges; }
    // Entry i's number in the order the entries of every processor of the
    // program came (from 1), so that each is told once however often the
    // list is shown; 0 for no entry.
    std::uint32_t GetWarningSerial(int i) const;

    const char* GetSlotName(int slot) const;
    void SetSlotName(const char* text, int slot);

    // 0 for a slot outside 0..attachedCount-1 or an input outside 0..23.
    static std::int32_t ReadInput(std::int32_t input, std::int32_t slot,
        const JoystickState* const states[kJoystickSlots], std::int32_t attachedCount);

    // Assignment accessors (the block must be attached).
    std::int32_t GetAxisInput(std::int32_t axis) const;
    std::int32_t GetAxisSlot(std::int32_t axis) const;
    void SetAxisAssignment(std::int32_t axis, std::int32_t slot, std::int32_t joystickId, std::int32_t input);
    void SetButtonAssignment(
        std::int32_t button, std::int32_t slot, std::int32_t buttonNumber, std::int32_t joystickId);
    void SetButtonJoystick(std::int32_t button, std::int32_t slot, std::int32_t joystickId);
    void SetButtonNumber(std::int32_t button, std::int32_t buttonNumber);
    std::int32_t GetButtonSlot(std::int32_t button) const;
    std::int32_t GetButtonNumber(std::int32_t button) const;
    // A button driven by an axis (0..7) of the joystick its record names, with
    // a threshold (mapping/AxisButtons.h); false, and the button left to its
    // joystick button, for an axis or threshold out of range. The button
    // number stays in the record. Kept in the process, never in the block.
    bool SetAxisButton(std::int32_t button, std::int32_t axis, std::int32_t threshold)
    {
        return m_axisButtons.Set(button, axis, threshold);
    }
    void ClearAxisButton(std::int32_t button) { m_axisButtons.Clear(button); }
    void ClearAxisButtons() { m_axisButtons.ClearAll(); }
    AxisButtonSetting GetAxisButton(std::int32_t button) const { return m_axisButtons.Get(button); }
    void SetEyeViewJoystick(std::int32_t slot, std::int32_t joystickId);
    void SetEyeViewInput(std::int32_t povNumber);
    std::int32_t GetEyeViewSlot() const;
    std::int32_t GetEyeViewInput() const;

    // Matches every record's joystick ID against the attached joysticks;
    // among several of one ID, the one with the control's instance.
    void ResolveAssignments(const JoystickState* const states[kJoystickSlots], std::int32_t count);

    // Which joystick each slot holds, so that identical ones are told apart:
    // whether the slot is occupied, its joystick ID and its instance key
    // ("serial:<text>", "port:<text>" or ""). The joystick set keeps it.
    void SetSlotIdentity(int slot, bool occupied, std::uint32_t joystickId, const char* instanceKey);
    // "" for an empty slot or one out of range.
    const char* GetSlotInstance(int slot) const;
    // 0 for an empty slot or one out of range.
    std::uint32_t GetSlotJoystickId(int slot) const;
    // Another occupied slot holds a joystick of the same ID.
    bool SlotHasTwin(int slot) const;
    // The instance of its joystick that a control wants ("" none): control is
    // a CockpitAxis value, or a CockpitButton when isButton. A configuration
    // file names it; choosing a joystick in the window makes it that slot's.
    void SetControlInstance(bool isButton, std::int32_t control, const char* instance);
    const char* GetControlInstance(bool isButton, std::int32_t control) const;
    void ClearControlInstances();

    // Thrust-lever publish flags 0..3 (all set at construction): flag 0 gates the
    // THR LVR L output, flag 1 the THR LVR R output; the other two are not read.
    bool GetPublishFlag(int index) const { return index >= 0 && index < 4 && m_publishFlags[index] != 0; }
    void SetPublishFlag(int index, bool publish)
    {
        if (index >= 0 && index < 4) {
            m_publishFlags[index] = publish ? 1 : 0;
        }
    }

    std::uint32_t GetSlotZeroJoystickId() const { return m_slotZeroJoystickId; }
    void SetSlotZeroJoystickId(std::uint32_t id) { m_slotZeroJoystickId = id; }

    // Display decisions of the main dialog, read through the dialog's own view.
    static const char* ShowEyeView(const SwitchPanelState& panel);
    static GearAndParkBrakeDisplay ShowGearAndParkBrake(const BlockSetUp& block, const SwitchPanelState& panel);
    static GearAndParkBrakeDisplay ShowGearAndParkBrake(const void* block, const SwitchPanelState& panel);
    static NeutralIndicatorDisplay ShowNeutralIndicator(const BlockSetUp& block, bool& deflected);
    static NeutralIndicatorDisplay ShowNeutralIndicator(const void* block, bool& deflected);

    // Joystick configuration files (defined in config/).
    // Writes the current set-up; false (reason in GetErrorText) when the file
    // could not be written, in which case an existing file is left untouched.
    bool SaveConfiguration(std::int32_t configurationIndex, const char* path);
    bool LoadConfiguration(const char* path);
    bool ReadConfigurationFile(const char* path);
    // The compiled-in default set-up, read from memory exactly as the file
    // that a first start writes would be read; `path` is where a save puts it.
    bool ReadDefaultConfiguration(const char* path);

    const char* GetCurrentConfigurationPath() const { return m_currentPath; }
    void SetCurrentConfigurationPath(const char* path);

    // What the configuration files hold, record by record. `entry` is a row of
    // CockpitAxisTable::kRows. Before the block is attached, or for an entry or
    // button out of range, the getters give zeros and the setters do nothing.
    enum class Tuning { First, Second };
    AxisAssignment GetAxisRecord(int entry) const;
    void SetAxisRecord(int entry, const AxisAssignment& record);
    // 0.0 for an entry without tuning values (the eye view).
    double GetTuning(int entry, Tuning which) const;
    void SetTuning(int entry, Tuning which, double value);
    ButtonAssignment GetButtonRecord(std::int32_t button) const;
    // The whole record as the file gives it; unlike SetButtonAssignment it
    // leaves the simulator's mirror bytes alone.
    void SetButtonRecord(std::int32_t button, const ButtonAssignment& record);
    // The response curve of a row with a curve key (plain LINEAR for any
    // other). Held in the process, never in the block; each configuration
    // file brings its own.
    const ResponseCurve& GetResponseCurve(int entry) const;
    void SetResponseCurve(int entry, const ResponseCurve& curve);
    std::string GetConfigurationName() const;
    void SetConfigurationName(const char* name);
    std::int32_t GetDefaultJoystickId() const;
    void SetDefaultJoystickId(std::int32_t id);

protected:
    std::int32_t FindSlotForJoystick(bool isButton, std::int32_t control, std::int32_t& recordJoystickId,
        const JoystickState* const states[kJoystickSlots], std::int32_t count);
    // Once until the instance is found or changed, one line per instance:
    // none of the joysticks of a control's ID has the instance it wants, and
    // the first of them takes the control.
    void NoteMissingInstances();

    // Pieces of one cycle; `row` is the axis's row of CockpitAxisTable::kRows.
    double Filtered(int row, double value, double period);
    // The value, or 0 (and the axis's filter reset to 0) when it is not finite.
    double Published(int row, double value);
    double ThrustLeverPercent(double value, double minimum, double maximum, double sensitivity, double offset) const;
    // The row's input, through its response curve when the input is a position.
    double AxisValue(int row, const AxisAssignment& record, const JoystickState* const states[kJoystickSlots]) const;
    void ProcessStickAxis(int row, double period, const JoystickState* const states[kJoystickSlots]);
    void ProcessThrustLever(int row, double period, const JoystickState* const states[kJoystickSlots]);
    std::uint8_t ButtonState(std::int32_t button, const JoystickState* const states[kJoystickSlots]) const;
    std::uint8_t AxisButtonState(std::int32_t button, const JoystickState* const states[kJoystickSlots]);
    void PublishButtons();
    void FillSwitchPanel(const JoystickState* const states[kJoystickSlots]);
    // Queues a line, making room by dropping the last note that gives way.
    void QueueLine(const char* text, bool givesWay);
    // The filters and the default tuning values of a block just attached (or of the stand-in).
    void PrepareBlock();

    WarningList m_warnings {};
    std::int32_t m_warningsNotShown = 0;
    bool m_givesWay[kMaxWarnings] = {};
    SwitchPanelState* m_switchPanel = nullptr;
    std::uint32_t m_warningChanges = 0;
    std::uint32_t m_warningSerials[kMaxWarnings] = {};
    std::unique_ptr<BlockKeeper> m_keeper;
    void* m_block = nullptr;
    std::int32_t m_attachedCount = 0;
    std::int32_t m_inputCount = kInputCount;
    std::int32_t m_lastTopIndex = 0;
    std::optional<EngineeringFilter> m_filters[CockpitAxisTable::kRowCount];
    std::int32_t m_cycleCount = 0;
    std::uint8_t m_buttonStates[kCockpitButtonCount] = {};
    AxisButtons m_axisButtons;
    KQ_Remember m_gearLever;
    KQ_Remember m_parkBrake;
    KQ_Remember m_spare;
    double m_thrustLeverGates[8] = {};
    char m_slotNames[kJoystickSlots][256] = {};
    struct SlotIdentity {
        bool occupied = false;
        std::uint32_t joystickId = 0;
        char instance[256] = {};
    };
    SlotIdentity m_slotIdentities[kJoystickSlots];
    // Indexed by CockpitAxis value (0..15) and CockpitButton.
    static constexpr int kInstanceAxes = 16;
    struct ControlInstance {
        std::string wanted;
        bool missingNoted = false;
        std::int32_t missingSlot = -1; // not there in this resolution: the slot that took the control
    };
    ControlInstance m_axisInstances[kInstanceAxes];
    ControlInstance m_buttonInstances[kCockpitButtonCount];
    ControlInstance* InstanceOf(bool isButton, std::int32_t control);
    std::uint8_t m_publishFlags[4] = { 1, 1, 1, 1 };
    std::uint32_t m_slotZeroJoystickId = 0;
    char m_currentPath[1024] = {};
    ResponseCurve m_curves[CockpitAxisTable::kRowCount];
};
