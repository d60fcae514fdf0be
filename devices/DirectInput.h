// DirectInput.h: our own declaration of the DirectInput 5 subset that the
// joystick layer calls. Records keep DirectInput's byte layout, result codes
// keep DirectInput's values, so the device logic reads as it would against
// the real interfaces; the backends in platform/ and tests/fakes implement it.
#pragma once

#include <cstddef>
#include <cstdint>

using HRESULT = std::int32_t;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) {
        return false;
    }
    for (int i = 0; i < 8; ++i) {
        if (a.Data4[i] != b.Data4[i]) {
            return false;
        }
    }
    return true;
}

constexpr bool SUCCEEDED(HRESULT result)
{
    return result >= 0;
}
constexpr bool FAILED(HRESULT result)
{
    return result < 0;
}

// Result codes: the values DirectInput 5 and COM define.
constexpr HRESULT MakeResult(std::uint32_t value)
{
    return static_cast<HRESULT>(value);
}
inline constexpr HRESULT DI_OK = MakeResult(0x00000000);
inline constexpr HRESULT S_FALSE = MakeResult(0x00000001);
inline constexpr HRESULT DI_NOEFFECT = S_FALSE;
inline constexpr HRESULT DI_PROPNOEFFECT = S_FALSE;
inline constexpr HRESULT DI_POLLEDDEVICE = MakeResult(0x00000002);
inline constexpr HRESULT DI_DOWNLOADSKIPPED = MakeResult(0x00000003);
inline constexpr HRESULT DI_EFFECTRESTARTED = MakeResult(0x00000004);
inline constexpr HRESULT DI_TRUNCATED = MakeResult(0x00000008);
inline constexpr HRESULT DI_TRUNCATEDANDRESTARTED = MakeResult(0x0000000C);
inline constexpr HRESULT E_PENDING = MakeResult(0x8000000A);
inline constexpr HRESULT DIERR_UNSUPPORTED = MakeResult(0x80004001);
inline constexpr HRESULT DIERR_NOINTERFACE = MakeResult(0x80004002);
inline constexpr HRESULT DIERR_GENERIC = MakeResult(0x80004005);
inline constexpr HRESULT DIERR_NOAGGREGATION = MakeResult(0x80040110);
inline constexpr HRESULT DIERR_DEVICENOTREG = MakeResult(0x80040154);
inline constexpr HRESULT DIERR_DEVICEFULL = MakeResult(0x80040201);
inline constexpr HRESULT DIERR_MOREDATA = MakeResult(0x80040202);
inline constexpr HRESULT DIERR_NOTDOWNLOADED = MakeResult(0x80040203);
inline constexpr HRESULT DIERR_HASEFFECTS = MakeResult(0x80040204);
inline constexpr HRESULT DIERR_NOTEXCLUSIVEACQUIRED = MakeResult(0x80040205);
inline constexpr HRESULT DIERR_INCOMPLETEEFFECT = MakeResult(0x80040206);
inline constexpr HRESULT DIERR_NOTBUFFERED = MakeResult(0x80040207);
inline constexpr HRESULT DIERR_EFFECTPLAYING = MakeResult(0x80040208);
inline constexpr HRESULT DIERR_UNPLUGGED = MakeResult(0x80040209);
inline constexpr HRESULT DIERR_REPORTFULL = MakeResult(0x8004020A);
inline constexpr HRESULT DIERR_OBJECTNOTFOUND = MakeResult(0x80070002);
inline constexpr HRESULT DIERR_READONLY = MakeResult(0x80070005);
inline constexpr HRESULT E_HANDLE = MakeResult(0x80070006);
inline constexpr HRESULT DIERR_NOTACQUIRED = MakeResult(0x8007000C);
inline constexpr HRESULT DIERR_OUTOFMEMORY = MakeResult(0x8007000E);
inline constexpr HRESULT DIERR_NOTINITIALIZED = MakeResult(0x80070015);
inline constexpr HRESULT DIERR_INPUTLOST = MakeResult(0x8007001E);
inline constexpr HRESULT DIERR_INVALIDPARAM = MakeResult(0x80070057);
inline constexpr HRESULT DIERR_BADDRIVERVER = MakeResult(0x80070077);
inline constexpr HRESULT DIERR_ACQUIRED = MakeResult(0x800700AA);
inline constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = MakeResult(0x8007047E);
inline constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = MakeResult(0x80070481);
inline constexpr HRESULT DIERR_ALREADYINITIALIZED = MakeResult(0x800704DF);

