#pragma once

// A scripted table on the simulated bus, reached through its Windows-form device path, for the
// tests of the device and the packet link. Every read it answers moves `clock` on by one
// latency period of its converter.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "support/ScriptedUsbDevice.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Testing {

class ScriptedTableTest : public testing::Test {
protected:
    static constexpr const char* kSerial = "USBT0001";

    void SetUp() override {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        Platform::SimulatedUsbBus::instance().unplugAll();
        device = std::make_shared<ScriptedUsbDevice>(kSerial);
        device->driveClock(clock);
        Platform::SimulatedUsbBus::instance().plug(device);
        const auto paths = DeviceDriver::OrbiZo::USB::findDevicePaths(
            DeviceDriver::OrbiZo::kOrbiZo3VendorId, DeviceDriver::OrbiZo::kOrbiZo3ProductId);
        ASSERT_EQ(1u, paths.size());
        path = paths.front();
    }

    void TearDown() override { Platform::SimulatedUsbBus::instance().unplugAll(); }

    std::shared_ptr<Utilities::VirtualClock> clock = std::make_shared<Utilities::VirtualClock>();
    std::shared_ptr<ScriptedUsbDevice> device;
    std::string path;
};

}  // namespace Testing
}  // namespace Korvane
