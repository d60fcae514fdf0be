// Windows joysticks: the real DirectInput 5 (DirectInputCreateA, version
// 0x0500), adapted to our declaration of the seam.
//
// Supports: everything DirectInput 5 offers for the calls the device layer
// makes: enumeration, CreateDevice and the IDirectInputDevice2A interface,
// c_dfDIJoystick2, DIPROP_RANGE / DIPROP_DEADZONE / DIPROP_SATURATION,
// GetObjectInfo with the 316-byte object record, Poll, GetDeviceState,
// Acquire, Unacquire, the game-controller control panel. The instance key
// (GetInstanceKey) is the HID serial number when no other joystick listed
// has the same, else the port part of the device's interface path.
// Limits: none of its own; results, lost devices (DIERR_INPUTLOST) and
// re-acquisition are DirectInput's. The records cross unchanged: their
// layouts are the same byte for byte (checked where <dinput.h> is seen).
#include "devices/DirectInputBackends.h"
#include "devices/DirectInputObjects.h"
#include "devices/InstanceKeys.h"
#include "platform/win32/DirectInputNative.h"

#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace {

class Win32Device final : public CountedObject<IDirectInputDevice2A> {
public:
    Win32Device(void* native, bool device2)
        : m_native(native)
        , m_device2(device2)
    {
    }
    ~Win32Device() override { DirectInputNative::Release(m_native); }

    HRESULT QueryInterface(const GUID& iid, void** out) override
    {
        if (out == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        *out = nullptr;
        if (!(iid == IID_IDirectInputDevice2A)) {
            return DIERR_NOINTERFACE;
        }
        void* second = nullptr;
        const HRESULT result = DirectInputNative::QueryDevice2(m_native, &second);
        if (FAILED(result)) {
            return result;
        }
        auto* adapter = new (std::nothrow) Win32Device(second, true);
        if (adapter == nullptr) {
            DirectInputNative::Release(second);
            return DIERR_OUTOFMEMORY;
        }
        *out = static_cast<IDirectInputDevice2A*>(adapter);
        return DI_OK;
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override
    {
        if (format == nullptr || format->format != c_dfDIJoystick2.format) {
            return DIERR_INVALIDPARAM;
        }
        return DirectInputNative::SetJoystick2Format(m_native);
    }
    HRESULT SetCooperativeLevel(void* window, std::uint32_t flags) override
    {
        return DirectInputNative::SetCooperativeLevel(m_native, window, flags);
    }
    HRESULT SetProperty(DIPROPID property, const DIPROPHEADER* header) override
    {
        if (header == nullptr || property < DIPROP_RANGE || property > DIPROP_SATURATION) {
            return header == nullptr ? DIERR_INVALIDPARAM : DIERR_UNSUPPORTED;
        }
        return DirectInputNative::SetProperty(m_native, property, header);
    }
    HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* info, std::uint32_t object, std::uint32_t how) override
    {
        return DirectInputNative::GetObjectInfo(m_native, info, object, how);
    }
    HRESULT GetDeviceState(std::uint32_t size, void* data) override
    {
        return DirectInputNative::GetDeviceState(m_native, size, data);
    }
    HRESULT Acquire() override { return DirectInputNative::Acquire(m_native); }
    HRESULT Unacquire() override { return DirectInputNative::Unacquire(m_native); }
    HRESULT Poll() override { return m_device2 ? DirectInputNative::Poll(m_native) : DIERR_NOINTERFACE; }

private:
    void* m_native;
    bool m_device2;
};

class Win32DirectInput final : public CountedObject<IDirectInputA> {
public:
    explicit Win32DirectInput(void* native)
        : m_native(native)
    {
    }
    ~Win32DirectInput() override { DirectInputNative::Release(m_native); }

    HRESULT EnumDevices(
        std::uint32_t deviceType, LPDIENUMDEVICESCALLBACKA callback, void* reference, std::uint32_t flags) override
    {
        if (callback == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        // Every device first: whether a serial is shared is known only then.
        std::vector<DIDEVICEINSTANCEA> records;
        const HRESULT result = DirectInputNative::EnumDevices(m_native, deviceType, &Collect, &records, flags);
        if (FAILED(result)) {
            return result;
        }
        std::vector<InstanceFacts> facts;
        for (const DIDEVICEINSTANCEA& record : records) {
            std::string path;
            std::string serial;
            DirectInputNative::GetPathAndSerial(m_native, &record.guidInstance, path, serial);
            facts.push_back({ { serial }, DevicePathPortPart(path) });
        }
        const std::vector<std::string> keys = ChooseInstanceKeys(facts);
        m_instanceKeys.clear();
        for (std::size_t i = 0; i < records.size(); ++i) {
            m_instanceKeys.emplace_back(records[i].guidInstance, keys[i]);
        }
        for (const DIDEVICEINSTANCEA& record : records) {
            if (callback(&record, reference) != DIENUM_CONTINUE) {
                break;
            }
        }
        return result;
    }

    const char* GetInstanceKey(const GUID& instance) override
    {
        for (const auto& [guid, key] : m_instanceKeys) {
            if (guid == instance) {
                return key.c_str();
            }
        }
        return "";
    }

    HRESULT CreateDevice(const GUID& instance, IDirectInputDeviceA** out, void* outer) override
    {
        if (out == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        *out = nullptr;
        if (outer != nullptr) {
            return DIERR_NOAGGREGATION;
        }
        void* device = nullptr;
        const HRESULT result = DirectInputNative::CreateDevice(m_native, &instance, &device);
        if (FAILED(result)) {
            return result;
        }
        auto* adapter = new (std::nothrow) Win32Device(device, false);
        if (adapter == nullptr) {
            DirectInputNative::Release(device);
            return DIERR_OUTOFMEMORY;
        }
        *out = adapter;
        return DI_OK;
    }

    HRESULT RunControlPanel(void* owner, std::uint32_t flags) override
    {
        return DirectInputNative::RunControlPanel(m_native, owner, flags);
    }

private:
    static int Collect(const void* record, void* self)
    {
        DIDEVICEINSTANCEA copy;
        std::memcpy(&copy, record, sizeof(copy));
        static_cast<std::vector<DIDEVICEINSTANCEA>*>(self)->push_back(copy);
        return DIENUM_CONTINUE;
    }

    void* m_native;
    std::vector<std::pair<GUID, std::string>> m_instanceKeys;
};

} // namespace

bool IsPlatformDirectInputAvailable()
{
    return true;
}

HRESULT CreatePlatformDirectInput(void* instance, std::uint32_t version, IDirectInputA** out)
{
    void* native = nullptr;
    const HRESULT result = DirectInputNative::Create(instance, version, &native);
    if (FAILED(result)) {
        return result;
    }
    *out = new (std::nothrow) Win32DirectInput(native);
    if (*out == nullptr) {
        DirectInputNative::Release(native);
        return DIERR_OUTOFMEMORY;
    }
    return DI_OK;
}
