// The set-up files on their own: which file a start reads, the default a
// first start writes (never over anything of that name), what counts as an
// unsaved change and the question before closing, and Read Alternate, which
// hands back a new set only when the chosen file was read.
#include "app/SetUpFiles.h"
#include "config/WhichConfig.h"
#include "tests/app/window_part_fixture.h"

#include <filesystem>

using namespace MainIds;
namespace GSB = GenericSimBlock;

namespace {

class SetUpFilesTest : public WindowPartTest {
protected:
    void SetUp() override
    {
        WindowPartTest::SetUp();
        m_files.Bind(&View());
        m_files.BuildPaths();
    }
    std::string Listed() const
    {
        WarningList list;
        m_set->GetWarnings(list);
        return list.count > 0 ? list.messages[list.count - 1] : "";
    }

    SetUpFiles m_files { *this, m_windowBlock };
};

} // namespace

TEST_F(SetUpFilesTest, AStartReadsTheFileTheBlockNamesAndAFirstStartWritesTheDefault)
{
    m_windowBlock.SetConfigurationIndex(2);
    EXPECT_EQ(m_files.ChooseStartFile(), ConfigurationPath(2));
    m_windowBlock.SetConfigurationIndex(-1);
    EXPECT_EQ(m_files.ChooseStartFile(), ConfigurationPath(0));
    m_windowBlock.SetConfigurationIndex(3);
    BlockSetUp none;
    SetUpFiles blind(*this, none);
    blind.BuildPaths();
    EXPECT_EQ(blind.ChooseStartFile(), ConfigurationPath(0)) << "without the block, the default";

    // A file of that name is the operator's, whatever it holds.
    WriteConfiguration(0, "mine");
    m_files.WriteDefaultIfMissing();
    EXPECT_EQ(ReadConfiguration(0), "mine");
    std::filesystem::remove(ConfigurationPath(0));
    m_files.WriteDefaultIfMissing();
    EXPECT_NE(ReadConfiguration(0).find("NAME = DEFAULT_JOYSTICK_SETUP"), std::string::npos);
    EXPECT_TRUE(View().messageBoxes.empty());
    StartSet();
    m_files.NoteFirstRun(*m_set);
    EXPECT_EQ(Listed(), "No Joystick.ini was found: the default set-up was written to " + ConfigurationPath(0));
}

TEST_F(SetUpFilesTest, OnlyWhatAFileWouldHoldCountsAndClosingAsksBeforeItIsLost)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    StartSet();
    m_files.ChooseStartFile();
    m_files.ShowStartFile();
    m_files.Loaded();
    EXPECT_FALSE(m_files.HasUnsavedChanges(m_set.get())) << "nothing is compared before the first cycle";
    m_files.TakeSnapshotIfDue(*m_set);
    GSB::StoreInt32(Block(), GSB::kPitchRecord + GSB::kRecordSlot, 3); // a resolution moved it
    EXPECT_FALSE(m_files.HasUnsavedChanges(m_set.get()));
    EXPECT_TRUE(m_files.AskBeforeClosing());
    EXPECT_TRUE(View().questions.empty());

    m_windowBlock.Set(TuningValue::PitchSensitivity, 0.003);
    ASSERT_TRUE(m_files.HasUnsavedChanges(m_set.get()));
    const std::string saved = ReadConfiguration(0);
    View().saveAnswers = { SaveChoice::Cancel, SaveChoice::Discard };
    EXPECT_FALSE(m_files.AskBeforeClosing());
    ASSERT_EQ(View().questions.size(), 1u);
    EXPECT_EQ(View().questions[0].first,
        "The assignment or tuning differs from " + ConfigurationPath(0) + "\nSave the changes before closing?");
    EXPECT_EQ(View().questions[0].second, "Tavelin");
    EXPECT_TRUE(m_files.AskBeforeClosing());
    EXPECT_EQ(ReadConfiguration(0), saved);

    // A close request while the question is open: the window may end, nothing is saved.
    View().saveAnswers = { SaveChoice::Save };
    View().duringQuestion = [&] { m_closing = true; };
    EXPECT_TRUE(m_files.AskBeforeClosing());
    EXPECT_EQ(ReadConfiguration(0), saved);
    m_closing = false;
    View().duringQuestion = nullptr;

    // Save writes the file in use; a file that cannot be written keeps the window.
    View().saveAnswers = { SaveChoice::Save };
    EXPECT_TRUE(m_files.AskBeforeClosing());
    EXPECT_NE(ReadConfiguration(0).find("PITCH_SENS\t\t= 0.003000"), std::string::npos);
    EXPECT_TRUE(View().messageBoxes.empty());
    m_windowBlock.Set(TuningValue::PitchSensitivity, 0.004);
    std::filesystem::remove(ConfigurationPath(0));
    std::filesystem::create_directory(ConfigurationPath(0));
    View().saveAnswers = { SaveChoice::Save };
    EXPECT_FALSE(m_files.AskBeforeClosing());
    ASSERT_EQ(View().messageBoxes.size(), 1u);
    EXPECT_EQ(View().messageBoxes[0].second, "CTavelinDlg::OnSave");
}

