// Pieces the DirectInput backends share: the reference count every backend's
// objects keep, and the rules a backend that emulates DirectInput itself (the
// platform's on Linux, the virtual joysticks) answers the same way: the
// DIJOYSTATE2 it delivers, Acquire, and what a vanished device answers.
#pragma once

#include "devices/DirectInput.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <utility>
#include <vector>

// What DirectInput reports for a centred (or missing) hat.
inline constexpr std::uint32_t kPovCentred = 0xFFFFFFFFu;

// One reading of an emulated joystick in DirectInput's order: X, Y, Z, Rx,
// Ry, Rz, slider 1, slider 2 already in the range set; POV 1..4 in
// hundredths of a degree or kPovCentred.
struct EmulatedJoystickReading {
    std::int32_t axes[8] = {};
    std::uint32_t povs[4] = { kPovCentred, kPovCentred, kPovCentred, kPovCentred };
};

// Packs a reading and the buttons (at most 128, pressed = 0x80) into a fresh
// DIJOYSTATE2; velocities, accelerations and forces stay 0 as DirectInput
// reports them for a joystick that has none.
inline void PackJoystickState(const EmulatedJoystickReading& reading, std::span<const bool> pressed, DIJOYSTATE2& state)
{
    state = DIJOYSTATE2 {};
    state.lX = reading.axes[0];
    state.lY = reading.axes[1];
    state.lZ = reading.axes[2];
    state.lRx = reading.axes[3];
    state.lRy = reading.axes[4];
    state.lRz = reading.axes[5];
    state.rglSlider[0] = reading.axes[6];
    state.rglSlider[1] = reading.axes[7];
    for (int pov = 0; pov < 4; ++pov) {
        state.rgdwPOV[pov] = reading.povs[pov];
    }
    const std::size_t count = pressed.size() < sizeof(state.rgbButtons) ? pressed.size() : sizeof(state.rgbButtons);
    for (std::size_t button = 0; button < count; ++button) {
        state.rgbButtons[button] = pressed[button] ? 0x80 : 0;
    }
}

