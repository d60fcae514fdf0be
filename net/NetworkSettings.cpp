// Network.ini and the network's command-line options. The file is small
// and written by the program; anything it does not understand is refused
// with the line and the reason, never guessed at.
#include "net/NetworkSettings.h"

#include "support/Paths.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

constexpr const char* kWhere = "NetworkSettingsFile::Parse";
constexpr const char* kLoadWhere = "NetworkSettingsFile::Load";
constexpr const char* kSaveWhere = "NetworkSettingsFile::Save";
constexpr const char* kSection = "NETWORK";
constexpr std::size_t kLongestValue = 1024;

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

bool ParseDomain(std::string_view text, int& domain)
{
    int value = -1;
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size() || text.empty() || value < 0
        || value > NetworkSettings::kHighestDomain) {
        return false;
    }
    domain = value;
    return true;
}

const char* DomainRule()
{
    return "a whole number from 0 to 232";
}

bool HasBlank(std::string_view text)
{
    return text.find_first_of(" \t") != std::string_view::npos;
}

// A peer is a host name or address, optionally with ":port": no blanks, no
// characters that a configuration text would have to escape.
bool PlausiblePeer(std::string_view peer)
{
    if (peer.empty() || peer.size() > 255 || HasBlank(peer)) {
        return false;
    }
    for (const char c : peer) {
        if (static_cast<unsigned char>(c) < 0x21 || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'') {
            return false;
        }
    }
    return true;
}

bool PlausibleInterface(std::string_view name)
{
    if (name.empty() || name.size() > 64) {
        return false;
    }
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.'
            || c == '-' || c == '_' || c == ':' || c == '@';
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::string Quoted(std::string_view text)
{
    std::string quoted(1, '"');
    quoted.append(text.substr(0, 80));
    quoted.append(text.size() > 80 ? "...\"" : "\"");
    return quoted;
}

} // namespace

void NetworkOverrides::ApplyTo(NetworkSettings& settings) const
{
    if (enable) {
        settings.enabled = true;
    }
    if (domain) {
        settings.domain = *domain;
    }
    if (!peers.empty()) {
        settings.peers = peers;
    }
    if (keys) {
        settings.keys = *keys;
    }
    if (interfaceName) {
        settings.interfaceName = *interfaceName;
    }
}

bool NetworkSettingsFile::Load(const std::string& path, NetworkSettings& settings)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::FILE* probe = std::fopen(path.c_str(), "rb");
        if (probe == nullptr && errno == ENOENT) {
            return true; // no file: the link stays as it is (off by default)
        }
        if (probe != nullptr) {
            std::fclose(probe);
        }
        ReportError(kLoadWhere, "Network.ini cannot be read", path.c_str());
        return false;
    }
    std::string text;
    char chunk[4096];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kLargestFile) {
            ReportError(kLoadWhere, "Network.ini is larger than 64 KiB: it is no settings file", path.c_str());
            return false;
        }
    }
    if (file.bad()) {
        ReportError(kLoadWhere, "Network.ini cannot be read", path.c_str());
        return false;
    }
    if (!Parse(text, settings)) {
        ReportError(kLoadWhere, FullErrorText().c_str(), path.c_str());
        return false;
    }
    return true;
}

