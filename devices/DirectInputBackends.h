// DirectInputBackends: the joystick backends behind DirectInputCreateA, one
// list in priority order. Each backend library defines its own entry points;
// tests put an override in front of them all.
#pragma once

#include "devices/DirectInput.h"

#include <cstdint>
#include <functional>
#include <span>

// One way of making a root object. DirectInputCreateA asks the entries in
// order and creates through the first that is available; the rest are not
// looked at.
struct DirectInputBackend {
    const char* name;
    bool (*IsAvailable)();
    HRESULT (*Create)(void* instance, std::uint32_t version, IDirectInputA** out);
};

// The test override, the recording to replay, the virtual joystick file, the platform's own joysticks.
std::span<const DirectInputBackend> DirectInputBackendList();

// The platform's joysticks (tavelin_input: DirectInput 5 on Windows, evdev on Linux).
bool IsPlatformDirectInputAvailable();
HRESULT CreatePlatformDirectInput(void* instance, std::uint32_t version, IDirectInputA** out);

// The virtual joystick file TAVELIN_VIRTUAL_JOYSTICKS names, or null when
// it names none (and the platform's joysticks are used).
const char* VirtualJoystickFilePath();

// The joysticks described by the file at path (tavelin_virtual).
HRESULT CreateVirtualDirectInput(const char* path, IDirectInputA** out);

// The Tavelin recording TAVELIN_REPLAY names, or null when it names none.
const char* ReplayFilePath();

// The joysticks of the recording at path, played in real time (tavelin_replay).
HRESULT CreateReplayDirectInput(const char* path, IDirectInputA** out);

// The clock replays play by, in milliseconds; null restores the steady clock.
using ReplayClock = std::int64_t (*)();
void SetReplayClock(ReplayClock clock);

// While set, every DirectInputCreateA asks the factory instead of a backend.
using DirectInputFactory = std::function<HRESULT(void* instance, std::uint32_t version, IDirectInputA** out)>;
void SetDirectInputOverride(DirectInputFactory factory);
void ClearDirectInputOverride();

// The versions a DirectInput 5 implementation accepts: DI_OK, or the result DirectInput gives.
inline HRESULT CheckDirectInputVersion(std::uint32_t version)
{
    if (version > DIRECTINPUT_VERSION_5) {
        return DIERR_OLDDIRECTINPUTVERSION;
    }
    if (version < 0x0300) {
        return DIERR_BETADIRECTINPUTVERSION;
    }
    return DI_OK;
}
