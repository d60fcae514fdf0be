// Indicators: what the main window shows of the cockpit's state and of the
// loaded set-up: the side-stick lamp, the button and switch lamps, the gear
// and park-brake lamps and messages, the eye-point text, and the warning list
// with its lamp (red only for a described warning; Tavelin's own notes are
// listed and leave it green). Each lamp is sent only when its picture changes.
#pragma once

#include "app/ScreenTexts.h"
#include "mapping/Assignments.h"
#include "mapping/ControlProcessor.h"
#include "mapping/SetUp.h"
#include "ui/DialogView.h"

class JoystickSet;

class Indicators {
public:
    Indicators(const SwitchPanelState& panel, const BlockSetUp& block);
    Indicators(const Indicators&) = delete;
    Indicators& operator=(const Indicators&) = delete;

    void Bind(DialogView* view) { m_view = view; }

    // The A/P and A/T lamps grey, as the button rows are first set up.
    void ButtonLampsOff();
    void ResetSideStick() { m_sideStickLit = false; }
    bool SideStickLit() const { return m_sideStickLit; }

    // Every cycle, shown or not: what lasts one cycle only (the side stick
    // leaving or entering its dead band, a gear or park-brake press).
    void TakeCycle();
    // A frame: the side-stick lamp once it changed (with the block only), the
    // button and switch lamps (the gear and park brake's included), the
    // eye-point text.
    void RefreshSideStick();
    void RefreshButtonLamps();
    void RefreshEyeText();

    // The warning list: its columns and no rows.
    void PrepareWarningList();
    void ClearWarningList();
    // Adds the set's lines above what the list holds (each also a line on
    // standard error) and sets the lamp; an empty list is emptied.
    void ShowWarnings(const JoystickSet& set);

    void SendTexts();

private:
    enum TextIndex { TextGearMessage, TextParkBrakeMessage, TextEyePoint, kTextCount };
    // A lamp and the picture it was last sent (none before the first).
    struct LampState {
        std::int32_t id = 0;
        bool everSent = false;
        LampPicture sent = LampPicture::Off;
    };
    enum LampIndex { LampSideStick = kCockpitButtonCount, LampWarningList, kLampCount };

    void SetLamp(int lampIndex, LampPicture picture);
    void EchoNewWarnings() const;

    const SwitchPanelState& m_panel;
    const BlockSetUp& m_block;
    DialogView* m_view = nullptr;
    LampState m_lamps[kLampCount];
    ScreenTexts<kTextCount> m_texts;
    bool m_sideStickLit = false;
    bool m_sideStickPending = false;
    LampPicture m_sideStickPicture = LampPicture::Off;
    WarningList m_warningCopy = {};
};
