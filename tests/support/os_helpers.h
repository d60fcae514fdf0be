// Test helpers that talk to the operating system directly, not through the
// code under test: raw mappings, object existence, environment, child processes.
// One implementation per platform (os_helpers_posix.cpp / os_helpers_win32.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ShmTestOs {

int ProcessId();

// "TavelinTest_<pid>_<tag>_<n>": no two tests, and no two runs, share a name.
std::string UniqueName(const char* tag);

// Whether a mapping of that name exists right now.
bool MappingExists(const std::string& name);
// Whether the attach lock object that belongs to the mapping name exists.
bool LockObjectExists(const std::string& name);
// Linux removes the name with the last user; on Windows the creating process
// keeps the mapping until it ends.
bool LastDetachRemovesName();

// Linux: an attacher that finds nobody else holding the block repairs a
// half-made one; Windows never changes a mapping's size.
bool LoneAttacherRepairs();
// Holds the block's lock object shared, as a simulator attached to the block
// does on Linux, so that no attacher is alone. Windows: nothing to hold (-1).
std::intptr_t HoldLockShared(const std::string& name);
void ReleaseLock(std::intptr_t handle);

// A mapping of `size` bytes made with the OS API alone; -1 on failure.
std::intptr_t CreateRawMapping(const std::string& name, std::size_t size);
void DestroyRawMapping(const std::string& name, std::intptr_t handle);

void SetEnvironment(const char* name, const char* value);
void UnsetEnvironment(const char* name);

// The running test executable.
std::string SelfExecutable();
// A path as the platform's programs take it (under Wine, "/x/y" becomes "Z:\x\y").
std::string NativePath(const std::string& path);
// Executable file name suffix: "" or ".exe".
const char* ExecutableSuffix();

struct RunningProgram {
    std::intptr_t handle = -1; // pid / process handle
    std::string outFile;
    std::string errFile;
};

// Starts program with arguments, its output and error streams in temporary files.
RunningProgram StartProgram(const std::string& program, const std::vector<std::string>& arguments);
// Waits for it to end: its exit status (128 + signal when a signal ended it), -1 on failure.
int WaitProgram(RunningProgram& program);
// Asks it to end as a service manager or a shell would (SIGTERM); false where there is no such thing.
bool TerminationRequestsSupported();
bool RequestTermination(const RunningProgram& program);

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments);

std::string ReadWholeFile(const std::string& path);

} // namespace ShmTestOs
