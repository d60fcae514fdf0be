#include "app/TavelinDlg.h"

#include "app/AboutDlg.h"
#include "app/MessageEcho.h"
#include "config/DefaultConfiguration.h"
#include "config/WhichConfig.h"
#include "dialogs/DeadBandDlg.h"
#include "dialogs/TlaSetUp.h"
#include "mapping/CockpitAxes.h"
#include "mapping/CockpitButtons.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "support/Paths.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <vector>

using namespace MainIds;

const char* const CTavelinDlg::AxisInputNames[kAxisInputCount] = {
    " X",
    " Y",
    " Z",
    "Rx",
    "Ry",
    "Rz",
    "SL1",
    "SL2",
    " vX",
    " vY",
    " vZ",
    "vRx",
    "vRy",
    "vRz",
    "vSL1",
    "vSL2",
    " aX",
    " aY",
    " aZ",
    "aRx",
    "aRy",
    "aRz",
    "aSL1",
    "aSL2",
};

namespace {

constexpr BarColour kProgressColour = { 204, 0, 204 };
constexpr const char* kAboutMenuText = "&About Tavelin...";

// Readout geometry, in pixels relative to the slot's group box.
constexpr int kReadoutLeft = 2;
constexpr int kReadoutTop = 2;
constexpr int kReadoutHeight = 20;
constexpr int kLabelWidth = 50;
constexpr int kValueWidth = 70;
constexpr int kIdValueWidth = 90;
constexpr int kUnitWidth = 10;
constexpr int kIdUnitWidth = 2;

constexpr const char* kReadoutLabels[CTavelinDlg::kReadoutLines] = {
    "ID",
    "X",
    "Y",
    "Z",
    "Rx",
    "Ry",
    "Rz",
    "SL1",
    "SL2",
    "POV1",
    "BTNS",
    "BTN   ",
    "vX",
    "vY",
    "vZ",
    "vRx",
    "vRy",
    "vRz",
    "vSL1",
    "vSL2",
    "POV2",
    "aX",
    "aY",
    "aZ",
    "aRx",
    "aRy",
    "aRz",
    "aSL1",
    "aSL2",
    "POV3",
};

constexpr const char* kSlotTexts[4] = { "0", "1", "2", "3" };
constexpr const char* kNumberTexts[32] = { "NA", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13",
    "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30", "31" };

std::int32_t Limit(std::int32_t value, std::int32_t low, std::int32_t high)
{
    return std::clamp(value, low, high);
}

bool IsSlot(int value)
{
    return value >= 0 && value < kJoystickSlots;
}

constexpr const char* kCloseCaption = "Tavelin";
constexpr const char* kWarningCaption = "Warning Message";

constexpr std::size_t kControlSettingsBytes = GenericSimBlock::kControlSettingsCount * sizeof(double);

std::int64_t SteadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What each readout line shows, for its tooltip.
constexpr const char* kReadoutTips[CTavelinDlg::kReadoutLines] = {
    "The joystick's ID, its vendor and product number as configuration files store it.",
    "The X axis, from -10000 to 10000.",
    "The Y axis, from -10000 to 10000.",
    "The Z axis, from -10000 to 10000.",
    "The X rotation axis, from -10000 to 10000.",
    "The Y rotation axis, from -10000 to 10000.",
    "The Z rotation axis, from -10000 to 10000.",
    "The first slider, from -10000 to 10000.",
    "The second slider, from -10000 to 10000.",
    "Hat 1's direction in degrees clockwise from forward; a large number while centred.",
    "How many buttons the joystick has.",
    "The lowest-numbered button held down, counted from 1; 0 while none is.",
    "The X axis velocity, in the driver's units.",
    "The Y axis velocity, in the driver's units.",
    "The Z axis velocity, in the driver's units.",
    "The X rotation velocity, in the driver's units.",
    "The Y rotation velocity, in the driver's units.",
    "The Z rotation velocity, in the driver's units.",
    "The first slider's velocity, in the driver's units.",
    "The second slider's velocity, in the driver's units.",
    "Hat 2's direction in degrees clockwise from forward; a large number while centred.",
    "The X axis acceleration, in the driver's units.",
    "The Y axis acceleration, in the driver's units.",
    "The Z axis acceleration, in the driver's units.",
    "The X rotation acceleration, in the driver's units.",
    "The Y rotation acceleration, in the driver's units.",
    "The Z rotation acceleration, in the driver's units.",
    "The first slider's acceleration, in the driver's units.",
    "The second slider's acceleration, in the driver's units.",
    "Hat 3's direction in degrees clockwise from forward; a large number while centred.",
};

// The range a readout line moves in, for its highlight: axes, velocities and
// accelerations in -10000..10000, hats in degrees, the first pressed button
// on every change; the ID and the button count never light up.
std::int64_t ReadoutRange(int line)
{
    if (line == 9 || line == 20 || line == 29) {
        return 360;
    }
    if (line == 0 || line == 10) {
        return 0;
    }
    if (line == 11) {
        return 1;
    }
    return 20000;
}

} // namespace

CTavelinDlg::CTavelinDlg()
    : m_clock(SteadyMilliseconds)
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        m_texts[TextDeviceName0 + slot].id = kDeviceName[slot];
    }
    for (int row = 0; row < kAxisRowCount; ++row) {
        m_texts[TextAxisValue0 + row].id = kAxisRows[row].valueText;
        m_texts[TextAxisSensitivity0 + row].id = kAxisRows[row].sensitivityText;
    }
    m_texts[TextBanner].id = kBanner;
    m_texts[TextCurrentFile].id = kCurrentFile;
    m_texts[TextSetUpName].id = kSetUpName;
    m_texts[TextGearMessage].id = kGearMessage;
    m_texts[TextParkBrakeMessage].id = kParkBrakeMessage;
    m_texts[TextEyePoint].id = kEyeText;
    static_assert(TextEyePoint + 1 == kTextCount, "every text has its control");
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        m_lamps[b].id = kButtonRows[b].lamp;
    }
    m_lamps[LampSideStick].id = kSideStickLamp;
    m_lamps[LampWarningList].id = kWarningLamp;
    for (int row = 0; row < kAxisRowCount; ++row) {
        m_axisPanels[row].axis = CockpitAxisTable::InWindowRow(row).axis;
        m_axisPanels[row].ids = &kAxisRows[row];
    }
}

CTavelinDlg::~CTavelinDlg()
{
    // A renderer that never delivered the end of the window still must not
    // leave the block's user count raised.
    ReleaseJoySticks();
    ReleaseSharedmemory();
}

const std::string& CTavelinDlg::GetConfigurationPath(int index) const
{
    return m_configurationFiles[index >= 0 && index <= 3 ? index : 0];
}

// ---------------------------------------------------------------- events

bool CTavelinDlg::OnInitDialog()
{
    // The framework's own initialisation transfers the text members first.
    MoveTextsToScreen();
    m_view->AppendSystemMenuItem(kAboutCommand, kAboutMenuText);
    m_view->SetIcon(kApplicationIcon);
    m_startedOk = StartUp();
    return true;
}

