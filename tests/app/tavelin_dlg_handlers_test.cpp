// The main window's widgets and buttons: assignment combos, sensitivity spins,
// Save, Read Alternate, the set-up dialogs behind which the cycle keeps
// running, and every way out of the window.
#include "tests/app/main_window_fixture.h"

#include "app/TavelinApp.h"
#include "config/WhichConfig.h"
#include "devices/JoystickRecording.h"
#include "dialogs/DeadBandDlg.h"
#include "dialogs/TlaSetUp.h"
#include "mapping/PublisherLock.h"
#include "support/Paths.h"
#include "tests/support/os_helpers.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

using namespace MainIds;
namespace GSB = GenericSimBlock;

TEST_F(MainWindowTest, AssignmentCombosStoreIntoTheModel)
{
    m_input.AddJoystick(kStickA, "Stick A", 32);
    m_input.AddJoystick(kStickB, "Pedals B", 8);
    Open();
    Tick();
    JoystickSet& set = *m_dialog->GetJoySticks();
    const MainIds::AxisRowIds& pitch = kAxisRows[0];

    m_view->Select(pitch.inputCombo, 3);
    EXPECT_EQ(set.GetAxisInput(AxisPitch), 3);
    EXPECT_EQ(m_view->Text(pitch.inputCombo), "Rx");
    m_view->Select(pitch.joystickCombo, 1);
    EXPECT_EQ(set.GetAxisSlot(AxisPitch), 1);
    EXPECT_EQ(LoadAxisAssignment(Block(), GSB::kPitchRecord).joystickId, static_cast<std::int32_t>(kStickB));
    EXPECT_EQ(LoadAxisAssignment(Block(), GSB::kPitchRecord).input, 3);

    // A number beyond the joystick's buttons is pulled back to its last one.
    const ButtonRowIds& apDisc = kButtonRows[ButtonApDisc];
    m_view->Select(apDisc.joystickCombo, 1);
    EXPECT_EQ(set.GetButtonSlot(ButtonApDisc), 1);
    m_view->Select(apDisc.buttonCombo, 12);
    EXPECT_EQ(set.GetButtonNumber(ButtonApDisc), 8);
    EXPECT_EQ(m_view->Text(apDisc.buttonCombo), "8");
    EXPECT_EQ(m_view->Control(apDisc.buttonCombo).selection, 8);

    // Moving a row to a joystick with fewer buttons limits its number again.
    const ButtonRowIds& brakesR = kButtonRows[ButtonBrakeR];
    m_view->Select(brakesR.buttonCombo, 20);
    EXPECT_EQ(set.GetButtonNumber(ButtonBrakeR), 20);
    m_view->Select(brakesR.joystickCombo, 1);
    EXPECT_EQ(set.GetButtonSlot(ButtonBrakeR), 1);
    EXPECT_EQ(set.GetButtonNumber(ButtonBrakeR), 8);
    EXPECT_EQ(m_view->Text(brakesR.buttonCombo), "8");
    // "NA" clears the number.
    m_view->Select(brakesR.buttonCombo, 0);
    EXPECT_EQ(set.GetButtonNumber(ButtonBrakeR), 0);

    m_view->Select(kEyeJoystickCombo, 1);
    EXPECT_EQ(set.GetEyeViewSlot(), 1);
    m_view->Select(kEyePovCombo, 2);
    EXPECT_EQ(set.GetEyeViewInput(), 2);

    // A renderer's stray position never indexes past the slots or the inputs.
    m_dialog->OnSelectionChange(pitch.joystickCombo, 9);
    m_dialog->OnSelectionChange(pitch.inputCombo, -4);
    m_dialog->OnSelectionChange(apDisc.joystickCombo, 4);
    EXPECT_EQ(set.GetAxisSlot(AxisPitch), 1);
    EXPECT_EQ(set.GetAxisInput(AxisPitch), 3);
    EXPECT_EQ(set.GetButtonSlot(ButtonApDisc), 1);
}

