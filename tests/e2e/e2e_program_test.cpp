// The program as a process: `tavelin` offscreen with a virtual joystick file
// and a configuration, the block read by this test as a second attacher,
// and the ways out by signal.
#include "tests/e2e/program_process.h"
#include "tests/support/CommaLocale.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace e2e;

TEST(ProgramEndToEnd, PublishesTheSticksAndButtonsAndLeavesCleanlyOnSigterm)
{
    testfiles::Sandbox sandbox("e2e");
    testfiles::Stick stick;
    stick.y = 2000;
    sandbox.MoveStick(stick);

    Program program(sandbox.Root() / "tavelin.log");
    ASSERT_TRUE(program.Started());
    auto reader = AttachWhenReady(sandbox.ShmName(), program);
    ASSERT_NE(reader, nullptr) << "the program never attached its block";
    EXPECT_EQ(block::LoadUserCount(reader->Block()), 3); // the window, the processor and this test

    ASSERT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), testfiles::SettledPitch(2000)); }))
        << reader->Double(block::kPitchOutput);
    // The configuration's own values made it into the block.
    EXPECT_NEAR(reader->Double(block::kPitchSensitivity), testfiles::kPitchSensitivity, 1e-9);
    EXPECT_EQ(reader->Int(block::kPitchRecord + block::kRecordInput), 1);

    stick.y = -7000;
    sandbox.MoveStick(stick);
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), testfiles::SettledPitch(-7000)); }))
        << reader->Double(block::kPitchOutput);

    // Button 1 is A/P Disc, button 3 Brakes L.
    EXPECT_EQ(reader->Byte(block::kApDiscPressed), 0);
    stick.pressed = "1 3";
    sandbox.MoveStick(stick);
    EXPECT_TRUE(WaitFor([&] { return reader->Byte(block::kApDiscPressed) == 1; }));
    EXPECT_TRUE(WaitFor([&] { return reader->Byte(block::kBrakeLPressed) == 1; }));
    stick.pressed.clear();
    sandbox.MoveStick(stick);
    EXPECT_TRUE(WaitFor([&] { return reader->Byte(block::kApDiscPressed) == 0; }));

    // Deflected and pressed when the end comes: the end releases both, the levers keep their value.
    stick.pressed = "1 3";
    sandbox.MoveStick(stick);
    ASSERT_TRUE(WaitFor([&] { return reader->Byte(block::kApDiscPressed) == 1; }));
    ASSERT_TRUE(WaitFor([&] { return Near(reader->Double(block::kThrLvrLOutput), 50.0); }))
        << reader->Double(block::kThrLvrLOutput);
    ASSERT_GT(std::fabs(reader->Double(block::kPitchOutput)), 1.0);

    program.Signal(SIGTERM);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value()) << "SIGTERM did not end the program";
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by a signal, not through the window's way out";
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(block::LoadUserCount(reader->Block()), 1) << "both of the program's views detached";
    EXPECT_EQ(reader->Double(block::kPitchOutput), 0.0);
    EXPECT_EQ(reader->Byte(block::kApDiscPressed), 0);
    EXPECT_EQ(reader->Byte(block::kBrakeLPressed), 0);
    EXPECT_TRUE(Near(reader->Double(block::kThrLvrLOutput), 50.0)) << reader->Double(block::kThrLvrLOutput);
    EXPECT_TRUE(std::filesystem::exists(ShmPath(sandbox.ShmName()))) << "this test still holds the block";
    reader.reset();
    EXPECT_FALSE(std::filesystem::exists(ShmPath(sandbox.ShmName()))) << "the last user leaving removes the name";
}

TEST(ProgramEndToEnd, SigintAsTheLastUserRemovesTheBlocksName)
{
    testfiles::Sandbox sandbox("e2eint");
    Program program(sandbox.Root() / "tavelin.log");
    ASSERT_TRUE(program.Started());
    {
        auto reader = AttachWhenReady(sandbox.ShmName(), program);
        ASSERT_NE(reader, nullptr);
    }
    ASSERT_TRUE(std::filesystem::exists(ShmPath(sandbox.ShmName())));
    program.Signal(SIGINT);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_FALSE(std::filesystem::exists(ShmPath(sandbox.ShmName())));
}