void CTavelinDlg::OnCommand(std::int32_t id)
{
    switch (id) {
    case kOk:
        OnOK();
        break;
    case kCancel:
        OnCancel();
        break;
    case kEnumerate:
        OnEnumerate();
        break;
    case kSaveAssignments:
        OnSave();
        break;
    case kControlPanel:
        OnControlPanel();
        break;
    case kSetDeadBands:
        OnSetDeadBands();
        break;
    case kReadAlternate:
        OnRead1();
        break;
    case kThrustLeverData:
        OnThrustLeverData();
        break;
    default:
        if (id >= AxisDetectId(0) && id < AxisDetectId(kAxisRowCount)) {
            StartDetection(InputDetector::Kind::Axis, id - AxisDetectId(0));
        } else if (id > ButtonDetectId(0) && id < ButtonDetectId(kCockpitButtonCount)) {
            StartDetection(InputDetector::Kind::Button, id - ButtonDetectId(0));
        } else if (id == kEyeDetect) {
            StartDetection(InputDetector::Kind::Hat, 0);
        }
        break;
    }
}

void CTavelinDlg::OnSelectionChange(std::int32_t id, int position)
{
    if (!ProcessorReady()) {
        return;
    }
    for (auto& panel : m_axisPanels) {
        if (id == panel.ids->joystickCombo) {
            if (!IsSlot(position)) {
                return;
            }
            panel.slot = position;
            ApplyAxisAssignment(panel);
            return;
        }
        if (id == panel.ids->inputCombo) {
            if (position < 0 || position >= kAxisInputCount) {
                return;
            }
            panel.input = position;
            ApplyAxisAssignment(panel);
            return;
        }
    }
    for (std::int32_t b = 1; b < kCockpitButtonCount; ++b) {
        if (id == kButtonRows[b].buttonCombo) {
            OnButtonNumberChange(b, position);
            return;
        }
        if (id == kButtonRows[b].joystickCombo) {
            OnButtonJoystickChange(b, position);
            return;
        }
    }
    if (id == kEyeJoystickCombo) {
        const int slot = Limit(position, 0, 3);
        m_joySticks->SetEyeViewJoystick(slot, static_cast<std::int32_t>(m_slotState[slot].joystickId));
    } else if (id == kEyePovCombo) {
        if (position >= 0 && position <= 3) {
            m_joySticks->SetEyeViewInput(position);
        }
    }
}

int CTavelinDlg::OnSpinDelta(std::int32_t id, int delta)
{
    if (m_block == nullptr) {
        return 0;
    }
    for (auto& panel : m_axisPanels) {
        if (id != panel.ids->spin) {
            continue;
        }
        // Up (a negative delta) raises the sensitivity: one click is a tenth of the step.
        const double setting = GenericSimBlock::LoadDouble(m_block, panel.sensitivity) - delta * panel.step * 0.1;
        GenericSimBlock::StoreDouble(m_block, panel.sensitivity, setting);
        const int row = static_cast<int>(&panel - m_axisPanels);
        char text[32];
        FormatBounded(text, sizeof text, "%6.4f", setting);
        SetText(static_cast<TextIndex>(TextAxisSensitivity0 + row), text);
        MoveTextsToScreen();
        return 0;
    }
    return 0;
}

void CTavelinDlg::OnTimer(std::int32_t /*id*/)
{
    OnCycle();
}

void CTavelinDlg::OnClose()
{
    if (m_closeRequested) {
        // A termination signal or the session ending: nobody is asked.
        EndWindow(kIdOk);
        return;
    }
    ConfirmClose();
}

void CTavelinDlg::OnCloseRequested()
{
    // The handler waiting in a child dialog right now stops when it returns;
    // the OnClose that follows ends the window.
    m_closeRequested = true;
}

void CTavelinDlg::OnDestroy()
{
    if (m_view != nullptr) {
        m_view->StopTimer(CycleTimerId);
    }
    ReleaseJoySticks();
    ReleaseSharedmemory();
}

bool CTavelinDlg::OnSystemCommand(unsigned command)
{
    if ((command & 0xFFF0u) == kAboutCommand) {
        OnAbout();
        return true;
    }
    if ((command & 0xFFF0u) == kSystemClose) {
        // Handled whole here: the framework's own close would run the close path a second time.
        OnClose();
        return true;
    }
    return false;
}

void CTavelinDlg::OnOK()
{
    ConfirmClose();
}

void CTavelinDlg::OnCancel()
{
    if (m_detector.Active()) {
        // Escape while a row waits gives up the waiting.
        EndDetection();
        return;
    }
    // Escape otherwise (and the hidden Cancel button): one key must not end publishing.
}

bool CTavelinDlg::ConfirmClose()
{
    if (m_ended) {
        return true;
    }
    // After a close request from outside nobody is asked any more.
    if (m_modalDepth == 0 && !m_closeRequested && HasUnsavedChanges()) {
        const std::string file = m_texts[TextCurrentFile].text;
        const std::string question
            = "The assignment or tuning differs from " + file + "\nSave the changes before closing?";
        MessageEcho::Print(kCloseCaption, question.c_str());
        const SaveChoice choice = m_view->AskSaveDiscardCancel(question.c_str(), kCloseCaption);
        if (m_closeRequested) {
            EndWindow(kIdOk);
            return true;
        }
        if (choice == SaveChoice::Cancel || m_joySticks == nullptr) {
            return false;
        }
        if (choice == SaveChoice::Save) {
            int index = 0;
            for (int i = 0; i < 4; ++i) {
                if (m_configurationFiles[i] == file) {
                    index = i;
                }
            }
            if (!m_joySticks->SaveConfiguration(index, m_configurationFiles[index].c_str())) {
                // Nothing was saved: the window stays, so nothing is lost.
                ShowBox(m_joySticks->GetErrorText(), "CTavelinDlg::OnSave");
                return false;
            }
        }
    }
    EndWindow(kIdOk);
    return true;
}

void CTavelinDlg::CaptureSetUp(const void* block, SetUpSnapshot& snapshot)
{
    std::size_t row = 0;
    for (const CockpitAxisRow& axisRow : CockpitAxisTable::kRows) {
        const std::size_t record = axisRow.record;
        snapshot.records[row][0] = GenericSimBlock::LoadInt32(block, record + GenericSimBlock::kRecordJoystickId);
        snapshot.records[row][1] = GenericSimBlock::LoadInt32(block, record + GenericSimBlock::kRecordInput);
        ++row;
    }
    for (std::size_t button = 0; button < static_cast<std::size_t>(kCockpitButtonCount); ++button) {
        const std::size_t record = GenericSimBlock::ButtonRecord(button);
        snapshot.records[row][0] = GenericSimBlock::LoadInt32(block, record + GenericSimBlock::kRecordJoystickId);
        snapshot.records[row][1] = GenericSimBlock::LoadInt32(block, record + GenericSimBlock::kRecordInput);
        ++row;
    }
    std::memcpy(snapshot.settings, static_cast<const unsigned char*>(block) + GenericSimBlock::kControlSettings,
        sizeof snapshot.settings);
    snapshot.valid = true;
}

void CTavelinDlg::TakeSetUpSnapshot()
{
    if (m_joySticks != nullptr && m_joySticks->GetBlock() != nullptr) {
        CaptureSetUp(m_joySticks->GetBlock(), m_loadedSetUp);
        m_snapshotDue = false;
    }
}

