// The cockpit's key set with OpenSSL 3 (libcrypto): EC P-256 keys, X.509 v3
// certificates signed by the set's own authority, and the governance and
// permissions documents signed by it as S/MIME text (what `openssl smime
// -sign -text` writes), which DDS Security's built-in plugins read.
// Subject names carry no blanks, since the access control plugin compares
// the permissions' subject names with the certificates' token by token.
// Limits: no certificate revocation lists, no passphrase on the keys (the
// folder and the key files are 0700 / 0600).
#include "net/KeySet.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace KeySet {

namespace {

// DDS Security's documents name domains up to 230 only.
constexpr int kHighestDomain = 230;

template <class T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using Signed = std::unique_ptr<PKCS7, Deleter<PKCS7, PKCS7_free>>;
using Store = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using StoreContext = std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX, X509_STORE_CTX_free>>;

std::string OpenSslError()
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return "no reason given";
    }
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

std::string RandomTag()
{
    std::array<unsigned char, 4> bytes {};
    RAND_bytes(bytes.data(), static_cast<int>(bytes.size()));
    char text[9];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

Key NewKey()
{
    return Key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
}

bool AddName(X509_NAME* name, const char* field, const std::string& value)
{
    return X509_NAME_add_entry_by_txt(
               name, field, MBSTRING_ASC, reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1, 0)
        == 1;
}

bool AddExtension(X509* certificate, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    if (extension == nullptr) {
        return false;
    }
    const bool added = X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// A certificate for `key` named CN=commonName,O=organisation; signed by
// `issuerKey` as `issuer`, or by itself (the authority) when issuer is null.
Certificate NewCertificate(EVP_PKEY* key, const std::string& commonName, const std::string& organisation, X509* issuer,
    EVP_PKEY* issuerKey, int firstDay, int lastDay)
{
    Certificate certificate(X509_new());
    if (!certificate) {
        return nullptr;
    }
    X509* x = certificate.get();
    std::uint64_t serial = 0;
    RAND_bytes(reinterpret_cast<unsigned char*>(&serial), sizeof serial);
    serial &= 0x7FFFFFFFFFFFFFFFULL;
    X509_set_version(x, 2);
    ASN1_INTEGER_set_uint64(X509_get_serialNumber(x), serial | 1);
    X509_time_adj_ex(X509_getm_notBefore(x), firstDay, 0, nullptr);
    X509_time_adj_ex(X509_getm_notAfter(x), lastDay, 0, nullptr);
    X509_set_pubkey(x, key);
    X509_NAME* name = X509_get_subject_name(x);
    if (!AddName(name, "O", organisation) || !AddName(name, "CN", commonName)) {
        return nullptr;
    }
    X509_set_issuer_name(x, issuer != nullptr ? X509_get_subject_name(issuer) : name);
    X509* signer = issuer != nullptr ? issuer : x;
    const bool extended
        = AddExtension(x, signer, NID_basic_constraints, issuer != nullptr ? "CA:FALSE" : "critical,CA:TRUE")
        && AddExtension(x, signer, NID_subject_key_identifier, "hash")
        && AddExtension(x, signer, NID_authority_key_identifier, "keyid:always");
    if (!extended || X509_sign(x, issuerKey != nullptr ? issuerKey : key, EVP_sha256()) <= 0) {
        return nullptr;
    }
    return certificate;
}

// The subject as RFC 2253 writes it ("CN=sender,O=Tavelin-1a2b3c4d"), which is
// how the access control plugin reads a certificate's name.
std::string SubjectText(X509* certificate)
{
    Bio bio(BIO_new(BIO_s_mem()));
    X509_NAME_print_ex(bio.get(), X509_get_subject_name(certificate), 0, XN_FLAG_RFC2253);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::string IsoDay(int dayFromNow)
{
    const std::time_t when = std::time(nullptr) + static_cast<std::time_t>(dayFromNow) * 86400;
    std::tm parts {};
    gmtime_r(&when, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    return text;
}

std::string DomainRange()
{
    return "<domains><id_range><min>0</min><max>" + std::to_string(kHighestDomain) + "</max></id_range></domains>";
}

std::string GovernanceDocument()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<dds xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:noNamespaceSchemaLocation=\"http://www.omg.org/spec/DDS-SECURITY/20170901/"
           "omg_shared_ca_governance.xsd\">\n"
           "  <domain_access_rules>\n"
           "    <domain_rule>\n"
           "      "
        + DomainRange()
        + "\n"
          "      <allow_unauthenticated_participants>false</allow_unauthenticated_participants>\n"
          "      <enable_join_access_control>true</enable_join_access_control>\n"
          "      <discovery_protection_kind>ENCRYPT</discovery_protection_kind>\n"
          "      <liveliness_protection_kind>ENCRYPT</liveliness_protection_kind>\n"
          "      <rtps_protection_kind>NONE</rtps_protection_kind>\n"
          "      <topic_access_rules>\n"
          "        <topic_rule>\n"
          "          <topic_expression>*</topic_expression>\n"
          "          <enable_discovery_protection>true</enable_discovery_protection>\n"
          "          <enable_liveliness_protection>true</enable_liveliness_protection>\n"
          "          <enable_read_access_control>true</enable_read_access_control>\n"
          "          <enable_write_access_control>true</enable_write_access_control>\n"
          "          <metadata_protection_kind>ENCRYPT</metadata_protection_kind>\n"
          "          <data_protection_kind>ENCRYPT</data_protection_kind>\n"
          "        </topic_rule>\n"
          "      </topic_access_rules>\n"
          "    </domain_rule>\n"
          "  </domain_access_rules>\n"
          "</dds>\n";
}

std::string Topics(std::initializer_list<const char*> names)
{
    std::string text = "<topics>";
    for (const char* name : names) {
        text += std::string("<topic>") + name + "</topic>";
    }
    return text + "</topics>";
}

// The sender publishes the controls and the set-up and reads the flags; the
// receiver the other way round. Nothing else is allowed.
std::string Grant(const char* name, const std::string& subject, int firstDay, int lastDay, bool sender)
{
    const std::string published = sender ? Topics({ "Controls", "SetUp" }) : Topics({ "SimulatorFlags" });
    const std::string read = sender ? Topics({ "SimulatorFlags" }) : Topics({ "Controls", "SetUp" });
    return std::string("    <grant name=\"") + name + "\">\n      <subject_name>" + subject
        + "</subject_name>\n      <validity><not_before>" + IsoDay(firstDay) + "</not_before><not_after>"
        + IsoDay(lastDay) + "</not_after></validity>\n      <allow_rule>\n        " + DomainRange()
        + "\n        <publish>" + published + "</publish>\n        <subscribe>" + read
        + "</subscribe>\n      </allow_rule>\n      <default>DENY</default>\n    </grant>\n";
}

bool WriteText(const fs::path& path, const std::string& text, fs::perms mode, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (file == nullptr) {
        error = path.string() + ": cannot be created";
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        error = path.string() + ": cannot be written";
        return false;
    }
    std::error_code ignored;
    fs::permissions(path, mode, ignored);
    return true;
}

std::string BioText(BIO* bio)
{
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::string CertificatePem(X509* certificate)
{
    Bio bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_X509(bio.get(), certificate);
    return BioText(bio.get());
}

std::string KeyPem(EVP_PKEY* key)
{
    Bio bio(BIO_new(BIO_s_mem()));
    PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    return BioText(bio.get());
}

// The document signed by the authority as detached S/MIME text.
bool SignedDocument(const std::string& document, X509* ca, EVP_PKEY* caKey, std::string& out)
{
    const int flags = PKCS7_DETACHED | PKCS7_TEXT;
    Bio input(BIO_new_mem_buf(document.data(), static_cast<int>(document.size())));
    Signed signature(PKCS7_sign(ca, caKey, nullptr, input.get(), flags));
    if (!signature) {
        return false;
    }
    Bio again(BIO_new_mem_buf(document.data(), static_cast<int>(document.size())));
    Bio output(BIO_new(BIO_s_mem()));
    if (SMIME_write_PKCS7(output.get(), signature.get(), again.get(), flags) != 1) {
        return false;
    }
    out = BioText(output.get());
    return true;
}

struct Identity {
    Key key;
    Certificate certificate;
};

} // namespace

bool Make(const std::string& folder, std::string& error)
{
    return Make(folder, MakeOptions {}, error);
}

bool Make(const std::string& folder, const MakeOptions& options, std::string& error)
{
    std::error_code status;
    const fs::path base(folder);
    if (folder.empty()) {
        error = "no folder given";
        return false;
    }
    if (fs::exists(base, status) && !fs::is_directory(base, status)) {
        error = folder + " exists and is not a folder";
        return false;
    }
    const Files sender = FilesOf(folder, LinkRole::Sender);
    const Files receiver = FilesOf(folder, LinkRole::Receiver);
    for (const std::string& file : { sender.ca, sender.caKey, sender.governance, sender.permissions, sender.certificate,
             sender.privateKey, receiver.certificate, receiver.privateKey }) {
        if (fs::exists(fs::symlink_status(file, status))) {
            error = file + " exists already: net-keys make never replaces keys (remove the folder's keys first)";
            return false;
        }
    }
    for (const fs::path& made : { base, base / "sender", base / "receiver" }) {
        fs::create_directories(made, status);
        if (!fs::is_directory(made, status)) {
            error = made.string() + ": cannot be created (" + status.message() + ")";
            return false;
        }
        fs::permissions(made, fs::perms::owner_all, status);
    }

    const std::string organisation = "Tavelin-" + RandomTag();
    const int senderLastDay = options.senderLastDay.value_or(options.lastDay);
    Key caKey = NewKey();
    Certificate ca = caKey
        ? NewCertificate(caKey.get(), "TavelinCA", organisation, nullptr, nullptr, options.firstDay, options.lastDay)
        : nullptr;
    Identity identities[2];
    for (int i = 0; i < 2 && ca; ++i) {
        identities[i].key = NewKey();
        if (identities[i].key) {
            identities[i].certificate = NewCertificate(identities[i].key.get(), i == 0 ? "sender" : "receiver",
                organisation, ca.get(), caKey.get(), options.firstDay, i == 0 ? senderLastDay : options.lastDay);
        }
    }
    if (!ca || !identities[0].certificate || !identities[1].certificate) {
        error = "OpenSSL could not make the keys: " + OpenSslError();
        return false;
    }
    const std::string permissions = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                    "<dds xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                                    "xsi:noNamespaceSchemaLocation=\"http://www.omg.org/spec/DDS-SECURITY/20170901/"
                                    "omg_shared_ca_permissions.xsd\">\n  <permissions>\n"
        + Grant("sender", SubjectText(identities[0].certificate.get()), options.firstDay, senderLastDay, true)
        + Grant("receiver", SubjectText(identities[1].certificate.get()), options.firstDay, options.lastDay, false)
        + "  </permissions>\n</dds>\n";
    std::string governanceSigned;
    std::string permissionsSigned;
    if (!SignedDocument(GovernanceDocument(), ca.get(), caKey.get(), governanceSigned)
        || !SignedDocument(permissions, ca.get(), caKey.get(), permissionsSigned)) {
        error = "OpenSSL could not sign the documents: " + OpenSslError();
        return false;
    }
    const fs::perms shared = fs::perms::owner_read | fs::perms::owner_write;
    return WriteText(sender.ca, CertificatePem(ca.get()), shared, error)
        && WriteText(sender.caKey, KeyPem(caKey.get()), shared, error)
        && WriteText(sender.governance, governanceSigned, shared, error)
        && WriteText(sender.permissions, permissionsSigned, shared, error)
        && WriteText(sender.certificate, CertificatePem(identities[0].certificate.get()), shared, error)
        && WriteText(sender.privateKey, KeyPem(identities[0].key.get()), shared, error)
        && WriteText(receiver.certificate, CertificatePem(identities[1].certificate.get()), shared, error)
        && WriteText(receiver.privateKey, KeyPem(identities[1].key.get()), shared, error);
}

namespace {

class Checker {
public:
    explicit Checker(const std::string& folder)
        : m_folder(folder)
    {
    }

    std::vector<std::string> Run(std::optional<LinkRole> role)
    {
        std::error_code status;
        if (!fs::exists(m_folder, status)) {
            return { m_folder + ": no such key folder (make one with simblock net-keys make " + m_folder + ")" };
        }
        if (!fs::is_directory(m_folder, status)) {
            return { m_folder + ": is not a folder" };
        }
        const Files files = FilesOf(m_folder, LinkRole::Sender);
        Certificate ca = ReadCertificate(files.ca, "ca.pem");
        if (ca) {
            CheckDates(ca.get(), "ca.pem");
        }
        std::vector<std::string> subjects;
        for (const LinkRole each : { LinkRole::Sender, LinkRole::Receiver }) {
            if (role && *role != each) {
                continue;
            }
            const Files own = FilesOf(m_folder, each);
            const std::string name = IdentityName(each);
            Certificate certificate = ReadCertificate(own.certificate, name + "/cert.pem");
            Key key = ReadKey(own.privateKey, name + "/key.pem");
            if (certificate) {
                CheckDates(certificate.get(), name + "/cert.pem");
                if (ca) {
                    CheckIssuer(certificate.get(), ca.get(), name + "/cert.pem");
                }
                if (key && X509_check_private_key(certificate.get(), key.get()) != 1) {
                    ERR_clear_error();
                    Fault(name + "/key.pem is not the key of " + name + "/cert.pem");
                }
                subjects.push_back(SubjectText(certificate.get()));
            }
        }
        if (ca) {
            CheckDocument(files.governance, "governance.p7s", ca.get(), {});
            CheckDocument(files.permissions, "permissions.p7s", ca.get(), subjects);
        }
        return m_faults;
    }

private:
    void Fault(const std::string& text) { m_faults.push_back(m_folder + ": " + text); }

    bool Readable(const std::string& path, const std::string& label)
    {
        std::error_code status;
        if (!fs::exists(fs::symlink_status(path, status))) {
            Fault(label + " is missing");
            return false;
        }
        if (!fs::is_regular_file(path, status)) {
            Fault(label + " is not a file");
            return false;
        }
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) {
            Fault(label + " cannot be read (" + std::error_code(errno, std::generic_category()).message() + ")");
            return false;
        }
        std::fclose(file);
        return true;
    }

    Certificate ReadCertificate(const std::string& path, const std::string& label)
    {
        if (!Readable(path, label)) {
            return nullptr;
        }
        Bio bio(BIO_new_file(path.c_str(), "rb"));
        Certificate certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
        if (!certificate) {
            ERR_clear_error();
            Fault(label + " holds no PEM certificate");
        }
        return certificate;
    }

    Key ReadKey(const std::string& path, const std::string& label)
    {
        if (!Readable(path, label)) {
            return nullptr;
        }
        Bio bio(BIO_new_file(path.c_str(), "rb"));
        Key key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
        if (!key) {
            ERR_clear_error();
            Fault(label + " holds no PEM private key (or one with a passphrase)");
        }
        return key;
    }

    static std::string Date(const ASN1_TIME* time)
    {
        std::tm parts {};
        if (ASN1_TIME_to_tm(time, &parts) != 1) {
            return "an unreadable date";
        }
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
        return text;
    }

    void CheckDates(X509* certificate, const std::string& label)
    {
        if (X509_cmp_current_time(X509_get0_notAfter(certificate)) <= 0) {
            Fault(label + " expired on " + Date(X509_get0_notAfter(certificate)));
        }
        if (X509_cmp_current_time(X509_get0_notBefore(certificate)) > 0) {
            Fault(label + " is not valid before " + Date(X509_get0_notBefore(certificate)));
        }
    }

    void CheckIssuer(X509* certificate, X509* ca, const std::string& label)
    {
        Store store(X509_STORE_new());
        StoreContext context(X509_STORE_CTX_new());
        X509_STORE_add_cert(store.get(), ca);
        X509_STORE_CTX_init(context.get(), store.get(), certificate, nullptr);
        // Dates are reported on their own; here only who signed it counts.
        X509_STORE_CTX_set_flags(context.get(), X509_V_FLAG_NO_CHECK_TIME);
        if (X509_verify_cert(context.get()) != 1) {
            const int code = X509_STORE_CTX_get_error(context.get());
            ERR_clear_error();
            if (code == X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY || code == X509_V_ERR_CERT_SIGNATURE_FAILURE
                || code == X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT || code == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT) {
                Fault(label + " is signed by another authority than ca.pem (another cockpit's keys?)");
            } else {
                Fault(label + " does not verify against ca.pem: " + X509_verify_cert_error_string(code));
            }
        }
    }

    void CheckDocument(
        const std::string& path, const std::string& label, X509* ca, const std::vector<std::string>& subjects)
    {
        if (!Readable(path, label)) {
            return;
        }
        Bio input(BIO_new_file(path.c_str(), "rb"));
        BIO* content = nullptr;
        Signed signature(input ? SMIME_read_PKCS7(input.get(), &content) : nullptr);
        Bio contentOwner(content);
        if (!signature) {
            ERR_clear_error();
            Fault(label + " is no S/MIME signed document");
            return;
        }
        Store store(X509_STORE_new());
        X509_STORE_add_cert(store.get(), ca);
        Bio output(BIO_new(BIO_s_mem()));
        if (PKCS7_verify(signature.get(), nullptr, store.get(), content, output.get(), PKCS7_TEXT) != 1) {
            ERR_clear_error();
            Fault(label + " is not signed by ca.pem (another cockpit's document?)");
            return;
        }
        const std::string document = BioText(output.get());
        for (const std::string& subject : subjects) {
            if (document.find("<subject_name>" + subject + "</subject_name>") == std::string::npos) {
                Fault(label + " grants nothing to " + subject);
            }
        }
        if (!subjects.empty()) {
            CheckGrantDates(document, label);
        }
    }

    void CheckGrantDates(const std::string& document, const std::string& label)
    {
        const std::string now = IsoDay(0);
        for (std::size_t at = document.find("<not_after>"); at != std::string::npos;
             at = document.find("<not_after>", at + 1)) {
            const std::string until = document.substr(at + 11, 19);
            if (until < now) {
                Fault(label + " holds a grant that ended on " + until.substr(0, 10));
            }
        }
    }

    std::string m_folder;
    std::vector<std::string> m_faults;
};

} // namespace

std::vector<std::string> Check(const std::string& folder, std::optional<LinkRole> role)
{
    return Checker(folder).Run(role);
}

} // namespace KeySet
