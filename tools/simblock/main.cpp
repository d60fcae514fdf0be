// simblock: attaches to the simulator's shared block through KQ_P_0001_02_Shm,
// exactly as another program of the simulator installation would, and shows
// it, watches it or stands in for the simulator's gear and park-brake flags.
// It detaches on every way out, Ctrl-C and SIGTERM included, and keeps its
// attachment through a block shrunk or renamed under it (KeptAttachment). It
// is also both halves of the bridge that lets a simulator under Wine share
// the block.
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "support/CloseRequest.h"
#include "support/Console.h"
#include "support/WineBridge.h"
#include "tools/simblock/BlockReport.h"
#include "tools/simblock/KeptAttachment.h"
#include "tools/simblock/NetCommands.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace GSB = GenericSimBlock;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitNoBlock = 2;
constexpr int kExitUsage = 64;

constexpr const char* kUsage
    = "usage: simblock [--open-only] [--name NAME] COMMAND\n"
      "  show                          the whole block as text\n"
      "  json                          the same as JSON\n"
      "  watch [--hz N] [--count N]    outputs and button bytes, N times a second (default 10), N samples (default: "
      "until stopped)\n"
      "  set gear down|up              both gear lever flags 1 / 0 (an existing block only)\n"
      "  set parkbrake on|off          both park brake flags 1 / 0 (an existing block only)\n"
      "  echo [--count N]              answers each odd number written to the word at 2040 with the next one, N "
      "times (default 1000); for latency figures on a block of its own\n"
#ifdef _WIN32
      "  wine-bridge [--stop]          under Wine: makes NAME in this prefix a mapping of the native\n"
      "                                /dev/shm/NAME (start it before the simulator); --stop ends it\n"
#else
      "  wine-bridge --prefix DIR [--exe PATH]\n"
      "                                holds the block and runs simblock.exe wine-bridge under wine in DIR, so\n"
      "                                a simulator there shares it (PATH: simblock.exe; default: beside this\n"
      "                                program, else build/win/tools/simblock/ beside this build)\n"
#endif
      "  --open-only                   never create the block; exit 2 when there is none\n"
      "  --name NAME                   mapping name (default: TAVELIN_SHM_NAME or GenericSimSharedMemory)\n"
      "  --help, --version             this text; the version\n";

volatile std::sig_atomic_t g_signal = 0;

extern "C" void OnSignal(int signalNumber)
{
    g_signal = signalNumber;
    // Ends a wait for the block's lock as well.
    CloseRequest::Note();
}

void InstallSignalHandlers()
{
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
#ifdef SIGHUP
    std::signal(SIGHUP, OnSignal);
#endif
#ifdef SIGPIPE
    // A closed pipe shows as a failed write, so the loop ends and detaches.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

struct Options {
    bool openOnly = false;
    // What asked for an existing block: "--open-only", or the command that needs one.
    std::string openOnlyBy;
    std::string name;
    std::vector<std::string> words; // the command and its own arguments
    long hz = 10;
    long count = 0;
    bool countGiven = false;
    std::string prefix;
    std::string exe;
    bool stop = false;
};

// The section address entry that nobody writes: the echo's word.
constexpr std::size_t kEchoWord = GSB::kSectionAddressOffset + 4 * GSB::kUnwrittenSectionAddress;

bool ParseNumber(const std::string& text, long lowest, long highest, long& value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0' || parsed < lowest || parsed > highest) {
        return false;
    }
    value = parsed;
    return true;
}

