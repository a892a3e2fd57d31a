// The device interface on libimobiledevice, without a device: every call on a device
// that is not there fails cleanly and quickly (real devices cannot be tested here).
#include "platform/ImobileDeviceService.h"

#include <gtest/gtest.h>

TEST(ImobileDeviceService, AnAbsentDeviceFailsCleanly) {
    ImobileDeviceService service;
    const DeviceRef absent{"0000000000000000000000000000000000000000", 1};
    EXPECT_NE(service.Connect(absent), 0);
    EXPECT_FALSE(service.IsPaired(absent));
    EXPECT_NE(service.ValidatePairing(absent), 0);
    EXPECT_NE(service.StartSession(absent), 0);
    EXPECT_EQ(service.CopyValue(absent, "DeviceName"), std::nullopt);
    service.Disconnect(absent);
    service.Disconnect(absent);

    const DeviceRef null{};
    EXPECT_NE(service.Connect(null), 0);
    EXPECT_FALSE(service.IsPaired(null));
    EXPECT_EQ(service.CopyValue(null, "UniqueDeviceID"), std::nullopt);
    service.Unsubscribe(); // never subscribed: harmless
}