TEST_F(MainWindowTest, SensitivitySpinSubtractsATenthOfTheStep)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    EXPECT_DOUBLE_EQ(Double(GSB::kPitchSensitivity), 0.002);
    EXPECT_EQ(m_view->Spin(kAxisRows[0].spin, -1), 0);
    EXPECT_NEAR(Double(GSB::kPitchSensitivity), 0.0021, 1e-12);
    EXPECT_EQ(m_view->Text(kAxisRows[0].sensitivityText), "0.0021");
    m_view->Spin(kAxisRows[3].spin, 5);
    EXPECT_NEAR(Double(GSB::kTillerSensitivity), 0.0015 - 0.0005, 1e-12);
    EXPECT_EQ(m_view->Text(kAxisRows[3].sensitivityText), "0.0010");
    // No limit below zero.
    for (int i = 0; i < 30; ++i) {
        m_view->Spin(kAxisRows[3].spin, 1);
    }
    EXPECT_EQ(m_view->Text(kAxisRows[3].sensitivityText), "-0.0020");
}

TEST_F(MainWindowTest, SaveWritesOnlyAfterOkAndReportsAFailedWrite)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    const std::string startFile = m_view->Text(kCurrentFile);

    {
        SCOPED_TRACE("Cancel after a choice saves nothing");
        WriteConfiguration(1, "untouched");
        std::string help;
        m_view->QueueChild([&](RecordingDialogView& child) {
            help = child.Text(CWhichConfigDlg::kHelpText);
            EXPECT_EQ(child.Text(CWhichConfigDlg::kStatusText), "Currently using " + startFile);
            child.Click(CWhichConfigDlg::kAlternate1Button);
            child.Click(kIdCancel);
        });
        m_view->Click(kSaveAssignments);
        EXPECT_EQ(m_view->childTemplates.back(), kConfigChoiceTemplateId);
        EXPECT_NE(help.find(":>Stick A <:\n"), std::string::npos);
        EXPECT_EQ(ReadConfiguration(1), "untouched");
        EXPECT_EQ(m_view->Text(kCurrentFile), startFile);
    }
    {
        SCOPED_TRACE("OK saves to the chosen file and names it");
        m_view->QueueChild([](RecordingDialogView& child) {
            child.Click(CWhichConfigDlg::kAlternate3Button);
            child.Click(kIdOk);
        });
        m_view->Click(kSaveAssignments);
        EXPECT_NE(ReadConfiguration(3).find("NAME = ALTN_3_JOYSTICK_SETUP"), std::string::npos);
        EXPECT_EQ(m_view->Text(kCurrentFile), Paths::ConfigurationFile(3));
        EXPECT_TRUE(m_view->messageBoxes.empty());
        Tick();
        const RecordedControl& list = m_view->Control(kWarningList);
        ASSERT_FALSE(list.rows.empty());
        EXPECT_EQ(list.rows.back()[1], "Saved to " + Paths::ConfigurationFile(3));
        EXPECT_EQ(m_view->Control(kWarningLamp).lamp, LampPicture::On) << "a note, not a warning";

        // The next save's choice claims no replaced joystick IDs because of it.
        std::string warning = "?";
        m_view->QueueChild([&](RecordingDialogView& child) {
            warning = child.Text(CWhichConfigDlg::kWarningText);
            child.Click(kIdCancel);
        });
        m_view->Click(kSaveAssignments);
        EXPECT_EQ(warning, "");
    }
    {
        SCOPED_TRACE("a file that cannot be written is reported");
        std::filesystem::create_directories(ConfigurationPath(2));
        m_view->QueueChild([](RecordingDialogView& child) {
            child.Click(CWhichConfigDlg::kAlternate2Button);
            child.Click(kIdOk);
        });
        m_view->Click(kSaveAssignments);
        ASSERT_EQ(m_view->messageBoxes.size(), 1u);
        EXPECT_EQ(m_view->messageBoxes[0].second, "CTavelinDlg::OnSave");
        EXPECT_FALSE(m_view->messageBoxes[0].first.empty());
        EXPECT_EQ(m_view->Text(kCurrentFile), Paths::ConfigurationFile(3));
    }
}

