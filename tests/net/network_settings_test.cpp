// Network.ini, the --net options and the engine's configuration text: what
// is accepted, and that everything else is refused with the line and the reason.
#include "net/EngineConfiguration.h"
#include "net/NetworkLink.h"
#include "net/NetworkSettings.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string ParseError(const std::string& text)
{
    NetworkSettingsFile file;
    NetworkSettings settings;
    settings.domain = 7;
    if (file.Parse(text, settings)) {
        return "";
    }
    EXPECT_EQ(settings.domain, 7) << "a failed parse leaves the settings alone";
    return file.FullErrorText();
}

TEST(NetworkSettingsFile, ReadsWhatTheProgramWritesAndItsHandWrittenForms)
{
    NetworkSettings settings;
    settings.enabled = true;
    settings.domain = 17;
    settings.peers = { "sim-pc.local", "169.254.23.2:7410" };
    settings.keys = "/home/pilot/cockpit keys";
    settings.interfaceName = "eth1";
    for (const char* lineEnd : { "\n", "\r\n" }) {
        NetworkSettings read;
        NetworkSettingsFile file;
        ASSERT_TRUE(file.Parse(NetworkSettingsFile::Format(settings, lineEnd), read)) << file.FullErrorText();
        EXPECT_EQ(read, settings);
    }

    NetworkSettings read;
    NetworkSettingsFile file;
    ASSERT_TRUE(file.Parse("; written by hand\n[other]\nwhatever = 1\n[ network ]\n\tdomain=3 \npeer = a\nPEER=b\n"
                           "# no keys\nenabled = 0\n",
        read))
        << file.FullErrorText();
    EXPECT_FALSE(read.enabled);
    EXPECT_EQ(read.domain, 3);
    EXPECT_EQ(read.peers, (std::vector<std::string> { "a", "b" }));
    EXPECT_TRUE(read.keys.empty());
}

TEST(NetworkSettingsFile, GarbageIsRefusedWithTheLineAndTheReason)
{
    EXPECT_TRUE(
        Contains(ParseError("[NETWORK]\nDOMAIN = 233\n"), "line 2: DOMAIN must be a whole number from 0 to 232"));
    EXPECT_TRUE(Contains(ParseError("[NETWORK]\nDOMAIN = -1\n"), "line 2: DOMAIN"));
    EXPECT_TRUE(Contains(ParseError("[NETWORK]\nDOMAIN = 1x\n"), "not \"1x\""));
    EXPECT_TRUE(Contains(ParseError("[NETWORK]\nDOMAIN = 1\nDOMAIN = 2\n"), "line 3: DOMAIN is given twice"));
    EXPECT_TRUE(Contains(ParseError("[NETWORK]\nENABLED = yes\n"), "ENABLED must be 0 (off) or 1 (on)"));
    EXPECT_TRUE(Contains(ParseError("[NETWORK]\nCOLOUR = red\n"), "unknown key \"COLOUR\""));
    EXPECT_TRUE(Contains(ParseError("[NETWORK]\nPEER = two words\n"), "PEER must be one host name"));
    EXPECT_TRUE(Contains(ParseError("[NETWORK]\nPEER = <x>\n"), "PEER must be one host name"));
    EXPECT_TRUE(Contains(ParseError("[NETWORK]\nINTERFACE = eth0;rm\n"), "INTERFACE must be"));
    EXPECT_TRUE(Contains(ParseError("DOMAIN = 1\n[NETWORK]\n"), "line 1: a key before the [NETWORK] section"));
    EXPECT_TRUE(
        Contains(ParseError("[NETWORK]\nthis is not a setting\n"), "line 2: \"this is not a setting\" is neither"));
    EXPECT_TRUE(Contains(ParseError("[NETWORK\n"), "must end with ]"));
    EXPECT_TRUE(Contains(ParseError("[OTHER]\nX = 1\n"), "has no [NETWORK] section"));
    EXPECT_TRUE(Contains(ParseError(std::string("[NETWORK]\nDOMAIN = 1\0\x01\x02", 23)), "binary data"));
    std::string many = "[NETWORK]\n";
    for (int i = 0; i < 33; ++i) {
        many += "PEER = p" + std::to_string(i) + "\n";
    }
    EXPECT_TRUE(Contains(ParseError(many), "line 34: more than 32 PEER lines"));
}

