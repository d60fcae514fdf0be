// CTavelinDlg: the main window's behaviour. Starts up (own view of the block,
// polling timer, readouts, configuration, joysticks), runs the polling cycle on
// every tick and serves the assignment widgets and set-up buttons. It talks to
// its window only through DialogView and tells it only what changed.
#pragma once

#include "app/InputDetector.h"
#include "app/MovementWindow.h"
#include "app/TavelinDlgIds.h"
#include "devices/JoystickSet.h"
#include "mapping/Assignments.h"
#include "mapping/CockpitAxes.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/JoystickState.h"
#include "ui/DialogView.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <string>

class KQ_P_0001_02_Shm;

class CTavelinDlg : public DialogPresenter {
public:
    static constexpr std::int32_t CycleTimerId = 32453;
    static constexpr int kCyclePeriodMs = 8;
    static constexpr double kCyclePeriod = 0.01; // what the processing is told, whatever the real interval
    static constexpr double kReadPollPeriod = 0.1; // the one poll after reading another configuration
    static constexpr int kReadoutLines = 30;
    static constexpr int kTextLength = 1024;

    CTavelinDlg();
    ~CTavelinDlg() override;

    static const DialogTemplate& Template() { return MainDialogTemplate(); }

    // Events.
    bool OnInitDialog() override;
    void OnCommand(std::int32_t id) override;
    void OnSelectionChange(std::int32_t id, int position) override;
    int OnSpinDelta(std::int32_t id, int delta) override;
    void OnTimer(std::int32_t id) override;
    void OnClose() override;
    void OnCloseRequested() override;
    bool EndsOnDialogKeys() const override { return false; }
    void OnDestroy() override;
    bool OnSystemCommand(unsigned command) override;
    void OnVisibilityChange(bool visible) override;
    // What the window shows of the cycles since the last frame; only what
    // changed is sent (the window's session paces the frames).
    void OnFrame(bool numbers) override;
    void OnOK() override;
    void OnCancel() override;

    // Start-up.
    bool StartUp();
    bool Initialise(std::string path);
    void OnJoyStick();
    void OnEnumerate();
    void SetSharedmemory();
    void ReleaseSharedmemory();
    // Each cycle: the window's own view taken up once it is attached, and
    // the processor's new notes shown.
    void FollowBlock();
    void ReleaseJoySticks();

    // The polling cycle; false when it stopped early.
    bool OnCycle();
    void ShowWarnings();

    // Readouts.
    void CreateReadouts(int slot);
    void EnableReadouts();
    // Joysticks came or went while running: names, readouts, combos and warnings follow.
    void OnSlotsChanged();
    // The system says devices came or went: the joysticks are enumerated again on the next tick.
    void OnDevicesChanged() override;

    // Assignment widgets.
    void SetUpAxisPanels(bool initial);
    // The bar at once; its texts too when `withTexts` (they are numbers, paced as such).
    void RefreshAxisPanel(std::int32_t axis, bool withTexts = true);
    void SetUpButtonRows(bool initial);
    void RefreshButtonLamps();
    void SetUpEyePointRow(bool initial);

    // Buttons.
    void OnSave();
    void OnRead1();
    void OnSetDeadBands();
    void OnThrustLeverData();
    void OnControlPanel();
    void OnAbout();

    // Whether the assignment or tuning in the block differs from the file it
    // came from (as it stood once loaded and resolved, or last saved).
    bool HasUnsavedChanges() const;

    // What the window holds, for whoever looks in.
    JoystickSet* GetJoySticks() const { return m_joySticks.get(); }
    void* GetBlock() const { return m_block; }
    bool HasSharedMemory() const { return m_shm != nullptr; }
    bool StartedOk() const { return m_startedOk; }
    bool DevicesReady() const { return m_devicesReady; }
    int GetCycleCount() const { return m_cycleCount; }
    int GetFirstButton(int slot) const { return slot >= 0 && slot < kJoystickSlots ? m_firstButton[slot] : 0; }
    bool SideStickLit() const { return m_sideStickLit; }
    bool WindowVisible() const { return m_windowVisible; }
    const std::string& GetStartFile() const { return m_startFile; }
    const std::string& GetConfigurationPath(int index) const;
    const char* GetCurrentFileText() const { return m_texts[TextCurrentFile].text; }
    const char* GetSetUpNameText() const { return m_texts[TextSetUpName].text; }
    const JoystickState& GetSlotState(int slot) const { return m_slotState[slot < 0 || slot > 3 ? 0 : slot]; }

    static const char* const AxisInputNames[kAxisInputCount];

    // The milliseconds clock of detection and highlighting; tests give their own.
    using Clock = std::int64_t (*)();
    void SetClock(Clock clock) { m_clock = clock; }
    bool Detecting() const { return m_detector.Active(); }

private:
    // A text exchanged with the screen: what the window should show and what
    // it was last sent, so that a transfer only sends the changes.
    struct ScreenText {
        std::int32_t id = 0;
        char text[kTextLength] = {};
        char sent[kTextLength] = {};
        bool everSent = false;
    };
    enum TextIndex {
        TextDeviceName0,
        TextDeviceName1,
        TextDeviceName2,
        TextDeviceName3,
        TextAxisValue0, // one per axis row
        TextAxisSensitivity0 = TextAxisValue0 + MainIds::kAxisRowCount,
        TextBanner = TextAxisSensitivity0 + MainIds::kAxisRowCount,
        TextCurrentFile,
        TextSetUpName,
        TextGearMessage,
        TextParkBrakeMessage,
        TextEyePoint,
        kTextCount
    };

