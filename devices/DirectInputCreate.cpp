// The backend list and DirectInputCreateA, which creates through its first
// available entry.
#include "devices/DirectInputBackends.h"

#include <cstdlib>
#include <utility>

namespace {

DirectInputFactory& Override()
{
    static DirectInputFactory factory;
    return factory;
}

bool IsOverrideInstalled()
{
    return static_cast<bool>(Override());
}

HRESULT CreateFromOverride(void* instance, std::uint32_t version, IDirectInputA** out)
{
    return Override()(instance, version, out);
}

bool IsVirtualFileNamed()
{
    return VirtualJoystickFilePath() != nullptr;
}

HRESULT CreateFromVirtualFile(void*, std::uint32_t version, IDirectInputA** out)
{
    const HRESULT accepted = CheckDirectInputVersion(version);
    if (FAILED(accepted)) {
        return accepted;
    }
    const char* path = VirtualJoystickFilePath();
    return path != nullptr ? CreateVirtualDirectInput(path, out) : DIERR_DEVICENOTREG;
}

bool IsReplayNamed()
{
    return ReplayFilePath() != nullptr;
}

HRESULT CreateFromReplay(void*, std::uint32_t version, IDirectInputA** out)
{
    const HRESULT accepted = CheckDirectInputVersion(version);
    if (FAILED(accepted)) {
        return accepted;
    }
    const char* path = ReplayFilePath();
    return path != nullptr ? CreateReplayDirectInput(path, out) : DIERR_DEVICENOTREG;
}

// A second backend of one platform goes in front of or behind the platform's row.
constexpr DirectInputBackend kBackends[] = {
    { "test override", &IsOverrideInstalled, &CreateFromOverride },
    { "recording replay", &IsReplayNamed, &CreateFromReplay },
    { "virtual joystick file", &IsVirtualFileNamed, &CreateFromVirtualFile },
    { "platform", &IsPlatformDirectInputAvailable, &CreatePlatformDirectInput },
};

} // namespace

const char* VirtualJoystickFilePath()
{
    const char* path = std::getenv("TAVELIN_VIRTUAL_JOYSTICKS");
    return path != nullptr && path[0] != '\0' ? path : nullptr;
}

const char* ReplayFilePath()
{
    const char* path = std::getenv("TAVELIN_REPLAY");
    return path != nullptr && path[0] != '\0' ? path : nullptr;
}

std::span<const DirectInputBackend> DirectInputBackendList()
{
    return kBackends;
}

void SetDirectInputOverride(DirectInputFactory factory)
{
    Override() = std::move(factory);
}

void ClearDirectInputOverride()
{
    Override() = nullptr;
}

HRESULT DirectInputCreateA(void* instance, std::uint32_t version, IDirectInputA** out, void* outer)
{
    if (out == nullptr) {
        return DIERR_INVALIDPARAM;
    }
    *out = nullptr;
    if (outer != nullptr) {
        return DIERR_NOAGGREGATION;
    }
    for (const DirectInputBackend& backend : kBackends) {
        if (backend.IsAvailable()) {
            return backend.Create(instance, version, out);
        }
    }
    return DIERR_DEVICENOTREG;
}
