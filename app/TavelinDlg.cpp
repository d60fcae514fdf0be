#include "app/TavelinDlg.h"

#include "app/AboutDlg.h"
#include "app/JoystickAdvice.h"
#include "app/MessageEcho.h"
#include "devices/DirectInputBackends.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "support/Paths.h"

#include <algorithm>
#include <chrono>
#include <cstring>

using namespace MainIds;

namespace {

constexpr const char* kAboutMenuText = "&About Tavelin...";

std::int64_t SteadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CTavelinDlg::CTavelinDlg()
    : m_clock(SteadyMilliseconds)
    , m_readouts(m_slots)
    , m_rows(m_slots, m_block)
    , m_files(*this, m_block)
    , m_indicators(m_switchPanel, m_block)
    , m_tuning(*this, m_block)
    , m_network(*this)
{
    m_texts.Bind(TextBanner, kBanner);
}

CTavelinDlg::~CTavelinDlg()
{
    // A renderer that never delivered the end of the window still must not
    // leave the block's user count raised, nor the link sending.
    m_network.Stop();
    ReleaseJoySticks();
    ReleaseSharedmemory();
}

void CTavelinDlg::BindParts(DialogView* view)
{
    m_readouts.Bind(view);
    m_rows.Bind(view);
    m_files.Bind(view);
    m_indicators.Bind(view);
    m_network.Bind(view);
    m_recording.Bind(view);
}

// ---------------------------------------------------------------- events

bool CTavelinDlg::OnInitDialog()
{
    BindParts(m_view);
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
    case kNetwork:
        OnNetwork();
        break;
    case kRecord:
        if (ReadyJoySticks() != nullptr) {
            m_recording.OnRecordButton(*m_joySticks, m_clock());
        }
        break;
    default:
        if (m_rows.IsDetectButton(id) && ReadyJoySticks() != nullptr && m_view != nullptr) {
            m_rows.OnDetectButton(*m_joySticks, id, m_clock(), m_windowVisible);
        }
        break;
    }
}

void CTavelinDlg::OnSelectionChange(std::int32_t id, int position)
{
    if (JoystickSet* set = ReadyJoySticks()) {
        m_rows.OnSelectionChange(*set, id, position);
    }
}

int CTavelinDlg::OnSpinDelta(std::int32_t id, int delta)
{
    m_rows.OnSpinDelta(id, delta);
    return 0;
}

void CTavelinDlg::OnTimer(std::int32_t /*id*/)
{
    OnCycle();
    // After the whole cycle: a link that finished starting is taken up (a box if it could not).
    if (!m_ended) {
        m_network.Poll();
    }
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
    m_network.Stop();
    ReleaseJoySticks();
    ReleaseSharedmemory();
    BindParts(nullptr);
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
    if (m_rows.Detecting()) {
        // Escape while a row waits gives up the waiting.
        m_rows.EndDetection();
        return;
    }
    // Escape otherwise (and the hidden Cancel button): one key must not end publishing.
}

void CTavelinDlg::OnVisibilityChange(bool visible)
{
    m_windowVisible = visible;
}

// ---------------------------------------------------------------- the way out

bool CTavelinDlg::ConfirmClose()
{
    if (m_ended) {
        return true;
    }
    // After a close request from outside nobody is asked any more.
    if (m_modalDepth == 0 && !m_closeRequested && !m_files.AskBeforeClosing()) {
        return false;
    }
    EndWindow(kIdOk);
    return true;
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
    // The link's last sample is a released stick, before the set lets go of the block.
    m_network.Stop();
    ReleaseJoySticks();
    EndDialog(result);
}

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

bool CTavelinDlg::HasUnsavedChanges() const
{
    return m_files.HasUnsavedChanges(m_joySticks.get());
}

// ---------------------------------------------------------------- start-up

bool CTavelinDlg::StartUp()
{
    m_view->SetTitle("Version 1.6");
    m_joySticks.reset();
    m_files.BuildPaths();
    m_devicesReady = false;
    m_slots = SlotStates {};

    SetSharedmemory();
    if (!m_block.Attached()) {
        EnableBlockControls(false);
    }

    if (!m_view->StartTimer(CycleTimerId, kCyclePeriodMs)) {
        return false;
    }
    m_timerStarted = true;

    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        CreateReadouts(slot);
    }

    const std::string startFile = m_files.ChooseStartFile();
    m_files.WriteDefaultIfMissing();
    // A failed load leaves a window that can still read another configuration.
    const bool loaded = Initialise(startFile);
    if (loaded) {
        m_files.NoteFirstRun(*m_joySticks);
    }

    m_cycleCount = 0;
    m_indicators.ResetSideStick();

    // The banner: what follows the version tag in the layout header's revision line.
    const char* versionTag = KQ_P_0001_02_Shm::VersionTag();
    const char* tag = std::strstr(KQ_P_0001_02_Shm::InterfaceBanner(), versionTag);
    m_texts.Set(TextBanner, tag != nullptr ? tag + std::strlen(versionTag) : versionTag);
    MoveTextsToScreen();

    // Shown by the first cycle's transfer.
    m_files.ShowStartFile();
    m_indicators.PrepareWarningList();
    if (!loaded) {
        // No cycle will show them: the operator needs to see which file failed.
        MoveTextsToScreen();
    }
    // The link follows whatever this window publishes, from its first tick.
    m_network.Start();
    if (loaded) {
        m_recording.Start(*m_joySticks, m_clock());
    }
    return loaded;
}

