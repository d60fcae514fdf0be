// The command lines of `tavelin` and `simblock` as a user meets them:
// --help and --version without a display, the build's version, usage errors
// with status 64, and Qt's own arguments still taken.
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Without any window system: what answers without one must not need one.
class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ShmTestOs::UnsetEnvironment("DISPLAY");
        ShmTestOs::UnsetEnvironment("WAYLAND_DISPLAY");
        ShmTestOs::UnsetEnvironment("QT_QPA_PLATFORM");
        ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    }

    static ShmTestOs::ProgramResult Tavelin(const std::vector<std::string>& arguments)
    {
        return ShmTestOs::RunProgram(TAVELIN_PROGRAM_PATH, arguments);
    }
    static ShmTestOs::ProgramResult Simblock(const std::vector<std::string>& arguments)
    {
        return ShmTestOs::RunProgram(TAVELIN_SIMBLOCK_PATH, arguments);
    }
};

TEST_F(CommandLineTest, BothProgramsTellTheBuildsVersionAndTheirOptions)
{
    for (const auto& [program, run] : { std::pair { "tavelin", &Tavelin }, std::pair { "simblock", &Simblock } }) {
        const ShmTestOs::ProgramResult version = run({ "--version" });
        EXPECT_EQ(version.exitCode, 0) << program << ": " << version.err;
        EXPECT_EQ(version.out, std::string(program) + " " + TAVELIN_EXPECTED_VERSION + "\n");
        EXPECT_EQ(version.err, "");

        const ShmTestOs::ProgramResult help = run({ "--help" });
        EXPECT_EQ(help.exitCode, 0) << program << ": " << help.err;
        EXPECT_EQ(help.out.rfind(std::string("usage: ") + program + " ", 0), 0u) << help.out;
        EXPECT_TRUE(Contains(help.out, "--version")) << help.out;
        EXPECT_EQ(help.err, "");
    }
    const ShmTestOs::ProgramResult help = Tavelin({ "-h" });
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : { "--list-devices", "--check-display", "Qt", "tavelin(1)" }) {
        EXPECT_TRUE(Contains(help.out, option)) << option << "\n" << help.out;
    }
}

TEST_F(CommandLineTest, WhatTavelinDoesNotUnderstandIsAShortUsageAndStatus64)
{
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>> { { "--frobnicate" },
             { "Joystick.ini" }, { "--version=2" }, { "--help", "-platform" }, { "--platform=offscreen" } }) {
        const ShmTestOs::ProgramResult result = Tavelin(arguments);
        EXPECT_EQ(result.exitCode, 64) << arguments[0];
        EXPECT_EQ(result.out, "") << arguments[0];
        EXPECT_EQ(result.err.rfind("tavelin: ", 0), 0u) << result.err;
        EXPECT_TRUE(Contains(result.err, "\nusage: tavelin [--help]")) << result.err;
        EXPECT_LE(std::count(result.err.begin(), result.err.end(), '\n'), 2) << result.err;
    }
    EXPECT_TRUE(Contains(Tavelin({ "--frobnicate" }).err, "unknown option \"--frobnicate\""));
}

