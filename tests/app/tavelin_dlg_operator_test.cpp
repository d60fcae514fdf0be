// The operator is never stranded: a first start without a configuration, a
// failed load that can be recovered, deliberate ways out, boxes that reach
// standard error, and whatever another program writes into the block.
#include "tests/app/main_window_fixture.h"

#include "config/WhichConfig.h"
#include "dialogs/DeadBandDlg.h"
#include "support/Paths.h"

#include <atomic>
#include <filesystem>
#include <random>
#include <thread>

using namespace MainIds;
namespace GSB = GenericSimBlock;

namespace {

// Reads what the test wrote to standard error while `run` ran.
template <typename Run> std::string StandardErrorOf(Run run)
{
    ::testing::internal::CaptureStderr();
    run();
    // Windows writes its text-mode line ends; the lines are what count.
    std::string output = ::testing::internal::GetCapturedStderr();
    std::erase(output, '\r');
    return output;
}

bool HasLine(const std::string& output, const std::string& line)
{
    return ("\n" + output).find("\n" + line + "\n") != std::string::npos;
}

} // namespace

TEST_F(MainWindowTest, AFirstStartWritesTheDefaultSetUpLoadsItAndSaysSo)
{
    std::filesystem::remove(ConfigurationPath(0));
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    EXPECT_TRUE(m_dialog->StartedOk());
    EXPECT_TRUE(m_view->messageBoxes.empty()) << m_view->messageBoxes.front().first;
    const std::string written = ReadConfiguration(0);
    EXPECT_NE(written.find("NAME = DEFAULT_JOYSTICK_SETUP"), std::string::npos) << written;
    EXPECT_NE(written.find("PITCH_SENS\t\t= 0.002000"), std::string::npos) << written;

    Tick();
    EXPECT_EQ(m_view->Text(kCurrentFile), ConfigurationPath(0));
    EXPECT_EQ(m_view->Text(kAxisRows[0].inputCombo), " Y");
    EXPECT_TRUE(m_view->Control(kSaveAssignments).enabled);
    const RecordedControl& list = m_view->Control(kWarningList);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0][1], "No Joystick.ini was found: the default set-up was written to " + ConfigurationPath(0));
    // Tavelin's own news: no warning, so the lamp stays green.
    EXPECT_EQ(m_view->Control(kWarningLamp).lamp, LampPicture::On);
    EXPECT_FALSE(m_dialog->GetJoySticks()->HasWarnings());

    // The default set-up publishes: full pitch deflection is 20 degrees less the dead band.
    m_input.joystick(0).state.lY = 10000;
    Tick(60);
    EXPECT_NEAR(Double(GSB::kPitchOutput), 19.5, 0.05);

    // An existing file, however it looks, is never replaced.
    m_view->Click(kOk);
    m_view.reset();
    m_dialog.reset();
    WriteConfiguration(0, "not a configuration");
    Open();
    EXPECT_EQ(ReadConfiguration(0), "not a configuration");
    EXPECT_FALSE(m_dialog->StartedOk());
}

TEST_F(MainWindowTest, AFailedStartUpLoadIsRecoveredThroughReadAlternate)
{
    WriteConfiguration(0, "[CONFIG_DETAILS]\nNAME = BROKEN\n");
    WriteConfiguration(1, Configuration(3));
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    ASSERT_FALSE(m_dialog->StartedOk());
    ASSERT_EQ(m_view->messageBoxes.size(), 1u);
    EXPECT_EQ(m_view->messageBoxes[0].second, "CTavelinDlg::Initialise");
    EXPECT_EQ(m_view->Text(kCurrentFile), ConfigurationPath(0));
    Tick(3);
    EXPECT_EQ(m_dialog->GetCycleCount(), 0);

    // Read Alternate offers the choice although nothing is loaded.
    m_view->messageBoxes.clear();
    std::string status;
    m_view->QueueChild([&](RecordingDialogView& child) {
        status = child.Text(CWhichConfigDlg::kStatusText);
        child.Click(CWhichConfigDlg::kAlternate1Button);
        child.Click(kIdOk);
    });
    m_view->Click(kReadAlternate);
    EXPECT_EQ(status, "Currently using " + ConfigurationPath(0));
    EXPECT_TRUE(m_view->messageBoxes.empty()) << m_view->messageBoxes.front().first;
    EXPECT_TRUE(m_dialog->StartedOk());
    EXPECT_EQ(m_view->Text(kCurrentFile), ConfigurationPath(1));
    EXPECT_TRUE(m_view->Control(kSaveAssignments).enabled);

    // The cycle runs and publishes the loaded set-up: pitch on Rx.
    m_input.joystick(0).state.lRx = 10000;
    Tick(60);
    EXPECT_GT(m_dialog->GetCycleCount(), 0);
    EXPECT_EQ(m_view->Text(kAxisRows[0].inputCombo), "Rx");
    EXPECT_NEAR(Double(GSB::kPitchOutput), 19.5, 0.05);
}

