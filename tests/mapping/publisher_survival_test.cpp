// The publisher (ControlProcessor with its BlockKeeper) ticking as the window
// runs it, while other processes shrink its block, remove its name, or keep
// it from the block at the start: it publishes again, with its set-up, and
// says each thing once. What it publishes is read with pread, never through
// a mapping of this process.
#include "mapping/Assignments.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "tests/support/os_helpers.h"
#include "tests/support/poll.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace GSB = GenericSimBlock;

namespace {

constexpr std::uint32_t kStick = 0x12345678u;
constexpr double kSensitivity = 0.002;

// Another process that takes something and keeps it until killed.
class Holder {
public:
    explicit Holder(const std::function<bool()>& take)
    {
        int ends[2];
        if (pipe(ends) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            const char answer = take() ? 'y' : 'n';
            [[maybe_unused]] const ssize_t written = write(ends[1], &answer, 1);
            for (;;) {
                pause();
            }
        }
        char answer = 'n';
        m_holding = m_pid > 0 && read(ends[0], &answer, 1) == 1 && answer == 'y';
        close(ends[0]);
        close(ends[1]);
    }
    ~Holder() { Release(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool Holding() const { return m_holding; }
    void Release()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    bool m_holding = false;
};

bool HoldAttachLock(const std::string& name)
{
    const int fd = shm_open(("/" + name + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
    struct flock range { };
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_len = 1;
    return fd >= 0 && fcntl(fd, F_OFD_SETLK, &range) == 0;
}

class PublisherSurvival : public ::testing::Test {
protected:
    void SetUp() override { UseName("publisher"); }
    void TearDown() override
    {
        ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
        for (const char* suffix : { "", ".lock" }) {
            shm_unlink(("/" + m_name + suffix).c_str());
        }
    }

    void UseName(const char* tag)
    {
        m_name = ShmTestOs::UniqueName(tag);
        ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", m_name.c_str());
        m_state = JoystickState {};
        m_state.joystickId = kStick;
        m_state.axisMinimum = -10000;
        m_state.axisMaximum = 10000;
        m_state.buttonCount = 12;
        m_state.axes[InputY] = 4000;
        for (auto& state : m_table) {
            state = &m_state;
        }
    }

    // Pitch on the stick's Y, as a configuration would put it.
    void Configure()
    {
        m_processor.SetAxisAssignment(AxisPitch, 0, static_cast<std::int32_t>(kStick), InputY);
        GSB::StoreDouble(m_processor.GetBlock(), GSB::kPitchSensitivity, kSensitivity);
    }

    // One tick, as JoystickSet::PollAll runs it.
    void Tick(int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            m_processor.KeepBlock();
            m_processor.SetCounts(1, ControlProcessor::kInputCount);
            m_processor.ProcessCycle(0.01, m_table, 0);
        }
    }
    // Ticks at the window's pace for a while: long enough for the keeper to try again twice.
    void TickThroughTwoTries()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2200);
        testpoll::Until(
            [&] {
                Tick();
                return std::chrono::steady_clock::now() >= end;
            },
            std::chrono::seconds(5), std::chrono::milliseconds(8));
    }
    bool TickUntil(const std::function<bool()>& done)
    {
        return testpoll::Until(
            [&] {
                Tick();
                return done();
            },
            std::chrono::seconds(5), std::chrono::milliseconds(8));
    }

    // What another program would read in the block right now (empty: no block of the full size).
    std::vector<unsigned char> Published() const
    {
        std::vector<unsigned char> bytes(GSB::kSize);
        const int fd = shm_open(("/" + m_name).c_str(), O_RDONLY, 0);
        const bool read = fd >= 0 && pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
        if (fd >= 0) {
            close(fd);
        }
        return read ? bytes : std::vector<unsigned char>();
    }
    double PublishedDouble(std::size_t offset) const
    {
        const std::vector<unsigned char> bytes = Published();
        return bytes.empty() ? std::nan("") : GSB::LoadDouble(bytes.data(), offset);
    }
    bool PublishesPitch(double pitch) const { return std::fabs(PublishedDouble(GSB::kPitchOutput) - pitch) < 1e-6; }

    // How many entries of the warning list hold `part`.
    int Notes(const std::string& part) const
    {
        WarningList list {};
        m_processor.GetWarnings(list);
        int found = 0;
        for (int i = 0; i < list.count; ++i) {
            found += std::string(list.messages[i]).find(part) != std::string::npos ? 1 : 0;
        }
        return found;
    }
    std::string Quoted() const { return "\"" + m_name + "\""; }

    std::string m_name;
    ControlProcessor m_processor;
    JoystickState m_state {};
    const JoystickState* m_table[kJoystickSlots] = {};
};

bool Shrink(const std::string& name, off_t size)
{
    const int fd = shm_open(("/" + name).c_str(), O_RDWR, 0);
    const bool done = fd >= 0 && ftruncate(fd, size) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return done;
}

} // namespace

TEST_F(PublisherSurvival, AShrunkBlockIsPublishedIntoAgainWithItsSetUp)
{
    ASSERT_TRUE(m_processor.Attach()) << m_processor.GetErrorText();
    Configure();
    ASSERT_TRUE(TickUntil([&] { return PublishesPitch(7.5); })) << PublishedDouble(GSB::kPitchOutput);

    ASSERT_TRUE(Shrink(m_name, 0));
    const std::string shrank = "Another program shrank the shared block " + Quoted();
    ASSERT_TRUE(TickUntil([&] { return Notes(shrank) == 1; }));
    EXPECT_EQ(Notes(shrank + ": Tavelin attached it again and put its set-up back"), 1);
    EXPECT_FALSE(m_processor.HasWarnings()) << "a note raises no pending flag";
    EXPECT_TRUE(TickUntil([&] { return PublishesPitch(7.5); })) << PublishedDouble(GSB::kPitchOutput);
    EXPECT_EQ(PublishedDouble(GSB::kPitchSensitivity), kSensitivity);
    const std::vector<unsigned char> repaired = Published();
    ASSERT_FALSE(repaired.empty());
    EXPECT_EQ(LoadAxisAssignment(repaired.data(), GSB::kPitchRecord).input, InputY);
    EXPECT_EQ(GSB::LoadUserCount(repaired.data()), 1);
    Tick(50);
    EXPECT_EQ(Notes(shrank), 1) << "said once";

    // Cut short while another program holds it, it keeps its version text
    // and is grown back at once.
    Holder simulator([&] { return ShmTestOs::HoldLockShared(m_name) >= 0; });
    ASSERT_TRUE(simulator.Holding());
    ASSERT_TRUE(Shrink(m_name, 67400));
    ASSERT_TRUE(TickUntil([&] { return Notes(shrank) == 2; }));
    EXPECT_EQ(Notes(shrank + ": Tavelin attached it again and put its set-up back"), 2);
    EXPECT_TRUE(TickUntil([&] { return PublishesPitch(7.5); })) << PublishedDouble(GSB::kPitchOutput);
    EXPECT_EQ(PublishedDouble(GSB::kPitchSensitivity), kSensitivity);

    // Cut into its version text while the other holds it: refused (not
    // ours to make afresh), tried again every second on a stand-in, and
    // published once the other has gone.
    ASSERT_TRUE(Shrink(m_name, 30));
    const std::string refused = shrank + ", and it could not be attached again (";
    ASSERT_TRUE(TickUntil([&] { return Notes(refused) == 1; }));
    EXPECT_EQ(Notes("has 30 bytes, fewer than the 132464 bytes of the block): Tavelin tries again every second"), 1);
    TickThroughTwoTries();
    EXPECT_EQ(Notes("Tavelin tries again every second"), 1) << "said once, however often it fails";
    EXPECT_TRUE(std::isnan(PublishedDouble(GSB::kPitchOutput))) << "left short while the other holds it";
    simulator.Release();
    const std::string back = "The shared block " + Quoted() + " is attached now";
    ASSERT_TRUE(TickUntil([&] { return Notes(back) == 1; }));
    EXPECT_TRUE(TickUntil([&] { return PublishesPitch(7.5); })) << PublishedDouble(GSB::kPitchOutput);
    EXPECT_EQ(PublishedDouble(GSB::kPitchSensitivity), kSensitivity);
}

TEST_F(PublisherSurvival, ARemovedNameIsMadeAgainAndANewAttacherReadsLiveValues)
{
    ASSERT_TRUE(m_processor.Attach()) << m_processor.GetErrorText();
    Configure();
    ASSERT_TRUE(TickUntil([&] { return PublishesPitch(7.5); }));
    // A simulator that does not notice keeps reading the old block.
    const int old = shm_open(("/" + m_name).c_str(), O_RDONLY, 0);
    ASSERT_GE(old, 0);
    ASSERT_EQ(shm_unlink(("/" + m_name).c_str()), 0);
    EXPECT_TRUE(Published().empty());
    const std::string removed = "Another program removed the name of the shared block " + Quoted()
        + ": Tavelin made it again with the current contents; programs still attached to the old block must attach "
          "again";
    ASSERT_TRUE(TickUntil([&] { return Notes(removed) == 1; }));
    EXPECT_EQ(PublishedDouble(GSB::kPitchSensitivity), kSensitivity);
    double stale = -1.0;
    ASSERT_EQ(pread(old, &stale, sizeof stale, GSB::kPitchOutput), static_cast<ssize_t>(sizeof stale));
    close(old);
    EXPECT_EQ(stale, 0.0) << "the old block is left with the stick released";
    m_state.axes[InputY] = -7000;
    EXPECT_TRUE(TickUntil([&] { return PublishesPitch(-13.5); })) << PublishedDouble(GSB::kPitchOutput);
    const std::vector<unsigned char> made = Published();
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(GSB::LoadUserCount(made.data()), 1);
    TickThroughTwoTries();
    EXPECT_EQ(Notes("removed the name"), 1);
}

TEST_F(PublisherSurvival, WithoutTheBlockAtTheStartItsSetUpGoesInOnceItComes)
{
    {
        // A program stuck in its attach holds the lock through the start.
        Holder stuck([&] { return HoldAttachLock(m_name); });
        ASSERT_TRUE(stuck.Holding());
        EXPECT_FALSE(m_processor.Attach());
        m_processor.WaitForBlock();
        ASSERT_NE(m_processor.GetBlock(), nullptr) << "the stand-in";
        EXPECT_EQ(Notes("The shared block " + Quoted() + " could not be attached (The lock "), 1);
        EXPECT_EQ(Notes("stayed held by another process for 2000 ms): Tavelin tries again every second and "
                        "publishes once it has it"),
            1);
        Configure();
        TickThroughTwoTries();
        EXPECT_TRUE(Published().empty()) << "nothing made while the lock is held";
        EXPECT_EQ(Notes("tries again every second"), 1);
    }
    const std::string attached = "The shared block " + Quoted() + " is attached now";
    ASSERT_TRUE(TickUntil([&] { return Notes(attached) == 1; }));
    EXPECT_EQ(PublishedDouble(GSB::kPitchSensitivity), kSensitivity) << "the set-up of the stand-in went in";
    EXPECT_TRUE(TickUntil([&] { return PublishesPitch(7.5); })) << PublishedDouble(GSB::kPitchOutput);
    m_processor.Detach();

    // A foreign object in the way is refused at once; once it is removed, the block is made.
    UseName("foreign");
    const int foreign = shm_open(("/" + m_name).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(foreign, 0);
    ASSERT_EQ(ftruncate(foreign, GSB::kSize), 0);
    ASSERT_EQ(fchmod(foreign, 0666), 0);
    close(foreign);
    ControlProcessor late;
    EXPECT_FALSE(late.Attach());
    late.WaitForBlock();
    GSB::StoreDouble(late.GetBlock(), GSB::kPitchSensitivity, kSensitivity);
    late.KeepBlock();
    ASSERT_EQ(shm_unlink(("/" + m_name).c_str()), 0);
    ASSERT_TRUE(testpoll::Until(
        [&] {
            late.KeepBlock();
            return PublishedDouble(GSB::kPitchSensitivity) == kSensitivity;
        },
        std::chrono::seconds(5), std::chrono::milliseconds(8)));
    struct stat status { };
    ASSERT_EQ(stat(("/dev/shm/" + m_name).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u) << "made by the publisher, not the foreign object";
}