bool CTavelinDlg::HasUnsavedChanges() const
{
    if (!m_loadedSetUp.valid || m_joySticks == nullptr || m_joySticks->GetBlock() == nullptr) {
        return false;
    }
    SetUpSnapshot now;
    CaptureSetUp(m_joySticks->GetBlock(), now);
    return std::memcmp(now.records, m_loadedSetUp.records, sizeof now.records) != 0
        || std::memcmp(now.settings, m_loadedSetUp.settings, sizeof now.settings) != 0;
}

void CTavelinDlg::EndWindow(int result)
{
    if (m_ended) {
        return;
    }
    if (m_modalDepth > 0) {
        // A child dialog still uses the joystick set; finish once it has closed.
        m_endPending = true;
        m_pendingResult = result;
        return;
    }
    m_ended = true;
    ReleaseJoySticks();
    EndDialog(result);
}

// ---------------------------------------------------------------- start-up

bool CTavelinDlg::StartUp()
{
    m_view->SetTitle("Version 1.6");
    m_joySticks.reset();
    for (int i = 0; i < 4; ++i) {
        m_configurationFiles[i] = Paths::ConfigurationFile(i);
    }
    m_devicesReady = false;
    std::memset(static_cast<void*>(m_slotState), 0, sizeof m_slotState);

    SetSharedmemory();
    if (m_block == nullptr) {
        DisableBlockControls();
    }

    if (!m_view->StartTimer(CycleTimerId, kCyclePeriodMs)) {
        return false;
    }
    m_timerStarted = true;

    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        CreateReadouts(slot);
    }

    int index = 0;
    if (m_block != nullptr) {
        index = GenericSimBlock::LoadInt32(m_block, GenericSimBlock::kConfigurationIndex);
    }
    m_startFile = m_configurationFiles[index >= 1 && index <= 3 ? index : 0];

    WriteDefaultConfigurationIfMissing();
    // A failed load leaves a window that can still read another configuration.
    const bool loaded = Initialise(m_startFile);
    if (loaded && !m_firstRunWarning.empty()) {
        m_joySticks->AddNote(m_firstRunWarning.c_str());
    }

    m_cycleCount = 0;
    m_sideStickLit = false;

    const char* banner = GenericSimBlock::kInterfaceBanner;
    const char* tag = std::strstr(banner, GenericSimBlock::kVersionTag);
    SetText(
        TextBanner, tag != nullptr ? tag + std::strlen(GenericSimBlock::kVersionTag) : GenericSimBlock::kVersionTag);

    MoveTextsToScreen();

    // Shown by the first cycle's transfer.
    SetText(TextCurrentFile, m_startFile.c_str());
    char name[GenericSimBlock::kConfigurationNameLength + 1] = {};
    if (m_block != nullptr) {
        GenericSimBlock::LoadText(
            m_block, GenericSimBlock::kConfigurationName, GenericSimBlock::kConfigurationNameLength, name, sizeof name);
    }
    SetText(TextSetUpName, name);

    m_view->ListInsertColumn(kWarningList, 0, "Item", 5);
    m_view->ListInsertColumn(kWarningList, 1, "Warning Message", 500);
    m_view->ListDeleteAllItems(kWarningList);
    if (!loaded) {
        // No cycle will show them: the operator needs to see which file failed.
        MoveTextsToScreen();
    }
    return loaded;
}

void CTavelinDlg::WriteDefaultConfigurationIfMissing()
{
    // A first start: without a set-up the window would have nothing to publish.
    const std::string& file = m_configurationFiles[0];
    // Anything of that name, even a link to nothing, is the operator's: never written over.
    std::error_code error;
    const auto status = std::filesystem::symlink_status(std::filesystem::path(file), error);
    if (std::filesystem::exists(status) || (error && error != std::errc::no_such_file_or_directory)) {
        return;
    }
    KQ_ErrorReport report;
    if (!DefaultConfiguration::Write(file.c_str(), report)) {
        // Published all the same, from memory; a later save writes it once the folder allows.
        m_defaultSetUpInMemory = m_startFile == file;
        // The reason alone: the text's first line names the operation, its last the file.
        std::string reason = report.GetErrorText();
        const std::size_t firstLine = reason.find('\n');
        if (firstLine != std::string::npos) {
            reason.erase(0, firstLine + 1);
        }
        reason.erase(std::min(reason.find('\n'), reason.size()));
        m_firstRunWarning = "No Joystick.ini was found, and the default set-up could not be saved to " + file + " ("
            + reason + "): it is used from memory until Save Assignments can write it";
        return;
    }
    m_firstRunWarning = "No Joystick.ini was found: the default set-up was written to " + file;
}

bool CTavelinDlg::Initialise(std::string path)
{
    if (m_joySticks == nullptr) {
        m_joySticks = std::make_unique<JoystickSet>();
    }
    if (m_joySticks == nullptr) {
        return false;
    }
    if (!m_joySticks->InitialiseAtStartUp(path.c_str(), m_defaultSetUpInMemory && path == m_configurationFiles[0])) {
        ShowBox(m_joySticks->GetLastErrorText(), "CTavelinDlg::Initialise");
        return false;
    }
    StartJoySticks();
    return true;
}

void CTavelinDlg::StartJoySticks()
{
    m_joySticks->SetSwitchPanel(&m_switchPanel);
    OnJoyStick();
    m_view->EnableControl(kEnumerate, false);
    m_view->EnableControl(kSaveAssignments, true);
    m_joySticks->PublishSlotNames();
    // Compared once the first cycle has matched the file's joystick IDs.
    m_loadedSetUp.valid = false;
    m_snapshotDue = true;
}

void CTavelinDlg::OnJoyStick()
{
    if (m_joySticks == nullptr) {
        return;
    }
    if (!m_joySticks->CreateDevices(m_view->NativeWindow(), m_view->ProgramInstance())) {
        ShowBox(m_joySticks->GetLastErrorText(), "CTavelinDlg::OnJoyStick");
    }
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        SetText(static_cast<TextIndex>(TextDeviceName0 + slot), m_joySticks->GetDeviceName(slot));
    }
    MoveTextsToScreen();
    m_slotChangesShown = m_joySticks->GetSlotChangeCount();
    m_slotHeadersShown = false;
    m_devicesReady = true;
}

void CTavelinDlg::OnDevicesChanged()
{
    if (m_joySticks != nullptr) {
        m_joySticks->OnDevicesChanged();
    }
}

void CTavelinDlg::OnSlotsChanged()
{
    m_slotChangesShown = m_joySticks->GetSlotChangeCount();
    // A joystick that came, went or came back is shown by this very cycle,
    // not whenever the numbers' turn comes.
    m_view->RequestFullFrame();
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        char name[300];
        FormatBounded(
            name, sizeof name, m_joySticks->IsSlotLost(slot) ? "%s (lost)" : "%s", m_joySticks->GetDeviceName(slot));
        SetText(static_cast<TextIndex>(TextDeviceName0 + slot), name);
    }
    m_slotHeadersShown = false;
    if (m_cycleCount > 0) {
        ShowSlotNamesInCombos();
        EnableReadouts();
        SetUpAxisPanels(false);
        SetUpButtonRows(false);
        SetUpEyePointRow(false);
        m_view->ListDeleteAllItems(kWarningList);
        ShowWarnings();
    }
    MoveTextsToScreen();
}

