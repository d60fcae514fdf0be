// The program as a process with a toe brake: the pedals' Rx axis drives
// BRAKE L through the configuration's [AXIS_BUTTONS] section, with its
// hysteresis, while the stick's buttons work as before.
#include "tests/e2e/program_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <string>

namespace {

using namespace e2e;

std::string Joysticks(int stickY, int toeBrake)
{
    std::ostringstream out;
    out << "[JOYSTICK_0]\nJOY_ID = " << testfiles::kStickId << "\nNAME = Virtual Stick\nBUTTONS = 12\n";
    out << "Y = " << stickY << "\nPRESSED = 4\n";
    out << "\n[JOYSTICK_1]\nJOY_ID = " << testfiles::kPedalsId << "\nNAME = Virtual Pedals\nBUTTONS = 0\n";
    out << "RX = " << toeBrake << "\n";
    return out.str();
}

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

TEST(ProgramEndToEnd, AToeBrakeAxisDrivesBrakeLWithItsHysteresis)
{
    testfiles::Sandbox sandbox("e2etoe");
    std::string configuration = testfiles::Configuration();
    Replace(configuration, "BRK_L_BTN_CNTL\t= " + std::to_string(testfiles::kStickId),
        "BRK_L_BTN_CNTL\t= " + std::to_string(testfiles::kPedalsId));
    Replace(configuration, "BRK_L_BTN\t\t= 3\n", "BRK_L_BTN\t\t= NA\n");
    configuration += "[AXIS_BUTTONS]\nBRK_L_BTN_AXIS\t= 3 5000\n#\n";
    testfiles::WriteFile(sandbox.ConfigurationFile(), configuration);
    testfiles::WriteFile(sandbox.JoystickFile(), Joysticks(0, -10000));

    Program program(sandbox.Root() / "tavelin.log");
    ASSERT_TRUE(program.Started());
    auto reader = AttachWhenReady(sandbox.ShmName(), program);
    ASSERT_NE(reader, nullptr) << ReadLog(sandbox.Root() / "tavelin.log");
    // BRAKE R on the stick's button 4, held from the start.
    ASSERT_TRUE(WaitFor([&] { return reader->Byte(block::kBrakeRPressed) == 1; }));
    EXPECT_EQ(reader->Byte(block::kBrakeLPressed), 0);

    testfiles::WriteFile(sandbox.JoystickFile(), Joysticks(0, 6000));
    EXPECT_TRUE(WaitFor([&] { return reader->Byte(block::kBrakeLPressed) == 1; }));

    // Back to 4800, inside the hysteresis: once the stick moved in the same
    // file, the brake has been seen there too and is still held.
    testfiles::WriteFile(sandbox.JoystickFile(), Joysticks(5000, 4800));
    ASSERT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), testfiles::SettledPitch(5000)); }))
        << reader->Double(block::kPitchOutput);
    EXPECT_EQ(reader->Byte(block::kBrakeLPressed), 1);

    testfiles::WriteFile(sandbox.JoystickFile(), Joysticks(5000, 4500));
    EXPECT_TRUE(WaitFor([&] { return reader->Byte(block::kBrakeLPressed) == 0; }));
    EXPECT_EQ(reader->Byte(block::kBrakeRPressed), 1);

    program.Signal(SIGTERM);
    ASSERT_TRUE(program.WaitForExit().has_value());
}

} // namespace