TEST(ProgramEndToEnd, ASecondProgramOnTheSameBlockRefusesAndTouchesNothing)
{
    testfiles::Sandbox sandbox("e2esecond");
    Program first(sandbox.Root() / "first.log");
    ASSERT_TRUE(first.Started());
    auto reader = AttachWhenReady(sandbox.ShmName(), first);
    ASSERT_NE(reader, nullptr) << ReadLog(sandbox.Root() / "first.log");
    // Once the first program has loaded its configuration: a value that the
    // second program's load would overwrite.
    ASSERT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchSensitivity), testfiles::kPitchSensitivity); }));
    KQ_P_0001_02_Shm editor(sandbox.ShmName().c_str(), true);
    ASSERT_TRUE(editor.IsReady()) << editor.GetErrorText();
    block::StoreDouble(editor.GetBlock(), block::kPitchSensitivity, 0.004);

    Program second(sandbox.Root() / "second.log");
    ASSERT_TRUE(second.Started());
    const std::optional<int> status = second.WaitForExit();
    ASSERT_TRUE(status.has_value()) << "the second program kept running";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 1);
    const std::string log = ReadLog(sandbox.Root() / "second.log");
    EXPECT_NE(
        log.find("Another Tavelin publishes into the shared block \"" + sandbox.ShmName() + "\""), std::string::npos)
        << log;
    EXPECT_EQ(block::LoadUserCount(reader->Block()), 4) << "the first program's two views, the reader, the editor";
    EXPECT_EQ(reader->Double(block::kPitchSensitivity), 0.004);
    EXPECT_TRUE(first.Running());

    first.Signal(SIGTERM);
    ASSERT_TRUE(first.WaitForExit().has_value());
    EXPECT_EQ(block::LoadUserCount(reader->Block()), 2);
}

TEST(ProgramEndToEnd, SighupEndsTheProgramTheWayOkDoes)
{
    testfiles::Sandbox sandbox("e2ehup");
    Program program(sandbox.Root() / "tavelin.log");
    ASSERT_TRUE(program.Started());
    auto reader = AttachWhenReady(sandbox.ShmName(), program);
    ASSERT_NE(reader, nullptr);
    program.Signal(SIGHUP);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value()) << "SIGHUP did not end the program";
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by the signal itself, not through the window's way out";
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(block::LoadUserCount(reader->Block()), 1) << "both of the program's views detached";
}

TEST(ProgramEndToEnd, SigtermWhileWaitingForTheBlocksLockEndsWithinASecond)
{
    testfiles::Sandbox sandbox("e2elock");
    // This test stands for a program stuck in its attach: it holds the attach
    // lock, and the whole lock object as a program that ignores it would.
    const std::string lock = "/" + sandbox.ShmName() + ".lock";
    const int fd = shm_open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    struct flock range { };
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_len = 1;
    ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &range), 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);

    Program program(sandbox.Root() / "tavelin.log");
    ASSERT_TRUE(program.Started());
    // It takes the publisher lock just before it attaches.
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(ShmPath(sandbox.ShmName() + ".owner")); }));
    const auto start = Clock::now();
    program.Signal(SIGTERM);
    const std::optional<int> status = program.WaitForExit(std::chrono::seconds(5));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    ASSERT_TRUE(status.has_value()) << "SIGTERM did not end the program";
    EXPECT_LT(took, 1000);
    EXPECT_TRUE(WIFEXITED(*status)) << "ended by the signal itself, not through the window's way out";
    EXPECT_EQ(WEXITSTATUS(*status), 0) << ReadLog(sandbox.Root() / "tavelin.log");
    EXPECT_FALSE(std::filesystem::exists(ShmPath(sandbox.ShmName()))) << "no block was made";
    EXPECT_FALSE(std::filesystem::exists(ShmPath(sandbox.ShmName() + ".owner")));
    close(fd);
    shm_unlink(lock.c_str());
}

