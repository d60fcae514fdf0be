#include "tests/support/os_helpers.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ShmTestOs {

namespace {

std::atomic<int> g_nameCounter { 0 };
std::atomic<int> g_fileCounter { 0 };

bool ObjectExists(const std::string& object)
{
    const int fd = shm_open(object.c_str(), O_RDONLY, 0);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

std::string TemporaryFile(const char* kind)
{
    const auto folder = std::filesystem::temp_directory_path();
    return (folder / ("tavelin_test_" + std::to_string(getpid()) + "_" + std::to_string(g_fileCounter++) + kind))
        .string();
}

} // namespace

int ProcessId()
{
    return static_cast<int>(getpid());
}

std::string UniqueName(const char* tag)
{
    return "TavelinTest_" + std::to_string(ProcessId()) + "_" + tag + "_" + std::to_string(g_nameCounter++);
}

bool MappingExists(const std::string& name)
{
    return ObjectExists("/" + name);
}

bool LockObjectExists(const std::string& name)
{
    return ObjectExists("/" + name + ".lock");
}

bool LastDetachRemovesName()
{
    return true;
}

bool LoneAttacherRepairs()
{
    return true;
}

std::intptr_t HoldLockShared(const std::string& name)
{
    const std::string lock = "/" + name + ".lock";
    int fd = shm_open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
        fchmod(fd, 0600);
    } else {
        fd = shm_open(lock.c_str(), O_RDWR, 0);
    }
    if (fd < 0) {
        return -1;
    }
    if (flock(fd, LOCK_SH) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void ReleaseLock(std::intptr_t handle)
{
    if (handle >= 0) {
        close(static_cast<int>(handle));
    }
}

std::intptr_t CreateRawMapping(const std::string& name, std::size_t size)
{
    const std::string object = "/" + name;
    const int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        return -1;
    }
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        shm_unlink(object.c_str());
        return -1;
    }
    return fd;
}

void DestroyRawMapping(const std::string& name, std::intptr_t handle)
{
    if (handle >= 0) {
        close(static_cast<int>(handle));
    }
    shm_unlink(("/" + name).c_str());
    // A lock object the test's attachers or holders left beside it.
    shm_unlink(("/" + name + ".lock").c_str());
}

void SetEnvironment(const char* name, const char* value)
{
    setenv(name, value, 1);
}

void UnsetEnvironment(const char* name)
{
    unsetenv(name);
}

std::string SelfExecutable()
{
    char buffer[PATH_MAX + 1];
    const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::string NativePath(const std::string& path)
{
    return path;
}

const char* ExecutableSuffix()
{
    return "";
}

RunningProgram StartProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    RunningProgram running;
    running.outFile = TemporaryFile(".out");
    running.errFile = TemporaryFile(".err");

    std::vector<std::string> words;
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, running.outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, running.errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        running.handle = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    return running;
}

int WaitProgram(RunningProgram& program)
{
    if (program.handle < 0) {
        return -1;
    }
    int status = 0;
    pid_t result;
    do {
        result = waitpid(static_cast<pid_t>(program.handle), &status, 0);
    } while (result < 0 && errno == EINTR);
    program.handle = -1;
    if (result < 0) {
        return -1;
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

bool TerminationRequestsSupported()
{
    return true;
}

bool RequestTermination(const RunningProgram& program)
{
    return program.handle > 0 && kill(static_cast<pid_t>(program.handle), SIGTERM) == 0;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    RunningProgram running = StartProgram(program, arguments);
    ProgramResult result;
    result.exitCode = WaitProgram(running);
    result.out = ReadWholeFile(running.outFile);
    result.err = ReadWholeFile(running.errFile);
    std::remove(running.outFile.c_str());
    std::remove(running.errFile.c_str());
    return result;
}

} // namespace ShmTestOs
