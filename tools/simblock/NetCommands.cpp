// simblock net-receive: the simulator's computer's end of the network link.
// It takes the block's publisher lock as Tavelin does (so neither starts
// while the other publishes into that block), attaches to or creates the
// block as simblock always does, and writes what the sender publishes into
// it until a signal ends it, releasing the controls on the way out.
// simblock net-keys: makes and checks a cockpit's key set.
#include "tools/simblock/NetCommands.h"

#include "mapping/KQ_P_0001_02_Shm.h"
#include "mapping/LinkValues.h"
#include "mapping/PublisherLock.h"
#include "net/KeySet.h"
#include "net/NetworkReceiver.h"
#include "net/NetworkSettings.h"
#include "tools/simblock/KeptAttachment.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace NetCommands {

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitLinkUnusable = 8;
constexpr int kExitPublisherElsewhere = 9;
constexpr int kExitUsage = 64;
constexpr auto kStep = std::chrono::milliseconds(10);

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int signalNumber)
{
    g_stop = signalNumber;
}

int UsageError(const std::string& problem)
{
    std::fprintf(stderr, "simblock: %s\nusage:\n%s", problem.c_str(), Usage());
    return kExitUsage;
}

// The words that are not options; --name's value in `name`, the network's in `overrides`.
bool Parse(int argc, char** argv, std::vector<std::string>& words, std::string& name, NetworkOverrides& overrides,
    std::string& problem)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--name") {
            if (i + 1 >= argc || *argv[i + 1] == '\0') {
                problem = "--name needs a mapping name";
                return false;
            }
            name = argv[++i];
            continue;
        }
        const NetworkOption taken = TakeNetworkOption(argc, argv, i, overrides, problem);
        if (taken == NetworkOption::Bad) {
            return false;
        }
        if (taken == NetworkOption::Taken) {
            if (word == "--net") {
                problem = "--net is Tavelin's; net-receive is always on";
                return false;
            }
            continue;
        }
        if (word.rfind("--", 0) == 0) {
            problem = "unknown option " + word + " for " + (words.empty() ? std::string("this command") : words[0]);
            return false;
        }
        words.push_back(word);
    }
    return true;
}

void PrintLines(NetworkReceiver& receiver)
{
    std::string line;
    while (receiver.TakeLine(line)) {
        std::fprintf(stderr, "simblock net-receive: %s\n", line.c_str());
    }
}

int Receive(const std::string& name, const NetworkSettings& settings)
{
    PublisherLock publisher(name.c_str());
    if (!publisher.Acquire()) {
        if (publisher.HeldElsewhere()) {
            std::fprintf(stderr,
                "simblock: another program publishes into the shared block \"%s\" (a Tavelin or another "
                "net-receive); net-receive does not start\n",
                name.c_str());
            return kExitPublisherElsewhere;
        }
        std::fprintf(stderr, "simblock: %s\n", publisher.FullErrorText().c_str());
        return kExitFailure;
    }
    KQ_P_0001_02_Shm shm(name.c_str(), false);
    if (!shm.IsReady()) {
        std::fprintf(stderr, "simblock: cannot attach to the shared block \"%s\":\n%s\n", name.c_str(),
            shm.FullErrorText().c_str());
        return kExitFailure;
    }
    NetworkReceiver receiver(shm.GetBlock());
    if (!receiver.Start(settings)) {
        std::fprintf(stderr, "simblock: net-receive: %s\n", receiver.FullErrorText().c_str());
        return kExitLinkUnusable;
    }
    PrintLines(receiver);
    // The block is kept as Tavelin's publisher keeps its own: shrunk, its name
    // removed or replaced, it is attached again at the same address, and the
    // receiver puts its set-up back.
    KeptAttachment kept(shm, ReleaseControlOutputs);
    while (g_stop == 0) {
        receiver.WaitForActivity(kStep);
        receiver.KeepBlock([&kept] {
            const unsigned before = kept.Attachments();
            kept.Keep();
            return kept.Attachments() != before;
        });
        receiver.Step();
        PrintLines(receiver);
    }
    receiver.Stop();
    const NetworkReceiver::Counts counts = receiver.GetCounts();
    std::fprintf(stderr,
        "simblock net-receive: stopped; the controls are released (%llu samples written, %llu dropped)\n",
        static_cast<unsigned long long>(counts.written),
        static_cast<unsigned long long>(counts.outOfOrder + counts.beyondLimits + counts.otherSender));
    return 128 + g_stop;
}

int Keys(const std::vector<std::string>& words)
{
    if (words.size() != 3 || (words[1] != "make" && words[1] != "check")) {
        return UsageError("net-keys needs make DIR or check DIR");
    }
    const std::string& folder = words[2];
    if (words[1] == "make") {
        std::string error;
        if (!KeySet::Make(folder, error)) {
            std::fprintf(stderr, "simblock: net-keys make: %s\n", error.c_str());
            return kExitFailure;
        }
        std::printf("simblock: made the cockpit's keys in %s; copy the whole folder to the other computer and give "
                    "both sides --net-keys %s\n",
            folder.c_str(), folder.c_str());
        return 0;
    }
    const std::vector<std::string> faults = KeySet::Check(folder, std::nullopt);
    if (faults.empty()) {
        std::printf("simblock: %s: the keys are usable by the sender and the receiver\n", folder.c_str());
        return 0;
    }
    for (const std::string& fault : faults) {
        std::fprintf(stderr, "simblock: %s\n", fault.c_str());
    }
    return kExitLinkUnusable;
}

} // namespace

const char* Usage()
{
    return "  net-receive [--net-domain N] [--net-peer HOST]... [--net-keys DIR] [--net-interface NAME]\n"
           "                                the simulator's end of the network link: writes what Tavelin on\n"
           "                                another computer publishes into the block (created if missing),\n"
           "                                releases the controls when it is lost, sends the simulator flags back\n"
           "  net-keys make DIR             makes a cockpit's key set (OpenSSL) in DIR\n"
           "  net-keys check DIR            says what is wrong with the key set in DIR\n";
}

bool Wanted(int argc, char** argv)
{
    static const char* const withValue[] = { "--name", "--hz", "--count", "--prefix", "--exe", "--net-domain",
        "--net-peer", "--net-keys", "--net-interface" };
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h" || word == "--version") {
            return false; // simblock's own answer, whatever the command
        }
    }
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        bool takesValue = false;
        for (const char* option : withValue) {
            takesValue = takesValue || word == option;
        }
        if (takesValue) {
            ++i;
            continue;
        }
        if (word.rfind("--", 0) == 0) {
            continue;
        }
        return word == "net-receive" || word == "net-keys";
    }
    return false;
}

int Run(int argc, char** argv)
{
    std::vector<std::string> words;
    std::string name;
    NetworkOverrides overrides;
    std::string problem;
    if (!Parse(argc, argv, words, name, overrides, problem)) {
        return UsageError(problem);
    }
    if (words.empty()) {
        return UsageError("no command given");
    }
    if (words[0] == "net-keys") {
        if (!name.empty() || overrides.domain || !overrides.peers.empty() || overrides.keys
            || overrides.interfaceName) {
            return UsageError("net-keys takes no --name or --net-... options");
        }
        return Keys(words);
    }
    if (words.size() != 1) {
        return UsageError("too many arguments for net-receive");
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
#ifdef SIGHUP
    std::signal(SIGHUP, OnStopSignal);
#endif
    NetworkSettings settings;
    settings.enabled = true;
    overrides.ApplyTo(settings);
    return Receive(name.empty() ? KQ_P_0001_02_Shm::DefaultMappingName() : name, settings);
}

} // namespace NetCommands