TEST_F(MainWindowTest, AFailedReadAlternateKeepsTheSetUpInUseRunning)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    const std::string setUpName = m_view->Text(kSetUpName);
    m_view->Spin(kAxisRows[0].spin, -5); // a tuning change not yet saved
    const double sensitivity = Double(GSB::kPitchSensitivity);
    const double deadBand = Double(GSB::kPitchDeadBand);
    m_input.joystick(0).state.lY = 10000;
    Tick(60);
    const double deflected = Double(GSB::kPitchOutput);
    ASSERT_GT(deflected, 15.0);

    // Twice: the second Read Alternate is no worse off than the first.
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        m_view->messageBoxes.clear();
        m_view->QueueChild([](RecordingDialogView& child) {
            child.Click(CWhichConfigDlg::kAlternate2Button);
            child.Click(kIdOk);
        });
        m_view->Click(kReadAlternate);
        EXPECT_EQ(m_view->ChildrenRun(), attempt + 1) << "the choice is offered every time";
        ASSERT_EQ(m_view->messageBoxes.size(), 1u);
        EXPECT_EQ(m_view->messageBoxes[0].second, "CTavelinDlg::OnRead1");
        EXPECT_NE(m_view->messageBoxes[0].first.find("Joystick2.ini"), std::string::npos)
            << m_view->messageBoxes[0].first;
        EXPECT_EQ(m_view->Text(kCurrentFile), ConfigurationPath(0));
        EXPECT_EQ(m_view->Text(kSetUpName), setUpName);
        EXPECT_EQ(GSB::LoadInt32(Block(), GSB::kConfigurationIndex), 0);
        EXPECT_EQ(SetUpName(), "DEFAULT_JOYSTICK_SETUP");
        EXPECT_DOUBLE_EQ(Double(GSB::kPitchSensitivity), sensitivity);
        EXPECT_DOUBLE_EQ(Double(GSB::kPitchDeadBand), deadBand);
        EXPECT_EQ(Users(), 3);

        // The stick still moves pitch, and releasing it brings pitch back.
        m_input.joystick(0).state.lY = 0;
        Tick(60);
        EXPECT_NEAR(Double(GSB::kPitchOutput), 0.0, 0.01);
        m_input.joystick(0).state.lY = 10000;
        Tick(60);
        EXPECT_NEAR(Double(GSB::kPitchOutput), deflected, 0.01);
    }

    // Once the alternate exists it loads.
    WriteConfiguration(2, Configuration(3));
    m_view->messageBoxes.clear();
    m_view->QueueChild([](RecordingDialogView& child) {
        child.Click(CWhichConfigDlg::kAlternate2Button);
        child.Click(kIdOk);
    });
    m_view->Click(kReadAlternate);
    EXPECT_TRUE(m_view->messageBoxes.empty());
    EXPECT_EQ(m_view->Text(kCurrentFile), ConfigurationPath(2));
    EXPECT_EQ(m_dialog->GetJoySticks()->GetAxisInput(AxisPitch), 3);
}