bool CTavelinDlg::Initialise(std::string path)
{
    if (m_joySticks == nullptr) {
        m_joySticks = std::make_unique<JoystickSet>();
    }
    if (m_joySticks == nullptr) {
        return false;
    }
    // Without the block the set works on a stand-in until it can be had.
    if (!m_joySticks->InitialiseAtStartUp(path.c_str(), m_files.ReadsDefaultFromMemory(path))) {
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
    m_files.Loaded();
}

void CTavelinDlg::OnJoyStick()
{
    if (m_joySticks == nullptr) {
        return;
    }
    if (!m_joySticks->CreateDevices(m_view->NativeWindow(), m_view->ProgramInstance())) {
        ShowBox(m_joySticks->GetLastErrorText(), "CTavelinDlg::OnJoyStick");
        if (m_joySticks->FoundNoJoysticks() && !m_noJoystickNoted) {
            // The box says what is missing; the list says what to try, once a run.
            m_noJoystickNoted = true;
            const std::string advice = NoJoystickAdvice(VirtualJoystickFilePath(), Paths::DemoJoystickFile());
            m_joySticks->AddNote(advice.c_str(), NoteKind::Stays);
        }
    }
    m_readouts.ShowDeviceNames(*m_joySticks, false);
    MoveTextsToScreen();
    m_slotChangesShown = m_joySticks->GetSlotChangeCount();
    m_readouts.HeadersChanged();
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
    m_readouts.ShowDeviceNames(*m_joySticks, true);
    m_readouts.HeadersChanged();
    if (m_cycleCount > 0) {
        m_rows.ShowSlotNamesInCombos(*m_joySticks);
        EnableReadouts();
        SetUpAxisPanels(false);
        SetUpButtonRows(false);
        SetUpEyePointRow(false);
        m_indicators.ClearWarningList();
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
        m_block = BlockSetUp();
        ShowBox(m_shm->GetErrorText(), "CTavelinDlg::SetSharedmemory");
    } else {
        m_block = BlockSetUp(m_shm->GetBlock());
    }
}

void CTavelinDlg::ReleaseSharedmemory()
{
    m_block = BlockSetUp();
    m_shm.reset();
}

void CTavelinDlg::ReleaseJoySticks()
{
    m_recording.Stop(m_joySticks.get());
    m_joySticks.reset();
}

void CTavelinDlg::EnableBlockControls(bool enable)
{
    // Without the window's own view these would read or store through nothing.
    m_view->EnableControl(kSetDeadBands, enable);
    m_view->EnableControl(kThrustLeverData, enable);
    for (const auto& row : kAxisRows) {
        m_view->EnableControl(row.spin, enable);
    }
}

void CTavelinDlg::FollowBlock()
{
    // The processor's attachment brings the window's own view along when it
    // attaches again (or for the first time, after start-up), at the same
    // address: only a view that was never attached is taken up here.
    if (!m_block.Attached() && m_shm->IsReady()) {
        m_block = BlockSetUp(m_shm->GetBlock());
        EnableBlockControls(true);
        m_files.ShowSetUpName();
    }
    // What the processor noted since (the block's own events among them) is shown at once.
    if (m_cycleCount >= 1 && m_indicators.WarningsChanged(*m_joySticks)) {
        m_indicators.ClearWarningList();
        ShowWarnings();
    }
}

// ---------------------------------------------------------------- polling cycle

bool CTavelinDlg::OnCycle()
{
    if (!m_devicesReady || !m_startedOk || m_joySticks == nullptr || m_view == nullptr) {
        return false;
    }
    int n = AttachedCount();
    if (m_cycleCount < 1) {
        EnableReadouts();
    }

    m_joySticks->PollAll(kCyclePeriod);
    m_recording.OnTick(*m_joySticks, m_clock());
    // The block is written: the same values leave for the network in this same tick.
    m_network.OnTickPublished(m_joySticks->GetBlock());
    m_network.TakeNotes(m_joySticks.get());
    if (m_joySticks->GetSlotChangeCount() != m_slotChangesShown) {
        OnSlotsChanged();
        n = AttachedCount();
    }
    m_files.TakeSnapshotIfDue(*m_joySticks);
    m_slots.Copy(*m_joySticks, n);
    m_rows.StepDetection(*m_joySticks, n, m_clock(), m_windowVisible);
    m_readouts.ShowHeaders(*m_joySticks);

    if (m_shm == nullptr) {
        return false;
    }
    FollowBlock();
    ++m_cycleCount;
    if (m_cycleCount == 1) {
        FirstFullCycle();
    }
    // What lasts one cycle only is taken every cycle, shown or not.
    m_indicators.TakeCycle();
    return true;
}

void CTavelinDlg::FirstFullCycle()
{
    SetUpAxisPanels(true);
    SetUpButtonRows(true);
    SetUpEyePointRow(true);
    m_rows.ShowSlotNamesInCombos(*m_joySticks);
    ShowWarnings();
}

int CTavelinDlg::AttachedCount() const
{
    return m_joySticks != nullptr ? std::clamp(m_joySticks->GetJoystickCount(), 0, kJoystickSlots) : 0;
}

JoystickSet* CTavelinDlg::ReadyJoySticks() const
{
    return m_joySticks != nullptr && m_joySticks->GetBlock() != nullptr && !m_ended ? m_joySticks.get() : nullptr;
}

void CTavelinDlg::OnFrame(bool numbers)
{
    if (!m_devicesReady || !m_startedOk || m_joySticks == nullptr || m_view == nullptr || m_ended) {
        return;
    }
    if (numbers) {
        m_network.RefreshState();
    }
    if (m_shm == nullptr) {
        // Without the window's own view there are only the readouts to show.
        if (numbers) {
            m_readouts.Refresh(AttachedCount(), m_clock());
        }
        return;
    }
    if (m_cycleCount < 1) {
        return;
    }
    // The highlight follows the numbers' pace: 50 ms steps are as fine as
    // its half second needs.
    if (numbers) {
        m_readouts.Refresh(AttachedCount(), m_clock());
    }
    m_indicators.RefreshSideStick();
    if (m_block.Attached()) {
        m_rows.RefreshAxisPanels(numbers);
    }
    RefreshButtonLamps();
    m_indicators.RefreshEyeText();
    MoveTextsToScreen();
}

void CTavelinDlg::ShowWarnings()
{
    if (m_joySticks == nullptr) {
        return;
    }
    m_indicators.ShowWarnings(*m_joySticks);
    MoveTextsToScreen();
}

// ---------------------------------------------------------------- the parts' handlers

void CTavelinDlg::CreateReadouts(int slot)
{
    m_readouts.Create(slot);
}

void CTavelinDlg::EnableReadouts()
{
    m_readouts.Enable(AttachedCount());
}

void CTavelinDlg::SetUpAxisPanels(bool initial)
{
    m_rows.SetUpAxisPanels(ReadyJoySticks(), initial);
}

void CTavelinDlg::RefreshAxisPanel(std::int32_t axis, bool withTexts)
{
    m_rows.RefreshAxisPanel(axis, withTexts);
}

void CTavelinDlg::SetUpButtonRows(bool initial)
{
    if (initial) {
        m_indicators.ButtonLampsOff();
    }
    m_rows.SetUpButtonRows(ReadyJoySticks(), initial);
}

void CTavelinDlg::RefreshButtonLamps()
{
    m_indicators.RefreshButtonLamps();
}

void CTavelinDlg::SetUpEyePointRow(bool initial)
{
    m_rows.SetUpEyePointRow(ReadyJoySticks(), initial);
}

void CTavelinDlg::OnSave()
{
    m_files.OnSave();
}

void CTavelinDlg::OnRead1()
{
    if (!m_timerStarted || Closing()) {
        return;
    }
    std::unique_ptr<JoystickSet> read = m_files.ReadAlternate();
    if (read == nullptr) {
        return;
    }
    // The old set lets its joysticks go before the new one takes them.
    m_joySticks = std::move(read);
    StartJoySticks();
    if (Closing() || m_joySticks == nullptr) {
        return;
    }
    m_files.ShowReadFile();
    if (!m_startedOk) {
        // The start-up load had failed: this is the first set-up, the cycle starts now.
        m_startedOk = true;
        m_cycleCount = 0;
    }
    EnableReadouts();

    m_joySticks->ResetCycleCount();
    m_joySticks->PollAll(kReadPollPeriod);
    m_files.TakeSnapshot(m_joySticks.get());

    SetUpButtonRows(false);
    SetUpAxisPanels(false);
    SetUpEyePointRow(false);
    ShowWarnings();
    MoveTextsToScreen();
}

void CTavelinDlg::OnSetDeadBands()
{
    m_tuning.OnSetDeadBands();
}

void CTavelinDlg::OnThrustLeverData()
{
    m_tuning.OnThrustLeverData();
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

void CTavelinDlg::OnNetwork()
{
    m_network.OnNetworkButton();
}

void CTavelinDlg::OnAbout()
{
    CAboutDlg about;
    RunChild(CAboutDlg::Template(), about);
}

// ---------------------------------------------------------------- helpers

void CTavelinDlg::ShowBox(const char* text, const char* caption)
{
    MessageEcho::ShowBox(*m_view, text, caption);
}

void CTavelinDlg::MoveTextsToScreen()
{
    if (m_view == nullptr) {
        return;
    }
    m_readouts.SendTexts();
    m_rows.SendTexts();
    m_texts.Send(*m_view);
    m_files.SendTexts();
    m_indicators.SendTexts();
}