bool Usage(const char* problem)
{
    std::fprintf(stderr, "simblock: %s\n%s%s", problem, kUsage, NetCommands::Usage());
    return false;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (word == "--open-only") {
            options.openOnly = true;
            options.openOnlyBy = word;
        } else if (word == "--name") {
            if (!hasValue || std::string(argv[i + 1]).empty()) {
                return Usage("--name needs a mapping name");
            }
            options.name = argv[++i];
        } else if (word == "--hz") {
            if (!hasValue || !ParseNumber(argv[++i], 1, 1000, options.hz)) {
                return Usage("--hz needs a whole number from 1 to 1000");
            }
        } else if (word == "--count") {
            if (!hasValue || !ParseNumber(argv[++i], 0, 1000000000L, options.count)) {
                return Usage("--count needs a whole number, 0 for no limit");
            }
            options.countGiven = true;
        } else if (word == "--prefix" || word == "--exe") {
            if (!hasValue || std::string(argv[i + 1]).empty()) {
                return Usage((word + " needs a path").c_str());
            }
            (word == "--prefix" ? options.prefix : options.exe) = argv[++i];
        } else if (word == "--stop") {
            options.stop = true;
        } else if (word == "--help" || word == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(NetCommands::Usage(), stdout);
            std::exit(std::fflush(stdout) == 0 ? 0 : kExitFailure);
        } else if (word == "--version") {
            std::fputs("simblock " TAVELIN_VERSION "\n", stdout);
            std::exit(std::fflush(stdout) == 0 ? 0 : kExitFailure);
        } else if (word.rfind("--", 0) == 0) {
            return Usage(("unknown option " + word).c_str());
        } else {
            options.words.push_back(word);
        }
    }
    if (options.words.empty()) {
        return Usage("no command given");
    }
    const std::string& command = options.words[0];
    if (command == "wine-bridge") {
        if (options.words.size() != 1) {
            return Usage("too many arguments for wine-bridge");
        }
#ifdef _WIN32
        if (!options.prefix.empty() || !options.exe.empty()) {
            return Usage("simblock.exe wine-bridge runs inside the prefix; --prefix and --exe belong to the native "
                         "simblock");
        }
#else
        if (options.prefix.empty()) {
            return Usage("wine-bridge needs --prefix DIR, the simulator's Wine prefix");
        }
        if (options.stop) {
            return Usage("--stop belongs to simblock.exe; end the native bridge with a signal");
        }
#endif
        return true;
    }
    if (!options.prefix.empty() || !options.exe.empty() || options.stop) {
        return Usage("--prefix, --exe and --stop belong to wine-bridge");
    }
    if (command == "echo") {
        if (options.words.size() != 1) {
            return Usage("too many arguments for echo");
        }
        if (!options.countGiven) {
            options.count = 1000;
        }
        // The answers are for a block that somebody else made.
        options.openOnly = true;
        options.openOnlyBy = command;
        return true;
    }
    if (command == "show" || command == "json" || command == "watch") {
        if (options.words.size() != 1) {
            return Usage(("too many arguments for " + command).c_str());
        }
        return true;
    }
    if (command == "set") {
        if (options.words.size() != 3) {
            return Usage("set needs a flag and a value: set gear down|up, set parkbrake on|off");
        }
        const std::string& flag = options.words[1];
        const std::string& value = options.words[2];
        const bool gear = flag == "gear" && (value == "down" || value == "up");
        const bool parkBrake = flag == "parkbrake" && (value == "on" || value == "off");
        if (!gear && !parkBrake) {
            return Usage(("cannot set " + flag + " " + value).c_str());
        }
        // A flag in a block that nobody else holds would vanish with simblock.
        options.openOnly = true;
        options.openOnlyBy = command;
        return true;
    }
    return Usage(("unknown command " + command).c_str());
}

bool Print(const std::string& text)
{
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

// Waits until `deadline`, or less when a signal asks to stop.
void WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    constexpr auto kSlice = std::chrono::milliseconds(20);
    while (g_signal == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return;
        }
        std::this_thread::sleep_for(deadline - now < kSlice ? deadline - now : kSlice);
    }
}

int Watch(KQ_P_0001_02_Shm& shm, const Options& options)
{
    const bool inPlace = Console::OutputIsTerminal();
    if (!Print(BlockReport::WatchHeading() + "\n")) {
        return kExitFailure;
    }
    KeptAttachment kept(shm);
    const auto period = std::chrono::microseconds(1000000 / options.hz);
    auto next = std::chrono::steady_clock::now();
    for (long sample = 0; g_signal == 0 && (options.count == 0 || sample < options.count);) {
        // Without the block (attaching it again failed) there is nothing to show, and the sample is not counted.
        if (kept.Keep()) {
            // On a terminal the line is rewritten where it stands; elsewhere each sample is a line of its own.
            const std::string line = BlockReport::WatchLine(shm.GetBlock());
            if (!kept.BrokeDuringUse()) {
                if (!Print(inPlace ? "\r" + line : line + "\n")) {
                    return kExitFailure;
                }
                ++sample;
            }
        }
        next += period;
        if (options.count == 0 || sample < options.count) {
            WaitUntil(next);
        }
    }
    if (inPlace) {
        Print("\n");
    }
    return 0;
}

