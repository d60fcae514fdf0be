// The Wine bridge: a Windows program under Wine and native Tavelin share one
// block. Wine's named mappings live in the Wine server, out of sight of
// /dev/shm, so a small Windows half (simblock.exe wine-bridge) makes the
// mapping name of its prefix a mapping of the native object's file; a native
// half (simblock wine-bridge) holds the block, runs the Windows half under
// wine and stops it. One implementation per half: platform/win32 (the Windows
// half), platform/posix (the native half).
#pragma once

#include <string>

namespace WineBridge {

// How a half ends; each way has its own one-line reason on standard error.
enum Exit : int {
    kStopped = 0, // told to stop (the named event; signals for the native half)
    kFailed = 1, // a system call failed; the reason names it
    kNoNativeBlock = 2, // no native object to bridge (the Windows half), or no bridge to stop
    kNativeRemoved = 3, // the native object lost its last link: the block it had is gone
    kForeignMapping = 4, // the name is taken in the prefix by a mapping of other pages
    kNativeTooShort = 5, // the native object stayed shorter than the block
    kAnotherBridge = 6, // a bridge of this name runs in the prefix already
    kNativeHalfGone = 7, // the native half that started it has gone (killed)
};

// The first word of the Windows half's line that says the mapping is in place.
inline constexpr const char* kReadyWord = "bridged:";

// The environment variable in which the native half gives the Windows half
// its own Unix pid (wine keeps the pid of the process it was started as).
inline constexpr const char* kUnixPidVariable = "TAVELIN_WINE_UNIX_PID";

// Set by the native half: the Windows half's standard input is a pipe that
// the native half holds open, and its end means the native half has gone.
inline constexpr const char* kLifelineVariable = "TAVELIN_WINE_BRIDGE_LIFELINE";

// The named event that tells the Windows half of `name` to stop.
inline std::string StopEventName(const std::string& name)
{
    return name + "_WineBridgeStop";
}

// Windows half (Windows build): bridges `name` until told to stop or the
// native object goes; with stop, only tells a running bridge to stop.
int RunWindowsHalf(const std::string& name, bool stop);

struct NativeOptions {
    std::string name; // the mapping name
    std::string prefix; // WINEPREFIX of the simulator
    std::string exe; // simblock.exe; empty: FindWindowsHalf's choice
};

// Native half (Linux build): the caller holds an attachment of the block
// while this runs. Starts the Windows half under wine in the prefix, restarts
// it while the native block lives, and stops it on a close request.
int RunNativeHalf(const NativeOptions& options);

// simblock.exe for the native half when --exe is not given: beside this
// program (an installation's bin/), else the Windows build's tree beside this
// build's (build/native/tools/simblock -> build/win/tools/simblock). Empty
// when neither exists.
std::string FindWindowsHalf();

} // namespace WineBridge
