// Response curves in the real program: a configuration file with an EXPO
// pitch and a POINTS roll, the stick moved through the virtual joystick file,
// and the block showing what the curves' formulas give.
#include "tests/e2e/program_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sys/wait.h>

namespace {

using namespace e2e;

constexpr double kRollSensitivity = 0.0025; // the test configuration's
constexpr double kDeadBand = 0.5;

double WithoutBand(double x)
{
    return x > kDeadBand ? x - kDeadBand : (x < -kDeadBand ? x + kDeadBand : 0.0);
}

double ExpoPitch(int raw, double k)
{
    const double u = raw / 10000.0;
    return WithoutBand(10000.0 * ((1.0 - k) * u + k * u * u * u) * testfiles::kPitchSensitivity);
}

TEST(ProgramEndToEnd, AnExpoPitchAndAPointsRollPublishWhatTheirCurvesGive)
{
    testfiles::Sandbox sandbox("e2ecurves");
    testfiles::WriteFile(sandbox.ConfigurationFile(),
        testfiles::Configuration()
            + "[RESPONSE_CURVES]\n"
              "PITCH_CURVE\t= EXPO 0.5\n"
              "ROLL_CURVE\t= POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1\n"
              "#\n");
    testfiles::Stick stick;
    stick.y = 5000;
    stick.x = 5000; // a point of the roll's curve: 0.3
    sandbox.MoveStick(stick);

    Program program(sandbox.Root() / "tavelin.log");
    ASSERT_TRUE(program.Started());
    auto reader = AttachWhenReady(sandbox.ShmName(), program);
    ASSERT_NE(reader, nullptr) << "the program never attached its block";

    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), ExpoPitch(5000, 0.5)); }))
        << reader->Double(block::kPitchOutput) << " against " << ExpoPitch(5000, 0.5);
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kRollOutput), WithoutBand(3000 * kRollSensitivity)); }))
        << reader->Double(block::kRollOutput);

    // On the straight stretch between (-0.5, -0.3) and (0.5, 0.3): 0.6 u.
    stick.y = -8000;
    stick.x = -2500;
    sandbox.MoveStick(stick);
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPitchOutput), ExpoPitch(-8000, 0.5)); }))
        << reader->Double(block::kPitchOutput) << " against " << ExpoPitch(-8000, 0.5);
    EXPECT_TRUE(WaitFor([&] {
        return Near(reader->Double(block::kRollOutput), WithoutBand(-1500 * kRollSensitivity));
    })) << reader->Double(block::kRollOutput);
    // Pedals have no curve: as without the section.
    stick.rz = 4000;
    sandbox.MoveStick(stick);
    EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kPedalsOutput), WithoutBand(4000 * 0.0025)); }))
        << reader->Double(block::kPedalsOutput);

    program.Signal(SIGTERM);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status));
}

} // namespace