TEST(NetworkSettingsFile, AMissingFileIsTheDefaultAndAnUnreadableOneFails)
{
    const std::filesystem::path folder
        = std::filesystem::temp_directory_path() / ("tavelin-net-" + std::to_string(ShmTestOs::ProcessId()));
    std::filesystem::create_directories(folder);
    NetworkSettings settings;
    NetworkSettingsFile file;
    EXPECT_TRUE(file.Load((folder / "Network.ini").string(), settings));
    EXPECT_EQ(settings, NetworkSettings {});

    std::filesystem::create_directories(folder / "Folder.ini");
    EXPECT_FALSE(file.Load((folder / "Folder.ini").string(), settings));
    EXPECT_TRUE(Contains(file.FullErrorText(), "Network.ini cannot be read")) << file.FullErrorText();

    const std::string garbage = (folder / "Garbage.ini").string();
    std::FILE* out = std::fopen(garbage.c_str(), "wb");
    std::fputs("[NETWORK]\nDOMAIN = lots\n", out);
    std::fclose(out);
    EXPECT_FALSE(file.Load(garbage, settings));
    EXPECT_TRUE(Contains(file.FullErrorText(), "line 2: DOMAIN")) << file.FullErrorText();
    EXPECT_TRUE(Contains(file.FullErrorText(), garbage)) << "the file is named";
    std::filesystem::remove_all(folder);
}

TEST(NetworkOptions, OverrideTheFileAndRefuseBadValues)
{
    std::vector<std::string> words
        = { "tavelin", "--net", "--net-domain", "5", "--net-peer", "a", "--net-peer", "b", "--net-keys", "/k", "x" };
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    NetworkOverrides overrides;
    std::string error;
    int taken = 0;
    for (int i = 1; i < static_cast<int>(argv.size()); ++i) {
        const NetworkOption option = TakeNetworkOption(static_cast<int>(argv.size()), argv.data(), i, overrides, error);
        ASSERT_NE(option, NetworkOption::Bad) << error;
        taken += option == NetworkOption::Taken ? 1 : 0;
    }
    EXPECT_EQ(taken, 5);
    NetworkSettings settings;
    settings.peers = { "from-the-file" };
    settings.interfaceName = "eth9";
    overrides.ApplyTo(settings);
    EXPECT_TRUE(settings.enabled);
    EXPECT_EQ(settings.domain, 5);
    EXPECT_EQ(settings.peers, (std::vector<std::string> { "a", "b" }));
    EXPECT_EQ(settings.keys, "/k");
    EXPECT_EQ(settings.interfaceName, "eth9") << "what the command line does not say stays";

    for (const std::vector<std::string>& bad :
        std::vector<std::vector<std::string>> { { "p", "--net-domain", "233" }, { "p", "--net-domain" },
            { "p", "--net-peer", "a b" }, { "p", "--net-keys", "" }, { "p", "--net-interface", "a/b" } }) {
        std::vector<std::string> copy = bad;
        std::vector<char*> badArgv;
        for (std::string& word : copy) {
            badArgv.push_back(word.data());
        }
        int i = 1;
        NetworkOverrides ignored;
        EXPECT_EQ(
            TakeNetworkOption(static_cast<int>(badArgv.size()), badArgv.data(), i, ignored, error), NetworkOption::Bad)
            << bad[1];
        EXPECT_TRUE(Contains(error, bad[1])) << error;
    }

    NetworkSettings secured;
    secured.keys = "/k";
    secured.domain = 231;
    EXPECT_FALSE(CheckNetworkSettings(secured, error));
    EXPECT_TRUE(Contains(error, "cannot be secured")) << error;
    secured.domain = 230;
    EXPECT_TRUE(CheckNetworkSettings(secured, error));
}