TEST_F(MainWindowTest, ACloseRequestDuringAChildDialogEndsItsHandlerWithoutStoringAnything)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    WriteConfiguration(1, Configuration(3));
    {
        SCOPED_TRACE("Read Alternate");
        Open();
        Tick();
        const std::string before = ReadConfiguration(0);
        m_view->QueueChild([&](RecordingDialogView& child) {
            child.Click(CWhichConfigDlg::kAlternate1Button);
            m_view->RequestClose();
            EXPECT_FALSE(m_view->Ended()) << "the handler is still running";
        });
        m_view->Click(kReadAlternate);
        EXPECT_TRUE(m_view->Ended());
        EXPECT_TRUE(m_view->Destroyed());
        EXPECT_EQ(GSB::LoadInt32(Block(), GSB::kConfigurationIndex), 0);
        EXPECT_EQ(SetUpName(), "DEFAULT_JOYSTICK_SETUP") << "no name stored";
        EXPECT_EQ(LoadAxisAssignment(Block(), GSB::kPitchRecord).input, 1) << "no file loaded";
        EXPECT_EQ(ReadConfiguration(0), before);
        EXPECT_EQ(Users(), 1);
        EXPECT_TRUE(m_view->questions.empty());
        m_view.reset();
        m_dialog.reset();
    }
    {
        SCOPED_TRACE("Set Dead Bands, even with OK pressed first");
        Open();
        Tick();
        m_view->QueueChild([&](RecordingDialogView& child) {
            child.Spin(CDeadBandDlg::kPitchSpin, -3);
            m_view->RequestClose();
            child.Click(kIdOk);
        });
        m_view->Click(kSetDeadBands);
        EXPECT_TRUE(m_view->Destroyed());
        EXPECT_DOUBLE_EQ(Double(GSB::kPitchDeadBand), 0.5);
        m_view.reset();
        m_dialog.reset();
    }
    {
        SCOPED_TRACE("Save");
        Open();
        Tick();
        WriteConfiguration(3, "untouched");
        m_view->QueueChild([&](RecordingDialogView& child) {
            child.Click(CWhichConfigDlg::kAlternate3Button);
            m_view->RequestClose();
        });
        m_view->Click(kSaveAssignments);
        EXPECT_TRUE(m_view->Destroyed());
        EXPECT_EQ(ReadConfiguration(3), "untouched");
    }
}

TEST_F(MainWindowTest, OneKeyNeverEndsTheWindowAndClosingAsksAboutUnsavedChanges)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick(2);
    EXPECT_FALSE(m_dialog->EndsOnDialogKeys());
    m_view->PressEscape();
    m_view->PressEnter();
    m_dialog->OnCommand(kIdCancel); // what a dialog manager makes of Escape
    m_dialog->OnCancel();
    EXPECT_FALSE(m_view->Ended());

    // Unchanged: OK ends at once, nothing asked.
    EXPECT_FALSE(m_dialog->HasUnsavedChanges());
    m_view->Click(kOk);
    EXPECT_TRUE(m_view->Ended());
    EXPECT_TRUE(m_view->questions.empty());
    m_view.reset();
    m_dialog.reset();

    // A tuning change: every way out asks; Cancel stays.
    Open();
    Tick();
    m_view->Spin(kAxisRows[0].spin, -5); // 0.002 -> 0.0025
    EXPECT_TRUE(m_dialog->HasUnsavedChanges());
    m_view->saveAnswers = { SaveChoice::Cancel, SaveChoice::Cancel, SaveChoice::Cancel };
    m_view->Click(kOk);
    m_view->Close();
    m_view->SystemCommand(kSystemClose);
    ASSERT_EQ(m_view->questions.size(), 3u);
    EXPECT_EQ(m_view->questions[0].second, "Tavelin");
    EXPECT_NE(m_view->questions[0].first.find(ConfigurationPath(0)), std::string::npos);
    EXPECT_FALSE(m_view->Ended());
    EXPECT_EQ(Users(), 3);

    // Discard ends without writing.
    const std::string before = ReadConfiguration(0);
    m_view->saveAnswers = { SaveChoice::Discard };
    m_view->Close();
    EXPECT_TRUE(m_view->Destroyed());
    EXPECT_EQ(ReadConfiguration(0), before);
    EXPECT_EQ(Users(), 1);
    m_view.reset();
    m_dialog.reset();

    // Save writes the file in use, then ends; the value survives a restart.
    Open();
    Tick();
    m_view->Select(kAxisRows[1].inputCombo, 4); // an assignment change counts too
    m_view->Spin(kAxisRows[0].spin, -5);
    m_view->saveAnswers = { SaveChoice::Save };
    m_view->Click(kOk);
    EXPECT_TRUE(m_view->Destroyed());
    EXPECT_NE(ReadConfiguration(0).find("PITCH_SENS\t\t= 0.002500"), std::string::npos) << ReadConfiguration(0);
    m_view.reset();
    m_dialog.reset();
    Open();
    Tick();
    EXPECT_NEAR(Double(GSB::kPitchSensitivity), 0.0025, 1e-12);
    EXPECT_EQ(m_view->Text(kAxisRows[1].inputCombo), "Ry");
    EXPECT_FALSE(m_dialog->HasUnsavedChanges());

    // A termination signal asks nothing, changes or not, even with the question open.
    m_view->Spin(kAxisRows[0].spin, -5);
    m_view->RequestClose();
    EXPECT_TRUE(m_view->Destroyed());
    EXPECT_TRUE(m_view->questions.empty());
    m_view.reset();
    m_dialog.reset();
    Open();
    Tick();
    m_view->Spin(kAxisRows[0].spin, -5);
    m_view->saveAnswers = { SaveChoice::Save };
    m_view->duringQuestion = [&] { m_view->RequestClose(); };
    const std::string saved = ReadConfiguration(0);
    m_view->Click(kOk);
    EXPECT_TRUE(m_view->Destroyed());
    EXPECT_EQ(ReadConfiguration(0), saved);
}