inline constexpr std::uint32_t DIRECTINPUT_VERSION_5 = 0x0500;

// Cooperative levels, enumeration and device types.
inline constexpr std::uint32_t DISCL_EXCLUSIVE = 0x00000001;
inline constexpr std::uint32_t DISCL_NONEXCLUSIVE = 0x00000002;
inline constexpr std::uint32_t DISCL_FOREGROUND = 0x00000004;
inline constexpr std::uint32_t DISCL_BACKGROUND = 0x00000008;
inline constexpr std::uint32_t DIEDFL_ALLDEVICES = 0x00000000;
inline constexpr std::uint32_t DIEDFL_ATTACHEDONLY = 0x00000001;
inline constexpr std::uint32_t DIDEVTYPE_JOYSTICK = 4;
inline constexpr std::uint32_t DIDEVTYPEJOYSTICK_TRADITIONAL = 2;
inline constexpr int DIENUM_STOP = 0;
inline constexpr int DIENUM_CONTINUE = 1;

struct DIDEVICEINSTANCEA {
    std::uint32_t dwSize;
    GUID guidInstance;
    GUID guidProduct;
    std::uint32_t dwDevType;
    char tszInstanceName[260];
    char tszProductName[260];
    GUID guidFFDriver;
    std::uint16_t wUsagePage;
    std::uint16_t wUsage;
};
static_assert(sizeof(DIDEVICEINSTANCEA) == 580);

struct DIJOYSTATE2 {
    std::int32_t lX, lY, lZ, lRx, lRy, lRz;
    std::int32_t rglSlider[2];
    std::uint32_t rgdwPOV[4];
    std::uint8_t rgbButtons[128];
    std::int32_t lVX, lVY, lVZ, lVRx, lVRy, lVRz;
    std::int32_t rglVSlider[2];
    std::int32_t lAX, lAY, lAZ, lARx, lARy, lARz;
    std::int32_t rglASlider[2];
    std::int32_t lFX, lFY, lFZ, lFRx, lFRy, lFRz;
    std::int32_t rglFSlider[2];
};
static_assert(sizeof(DIJOYSTATE2) == 272);

// Data-format offsets of DIJOYSTATE2's objects.
inline constexpr std::uint32_t DIJOFS_X = 0;
inline constexpr std::uint32_t DIJOFS_Y = 4;
inline constexpr std::uint32_t DIJOFS_Z = 8;
inline constexpr std::uint32_t DIJOFS_RX = 12;
inline constexpr std::uint32_t DIJOFS_RY = 16;
inline constexpr std::uint32_t DIJOFS_RZ = 20;
constexpr std::uint32_t DIJOFS_SLIDER(int n)
{
    return 24 + 4 * static_cast<std::uint32_t>(n);
}
constexpr std::uint32_t DIJOFS_POV(int n)
{
    return 32 + 4 * static_cast<std::uint32_t>(n);
}
constexpr std::uint32_t DIJOFS_BUTTON(int n)
{
    return 48 + static_cast<std::uint32_t>(n);
}
static_assert(DIJOFS_BUTTON(0) == offsetof(DIJOYSTATE2, rgbButtons));

// The DirectInput 5 object-instance record (316 bytes; DirectInput 3 knew only the first 296).
struct DIDEVICEOBJECTINSTANCEA {
    std::uint32_t dwSize;
    GUID guidType;
    std::uint32_t dwOfs;
    std::uint32_t dwType;
    std::uint32_t dwFlags;
    char tszName[260];
    std::uint32_t dwFFMaxForce;
    std::uint32_t dwFFForceResolution;
    std::uint16_t wCollectionNumber;
    std::uint16_t wDesignatorIndex;
    std::uint16_t wUsagePage;
    std::uint16_t wUsage;
    std::uint32_t dwDimension;
    std::uint16_t wExponent;
    std::uint16_t wReserved;
};
static_assert(sizeof(DIDEVICEOBJECTINSTANCEA) == 316);

