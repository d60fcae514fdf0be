// CAboutDlg: the About box (template 100); nothing beyond closing with OK.
#pragma once

#include "ui/DialogView.h"

class CAboutDlg : public DialogPresenter {
public:
    CAboutDlg() = default;
    static const DialogTemplate& Template() { return AboutDialogTemplate(); }
};