void CTavelinDlg::OnEnumerate()
{
    OnJoyStick();
    m_view->EnableControl(kEnumerate, false);
    m_view->EnableControl(kSaveAssignments, true);
}

void CTavelinDlg::SetSharedmemory()
{
    m_shm = std::make_unique<KQ_P_0001_02_Shm>();
    if (!m_shm->IsReady()) {
        m_block = nullptr;
        ShowBox(m_shm->GetErrorText(), "CTavelinDlg::SetSharedmemory");
    } else {
        m_block = m_shm->GetBlock();
    }
}

void CTavelinDlg::FollowBlock()
{
    // The processor's attachment brings the window's own view along when it
    // attaches again (or for the first time, after start-up).
    if (m_block == nullptr && m_shm->IsReady()) {
        m_block = m_shm->GetBlock();
        m_view->EnableControl(kSetDeadBands, true);
        m_view->EnableControl(kThrustLeverData, true);
        for (const auto& row : kAxisRows) {
            m_view->EnableControl(row.spin, true);
        }
        char name[GenericSimBlock::kConfigurationNameLength + 1] = {};
        GenericSimBlock::LoadText(
            m_block, GenericSimBlock::kConfigurationName, GenericSimBlock::kConfigurationNameLength, name, sizeof name);
        SetText(TextSetUpName, name);
    }
    // What the processor noted since (the block's own events among them) is shown at once.
    if (m_cycleCount >= 1 && m_joySticks->GetWarningChangeCount() != m_warningChangesShown) {
        m_view->ListDeleteAllItems(kWarningList);
        ShowWarnings();
    }
}

void CTavelinDlg::ReleaseSharedmemory()
{
    m_block = nullptr;
    m_shm.reset();
}

void CTavelinDlg::ReleaseJoySticks()
{
    m_joySticks.reset();
}

void CTavelinDlg::DisableBlockControls()
{
    // Without the window's own view these would read or store through nothing.
    m_view->EnableControl(kSetDeadBands, false);
    m_view->EnableControl(kThrustLeverData, false);
    for (const auto& row : kAxisRows) {
        m_view->EnableControl(row.spin, false);
    }
}

// ---------------------------------------------------------------- polling cycle

bool CTavelinDlg::OnCycle()
{
    if (!m_devicesReady || !m_startedOk || m_joySticks == nullptr || m_view == nullptr) {
        return false;
    }

    int n = Limit(m_joySticks->GetJoystickCount(), 0, kJoystickSlots);

    if (m_cycleCount < 1) {
        EnableReadouts();
    }

    m_joySticks->PollAll(kCyclePeriod);
    if (m_joySticks->GetSlotChangeCount() != m_slotChangesShown) {
        OnSlotsChanged();
        n = Limit(m_joySticks->GetJoystickCount(), 0, kJoystickSlots);
    }
    if (m_snapshotDue) {
        TakeSetUpSnapshot();
    }
    for (int slot = 0; slot < n; ++slot) {
        m_joySticks->GetSlotState(slot, m_slotState[slot]);
    }

    for (auto& first : m_firstButton) {
        first = 0;
    }
    for (int slot = 0; slot < n; ++slot) {
        const int count = Limit(m_slotState[slot].buttonCount, 0, 32);
        for (int i = count - 1; i >= 0; --i) {
            if (m_slotState[slot].buttons[i] != 0) {
                m_firstButton[slot] = i + 1;
            }
        }
    }

    StepDetection(n, m_clock());
    ShowSlotHeaders();

    if (m_shm == nullptr) {
        return false;
    }
    FollowBlock();

    ++m_cycleCount;
    if (m_cycleCount == 1) {
        SetUpAxisPanels(true);
        SetUpButtonRows(true);
        SetUpEyePointRow(true);
        ShowSlotNamesInCombos();
        ShowWarnings();
    }

    // What lasts one cycle only is taken every cycle, shown or not.
    if (m_block != nullptr) {
        const NeutralIndicatorDisplay neutral = ControlProcessor::ShowNeutralIndicator(m_block, m_sideStickLit);
        if (neutral.changeLamp) {
            m_sideStickPending = true;
            m_sideStickPicture = neutral.lamp;
        }
        const GearAndParkBrakeDisplay gear = ControlProcessor::ShowGearAndParkBrake(m_block, m_switchPanel);
        if (gear.gearMessage != nullptr) {
            SetText(TextGearMessage, gear.gearMessage);
        }
        if (gear.parkBrakeMessage != nullptr) {
            SetText(TextParkBrakeMessage, gear.parkBrakeMessage);
        }
    }

    return true;
}

void CTavelinDlg::OnFrame(bool numbers)
{
    if (!m_devicesReady || !m_startedOk || m_joySticks == nullptr || m_view == nullptr || m_ended) {
        return;
    }
    if (m_shm == nullptr) {
        // Without the window's own view there are only the readouts to show.
        if (numbers) {
            RefreshReadouts();
        }
        return;
    }
    if (m_cycleCount >= 1) {
        RefreshWindow(numbers);
    }
}

void CTavelinDlg::OnVisibilityChange(bool visible)
{
    m_windowVisible = visible;
}

void CTavelinDlg::RefreshReadouts()
{
    // The highlight follows the numbers' pace: 50 ms steps are as fine as
    // its half second needs.
    const std::int64_t now = m_clock();
    const int n = Limit(m_joySticks->GetJoystickCount(), 0, kJoystickSlots);
    for (int slot = 0; slot < n; ++slot) {
        for (auto& item : m_readouts[slot]) {
            RefreshReadout(item);
            RefreshHighlight(item, now);
        }
    }
}

void CTavelinDlg::RefreshWindow(bool numbers)
{
    if (numbers) {
        RefreshReadouts();
    }
    if (m_block != nullptr) {
        if (m_sideStickPending) {
            m_sideStickPending = false;
            SetLamp(LampSideStick, m_sideStickPicture);
        }
        for (const auto& panel : m_axisPanels) {
            RefreshAxisPanel(panel.axis, numbers);
        }
    }
    RefreshButtonLamps();
    if (m_block != nullptr) {
        const GearAndParkBrakeDisplay gear = ControlProcessor::ShowGearAndParkBrake(m_block, m_switchPanel);
        SetLamp(ButtonGearLvr, gear.gearLamp);
        SetLamp(ButtonParkBrk, gear.parkBrakeLamp);
    }
    SetText(TextEyePoint, ControlProcessor::ShowEyeView(m_switchPanel));

    MoveTextsToScreen();
}

