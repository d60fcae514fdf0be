// What the network link is set to: on or off, the cockpit's domain number,
// peers for networks without multicast, the key folder and the interface to
// use. Kept in Network.ini in the configuration folder ([NETWORK]: ENABLED,
// DOMAIN, PEER (repeatable), KEYS, INTERFACE); the command-line options
// --net, --net-domain, --net-peer, --net-keys and --net-interface override it.
#pragma once

#include "support/CommandLine.h"
#include "support/KQ_ErrorReport.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct NetworkSettings {
    static constexpr int kHighestDomain = 232; // the highest the engine's port numbering leaves room for
    static constexpr int kHighestSecuredDomain = 230; // what DDS Security's documents can name
    static constexpr std::size_t kMostPeers = 32;

    bool enabled = false;
    int domain = 0;
    std::vector<std::string> peers; // host names or addresses; none: discovery by multicast
    std::string keys; // the key folder (simblock net-keys make); empty: no security
    std::string interfaceName; // empty: the engine's own choice

    bool operator==(const NetworkSettings&) const = default;
};

// What the command line says; each given item replaces the file's (the peers
// as a whole).
struct NetworkOverrides {
    bool enable = false; // --net
    std::optional<int> domain;
    std::vector<std::string> peers;
    std::optional<std::string> keys;
    std::optional<std::string> interfaceName;

    void ApplyTo(NetworkSettings& settings) const;
};

// Network.ini: read, checked and written as text. Errors name the file's
// line and what is wrong with it.
class NetworkSettingsFile : public KQ_ErrorReport {
public:
    static constexpr const char* kFileName = "Network.ini";
    static constexpr std::size_t kLargestFile = 64 * 1024;

    // A missing file is the default settings (off); one that cannot be read or
    // parsed fails, and `settings` are left as they were.
    bool Load(const std::string& path, NetworkSettings& settings);
    bool Parse(std::string_view text, NetworkSettings& settings);
    // Writes the settings to `path` (its folder made when missing) the way
    // every file of the program is saved: a new file beside it, synced and
    // moved over the old one, so a reader sees the old file or the whole new
    // one. On failure the old file is as it was.
    bool Save(const std::string& path, const NetworkSettings& settings);
    // The file's text for the settings, lines ending in `lineEnd`.
    static std::string Format(const NetworkSettings& settings, const char* lineEnd = "\n");
};

// One command-line option at argv[index], if it is one of the network's: it
// and its value are taken (index is left on the last one taken). Bad: the
// option's value is missing or wrong; `error` says so.
enum class NetworkOption { NotNetwork, Taken, Bad };
NetworkOption TakeNetworkOption(int argc, char** argv, int& index, NetworkOverrides& overrides, std::string& error);

// The domain, peers and interface as checked values: false with the reason.
bool CheckNetworkSettings(const NetworkSettings& settings, std::string& error);
// The options' usage lines, for a program's usage text.
const char* NetworkOptionsUsage();

// The options as rows of a program's option table (support/CommandLine.h),
// for a program that reads its command line through one.
inline constexpr CommandLineOption kNetworkOptionRows[] = {
    { "--net", nullptr, nullptr,
        "send the controls to a simulator on another computer too (Network.ini's settings, with these options over "
        "them)" },
    { "--net-domain", nullptr, "N", "the cockpit's domain number, 0 to 232 (default 0)" },
    { "--net-peer", nullptr, "HOST",
        "a computer to find the simulator's at, for networks without multicast (repeatable)" },
    { "--net-keys", nullptr, "DIR", "the key folder (simblock net-keys make DIR); without it anybody can publish" },
    { "--net-interface", nullptr, "NAME", "the network interface to use (default: the engine's choice)" },
};
// The network's options among what a CommandLine read, checked as
// TakeNetworkOption checks them, into `overrides`: false with the reason.
bool TakeNetworkOptions(const CommandLine& commandLine, NetworkOverrides& overrides, std::string& error);