TEST_F(SetUpFilesTest, ReadAlternateHandsBackANewSetOnlyWhenTheChosenFileWasRead)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    StartSet();
    m_files.ChooseStartFile();
    m_files.ShowStartFile();
    const auto choose = [&](std::int32_t button, bool closeMeanwhile) {
        View().QueueChild([=, this](RecordingDialogView& child) {
            child.Click(button);
            m_closing = closeMeanwhile;
            child.Click(kIdOk);
        });
    };

    // A way out taken while the operator chooses: nothing is stored or read.
    WriteConfiguration(2, Configuration(3));
    choose(CWhichConfigDlg::kAlternate2Button, true);
    EXPECT_EQ(m_files.ReadAlternate(), nullptr);
    EXPECT_EQ(m_windowBlock.ConfigurationIndex(), 0);
    EXPECT_EQ(m_set->GetAxisInput(AxisPitch), 1);
    m_closing = false;

    // A file that cannot be read: said, and the set-up in use stays.
    choose(CWhichConfigDlg::kAlternate1Button, false);
    EXPECT_EQ(m_files.ReadAlternate(), nullptr);
    ASSERT_EQ(View().messageBoxes.size(), 1u);
    EXPECT_EQ(View().messageBoxes[0].second, "CTavelinDlg::OnRead1");
    EXPECT_EQ(m_windowBlock.ConfigurationIndex(), 0);
    EXPECT_EQ(m_set->GetAxisInput(AxisPitch), 1);

    // Read: a set of its own, and the texts name the file and the choice once told to.
    choose(CWhichConfigDlg::kAlternate2Button, false);
    std::unique_ptr<JoystickSet> read = m_files.ReadAlternate();
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->GetAxisInput(AxisPitch), 3);
    EXPECT_EQ(m_files.CurrentFileText(), ConfigurationPath(0));
    m_files.ShowReadFile();
    m_files.SendTexts();
    EXPECT_EQ(Shown(kCurrentFile).text, ConfigurationPath(2));
    EXPECT_EQ(Shown(kSetUpName).text, "ALTN 2 JOY STICK SET UP ");
    EXPECT_EQ(m_windowBlock.ConfigurationIndex(), 2);
    EXPECT_EQ(m_childrenRun, 3);
}

// Which buttons an axis drives is held by the process, not the block: a
// change of it counts as unsaved all the same, and the save takes it along.
TEST_F(SetUpFilesTest, AnAxisDrivingAButtonIsAChangeTheClosingAsksAbout)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    StartSet();
    m_files.ChooseStartFile();
    m_files.ShowStartFile();
    m_files.Loaded();
    m_files.TakeSnapshotIfDue(*m_set);
    ASSERT_FALSE(m_files.HasUnsavedChanges(m_set.get()));

    ASSERT_TRUE(m_set->SetAxisButton(ButtonBrakeL, 0, 5000));
    EXPECT_TRUE(m_files.HasUnsavedChanges(m_set.get()));
    ASSERT_TRUE(m_set->SetAxisButton(ButtonBrakeL, 0, 5500));
    EXPECT_TRUE(m_files.HasUnsavedChanges(m_set.get()));
    View().saveAnswers = { SaveChoice::Save };
    EXPECT_TRUE(m_files.AskBeforeClosing());
    EXPECT_NE(ReadConfiguration(0).find("[AXIS_BUTTONS]"), std::string::npos);
    EXPECT_NE(ReadConfiguration(0).find("BRK_L_BTN_AXIS\t= 0 5500"), std::string::npos);
    m_files.TakeSnapshot(m_set.get()); // as a save from the window does
    EXPECT_FALSE(m_files.HasUnsavedChanges(m_set.get()));

    ASSERT_TRUE(m_set->SetAxisButton(ButtonBrakeL, 0, 5000));
    EXPECT_TRUE(m_files.HasUnsavedChanges(m_set.get()));
    m_set->ClearAxisButton(ButtonBrakeL);
    EXPECT_TRUE(m_files.HasUnsavedChanges(m_set.get())) << "the file drives BRAKE L by its axis";
}