TEST(EngineConfiguration, PinsPeersAndKeysWithEveryCharacterEscaped)
{
    NetworkSettings settings;
    EXPECT_FALSE(Contains(EngineConfiguration::Text(settings, nullptr), "<Security>"));
    EXPECT_TRUE(Contains(EngineConfiguration::Text(settings, nullptr), "<AllowMulticast>spdp</AllowMulticast>"))
        << "without peers discovery is by multicast, and the samples go to their readers alone";

    settings.peers = { "169.254.23.2", "sim" };
    settings.interfaceName = "eth0";
    KeySet::Files keys = KeySet::FilesOf("/home/a&b/<keys>", LinkRole::Receiver);
    const std::string xml = EngineConfiguration::Text(settings, &keys);
    EXPECT_TRUE(Contains(xml, "<NetworkInterface name=\"eth0\"/>"));
    EXPECT_TRUE(Contains(xml, "<AllowMulticast>false</AllowMulticast>"));
    EXPECT_TRUE(Contains(xml, "<Peer Address=\"169.254.23.2\"/><Peer Address=\"sim\"/>"));
    EXPECT_TRUE(Contains(xml, "<ParticipantIndex>auto</ParticipantIndex>")) << "discovery through peers needs it";
    EXPECT_TRUE(Contains(xml, "<IdentityCertificate>file:" + EngineConfiguration::Escaped(keys.certificate) + "<"));
    EXPECT_TRUE(Contains(xml, "<PrivateKey>file:" + EngineConfiguration::Escaped(keys.privateKey) + "<"));
    EXPECT_TRUE(Contains(xml, "file:/home/a&amp;b/&lt;keys&gt;"));
    EXPECT_FALSE(Contains(xml, "a&b")) << xml;
    EXPECT_EQ(EngineConfiguration::Escaped("'\"&<>"), "&apos;&quot;&amp;&lt;&gt;");
}

TEST(NetworkSettingsFile, SavesWholeOverTheOldFileAndAFailedSaveLeavesItAlone)
{
    const std::filesystem::path folder
        = std::filesystem::temp_directory_path() / ShmTestOs::UniqueName("netsave") / "made" / "here";
    const std::string path = (folder / "Network.ini").string();
    NetworkSettings settings;
    settings.enabled = true;
    settings.domain = 42;
    settings.peers = { "127.0.0.1", "sim-pc" };
    settings.keys = "/home/pilot/keys";
    NetworkSettingsFile file;
    ASSERT_TRUE(file.Save(path, settings)) << file.FullErrorText() << " (the missing folders are made)";
    NetworkSettings read;
    ASSERT_TRUE(file.Load(path, read)) << file.FullErrorText();
    EXPECT_EQ(read, settings);

    settings.peers.clear();
    settings.enabled = false;
    ASSERT_TRUE(file.Save(path, settings)) << file.FullErrorText();
    ASSERT_TRUE(file.Load(path, read));
    EXPECT_EQ(read, settings) << "the second save replaces the first whole";
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++files;
    }
    EXPECT_EQ(files, 1u) << "no temporary file is left beside it";

    // A folder where the file should be: nothing is written, the reason is named.
    const std::string blocked = (folder / "Blocked.ini").string();
    std::filesystem::create_directories(std::filesystem::path(blocked) / "inside");
    EXPECT_FALSE(file.Save(blocked, settings));
    EXPECT_TRUE(Contains(file.FullErrorText(), "Network.ini cannot be saved")) << file.FullErrorText();
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(blocked) / "inside"));
    ASSERT_TRUE(file.Load(path, read));
    EXPECT_EQ(read, settings);
    std::filesystem::remove_all(folder.parent_path().parent_path());
}

