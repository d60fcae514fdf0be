// The block on Linux among several processes: attachers killed while attached,
// counts nobody can trust, half-made blocks, objects that are not this user's
// own, locks held by others, and the one-publisher lock. The other processes
// are forks of this test that do their part and wait to be killed.
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "mapping/PublisherLock.h"
#include "support/CloseRequest.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace GSB = GenericSimBlock;

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Another process: runs `work`, tells the test whether it worked, then waits
// to be killed (so whatever it holds, it holds until then).
class Child {
public:
    explicit Child(const std::function<bool()>& work)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            const char answer = work() ? 'y' : 'n';
            [[maybe_unused]] const ssize_t written = write(fds[1], &answer, 1);
            for (;;) {
                pause();
            }
        }
        close(fds[1]);
        m_answer = fds[0];
    }
    ~Child()
    {
        Kill();
        if (m_answer >= 0) {
            close(m_answer);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Waits, with a deadline, for the child's answer.
    bool Succeeded()
    {
        pollfd watch { m_answer, POLLIN, 0 };
        char answer = 'n';
        return m_pid > 0 && poll(&watch, 1, 20000) == 1 && read(m_answer, &answer, 1) == 1 && answer == 'y';
    }
    void Kill()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

private:
    pid_t m_pid = -1;
    int m_answer = -1;
};

std::string ObjectPath(const std::string& object)
{
    return "/dev/shm/" + object;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A raw object made with the system's calls alone, with exactly `mode`.
int RawObject(const std::string& object, std::size_t size, mode_t mode)
{
    const int fd = shm_open(("/" + object).c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        return -1;
    }
    if (ftruncate(fd, static_cast<off_t>(size)) != 0 || fchmod(fd, mode) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The whole of a raw object's bytes, read through a mapping of its own.
std::vector<unsigned char> Contents(int fd)
{
    struct stat status { };
    if (fstat(fd, &status) != 0 || status.st_size <= 0) {
        return {};
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    void* view = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        return {};
    }
    std::vector<unsigned char> bytes(static_cast<unsigned char*>(view), static_cast<unsigned char*>(view) + size);
    munmap(view, size);
    return bytes;
}

// A block as our creator leaves it: version text, count, and a marker value.
void WriteValidBlock(int fd, std::int32_t count)
{
    void* view = mmap(nullptr, GSB::kSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(view, MAP_FAILED);
    GSB::StoreText(view, GSB::kVersionOffset, GSB::kVersionLength, GSB::kVersionText);
    GSB::StoreUserCount(view, count);
    GSB::StoreDouble(view, GSB::kPitchSensitivity, -0.5);
    munmap(view, GSB::kSize);
}

long long ObjectSize(const std::string& object)
{
    struct stat status { };
    return stat(ObjectPath(object).c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

void RemoveObjects(const std::string& name)
{
    for (const char* suffix : { "", ".lock", ".owner" }) {
        shm_unlink(("/" + name + suffix).c_str());
    }
}

// Holds the block's lock object as an attached simulator does: shared.
bool HoldShared(const std::string& name)
{
    return ShmTestOs::HoldLockShared(name) >= 0;
}

} // namespace

TEST(ShmSurvival, KilledAttachersLeaveNeitherAStaleCountNorTheName)
{
    const std::string name = ShmTestOs::UniqueName("killed");
    {
        // Both of a program's views, then kill -9.
        Child program([&] {
            auto* window = new KQ_P_0001_02_Shm(name.c_str());
            auto* processor = new KQ_P_0001_02_Shm(name.c_str());
            if (!window->IsReady() || !processor->IsReady()) {
                return false;
            }
            GSB::StoreDouble(processor->GetBlock(), GSB::kPitchOutput, 12.5);
            return GSB::LoadUserCount(window->GetBlock()) == 2;
        });
        ASSERT_TRUE(program.Succeeded());
    }
    ASSERT_TRUE(ShmTestOs::MappingExists(name)) << "nobody detached";
    {
        KQ_P_0001_02_Shm next(name.c_str());
        ASSERT_TRUE(next.IsReady()) << next.GetErrorText();
        EXPECT_FALSE(next.CreatedBlock()) << "the block and its values are kept";
        EXPECT_EQ(GSB::LoadDouble(next.GetBlock(), GSB::kPitchOutput), 12.5);
        EXPECT_EQ(GSB::LoadUserCount(next.GetBlock()), 1) << "the dead program's two users are forgotten";
    }
    EXPECT_FALSE(ShmTestOs::MappingExists(name)) << "the last user removes the name again";
    EXPECT_FALSE(ShmTestOs::LockObjectExists(name));

    // Killed while somebody else stays attached: that one's detach still removes the name.
    auto stays = std::make_unique<KQ_P_0001_02_Shm>(name.c_str());
    ASSERT_TRUE(stays->IsReady()) << stays->GetErrorText();
    {
        Child killed([&] { return (new KQ_P_0001_02_Shm(name.c_str()))->IsReady(); });
        ASSERT_TRUE(killed.Succeeded());
    }
    EXPECT_EQ(GSB::LoadUserCount(stays->GetBlock()), 2) << "the count keeps what the dead raised";
    stays.reset();
    EXPECT_FALSE(ShmTestOs::MappingExists(name));
    EXPECT_FALSE(ShmTestOs::LockObjectExists(name));
}

TEST(ShmSurvival, ACorruptCountNeverRemovesABlockStillInUse)
{
    const std::string name = ShmTestOs::UniqueName("corrupt");
    Child simulator([&] {
        auto* shm = new KQ_P_0001_02_Shm(name.c_str());
        if (!shm->IsReady()) {
            return false;
        }
        GSB::StoreDouble(shm->GetBlock(), GSB::kPitchSensitivity, 0.125);
        return true;
    });
    ASSERT_TRUE(simulator.Succeeded());
    for (const std::int32_t corrupt : { -1, INT32_MIN, 0, 1 }) {
        SCOPED_TRACE(corrupt);
        {
            KQ_P_0001_02_Shm shm(name.c_str());
            ASSERT_TRUE(shm.IsReady()) << shm.GetErrorText();
            EXPECT_FALSE(shm.CreatedBlock());
            GSB::StoreUserCount(shm.GetBlock(), corrupt);
        }
        ASSERT_TRUE(ShmTestOs::MappingExists(name)) << "the simulator still uses it";
        KQ_P_0001_02_Shm again(name.c_str());
        ASSERT_TRUE(again.IsReady()) << again.GetErrorText();
        EXPECT_FALSE(again.CreatedBlock()) << "the same block, not a new one the simulator never sees";
        EXPECT_EQ(GSB::LoadDouble(again.GetBlock(), GSB::kPitchSensitivity), 0.125);
        // Kept as described: a detach from 1 or less (or garbage) leaves 0, never a wrapped number.
        EXPECT_EQ(GSB::LoadUserCount(again.GetBlock()), 1);
    }
    simulator.Kill();
    {
        KQ_P_0001_02_Shm last(name.c_str());
        ASSERT_TRUE(last.IsReady()) << last.GetErrorText();
        EXPECT_EQ(GSB::LoadUserCount(last.GetBlock()), 1);
    }
    EXPECT_FALSE(ShmTestOs::MappingExists(name));
}

TEST(ShmSurvival, ALoneAttacherRepairsAHalfMadeBlockAndOnlyThen)
{
    struct Case {
        const char* what;
        std::size_t size;
        const char* refusal; // the text when somebody else holds it
    };
    const Case cases[] = {
        { "0 bytes: killed before the size was set", 0, "has 0 bytes" },
        { "zero-filled: killed before the version text", GSB::kSize, "Shared Memory Version Mismatch" },
        { "shorter than the layout", 4096, "has 4096 bytes" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = ShmTestOs::UniqueName("halfmade");
        const int raw = RawObject(name, c.size, 0600);
        ASSERT_GE(raw, 0);
        {
            // A simulator holds it: not ours to repair.
            Child simulator([&] { return HoldShared(name); });
            ASSERT_TRUE(simulator.Succeeded());
            const std::vector<unsigned char> before = Contents(raw);
            KQ_P_0001_02_Shm refused(name.c_str());
            EXPECT_FALSE(refused.IsReady());
            EXPECT_TRUE(Contains(refused.GetErrorText(), c.refusal)) << refused.GetErrorText();
            EXPECT_EQ(ObjectSize(name), static_cast<long long>(c.size));
            EXPECT_TRUE(Contents(raw) == before);
        }
        {
            KQ_P_0001_02_Shm shm(name.c_str());
            ASSERT_TRUE(shm.IsReady()) << shm.GetErrorText();
            EXPECT_TRUE(shm.CreatedBlock());
            EXPECT_EQ(ObjectSize(name), static_cast<long long>(GSB::kSize));
            char version[GSB::kVersionLength + 1];
            GSB::LoadText(shm.GetBlock(), GSB::kVersionOffset, GSB::kVersionLength, version, sizeof version);
            EXPECT_STREQ(version, GSB::kVersionText);
            EXPECT_EQ(GSB::LoadUserCount(shm.GetBlock()), 1);
            EXPECT_NE(GSB::Load<std::uint32_t>(shm.GetBlock(), GSB::kSectionAddressOffset + 4), 0u);
            // A second attacher now finds a whole block.
            KQ_P_0001_02_Shm second(name.c_str(), true);
            EXPECT_TRUE(second.IsReady()) << second.GetErrorText();
            EXPECT_EQ(GSB::LoadUserCount(shm.GetBlock()), 2);
        }
        EXPECT_FALSE(ShmTestOs::MappingExists(name));
        close(raw);
        RemoveObjects(name);
    }

    // Another layout's block is refused even by a lone attacher, and left as it is.
    const std::string name = ShmTestOs::UniqueName("otherlayout");
    const int raw = RawObject(name, GSB::kSize, 0600);
    ASSERT_GE(raw, 0);
    WriteValidBlock(raw, 3);
    void* view = mmap(nullptr, GSB::kSize, PROT_READ | PROT_WRITE, MAP_SHARED, raw, 0);
    ASSERT_NE(view, MAP_FAILED);
    GSB::StoreText(view, GSB::kVersionOffset, GSB::kVersionLength, " KQ_P_0001_02_genericSim $Revision: 6.0");
    munmap(view, GSB::kSize);
    const std::vector<unsigned char> before = Contents(raw);
    {
        KQ_P_0001_02_Shm shm(name.c_str());
        EXPECT_FALSE(shm.IsReady());
        EXPECT_TRUE(shm.VersionMismatch());
        EXPECT_EQ(std::string(shm.GetErrorText()),
            "KQ_P_0001_02_Shm::KQ_P_0001_02_Shm\nShared Memory Version Mismatch\nPlease rebuild software");
    }
    EXPECT_TRUE(Contents(raw) == before);
    close(raw);
    RemoveObjects(name);
}

TEST(ShmSurvival, BlockAndLocksAreThisUsersOwnWhateverTheUmask)
{
    for (const mode_t mask : { mode_t(0000), mode_t(0022), mode_t(0777) }) {
        SCOPED_TRACE(mask);
        const std::string name = ShmTestOs::UniqueName("umask");
        const mode_t old = umask(mask);
        {
            KQ_P_0001_02_Shm shm(name.c_str());
            PublisherLock publisher(name.c_str());
            const bool published = publisher.Acquire();
            umask(old);
            ASSERT_TRUE(shm.IsReady()) << shm.GetErrorText();
            ASSERT_TRUE(published) << publisher.GetErrorText();
            for (const std::string& object : { name, name + ".lock", name + ".owner" }) {
                struct stat status { };
                ASSERT_EQ(stat(ObjectPath(object).c_str(), &status), 0) << object;
                EXPECT_EQ(status.st_mode & 07777, 0600u) << object;
                EXPECT_EQ(status.st_uid, geteuid()) << object;
            }
        }
        umask(old);
        RemoveObjects(name);
    }
}

TEST(ShmSurvival, ObjectsOthersMayWriteAreRefusedAndNeverWritten)
{
    for (const mode_t mode : { mode_t(0666), mode_t(0620), mode_t(0602) }) {
        char modeText[8];
        std::snprintf(modeText, sizeof modeText, "%04o", static_cast<unsigned>(mode));
        SCOPED_TRACE(modeText);

        // The block.
        const std::string name = ShmTestOs::UniqueName("writable");
        const int raw = RawObject(name, GSB::kSize, mode);
        ASSERT_GE(raw, 0);
        WriteValidBlock(raw, 1);
        const std::vector<unsigned char> before = Contents(raw);
        for (const bool openOnly : { false, true }) {
            KQ_P_0001_02_Shm shm(name.c_str(), openOnly);
            EXPECT_FALSE(shm.IsReady());
            EXPECT_EQ(shm.GetBlock(), nullptr);
            const std::string text = shm.GetErrorText();
            EXPECT_TRUE(Contains(text, ObjectPath(name) + " belongs to")) << text;
            EXPECT_TRUE(Contains(text, "(uid " + std::to_string(geteuid()) + ")")) << text;
            EXPECT_TRUE(Contains(text, std::string("mode ") + modeText)) << text;
        }
        EXPECT_TRUE(Contents(raw) == before) << "not one byte written";
        close(raw);
        RemoveObjects(name);

        // Its lock: nothing is created either.
        const std::string locked = ShmTestOs::UniqueName("writablelock");
        const int lock = RawObject(locked + ".lock", 0, mode);
        ASSERT_GE(lock, 0);
        {
            KQ_P_0001_02_Shm shm(locked.c_str());
            EXPECT_FALSE(shm.IsReady());
            EXPECT_TRUE(Contains(shm.GetErrorText(), ObjectPath(locked) + ".lock belongs to")) << shm.GetErrorText();
            EXPECT_TRUE(Contains(shm.GetErrorText(), std::string("mode ") + modeText)) << shm.GetErrorText();
        }
        EXPECT_FALSE(ShmTestOs::MappingExists(locked));
        close(lock);
        RemoveObjects(locked);
    }
}

TEST(ShmSurvival, ObjectsOfAnotherAccountAreRefusedAndNeverWritten)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "making objects of another account needs root (setuid); this test runs as uid " << geteuid();
    }
    constexpr uid_t kOther = 65534;
    const std::string name = ShmTestOs::UniqueName("foreign");
    // Another account makes the block (readable by all, as a careless simulator
    // would), a lock beside another name, and a publisher lock beside a third.
    const std::string lockName = name + "_lock";
    const std::string ownerName = name + "_owner";
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(kOther) != 0 || setuid(kOther) != 0) {
            _exit(2);
        }
        const int block = RawObject(name, GSB::kSize, 0644);
        const int lock = RawObject(lockName + ".lock", 0, 0600);
        const int owner = RawObject(ownerName + ".owner", 0, 0600);
        if (block < 0 || lock < 0 || owner < 0) {
            _exit(3);
        }
        void* view = mmap(nullptr, GSB::kSize, PROT_READ | PROT_WRITE, MAP_SHARED, block, 0);
        if (view == MAP_FAILED) {
            _exit(4);
        }
        GSB::StoreText(view, GSB::kVersionOffset, GSB::kVersionLength, GSB::kVersionText);
        GSB::StoreUserCount(view, 1);
        GSB::StoreDouble(view, GSB::kPitchSensitivity, -0.5);
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    const int raw = shm_open(("/" + name).c_str(), O_RDONLY, 0);
    ASSERT_GE(raw, 0);
    const std::vector<unsigned char> before = Contents(raw);
    {
        KQ_P_0001_02_Shm shm(name.c_str());
        EXPECT_FALSE(shm.IsReady());
        const std::string text = shm.GetErrorText();
        EXPECT_TRUE(Contains(text, ObjectPath(name) + " belongs to")) << text;
        EXPECT_TRUE(Contains(text, "(uid 65534) with mode 0644")) << text;
    }
    EXPECT_TRUE(Contents(raw) == before) << "a pitch sensitivity of another account stays unused and unchanged";
    close(raw);
    {
        KQ_P_0001_02_Shm shm(lockName.c_str());
        EXPECT_FALSE(shm.IsReady());
        EXPECT_TRUE(Contains(shm.GetErrorText(), ObjectPath(lockName) + ".lock belongs to")) << shm.GetErrorText();
        EXPECT_TRUE(Contains(shm.GetErrorText(), "(uid 65534) with mode 0600")) << shm.GetErrorText();
        EXPECT_FALSE(ShmTestOs::MappingExists(lockName));
    }
    {
        PublisherLock publisher(ownerName.c_str());
        EXPECT_FALSE(publisher.Acquire());
        EXPECT_FALSE(publisher.HeldElsewhere());
        EXPECT_TRUE(Contains(publisher.GetErrorText(), ObjectPath(ownerName) + ".owner belongs to"))
            << publisher.GetErrorText();
    }
    RemoveObjects(name);
    RemoveObjects(lockName);
    RemoveObjects(ownerName);
}

TEST(ShmSurvival, AHeldLockEndsTheWaitWithinItsBound)
{
    const std::string name = ShmTestOs::UniqueName("heldlock");
    const std::string lock = "/" + name + ".lock";
    const auto expectGivenUp = [&](const char* what) {
        SCOPED_TRACE(what);
        const auto start = Clock::now();
        KQ_P_0001_02_Shm shm(name.c_str());
        const long long waited = MillisecondsSince(start);
        EXPECT_FALSE(shm.IsReady());
        const std::string text = shm.GetErrorText();
        EXPECT_TRUE(Contains(text, ObjectPath(name) + ".lock of the shared memory stayed held by another process"))
            << text;
        EXPECT_GE(waited, BaseSharedMemory::kAttachWaitMs - 10);
        EXPECT_LT(waited, BaseSharedMemory::kAttachWaitMs + 1000);
        EXPECT_FALSE(ShmTestOs::MappingExists(name));
    };

    {
        // A program in the middle of its attach, stuck there.
        Child stuck([&] {
            const int fd = shm_open(lock.c_str(), O_RDWR | O_CREAT, 0600);
            struct flock range { };
            range.l_type = F_WRLCK;
            range.l_whence = SEEK_SET;
            range.l_len = 1;
            return fd >= 0 && fcntl(fd, F_OFD_SETLK, &range) == 0;
        });
        ASSERT_TRUE(stuck.Succeeded());
        expectGivenUp("attach lock held");

        // Asked to close, the program does not wait at all.
        CloseRequest::Note();
        const auto start = Clock::now();
        KQ_P_0001_02_Shm closing(name.c_str());
        const long long waited = MillisecondsSince(start);
        CloseRequest::Clear();
        EXPECT_FALSE(closing.IsReady());
        EXPECT_TRUE(Contains(closing.GetErrorText(), "not attached: the program is closing")) << closing.GetErrorText();
        EXPECT_LT(waited, 500);
    }
    {
        // A program that takes the whole lock object for itself and keeps it.
        Child greedy([&] {
            const int fd = shm_open(lock.c_str(), O_RDWR | O_CREAT, 0600);
            return fd >= 0 && flock(fd, LOCK_EX) == 0;
        });
        ASSERT_TRUE(greedy.Succeeded());
        expectGivenUp("exclusive flock held");
    }

    // A detach waits only briefly, still lowers the count, and leaves the name.
    Child simulator([&] { return (new KQ_P_0001_02_Shm(name.c_str()))->IsReady(); });
    ASSERT_TRUE(simulator.Succeeded());
    auto attached = std::make_unique<KQ_P_0001_02_Shm>(name.c_str());
    ASSERT_TRUE(attached->IsReady()) << attached->GetErrorText();
    {
        Child stuck([&] {
            const int fd = shm_open(lock.c_str(), O_RDWR, 0);
            struct flock range { };
            range.l_type = F_WRLCK;
            range.l_whence = SEEK_SET;
            range.l_len = 1;
            return fd >= 0 && fcntl(fd, F_OFD_SETLK, &range) == 0;
        });
        ASSERT_TRUE(stuck.Succeeded());
        const auto start = Clock::now();
        attached.reset();
        EXPECT_LT(MillisecondsSince(start), BaseSharedMemory::kDetachWaitMs + 500);
    }
    EXPECT_TRUE(ShmTestOs::MappingExists(name));
    {
        KQ_P_0001_02_Shm check(name.c_str());
        ASSERT_TRUE(check.IsReady()) << check.GetErrorText();
        EXPECT_EQ(GSB::LoadUserCount(check.GetBlock()), 2) << "the simulator and this check";
    }
    simulator.Kill();
    RemoveObjects(name);
}

TEST(ShmSurvival, OnePublisherPerBlockName)
{
    const std::string name = ShmTestOs::UniqueName("publisher");
    {
        PublisherLock first(name.c_str());
        ASSERT_TRUE(first.Acquire()) << first.GetErrorText();
        EXPECT_TRUE(first.Acquire()) << "taking it again in the same object is a no-op";
        Child second([&] {
            PublisherLock lock(name.c_str());
            return !lock.Acquire() && lock.HeldElsewhere();
        });
        EXPECT_TRUE(second.Succeeded());
        // Even a second copy inside this process.
        PublisherLock again(name.c_str());
        EXPECT_FALSE(again.Acquire());
        EXPECT_TRUE(again.HeldElsewhere());
        // Another block name is another publisher's.
        PublisherLock other((name + "_other").c_str());
        EXPECT_TRUE(other.Acquire()) << other.GetErrorText();
    }
    EXPECT_FALSE(ShmTestOs::MappingExists(name + ".owner")) << "the holder removes it when it goes";
    {
        // A publisher that was killed holds nothing any more.
        Child killed([&] { return (new PublisherLock(name.c_str()))->Acquire(); });
        ASSERT_TRUE(killed.Succeeded());
        PublisherLock blocked(name.c_str());
        EXPECT_FALSE(blocked.Acquire());
        killed.Kill();
        PublisherLock next(name.c_str());
        EXPECT_TRUE(next.Acquire()) << next.GetErrorText();
    }
    RemoveObjects(name);
}
