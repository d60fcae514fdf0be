#include "platform/posix/SignalBridge.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = { -1, -1 };

extern "C" void OnTerminationSignal(int signal)
{
    // Only async-signal-safe work here: the note for waits outside the event
    // loop, and one byte, the signal number, for the loop.
    const int saved = errno;
    CloseRequest::Note();
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (g_pipe[1] >= 0) {
        [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    }
    errno = saved;
}

} // namespace

std::unique_ptr<CloseRequestSource> CloseRequestSource::Create()
{
    return std::make_unique<SignalBridge>();
}

SignalBridge::SignalBridge()
{
    if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A closed terminal (SIGHUP) ends the program the same orderly way.
    m_installed = sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0
        && sigaction(SIGHUP, &action, nullptr) == 0;
}

SignalBridge::~SignalBridge()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

int SignalBridge::Descriptor() const
{
    return g_pipe[0];
}

bool SignalBridge::TakeRequests()
{
    bool any = false;
    unsigned char byte = 0;
    while (g_pipe[0] >= 0 && read(g_pipe[0], &byte, 1) == 1) {
        any = true;
    }
    return any;
}
