#include "config/WhichConfig.h"

#include <cstring>

namespace {

// A request's texts come from the caller's buffers: read them bounded, in
// case a caller left one unterminated.
std::string BoundedText(const char* text, std::size_t size)
{
    const void* end = std::memchr(text, '\0', size);
    return std::string(text, end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : size);
}

} // namespace

bool CWhichConfigDlg::OnInitDialog()
{
    // OK only makes sense once a configuration has been chosen.
    m_view->EnableControl(kIdOk, false);

    m_helpText = "Select the configuration required. \n\n";
    m_helpText += "The default will read/write the default comnfiguration \n";
    m_helpText += "for the joy stick set up. \n\n";
    m_helpText += "Configuration 1,2,3 will read/write configuration for\n";
    m_helpText += "Different set ups.\n";
    m_helpText += "\n";
    m_helpText += "The Simlation program always starts with the defualt configuration\n";
    m_helpText += "But can be changed here for a different configuration if required\n\n";

    std::string slotZero;
    std::string path;
    if (m_request != nullptr) {
        slotZero = BoundedText(m_request->slotZeroText, sizeof m_request->slotZeroText);
        path = BoundedText(m_request->currentPath, sizeof m_request->currentPath);
        if (m_request->showSlotZero != 0) {
            m_helpText += "Currently the Joystick at Slot zero is :>" + slotZero + " <:\n";
        }
    }

    m_statusText = "Currently using " + path;

    if (m_request != nullptr && m_request->warnings != 0) {
        m_warningText = "Some Joystick IDs in the ini file that was read, do not match any currently attached "
                        "Joystick(s)\n";
        m_warningText += "When saving, thoes Joystick IDs will be replaced by the Joystick ID of Slot zero :>"
            + slotZero + "<:\n";
    }

    MoveTextsToScreen();
    return true;
}

void CWhichConfigDlg::OnCommand(std::int32_t id)
{
    switch (id) {
    case kDefaultButton:
        Choose(0, "Use default JoyStick.ini");
        break;
    case kAlternate1Button:
        Choose(1, "Use Alternate JoyStick1.ini");
        break;
    case kAlternate2Button:
        Choose(2, "Use Alternate JoyStick2.ini");
        break;
    case kAlternate3Button:
        Choose(3, "Use Alternate JoyStick3.ini");
        break;
    default:
        DialogPresenter::OnCommand(id);
        break;
    }
}

void CWhichConfigDlg::Choose(std::int32_t index, const char* status)
{
    if (m_request != nullptr) {
        m_request->chosenIndex = index;
    }
    m_statusText = status;
    MoveTextsToScreen();
    m_view->EnableControl(kIdOk, true);
}

void CWhichConfigDlg::MoveTextsToScreen()
{
    m_view->SetControlText(kHelpText, m_helpText.c_str());
    m_view->SetControlText(kStatusText, m_statusText.c_str());
    m_view->SetControlText(kWarningText, m_warningText.c_str());
}
