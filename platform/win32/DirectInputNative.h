// DirectInputNative: the real DirectInput 5 calls, behind plain functions, so
// that the adapter in DirectInputWin32.cpp never meets <dinput.h> (its macros
// and types share names with our own declaration of the seam).
#pragma once

#include <cstdint>
#include <string>

namespace DirectInputNative {

using Callback = int (*)(const void* deviceInstance580, void* reference);

std::int32_t Create(void* instance, std::uint32_t version, void** root);
std::uint32_t AddRef(void* object);
std::uint32_t Release(void* object);
std::int32_t EnumDevices(void* root, std::uint32_t deviceType, Callback callback, void* reference, std::uint32_t flags);
std::int32_t CreateDevice(void* root, const void* guid16, void** device);
std::int32_t RunControlPanel(void* root, void* window, std::uint32_t flags);
// The device's interface path (DirectInput's GUIDANDPATH property) and the
// HID serial number read through it, both UTF-8; each "" when the device or
// the system does not say.
void GetPathAndSerial(void* root, const void* guid16, std::string& path, std::string& serial);

// On the device (first or second interface; both are IDirectInputDevice).
std::int32_t QueryDevice2(void* device, void** device2);
std::int32_t SetJoystick2Format(void* device);
std::int32_t SetCooperativeLevel(void* device, void* window, std::uint32_t flags);
// property: 4 range, 5 dead zone, 6 saturation; header16 is the DIPROPHEADER and its payload.
std::int32_t SetProperty(void* device, std::uint32_t property, const void* header);
std::int32_t GetObjectInfo(void* device, void* objectInstance, std::uint32_t object, std::uint32_t how);
std::int32_t GetDeviceState(void* device, std::uint32_t size, void* data);
std::int32_t Acquire(void* device);
std::int32_t Unacquire(void* device);
std::int32_t Poll(void* device2);

} // namespace DirectInputNative