TEST_F(CommandLineTest, TheNetworkOptionsAreListedTakenAnywhereAndBadValuesAreUsageErrors)
{
    const ShmTestOs::ProgramResult help = Tavelin({ "--help" });
    for (const char* option :
        { "--net ", "--net-domain N", "--net-peer HOST", "--net-keys DIR", "--net-interface NAME" }) {
        EXPECT_TRUE(Contains(help.out, option)) << option << "\n" << help.out;
    }
    const struct {
        std::vector<std::string> arguments;
        const char* says;
    } bad[] = {
        { { "--net", "--net-domain", "233" }, "--net-domain needs a whole number from 0 to 232, not \"233\"" },
        { { "--net-domain=-1" }, "--net-domain needs a whole number from 0 to 232, not \"-1\"" },
        { { "--net-peer", "a b", "--net" }, "--net-peer needs one host name or address" },
        { { "--net", "--net-peer" }, "--net-peer needs HOST" },
        { { "--net-interface", "eth0/1" }, "--net-interface needs a network interface's name" },
        { { "--net=1" }, "--net takes no value" },
    };
    for (const auto& [arguments, says] : bad) {
        const ShmTestOs::ProgramResult result = Tavelin(arguments);
        EXPECT_EQ(result.exitCode, 64) << arguments[0] << ": " << result.err;
        EXPECT_EQ(result.err.rfind(std::string("tavelin: ") + says, 0), 0u) << result.err;
        EXPECT_TRUE(Contains(result.err, "\nusage: tavelin [--help]")) << result.err;
        EXPECT_EQ(result.out, "");
    }
    // Good values anywhere among the others: the options are read, and --version still answers.
    const ShmTestOs::ProgramResult version
        = Tavelin({ "--net-peer", "sim-pc", "--net", "--version", "--net-domain=12", "--net-peer", "10.0.0.2" });
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, std::string("tavelin ") + TAVELIN_EXPECTED_VERSION + "\n");
}

TEST_F(CommandLineTest, QtsOwnArgumentsAndTheDisplayCheckAreStillTaken)
{
    // Qt's "-platform offscreen" reaches Qt: the check finds a window system.
    const ShmTestOs::ProgramResult offscreen = Tavelin({ "-platform", "offscreen", "--check-display" });
    EXPECT_EQ(offscreen.exitCode, 0) << offscreen.err;
    const ShmTestOs::ProgramResult doubled = Tavelin({ "--check-display", "--platform", "offscreen", "-reverse" });
    EXPECT_EQ(doubled.exitCode, 0) << doubled.err;
    // Without one, Qt itself ends the check with a failure, as before.
    const ShmTestOs::ProgramResult none = Tavelin({ "--check-display" });
    EXPECT_NE(none.exitCode, 0);
    EXPECT_NE(none.exitCode, 64) << none.err;
}

TEST_F(CommandLineTest, TheListingWorksWithoutADisplayAndNamesTheVirtualFile)
{
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", "/nowhere/virtual-joysticks.ini");
    const ShmTestOs::ProgramResult listing = Tavelin({ "--list-devices" });
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    EXPECT_TRUE(Contains(listing.out,
        "TAVELIN_VIRTUAL_JOYSTICKS is set: Tavelin uses the virtual joysticks of "
        "/nowhere/virtual-joysticks.ini instead of these."))
        << listing.out;
    // This machine may have no input devices at all: then the listing says why, and fails.
    if (listing.exitCode == 0) {
        EXPECT_TRUE(Contains(listing.out, "Input devices in /dev/input: ")) << listing.out;
    } else {
        EXPECT_EQ(listing.exitCode, 1) << listing.err;
        EXPECT_TRUE(Contains(listing.out, "No input devices can be listed: /dev/input: ")) << listing.out;
    }
}

// A text that cannot be written is a failure, not a success.
TEST_F(CommandLineTest, AnOutputThatCannotBeWrittenFails)
{
    for (const char* program : { TAVELIN_PROGRAM_PATH, TAVELIN_SIMBLOCK_PATH }) {
        for (const char* option : { "--help", "--version" }) {
            const pid_t child = fork();
            if (child == 0) {
                const int full = open("/dev/full", O_WRONLY);
                const int null = open("/dev/null", O_WRONLY);
                if (full < 0 || null < 0) {
                    _exit(100);
                }
                dup2(full, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
                execl(program, program, option, static_cast<char*>(nullptr));
                _exit(127);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            if (WEXITSTATUS(status) == 100) {
                GTEST_SKIP() << "no /dev/full here";
            }
            EXPECT_EQ(WEXITSTATUS(status), 1) << program << " " << option;
        }
    }
}

} // namespace