bool NetworkSettingsFile::Parse(std::string_view text, NetworkSettings& settings)
{
    if (text.find('\0') != std::string_view::npos) {
        ReportError(kWhere, "Network.ini holds binary data: it is no settings file");
        return false;
    }
    NetworkSettings parsed;
    bool inSection = false;
    bool sawSection = false;
    bool sawAnySection = false;
    bool seenEnabled = false;
    bool seenDomain = false;
    bool seenKeys = false;
    bool seenInterface = false;
    int lineNumber = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = Trimmed(text.substr(at, end - at));
        at = end + 1;
        ++lineNumber;
        const auto fail = [&](const std::string& what) {
            ReportError(kWhere, ("Network.ini line " + std::to_string(lineNumber) + ": " + what).c_str());
            return false;
        };
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return fail("a section name must end with ]: " + Quoted(line));
            }
            inSection = Upper(Trimmed(line.substr(1, line.size() - 2))) == kSection;
            sawSection = sawSection || inSection;
            sawAnySection = true;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return fail(Quoted(line) + " is neither a section, a KEY = value line nor a comment");
        }
        if (!sawAnySection) {
            return fail("a key before the [NETWORK] section: " + Quoted(line));
        }
        if (!inSection) {
            continue; // another section: not the link's business
        }
        const std::string key = Upper(Trimmed(line.substr(0, equals)));
        const std::string_view value = Trimmed(line.substr(equals + 1));
        if (value.size() > kLongestValue) {
            return fail(key + " is longer than 1024 characters");
        }
        if (key == "ENABLED") {
            if (seenEnabled) {
                return fail("ENABLED is given twice");
            }
            if (value != "0" && value != "1") {
                return fail("ENABLED must be 0 (off) or 1 (on), not " + Quoted(value));
            }
            parsed.enabled = value == "1";
            seenEnabled = true;
        } else if (key == "DOMAIN") {
            if (seenDomain) {
                return fail("DOMAIN is given twice");
            }
            if (!ParseDomain(value, parsed.domain)) {
                return fail(std::string("DOMAIN must be ") + DomainRule() + ", not " + Quoted(value));
            }
            seenDomain = true;
        } else if (key == "PEER") {
            if (!PlausiblePeer(value)) {
                return fail("PEER must be one host name or address (optionally with :port), not " + Quoted(value));
            }
            if (parsed.peers.size() >= NetworkSettings::kMostPeers) {
                return fail("more than 32 PEER lines");
            }
            parsed.peers.emplace_back(value);
        } else if (key == "KEYS") {
            if (seenKeys) {
                return fail("KEYS is given twice");
            }
            parsed.keys = std::string(value);
            seenKeys = true;
        } else if (key == "INTERFACE") {
            if (seenInterface) {
                return fail("INTERFACE is given twice");
            }
            if (!value.empty() && !PlausibleInterface(value)) {
                return fail("INTERFACE must be a network interface's name, not " + Quoted(value));
            }
            parsed.interfaceName = std::string(value);
            seenInterface = true;
        } else {
            return fail("unknown key " + Quoted(key) + " (ENABLED, DOMAIN, PEER, KEYS, INTERFACE)");
        }
    }
    if (!sawSection) {
        ReportError(kWhere, "Network.ini has no [NETWORK] section");
        return false;
    }
    settings = parsed;
    return true;
}

bool NetworkSettingsFile::Save(const std::string& path, const NetworkSettings& settings)
{
    const std::string target = Paths::ResolveLinks(path);
    const std::size_t slash = target.find_last_of("/\\");
    if (slash != std::string::npos && slash > 0 && !Paths::CreateFolders(target.substr(0, slash))) {
        ReportError(
            kSaveWhere, "Network.ini cannot be saved: its folder cannot be made", target.substr(0, slash).c_str());
        return false;
    }
    const std::string text = Format(settings, Paths::NativeLineEnd());
    std::string temporary;
    std::string reason;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < 100 && file == nullptr; ++attempt) {
        temporary = target + ".tmp" + (attempt == 0 ? std::string() : std::to_string(attempt));
        file = Paths::CreateNewFile(temporary, reason);
    }
    if (file == nullptr) {
        ReportError(kSaveWhere, ("Network.ini cannot be saved: " + reason).c_str(), temporary.c_str());
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool flushed = std::fflush(file) == 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !flushed || !closed) {
        std::remove(temporary.c_str());
        ReportError(kSaveWhere, "Network.ini cannot be saved: writing it failed (is the disk full?)", target.c_str());
        return false;
    }
    if (!Paths::ReplaceExistingFile(temporary, target, reason)) {
        std::remove(temporary.c_str());
        ReportError(kSaveWhere, ("Network.ini cannot be saved: " + reason).c_str(), target.c_str());
        return false;
    }
    return true;
}

std::string NetworkSettingsFile::Format(const NetworkSettings& settings, const char* lineEnd)
{
    std::string text = "[NETWORK]";
    text += lineEnd;
    text += std::string("ENABLED = ") + (settings.enabled ? "1" : "0") + lineEnd;
    text += "DOMAIN = " + std::to_string(settings.domain) + lineEnd;
    for (const std::string& peer : settings.peers) {
        text += "PEER = " + peer + lineEnd;
    }
    if (!settings.keys.empty()) {
        text += "KEYS = " + settings.keys + lineEnd;
    }
    if (!settings.interfaceName.empty()) {
        text += "INTERFACE = " + settings.interfaceName + lineEnd;
    }
    return text;
}