std::string ReadText(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ProgramEndToEnd, AFirstStartWritesTheDefaultSetUpAndPublishesIt)
{
    testfiles::Sandbox sandbox("e2efirst");
    std::filesystem::remove(sandbox.ConfigurationFile());
    testfiles::Stick stick;
    stick.y = 4000;
    stick.x = -4000;
    sandbox.MoveStick(stick);

    Program program(sandbox.Root() / "tavelin.log");
    ASSERT_TRUE(program.Started());
    auto reader = AttachWhenReady(sandbox.ShmName(), program);
    ASSERT_NE(reader, nullptr) << ReadText(sandbox.Root() / "tavelin.log");
    // The default set-up: pitch on Y at 0.002 and roll on X at 0.0025 a count, dead bands 0.5.
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), 7.5); }))
        << reader->Double(block::kPitchOutput);
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kRollOutput), -9.5); }))
        << reader->Double(block::kRollOutput);
    const std::string written = ReadText(sandbox.ConfigurationFile());
    EXPECT_NE(written.find("NAME = DEFAULT_JOYSTICK_SETUP"), std::string::npos) << written;
    EXPECT_TRUE(WaitFor([&] {
        return ReadText(sandbox.Root() / "tavelin.log").find("Warning Message: No Joystick.ini was found")
            != std::string::npos;
    })) << ReadText(sandbox.Root() / "tavelin.log");

    program.Signal(SIGTERM);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(sandbox.ConfigurationFile()));
}

TEST(ProgramEndToEnd, OffscreenADamagedFileIsReportedOnStandardErrorAndTheProgramRuns)
{
    testfiles::Sandbox sandbox("e2edamaged");
    {
        std::ofstream damaged(sandbox.ConfigurationFile(), std::ios::binary | std::ios::trunc);
        damaged << "[FLIGHT_CONTROLS]\nPITCH_SENS = 0.002\n";
    }
    const std::filesystem::path log = sandbox.Root() / "tavelin.log";
    Program program(log);
    ASSERT_TRUE(program.Started());
    const std::string expected = "CTavelinDlg::Initialise: Tag >SIDE_STICK_P_CNTL< not found under Title "
                                 ">FLIGHT_CONTROLS< in initialisation file /  >"
        + sandbox.ConfigurationFile().string() + "\n";
    ASSERT_TRUE(WaitFor([&] { return ReadText(log).find(expected) != std::string::npos || !program.Running(); }));
    EXPECT_NE(ReadText(log).find(expected), std::string::npos) << ReadText(log);
    // The box was answered at once: the window is up, attached, and still running.
    auto reader = AttachWhenReady(sandbox.ShmName(), program);
    ASSERT_NE(reader, nullptr) << ReadText(log);
    EXPECT_TRUE(program.Running());

    program.Signal(SIGTERM);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value()) << "a box nobody can see must not hold the program";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

TEST(ProgramEndToEnd, OffscreenWithoutJoysticksStandardErrorSaysWhatToTryAndNothingOfQtsPlugin)
{
    testfiles::Sandbox sandbox("e2enone");
    {
        std::ofstream none(sandbox.JoystickFile(), std::ios::binary | std::ios::trunc);
        none << "; no joysticks attached\n";
    }
    const std::filesystem::path log = sandbox.Root() / "tavelin.log";
    Program program(log);
    ASSERT_TRUE(program.Started());
    const std::string note = "No joystick in " + sandbox.JoystickFile().string()
        + ", the virtual joystick file TAVELIN_VIRTUAL_JOYSTICKS names: give it a [JOYSTICK_0] section";
    ASSERT_TRUE(WaitFor([&] { return ReadText(log).find(note) != std::string::npos || !program.Running(); }));
    auto reader = AttachWhenReady(sandbox.ShmName(), program);
    ASSERT_NE(reader, nullptr) << ReadText(log);
    program.Signal(SIGTERM);
    ASSERT_TRUE(program.WaitForExit().has_value());
    const std::string said = ReadText(log);
    EXPECT_NE(said.find("There appears to be no joysticks attached"), std::string::npos) << said;
    // Once, as a note of the warning list.
    const std::size_t first = said.find(note);
    ASSERT_NE(first, std::string::npos) << said;
    EXPECT_EQ(said.find(note, first + 1), std::string::npos) << said;
    EXPECT_EQ(said.find("This plugin does not support"), std::string::npos) << said;
}