// An object of `Interface` that starts with one reference and deletes itself
// when the last one is released.
template <class Interface> class CountedObject : public Interface {
public:
    std::uint32_t AddRef() override { return ++m_references; }
    std::uint32_t Release() override
    {
        const std::uint32_t left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

private:
    std::uint32_t m_references = 1;
};

// An emulated joystick device: it answers for IDirectInputDevice2A only,
// takes the DIJOYSTATE2 format only and only while not acquired, wants one
// sharing and one focus flag, acquires only with a format set and only a
// device that is there, and keeps whether it is acquired for the backend's
// state reads.
class EmulatedJoystickDevice : public CountedObject<IDirectInputDevice2A> {
public:
    HRESULT Acquire() final
    {
        if (!m_formatSet) {
            return DIERR_INVALIDPARAM;
        }
        if (m_acquired) {
            return S_FALSE;
        }
        const HRESULT present = FindDevice();
        if (present != DI_OK) {
            return present;
        }
        m_acquired = true;
        return DI_OK;
    }

    // The objects of a joystick with eight axes, three hats and `buttons`
    // buttons, named as the system names a plain one's ("Axis 0", "Hat 1",
    // "Button 1"); asked by offset only.
    static HRESULT DescribeObject(DIDEVICEOBJECTINSTANCEA* info, std::uint32_t object, std::uint32_t how, int buttons)
    {
        if (info == nullptr || info->dwSize != sizeof(DIDEVICEOBJECTINSTANCEA) || how != DIPH_BYOFFSET) {
            return DIERR_INVALIDPARAM;
        }
        if (object < DIJOFS_POV(0) && object % 4 == 0) {
            std::snprintf(info->tszName, sizeof(info->tszName), "Axis %u", object / 4);
        } else if (object >= DIJOFS_POV(0) && object < DIJOFS_POV(3) && object % 4 == 0) {
            std::snprintf(info->tszName, sizeof(info->tszName), "Hat %u", (object - DIJOFS_POV(0)) / 4 + 1);
        } else if (object >= DIJOFS_BUTTON(0) && object < DIJOFS_BUTTON(buttons)) {
            std::snprintf(info->tszName, sizeof(info->tszName), "Button %u", object - DIJOFS_BUTTON(0) + 1);
        } else {
            return DIERR_OBJECTNOTFOUND;
        }
        info->dwOfs = object;
        return DI_OK;
    }

    HRESULT QueryInterface(const GUID& iid, void** out) override
    {
        if (out == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (!(iid == IID_IDirectInputDevice2A)) {
            *out = nullptr;
            return DIERR_NOINTERFACE;
        }
        AddRef();
        *out = static_cast<IDirectInputDevice2A*>(this);
        return DI_OK;
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override
    {
        if (m_acquired) {
            return DIERR_ACQUIRED;
        }
        if (format == nullptr || format->format != c_dfDIJoystick2.format) {
            return DIERR_INVALIDPARAM;
        }
        m_formatSet = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(void*, std::uint32_t flags) override
    {
        const bool oneSharing = ((flags & DISCL_EXCLUSIVE) != 0) != ((flags & DISCL_NONEXCLUSIVE) != 0);
        const bool oneFocus = ((flags & DISCL_FOREGROUND) != 0) != ((flags & DISCL_BACKGROUND) != 0);
        return oneSharing && oneFocus ? DI_OK : DIERR_INVALIDPARAM;
    }

    HRESULT Unacquire() override
    {
        const bool was = m_acquired;
        m_acquired = false;
        return was ? DI_OK : DI_NOEFFECT;
    }

protected:
    // Whether the device can be read now, looking for it again when it had
    // vanished: DI_OK, or DIERR_UNPLUGGED while it is away.
    virtual HRESULT FindDevice() = 0;

    static bool IsStateBuffer(std::uint32_t size, const void* data)
    {
        return data != nullptr && size == sizeof(DIJOYSTATE2);
    }

    // The device vanished under a read: it must be acquired again, and the
    // read that noticed says the input was lost (if it had been acquired).
    HRESULT LoseInput()
    {
        const bool was = m_acquired;
        m_acquired = false;
        return was ? DIERR_INPUTLOST : DIERR_NOTACQUIRED;
    }

    bool m_formatSet = false;
    bool m_acquired = false;
};

// An emulated root object: it checks EnumDevices' and CreateDevice's
// arguments, enumerates only for all devices or joysticks, and keeps the
// failure detail, cleared by every enumeration; the backend lists its
// joysticks and makes their devices.
class EmulatedDirectInput : public CountedObject<IDirectInputA> {
public:
    HRESULT EnumDevices(
        std::uint32_t deviceType, LPDIENUMDEVICESCALLBACKA callback, void* reference, std::uint32_t) final
    {
        m_detail.clear();
        if (callback == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        if (deviceType != 0 && deviceType != DIDEVTYPE_JOYSTICK) {
            return DI_OK;
        }
        return EnumJoysticks(callback, reference);
    }

    HRESULT CreateDevice(const GUID& instance, IDirectInputDeviceA** out, void* outer) final
    {
        if (out == nullptr) {
            return DIERR_INVALIDPARAM;
        }
        *out = nullptr;
        if (outer != nullptr) {
            return DIERR_NOAGGREGATION;
        }
        return CreateJoystick(instance, out);
    }

    const char* GetFailureDetail() const override { return m_detail.c_str(); }

    const char* GetInstanceKey(const GUID& instance) override
    {
        for (const auto& [guid, key] : m_instanceKeys) {
            if (guid == instance) {
                return key.c_str();
            }
        }
        return "";
    }

protected:
    // Hands each joystick's record to `callback` until it asks to stop.
    virtual HRESULT EnumJoysticks(LPDIENUMDEVICESCALLBACKA callback, void* reference) = 0;
    // Makes the device of `instance` into `*out`, which is null on entry.
    virtual HRESULT CreateJoystick(const GUID& instance, IDirectInputDeviceA** out) = 0;

    // The record of a traditional joystick; the product GUID carries
    // `productData1` the way DirectInput's carry vendor and product.
    static DIDEVICEINSTANCEA JoystickRecord(const GUID& instance, std::uint32_t productData1, const char* name)
    {
        DIDEVICEINSTANCEA record = {};
        record.dwSize = sizeof(record);
        record.guidInstance = instance;
        record.guidProduct = { productData1, 0, 0, { 0, 0, 'P', 'I', 'D', 'V', 'I', 'D' } };
        record.dwDevType = DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_TRADITIONAL << 8);
        std::snprintf(record.tszInstanceName, sizeof(record.tszInstanceName), "%s", name);
        std::snprintf(record.tszProductName, sizeof(record.tszProductName), "%s", name);
        return record;
    }

    // Filled by EnumJoysticks before its first callback (ChooseInstanceKeys).
    std::vector<std::pair<GUID, std::string>> m_instanceKeys;
    std::string m_detail;
};