TEST_F(MainWindowTest, EveryBoxAndEveryNewWarningIsALineOnStandardError)
{
    WriteConfiguration(0, Configuration(1, 4242)); // one warning at the first resolution
    m_input.AddJoystick(kStickA, "Stick A", 12);
    std::string output = StandardErrorOf([&] {
        Open();
        Tick(2);
    });
    EXPECT_TRUE(HasLine(
        output, "Warning Message: JoyStick Id for PITCH in the ini file has no match with any attached Joy sticks"))
        << output;

    // A box's line ends become " / ".
    WriteConfiguration(2, "[FLIGHT_CONTROLS]\n");
    output = StandardErrorOf([&] {
        m_view->QueueChild([](RecordingDialogView& child) {
            child.Click(CWhichConfigDlg::kAlternate2Button);
            child.Click(kIdOk);
        });
        m_view->Click(kReadAlternate);
    });
    ASSERT_EQ(m_view->messageBoxes.size(), 1u);
    std::string expected = m_view->messageBoxes[0].second + ": " + m_view->messageBoxes[0].first;
    for (std::size_t at = expected.find('\n'); at != std::string::npos; at = expected.find('\n', at)) {
        expected.replace(at, 1, " / ");
    }
    EXPECT_NE(m_view->messageBoxes[0].first.find('\n'), std::string::npos);
    EXPECT_EQ(output, expected + "\n");

    // The question before closing too.
    m_view->Spin(kAxisRows[0].spin, -1);
    m_view->saveAnswers = { SaveChoice::Cancel };
    output = StandardErrorOf([&] { m_view->Click(kOk); });
    ASSERT_EQ(m_view->questions.size(), 1u);
    EXPECT_EQ(output.rfind("Tavelin: The assignment or tuning differs from " + ConfigurationPath(0) + " / ", 0), 0u)
        << output;
}