    enum class ValueKind { Signed, Unsigned };
    struct ReadoutItem {
        const char* label = "";
        const char* unit = "-";
        ValueKind kind = ValueKind::Signed;
        const std::int32_t* signedValue = nullptr;
        const std::uint32_t* unsignedValue = nullptr;
        std::int32_t valueId = 0;
        char sent[16] = {};
        // The raw value behind `sent`: an unchanged value is not formatted again.
        std::uint32_t sentValue = 0;
        bool sentValid = false;
        bool created = false;
        // Highlighted while the value moves: its range (0: never) and what the window shows.
        std::int64_t range = 0;
        MovementWindow movement;
        bool highlighted = false;
    };

    struct AxisPanel {
        std::int32_t axis = 0;
        const MainIds::AxisRowIds* ids = nullptr;
        double step = 0.001;
        std::int32_t input = 0;
        std::int32_t slot = 0;
        double low = 0.0;
        double high = 0.0;
        std::size_t sensitivity = 0; // block offset of its ControlSettings value
        std::size_t output = 0; // block offset of its output
        int progressSent = INT_MIN;
        // The block values behind the row's texts: unchanged values are not formatted again.
        double outputShown = 0.0;
        double settingShown = 0.0;
        bool textsValid = false;
    };

    // A lamp and the picture it was last sent (none before the first).
    struct LampState {
        std::int32_t id = 0;
        bool everSent = false;
        LampPicture sent = LampPicture::Off;
    };
    enum LampIndex { LampSideStick = kCockpitButtonCount, LampWarningList, kLampCount };

    void RefreshReadouts();
    // What the window shows of the cycle: bars, lamps and texts, and the
    // numbers when `numbers`; only what changed is sent.
    void RefreshWindow(bool numbers);
    void MoveTextsToScreen();
    void SetText(TextIndex index, const char* text);
    void SetLamp(int lampIndex, LampPicture picture);
    void RefreshReadout(ReadoutItem& item);
    void ShowBox(const char* text, const char* caption);
    void StartJoySticks();
    void WriteDefaultConfigurationIfMissing();
    bool Closing() const { return m_closeRequested || m_endPending || m_ended; }
    // Ends the window after asking whether to save changes; false when the
    // operator chose to stay.
    bool ConfirmClose();
    void TakeSetUpSnapshot();
    void EchoNewWarnings();
    bool ProcessorReady() const;
    int RunChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter);
    AxisPanel* FindAxisPanel(std::int32_t axis);
    void ApplyAxisAssignment(AxisPanel& panel);
    void OnButtonNumberChange(std::int32_t button, int position);
    void OnButtonJoystickChange(std::int32_t button, int position);
    void DisableBlockControls();

    // Assignment by moving the control, and what moves is visible.
    void StartDetection(InputDetector::Kind kind, int row);
    void StepDetection(int count, std::int64_t now);
    void EndDetection();
    std::int32_t DetectButton() const;
    void ApplyDetected(const InputDetector::Found& found);
    void RefreshHighlight(ReadoutItem& item, std::int64_t now);
    void ShowSlotHeaders();
    bool SlotAttached(int slot) const;
    void ShowSlotNamesInCombos();
    void EndWindow(int result);

    std::unique_ptr<JoystickSet> m_joySticks;
    std::unique_ptr<KQ_P_0001_02_Shm> m_shm;
    void* m_block = nullptr;
    bool m_devicesReady = false;
    std::uint32_t m_slotChangesShown = 0;
    bool m_startedOk = false;
    int m_cycleCount = 0;
    JoystickState m_slotState[kJoystickSlots] = {};
    std::int32_t m_firstButton[kJoystickSlots] = {};
    bool m_sideStickLit = false;
    ReadoutItem m_readouts[kJoystickSlots][kReadoutLines];
    SwitchPanelState m_switchPanel = {};
    WarningList m_warningCopy = {};
    std::string m_configurationFiles[4];
    std::string m_startFile;
    ScreenText m_texts[kTextCount];
    AxisPanel m_axisPanels[MainIds::kAxisRowCount];
    LampState m_lamps[kLampCount];
    int m_modalDepth = 0; // child dialogs open right now
    bool m_endPending = false; // a way out was taken while a child dialog was open
    int m_pendingResult = kIdOk;
    bool m_ended = false;
    // Nothing is formatted or sent while nobody can see the window.
    bool m_windowVisible = true;
    bool m_sideStickPending = false;
    LampPicture m_sideStickPicture = LampPicture::Off;
    bool m_timerStarted = false;
    bool m_closeRequested = false; // from outside: the way out asks nothing
    std::string m_firstRunWarning; // for the warning list once the default set-up has loaded
    bool m_defaultSetUpInMemory = false; // the first start could not write it
    std::uint32_t m_warningChangesShown = 0;
    std::uint32_t m_warningsEchoed = 0; // serial of the newest entry told on standard error

    // What the loaded file holds, to tell whether closing loses changes.
    struct SetUpSnapshot {
        bool valid = false;
        std::int32_t records[CockpitAxisTable::kRowCount + kCockpitButtonCount][2]
            = {}; // joystick ID, input or button number
        unsigned char settings[GenericSimBlock::kControlSettingsCount * sizeof(double)] = {};
    };
    static void CaptureSetUp(const void* block, SetUpSnapshot& snapshot);
    SetUpSnapshot m_loadedSetUp;
    bool m_snapshotDue = false;

    Clock m_clock;
    InputDetector m_detector;
    int m_detectSecondsShown = -1;
    bool m_slotLostShown[kJoystickSlots] = {};
    bool m_slotHeadersShown = false;
};
