// CWhichConfigDlg: asks which of the four joystick configurations (default or
// alternate 1..3) to save to or read from. The answer leaves through the
// caller's ConfigChoiceRequest; nothing else survives the dialog.
#pragma once

#include "ui/DialogView.h"

#include <cstdint>
#include <string>

struct ConfigChoiceRequest {
    std::int32_t chosenIndex = 0; // out: 0 default, 1..3 alternates
    char currentPath[1024] = {}; // in: the file in use
    std::uint8_t reading = 0; // in: set by Read Alternate, not used by the dialog
    std::uint8_t warnings = 0; // in: non-zero shows the joystick ID warning
    char slotZeroText[256] = {}; // in: the joystick in slot 0
    std::uint8_t showSlotZero = 0; // in: non-zero adds the slot line to the help text
};

class CWhichConfigDlg : public DialogPresenter {
public:
    static constexpr std::int32_t kDefaultButton = 1000;
    static constexpr std::int32_t kAlternate1Button = 1201;
    static constexpr std::int32_t kAlternate2Button = 1202;
    static constexpr std::int32_t kAlternate3Button = 1203;
    static constexpr std::int32_t kHelpText = 1096;
    static constexpr std::int32_t kStatusText = 1098;
    static constexpr std::int32_t kWarningText = 1103;

    CWhichConfigDlg() = default;

    static const DialogTemplate& Template() { return ConfigChoiceDialogTemplate(); }

    // The record must outlive the dialog.
    void SetRequest(ConfigChoiceRequest* request) { m_request = request; }

    bool OnInitDialog() override;
    void OnCommand(std::int32_t id) override;

    const std::string& GetHelpText() const { return m_helpText; }
    const std::string& GetStatusText() const { return m_statusText; }
    const std::string& GetWarningText() const { return m_warningText; }

private:
    void Choose(std::int32_t index, const char* status);
    void MoveTextsToScreen();

    ConfigChoiceRequest* m_request = nullptr;
    std::string m_helpText;
    std::string m_statusText;
    std::string m_warningText;
};
