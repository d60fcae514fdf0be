// Runs top-level dialogs natively (the application object's way in).
#pragma once

#include "ui/DialogView.h"

#include <windows.h>

class Win32DialogView;

class Win32DialogRunner : public DialogRunner {
public:
    explicit Win32DialogRunner(HINSTANCE instance);

    int RunModal(const DialogTemplate& dialogTemplate, DialogPresenter& presenter) override;
    // A box of its own, without an owner window (the program refusing to start).
    void ShowMessageBox(const char* text, const char* caption) override;
    // The top-level view running right now (null outside RunModal).
    Win32DialogView* Current() const { return m_current; }

private:
    HINSTANCE m_instance;
    Win32DialogView* m_current = nullptr;
};