void CTavelinDlg::ShowWarnings()
{
    if (m_joySticks == nullptr) {
        return;
    }
    m_joySticks->GetWarnings(m_warningCopy);
    m_warningChangesShown = m_joySticks->GetWarningChangeCount();
    if (m_warningCopy.count > 0 || m_joySticks->WarningsNotShown() > 0) {
        const int count = Limit(m_warningCopy.count, 0, ControlProcessor::kMaxWarnings);
        for (int i = 0; i < count; ++i) {
            char message[ControlProcessor::kWarningLength];
            CopyBounded(message, m_warningCopy.messages[i], sizeof message);
            m_view->ListInsertItem(kWarningList, i, " ", true);
            m_view->ListSetItemText(kWarningList, i, 1, message);
            m_view->ListEnsureVisible(kWarningList, i);
        }
        const std::int32_t notShown = m_joySticks->WarningsNotShown();
        if (notShown > 0) {
            char message[ControlProcessor::kWarningLength];
            FormatBounded(message, sizeof message,
                notShown == 1 ? "%d more warning was not shown" : "%d more warnings were not shown",
                static_cast<int>(notShown));
            m_view->ListInsertItem(kWarningList, count, " ", true);
            m_view->ListSetItemText(kWarningList, count, 1, message);
        }
        SetLamp(LampWarningList, LampPicture::Warning);
        EchoNewWarnings();
    } else {
        m_view->ListDeleteAllItems(kWarningList);
        SetLamp(LampWarningList, LampPicture::On);
    }
    MoveTextsToScreen();
}

void CTavelinDlg::EchoNewWarnings()
{
    // Each entry is told once, however often the list is shown again.
    const int count = Limit(m_warningCopy.count, 0, ControlProcessor::kMaxWarnings);
    std::uint32_t newest = m_warningsEchoed;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t serial = m_joySticks->GetWarningSerial(i);
        if (serial <= m_warningsEchoed) {
            continue;
        }
        char message[ControlProcessor::kWarningLength];
        CopyBounded(message, m_warningCopy.messages[i], sizeof message);
        MessageEcho::Print(kWarningCaption, message);
        newest = std::max(newest, serial);
    }
    m_warningsEchoed = newest;
}

// ---------------------------------------------------------------- readouts

void CTavelinDlg::CreateReadouts(int slot)
{
    if (!IsSlot(slot)) {
        return;
    }
    JoystickState& state = m_slotState[slot];
    for (int line = 0; line < kReadoutLines; ++line) {
        ReadoutItem& item = m_readouts[slot][line];
        item.label = kReadoutLabels[line];
        item.unit = "-";
        item.kind = ValueKind::Signed;
        item.signedValue = nullptr;
        item.unsignedValue = nullptr;
        if (line == 0) {
            item.kind = ValueKind::Unsigned;
            item.unsignedValue = &state.joystickId;
        } else if (line <= 8) {
            item.signedValue = &state.axes[line - 1];
        } else if (line == 9) {
            item.unsignedValue = &state.pov[0];
        } else if (line == 10) {
            item.signedValue = &state.buttonCount;
        } else if (line == 11) {
            item.signedValue = &m_firstButton[slot];
        } else if (line <= 19) {
            item.signedValue = &state.velocities[line - 12];
        } else if (line == 20) {
            item.unsignedValue = &state.pov[1];
        } else if (line <= 28) {
            item.signedValue = &state.accelerations[line - 21];
        } else {
            item.unsignedValue = &state.pov[2];
        }

        const int top = kReadoutTop + kReadoutHeight * line;
        const int valueWidth = line == 0 ? kIdValueWidth : kValueWidth;
        const int unitWidth = line == 0 ? kIdUnitWidth : kUnitWidth;
        const std::int32_t group = kSlotGroup[slot];
        item.valueId = ReadoutValueId(slot, line);
        const char* tip = kReadoutTips[line];
        m_view->CreateControl({ ReadoutLabelId(slot, line), ControlKind::Static, item.label, group,
            { kReadoutLeft, top, kLabelWidth, kReadoutHeight }, FlagNone, tip });
        m_view->CreateControl({ item.valueId, ControlKind::Edit, "----", group,
            { kReadoutLeft + kLabelWidth + 2, top, valueWidth, kReadoutHeight }, FlagSunken | FlagDisabled, tip });
        m_view->CreateControl({ ReadoutUnitId(slot, line), ControlKind::Static, item.unit, group,
            { kReadoutLeft + kLabelWidth + valueWidth + 4, top, unitWidth, kReadoutHeight }, FlagNone, tip });
        CopyBounded(item.sent, "----", sizeof item.sent);
        item.sentValid = false;
        item.range = ReadoutRange(line);
        item.movement.Reset();
        item.highlighted = false;
        item.created = true;
    }
}

void CTavelinDlg::EnableReadouts()
{
    const int n = m_joySticks != nullptr ? Limit(m_joySticks->GetJoystickCount(), 0, kJoystickSlots) : 0;
    for (auto& slotItems : m_readouts) {
        for (auto& item : slotItems) {
            if (item.created) {
                m_view->EnableControl(item.valueId, false);
            }
        }
    }
    for (int slot = 0; slot < n; ++slot) {
        for (auto& item : m_readouts[slot]) {
            if (item.created) {
                m_view->EnableControl(item.valueId, true);
            }
        }
    }
}

void CTavelinDlg::RefreshReadout(ReadoutItem& item)
{
    if (!item.created) {
        return;
    }
    if (item.signedValue == nullptr && item.unsignedValue == nullptr) {
        m_view->EnableControl(item.valueId, false);
        return;
    }
    const std::uint32_t raw
        = item.unsignedValue != nullptr ? *item.unsignedValue : static_cast<std::uint32_t>(*item.signedValue);
    if (item.sentValid && raw == item.sentValue) {
        return; // 120 items a tick: formatting a value that did not move is the costly part
    }
    char text[sizeof item.sent];
    if (item.kind == ValueKind::Unsigned) {
        FormatBounded(text, sizeof text, "%lu", static_cast<unsigned long>(raw));
    } else {
        FormatBounded(text, sizeof text, "%d", static_cast<int>(static_cast<std::int32_t>(raw)));
    }
    item.sentValue = raw;
    item.sentValid = true;
    if (std::strcmp(text, item.sent) != 0) {
        CopyBounded(item.sent, text, sizeof item.sent);
        m_view->SetControlText(item.valueId, text);
    }
}

// ---------------------------------------------------------------- assignment widgets

CTavelinDlg::AxisPanel* CTavelinDlg::FindAxisPanel(std::int32_t axis)
{
    for (auto& panel : m_axisPanels) {
        if (panel.axis == axis) {
            return &panel;
        }
    }
    return nullptr;
}

void CTavelinDlg::SetUpAxisPanels(bool initial)
{
    for (int row = 0; row < kAxisRowCount; ++row) {
        AxisPanel& panel = m_axisPanels[row];
        const CockpitAxisRow& axis = CockpitAxisTable::InWindowRow(row);
        panel.step = 0.001;
        panel.low = axis.barLow;
        panel.high = axis.barHigh;
        panel.sensitivity = axis.first;
        panel.output = axis.output;
        if (ProcessorReady()) {
            panel.input = m_joySticks->GetAxisInput(panel.axis);
            panel.slot = m_joySticks->GetAxisSlot(panel.axis);
        }

        m_view->SetProgressBarColour(panel.ids->progress, kProgressColour);

        if (initial) {
            for (int i = 0; i < kAxisInputCount; ++i) {
                m_view->ComboInsertString(panel.ids->inputCombo, i, AxisInputNames[i]);
            }
        }
        m_view->ComboSetEditText(panel.ids->inputCombo, AxisInputNames[Limit(panel.input, 0, kAxisInputCount - 1)]);

        if (initial) {
            for (int i = 0; i < 4; ++i) {
                m_view->ComboInsertString(panel.ids->joystickCombo, i, kSlotTexts[i]);
            }
        }
        m_view->ComboSetEditText(panel.ids->joystickCombo, IsSlot(panel.slot) ? kSlotTexts[panel.slot] : "?");
    }
}

