// The rule that turns what a backend knows of its joysticks into instance
// keys, and the port part of a Windows device path.
#include "devices/InstanceKeys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(InstanceKeys, AShareOfASerialFallsToTheNextSerialThenToThePort)
{
    // udev's serial, then the device's uniq, as the Linux backend gives them.
    const std::vector<InstanceFacts> joysticks = {
        { { "0001", "A1" }, "pci-0000:00:14.0-usb-0:1:1.0" },
        { { "0001", "B2" }, "pci-0000:00:14.0-usb-0:2:1.0" }, // one udev serial for the whole batch
        { { "", "B2" }, "pci-0000:00:14.0-usb-0:3:1.0" }, // and a uniq another unit has too
        { { " C3 ", "" }, "usb-3" }, { { "", "" }, "  " }, // nothing to tell it by
        { { "x[y", "" }, "usb-5" }, // no "[" in a configuration file's value
        { { std::string(194, 'S') }, "usb-6" }, // "serial:" and 194 characters: over 200
    };
    EXPECT_EQ(ChooseInstanceKeys(joysticks),
        (std::vector<std::string> { "serial:A1", "port:pci-0000:00:14.0-usb-0:2:1.0",
            "port:pci-0000:00:14.0-usb-0:3:1.0", "serial:C3", "", "port:usb-5", "port:usb-6" }));
    EXPECT_TRUE(IsStorableInstanceKey("serial:" + std::string(193, 'S')));
    EXPECT_FALSE(IsStorableInstanceKey("serial:A\tB"));
    EXPECT_EQ(InstanceKeyForDisplay("serial:A1B2C3"), "serial A1B2C3");
    EXPECT_EQ(InstanceKeyForDisplay("port:pci-0000:00:14.0"), "port pci-0000:00:14.0");
}

TEST(InstanceKeys, AWindowsDevicePathGivesItsInstancePart)
{
    EXPECT_EQ(
        DevicePathPortPart("\\\\?\\hid#vid_044f&pid_0404#7&2a3b4c5d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}"),
        "7&2a3b4c5d&0&0000");
    EXPECT_EQ(DevicePathPortPart("\\\\?\\HID#VID_06A3&PID_0C2D&MI_00#8&1f2e3d4c&0&0000#{4d1e55b2-f16f}"),
        "8&1f2e3d4c&0&0000");
    EXPECT_EQ(DevicePathPortPart(""), "");
    EXPECT_EQ(DevicePathPortPart("\\\\?\\hid#vid_044f&pid_0404"), "");
    EXPECT_EQ(DevicePathPortPart("\\\\?\\hid#vid_044f&pid_0404#7&2a3b"), "") << "no class part: not a device path";
}

} // namespace
