#include "app/TavelinApp.h"

#include "app/TavelinDlg.h"

#include <memory>

bool CTavelinApp::InitInstance(DialogRunner& runner)
{
    // The window holds 120 readout items and its texts: too big for a comfortable stack frame.
    auto dialog = std::make_unique<CTavelinDlg>();
    runner.RunModal(CTavelinDlg::Template(), *dialog);
    dialog.reset();
    return false;
}
