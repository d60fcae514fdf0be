// TuningDialogs: the main window's set-up dialogs for the tuning values
// beyond the sensitivity spins: the dead bands (edited on a copy, stored on
// OK), the thrust levers (edited live in the block, so the cycle running
// behind the dialog uses every step at once) and the response curves (on a
// copy, handed to the joystick set on OK).
#pragma once

#include "app/MainWindowServices.h"
#include "mapping/SetUp.h"

class TuningDialogs {
public:
    TuningDialogs(MainWindowServices& window, const BlockSetUp& block);
    TuningDialogs(const TuningDialogs&) = delete;
    TuningDialogs& operator=(const TuningDialogs&) = delete;

    // Nothing without the window's view of the block.
    void OnSetDeadBands();
    void OnThrustLeverData();
    // The curves are edited on a copy and handed to the joystick set on OK.
    void OnResponseCurves();

private:
    MainWindowServices& m_window;
    const BlockSetUp& m_block;
};
