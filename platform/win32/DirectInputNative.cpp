// The real DirectInput 5 (mingw-w64's dinput.h, DIRECTINPUT_VERSION 0x0500):
// every call of DirectInputNative, passed straight through. dinput.dll is
// loaded at the first Create; without it Create answers REGDB_E_CLASSNOTREG.
// A device's path and HID serial come from DIPROP_GUIDANDPATH and hid.dll
// (loaded when first asked; without it there are no serials, only ports).
#define DIRECTINPUT_VERSION 0x0500
#include "platform/win32/DirectInputNative.h"

#include <windows.h>

#include <dinput.h>

#include <cstddef>
#include <string>

static_assert(sizeof(DIDEVICEINSTANCEA) == 580);
static_assert(sizeof(DIDEVICEOBJECTINSTANCEA) == 316);
static_assert(sizeof(DIJOYSTATE2) == 272);
static_assert(sizeof(GUID) == 16);

namespace DirectInputNative {

namespace {

IDirectInputA* Root(void* root)
{
    return static_cast<IDirectInputA*>(root);
}
IDirectInputDeviceA* Device(void* device)
{
    return static_cast<IDirectInputDeviceA*>(device);
}

struct Enumeration {
    Callback callback;
    void* reference;
};

// DIPROP_GUIDANDPATH's record: the property exists in every DirectInput
// since 5.0a, but the header shows it only to programs that ask for 0x050a.
struct GuidAndPath {
    DIPROPHEADER diph;
    GUID guidClass;
    WCHAR wszPath[MAX_PATH];
};

const GUID& GuidAndPathProperty()
{
    return *reinterpret_cast<const GUID*>(static_cast<std::uintptr_t>(12));
}

std::string Utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string converted(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), size, nullptr, nullptr);
    converted.resize(static_cast<std::size_t>(size - 1));
    return converted;
}

using HidSerialFunction = BOOLEAN(NTAPI*)(HANDLE, PVOID, ULONG);

// hid.dll from the system folder, when first asked; null without it.
HidSerialFunction HidSerial()
{
    static const HidSerialFunction function = [] {
        const HMODULE library = LoadLibraryExA("hid.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return library != nullptr ? reinterpret_cast<HidSerialFunction>(
                   reinterpret_cast<void*>(GetProcAddress(library, "HidD_GetSerialNumberString")))
                                  : nullptr;
    }();
    return function;
}

BOOL CALLBACK Forward(LPCDIDEVICEINSTANCEA instance, LPVOID reference)
{
    const auto* enumeration = static_cast<const Enumeration*>(reference);
    return enumeration->callback(instance, enumeration->reference) != 0 ? DIENUM_CONTINUE : DIENUM_STOP;
}

} // namespace

