#include "app/NetworkSending.h"

#include "app/MessageEcho.h"
#include "app/TavelinDlgIds.h"
#include "devices/JoystickSet.h"
#include "dialogs/NetworkDlg.h"
#include "support/Console.h"
#include "support/Paths.h"
#include "support/TextFunctions.h"

#include <cstring>

namespace {

constexpr const char* kCaption = "Network";
constexpr const char* kStarting = "starting";

} // namespace

NetworkSending::NetworkSending(MainWindowServices& window)
    : m_window(window)
{
    CopyBounded(m_stateText, NetworkLink::Available() ? "off" : kNotInBuild, kStateLength);
}

NetworkSending::~NetworkSending()
{
    Stop();
}

void NetworkSending::Configure(const NetworkOverrides& overrides, NetworkLink::TransportFactory factory)
{
    Stop();
    m_overrides = overrides;
    m_factory = std::move(factory);
    m_link.reset();
}

std::string NetworkSending::FilePath()
{
    return Paths::ConfigurationFolder() + Paths::Separator() + NetworkSettingsFile::kFileName;
}

void NetworkSending::Start()
{
    NetworkSettings settings;
    NetworkSettingsFile file;
    if (!file.Load(FilePath(), settings)) {
        const std::string text = file.FullErrorText()
            + "\nThe network link stays off; the \"Network...\" button "
              "sets it up again.";
        ShowBox(text.c_str());
        m_settings = NetworkSettings {};
        m_overrides.ApplyTo(m_settings);
        m_settings.enabled = false;
        RefreshState();
        return;
    }
    m_overrides.ApplyTo(settings);
    Restart(settings);
}

void NetworkSending::Restart(const NetworkSettings& settings)
{
    FinishSwitch(true, true);
    m_settings = settings;
    if (m_link == nullptr && !settings.enabled) {
        RefreshState();
        return;
    }
    auto change = std::make_unique<Switch>();
    change->retiring = std::move(m_link);
    if (settings.enabled) {
        change->starting
            = m_factory ? std::make_unique<NetworkLink>(m_factory, nullptr) : std::make_unique<NetworkLink>();
    }
    Switch* running = change.get();
    // The tick no longer touches either link: they are the thread's until it is done.
    running->worker = std::thread([running, settings] {
        if (running->retiring != nullptr) {
            running->retiring->Stop();
            running->retiring.reset();
        }
        if (running->starting != nullptr) {
            running->started = running->starting->Start(settings);
            if (!running->started) {
                running->error = running->starting->FullErrorText();
            }
        }
        running->done.store(true, std::memory_order_release);
    });
    m_switch = std::move(change);
    RefreshState();
}

void NetworkSending::FinishSwitch(bool wait, bool tell)
{
    if (m_switch == nullptr || (!wait && !m_switch->done.load(std::memory_order_acquire))) {
        return;
    }
    const std::unique_ptr<Switch> change = std::move(m_switch);
    change->worker.join();
    m_link = std::move(change->starting);
    if (m_link != nullptr && !change->started) {
        if (tell) {
            ShowBox(change->error.c_str());
        } else {
            MessageEcho::Print(kCaption, change->error.c_str());
        }
    }
    RefreshState();
}

void NetworkSending::Stop()
{
    FinishSwitch(true, false);
    if (m_link != nullptr) {
        m_link->Stop();
    }
}

void NetworkSending::TakeNotes(JoystickSet* set)
{
    if (m_link == nullptr) {
        return;
    }
    while (m_link->TakeNote(m_note, sizeof m_note)) {
        if (set != nullptr) {
            // The link's news never crowds out a described warning.
            set->AddNote(m_note, NoteKind::GivesWay);
        } else {
            // No list to show it: standard error alone (the note names the network itself).
            std::size_t length = std::strlen(m_note);
            if (length + 1 >= sizeof m_note) {
                length = sizeof m_note - 2;
            }
            m_note[length] = '\n';
            m_note[length + 1] = '\0';
            Console::WriteToStandardError(m_note, length + 1);
        }
    }
}

void NetworkSending::RefreshState()
{
    if (!NetworkLink::Available()) {
        CopyBounded(m_stateText, kNotInBuild, kStateLength);
    } else if (m_switch != nullptr) {
        CopyBounded(m_stateText, kStarting, kStateLength);
    } else {
        FormatLinkState(State(), m_stateText, sizeof m_stateText);
    }
    if (m_view == nullptr || (m_stateShown && std::strcmp(m_stateText, m_shownState) == 0)) {
        return;
    }
    std::memcpy(m_shownState, m_stateText, sizeof m_shownState);
    m_stateShown = true;
    m_view->SetControlText(MainIds::kNetworkState, m_stateText);
}

void NetworkSending::OnNetworkButton()
{
    if (m_view == nullptr || m_window.Closing()) {
        return;
    }
    if (!NetworkLink::Available()) {
        const std::string text = std::string("The network link is not in this build: ") + NetworkLink::Description()
            + ".\nThe simulator's block on this computer is published as always.";
        ShowBox(text.c_str());
        return;
    }
    CNetworkDlg dialog(m_settings,
        [](DialogView& view, const char* text, const char* caption) { MessageEcho::ShowBox(view, text, caption); });
    if (m_window.RunChild(CNetworkDlg::Template(), dialog) != kIdOk || m_window.Closing()) {
        return;
    }
    NetworkSettingsFile file;
    if (!file.Save(FilePath(), dialog.Settings())) {
        const std::string text = file.FullErrorText() + "\nThe network link goes on as it was.";
        ShowBox(text.c_str());
        return;
    }
    // What the operator chose now stands, over the command line's options too.
    m_overrides = NetworkOverrides {};
    Restart(dialog.Settings());
}

void NetworkSending::ShowBox(const char* text) const
{
    if (m_view != nullptr) {
        MessageEcho::ShowBox(*m_view, text, kCaption);
    } else {
        MessageEcho::Print(kCaption, text);
    }
}