void CTavelinDlg::RefreshAxisPanel(std::int32_t axis, bool withTexts)
{
    AxisPanel* panel = FindAxisPanel(axis);
    if (panel == nullptr || m_block == nullptr) {
        return;
    }
    const double output = GenericSimBlock::LoadDouble(m_block, panel->output);
    const double setting = GenericSimBlock::LoadDouble(m_block, panel->sensitivity);

    // The block is shared: whatever another program wrote must not make the
    // conversion undefined. The bar shows 0..100 in any case.
    double position = (output - panel->low) / (panel->high - panel->low) * 100.0;
    if (std::isnan(position)) {
        position = 0.0;
    }
    const int progress = static_cast<int>(std::clamp(position, 0.0, 100.0));
    if (progress != panel->progressSent) {
        panel->progressSent = progress;
        m_view->SetProgressPosition(panel->ids->progress, progress);
    }
    if (!withTexts) {
        return;
    }

    // Bit-wise comparison: a NaN written by another program is still "unchanged".
    if (!panel->textsValid || std::memcmp(&output, &panel->outputShown, sizeof output) != 0
        || std::memcmp(&setting, &panel->settingShown, sizeof setting) != 0) {
        const int row = static_cast<int>(panel - m_axisPanels);
        char text[64];
        FormatBounded(text, sizeof text, "%7.3f Deg", output);
        SetText(static_cast<TextIndex>(TextAxisValue0 + row), text);
        FormatBounded(text, sizeof text, "%6.4f", setting);
        SetText(static_cast<TextIndex>(TextAxisSensitivity0 + row), text);
        panel->outputShown = output;
        panel->settingShown = setting;
        panel->textsValid = true;
    }
    MoveTextsToScreen();
}

void CTavelinDlg::ApplyAxisAssignment(AxisPanel& panel)
{
    // The row's other half came from the block, which anyone may have written:
    // a slot or input out of range falls back to the first.
    if (!IsSlot(panel.slot)) {
        panel.slot = 0;
        m_view->ComboSetEditText(panel.ids->joystickCombo, kSlotTexts[0]);
    }
    if (panel.input < 0 || panel.input >= kAxisInputCount) {
        panel.input = 0;
        m_view->ComboSetEditText(panel.ids->inputCombo, AxisInputNames[0]);
    }
    const std::int32_t joystickId = static_cast<std::int32_t>(m_slotState[panel.slot].joystickId);
    m_joySticks->SetAxisAssignment(panel.axis, panel.slot, joystickId, panel.input);
    MoveTextsToScreen();
}

void CTavelinDlg::SetUpButtonRows(bool initial)
{
    if (initial) {
        SetLamp(ButtonApDisc, LampPicture::Off);
        SetLamp(ButtonAtDisc, LampPicture::Off);
    }
    for (std::int32_t b : CockpitButtonTable::kWindowOrder) {
        const ButtonRowIds& row = kButtonRows[b];
        if (initial) {
            for (int i = 0; i < 32; ++i) {
                m_view->ComboInsertString(row.buttonCombo, i, kNumberTexts[i]);
            }
        }
        if (ProcessorReady()) {
            const std::int32_t number = Limit(m_joySticks->GetButtonNumber(b), -2, 31);
            m_view->ComboSetEditText(row.buttonCombo, kNumberTexts[number > 0 ? number : 0]);
        }
        if (initial) {
            for (int i = 0; i < 4; ++i) {
                m_view->ComboInsertString(row.joystickCombo, i, kSlotTexts[i]);
            }
        }
        if (ProcessorReady()) {
            m_view->ComboSetEditText(row.joystickCombo, kSlotTexts[Limit(m_joySticks->GetButtonSlot(b), 0, 3)]);
        }
    }
}

void CTavelinDlg::RefreshButtonLamps()
{
    const std::uint8_t switches[kCockpitButtonCount] = {
        0,
        0,
        0,
        0,
        0,
        m_switchPanel.reverseL,
        m_switchPanel.reverseR,
        m_switchPanel.flapIn,
        m_switchPanel.flapOut,
        m_switchPanel.spdBrkIn,
        m_switchPanel.spdBrkOut,
        0,
        m_switchPanel.stabAnu,
        m_switchPanel.stabAnd,
        m_switchPanel.fdL,
        m_switchPanel.fdR,
        0,
    };
    for (std::int32_t b = 1; b <= 15; ++b) {
        if (b == ButtonGearLvr) {
            continue;
        }
        std::uint8_t source = switches[b];
        if (b <= ButtonBrakeR) {
            if (m_block == nullptr) {
                continue;
            }
            const std::size_t offsets[5] = { 0, GenericSimBlock::kApDiscPressed, GenericSimBlock::kAtDiscPressed,
                GenericSimBlock::kBrakeLPressed, GenericSimBlock::kBrakeRPressed };
            source = GenericSimBlock::LoadByte(m_block, offsets[b]);
        }
        SetLamp(b, source != 0 ? LampPicture::On : LampPicture::Off);
    }
}

void CTavelinDlg::OnButtonNumberChange(std::int32_t button, int position)
{
    const std::int32_t slot = m_joySticks->GetButtonSlot(button);
    const std::int32_t count = IsSlot(slot) ? Limit(m_joySticks->GetButtonCount(slot), 0, 31) : 0;
    const std::int32_t number = Limit(position, 0, count);
    m_joySticks->SetButtonNumber(button, number);
    m_view->ComboSetSelection(kButtonRows[button].buttonCombo, number);
    MoveTextsToScreen();
}

void CTavelinDlg::OnButtonJoystickChange(std::int32_t button, int position)
{
    if (!IsSlot(position)) {
        return;
    }
    m_joySticks->SetButtonJoystick(button, position, static_cast<std::int32_t>(m_slotState[position].joystickId));
    // The row's number is limited again to the new joystick's buttons. The
    // model's number is what the Button combo shows.
    OnButtonNumberChange(button, m_joySticks->GetButtonNumber(button));
    MoveTextsToScreen();
}

void CTavelinDlg::SetUpEyePointRow(bool initial)
{
    if (initial) {
        for (int i = 0; i < 4; ++i) {
            m_view->ComboInsertString(kEyePovCombo, i, kNumberTexts[i]);
        }
    }
    if (ProcessorReady()) {
        const std::int32_t pov = Limit(m_joySticks->GetEyeViewInput(), -2, 3);
        m_view->ComboSetEditText(kEyePovCombo, kNumberTexts[pov > 0 ? pov : 0]);
    }
    if (initial) {
        for (int i = 0; i < 4; ++i) {
            m_view->ComboInsertString(kEyeJoystickCombo, i, kSlotTexts[i]);
        }
    }
    if (ProcessorReady()) {
        m_view->ComboSetEditText(kEyeJoystickCombo, kSlotTexts[Limit(m_joySticks->GetEyeViewSlot(), 0, 3)]);
    }
}

// ---------------------------------------------------------------- what moves