std::int32_t Create(void* instance, std::uint32_t version, void** root)
{
    // Loaded when first asked for, from the system folder only: a machine
    // without DirectInput still starts the program, which then says so.
    using CreateFunction = HRESULT(WINAPI*)(HINSTANCE, DWORD, LPDIRECTINPUTA*, LPUNKNOWN);
    static const CreateFunction create = [] {
        const HMODULE library = LoadLibraryExA("dinput.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        return library != nullptr
            ? reinterpret_cast<CreateFunction>(reinterpret_cast<void*>(GetProcAddress(library, "DirectInputCreateA")))
            : nullptr;
    }();
    if (create == nullptr) {
        *root = nullptr;
        return REGDB_E_CLASSNOTREG; // what asking COM for an uninstalled DirectInput answers
    }
    // DirectInput wants the module that creates it; a program that passes none means itself.
    HINSTANCE module = instance != nullptr ? static_cast<HINSTANCE>(instance) : GetModuleHandleA(nullptr);
    IDirectInputA* created = nullptr;
    const HRESULT result = create(module, version, &created, nullptr);
    *root = SUCCEEDED(result) ? created : nullptr;
    return result;
}

std::uint32_t AddRef(void* object)
{
    return static_cast<IUnknown*>(object)->AddRef();
}

std::uint32_t Release(void* object)
{
    return static_cast<IUnknown*>(object)->Release();
}

std::int32_t EnumDevices(void* root, std::uint32_t deviceType, Callback callback, void* reference, std::uint32_t flags)
{
    Enumeration enumeration { callback, reference };
    return Root(root)->EnumDevices(deviceType, &Forward, &enumeration, flags);
}

std::int32_t CreateDevice(void* root, const void* guid16, void** device)
{
    GUID guid;
    CopyMemory(&guid, guid16, sizeof(guid));
    IDirectInputDeviceA* created = nullptr;
    const HRESULT result = Root(root)->CreateDevice(guid, &created, nullptr);
    *device = SUCCEEDED(result) ? created : nullptr;
    return result;
}

void GetPathAndSerial(void* root, const void* guid16, std::string& path, std::string& serial)
{
    path.clear();
    serial.clear();
    GUID guid;
    CopyMemory(&guid, guid16, sizeof(guid));
    IDirectInputDeviceA* device = nullptr;
    if (FAILED(Root(root)->CreateDevice(guid, &device, nullptr)) || device == nullptr) {
        return;
    }
    GuidAndPath property = {};
    property.diph.dwSize = sizeof(property);
    property.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    property.diph.dwObj = 0;
    property.diph.dwHow = DIPH_DEVICE;
    const HRESULT result = device->GetProperty(GuidAndPathProperty(), &property.diph);
    device->Release();
    if (FAILED(result)) {
        return;
    }
    property.wszPath[MAX_PATH - 1] = L'\0';
    path = Utf8(property.wszPath);
    const HidSerialFunction hidSerial = HidSerial();
    if (hidSerial == nullptr || property.wszPath[0] == L'\0') {
        return;
    }
    // No access asked for: enough for the strings, and never refused for a joystick in use.
    const HANDLE file
        = CreateFileW(property.wszPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    wchar_t text[128] = {}; // a USB string descriptor holds at most 126 characters
    if (hidSerial(file, text, sizeof(text) - sizeof(wchar_t))) {
        text[127] = L'\0';
        serial = Utf8(text);
    }
    CloseHandle(file);
}

std::int32_t RunControlPanel(void* root, void* window, std::uint32_t flags)
{
    return Root(root)->RunControlPanel(static_cast<HWND>(window), flags);
}

std::int32_t QueryDevice2(void* device, void** device2)
{
    void* second = nullptr;
    const HRESULT result = Device(device)->QueryInterface(IID_IDirectInputDevice2A, &second);
    *device2 = SUCCEEDED(result) ? second : nullptr;
    return result;
}

std::int32_t SetJoystick2Format(void* device)
{
    return Device(device)->SetDataFormat(&c_dfDIJoystick2);
}

std::int32_t SetCooperativeLevel(void* device, void* window, std::uint32_t flags)
{
    return Device(device)->SetCooperativeLevel(static_cast<HWND>(window), flags);
}

std::int32_t SetProperty(void* device, std::uint32_t property, const void* header)
{
    if (property < 4 || property > 6) {
        return DIERR_UNSUPPORTED;
    }
    REFGUID id = property == 4 ? DIPROP_RANGE : (property == 5 ? DIPROP_DEADZONE : DIPROP_SATURATION);
    return Device(device)->SetProperty(id, static_cast<LPCDIPROPHEADER>(header));
}

std::int32_t GetObjectInfo(void* device, void* objectInstance, std::uint32_t object, std::uint32_t how)
{
    return Device(device)->GetObjectInfo(static_cast<LPDIDEVICEOBJECTINSTANCEA>(objectInstance), object, how);
}

std::int32_t GetDeviceState(void* device, std::uint32_t size, void* data)
{
    return Device(device)->GetDeviceState(size, data);
}

std::int32_t Acquire(void* device)
{
    return Device(device)->Acquire();
}

std::int32_t Unacquire(void* device)
{
    return Device(device)->Unacquire();
}

std::int32_t Poll(void* device2)
{
    return static_cast<IDirectInputDevice2A*>(device2)->Poll();
}

} // namespace DirectInputNative
