// The block on Linux when another program shrinks it, removes or replaces its
// name or its lock: views that read zeros instead of dying, attachments that
// attach again where they were and take the others of the process along, and
// a bus error anywhere else that still ends the program. The checks that
// might die of a bus error run in a forked process of their own.
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace GSB = GenericSimBlock;

namespace {

constexpr double kMarker = 0.125;

// Runs `checks` in a forked process, so that a bus error the guard missed
// ends only that one: "" when every check held, else what failed or how it ended.
std::string InChild(const std::function<std::string()>& checks)
{
    int ends[2];
    if (pipe(ends) != 0) {
        return "no pipe";
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(ends[0]);
        const std::string failed = checks();
        [[maybe_unused]] const ssize_t written = write(ends[1], failed.data(), failed.size());
        _exit(0);
    }
    close(ends[1]);
    std::string said;
    char buffer[512];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) {
        said.append(buffer, static_cast<std::size_t>(got));
    }
    close(ends[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) {
        return said + " (ended by signal " + std::to_string(WTERMSIG(status)) + ")";
    }
    return said;
}

// Collects the checks that failed, as text.
class Checks {
public:
    void operator()(bool held, const std::string& what)
    {
        if (!held) {
            m_failed += what + "; ";
        }
    }
    const std::string& Failed() const { return m_failed; }

private:
    std::string m_failed;
};

long long ObjectSize(const std::string& name)
{
    struct stat status { };
    return stat(("/dev/shm/" + name).c_str(), &status) == 0 ? static_cast<long long>(status.st_size) : -1;
}

ino_t ObjectInode(const std::string& name)
{
    struct stat status { };
    return stat(("/dev/shm/" + name).c_str(), &status) == 0 ? status.st_ino : 0;
}

bool Shrink(const std::string& name, off_t size)
{
    const int fd = shm_open(("/" + name).c_str(), O_RDWR, 0);
    const bool done = fd >= 0 && ftruncate(fd, size) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return done;
}

bool VersionOk(const void* block)
{
    char text[GSB::kVersionLength + 1];
    GSB::LoadText(block, GSB::kVersionOffset, GSB::kVersionLength, text, sizeof text);
    return std::strcmp(text, GSB::kVersionText) == 0;
}

void RemoveObjects(const std::string& name)
{
    for (const char* suffix : { "", ".lock" }) {
        shm_unlink(("/" + name + suffix).c_str());
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// AddressSanitizer catches SIGBUS itself unless told not to (handle_sigbus=0).
bool SanitizerHandlesBusErrors()
{
    const char* options = std::getenv("ASAN_OPTIONS");
    return kSanitized && (options == nullptr || std::strstr(options, "handle_sigbus=0") == nullptr);
}

// Ended by the bus error itself, or by the sanitizer's report of it when the
// sanitizer's handler was there before ours.
bool EndedByTheBusError(int status)
{
    if (WIFSIGNALED(status)) {
        return WTERMSIG(status) == SIGBUS || (SanitizerHandlesBusErrors() && WTERMSIG(status) == SIGABRT);
    }
    return SanitizerHandlesBusErrors() && WIFEXITED(status) && WEXITSTATUS(status) != 0;
}

} // namespace

TEST(ShmReattach, AShrunkBlockReadsAsZerosAndIsRepairedWhereItWas)
{
    const std::string name = ShmTestOs::UniqueName("shrunk");
    const std::string failed = InChild([&] {
        Checks check;
        // The processor's view and the window's, as in one Tavelin.
        KQ_P_0001_02_Shm publisher(name.c_str());
        KQ_P_0001_02_Shm window(name.c_str());
        if (!publisher.IsReady() || !window.IsReady()) {
            return std::string("not attached: ") + publisher.GetErrorText();
        }
        void* const publisherBlock = publisher.GetBlock();
        void* const windowBlock = window.GetBlock();
        GSB::StoreDouble(publisherBlock, GSB::kPitchSensitivity, kMarker);

        for (const off_t size : { off_t { 0 }, off_t { 67400 } }) {
            const std::string at = " (shrunk to " + std::to_string(size) + ")";
            check(Shrink(name, size), "shrink" + at);
            // Beyond the end: zeros, and writes go nowhere, instead of the end of the program.
            check(GSB::LoadDouble(windowBlock, GSB::kPitchSensitivity) == 0.0, "zeros" + at);
            GSB::StoreDouble(publisherBlock, GSB::kPitchOutput, 3.0);
            check(publisher.Broken() && window.Broken(), "both views marked" + at);

            check(publisher.Reattach(), "attached again" + at + ": " + publisher.GetErrorText());
            check(publisher.GetBlock() == publisherBlock && window.GetBlock() == windowBlock, "same addresses" + at);
            check(window.IsReady() && !window.Broken(), "the window's view followed" + at);
            // Without its version text it is made afresh; with it, it is only grown back.
            check(publisher.CreatedBlock() == (size == 0), "made afresh only without its version text" + at);
            check(ObjectSize(name) == GSB::kSize, "full size again" + at);
            check(VersionOk(windowBlock), "version text" + at);
            check(GSB::LoadUserCount(windowBlock) == 2, "count of the two views" + at);
            GSB::StoreDouble(publisherBlock, GSB::kPitchSensitivity, kMarker);
            check(GSB::LoadDouble(windowBlock, GSB::kPitchSensitivity) == kMarker, "one block again" + at);
        }

        // Held by another attacher: cut short with its version text, it is
        // grown back and joined; without it, refused (it is not ours to re-make),
        // and the address stays taken, reading zeros, until the holder goes.
        const std::intptr_t simulator = ShmTestOs::HoldLockShared(name);
        GSB::StoreDouble(publisherBlock, GSB::kPitchOutput, 3.0);
        check(Shrink(name, 67400), "shrink while held");
        check(GSB::LoadDouble(publisherBlock, GSB::kPitchSensitivity) == 0.0, "zeros while held");
        check(publisher.Reattach() && window.IsReady(), std::string("grown back: ") + publisher.GetErrorText());
        check(!publisher.CreatedBlock() && ObjectSize(name) == GSB::kSize, "grown, not made afresh");
        check(GSB::LoadDouble(windowBlock, GSB::kPitchOutput) == 3.0, "what was left is kept");

        check(Shrink(name, 30), "cut into the version text while held");
        check(GSB::LoadDouble(publisherBlock, GSB::kPitchOutput) == 0.0, "zeros again");
        check(!publisher.Reattach(), "refused while another holds it");
        check(std::string(publisher.GetErrorText()).find("has 30 bytes, fewer than the 132464 bytes")
                != std::string::npos,
            std::string("refusal text: ") + publisher.GetErrorText());
        check(!window.IsReady() && GSB::LoadDouble(windowBlock, GSB::kPitchSensitivity) == 0.0,
            "the window's view waits on zero pages");
        check(ObjectSize(name) == 30, "left as it is");
        ShmTestOs::ReleaseLock(simulator);
        check(publisher.Reattach() && window.IsReady(), "attached once alone");
        check(publisher.CreatedBlock() && VersionOk(windowBlock), "made afresh by the lone attacher");
        check(publisher.GetBlock() == publisherBlock && window.GetBlock() == windowBlock, "same addresses at last");
        return check.Failed();
    });
    EXPECT_EQ(failed, "");
    EXPECT_FALSE(ShmTestOs::MappingExists(name)) << "the child's last view removed the name";
    RemoveObjects(name);
}

TEST(ShmReattach, ABusErrorOutsideEveryBlockStillEndsTheProgram)
{
    const std::string name = ShmTestOs::UniqueName("fatal");
    const auto touchAShrunkFile = [&] {
        // The guard is in place: a block is attached.
        KQ_P_0001_02_Shm shm(name.c_str());
        const std::string file = "/" + name + "_plain";
        const int fd = shm_open(file.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        shm_unlink(file.c_str());
        if (!shm.IsReady() || fd < 0 || ftruncate(fd, 8192) != 0) {
            _exit(3);
        }
        auto* bytes
            = static_cast<volatile unsigned char*>(mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        if (ftruncate(fd, 0) != 0) {
            _exit(3);
        }
        bytes[4096] = 1;
        _exit(0);
    };
    // Passed on to the sanitizer's handler, which reports it, when there is one.
    const char* report = SanitizerHandlesBusErrors() ? "AddressSanitizer" : "";
    EXPECT_EXIT(touchAShrunkFile(), EndedByTheBusError, report);
    // One that is sent is never a shrunk block.
    EXPECT_EXIT(
        {
            KQ_P_0001_02_Shm shm(name.c_str());
            raise(SIGBUS);
            _exit(0);
        },
        EndedByTheBusError, report);
    RemoveObjects(name);
}

TEST(ShmReattach, ARemovedNameIsMadeAgainFromTheContentsAndTheOtherViewsMove)
{
    const std::string name = ShmTestOs::UniqueName("unlinked");
    KQ_P_0001_02_Shm publisher(name.c_str());
    KQ_P_0001_02_Shm window(name.c_str());
    ASSERT_TRUE(publisher.IsReady() && window.IsReady()) << publisher.GetErrorText();
    void* const block = publisher.GetBlock();
    GSB::StoreDouble(block, GSB::kPitchSensitivity, kMarker);
    const ino_t old = ObjectInode(name);
    EXPECT_FALSE(publisher.NameLost());

    ASSERT_EQ(shm_unlink(("/" + name).c_str()), 0);
    EXPECT_TRUE(publisher.NameLost());
    EXPECT_TRUE(window.NameLost());
    const std::vector<unsigned char> seed(
        static_cast<unsigned char*>(block), static_cast<unsigned char*>(block) + GSB::kSize);
    ASSERT_TRUE(publisher.Reattach(seed.data())) << publisher.GetErrorText();
    EXPECT_TRUE(publisher.CreatedBlock());
    EXPECT_EQ(publisher.GetBlock(), block);
    EXPECT_FALSE(publisher.NameLost());
    EXPECT_TRUE(window.IsReady());
    EXPECT_FALSE(window.NameLost());
    EXPECT_NE(ObjectInode(name), old);
    {
        KQ_P_0001_02_Shm newcomer(name.c_str(), true);
        ASSERT_TRUE(newcomer.IsReady()) << newcomer.GetErrorText();
        EXPECT_EQ(GSB::LoadDouble(newcomer.GetBlock(), GSB::kPitchSensitivity), kMarker) << "the contents came along";
        EXPECT_EQ(GSB::LoadUserCount(newcomer.GetBlock()), 3);
        GSB::StoreDouble(block, GSB::kRollSensitivity, 0.5);
        EXPECT_EQ(GSB::LoadDouble(newcomer.GetBlock(), GSB::kRollSensitivity), 0.5);
    }

    // The lock object removed: the holds move to the new one, so a newcomer
    // is never alone (it would reset the count and, leaving, remove the name).
    ASSERT_EQ(shm_unlink(("/" + name + ".lock").c_str()), 0);
    EXPECT_TRUE(publisher.LockLost());
    ASSERT_TRUE(publisher.Reattach()) << publisher.GetErrorText();
    EXPECT_FALSE(publisher.CreatedBlock());
    EXPECT_FALSE(window.LockLost());
    {
        KQ_P_0001_02_Shm newcomer(name.c_str(), true);
        ASSERT_TRUE(newcomer.IsReady());
        EXPECT_EQ(GSB::LoadUserCount(newcomer.GetBlock()), 3);
    }
    EXPECT_TRUE(ShmTestOs::MappingExists(name)) << "the newcomer was not alone";

    // A name that another program made again leads to its block: joined, not made.
    ASSERT_EQ(shm_unlink(("/" + name).c_str()), 0);
    {
        KQ_P_0001_02_Shm other(name.c_str());
        ASSERT_TRUE(other.IsReady());
        EXPECT_TRUE(publisher.NameLost());
        ASSERT_TRUE(publisher.Reattach(seed.data())) << publisher.GetErrorText();
        EXPECT_FALSE(publisher.CreatedBlock());
        EXPECT_EQ(GSB::LoadUserCount(other.GetBlock()), 3) << "the other program, the publisher and the window";
        EXPECT_EQ(GSB::LoadDouble(other.GetBlock(), GSB::kPitchSensitivity), 0.0) << "its contents are its own";
    }
}

TEST(ShmReattach, AViewThatCouldNotAttachIsBroughtAlong)
{
    const std::string name = ShmTestOs::UniqueName("along");
    // The window's view, before anybody made the block.
    KQ_P_0001_02_Shm window(name.c_str(), true);
    EXPECT_FALSE(window.IsReady());
    window.BringAlong();
    EXPECT_FALSE(window.IsReady()) << "only an attached one brings the others";

    KQ_P_0001_02_Shm publisher(name.c_str());
    ASSERT_TRUE(publisher.IsReady());
    KQ_P_0001_02_Shm elsewhere(ShmTestOs::UniqueName("elsewhere").c_str(), true);
    publisher.BringAlong();
    ASSERT_TRUE(window.IsReady()) << window.GetErrorText();
    EXPECT_FALSE(elsewhere.IsReady()) << "another name is not this block";
    GSB::StoreDouble(publisher.GetBlock(), GSB::kPitchSensitivity, kMarker);
    EXPECT_EQ(GSB::LoadDouble(window.GetBlock(), GSB::kPitchSensitivity), kMarker);
    EXPECT_EQ(GSB::LoadUserCount(window.GetBlock()), 2);
}

TEST(ShmReattach, AnAttachmentOwnedByAStaticObjectDetachesCleanlyAtExit)
{
    // A program may keep its attachment in an object of static duration that
    // exists before the process's first attach (a processor made at start-up
    // that attaches later). At exit it is destroyed after everything made
    // since, so the list of the process's attachments must still be there.
    // The child starts afresh (threadsafe style), so nothing of this process
    // has attached before it.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The child runs this test again from its start: it takes the parent's name.
    const char* given = std::getenv("TAVELIN_TEST_STATIC_OWNER");
    const std::string name = given != nullptr ? given : ShmTestOs::UniqueName("static");
    setenv("TAVELIN_TEST_STATIC_OWNER", name.c_str(), 1);
    EXPECT_EXIT(
        {
            static std::unique_ptr<KQ_P_0001_02_Shm> owner;
            owner = std::make_unique<KQ_P_0001_02_Shm>(name.c_str());
            std::exit(owner->IsReady() ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(ShmTestOs::MappingExists(name)) << "the last detach at exit removes the name";
    unsetenv("TAVELIN_TEST_STATIC_OWNER");
    RemoveObjects(name);
}