TEST_F(MainWindowTest, ReadAlternateSwitchesTheConfigurationInTheBlock)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    WriteConfiguration(2, Configuration(3));

    m_view->QueueChild([](RecordingDialogView& child) {
        child.Click(CWhichConfigDlg::kAlternate2Button);
        child.Click(kIdOk);
    });
    m_view->Click(kReadAlternate);
    EXPECT_EQ(GSB::LoadInt32(Block(), GSB::kConfigurationIndex), 2);
    EXPECT_EQ(m_view->Text(kSetUpName), "ALTN 2 JOY STICK SET UP ");
    EXPECT_EQ(m_view->Text(kCurrentFile), Paths::ConfigurationFile(2));
    EXPECT_EQ(m_dialog->GetJoySticks()->GetAxisInput(AxisPitch), 3);
    EXPECT_EQ(m_view->Text(kAxisRows[0].inputCombo), "Rx");
    EXPECT_TRUE(m_view->messageBoxes.empty());
    EXPECT_EQ(Users(), 3); // the old joystick set detached, the new one attached

    // A missing alternate: reported, and the set-up in use stays (see the operator tests).
    m_view->QueueChild([](RecordingDialogView& child) {
        child.Click(CWhichConfigDlg::kAlternate1Button);
        child.Click(kIdCancel); // a choice made before Cancel still counts
    });
    m_view->Click(kReadAlternate);
    ASSERT_EQ(m_view->messageBoxes.size(), 1u);
    EXPECT_EQ(m_view->messageBoxes[0].second, "CTavelinDlg::OnRead1");
    EXPECT_EQ(GSB::LoadInt32(Block(), GSB::kConfigurationIndex), 2);
    EXPECT_EQ(m_view->Text(kCurrentFile), Paths::ConfigurationFile(2));

    // Cancelled before any choice: the default.
    m_view->QueueChild([](RecordingDialogView& child) { child.Click(kIdCancel); });
    m_view->messageBoxes.clear();
    m_view->Click(kReadAlternate);
    EXPECT_TRUE(m_view->messageBoxes.empty());
    EXPECT_EQ(GSB::LoadInt32(Block(), GSB::kConfigurationIndex), 0);
    EXPECT_EQ(m_view->Text(kSetUpName), "DEFAULT JOY STICK SET UP ");
    EXPECT_EQ(m_view->Text(kCurrentFile), Paths::ConfigurationFile(0));
    EXPECT_EQ(m_dialog->GetJoySticks()->GetAxisInput(AxisPitch), 1);
    EXPECT_TRUE(m_view->Control(ReadoutValueId(0, 0)).enabled);
    EXPECT_EQ(Users(), 3);
}

TEST_F(MainWindowTest, DeadBandDialogStoresOnlyOnOk)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    m_view->QueueChild([](RecordingDialogView& child) {
        EXPECT_EQ(child.Text(CDeadBandDlg::kPitchValue), "0.5000");
        child.Spin(CDeadBandDlg::kPitchSpin, 3);
        child.Spin(CDeadBandDlg::kTillerSpin, -60);
        child.Click(kIdCancel);
    });
    m_view->Click(kSetDeadBands);
    EXPECT_EQ(m_view->childTemplates.back(), kDeadBandTemplateId);
    EXPECT_DOUBLE_EQ(Double(GSB::kPitchDeadBand), 0.5);
    EXPECT_DOUBLE_EQ(Double(GSB::kRollDeadBand), 0.5);
    EXPECT_DOUBLE_EQ(Double(GSB::kPedalsDeadBand), 0.5);
    EXPECT_DOUBLE_EQ(Double(GSB::kTillerDeadBand), 0.5);

    m_view->QueueChild([](RecordingDialogView& child) {
        child.Spin(CDeadBandDlg::kPedalsSpin, 2);
        child.Spin(CDeadBandDlg::kTillerSpin, -60);
        child.Click(kIdOk);
    });
    m_view->Click(kSetDeadBands);
    EXPECT_DOUBLE_EQ(Double(GSB::kPitchDeadBand), 0.5);
    EXPECT_DOUBLE_EQ(Double(GSB::kPedalsDeadBand), 0.52);
    EXPECT_NEAR(Double(GSB::kTillerDeadBand), -0.1, 1e-9);
}