TEST_F(MainWindowTest, SlotsAndInputsFromTheBlockAreCheckedBeforeTheyIndex)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    // Another program writes nonsense into the pitch record; Read Alternate
    // of a file that does not exist keeps it, and the rows show it.
    for (const std::int32_t slot : { 5, 100000000, -7 }) {
        SCOPED_TRACE(slot);
        GSB::StoreInt32(Block(), GSB::kPitchRecord + GSB::kRecordSlot, slot);
        GSB::StoreInt32(Block(), GSB::kPitchRecord + GSB::kRecordInput, 100000000);
        m_view->QueueChild([](RecordingDialogView& child) {
            child.Click(CWhichConfigDlg::kAlternate3Button);
            child.Click(kIdOk);
        });
        m_view->messageBoxes.clear();
        m_view->Click(kReadAlternate);
        GSB::StoreInt32(Block(), GSB::kPitchRecord + GSB::kRecordSlot, slot);
        GSB::StoreInt32(Block(), GSB::kPitchRecord + GSB::kRecordInput, 100000000);
        m_dialog->SetUpAxisPanels(false);
        m_view->Select(kAxisRows[0].inputCombo, 2);
        const AxisAssignment pitch = LoadAxisAssignment(Block(), GSB::kPitchRecord);
        EXPECT_EQ(pitch.input, 2);
        EXPECT_EQ(pitch.slot, 0);
        EXPECT_EQ(pitch.joystickId, static_cast<std::int32_t>(kStickA));
        EXPECT_EQ(m_view->Text(kAxisRows[0].joystickCombo), "0");

        GSB::StoreInt32(Block(), GSB::kPitchRecord + GSB::kRecordSlot, slot);
        GSB::StoreInt32(Block(), GSB::kPitchRecord + GSB::kRecordInput, -100000000);
        m_dialog->SetUpAxisPanels(false);
        m_view->Select(kAxisRows[0].joystickCombo, 0);
        EXPECT_EQ(LoadAxisAssignment(Block(), GSB::kPitchRecord).input, 0);
    }
}

TEST_F(MainWindowTest, TheWholeWindowStaysSoundWhileAnotherWriterFillsTheSetUpWithNoise)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    m_input.AddJoystick(kStickB, "Pedals B", 8);
    WriteConfiguration(1, Configuration(3));
    Open();
    Tick();

    std::atomic<bool> stop { false };
    // The other writer has its own view of the block, as another program would.
    KQ_P_0001_02_Shm other(m_shmName.c_str());
    ASSERT_TRUE(other.IsReady()) << other.GetErrorText();
    std::thread writer([&] {
        std::mt19937 random(1234);
        auto* setUp = static_cast<unsigned char*>(other.GetBlock()) + GSB::kJoystickSetup;
        while (!stop.load(std::memory_order_relaxed)) {
            for (std::size_t i = 0; i + 4 <= GSB::kJoystickSetupSize; i += 4) {
                // Plain numbers, huge ones, negative ones and small ones, in turn.
                std::uint32_t value = random();
                if ((value & 3u) == 0) {
                    value %= 40;
                }
                std::memcpy(setUp + i, &value, sizeof value);
            }
            std::this_thread::yield();
        }
    });

    std::mt19937 random(99);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 400; ++round) {
        switch (pick(7)) {
        case 0: {
            const int choice = pick(4);
            m_view->QueueChild([choice](RecordingDialogView& child) {
                const std::int32_t buttons[] = { CWhichConfigDlg::kDefaultButton, CWhichConfigDlg::kAlternate1Button,
                    CWhichConfigDlg::kAlternate2Button, CWhichConfigDlg::kAlternate3Button };
                child.Click(buttons[choice]);
                child.Click(kIdOk);
            });
            m_view->Click(kReadAlternate);
            break;
        }
        case 1: {
            const AxisRowIds& row = kAxisRows[pick(6)];
            m_view->Select(pick(2) == 0 ? row.inputCombo : row.joystickCombo, pick(24));
            break;
        }
        case 2: {
            const ButtonRowIds& row = kButtonRows[1 + pick(kCockpitButtonCount - 1)];
            m_view->Select(pick(2) == 0 ? row.buttonCombo : row.joystickCombo, pick(32));
            break;
        }
        case 3:
            m_view->Select(pick(2) == 0 ? kEyePovCombo : kEyeJoystickCombo, pick(4));
            break;
        case 4:
            m_view->Spin(kAxisRows[pick(4)].spin, pick(11) - 5);
            break;
        case 5:
            m_view->QueueChild([](RecordingDialogView& child) {
                child.Click(CWhichConfigDlg::kAlternate3Button);
                child.Click(kIdOk);
            });
            m_view->Click(kSaveAssignments);
            break;
        default:
            Tick(3);
            break;
        }
        ASSERT_FALSE(m_view->Ended());
    }
    stop = true;
    writer.join();
    m_view->saveAnswers = { SaveChoice::Discard };
    m_view->Click(kOk);
    EXPECT_TRUE(m_view->Destroyed());
    EXPECT_EQ(Users(), 2); // the simulator and the other writer
}
