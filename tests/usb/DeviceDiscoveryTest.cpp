#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "support/ScriptedUsbDevice.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace {

using Korvane::DeviceDriver::OrbiZo::USB::findDevicePaths;
using Korvane::DeviceDriver::OrbiZo::USB::parseVendorProduct;
using Korvane::Platform::SimulatedUsbBus;
using Korvane::Testing::ScriptedUsbDevice;

constexpr std::uint16_t kVendor = ::Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId;
constexpr std::uint16_t kProduct = ::Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId;

class DeviceDiscovery : public testing::Test {
protected:
    void SetUp() override {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        SimulatedUsbBus::instance().unplugAll();
    }
    void TearDown() override { SimulatedUsbBus::instance().unplugAll(); }

    void plug(std::uint16_t vendor, std::uint16_t product, const std::string& serial) {
        SimulatedUsbBus::instance().plug(
            std::make_shared<ScriptedUsbDevice>(vendor, product, serial));
    }
};

TEST_F(DeviceDiscovery, NothingPluggedFindsNothing) {
    EXPECT_TRUE(findDevicePaths(kVendor, kProduct).empty());
}

TEST_F(DeviceDiscovery, FindsOnlyTheWatchedPairInPlugOrder) {
    plug(kVendor, kProduct, "SECOND0");
    plug(kVendor, 0x7A04, "OTHERPID");
    plug(0x0403, kProduct, "OTHERVID");
    plug(kVendor, kProduct, "FIRST00");

    const std::vector<std::string> paths = findDevicePaths(kVendor, kProduct);
    ASSERT_EQ(2u, paths.size());
    EXPECT_NE(std::string::npos, paths[0].find("#SECOND0#")) << paths[0];
    EXPECT_NE(std::string::npos, paths[1].find("#FIRST00#")) << paths[1];
    for (const std::string& path : paths) {
        std::uint32_t vendor = 0;
        std::uint32_t product = 0;
        EXPECT_TRUE(parseVendorProduct(path, vendor, product)) << path;
        EXPECT_EQ(kVendor, vendor);
        EXPECT_EQ(kProduct, product);
    }
}

TEST_F(DeviceDiscovery, UnpluggedDeviceIsNoLongerFound) {
    plug(kVendor, kProduct, "GONE0001");
    plug(kVendor, kProduct, "STAYS001");
    SimulatedUsbBus::instance().unplug("GONE0001");
    const std::vector<std::string> paths = findDevicePaths(kVendor, kProduct);
    ASSERT_EQ(1u, paths.size());
    EXPECT_NE(std::string::npos, paths[0].find("#STAYS001#")) << paths[0];
}

}  // namespace
