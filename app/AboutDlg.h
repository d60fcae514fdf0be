// CAboutDlg: the About box (template 100): the program, and whether this
// build has the network link; nothing beyond closing with OK.
#pragma once

#include "ui/DialogView.h"

#include <cstdint>

class CAboutDlg : public DialogPresenter {
public:
    static constexpr std::int32_t kNetworkText = 1410;

    CAboutDlg() = default;
    static const DialogTemplate& Template() { return AboutDialogTemplate(); }

    bool OnInitDialog() override;
};