TEST_F(MainWindowTest, ThrustLeverDialogEditsLiveWhileTheCycleRunsBehindIt)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    auto& state = m_input.joystick(0).state;
    state.rglSlider[0] = 10000; // both levers at 0 %
    state.rglSlider[1] = 10000;
    Open();
    Tick(3);
    EXPECT_DOUBLE_EQ(Double(GSB::kThrLvrLOutput), 0.0);
    SetDouble(GSB::kThrLvrLFilterTimeConstant, 0.015);

    m_view->QueueChild([&](RecordingDialogView& child) {
        EXPECT_EQ(child.Text(CTlaSetUp::kLeftSensitivity), "1.0000");
        EXPECT_EQ(child.Text(CTlaSetUp::kLeftTimeConstant), "0.0150");
        EXPECT_EQ(child.Text(CTlaSetUp::kHelpText), CTlaSetUp::kHelp);

        // 0.005 is below the smallest time constant: filtering off, at once.
        child.Spin(CTlaSetUp::kLeftTimeConstantSpin, 1);
        EXPECT_DOUBLE_EQ(Double(GSB::kThrLvrLFilterTimeConstant), 0.0);
        EXPECT_EQ(child.Text(CTlaSetUp::kLeftTimeConstant), "0.0000");

        // Ticks reach the main window while the dialog is open: whole cycles run.
        const int cycles = m_dialog->GetCycleCount();
        state.rglSlider[0] = 0;
        state.rglSlider[1] = 0;
        child.Parent()->Tick();
        EXPECT_EQ(m_dialog->GetCycleCount(), cycles + 1);
        EXPECT_DOUBLE_EQ(Double(GSB::kThrLvrLOutput), 50.0);
        const double lagged = Double(GSB::kThrLvrROutput);
        EXPECT_GT(lagged, 0.0);
        EXPECT_LT(lagged, 10.0);
        for (int i = 1; i < kNumberCycles; ++i) {
            child.Parent()->Tick();
        }
        EXPECT_EQ(m_view->Text(kAxisRows[4].valueText), " 50.000 Deg");

        // A sensitivity step is used by the next cycle but does not hand the
        // filters a time constant changed behind their back.
        SetDouble(GSB::kThrLvrRFilterTimeConstant, 0.0);
        child.Spin(CTlaSetUp::kRightSensitivitySpin, 1);
        EXPECT_DOUBLE_EQ(Double(GSB::kThrLvrRSensitivity), 0.99);
        EXPECT_EQ(child.Text(CTlaSetUp::kRightSensitivity), "0.9900");
        child.Parent()->Tick();
        EXPECT_LT(Double(GSB::kThrLvrROutput), 30.0);
        child.Click(kIdOk);
    });
    m_view->Click(kThrustLeverData);
    EXPECT_EQ(m_view->childTemplates.back(), kThrustLeverTemplateId);
    // OK hands the filters their time constants.
    Tick();
    EXPECT_DOUBLE_EQ(Double(GSB::kThrLvrROutput), 49.5);

    m_view->QueueChild([](RecordingDialogView& child) {
        child.Spin(CTlaSetUp::kLeftOffsetSpin, -1);
        child.Spin(CTlaSetUp::kRightTimeConstantSpin, -2);
        child.Click(kIdCancel);
    });
    m_view->Click(kThrustLeverData);
    EXPECT_DOUBLE_EQ(Double(GSB::kThrLvrLOffset), 0.01); // stepping is kept after Cancel
    EXPECT_DOUBLE_EQ(Double(GSB::kThrLvrRFilterTimeConstant), 0.02);
}

TEST_F(MainWindowTest, AboutBoxAndControlPanel)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    std::string firstLine;
    m_view->QueueChild([&](RecordingDialogView& child) {
        firstLine = AboutDialogTemplate().controls[1].text;
        EXPECT_EQ(child.Title(), "About Tavelin");
        child.Click(kIdOk);
    });
    m_view->SystemCommand(kAboutCommand);
    EXPECT_EQ(m_view->childTemplates.back(), kAboutTemplateId);
    EXPECT_EQ(firstLine, "Tavelin Version 1.0");
    EXPECT_FALSE(m_view->Ended());
    EXPECT_EQ(m_view->Title(), "Version 1.6");

    m_view->Click(kControlPanel);
    EXPECT_EQ(m_input.CountCalls("RunControlPanel 0"), 1);
    EXPECT_TRUE(m_view->messageBoxes.empty());

    // A panel that cannot start: said when the backend knows why, silent as
    // DirectInput is when it does not.
    m_input.Script("RunControlPanel", DIERR_UNSUPPORTED);
    m_view->Click(kControlPanel);
    EXPECT_TRUE(m_view->messageBoxes.empty());
    m_input.Script("RunControlPanel", DIERR_UNSUPPORTED);
    m_input.SetFailureDetail("Install jstest-gtk.");
    m_view->Click(kControlPanel);
    ASSERT_EQ(m_view->messageBoxes.size(), 1u);
    EXPECT_EQ(m_view->messageBoxes[0].first, "Install jstest-gtk.");
    EXPECT_EQ(m_view->messageBoxes[0].second, "CTavelinDlg::OnControlPanel");
}

