// Chooses the backend for each new DirectInput root: the test override, the
// virtual joystick file, or the platform's own joysticks.
#include "devices/DirectInputBackends.h"

#include <cstdlib>
#include <utility>

namespace {

DirectInputFactory& Override()
{
    static DirectInputFactory factory;
    return factory;
}

} // namespace

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
    if (const DirectInputFactory& factory = Override()) {
        return factory(instance, version, out);
    }
    const char* path = std::getenv("TAVELIN_VIRTUAL_JOYSTICKS");
    if (path != nullptr && path[0] != '\0') {
        const HRESULT accepted = CheckDirectInputVersion(version);
        if (FAILED(accepted)) {
            return accepted;
        }
        return CreateVirtualDirectInput(path, out);
    }
    return CreatePlatformDirectInput(instance, version, out);
}
