#include "app/TavelinApp.h"

#include "app/TavelinDlg.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "mapping/PublisherLock.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr const char* kCaption = "CTavelinApp::InitInstance";

// The box's text as one line, for standard error.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

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
        std::fprintf(stderr, "%s: %s\n", kCaption, OneLine(text).c_str());
        std::fflush(stderr);
        runner.ShowMessageBox(text.c_str(), kCaption);
        m_exitCode = 1;
        return false;
    }

    // The window holds 120 readout items and its texts: too big for a comfortable stack frame.
    auto dialog = std::make_unique<CTavelinDlg>();
    runner.RunModal(CTavelinDlg::Template(), *dialog);
    dialog.reset();
    return false;
}
