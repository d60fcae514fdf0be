// The window while its block or its configuration folder is taken from it:
// a first start that cannot save the default set-up, a block shrunk under
// the window, a block that comes only after the start. Each event is one
// line of the warning list and one line on standard error, once.
#include "tests/app/main_window_fixture.h"

#include "config/WhichConfig.h"
#include "support/Paths.h"
#include "tests/fakes/FailingSettingsStream.h"
#include "tests/support/os_helpers.h"
#include "tests/support/poll.h"

#include <chrono>
#include <filesystem>
#include <string>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace MainIds;
namespace GSB = GenericSimBlock;

namespace {

template <typename Run> std::string StandardErrorOf(Run run)
{
    ::testing::internal::CaptureStderr();
    run();
    std::string output = ::testing::internal::GetCapturedStderr();
    std::erase(output, '\r');
    return output;
}

int Count(const std::string& text, const std::string& part)
{
    int found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

} // namespace

TEST_F(MainWindowTest, AFirstStartThatCannotSaveTheDefaultSetUpPublishesItFromMemoryAndSavesItLater)
{
    std::filesystem::remove(ConfigurationPath(0));
    m_input.AddJoystick(kStickA, "Stick A", 12);
    const std::string said = StandardErrorOf([&] {
        // A folder that takes no byte: a full disk, or one that is read-only.
        FailingSettingsStream::Scope full(0);
        Open();
        Tick();
    });
    EXPECT_TRUE(m_dialog->StartedOk());
    EXPECT_TRUE(m_view->messageBoxes.empty()) << m_view->messageBoxes.front().first;
    EXPECT_FALSE(std::filesystem::exists(ConfigurationPath(0)));
    const std::string note
        = "No Joystick.ini was found, and the default set-up could not be saved to " + ConfigurationPath(0) + " (";
    const RecordedControl& list = m_view->Control(kWarningList);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0][1].rfind(note, 0), 0u) << list.rows[0][1];
    EXPECT_NE(list.rows[0][1].find("): it is used from memory until Save Assignments can write it"), std::string::npos)
        << list.rows[0][1];
    EXPECT_EQ(Count(said, "Warning Message: " + note), 1) << said;

    // In use, as if it had been read from the file.
    EXPECT_EQ(m_view->Text(kCurrentFile), ConfigurationPath(0));
    EXPECT_EQ(m_view->Text(kAxisRows[0].inputCombo), " Y");
    EXPECT_EQ(SetUpName(), "DEFAULT_JOYSTICK_SETUP");
    m_input.joystick(0).state.lY = 10000;
    Tick(60);
    EXPECT_NEAR(Double(GSB::kPitchOutput), 19.5, 0.05);

    // Once the folder allows, Save Assignments writes it; a note raised no pending flag.
    std::string warningText = "not shown";
    m_view->QueueChild([&](RecordingDialogView& child) {
        warningText = child.Text(CWhichConfigDlg::kWarningText);
        child.Click(CWhichConfigDlg::kDefaultButton);
        child.Click(kIdOk);
    });
    m_view->Click(kSaveAssignments);
    EXPECT_EQ(warningText, "");
    EXPECT_TRUE(m_view->messageBoxes.empty()) << m_view->messageBoxes.front().first;
    const std::string written = ReadConfiguration(0);
    EXPECT_NE(written.find("NAME = DEFAULT_JOYSTICK_SETUP"), std::string::npos) << written;
    EXPECT_NE(written.find("PITCH_SENS\t\t= 0.002000"), std::string::npos) << written;
    EXPECT_NE(written.find("ROLL_SENS\t\t= 0.002500"), std::string::npos) << written;
    EXPECT_FALSE(m_dialog->HasUnsavedChanges());
}

#ifndef _WIN32
namespace {

// The rows of the warning list that hold `part`.
int Rows(const RecordedControl& list, const std::string& part)
{
    int found = 0;
    for (const auto& row : list.rows) {
        found += row.size() > 1 && row[1].find(part) != std::string::npos ? 1 : 0;
    }
    return found;
}

} // namespace