// Data formats are named, not described: every backend knows DIJOYSTATE2's.
struct DIDATAFORMAT {
    std::uint32_t format;
};
inline constexpr DIDATAFORMAT c_dfDIJoystick2 { 2 };

// Property headers and the three properties the device sets.
inline constexpr std::uint32_t DIPH_DEVICE = 0;
inline constexpr std::uint32_t DIPH_BYOFFSET = 1;

struct DIPROPHEADER {
    std::uint32_t dwSize;
    std::uint32_t dwHeaderSize;
    std::uint32_t dwObj;
    std::uint32_t dwHow;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    std::int32_t lMin;
    std::int32_t lMax;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    std::uint32_t dwData;
};

using DIPROPID = std::uint32_t;
inline constexpr DIPROPID DIPROP_RANGE = 4;
inline constexpr DIPROPID DIPROP_DEADZONE = 5;
inline constexpr DIPROPID DIPROP_SATURATION = 6;

// {5944E682-C92E-11CF-BFC7-444553540000}
inline constexpr GUID IID_IDirectInputDevice2A
    = { 0x5944E682, 0xC92E, 0x11CF, { 0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00 } };

// The first interface CreateDevice hands out.
struct IDirectInputDeviceA {
    virtual ~IDirectInputDeviceA() = default;
    virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    virtual HRESULT SetCooperativeLevel(void* window, std::uint32_t flags) = 0;
    virtual HRESULT SetProperty(DIPROPID property, const DIPROPHEADER* header) = 0;
    virtual HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* info, std::uint32_t object, std::uint32_t how) = 0;
    virtual HRESULT GetDeviceState(std::uint32_t size, void* data) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
};

// What QueryInterface(IID_IDirectInputDevice2A) gives: the same device with Poll.
struct IDirectInputDevice2A : IDirectInputDeviceA {
    virtual HRESULT Poll() = 0;
};

using LPDIENUMDEVICESCALLBACKA = int (*)(const DIDEVICEINSTANCEA* instance, void* reference);

struct IDirectInputA {
    virtual ~IDirectInputA() = default;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;
    virtual HRESULT EnumDevices(
        std::uint32_t deviceType, LPDIENUMDEVICESCALLBACKA callback, void* reference, std::uint32_t flags)
        = 0;
    virtual HRESULT CreateDevice(const GUID& instance, IDirectInputDeviceA** out, void* outer) = 0;
    virtual HRESULT RunControlPanel(void* owner, std::uint32_t flags) = 0;
    // Ours, not DirectInput's: why the last failing call failed, for backends
    // that know more than a result code can say (a malformed virtual joystick
    // file, input nodes without permission). Empty when there is nothing to add.
    virtual const char* GetFailureDetail() const { return ""; }
    // Ours too: true when the attached joysticks may have changed since the
    // last call (a device came or went), so that the caller enumerates again.
    // Asked every tick: answers without allocating. Backends that cannot
    // tell (DirectInput itself: its window hears WM_DEVICECHANGE) say false.
    virtual bool DevicesChanged() { return false; }
    // Ours too: the next piece of news the backend has for the user (a
    // recording that cannot be played to its end, a virtual joystick file
    // that became unreadable while in use and good again), once each, into `out`;
    // false when there is none. Asked every tick: answers without allocating.
    virtual bool TakeNote(char* out, std::size_t size)
    {
        (void)out;
        (void)size;
        return false;
    }
    // Ours too: what tells the joystick of `instance` from others of its
    // model across a reboot or a re-plug into the same port, as
    // "serial:<text>" or "port:<text>" (devices/InstanceKeys.h), chosen among
    // the joysticks the last enumeration listed; "" when the backend cannot
    // tell or the joystick was not listed. Valid until the next enumeration.
    virtual const char* GetInstanceKey(const GUID& instance)
    {
        (void)instance;
        return "";
    }
};

// Creates a root object through the first available backend of the list in
// devices/DirectInputBackends.h: a test's override, else the virtual
// joysticks when TAVELIN_VIRTUAL_JOYSTICKS names a file, else the platform's
// own backend. outer must be null (no aggregation).
HRESULT DirectInputCreateA(void* instance, std::uint32_t version, IDirectInputA** out, void* outer);
