#include "tests/support/os_helpers.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <windows.h>

namespace ShmTestOs {

namespace {

std::atomic<int> g_nameCounter { 0 };
std::atomic<int> g_fileCounter { 0 };

std::string TemporaryFile(const char* kind)
{
    const auto folder = std::filesystem::temp_directory_path();
    return (folder / ("tavelin_test_" + std::to_string(ProcessId()) + "_" + std::to_string(g_fileCounter++) + kind))
        .string();
}

HANDLE InheritableFile(const std::string& path)
{
    SECURITY_ATTRIBUTES security {};
    security.nLength = sizeof security;
    security.bInheritHandle = TRUE;
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, CREATE_ALWAYS,
        FILE_ATTRIBUTE_NORMAL, nullptr);
}

// One argument as CommandLineToArgvW / the C run-time will split it again.
std::string Quote(const std::string& word)
{
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) {
        return word;
    }
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

} // namespace

int ProcessId()
{
    return static_cast<int>(GetCurrentProcessId());
}

std::string UniqueName(const char* tag)
{
    return "TavelinTest_" + std::to_string(ProcessId()) + "_" + tag + "_" + std::to_string(g_nameCounter++);
}

bool MappingExists(const std::string& name)
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (mapping == nullptr) {
        return false;
    }
    CloseHandle(mapping);
    return true;
}

bool LockObjectExists(const std::string& name)
{
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, (name + "_AttachLock").c_str());
    if (mutex == nullptr) {
        return false;
    }
    CloseHandle(mutex);
    return true;
}

bool LastDetachRemovesName()
{
    return false;
}

bool LoneAttacherRepairs()
{
    return false;
}

std::intptr_t HoldLockShared(const std::string& /*name*/)
{
    return -1;
}

void ReleaseLock(std::intptr_t /*handle*/)
{
}

std::intptr_t CreateRawMapping(const std::string& name, std::size_t size)
{
    HANDLE mapping
        = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size), name.c_str());
    if (mapping == nullptr) {
        return -1;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mapping);
        return -1;
    }
    return reinterpret_cast<std::intptr_t>(mapping);
}

void DestroyRawMapping(const std::string&, std::intptr_t handle)
{
    if (handle != -1 && handle != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(handle));
    }
}

void SetEnvironment(const char* name, const char* value)
{
    _putenv_s(name, value);
}

void UnsetEnvironment(const char* name)
{
    _putenv_s(name, "");
}

std::string SelfExecutable()
{
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, length);
}

std::string NativePath(const std::string& path)
{
    if (path.empty() || path[0] != '/') {
        return path;
    }
    // Wine shows the Unix root as drive Z:.
    std::string native = "Z:";
    native.append(path);
    for (char& c : native) {
        if (c == '/') {
            c = '\\';
        }
    }
    return native;
}

const char* ExecutableSuffix()
{
    return ".exe";
}

RunningProgram StartProgram(const std::string& program, const std::vector<std::string>& arguments)
{
    RunningProgram running;
    running.outFile = TemporaryFile(".out");
    running.errFile = TemporaryFile(".err");
    HANDLE out = InheritableFile(running.outFile);
    HANDLE err = InheritableFile(running.errFile);

    std::string commandLine = Quote(program);
    for (const auto& argument : arguments) {
        commandLine += ' ';
        commandLine += Quote(argument);
    }
    STARTUPINFOA startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process {};
    if (CreateProcessA(
            program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        running.handle = reinterpret_cast<std::intptr_t>(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    return running;
}

int WaitProgram(RunningProgram& program)
{
    if (program.handle == -1) {
        return -1;
    }
    HANDLE process = reinterpret_cast<HANDLE>(program.handle);
    DWORD code = 0;
    const bool ok = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    program.handle = -1;
    return ok ? static_cast<int>(code) : -1;
}

bool TerminationRequestsSupported()
{
    return false;
}

bool RequestTermination(const RunningProgram&)
{
    return false;
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
    // The C run-time writes text streams with CR LF; compare texts as on Linux.
    for (std::string* text : { &result.out, &result.err }) {
        std::erase(*text, '\r');
    }
    std::remove(running.outFile.c_str());
    std::remove(running.errFile.c_str());
    return result;
}

} // namespace ShmTestOs
