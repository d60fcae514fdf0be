#include "dialogs/NetworkDlg.h"

#include "net/KeySet.h"
#include "support/TextFunctions.h"

#include <charconv>
#include <system_error>

namespace {

constexpr int kOff = 0;
constexpr int kOn = 1;
constexpr int kLongestField = 4096;

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

CNetworkDlg::CNetworkDlg(const NetworkSettings& settings, BoxShower showBox)
    : m_settings(settings)
    , m_showBox(std::move(showBox))
{
}

std::string CNetworkDlg::PeersText(const NetworkSettings& settings)
{
    std::string text;
    for (const std::string& peer : settings.peers) {
        text += (text.empty() ? "" : ", ") + peer;
    }
    return text;
}

bool CNetworkDlg::ReadFields(const std::string& onOff, const std::string& domain, const std::string& peers,
    const std::string& keys, NetworkSettings& settings, std::string& error)
{
    NetworkSettings read = settings;
    const std::string choice = Trimmed(onOff);
    if (choice != "On" && choice != "Off") {
        error = "The network link must be On or Off, not \"" + choice + "\".";
        return false;
    }
    read.enabled = choice == "On";

    const std::string number = Trimmed(domain);
    int value = -1;
    const auto [end, status] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || status != std::errc() || end != number.data() + number.size() || value < 0
        || value > NetworkSettings::kHighestDomain) {
        error = "The domain must be a whole number from 0 to 232, not \"" + number + "\".";
        return false;
    }
    read.domain = value;

    read.peers.clear();
    std::size_t at = 0;
    while (at < peers.size()) {
        const std::size_t start = peers.find_first_not_of(", \t\r\n", at);
        if (start == std::string::npos) {
            break;
        }
        const std::size_t stop = std::min(peers.find_first_of(", \t\r\n", start), peers.size());
        read.peers.push_back(peers.substr(start, stop - start));
        at = stop;
    }
    read.keys = Trimmed(keys);

    std::string problem;
    if (!CheckNetworkSettings(read, problem)) {
        error = "These network settings cannot be used: " + problem + ".";
        return false;
    }
    if (read.enabled && !read.keys.empty()) {
        const std::vector<std::string> faults = KeySet::Check(read.keys, LinkRole::Sender);
        if (!faults.empty()) {
            error = "The key folder cannot be used:";
            for (const std::string& fault : faults) {
                error += "\n" + fault;
            }
            return false;
        }
    }
    settings = read;
    return true;
}

bool CNetworkDlg::OnInitDialog()
{
    m_view->ComboInsertString(kSwitch, kOff, "Off");
    m_view->ComboInsertString(kSwitch, kOn, "On");
    m_view->ComboSetSelection(kSwitch, m_settings.enabled ? kOn : kOff);
    char domain[16];
    FormatBounded(domain, sizeof domain, "%d", m_settings.domain);
    m_view->SetControlText(kDomain, domain);
    m_view->SetControlText(kPeers, PeersText(m_settings).c_str());
    m_view->SetControlText(kKeys, m_settings.keys.c_str());
    return true;
}

void CNetworkDlg::OnOK()
{
    std::string error;
    if (!ReadFields(Field(kSwitch), Field(kDomain), Field(kPeers), Field(kKeys), m_settings, error)) {
        // The dialog stays open with what was typed, so it can be mended.
        if (m_showBox) {
            m_showBox(*m_view, error.c_str(), kCaption);
        } else {
            m_view->ShowMessageBox(error.c_str(), kCaption);
        }
        return;
    }
    EndDialog(kIdOk);
}

std::string CNetworkDlg::Field(std::int32_t id) const
{
    std::string text(kLongestField, '\0');
    const int length = m_view->GetControlText(id, text.data(), kLongestField);
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}
