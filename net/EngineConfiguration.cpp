#include "net/EngineConfiguration.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace EngineConfiguration {

namespace {

// Long enough that a busy computer never loses its peer, short enough that a
// vanished one is forgotten (and a restarted one matched) within seconds.
constexpr const char* kParticipantLease = "2 s";

std::string FileUri(const std::string& path)
{
    return "file:" + Escaped(path);
}

constexpr const char* kLoopback = "lo";

// "localhost", 127.0.0.0/8 or ::1, with or without a port.
bool LoopbackPeer(std::string_view peer)
{
    if (peer.rfind("[::1]", 0) == 0 || peer == "::1") {
        return true;
    }
    const std::string_view host = peer.substr(0, peer.find(':'));
    return host == "localhost" || host.rfind("127.", 0) == 0;
}

} // namespace

bool LoopbackOnly()
{
    const char* value = std::getenv("TAVELIN_NET_LOOPBACK_ONLY");
    return value != nullptr && value[0] != '\0' && std::string_view(value) != "0";
}

bool InNetworkNamespaceOfItsOwn()
{
    const std::filesystem::path own = "/proc/self/ns/net";
    std::error_code error;
    // The namespaces that `ip netns` made are named in /run/netns: this process's is one of them.
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", error)) {
        std::error_code unequal;
        if (std::filesystem::equivalent(own, entry.path(), unequal) && !unequal) {
            return true;
        }
    }
    // Or it is another than the first process's, where that one can be seen.
    std::error_code mineError;
    std::error_code firstError;
    const std::filesystem::path mine = std::filesystem::read_symlink(own, mineError);
    const std::filesystem::path first = std::filesystem::read_symlink("/proc/1/ns/net", firstError);
    // Not known is not proven: only a namespace seen to differ counts.
    return !mineError && !firstError && !mine.empty() && mine != first;
}

bool Confine(NetworkSettings& settings, std::string& error)
{
    if (!LoopbackOnly() || InNetworkNamespaceOfItsOwn()) {
        return true;
    }
    if (!settings.interfaceName.empty() && settings.interfaceName != kLoopback) {
        error = "TAVELIN_NET_LOOPBACK_ONLY is set: outside a network namespace of its own the link uses the "
                "loopback interface only, not \""
            + settings.interfaceName + "\"";
        return false;
    }
    for (const std::string& peer : settings.peers) {
        if (!LoopbackPeer(peer)) {
            error = "TAVELIN_NET_LOOPBACK_ONLY is set: outside a network namespace of its own the link reaches "
                    "loopback addresses only, not the peer \""
                + peer + "\"";
            return false;
        }
    }
    settings.interfaceName = kLoopback;
    return true;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Text(const NetworkSettings& settings, const KeySet::Files* keys)
{
    std::string xml = "<CycloneDDS><Domain id=\"any\"><General>";
    if (!settings.interfaceName.empty()) {
        xml += "<Interfaces><NetworkInterface name=\"" + Escaped(settings.interfaceName) + "\"/></Interfaces>";
    }
    if (!settings.peers.empty()) {
        // Peers are for networks without multicast: then nothing is multicast at all.
        xml += "<AllowMulticast>false</AllowMulticast>";
    } else {
        // Multicast finds the other side; the samples then go to each matched
        // reader alone, so no tick's sample comes back to this computer's own
        // receive thread or reaches computers that do not read it.
        xml += "<AllowMulticast>spdp</AllowMulticast>";
    }
    xml += "</General><Discovery>";
    // Fixed port numbers per participant, which discovery through peers needs.
    xml += "<ParticipantIndex>auto</ParticipantIndex>";
    xml += std::string("<LeaseDuration>") + kParticipantLease + "</LeaseDuration>";
    if (!settings.peers.empty()) {
        xml += "<Peers>";
        for (const std::string& peer : settings.peers) {
            xml += "<Peer Address=\"" + Escaped(peer) + "\"/>";
        }
        xml += "</Peers>";
    }
    xml += "</Discovery>";
    // No trace: the engine's warnings and errors reach the program through its
    // log sink (the transport), and no file is written.
    xml += "<Tracing><Verbosity>none</Verbosity></Tracing>";
    if (keys != nullptr) {
        xml += "<Security><Authentication>";
        xml += "<IdentityCertificate>" + FileUri(keys->certificate) + "</IdentityCertificate>";
        xml += "<IdentityCA>" + FileUri(keys->ca) + "</IdentityCA>";
        xml += "<PrivateKey>" + FileUri(keys->privateKey) + "</PrivateKey>";
        xml += "</Authentication><AccessControl>";
        xml += "<Governance>" + FileUri(keys->governance) + "</Governance>";
        xml += "<PermissionsCA>" + FileUri(keys->ca) + "</PermissionsCA>";
        xml += "<Permissions>" + FileUri(keys->permissions) + "</Permissions>";
        xml += "</AccessControl><Cryptographic/></Security>";
    }
    xml += "</Domain></CycloneDDS>";
    return xml;
}

} // namespace EngineConfiguration