TEST_F(MainWindowTest, ABlockShrunkUnderTheWindowIsAttachedAgainWhereItWas)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    m_input.joystick(0).state.lY = 4000;
    Tick(60);
    ASSERT_NEAR(Double(GSB::kPitchOutput), 7.5, 1e-6);
    void* const windowBlock = m_dialog->GetBlock();
    void* const simulatorBlock = Block();

    const std::string said = StandardErrorOf([&] {
        const int raw = shm_open(("/" + m_shmName).c_str(), O_RDWR, 0);
        ASSERT_GE(raw, 0);
        ASSERT_EQ(ftruncate(raw, 0), 0);
        close(raw);
        Tick(60);
    });
    const std::string note = "Another program shrank the shared block \"" + m_shmName
        + "\": Tavelin attached it again and put its set-up back";
    EXPECT_EQ(Count(said, "Warning Message: " + note + "\n"), 1) << said;
    EXPECT_EQ(Count(said, "Warning Message:"), 1) << "nothing told twice: " << said;
    EXPECT_EQ(Rows(m_view->Control(kWarningList), note), 1);

    // Every view of this process is whole again where it was: the window's,
    // and the simulator's stand-in, which never asked.
    EXPECT_EQ(m_dialog->GetBlock(), windowBlock);
    ASSERT_TRUE(m_simulator->IsReady());
    EXPECT_EQ(Block(), simulatorBlock);
    EXPECT_EQ(Users(), 3);
    EXPECT_NEAR(Double(GSB::kPitchOutput), 7.5, 1e-6);
    EXPECT_EQ(Double(GSB::kPitchSensitivity), 0.002);
    EXPECT_EQ(m_view->Text(kAxisRows[0].inputCombo), " Y");
    // The window still stores into the block.
    m_view->Spin(kAxisRows[0].spin, -5);
    EXPECT_GT(Double(GSB::kPitchSensitivity), 0.002);
}

TEST_F(MainWindowTest, ABlockThatComesAfterTheStartIsTakenUpByTheWindowToo)
{
    // A foreign object in the block's place: both views are refused at once.
    m_simulator.reset();
    const std::string name = ShmTestOs::UniqueName("late");
    ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", name.c_str());
    const std::string object = "/" + name;
    const int foreign = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(foreign, 0);
    ASSERT_EQ(ftruncate(foreign, GSB::kSize), 0);
    ASSERT_EQ(fchmod(foreign, 0666), 0);
    close(foreign);
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    ASSERT_EQ(m_view->messageBoxes.size(), 1u);
    EXPECT_EQ(m_view->messageBoxes[0].second, "CTavelinDlg::SetSharedmemory");
    EXPECT_TRUE(m_dialog->StartedOk()) << "the configuration is in use without the block";
    EXPECT_EQ(m_dialog->GetBlock(), nullptr);
    EXPECT_FALSE(m_view->Control(kSetDeadBands).enabled);
    Tick();
    EXPECT_EQ(Rows(m_view->Control(kWarningList), "could not be attached"), 1);
    EXPECT_EQ(m_view->Text(kAxisRows[0].inputCombo), " Y");

    ASSERT_EQ(shm_unlink(object.c_str()), 0);
    ASSERT_TRUE(testpoll::Until(
        [&] {
            Tick();
            return m_dialog->GetBlock() != nullptr;
        },
        std::chrono::seconds(5), std::chrono::milliseconds(8)));
    EXPECT_TRUE(m_view->Control(kSetDeadBands).enabled);
    EXPECT_TRUE(m_view->Control(kThrustLeverData).enabled);
    EXPECT_TRUE(m_view->Control(kAxisRows[0].spin).enabled);
    TickPeriod();
    EXPECT_EQ(m_view->Text(kSetUpName), "DEFAULT_JOYSTICK_SETUP");
    EXPECT_EQ(Rows(m_view->Control(kWarningList), "\" is attached now"), 1);
    KQ_P_0001_02_Shm simulator(name.c_str(), true);
    ASSERT_TRUE(simulator.IsReady()) << simulator.GetErrorText();
    EXPECT_EQ(GSB::LoadUserCount(simulator.GetBlock()), 3) << "both of the window's views and this one";
    EXPECT_EQ(GSB::LoadDouble(simulator.GetBlock(), GSB::kPitchSensitivity), 0.002) << "the set-up in use went in";
    m_input.joystick(0).state.lY = 4000;
    Tick(60);
    EXPECT_NEAR(GSB::LoadDouble(simulator.GetBlock(), GSB::kPitchOutput), 7.5, 1e-6);
    m_view->Click(kOk);
    m_view.reset();
    m_dialog.reset();
    EXPECT_EQ(GSB::LoadUserCount(simulator.GetBlock()), 1);
}
#endif