void CTavelinDlg::RefreshHighlight(ReadoutItem& item, std::int64_t now)
{
    if (!item.created || item.range <= 0 || (item.signedValue == nullptr && item.unsignedValue == nullptr)) {
        return;
    }
    const std::int64_t value = item.unsignedValue != nullptr ? static_cast<std::int64_t>(*item.unsignedValue)
                                                             : static_cast<std::int64_t>(*item.signedValue);
    const bool moving = item.movement.Feed(value, now, item.range);
    if (moving != item.highlighted) {
        item.highlighted = moving;
        m_view->SetControlHighlight(item.valueId, moving);
    }
}

void CTavelinDlg::ShowSlotHeaders()
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        const bool lost = m_joySticks->IsSlotLost(slot);
        if (m_slotHeadersShown && lost == m_slotLostShown[slot]) {
            continue;
        }
        char header[96];
        if (!SlotAttached(slot)) {
            FormatBounded(header, sizeof header, "JoyStick %d", slot);
        } else {
            FormatBounded(header, sizeof header, lost ? "JoyStick %d: %s (lost)" : "JoyStick %d: %s", slot,
                m_joySticks->GetDeviceName(slot));
        }
        m_view->SetControlText(kSlotGroup[slot], header);
        if (lost != m_slotLostShown[slot] || !m_slotHeadersShown) {
            m_view->SetControlHighlight(kSlotGroup[slot], lost);
        }
        m_slotLostShown[slot] = lost;
    }
    m_slotHeadersShown = true;
}

bool CTavelinDlg::SlotAttached(int slot) const
{
    JoystickState state;
    return m_joySticks != nullptr && m_joySticks->GetSlotState(slot, state);
}

void CTavelinDlg::ShowSlotNamesInCombos()
{
    if (m_joySticks == nullptr) {
        return;
    }
    auto name
        = [&](int slot) { return SlotAttached(slot) ? m_joySticks->GetDeviceName(slot) : "No Joy Stick Attached"; };
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        for (const auto& row : kAxisRows) {
            m_view->ComboSetItemToolTip(row.joystickCombo, slot, name(slot));
        }
        for (std::int32_t b = 1; b < kCockpitButtonCount; ++b) {
            m_view->ComboSetItemToolTip(kButtonRows[b].joystickCombo, slot, name(slot));
        }
        m_view->ComboSetItemToolTip(kEyeJoystickCombo, slot, name(slot));
    }
}

std::int32_t CTavelinDlg::DetectButton() const
{
    switch (m_detector.GetKind()) {
    case InputDetector::Kind::Axis:
        return AxisDetectId(m_detector.Row());
    case InputDetector::Kind::Button:
        return ButtonDetectId(m_detector.Row());
    case InputDetector::Kind::Hat:
        break;
    }
    return kEyeDetect;
}

void CTavelinDlg::StartDetection(InputDetector::Kind kind, int row)
{
    if (!ProcessorReady() || m_view == nullptr) {
        return;
    }
    if (m_detector.Active()) {
        EndDetection();
    }
    const int count = Limit(m_joySticks->GetJoystickCount(), 0, kJoystickSlots);
    const std::int64_t now = m_clock();
    m_detector.Start(kind, row, m_slotState, count, now);
    m_detectSecondsShown = -1;
    StepDetection(count, now);
}

// While a row waits its button counts down the seconds left; the text
// changes once a second, so the waiting costs the window nothing more.
void CTavelinDlg::StepDetection(int count, std::int64_t now)
{
    if (!m_detector.Active()) {
        return;
    }
    InputDetector::Found found;
    switch (m_detector.Update(m_slotState, count, now, found)) {
    case InputDetector::Step::Waiting: {
        const int seconds = m_detector.SecondsLeft(now);
        if (seconds != m_detectSecondsShown && m_windowVisible) {
            m_detectSecondsShown = seconds;
            char text[16];
            FormatBounded(text, sizeof text, "%d s", seconds);
            m_view->SetControlText(DetectButton(), text);
        }
        break;
    }
    case InputDetector::Step::Found:
        EndDetection();
        ApplyDetected(found);
        break;
    case InputDetector::Step::TimedOut:
    case InputDetector::Step::Idle:
        EndDetection();
        break;
    }
}

void CTavelinDlg::EndDetection()
{
    m_detector.Cancel();
    m_detectSecondsShown = -1;
    if (m_view != nullptr) {
        m_view->SetControlText(DetectButton(), kDetectText);
    }
}

// As if the operator had chosen the slot and then the input in the row's
// combos: the combos show it and the same handlers write the block.
void CTavelinDlg::ApplyDetected(const InputDetector::Found& found)
{
    std::int32_t joystickCombo = kEyeJoystickCombo;
    std::int32_t inputCombo = kEyePovCombo;
    switch (m_detector.GetKind()) {
    case InputDetector::Kind::Axis:
        joystickCombo = kAxisRows[m_detector.Row()].joystickCombo;
        inputCombo = kAxisRows[m_detector.Row()].inputCombo;
        break;
    case InputDetector::Kind::Button:
        joystickCombo = kButtonRows[m_detector.Row()].joystickCombo;
        inputCombo = kButtonRows[m_detector.Row()].buttonCombo;
        break;
    case InputDetector::Kind::Hat:
        break;
    }
    m_view->ComboSetSelection(joystickCombo, found.slot);
    OnSelectionChange(joystickCombo, found.slot);
    m_view->ComboSetSelection(inputCombo, found.input);
    OnSelectionChange(inputCombo, found.input);
}

// ---------------------------------------------------------------- buttons

void CTavelinDlg::OnSave()
{
    if (m_joySticks == nullptr) {
        return;
    }
    ConfigChoiceRequest request;
    request.chosenIndex = 0;
    CopyBounded(request.currentPath, m_texts[TextCurrentFile].text, sizeof request.currentPath);
    request.reading = 0;
    request.warnings = m_joySticks->HasWarnings() ? 1 : 0;
    CopyBounded(request.slotZeroText, m_joySticks->GetDeviceName(0), sizeof request.slotZeroText);
    request.showSlotZero = 1;

    CWhichConfigDlg choice;
    choice.SetRequest(&request);
    const int result = RunChild(CWhichConfigDlg::Template(), choice);

    // After Cancel nothing is saved, so the window must not claim another file.
    if (result != kIdOk || m_joySticks == nullptr || Closing()) {
        return;
    }
    const int index = request.chosenIndex >= 0 && request.chosenIndex <= 3 ? request.chosenIndex : 0;
    const std::string& file = m_configurationFiles[index];
    if (!m_joySticks->SaveConfiguration(index, file.c_str())) {
        // Nothing was written there: the window keeps naming the file in use.
        ShowBox(m_joySticks->GetErrorText(), "CTavelinDlg::OnSave");
        return;
    }
    SetText(TextCurrentFile, file.c_str());
    MoveTextsToScreen();
    TakeSetUpSnapshot();
}