int Set(KQ_P_0001_02_Shm& shm, const Options& options)
{
    const bool gear = options.words[1] == "gear";
    const std::uint8_t value = options.words[2] == "down" || options.words[2] == "on" ? 1 : 0;
    KeptAttachment kept(shm);
    do {
        if (!shm.IsReady()) {
            return kExitFailure; // the line that says why is out
        }
        GSB::StoreByte(shm.GetBlock(), gear ? GSB::kGearFlag1 : GSB::kParkBrakeFlag1, value);
        GSB::StoreByte(shm.GetBlock(), gear ? GSB::kGearFlag2 : GSB::kParkBrakeFlag2, value);
    } while (kept.BrokeDuringUse());
    Print(std::string(gear ? "gear lever" : "park brake") + " flags set to " + std::to_string(value) + " ("
        + options.words[2] + ")\n");
    return 0;
}

// Answers every odd number in the echo word with the next even one, as fast
// as it can see them: the other side times the round trips.
int Echo(KQ_P_0001_02_Shm& shm, const Options& options)
{
    // The attachment keeps its address when it attaches again.
    auto* field = reinterpret_cast<std::uint32_t*>(static_cast<unsigned char*>(shm.GetBlock()) + kEchoWord);
    std::atomic_ref<std::uint32_t> word(*field);
    KeptAttachment kept(shm);
    constexpr auto kPatience = std::chrono::seconds(10);
    // A question asked before the echo was listening is answered as well.
    std::uint32_t last = 0;
    for (long answered = 0; options.count == 0 || answered < options.count; ++answered) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        std::uint32_t seen = last;
        for (long spin = 0; (seen = word.load()) == last || (seen & 1U) == 0; ++spin) {
            if (g_signal != 0) {
                return 128 + g_signal;
            }
            if (spin > 2000) {
                kept.Keep();
                if (std::chrono::steady_clock::now() >= deadline) {
                    std::fprintf(stderr, "simblock: echo: nothing to answer for 10 s after %ld answers\n", answered);
                    return kExitFailure;
                }
                std::this_thread::yield();
            }
        }
        word.store(seen + 1);
        last = seen + 1;
    }
    return 0;
}

int BridgeHalf(const Options& options, const std::string& name)
{
#ifdef _WIN32
    // Never attached: the count of the block is the native half's business.
    return WineBridge::RunWindowsHalf(name, options.stop);
#else
    // Created when Tavelin has not made it yet: the Wine side needs an object to map.
    KQ_P_0001_02_Shm shm(name.c_str(), false);
    if (!shm.IsReady()) {
        std::fprintf(stderr, "simblock: cannot attach to the shared block \"%s\":\n%s\n", name.c_str(),
            shm.FullErrorText().c_str());
        return kExitFailure;
    }
    return WineBridge::RunNativeHalf({ name, options.prefix, options.exe });
#endif
}

int Run(const Options& options)
{
    const std::string name = options.name.empty() ? KQ_P_0001_02_Shm::DefaultMappingName() : options.name;
    if (options.words[0] == "wine-bridge") {
        return BridgeHalf(options, name);
    }
    KQ_P_0001_02_Shm shm(name.c_str(), options.openOnly);
    if (!shm.IsReady()) {
        if (options.openOnly && shm.NameMissing()) {
            std::fprintf(stderr, "simblock: no shared block \"%s\" exists, and simblock %s creates none\n",
                name.c_str(), options.openOnlyBy.c_str());
            return kExitNoBlock;
        }
        std::fprintf(stderr, "simblock: cannot attach to the shared block \"%s\":\n%s\n", name.c_str(),
            shm.FullErrorText().c_str());
        return kExitFailure;
    }
    const std::string& command = options.words[0];
    int status = 0;
    if (command == "show" || command == "json") {
        // A report taken while the block broke is taken again from the block attached again.
        KeptAttachment kept(shm);
        std::string text;
        do {
            if (!shm.IsReady()) {
                return kExitFailure;
            }
            text = command == "show" ? BlockReport::ShowText(shm.GetBlock(), name.c_str())
                                     : BlockReport::JsonText(shm.GetBlock(), name.c_str());
        } while (kept.BrokeDuringUse());
        status = Print(text) ? 0 : kExitFailure;
    } else if (command == "watch") {
        status = Watch(shm, options);
    } else if (command == "echo") {
        status = Echo(shm, options);
    } else {
        status = Set(shm, options);
    }
    return g_signal != 0 ? 128 + g_signal : status;
}

} // namespace

int main(int argc, char** argv)
{
    InstallSignalHandlers();
    if (NetCommands::Wanted(argc, argv)) {
        return NetCommands::Run(argc, argv);
    }
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return kExitUsage;
    }
    // The attachment lives inside Run, so every return detaches.
    return Run(options);
}
