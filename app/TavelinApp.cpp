#include "app/TavelinApp.h"

#include "app/MessageEcho.h"
#include "app/TavelinDlg.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "mapping/PublisherLock.h"

#include <memory>
#include <string>

namespace {

constexpr const char* kCaption = "CTavelinApp::InitInstance";

} // namespace

bool CTavelinApp::InitInstance(DialogRunner& runner)
{
    m_exitCode = 0;
    // Decided before anything attaches: a second copy would reload its
    // configuration into the block under the first one's window.
    PublisherLock publisher(KQ_P_0001_02_Shm::DefaultMappingName());
    if (!publisher.Acquire()) {
        const std::string text = publisher.HeldElsewhere() ? "Another Tavelin publishes into the shared block \""
                + publisher.MappingName() + "\".\nThis one does not start."
                                                           : std::string(publisher.GetErrorText());
        MessageEcho::Print(kCaption, text.c_str());
        runner.ShowMessageBox(text.c_str(), kCaption);
        m_exitCode = 1;
        return false;
    }

    // The window holds 120 readout items and its texts: too big for a comfortable stack frame.
    auto dialog = std::make_unique<CTavelinDlg>();
    dialog->ConfigureNetwork(m_networkOverrides, m_networkFactory);
    runner.RunModal(CTavelinDlg::Template(), *dialog);
    dialog.reset();
    return false;
}
