// Template 140, the network dialog.
#include "dialogs/NetworkDlg.h"
#include "ui/DialogTemplate.h"

#include <array>

namespace {

constexpr std::array<ControlTemplate, 11> kNetworkControls = { {
    { kNoControlId, ControlKind::Static, "Network link", { 8, 10, 60, 8 } },
    { CNetworkDlg::kSwitch, ControlKind::ComboBox, "", { 72, 8, 40, 12 }, FlagNone, 0,
        "On: every tick's controls also go to the simulator's computer; Off: the block on this computer only." },
    { kNoControlId, ControlKind::Static, "Domain", { 8, 27, 60, 8 } },
    { CNetworkDlg::kDomain, ControlKind::Edit, "", { 72, 25, 40, 12 }, FlagEditable, 0,
        "The cockpit's domain number, 0 to 232: the simulator's computer must use the same one." },
    { kNoControlId, ControlKind::Static, "Peers", { 8, 44, 60, 8 } },
    { CNetworkDlg::kPeers, ControlKind::Edit, "", { 72, 42, 196, 12 }, FlagEditable, 0,
        "Host names or addresses of the simulator's computers, apart by commas or blanks; empty: they are found "
        "by multicast." },
    { kNoControlId, ControlKind::Static, "Key folder", { 8, 61, 60, 8 } },
    { CNetworkDlg::kKeys, ControlKind::Edit, "", { 72, 59, 196, 12 }, FlagEditable, 0,
        "The cockpit's key folder (simblock net-keys make DIR): only computers with these keys are heard; empty: "
        "anybody on the network can publish." },
    { kNoControlId, ControlKind::Static, "Saved in Network.ini in the configuration folder.", { 8, 80, 200, 8 } },
    { 1, ControlKind::PushButton, "OK", { 276, 8, 50, 14 }, FlagDefault, 0,
        "Checks the settings, saves them and starts the link again with them." },
    { 2, ControlKind::PushButton, "Cancel", { 276, 25, 50, 14 }, FlagNone, 0,
        "Closes the dialog and leaves the link as it is." },
} };

} // namespace

const DialogTemplate& NetworkDialogTemplate()
{
    static const DialogTemplate dialog { kNetworkTemplateId, "Network", 334, 96, kNetworkControls };
    return dialog;
}