TEST(ProgramEndToEnd, ACalibratedAxisPublishesWhatItsCalibrationGives)
{
    testfiles::Sandbox sandbox("e2e");
    {
        std::ofstream file(sandbox.ConfigurationFile().parent_path() / "Calibration.ini", std::ios::binary);
        // Y: min -6000, centre 1000, max 9000; X cannot be read and stays as read.
        file << "[JOYSTICK_" << testfiles::kStickId << "]\nY\t= -6000 1000 9000\nX\t= 9 8 7\n";
    }
    testfiles::Stick stick;
    stick.y = 4000; // 3000 of the 8000 above the centre: 3750
    sandbox.MoveStick(stick);
    const std::filesystem::path log = sandbox.Root() / "tavelin.log";
    Program program(log);
    ASSERT_TRUE(program.Started());
    auto reader = AttachWhenReady(sandbox.ShmName(), program);
    ASSERT_NE(reader, nullptr) << "the program never attached its block";
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), testfiles::SettledPitch(3750)); }))
        << reader->Double(block::kPitchOutput);

    stick.y = -2500; // 3500 of the 7000 below the centre: -5000
    sandbox.MoveStick(stick);
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), testfiles::SettledPitch(-5000)); }))
        << reader->Double(block::kPitchOutput);
    stick.y = 9500; // beyond the maximum: full deflection
    sandbox.MoveStick(stick);
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), testfiles::SettledPitch(10000)); }))
        << reader->Double(block::kPitchOutput);
    const std::string note = "Calibration.ini: [JOYSTICK_" + std::to_string(testfiles::kStickId)
        + "] X = 9 8 7 has its min not below its centre: the axis is not calibrated";
    EXPECT_TRUE(WaitFor([&] { return ReadText(log).find(note) != std::string::npos; })) << ReadText(log);

    program.Signal(SIGTERM);
    ASSERT_TRUE(program.WaitForExit().has_value());
}

TEST(ProgramEndToEnd, AGermanLocaleStillReadsTheConfigurationsNumbers)
{
    // The test's own files are written first, in the C locale.
    testfiles::Sandbox sandbox("e2ede");
    testfiles::Stick stick;
    stick.y = 2000;
    sandbox.MoveStick(stick);
    // Builds the locale if the system lacks it; the program finds it through the same LOCPATH.
    testlocale::CommaLocale comma;
    if (!comma.Active()) {
        GTEST_SKIP() << comma.Reason();
    }
    Program program(sandbox.Root() / "tavelin.log", "de_DE.UTF-8");
    ASSERT_TRUE(program.Started());
    auto reader = AttachWhenReady(sandbox.ShmName(), program);
    ASSERT_NE(reader, nullptr) << "the program never attached its block";
    // The processor attaches before it loads the file: its values follow a moment later.
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchSensitivity), testfiles::kPitchSensitivity); }))
        << reader->Double(block::kPitchSensitivity);
    EXPECT_NEAR(reader->Double(block::kPitchSensitivity), testfiles::kPitchSensitivity, 1e-9);
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), testfiles::SettledPitch(2000)); }))
        << reader->Double(block::kPitchOutput);
    program.Signal(SIGTERM);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status));
}

} // namespace
