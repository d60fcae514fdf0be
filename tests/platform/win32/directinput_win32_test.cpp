// The real DirectInput 5 behind the seam (run under Wine, which has no joysticks here).
#include "devices/DirectInput.h"
#include "devices/JoystickDevice.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(DirectInputWin32Test, EnumeratesAndRefusesAnUnknownDevice)
{
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    IDirectInputA* root = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
    ASSERT_NE(root, nullptr);

    std::vector<DIDEVICEINSTANCEA> found;
    const HRESULT listed = root->EnumDevices(
        DIDEVTYPE_JOYSTICK,
        [](const DIDEVICEINSTANCEA* instance, void* reference) {
            static_cast<std::vector<DIDEVICEINSTANCEA>*>(reference)->push_back(*instance);
            return DIENUM_CONTINUE;
        },
        &found, DIEDFL_ATTACHEDONLY);
    EXPECT_EQ(listed, DI_OK) << JoystickDevice::ResultText(listed);
    for (const DIDEVICEINSTANCEA& instance : found) {
        EXPECT_EQ(instance.dwSize, sizeof(DIDEVICEINSTANCEA));
        EXPECT_NE(std::memchr(instance.tszInstanceName, '\0', sizeof(instance.tszInstanceName)), nullptr);
    }

    const GUID unknown = { 0x12345678, 0x9ABC, 0xDEF0, { 1, 2, 3, 4, 5, 6, 7, 8 } };
    IDirectInputDeviceA* device = nullptr;
    const HRESULT created = root->CreateDevice(unknown, &device, nullptr);
    EXPECT_TRUE(FAILED(created));
    EXPECT_EQ(device, nullptr);
    EXPECT_STRNE(JoystickDevice::ResultText(created), "Unknown Error Code.") << std::hex << created;
    EXPECT_EQ(root->Release(), 0u);

    // The device layer meets the same refusal at its first DirectInput step.
    DIDEVICEINSTANCEA record = {};
    record.dwSize = sizeof(record);
    record.guidInstance = unknown;
    record.guidProduct = { 0x0402044F, 0, 0, { 0, 0, 'P', 'I', 'D', 'V', 'I', 'D' } };
    JoystickDevice joystick(nullptr);
    EXPECT_FALSE(joystick.Open(record));
    EXPECT_STREQ(joystick.GetErrorText(), JoystickDevice::ResultText(created));
    EXPECT_EQ(joystick.GetJoystickId(), 0x0402044Fu);
    EXPECT_FALSE(joystick.Poll());
}

} // namespace