TEST_F(MainWindowTest, EveryWayOutReleasesTheJoysticksAndBothViewsOnce)
{
    struct WayOut {
        const char* name;
        std::function<void(RecordingDialogView&)> leave;
        int result;
    };
    const WayOut ways[] = {
        { "OK", [](RecordingDialogView& view) { view.Click(kIdOk); }, kIdOk },
        { "close box", [](RecordingDialogView& view) { view.Close(); }, kIdOk },
        { "system menu", [](RecordingDialogView& view) { view.SystemCommand(kSystemClose); }, kIdOk },
        { "close request from outside", [](RecordingDialogView& view) { view.RequestClose(); }, kIdOk },
    };
    m_input.AddJoystick(kStickA, "Stick A", 12);
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        Open();
        Tick(2);
        EXPECT_EQ(Users(), 3);
        EXPECT_EQ(m_input.LiveDevices(), 1);
        way.leave(*m_view);
        EXPECT_TRUE(m_view->Ended());
        EXPECT_EQ(m_view->Result(), way.result);
        EXPECT_TRUE(m_view->Destroyed());
        EXPECT_TRUE(m_view->timers.empty());
        EXPECT_EQ(m_dialog->GetJoySticks(), nullptr);
        EXPECT_FALSE(m_dialog->HasSharedMemory());
        EXPECT_EQ(Users(), 1);
        EXPECT_EQ(m_input.LiveDevices(), 0);
        EXPECT_EQ(m_input.LiveRoots(), 0);
        // A late tick or a second way out changes nothing.
        EXPECT_FALSE(m_dialog->OnCycle());
        m_dialog->OnClose();
        m_dialog->OnDestroy();
        m_view.reset();
        m_dialog.reset();
        EXPECT_EQ(Users(), 1);
    }
}

TEST_F(MainWindowTest, ClosingWhileAChildDialogIsOpenWaitsForIt)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    m_view->QueueChild([&](RecordingDialogView& child) {
        m_dialog->OnClose(); // the renderer's signal path, say
        EXPECT_NE(m_dialog->GetJoySticks(), nullptr);
        child.Spin(CTlaSetUp::kLeftTimeConstantSpin, 1); // still reaches a live joystick set
        child.Click(kIdCancel);
    });
    m_view->Click(kThrustLeverData);
    EXPECT_TRUE(m_view->Ended());
    EXPECT_TRUE(m_view->Destroyed());
    EXPECT_EQ(Users(), 1);
}

TEST_F(MainWindowTest, ApplicationRunsTheWindowToItsEnd)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    int cycles = 0;
    RecordingDialogRunner runner([&](RecordingDialogView& view) {
        view.Tick();
        view.Tick();
        cycles = static_cast<CTavelinDlg&>(view.Presenter()).GetCycleCount();
        EXPECT_EQ(Users(), 3);
        view.Click(kIdOk);
    });
    CTavelinApp app;
    EXPECT_FALSE(app.InitInstance(runner));
    EXPECT_EQ(runner.runs, 1);
    EXPECT_EQ(cycles, 2);
    EXPECT_EQ(Users(), 1);
}

