// Pieces the DirectInput backends share: the reference count every backend's
// objects keep, and the rules a backend that emulates a joystick device
// itself (the platform's on Linux, the virtual joysticks) answers the same way.
#pragma once

#include "devices/DirectInput.h"

#include <cstdint>

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
// sharing and one focus flag, and keeps whether it has a format and is
// acquired for the backend's Acquire and state reads.
class EmulatedJoystickDevice : public CountedObject<IDirectInputDevice2A> {
public:
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
    bool m_formatSet = false;
    bool m_acquired = false;
};
