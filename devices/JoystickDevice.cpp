// The joystick device: set-up in DirectInput's order, one acquisition attempt
// per poll, and the fixed conversion of DIJOYSTATE2 into JoystickState.
#include "devices/JoystickDevice.h"

#include "support/TextFunctions.h"

#include <cstring>

JoystickDevice::JoystickDevice(void* instance)
    : m_module(instance)
{
    const HRESULT result = DirectInputCreateA(m_module, DIRECTINPUT_VERSION_5, &m_directInput, nullptr);
    if (FAILED(result)) {
        m_directInput = nullptr;
        SetErrorText(ResultText(result));
    }
}

JoystickDevice::~JoystickDevice()
{
    // No Unacquire here: releasing the last reference ends the acquisition.
    if (m_directInput != nullptr) {
        ReleaseDeviceInterface(false);
        try {
            m_directInput->Release();
        } catch (...) {
        }
        m_directInput = nullptr;
    }
}

bool JoystickDevice::Fail(HRESULT result)
{
    SetErrorText(ResultText(result));
    return false;
}

void JoystickDevice::ReleaseDeviceInterface(bool unacquire)
{
    if (m_device == nullptr) {
        return;
    }
    // A driver that throws out of a release must not take the program with it.
    if (unacquire) {
        try {
            m_device->Unacquire();
        } catch (...) {
        }
    }
    try {
        m_device->Release();
    } catch (...) {
    }
    m_device = nullptr;
}

bool JoystickDevice::CreateDeviceInterface()
{
    ReleaseDeviceInterface(true);
    if (m_directInput == nullptr) {
        return false;
    }
    IDirectInputDeviceA* first = nullptr;
    HRESULT result = m_directInput->CreateDevice(m_instanceGuid, &first, nullptr);
    if (FAILED(result) || first == nullptr) {
        return Fail(FAILED(result) ? result : DIERR_GENERIC);
    }
    void* second = nullptr;
    result = first->QueryInterface(IID_IDirectInputDevice2A, &second);
    first->Release();
    if (FAILED(result) || second == nullptr) {
        return Fail(FAILED(result) ? result : DIERR_NOINTERFACE);
    }
    m_device = static_cast<IDirectInputDevice2A*>(second);
    return true;
}

bool JoystickDevice::SetRange()
{
    DIPROPRANGE range = {};
    range.diph.dwSize = sizeof(DIPROPRANGE);
    range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range.diph.dwObj = 0;
    range.diph.dwHow = DIPH_DEVICE;
    range.lMin = kAxisMinimum;
    range.lMax = kAxisMaximum;
    const HRESULT result = m_device->SetProperty(DIPROP_RANGE, &range.diph);
    return SUCCEEDED(result) || Fail(result);
}

bool JoystickDevice::SetDwordProperty(DIPROPID property, std::uint32_t value)
{
    DIPROPDWORD word = {};
    word.diph.dwSize = sizeof(DIPROPDWORD);
    word.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    word.diph.dwObj = 0;
    word.diph.dwHow = DIPH_DEVICE;
    word.dwData = value;
    const HRESULT result = m_device->SetProperty(property, &word.diph);
    return SUCCEEDED(result) || Fail(result);
}

std::int32_t JoystickDevice::CountButtons()
{
    std::int32_t count = 0;
    for (int i = 0; i < kMaxButtons; ++i) {
        DIDEVICEOBJECTINSTANCEA object = {};
        object.dwSize = sizeof(DIDEVICEOBJECTINSTANCEA);
        if (SUCCEEDED(m_device->GetObjectInfo(&object, DIJOFS_BUTTON(i), DIPH_BYOFFSET))) {
            ++count;
        }
    }
    return count;
}