TEST_F(MainWindowTest, ApplicationRefusesToStartWhileAnotherPublishesIntoTheBlock)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    SetDouble(GSB::kPitchSensitivity, 0.25);
    const std::string name = KQ_P_0001_02_Shm::DefaultMappingName();
    auto first = std::make_unique<PublisherLock>(name.c_str());
    ASSERT_TRUE(first->Acquire()) << first->GetErrorText();

    RecordingDialogRunner runner([](RecordingDialogView&) { ADD_FAILURE() << "the second window opened"; });
    CTavelinApp second;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(second.InitInstance(runner));
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(second.ExitCode(), 1);
    EXPECT_EQ(runner.runs, 0);
    const std::string text
        = "Another Tavelin publishes into the shared block \"" + name + "\".\nThis one does not start.";
    ASSERT_EQ(runner.boxes.size(), 1u);
    EXPECT_EQ(runner.boxes[0].first, text);
    EXPECT_EQ(runner.boxes[0].second, "CTavelinApp::InitInstance");
    EXPECT_EQ(errors,
        "CTavelinApp::InitInstance: Another Tavelin publishes into the shared block \"" + name
            + "\". / This one does not start.\n");
    // Nothing in the block was touched: no attach, no configuration load.
    EXPECT_EQ(Users(), 1);
    EXPECT_EQ(Double(GSB::kPitchSensitivity), 0.25);

    // Once the first one has gone, the next one starts.
    first.reset();
    RecordingDialogRunner later([](RecordingDialogView& view) { view.Click(kIdOk); });
    CTavelinApp third;
    third.InitInstance(later);
    EXPECT_EQ(third.ExitCode(), 0);
    EXPECT_EQ(later.runs, 1);
}

TEST_F(MainWindowTest, RecordTogglesARecordingOfTheSlotsAndTavelinRecordStartsOneAtOnce)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    const std::filesystem::path scripts = std::filesystem::temp_directory_path() / ShmTestOs::UniqueName("record");
    std::filesystem::create_directories(scripts);
    const std::string scripted = (scripts / "scripted.txt").string();
    ShmTestOs::SetEnvironment("TAVELIN_RECORD", scripted.c_str());
    Open();
    ShmTestOs::UnsetEnvironment("TAVELIN_RECORD");
    Tick();
    ASSERT_TRUE(m_dialog->GetRecording().IsRecording());
    EXPECT_EQ(m_dialog->GetRecording().Path(), scripted);
    EXPECT_EQ(m_view->Text(kRecord), "Stop");
    // The button ends it, and starts a new one in the configuration folder.
    m_view->Click(kRecord);
    EXPECT_EQ(m_view->Text(kRecord), "Record");
    EXPECT_FALSE(m_dialog->GetRecording().IsRecording());
    m_view->Click(kRecord);
    ASSERT_TRUE(m_dialog->GetRecording().IsRecording());
    const std::string path = m_dialog->GetRecording().Path();
    EXPECT_EQ(path.rfind(Paths::ConfigurationFolder() + Paths::Separator() + "Recording-", 0), 0u) << path;
    m_input.joystick(0).state.lX = 1234;
    m_input.joystick(0).state.rgbButtons[2] = 0x80;
    Tick(3);
    m_view->Click(kRecord);
    EXPECT_EQ(m_view->Text(kRecord), "Record");

    for (const std::string& file : { scripted, path }) {
        std::ifstream in(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const ParsedRecording recording = ParseRecording(text);
        EXPECT_EQ(recording.problem, "") << file;
        ASSERT_TRUE(recording.declared[0]) << file;
        EXPECT_FALSE(recording.declared[1]);
        EXPECT_EQ(recording.slots[0].name, "Stick A");
        EXPECT_EQ(recording.slots[0].joystickId, kStickA);
        EXPECT_EQ(recording.slots[0].buttons, 12);
        ASSERT_FALSE(recording.slots[0].changes.empty());
    }
    std::ifstream in(path, std::ios::binary);
    const ParsedRecording moved
        = ParseRecording(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    const RecordedState& last = moved.slots[0].changes.back().state;
    EXPECT_EQ(last.values[0], 1234);
    EXPECT_EQ(last.pressed, 1u << 2);

    WarningList warnings;
    m_dialog->GetJoySticks()->GetWarnings(warnings);
    std::vector<std::string> said(warnings.messages, warnings.messages + warnings.count);
    for (const std::string& expected : { "Recording the joysticks into " + scripted, "Recording ended: " + scripted,
             "Recording the joysticks into " + path, "Recording ended: " + path }) {
        EXPECT_NE(std::find(said.begin(), said.end(), expected), said.end()) << expected;
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::remove_all(scripts, ignored);
}
