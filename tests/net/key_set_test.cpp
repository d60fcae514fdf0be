// The cockpit's key set: made whole, never made over existing keys, and
// every kind of fault named by check (missing, unreadable, no certificate,
// expired, another cockpit's, a key that does not fit).
#include "net/KeySet.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class KeySetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_top = fs::temp_directory_path()
            / ("tavelin-keys-" + std::to_string(ShmTestOs::ProcessId()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_top);
        fs::create_directories(m_top);
    }
    void TearDown() override { fs::remove_all(m_top); }

    std::string Made(const char* name, const KeySet::MakeOptions& options = {})
    {
        const std::string folder = (m_top / name).string();
        std::string error;
        EXPECT_TRUE(KeySet::Make(folder, options, error)) << error;
        return folder;
    }

    static std::string Faults(const std::string& folder, std::optional<LinkRole> role = std::nullopt)
    {
        std::string text;
        for (const std::string& fault : KeySet::Check(folder, role)) {
            text += fault + "\n";
        }
        return text;
    }

    static void Write(const std::string& path, const char* text)
    {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fputs(text, out);
        std::fclose(out);
    }

    fs::path m_top;
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(KeySetTest, AMadeSetIsWholePrivateAndNeverMadeAgainOverItself)
{
    const std::string folder = Made("cockpit");
    EXPECT_EQ(Faults(folder), "");
    const KeySet::Files sender = KeySet::FilesOf(folder, LinkRole::Sender);
    const KeySet::Files receiver = KeySet::FilesOf(folder, LinkRole::Receiver);
    for (const std::string& file : { sender.ca, sender.caKey, sender.governance, sender.permissions, sender.certificate,
             sender.privateKey, receiver.certificate, receiver.privateKey }) {
        ASSERT_TRUE(fs::is_regular_file(file)) << file;
        EXPECT_EQ(fs::status(file).permissions() & (fs::perms::group_all | fs::perms::others_all), fs::perms::none)
            << file;
    }
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::others_all, fs::perms::none);
    const std::string permissions = ShmTestOs::ReadWholeFile(sender.permissions);
    EXPECT_TRUE(Contains(permissions, "Content-Type: text/plain")) << "signed as S/MIME text";
    EXPECT_TRUE(Contains(permissions, "<subject_name>CN=sender,O=Tavelin-")) << permissions;
    EXPECT_FALSE(Contains(permissions, "CN=sender, O=")) << "no blanks in subject names";

    const std::string before = ShmTestOs::ReadWholeFile(sender.caKey);
    std::string error;
    EXPECT_FALSE(KeySet::Make(folder, error));
    EXPECT_TRUE(Contains(error, "never replaces keys")) << error;
    EXPECT_EQ(ShmTestOs::ReadWholeFile(sender.caKey), before);

    Write((m_top / "plain-file").string(), "x");
    EXPECT_FALSE(KeySet::Make((m_top / "plain-file").string(), error));
    EXPECT_TRUE(Contains(error, "is not a folder")) << error;
}

TEST_F(KeySetTest, CheckNamesMissingAndUnreadableFiles)
{
    EXPECT_TRUE(Contains(Faults((m_top / "nothing").string()), "no such key folder"));
    const std::string folder = Made("cockpit");
    const KeySet::Files receiver = KeySet::FilesOf(folder, LinkRole::Receiver);
    fs::remove(receiver.privateKey);
    fs::remove(KeySet::FilesOf(folder, LinkRole::Sender).governance);
    std::string faults = Faults(folder);
    EXPECT_TRUE(Contains(faults, "receiver/key.pem is missing")) << faults;
    EXPECT_TRUE(Contains(faults, "governance.p7s is missing")) << faults;
    EXPECT_FALSE(Contains(Faults(folder, LinkRole::Sender), "receiver/")) << "the sender needs only its own identity";

    fs::remove(receiver.certificate);
    fs::create_directories(receiver.certificate);
    Write(KeySet::FilesOf(folder, LinkRole::Sender).certificate, "not a certificate\n");
    faults = Faults(folder);
    EXPECT_TRUE(Contains(faults, "receiver/cert.pem is not a file")) << faults;
    EXPECT_TRUE(Contains(faults, "sender/cert.pem holds no PEM certificate")) << faults;
    if (geteuid() != 0) {
        fs::permissions(KeySet::FilesOf(folder, LinkRole::Sender).ca, fs::perms::none);
        EXPECT_TRUE(Contains(Faults(folder), "ca.pem cannot be read"));
    }
}

TEST_F(KeySetTest, CheckNamesExpiredAndForeignKeys)
{
    KeySet::MakeOptions lapsed;
    lapsed.firstDay = -30;
    lapsed.senderLastDay = -1;
    const std::string expired = Made("expired", lapsed);
    std::string faults = Faults(expired);
    EXPECT_TRUE(Contains(faults, "sender/cert.pem expired on ")) << faults;
    EXPECT_TRUE(Contains(faults, "permissions.p7s holds a grant that ended on")) << faults;
    EXPECT_FALSE(Contains(faults, "receiver/cert.pem")) << faults;

    const std::string ours = Made("ours");
    const std::string theirs = Made("theirs");
    const KeySet::Files own = KeySet::FilesOf(ours, LinkRole::Sender);
    const KeySet::Files foreign = KeySet::FilesOf(theirs, LinkRole::Sender);
    fs::copy_file(foreign.certificate, own.certificate, fs::copy_options::overwrite_existing);
    faults = Faults(ours, LinkRole::Sender);
    EXPECT_TRUE(Contains(faults, "sender/cert.pem is signed by another authority than ca.pem")) << faults;
    EXPECT_TRUE(Contains(faults, "sender/key.pem is not the key of sender/cert.pem")) << faults;
    EXPECT_TRUE(Contains(faults, "permissions.p7s grants nothing to CN=sender,O=Tavelin-")) << faults;

    const std::string third = Made("third");
    fs::copy_file(
        foreign.governance, KeySet::FilesOf(third, LinkRole::Sender).governance, fs::copy_options::overwrite_existing);
    faults = Faults(third);
    EXPECT_TRUE(Contains(faults, "governance.p7s is not signed by ca.pem")) << faults;
}

} // namespace