TEST(NetworkOptions, AProgramsCommandLineTakesThemAnywhereWithTheirChecks)
{
    std::vector<CommandLineOption> rows = { { "--help", "-h", nullptr, "help" } };
    rows.insert(rows.end(), std::begin(kNetworkOptionRows), std::end(kNetworkOptionRows));
    CommandLine commandLine("tavelin", rows);
    const char* good[] = { "tavelin", "--net-peer", "a", "--help", "--net-domain=9", "--net-peer", "b", "--net",
        "--net-interface", "eth3" };
    ASSERT_TRUE(commandLine.Parse(static_cast<int>(std::size(good)), good)) << commandLine.FullErrorText();
    NetworkOverrides overrides;
    std::string error;
    ASSERT_TRUE(TakeNetworkOptions(commandLine, overrides, error)) << error;
    EXPECT_TRUE(overrides.enable);
    EXPECT_EQ(overrides.domain, 9);
    EXPECT_EQ(overrides.peers, (std::vector<std::string> { "a", "b" })) << "every --net-peer, in its order";
    EXPECT_EQ(overrides.interfaceName, "eth3");
    EXPECT_FALSE(overrides.keys.has_value());
    EXPECT_TRUE(Contains(commandLine.Help("x"), "--net-keys DIR")) << commandLine.Help("x");

    const char* bad[] = { "tavelin", "--net", "--net-domain", "300" };
    ASSERT_TRUE(commandLine.Parse(static_cast<int>(std::size(bad)), bad));
    NetworkOverrides refused;
    EXPECT_FALSE(TakeNetworkOptions(commandLine, refused, error));
    EXPECT_TRUE(Contains(error, "--net-domain needs a whole number from 0 to 232, not \"300\"")) << error;
}

TEST(EngineConfiguration, TheLoopbackGuardKeepsTheLinkOffTheMachinesOwnNetwork)
{
    if (EngineConfiguration::InNetworkNamespaceOfItsOwn()) {
        GTEST_SKIP() << "this test runs inside a network namespace of its own: the guard lets it be";
    }
    const bool guarded = EngineConfiguration::LoopbackOnly();
    ShmTestOs::SetEnvironment("TAVELIN_NET_LOOPBACK_ONLY", "1");
    NetworkSettings settings;
    settings.peers = { "127.0.0.1", "localhost:7400", "[::1]:7400" };
    std::string error;
    ASSERT_TRUE(EngineConfiguration::Confine(settings, error)) << error;
    EXPECT_EQ(settings.interfaceName, "lo") << "the engine's own choice would be a real interface";
    EXPECT_TRUE(Contains(EngineConfiguration::Text(settings, nullptr), "<NetworkInterface name=\"lo\"/>"));

    NetworkSettings outward;
    outward.interfaceName = "eth0";
    EXPECT_FALSE(EngineConfiguration::Confine(outward, error));
    EXPECT_TRUE(Contains(error, "TAVELIN_NET_LOOPBACK_ONLY")) << error;
    EXPECT_TRUE(Contains(error, "eth0")) << error;
    NetworkSettings remote;
    remote.peers = { "127.0.0.1", "192.0.2.7" };
    EXPECT_FALSE(EngineConfiguration::Confine(remote, error));
    EXPECT_TRUE(Contains(error, "192.0.2.7")) << error;

    // Both ends of the link apply it before any engine is made.
    NetworkLink link(
        [](const TransportConfig&, LinkHandler&, std::string& why) -> std::unique_ptr<LinkTransport> {
            why = "no engine was to be made";
            ADD_FAILURE() << why;
            return nullptr;
        },
        nullptr);
    remote.enabled = true;
    EXPECT_FALSE(link.Start(remote));
    EXPECT_TRUE(Contains(link.FullErrorText(), "192.0.2.7")) << link.FullErrorText();

    ShmTestOs::SetEnvironment("TAVELIN_NET_LOOPBACK_ONLY", "0");
    EXPECT_FALSE(EngineConfiguration::LoopbackOnly());
    EXPECT_TRUE(EngineConfiguration::Confine(outward, error)) << "without the guard the settings stand";
    EXPECT_EQ(outward.interfaceName, "eth0");
    ShmTestOs::SetEnvironment("TAVELIN_NET_LOOPBACK_ONLY", guarded ? "1" : "0");
}

} // namespace
