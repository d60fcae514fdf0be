// The sending side as the program runs it, without a window: the publisher
// lock, the joysticks (TAVELIN_VIRTUAL_JOYSTICKS in the tests), the
// processing into the block every 8 ms and, in the same tick, the network
// link's seam. Network.ini from the configuration folder, overridden by the
// --net options, as the program does. It prints the link's notes and state
// changes to standard error, and ends on SIGTERM, SIGINT or SIGHUP (or after
// --ticks N) the way the program does: the link sends a released stick, the
// controls are released and the block let go.
#include "devices/JoystickSet.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "mapping/PublisherLock.h"
#include "net/NetworkLink.h"
#include "net/NetworkSettings.h"
#include "support/Paths.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnSignal(int signalNumber)
{
    g_stop = signalNumber;
}

void PrintNotes(NetworkLink& link, LinkState& shown)
{
    char note[NetworkLink::kNoteLength];
    while (link.TakeNote(note, sizeof note)) {
        std::fprintf(stderr, "note: %s\n", note);
    }
    const LinkState state = link.State();
    if (state.status != shown.status) {
        shown = state;
        std::fprintf(stderr, "state: %s\n", LinkStateText(state).c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
#ifdef SIGHUP
    std::signal(SIGHUP, OnSignal);
#endif
    NetworkOverrides overrides;
    long ticks = 0;
    for (int i = 1; i < argc; ++i) {
        std::string problem;
        const NetworkOption option = TakeNetworkOption(argc, argv, i, overrides, problem);
        if (option == NetworkOption::Bad) {
            std::fprintf(stderr, "net_sender: %s\n", problem.c_str());
            return 64;
        }
        if (option == NetworkOption::NotNetwork) {
            if (std::string(argv[i]) == "--ticks" && i + 1 < argc) {
                ticks = std::strtol(argv[++i], nullptr, 10);
            } else {
                std::fprintf(stderr, "net_sender: unknown option %s\n", argv[i]);
                return 64;
            }
        }
    }
    NetworkSettings settings;
    NetworkSettingsFile file;
    if (!file.Load(Paths::ConfigurationFolder() + Paths::Separator() + NetworkSettingsFile::kFileName, settings)) {
        std::fprintf(stderr, "net_sender: %s\n", file.FullErrorText().c_str());
        return 3;
    }
    overrides.ApplyTo(settings);

    PublisherLock publisher(KQ_P_0001_02_Shm::DefaultMappingName());
    if (!publisher.Acquire()) {
        std::fprintf(stderr, "net_sender: another Tavelin publishes into the shared block \"%s\"\n",
            publisher.MappingName().c_str());
        return 4;
    }
    JoystickSet joysticks;
    SwitchPanelState switchPanel = {};
    if (!joysticks.Initialise(Paths::ConfigurationFile(0).c_str())) {
        std::fprintf(stderr, "net_sender: %s\n", joysticks.GetLastErrorText());
        return 1;
    }
    joysticks.SetSwitchPanel(&switchPanel);
    if (!joysticks.CreateDevices(nullptr, nullptr)) {
        std::fprintf(stderr, "net_sender: %s\n", joysticks.GetLastErrorText());
    }
    joysticks.PublishSlotNames();

    NetworkLink link;
    if (!link.Start(settings)) {
        std::fprintf(stderr, "net_sender: %s\n", link.FullErrorText().c_str());
        return 3;
    }
    std::fprintf(stderr, "net_sender: publishing%s\n", settings.enabled ? " with the network on" : "");
    LinkState shown;
    constexpr auto kTick = std::chrono::milliseconds(8);
    auto next = std::chrono::steady_clock::now();
    for (long tick = 0; g_stop == 0 && (ticks == 0 || tick < ticks); ++tick) {
        joysticks.PollAll(0.01);
        link.OnTickPublished(joysticks.GetBlock());
        PrintNotes(link, shown);
        next += kTick;
        std::this_thread::sleep_until(next);
    }
    link.Stop();
    PrintNotes(link, shown);
    joysticks.ReleaseControls();
    std::fprintf(stderr, "net_sender: stopped\n");
    return 0;
}
