#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device/radar_constants.h"
#include "sim/descriptors.h"
#include "sim/sim_backend.h"
#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

TEST(SimBackendTest, UnplugAndReplugChangeTheListAndKillOldHandles) {
    auto first = std::make_shared<SimRadar>();
    auto second = std::make_shared<SimRadar>();
    SimBackend backend(first);
    backend.AddRadar(second);
    ASSERT_EQ(backend.ListDevices().size(), 2u);
    UsbStatus status = UsbStatus::Other;
    auto link = backend.Open(1, status);
    ASSERT_TRUE(link);
    EXPECT_EQ(backend.Open(2, status), nullptr);
    EXPECT_EQ(status, UsbStatus::NotFound);

    second->Unplug();
    EXPECT_EQ(link->SetAltSetting(0, 1), UsbStatus::NoDevice);
    EXPECT_EQ(backend.Open(1, status), nullptr) << "opened from a list made before the unplug";
    EXPECT_EQ(status, UsbStatus::NoDevice);
    EXPECT_EQ(backend.ListDevices().size(), 1u);

    second->Replug();
    EXPECT_EQ(link->ResetPort(), UsbStatus::NoDevice) << "a replugged device is a new device";
    ASSERT_EQ(backend.ListDevices().size(), 2u);
    auto fresh = backend.Open(1, status);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->ResetPort(), UsbStatus::Ok);
    EXPECT_TRUE(second->controller().cpuHeld()) << "the controller came back without firmware";
}

}  // namespace
}  // namespace vorn::sim::test