bool JoystickDevice::Open(const DIDEVICEINSTANCEA& instance)
{
    std::memcpy(&m_instance, &instance, sizeof(DIDEVICEINSTANCEA));
    // The record comes from a driver: never trust it to be terminated.
    m_instance.tszInstanceName[sizeof(m_instance.tszInstanceName) - 1] = '\0';
    m_instance.tszProductName[sizeof(m_instance.tszProductName) - 1] = '\0';
    CopyBounded(m_name, m_instance.tszInstanceName, static_cast<int>(sizeof(m_name)));

    m_instanceGuid = m_instance.guidInstance;
    if (!CreateDeviceInterface()) {
        return false;
    }
    HRESULT result = m_device->SetDataFormat(&c_dfDIJoystick2);
    if (FAILED(result)) {
        return Fail(result);
    }
    result = m_device->SetCooperativeLevel(m_window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
    if (FAILED(result)) {
        return Fail(result);
    }
    if (!SetRange() || !SetDwordProperty(DIPROP_DEADZONE, kDeadZone)
        || !SetDwordProperty(DIPROP_SATURATION, kSaturation)) {
        return false;
    }
    m_buttonCount = CountButtons();
    m_state.buttonCount = m_buttonCount;
    m_state.joystickId = GetJoystickId();
    m_state.axisSpan = kAxisMaximum - kAxisMinimum;
    m_state.axisMinimum = kAxisMinimum;
    m_state.axisMaximum = kAxisMaximum;
    return true;
}

void JoystickDevice::SetInstanceKey(const char* key)
{
    CopyBounded(m_instanceKey, key != nullptr ? key : "", static_cast<int>(sizeof(m_instanceKey)));
}

std::int32_t JoystickDevice::GetButtonCount() const
{
    return m_device == nullptr ? 0 : m_buttonCount;
}

bool JoystickDevice::Poll()
{
    if (m_device == nullptr) {
        return false;
    }
    m_device->Poll();
    HRESULT result = m_device->GetDeviceState(sizeof(DIJOYSTATE2), &m_raw);
    if (result == DIERR_NOTACQUIRED || result == DIERR_INPUTLOST) {
        // One attempt per tick; a joystick that stays lost is tried again next tick.
        const HRESULT acquired = m_device->Acquire();
        if (acquired != DI_OK) {
            // Lost, not merely unready: the input went away, or the device is not there to acquire.
            m_lost = m_lost || result == DIERR_INPUTLOST || acquired == DIERR_UNPLUGGED || acquired == DIERR_INPUTLOST;
            return false;
        }
        m_lost = false;
        m_device->GetDeviceState(sizeof(DIJOYSTATE2), &m_raw);
        Convert();
        return true;
    }
    if (result == DI_OK) {
        m_lost = false;
        Convert();
        return true;
    }
    return false;
}

void JoystickDevice::Convert()
{
    m_state.axes[0] = m_raw.lX;
    m_state.axes[1] = m_raw.lY;
    m_state.axes[2] = m_raw.lZ;
    m_state.axes[3] = m_raw.lRx;
    m_state.axes[4] = m_raw.lRy;
    m_state.axes[5] = m_raw.lRz;
    m_state.axes[6] = m_raw.rglSlider[0];
    m_state.axes[7] = m_raw.rglSlider[1];
    for (int i = 0; i < 3; ++i) {
        m_state.pov[i] = m_raw.rgdwPOV[i] / 100u;
    }
    for (int i = 0; i < kMaxButtons; ++i) {
        m_state.buttons[i] = m_raw.rgbButtons[i] != 0 ? 1 : 0;
    }
    m_state.velocities[0] = m_raw.lVX;
    m_state.velocities[1] = m_raw.lVY;
    m_state.velocities[2] = m_raw.lVZ;
    m_state.velocities[3] = m_raw.lVRx;
    m_state.velocities[4] = m_raw.lVRy;
    m_state.velocities[5] = m_raw.lVRz;
    m_state.velocities[6] = m_raw.rglVSlider[0];
    m_state.velocities[7] = m_raw.rglVSlider[1];
    m_state.accelerations[0] = m_raw.lAX;
    m_state.accelerations[1] = m_raw.lAY;
    m_state.accelerations[2] = m_raw.lAZ;
    m_state.accelerations[3] = m_raw.lARx;
    m_state.accelerations[4] = m_raw.lARy;
    m_state.accelerations[5] = m_raw.lARz;
    m_state.accelerations[6] = m_raw.rglASlider[0];
    m_state.accelerations[7] = m_raw.rglASlider[1];
}
