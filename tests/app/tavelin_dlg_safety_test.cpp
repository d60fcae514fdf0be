// The main window in an unlucky environment: a decimal-comma locale, and the
// controls it leaves behind on every way out and when its joysticks go.
#include "tests/app/main_window_fixture.h"

#include "support/Paths.h"
#include "tests/support/CommaLocale.h"

#include <cmath>
#include <filesystem>
#include <functional>

using namespace MainIds;
namespace GSB = GenericSimBlock;

TEST_F(MainWindowTest, ACommaLocaleChangesNeitherTheLoadNorTheTexts)
{
    testlocale::CommaLocale comma;
    if (!comma.Active()) {
        GTEST_SKIP() << comma.Reason();
    }
    Open();
    Tick();
    EXPECT_DOUBLE_EQ(Double(GSB::kPitchSensitivity), 0.002);
    EXPECT_DOUBLE_EQ(Double(GSB::kRollDeadBand), 0.5);
    SetDouble(GSB::kPitchOutput, -20.0);
    SetDouble(GSB::kRollOutput, 12.5);
    Tick(kNumberCycles); // numbers are refreshed that often
    EXPECT_EQ(m_view->Text(kAxisRows[0].valueText), "-20.000 Deg");
    EXPECT_EQ(m_view->Text(kAxisRows[1].valueText), " 12.500 Deg");
    EXPECT_EQ(m_view->Text(kAxisRows[0].sensitivityText), "0.0020");
    EXPECT_EQ(m_view->Text(kAxisRows[1].sensitivityText), "0.0025");
}

TEST_F(MainWindowTest, EveryWayOutAndEveryEndOfPollingReleasesTheStick)
{
    struct WayOut {
        const char* name;
        std::function<void()> leave;
    };
    const WayOut ways[] = {
        { "OK", [this] { m_view->Click(kIdOk); } },
        { "close box", [this] { m_view->Close(); } },
        { "a close request from outside", [this] { m_view->RequestClose(); } },
    };
    auto& stick = m_input.AddJoystick(kStickA, "Stick A", 12);
    stick.state.lY = -8000; // pitch
    stick.state.lX = 6000; // roll
    stick.state.lRz = 5000; // pedals
    stick.state.lZ = -5000; // tiller
    stick.state.rglSlider[0] = 2000; // left thrust lever
    for (int button = 0; button < 6; ++button) {
        stick.state.rgbButtons[button] = 0x80; // A/P DISC, A/T DISC, the brakes and the reversers
    }
    const std::size_t sticks[] = { GSB::kPitchOutput, GSB::kRollOutput, GSB::kPedalsOutput, GSB::kTillerOutput };
    const std::size_t bytes[]
        = { GSB::kApDiscPressed, GSB::kAtDiscPressed, GSB::kBrakeLPressed, GSB::kBrakeRPressed, GSB::kReverserPressed };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        WriteConfiguration(0, Configuration());
        Open();
        Tick(40);
        for (const std::size_t output : sticks) {
            ASSERT_GT(std::fabs(Double(output)), 1.0) << output;
        }
        for (const std::size_t byte : bytes) {
            ASSERT_EQ(GSB::LoadByte(Block(), byte), 1) << byte;
        }
        const double lever = Double(GSB::kThrLvrLOutput);
        ASSERT_GT(lever, 1.0);

        way.leave();
        for (const std::size_t output : sticks) {
            EXPECT_EQ(Double(output), 0.0) << output;
        }
        for (const std::size_t byte : bytes) {
            EXPECT_EQ(GSB::LoadByte(Block(), byte), 0) << byte;
        }
        EXPECT_EQ(Double(GSB::kThrLvrLOutput), lever) << "the levers keep their value";
        m_view.reset();
        m_dialog.reset();
    }

    // Neither Escape nor a Read Alternate whose file has gone ends polling:
    // the stick goes on being published as it stands.
    WriteConfiguration(0, Configuration());
    Open();
    Tick(40);
    const double pitch = Double(GSB::kPitchOutput);
    ASSERT_GT(std::fabs(pitch), 1.0);
    m_view->PressEscape();
    std::filesystem::remove(ConfigurationPath(0));
    m_view->Click(kReadAlternate);
    Tick(3);
    EXPECT_FALSE(m_view->Ended());
    EXPECT_NEAR(Double(GSB::kPitchOutput), pitch, 0.1) << "still published";
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kApDiscPressed), 1);
    stick.state.lY = 0;
    Tick(60);
    EXPECT_NEAR(Double(GSB::kPitchOutput), 0.0, 0.01) << "released by the operator, followed by the window";
}
