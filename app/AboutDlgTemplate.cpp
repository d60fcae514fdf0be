// Template 100, the About box.
#include "app/AboutDlg.h"
#include "net/NetworkLink.h"
#include "ui/DialogTemplate.h"

#include <array>
#include <string>

namespace {

constexpr std::array<ControlTemplate, 5> kAboutControls = { {
    { kNoControlId, ControlKind::Icon, "", { 11, 17, 20, 20 }, FlagNone, kApplicationIcon },
    { kNoControlId, ControlKind::Static, "Tavelin Version 1.0", { 40, 10, 119, 8 } },
    { kNoControlId, ControlKind::Static, "Joysticks into the simulator's cockpit controls", { 40, 25, 180, 8 } },
    { 1, ControlKind::PushButton, "OK", { 178, 7, 50, 14 }, FlagDefault, 0, "Closes this window." },
    { CAboutDlg::kNetworkText, ControlKind::Static, "", { 40, 38, 188, 16 }, FlagNone, 0,
        "Whether this build can send the controls to a simulator on another computer." },
} };

} // namespace

const DialogTemplate& AboutDialogTemplate()
{
    static const DialogTemplate dialog { kAboutTemplateId, "About Tavelin", 235, 60, kAboutControls };
    return dialog;
}

bool CAboutDlg::OnInitDialog()
{
    // "network link: ..." as the engine describes itself, or that the build has none.
    std::string text = NetworkLink::Description();
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    m_view->SetControlText(kNetworkText, text.c_str());
    return true;
}