NetworkOption TakeNetworkOption(int argc, char** argv, int& index, NetworkOverrides& overrides, std::string& error)
{
    const std::string_view word = argv[index];
    if (word == "--net") {
        overrides.enable = true;
        return NetworkOption::Taken;
    }
    if (word != "--net-domain" && word != "--net-peer" && word != "--net-keys" && word != "--net-interface") {
        return NetworkOption::NotNetwork;
    }
    if (index + 1 >= argc || *argv[index + 1] == '\0') {
        error = std::string(word) + " needs a value";
        return NetworkOption::Bad;
    }
    const std::string_view value = argv[++index];
    if (word == "--net-domain") {
        int domain = 0;
        if (!ParseDomain(value, domain)) {
            error = std::string("--net-domain needs ") + DomainRule() + ", not " + Quoted(value);
            return NetworkOption::Bad;
        }
        overrides.domain = domain;
    } else if (word == "--net-peer") {
        if (!PlausiblePeer(value)) {
            error = "--net-peer needs one host name or address (optionally with :port), not " + Quoted(value);
            return NetworkOption::Bad;
        }
        if (overrides.peers.size() >= NetworkSettings::kMostPeers) {
            error = "more than 32 --net-peer options";
            return NetworkOption::Bad;
        }
        overrides.peers.emplace_back(value);
    } else if (word == "--net-keys") {
        overrides.keys = std::string(value);
    } else {
        if (!PlausibleInterface(value)) {
            error = "--net-interface needs a network interface's name, not " + Quoted(value);
            return NetworkOption::Bad;
        }
        overrides.interfaceName = std::string(value);
    }
    return NetworkOption::Taken;
}

bool TakeNetworkOptions(const CommandLine& commandLine, NetworkOverrides& overrides, std::string& error)
{
    std::vector<std::string> words;
    for (const auto& [name, value] : commandLine.Given()) {
        for (const CommandLineOption& row : kNetworkOptionRows) {
            if (name == row.name) {
                words.push_back(name);
                if (row.value != nullptr) {
                    words.push_back(value);
                }
            }
        }
    }
    std::vector<char*> argv(1, nullptr);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    const int argc = static_cast<int>(argv.size());
    for (int i = 1; i < argc; ++i) {
        if (TakeNetworkOption(argc, argv.data(), i, overrides, error) != NetworkOption::Taken) {
            return false;
        }
    }
    return true;
}

bool CheckNetworkSettings(const NetworkSettings& settings, std::string& error)
{
    if (settings.domain < 0 || settings.domain > NetworkSettings::kHighestDomain) {
        error = "the domain " + std::to_string(settings.domain) + " is outside 0 to 232";
        return false;
    }
    if (!settings.keys.empty() && settings.domain > NetworkSettings::kHighestSecuredDomain) {
        error = "the domain " + std::to_string(settings.domain)
            + " cannot be secured: DDS Security's documents name the domains 0 to 230 only";
        return false;
    }
    if (settings.peers.size() > NetworkSettings::kMostPeers) {
        error = "more than 32 peers";
        return false;
    }
    for (const std::string& peer : settings.peers) {
        if (!PlausiblePeer(peer)) {
            error = "the peer " + Quoted(peer) + " is no host name or address";
            return false;
        }
    }
    if (!settings.interfaceName.empty() && !PlausibleInterface(settings.interfaceName)) {
        error = "the interface " + Quoted(settings.interfaceName) + " is no interface name";
        return false;
    }
    return true;
}

const char* NetworkOptionsUsage()
{
    return "  --net-domain N                the cockpit's domain number, 0 to 232 (default 0)\n"
           "  --net-peer HOST               a peer to find the other side at (repeatable; default: multicast)\n"
           "  --net-keys DIR                the key folder (simblock net-keys make DIR): authenticated,\n"
           "                                encrypted, nobody else heard; without it anybody can publish\n"
           "  --net-interface NAME          the network interface to use (default: the engine's choice)\n";
}
