// The Windows half of the Wine bridge, run by wine inside the simulator's
// prefix. It opens the native object as a file through the prefix's Z: drive
// (or \\?\unix\ when there is none) and makes the block's mapping name a
// mapping of that file, so every OpenFileMappingA of the name maps the very
// pages of /dev/shm/<name>. It never attaches or counts itself as a user:
// the native half does that.
// - The mapping is exactly the block's size: a larger one would make Wine
//   grow the native object.
// - A name already taken is adopted only when its view is the same inode:
//   the native half names this process's Unix pid (kUnixPidVariable), and
//   Z:\proc\<pid>\maps shows what backs each view (Z:\proc\self would be
//   the Wine server, which opens the files). A mapping of other pages means a
//   simulator started first and made its own block; so does one that cannot be
//   told apart, and the bridge refuses.
#include "support/WineBridge.h"

#include "mapping/GenericSimBlock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <windows.h>

namespace WineBridge {

namespace {

constexpr DWORD kPollMs = 200;
constexpr DWORD kShortWaitMs = 2000;

int Say(int code, const std::string& reason)
{
    std::fprintf(stderr, "simblock.exe wine-bridge: %s\n", reason.c_str());
    std::fflush(stderr);
    return code;
}

std::string SystemText(DWORD error)
{
    char text[512] = {};
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text, nullptr);
    std::string out(text, length);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.')) {
        out.pop_back();
    }
    return out + " (" + std::to_string(error) + ")";
}

struct NativeFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string path;
    DWORD error = 0;
};

// Z: first; a prefix without it still reaches the Unix root through \\?\unix\.
NativeFile OpenNative(const std::string& name)
{
    NativeFile file;
    const std::string candidates[] = { "Z:\\dev\\shm\\" + name, "\\\\?\\unix\\dev\\shm\\" + name };
    for (const std::string& path : candidates) {
        HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
            nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            file.handle = handle;
            file.path = path;
            file.error = 0;
            return file;
        }
        const DWORD error = GetLastError();
        // The first path's answer counts unless the drive itself is missing.
        if (file.path.empty() || file.error == ERROR_PATH_NOT_FOUND || file.error == ERROR_INVALID_DRIVE) {
            file.error = error;
            file.path = path;
        }
    }
    return file;
}

unsigned long long FileIdentity(const BY_HANDLE_FILE_INFORMATION& info)
{
    return (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

// The inode behind the page at `address`, read from the Unix memory map of
// process `pid`; 0 when it cannot be told (an anonymous page, no /proc).
unsigned long long InodeOfView(const std::string& pid, const void* address)
{
    std::FILE* maps = std::fopen(("Z:\\proc\\" + pid + "\\maps").c_str(), "r");
    if (maps == nullptr) {
        return 0;
    }
    const auto wanted = reinterpret_cast<unsigned long long>(address);
    unsigned long long inode = 0;
    char line[1024];
    while (std::fgets(line, sizeof line, maps) != nullptr) {
        unsigned long long start = 0;
        unsigned long long end = 0;
        unsigned long long found = 0;
        char permissions[8] = {};
        char offset[32] = {};
        char device[32] = {};
        if (std::sscanf(line, "%llx-%llx %7s %31s %31s %llu", &start, &end, permissions, offset, device, &found) == 6
            && start <= wanted && wanted < end) {
            inode = found;
            break;
        }
    }
    std::fclose(maps);
    return inode;
}

// Whether the mapping `existing` shows the pages of the native file. The pid
// given is trusted only when a view of our own of the file shows there too.
bool BackedByNative(HANDLE existing, HANDLE file, unsigned long long identity)
{
    const char* pid = std::getenv(kUnixPidVariable);
    if (pid == nullptr || *pid == '\0' || std::strspn(pid, "0123456789") != std::strlen(pid)) {
        return false;
    }
    bool same = false;
    HANDLE own = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, GenericSimBlock::kSize, nullptr);
    void* ownView = own != nullptr ? MapViewOfFile(own, FILE_MAP_READ, 0, 0, 0) : nullptr;
    void* view = MapViewOfFile(existing, FILE_MAP_READ, 0, 0, 0);
    if (ownView != nullptr && view != nullptr && InodeOfView(pid, ownView) == identity) {
        same = InodeOfView(pid, view) == identity;
    }
    if (view != nullptr) {
        UnmapViewOfFile(view);
    }
    if (ownView != nullptr) {
        UnmapViewOfFile(ownView);
    }
    if (own != nullptr) {
        CloseHandle(own);
    }
    return same;
}

// Reads standard input to its end: the native half's pipe closes when it
// goes, however it goes. Then sets the event handed over.
DWORD WINAPI WatchLifeline(void* gone)
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) { }
    SetEvent(static_cast<HANDLE>(gone));
    return 0;
}

