// CTavelinDlg: the main window's conductor. It starts up (own view of the
// block, polling timer, readouts, configuration, joysticks), runs the polling
// cycle on every tick, draws the window's frames, ends the window, and hands
// every event to the part of the window it belongs to: the slot readouts, the
// assignment rows, the set-up files, the indicators, the tuning dialogs and
// the network link.
// It talks to its window only through DialogView and tells it only what changed.
#pragma once

#include "app/AssignmentRows.h"
#include "app/FlightRecording.h"
#include "app/Indicators.h"
#include "app/MainWindowServices.h"
#include "app/NetworkSending.h"
#include "app/ScreenTexts.h"
#include "app/SetUpFiles.h"
#include "app/SlotReadouts.h"
#include "app/SlotStates.h"
#include "app/TavelinDlgIds.h"
#include "app/TuningDialogs.h"
#include "devices/JoystickSet.h"
#include "mapping/Assignments.h"
#include "mapping/JoystickState.h"
#include "mapping/SetUp.h"
#include "ui/DialogView.h"

#include <cstdint>
#include <memory>
#include <string>

class KQ_P_0001_02_Shm;

class CTavelinDlg : public DialogPresenter, private MainWindowServices {
public:
    static constexpr std::int32_t CycleTimerId = 32453;
    static constexpr int kCyclePeriodMs = 8;
    static constexpr double kCyclePeriod = 0.01; // what the processing is told, whatever the real interval
    static constexpr double kReadPollPeriod = 0.1; // the one poll after reading another configuration
    static constexpr int kReadoutLines = SlotReadouts::kLines;

    CTavelinDlg();
    ~CTavelinDlg() override;

    static const DialogTemplate& Template() { return MainDialogTemplate(); }

    // Before the window runs: the command line's network options and the
    // engine the link uses (null: the one this build has).
    void ConfigureNetwork(const NetworkOverrides& overrides, NetworkLink::TransportFactory factory)
    {
        m_network.Configure(overrides, std::move(factory));
    }

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
    void OnNetwork();

    // Whether the assignment or tuning in the block differs from the file it
    // came from (as it stood once loaded and resolved, or last saved).
    bool HasUnsavedChanges() const;

    // What the window holds, for whoever looks in.
    JoystickSet* GetJoySticks() const { return m_joySticks.get(); }
    void* GetBlock() const { return m_block.Block(); }
    bool HasSharedMemory() const { return m_shm != nullptr; }
    bool StartedOk() const { return m_startedOk; }
    bool DevicesReady() const { return m_devicesReady; }
    int GetCycleCount() const { return m_cycleCount; }
    int GetFirstButton(int slot) const { return slot >= 0 && slot < kJoystickSlots ? m_slots.firstButton[slot] : 0; }
    bool SideStickLit() const { return m_indicators.SideStickLit(); }
    bool WindowVisible() const { return m_windowVisible; }
    const std::string& GetStartFile() const { return m_files.StartFile(); }
    const std::string& GetConfigurationPath(int index) const { return m_files.Path(index); }
    const char* GetCurrentFileText() const { return m_files.CurrentFileText(); }
    const char* GetSetUpNameText() const { return m_files.SetUpNameText(); }
    const NetworkSending& GetNetwork() const { return m_network; }
    const FlightRecording& GetRecording() const { return m_recording; }
    const JoystickState& GetSlotState(int slot) const { return m_slots.state[slot < 0 || slot > 3 ? 0 : slot]; }

    static constexpr const char* const (&AxisInputNames)[kAxisInputCount] = AssignmentRows::AxisInputNames;

    // The milliseconds clock of detection and highlighting; tests give their own.
    using Clock = std::int64_t (*)();
    void SetClock(Clock clock) { m_clock = clock; }
    bool Detecting() const { return m_rows.Detecting(); }

private:
    // MainWindowServices, for the parts.
    int RunChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter) override;
    bool Closing() const override { return m_closeRequested || m_endPending || m_ended; }
    JoystickSet* JoySticks() const override { return m_joySticks.get(); }

    void BindParts(DialogView* view);
    void MoveTextsToScreen();
    void ShowBox(const char* text, const char* caption);
    void StartJoySticks();
    void FirstFullCycle();
    int AttachedCount() const;
    // The joystick set while its model can be asked and changed, else null.
    JoystickSet* ReadyJoySticks() const;
    // Ends the window after asking whether to save changes; false when the
    // operator chose to stay.
    bool ConfirmClose();
    void EndWindow(int result);
    void EnableBlockControls(bool enable);
    // Each cycle: the window's own view taken up once it is attached, and
    // the processor's new notes shown.
    void FollowBlock();

    enum TextIndex { TextBanner, kTextCount };

    std::unique_ptr<JoystickSet> m_joySticks;
    std::unique_ptr<KQ_P_0001_02_Shm> m_shm;
    BlockSetUp m_block; // the window's own view of the block (not attached when that failed)
    bool m_devicesReady = false;
    bool m_noJoystickNoted = false; // what to try without joysticks is listed once
    std::uint32_t m_slotChangesShown = 0;
    bool m_startedOk = false;
    int m_cycleCount = 0;
    SlotStates m_slots;
    SwitchPanelState m_switchPanel = {};
    ScreenTexts<kTextCount> m_texts;
    int m_modalDepth = 0; // child dialogs open right now
    bool m_endPending = false; // a way out was taken while a child dialog was open
    int m_pendingResult = kIdOk;
    bool m_ended = false;
    // Nothing is formatted or sent while nobody can see the window.
    bool m_windowVisible = true;
    bool m_timerStarted = false;
    bool m_closeRequested = false; // from outside: the way out asks nothing
    Clock m_clock;

    // The parts of the window, each with its own state.
    SlotReadouts m_readouts;
    AssignmentRows m_rows;
    SetUpFiles m_files;
    Indicators m_indicators;
    TuningDialogs m_tuning;
    NetworkSending m_network;
    FlightRecording m_recording;
};
