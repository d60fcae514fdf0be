// A cockpit's keys for DDS Security: one certificate authority that signs
// both identities and both documents, made by `simblock net-keys make DIR`
// and copied whole to the other computer, which takes its own identity from it:
//   DIR/ca.pem, DIR/ca-key.pem       the cockpit's certificate authority
//   DIR/governance.p7s               what is protected (signed by the CA)
//   DIR/permissions.p7s              who may publish and read what (signed by the CA)
//   DIR/sender/cert.pem, key.pem     Tavelin's identity
//   DIR/receiver/cert.pem, key.pem   the receiver's identity
// Made and checked with OpenSSL (platform/cyclonedds); builds without the
// network engine have neither.
#pragma once

#include "net/LinkTransport.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace KeySet {

struct Files {
    std::string ca;
    std::string caKey;
    std::string governance;
    std::string permissions;
    std::string certificate; // the role's own identity
    std::string privateKey;
};

// "sender" or "receiver": the identity's folder and its certificate's common name.
inline const char* IdentityName(LinkRole role)
{
    return role == LinkRole::Sender ? "sender" : "receiver";
}

inline Files FilesOf(const std::string& folder, LinkRole role)
{
    namespace fs = std::filesystem;
    const fs::path base(folder);
    const fs::path identity = base / IdentityName(role);
    return { (base / "ca.pem").string(), (base / "ca-key.pem").string(), (base / "governance.p7s").string(),
        (base / "permissions.p7s").string(), (identity / "cert.pem").string(), (identity / "key.pem").string() };
}

struct MakeOptions {
    // Validity of everything made, counted from now (tests make expired sets).
    int firstDay = -1;
    int lastDay = 3650;
    // Only the sender's certificate (and grant) ends here instead, when set.
    std::optional<int> senderLastDay;
};

// Makes the whole set in `folder` (created 0700 when missing; an existing
// folder must hold none of the set's files). False with the reason.
bool Make(const std::string& folder, std::string& error);
bool Make(const std::string& folder, const MakeOptions& options, std::string& error);

// What is wrong with the folder, one line per fault (missing, unreadable,
// not a certificate, expired, signed by another CA, a key that does not fit
// its certificate, documents not signed by the CA or naming other identities);
// empty: usable. `role` limits it to that side's identity.
std::vector<std::string> Check(const std::string& folder, std::optional<LinkRole> role);

} // namespace KeySet