void CTavelinDlg::OnRead1()
{
    if (!m_timerStarted || Closing()) {
        return;
    }
    // The set-up in use keeps running while the operator chooses and until
    // the chosen one has loaded.
    ConfigChoiceRequest request;
    request.chosenIndex = 0;
    CopyBounded(request.currentPath, m_texts[TextCurrentFile].text, sizeof request.currentPath);
    request.reading = 1;
    request.warnings = 0;
    request.showSlotZero = 0;
    CWhichConfigDlg choice;
    choice.SetRequest(&request);
    RunChild(CWhichConfigDlg::Template(), choice);
    if (Closing()) {
        return; // a way out taken meanwhile: no store, no load
    }

    static const char* const names[4] = { "DEFAULT JOY STICK SET UP ", "ALTN 1 JOY STICK SET UP ",
        "ALTN 2 JOY STICK SET UP ", "ALTN 3 JOY STICK SET UP " };
    const int index = request.chosenIndex >= 1 && request.chosenIndex <= 3 ? request.chosenIndex : 0;
    const std::string& file = m_configurationFiles[index];

    // What a load replaces, to be put back when it fails: a failed load
    // leaves a part of the other file behind, and a new attachment writes
    // default tuning values.
    std::vector<unsigned char> setUp;
    std::vector<unsigned char> settings;
    if (m_block != nullptr) {
        const auto* bytes = static_cast<const unsigned char*>(m_block);
        setUp.assign(bytes + GenericSimBlock::kJoystickSetup,
            bytes + GenericSimBlock::kJoystickSetup + GenericSimBlock::kJoystickSetupSize);
        settings.assign(bytes + GenericSimBlock::kControlSettings,
            bytes + GenericSimBlock::kControlSettings + kControlSettingsBytes);
        GenericSimBlock::StoreInt32(m_block, GenericSimBlock::kConfigurationIndex, index);
        GenericSimBlock::StoreText(
            m_block, GenericSimBlock::kConfigurationName, GenericSimBlock::kConfigurationNameLength, names[index]);
    }
    char name[GenericSimBlock::kConfigurationNameLength + 1] = {};
    if (m_block != nullptr) {
        GenericSimBlock::LoadText(
            m_block, GenericSimBlock::kConfigurationName, GenericSimBlock::kConfigurationNameLength, name, sizeof name);
    }

    auto loaded = std::make_unique<JoystickSet>();
    if (!loaded->Initialise(file.c_str())) {
        const std::string reason = loaded->GetLastErrorText();
        loaded.reset();
        if (m_block != nullptr) {
            auto* bytes = static_cast<unsigned char*>(m_block);
            std::memcpy(bytes + GenericSimBlock::kJoystickSetup, setUp.data(), setUp.size());
            std::memcpy(bytes + GenericSimBlock::kControlSettings, settings.data(), settings.size());
        }
        ShowBox(reason.c_str(), "CTavelinDlg::OnRead1");
        return;
    }

    // The old set lets its joysticks go before the new one takes them.
    m_joySticks = std::move(loaded);
    StartJoySticks();
    if (Closing() || m_joySticks == nullptr) {
        return;
    }
    SetText(TextCurrentFile, file.c_str());
    SetText(TextSetUpName, name);
    if (!m_startedOk) {
        // The start-up load had failed: this is the first set-up, the cycle starts now.
        m_startedOk = true;
        m_cycleCount = 0;
    }
    EnableReadouts();

    m_joySticks->ResetCycleCount();
    m_joySticks->PollAll(kReadPollPeriod);
    TakeSetUpSnapshot();

    SetUpButtonRows(false);
    SetUpAxisPanels(false);
    SetUpEyePointRow(false);
    ShowWarnings();
    MoveTextsToScreen();
}

void CTavelinDlg::OnSetDeadBands()
{
    if (m_block == nullptr) {
        return;
    }
    DeadBandValues values;
    values.pitch = GenericSimBlock::LoadDouble(m_block, GenericSimBlock::kPitchDeadBand);
    values.roll = GenericSimBlock::LoadDouble(m_block, GenericSimBlock::kRollDeadBand);
    values.pedals = GenericSimBlock::LoadDouble(m_block, GenericSimBlock::kPedalsDeadBand);
    values.tiller = GenericSimBlock::LoadDouble(m_block, GenericSimBlock::kTillerDeadBand);

    CDeadBandDlg dialog;
    dialog.SetValues(values);
    if (RunChild(CDeadBandDlg::Template(), dialog) == kIdOk && m_block != nullptr && !Closing()) {
        GenericSimBlock::StoreDouble(m_block, GenericSimBlock::kPitchDeadBand, values.pitch);
        GenericSimBlock::StoreDouble(m_block, GenericSimBlock::kRollDeadBand, values.roll);
        GenericSimBlock::StoreDouble(m_block, GenericSimBlock::kPedalsDeadBand, values.pedals);
        GenericSimBlock::StoreDouble(m_block, GenericSimBlock::kTillerDeadBand, values.tiller);
    }
}

void CTavelinDlg::OnThrustLeverData()
{
    if (m_block == nullptr) {
        return;
    }
    ThrustLeverRefs refs;
    refs.block = m_block;
    refs.leftPair = GenericSimBlock::kThrLvrLSensitivity;
    refs.rightPair = GenericSimBlock::kThrLvrRSensitivity;
    refs.leftTimeConstant = GenericSimBlock::kThrLvrLFilterTimeConstant;
    refs.rightTimeConstant = GenericSimBlock::kThrLvrRFilterTimeConstant;
    refs.joySticks = m_joySticks.get();

    CTlaSetUp dialog;
    dialog.SetRefs(refs);
    if (RunChild(CTlaSetUp::Template(), dialog) == kIdOk && m_joySticks != nullptr && !Closing()) {
        m_joySticks->ApplyFilterTimeConstants();
    }
}

void CTavelinDlg::OnControlPanel()
{
    if (m_joySticks != nullptr) {
        const char* problem = m_joySticks->RunControlPanel();
        if (problem[0] != '\0') {
            ShowBox(problem, "CTavelinDlg::OnControlPanel");
        }
    }
}

void CTavelinDlg::OnAbout()
{
    CAboutDlg about;
    RunChild(CAboutDlg::Template(), about);
}

// ---------------------------------------------------------------- helpers

int CTavelinDlg::RunChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter)
{
    ++m_modalDepth;
    const int result = m_view->RunModalChild(dialogTemplate, presenter);
    --m_modalDepth;
    if (m_modalDepth == 0 && m_endPending) {
        m_endPending = false;
        EndWindow(m_pendingResult);
    }
    return result;
}

bool CTavelinDlg::ProcessorReady() const
{
    return m_joySticks != nullptr && m_joySticks->GetBlock() != nullptr && !m_ended;
}

void CTavelinDlg::ShowBox(const char* text, const char* caption)
{
    MessageEcho::Print(caption, text);
    m_view->ShowMessageBox(text != nullptr ? text : "", caption);
}

void CTavelinDlg::SetText(TextIndex index, const char* text)
{
    CopyBounded(m_texts[index].text, text != nullptr ? text : "", kTextLength);
}

void CTavelinDlg::MoveTextsToScreen()
{
    for (auto& member : m_texts) {
        if (member.everSent && std::strcmp(member.text, member.sent) == 0) {
            continue;
        }
        std::memcpy(member.sent, member.text, kTextLength);
        member.everSent = true;
        m_view->SetControlText(member.id, member.text);
    }
}

void CTavelinDlg::SetLamp(int lampIndex, LampPicture picture)
{
    LampState& lamp = m_lamps[lampIndex];
    if (lamp.everSent && lamp.sent == picture) {
        return;
    }
    lamp.everSent = true;
    lamp.sent = picture;
    m_view->SetLampPicture(lamp.id, picture);
}