int Stop(const std::string& name)
{
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, StopEventName(name).c_str());
    if (event == nullptr) {
        return Say(kNoNativeBlock, "no bridge of \"" + name + "\" runs in this Wine prefix");
    }
    const bool set = SetEvent(event) != 0;
    const DWORD error = GetLastError();
    CloseHandle(event);
    if (!set) {
        return Say(kFailed, "cannot tell the bridge of \"" + name + "\" to stop: " + SystemText(error));
    }
    return kStopped;
}

} // namespace

int RunWindowsHalf(const std::string& name, bool stop)
{
    if (stop) {
        return Stop(name);
    }
    // The event first: it is also how a second bridge of the name finds the first.
    HANDLE stopEvent = CreateEventA(nullptr, TRUE, FALSE, StopEventName(name).c_str());
    if (stopEvent == nullptr) {
        return Say(kFailed, "cannot make the stop event: " + SystemText(GetLastError()));
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        return Say(kAnotherBridge, "a bridge of \"" + name + "\" runs in this Wine prefix already (one per prefix)");
    }

    const NativeFile file = OpenNative(name);
    if (file.handle == INVALID_HANDLE_VALUE) {
        if (file.error == ERROR_FILE_NOT_FOUND || file.error == ERROR_PATH_NOT_FOUND) {
            return Say(
                kNoNativeBlock, "no native block /dev/shm/" + name + " (" + file.path + "): start Tavelin first");
        }
        return Say(kFailed, "cannot open " + file.path + ": " + SystemText(file.error));
    }

    // The native creator sizes its object a moment after making it.
    const DWORD deadline = GetTickCount() + kShortWaitMs;
    LARGE_INTEGER size {};
    for (;;) {
        if (!GetFileSizeEx(file.handle, &size)) {
            return Say(kFailed, "cannot read the size of " + file.path + ": " + SystemText(GetLastError()));
        }
        if (size.QuadPart >= static_cast<LONGLONG>(GenericSimBlock::kSize)
            || static_cast<LONG>(GetTickCount() - deadline) >= 0) {
            break;
        }
        if (WaitForSingleObject(stopEvent, 10) == WAIT_OBJECT_0) {
            return Say(kStopped, "told to stop");
        }
    }
    if (size.QuadPart < static_cast<LONGLONG>(GenericSimBlock::kSize)) {
        return Say(kNativeTooShort,
            file.path + " has " + std::to_string(size.QuadPart) + " bytes, fewer than the "
                + std::to_string(GenericSimBlock::kSize) + " bytes of the block");
    }
    BY_HANDLE_FILE_INFORMATION info {};
    if (!GetFileInformationByHandle(file.handle, &info)) {
        return Say(kFailed, "cannot read " + file.path + ": " + SystemText(GetLastError()));
    }
    const unsigned long long identity = FileIdentity(info);

    HANDLE mapping = CreateFileMappingA(file.handle, nullptr, PAGE_READWRITE, 0, GenericSimBlock::kSize, name.c_str());
    const DWORD error = GetLastError();
    if (mapping == nullptr) {
        return Say(kFailed, "cannot map " + file.path + " as \"" + name + "\": " + SystemText(error));
    }
    if (error == ERROR_ALREADY_EXISTS) {
        // Another bridge's mapping outlives it while the simulator keeps it open:
        // the same pages, so holding it on is harmless. Anything else is a split.
        if (!BackedByNative(mapping, file.handle, identity)) {
            return Say(kForeignMapping,
                "a Win32 mapping \"" + name + "\" already exists in this Wine prefix and is not /dev/shm/" + name
                    + ": start the bridge before the simulator");
        }
    }

    std::printf("%s \"%s\" is %s (%s)\n", kReadyWord, name.c_str(), ("/dev/shm/" + name).c_str(),
        error == ERROR_ALREADY_EXISTS ? "its mapping already was" : file.path.c_str());
    std::fflush(stdout);

    // Without its native half nobody holds the block natively any more, so
    // the bridge must not outlive it.
    HANDLE gone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const char* lifeline = std::getenv(kLifelineVariable);
    if (gone != nullptr && lifeline != nullptr && std::strcmp(lifeline, "1") == 0) {
        HANDLE watcher = CreateThread(nullptr, 0, WatchLifeline, gone, 0, nullptr);
        if (watcher != nullptr) {
            CloseHandle(watcher);
        }
    }

    // The handles stay open until the end; the mapping lives as long as anyone holds it.
    const HANDLE waited[] = { stopEvent, gone };
    const DWORD waitedCount = gone != nullptr ? 2 : 1;
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(waitedCount, waited, FALSE, kPollMs);
        if (woken == WAIT_OBJECT_0) {
            return Say(kStopped, "told to stop");
        }
        if (woken == WAIT_OBJECT_0 + 1) {
            return Say(kNativeHalfGone, "the native simblock wine-bridge has gone; ending");
        }
        if (GetFileInformationByHandle(file.handle, &info) && info.nNumberOfLinks == 0) {
            return Say(kNativeRemoved,
                "/dev/shm/" + name + " was removed: the block it held is gone (restart the simulator after Tavelin)");
        }
    }
}

} // namespace WineBridge
