// The program as a process while other programs do what they should not to
// its block and its files: shrink the block, remove its name, hold its lock
// at the start, or give it a configuration folder it cannot write. Each time
// it publishes again, and says what happened in one line of its log.
#include "tests/e2e/program_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace e2e;

int Count(const std::string& text, const std::string& part)
{
    int found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

std::vector<std::string> Simblock(const std::string& name, std::vector<std::string> words)
{
    words.insert(words.begin(), { TAVELIN_SIMBLOCK_PATH, "--name", name });
    return words;
}

// A reader attached now, once the block is whole and publishes `pitch`.
std::unique_ptr<testfiles::BlockReader> ReaderOnceItPublishes(const std::string& name, double pitch)
{
    std::unique_ptr<testfiles::BlockReader> reader;
    WaitFor([&] {
        reader = std::make_unique<testfiles::BlockReader>(name);
        return reader->Ready() && Near(reader->Double(block::kPitchOutput), pitch);
    });
    return reader != nullptr && reader->Ready() ? std::move(reader) : nullptr;
}

bool LastLineHolds(const std::string& log, const std::string& part)
{
    const std::size_t end = log.find_last_of('\n', log.size() >= 2 ? log.size() - 2 : 0);
    return log.find(part, end == std::string::npos ? 0 : end) != std::string::npos;
}

TEST(ProgramAndItsBlock, AShrunkBlockIsRepairedAndPublishedIntoAgain)
{
    testfiles::Sandbox sandbox("e2eshrunk");
    testfiles::Stick stick;
    stick.y = 2000;
    sandbox.MoveStick(stick);
    const std::filesystem::path log = sandbox.Root() / "tavelin.log";
    Program program(log);
    ASSERT_TRUE(program.Started());
    ASSERT_NE(ReaderOnceItPublishes(sandbox.ShmName(), testfiles::SettledPitch(2000)), nullptr) << ReadLog(log);
    // A simulator's stand-in watches all along.
    const std::filesystem::path watchOut = sandbox.Root() / "watch.log";
    Program watch(watchOut, nullptr, {}, Simblock(sandbox.ShmName(), { "--open-only", "watch", "--hz", "20" }));
    ASSERT_TRUE(WaitFor([&] { return Count(ReadLog(watchOut), "\n") >= 3; })) << ReadLog(watchOut);

    const std::string shrank = "Another program shrank the shared block \"" + sandbox.ShmName() + "\"";
    int raw = shm_open(("/" + sandbox.ShmName()).c_str(), O_RDWR, 0);
    ASSERT_GE(raw, 0);
    int expected = 0;
    int y = 2000;
    for (const off_t size : { off_t { 0 }, off_t { 67400 } }) {
        SCOPED_TRACE("shrunk to " + std::to_string(size));
        ASSERT_EQ(ftruncate(raw, size), 0);
        ++expected;
        ASSERT_TRUE(WaitFor([&] { return Count(ReadLog(log), shrank) == expected; })) << ReadLog(log);
        // Repaired (by whoever was alone first) and published into again, with the set-up.
        y = -y - 1000;
        stick.y = y;
        sandbox.MoveStick(stick);
        auto reader = ReaderOnceItPublishes(sandbox.ShmName(), testfiles::SettledPitch(y));
        ASSERT_NE(reader, nullptr) << ReadLog(log);
        EXPECT_NEAR(reader->Double(block::kPitchSensitivity), testfiles::kPitchSensitivity, 1e-9);
        EXPECT_EQ(reader->Int(block::kPitchRecord + block::kRecordInput), 1);
        // The window's view came back too. (A count cut off with the block
        // misses the holders that never noticed: simblock, when it was cut
        // after the part it reads.)
        EXPECT_TRUE(WaitFor([&] { return block::LoadUserCount(reader->Block()) >= 3; }))
            << "the program's two views and this reader: " << block::LoadUserCount(reader->Block());
        struct stat status { };
        ASSERT_EQ(fstat(raw, &status), 0);
        EXPECT_EQ(status.st_size, static_cast<off_t>(block::kSize));
    }
    close(raw);
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(watch.Running()) << ReadLog(watchOut);
    // It reads only what lies before 67400, so only the first shrink reached it.
    EXPECT_GE(Count(ReadLog(watchOut), "simblock: another program shrank the shared block"), 1) << ReadLog(watchOut);
    // simblock shows the live values again: its last line holds the pitch of now.
    char pitch[32];
    std::snprintf(pitch, sizeof pitch, "%.3f", testfiles::SettledPitch(y));
    EXPECT_TRUE(WaitFor([&] { return LastLineHolds(ReadLog(watchOut), pitch); })) << ReadLog(watchOut);

    watch.Signal(SIGTERM);
    ASSERT_TRUE(watch.WaitForExit().has_value());
    program.Signal(SIGTERM);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << ReadLog(log);
    EXPECT_EQ(Count(ReadLog(log), shrank), 2) << "each shrink said once: " << ReadLog(log);
    for (const char* suffix : { "", ".lock", ".owner" }) {
        EXPECT_FALSE(std::filesystem::exists(ShmPath(sandbox.ShmName() + suffix))) << suffix << " left behind";
    }
}

TEST(ProgramAndItsBlock, ARemovedNameIsMadeAgainAndANewAttacherReadsLiveValues)
{
    testfiles::Sandbox sandbox("e2eunlinked");
    testfiles::Stick stick;
    stick.y = 2000;
    sandbox.MoveStick(stick);
    const std::filesystem::path log = sandbox.Root() / "tavelin.log";
    Program program(log);
    ASSERT_TRUE(program.Started());
    auto old = ReaderOnceItPublishes(sandbox.ShmName(), testfiles::SettledPitch(2000));
    ASSERT_NE(old, nullptr) << ReadLog(log);
    const std::filesystem::path watchOut = sandbox.Root() / "watch.log";
    Program watch(watchOut, nullptr, {}, Simblock(sandbox.ShmName(), { "--open-only", "watch", "--hz", "20" }));
    ASSERT_TRUE(WaitFor([&] { return Count(ReadLog(watchOut), "\n") >= 3; })) << ReadLog(watchOut);

    // A clean-up script (or the log-out's removal of a user's IPC objects).
    ASSERT_EQ(shm_unlink(("/" + sandbox.ShmName()).c_str()), 0);
    const std::string removed = "Another program removed the name of the shared block \"" + sandbox.ShmName()
        + "\": Tavelin made it again with the current contents; programs still attached to the old block must attach "
          "again";
    ASSERT_TRUE(WaitFor([&] { return Count(ReadLog(log), removed) == 1; })) << ReadLog(log);

    stick.y = -5000;
    sandbox.MoveStick(stick);
    auto fresh = ReaderOnceItPublishes(sandbox.ShmName(), testfiles::SettledPitch(-5000));
    ASSERT_NE(fresh, nullptr) << ReadLog(log);
    EXPECT_NEAR(fresh->Double(block::kPitchSensitivity), testfiles::kPitchSensitivity, 1e-9);
    // simblock followed the name to the block made again; the old reader did not.
    EXPECT_TRUE(WaitFor([&] { return block::LoadUserCount(fresh->Block()) == 4; }))
        << "the program's two views, simblock and the new reader: " << block::LoadUserCount(fresh->Block());
    EXPECT_NE(ReadLog(watchOut).find("leads to another block now; attached to it again"), std::string::npos)
        << ReadLog(watchOut);
    EXPECT_EQ(old->Double(block::kPitchOutput), 0.0) << "the old block is left with the stick released";

    watch.Signal(SIGTERM);
    ASSERT_TRUE(watch.WaitForExit().has_value());
    program.Signal(SIGTERM);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << ReadLog(log);
    EXPECT_EQ(Count(ReadLog(log), "removed the name"), 1) << ReadLog(log);
    EXPECT_EQ(block::LoadUserCount(fresh->Block()), 1) << "the program and simblock detached from the new block";
}

TEST(ProgramAndItsBlock, ALockHeldAtTheStartIsTriedAgainUntilItComesFree)
{
    testfiles::Sandbox sandbox("e2eheld");
    testfiles::Stick stick;
    stick.y = 2000;
    sandbox.MoveStick(stick);
    // A program stuck in its attach, and one that takes the whole lock object.
    const std::string lock = "/" + sandbox.ShmName() + ".lock";
    const int fd = shm_open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    struct flock range { };
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_len = 1;
    ASSERT_EQ(fcntl(fd, F_OFD_SETLK, &range), 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);

    const std::filesystem::path log = sandbox.Root() / "tavelin.log";
    Program program(log);
    ASSERT_TRUE(program.Started());
    const std::string waiting = "The shared block \"" + sandbox.ShmName() + "\" could not be attached (The lock ";
    ASSERT_TRUE(WaitFor([&] { return ReadLog(log).find(waiting) != std::string::npos; }, std::chrono::seconds(20)))
        << ReadLog(log);
    EXPECT_FALSE(std::filesystem::exists(ShmPath(sandbox.ShmName())));
    close(fd);

    auto reader = ReaderOnceItPublishes(sandbox.ShmName(), testfiles::SettledPitch(2000));
    ASSERT_NE(reader, nullptr) << ReadLog(log);
    EXPECT_NEAR(reader->Double(block::kPitchSensitivity), testfiles::kPitchSensitivity, 1e-9);
    EXPECT_TRUE(WaitFor([&] { return block::LoadUserCount(reader->Block()) == 3; }))
        << "the window's view came along: " << block::LoadUserCount(reader->Block());
    // The note is told by the window after the tick that published: it may
    // come a moment after the values.
    const std::string attached = "The shared block \"" + sandbox.ShmName() + "\" is attached now";
    EXPECT_TRUE(WaitFor([&] { return Count(ReadLog(log), attached) >= 1; })) << ReadLog(log);

    program.Signal(SIGTERM);
    const std::optional<int> status = program.WaitForExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << ReadLog(log);
    EXPECT_EQ(block::LoadUserCount(reader->Block()), 1);
    // Each said once, for the whole run.
    const std::string text = ReadLog(log);
    EXPECT_EQ(Count(text, "Tavelin tries again every second"), 1) << text;
    EXPECT_EQ(Count(text, attached), 1) << text;
}

// In the program's own process, before it starts: its configuration folder
// becomes a small tmpfs of a private mount namespace, read-only or full. ""
// or why it could not be made.
std::string UnwritableFolder(const std::filesystem::path& folder, bool full)
{
    if (unshare(CLONE_NEWNS) != 0) {
        // Without the right to mount here, a user namespace of its own brings it.
        const uid_t uid = geteuid();
        const gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
            return std::string("no private mount namespace: ") + std::strerror(errno);
        }
        const auto put = [](const char* file, const std::string& text) {
            const int out = open(file, O_WRONLY);
            const bool ok = out >= 0 && write(out, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            if (out >= 0) {
                close(out);
            }
            return ok;
        };
        if (!put("/proc/self/setgroups", "deny")
            || !put("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1")
            || !put("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
            return std::string("no identity in the user namespace: ") + std::strerror(errno);
        }
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string("mounts not private: ") + std::strerror(errno);
    }
    if (mount("tavelin-test", folder.c_str(), "tmpfs", full ? 0 : MS_RDONLY, full ? "size=16k,mode=0700" : "mode=0700")
        != 0) {
        return std::string("no tmpfs: ") + std::strerror(errno);
    }
    if (full) {
        const int filler = open((folder / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
        const char bytes[4096] = {};
        while (filler >= 0 && write(filler, bytes, sizeof bytes) > 0) { }
        if (filler < 0 || errno != ENOSPC) {
            return std::string("the tmpfs did not fill: ") + std::strerror(errno);
        }
        close(filler);
    }
    return "";
}

TEST(ProgramAndItsFiles, AFirstStartThatCannotSaveTheDefaultSetUpPublishesItFromMemory)
{
    for (const bool full : { false, true }) {
        SCOPED_TRACE(full ? "a full configuration folder" : "a read-only configuration folder");
        testfiles::Sandbox sandbox(full ? "e2efull" : "e2ereadonly");
        const std::filesystem::path file = sandbox.ConfigurationFile();
        std::filesystem::remove(file);
        testfiles::Stick stick;
        stick.y = 4000;
        stick.x = -4000;
        sandbox.MoveStick(stick);

        const std::filesystem::path log = sandbox.Root() / "tavelin.log";
        Program program(log, nullptr, [&] { return UnwritableFolder(file.parent_path(), full); });
        if (!program.NotPrepared().empty()) {
            GTEST_SKIP() << "needs a tmpfs in a private mount namespace: " << program.NotPrepared();
        }
        ASSERT_TRUE(program.Started());
        // The default set-up: pitch on Y at 0.002 and roll on X at 0.0025 a count, dead bands 0.5.
        auto reader = ReaderOnceItPublishes(sandbox.ShmName(), 7.5);
        ASSERT_NE(reader, nullptr) << ReadLog(log);
        EXPECT_TRUE(WaitFor([&] { return Near(reader->Double(block::kRollOutput), -9.5); }))
            << reader->Double(block::kRollOutput);
        char name[block::kConfigurationNameLength + 1] = {};
        block::LoadText(reader->Block(), block::kConfigurationName, block::kConfigurationNameLength, name, sizeof name);
        EXPECT_STREQ(name, "DEFAULT_JOYSTICK_SETUP");
        // The reason is the writer's own text for the failure.
        const std::string note = "Warning Message: No Joystick.ini was found, and the default set-up could not be "
                                 "saved to "
            + file.string() + " (";
        const std::string rest = "): it is used from memory until Save Assignments can write it\n";
        EXPECT_TRUE(WaitFor([&] { return Count(ReadLog(log), note) == 1; })) << ReadLog(log);
        const std::string text = ReadLog(log);
        const std::size_t reason = text.find(note) + note.size();
        EXPECT_GT(text.find(rest, reason), reason) << text;
        EXPECT_EQ(text.find('\n', reason), text.find(rest, reason) + rest.size() - 1) << "one line: " << text;
        EXPECT_EQ(ReadLog(log).find("CTavelinDlg::"), std::string::npos) << "a note, no box: " << ReadLog(log);

        program.Signal(SIGTERM);
        const std::optional<int> status = program.WaitForExit();
        ASSERT_TRUE(status.has_value());
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << ReadLog(log);
        EXPECT_FALSE(std::filesystem::exists(file)) << "the mount was the program's own";
    }
}

} // namespace
