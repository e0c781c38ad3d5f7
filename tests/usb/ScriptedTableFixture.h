#pragma once

// A scripted table on the simulated bus, reached through its Windows-form device path, for the
// tests of the device and the packet link.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
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

// A scripted device that also counts the bulk-in reads it was asked for.
class CountingUsbDevice : public ScriptedUsbDevice {
public:
    using ScriptedUsbDevice::ScriptedUsbDevice;

    void bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, InReply reply) override {
        ++reads;
        ScriptedUsbDevice::bulkIn(endpoint, maxLength, std::move(reply));
    }
    int bulkReads() const { return reads; }

private:
    std::atomic<int> reads{0};
};

// One packet as the table's converter sends it: status bytes 0x01 (data bit set) or
// `status`, 0x60, then the payload.
inline Bytes packet(const std::string& payload, std::uint8_t status = 0x01) {
    Bytes data(2 + payload.size());
    data[0] = status;
    data[1] = 0x60;
    std::copy(payload.begin(), payload.end(), data.begin() + 2);
    return data;
}

// The two status bytes alone: the converter had nothing to send.
inline Bytes emptyPacket() {
    return packet("");
}

class ScriptedTableTest : public testing::Test {
protected:
    static constexpr const char* kSerial = "USBT0001";

    void SetUp() override {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        Platform::SimulatedUsbBus::instance().unplugAll();
        device =
            std::make_shared<CountingUsbDevice>(DeviceDriver::OrbiZo::kOrbiZo3VendorId,
                                                DeviceDriver::OrbiZo::kOrbiZo3ProductId, kSerial);
        Platform::SimulatedUsbBus::instance().plug(device);
        const auto paths = DeviceDriver::OrbiZo::USB::findDevicePaths(
            DeviceDriver::OrbiZo::kOrbiZo3VendorId, DeviceDriver::OrbiZo::kOrbiZo3ProductId);
        ASSERT_EQ(1u, paths.size());
        path = paths.front();
    }

    void TearDown() override { Platform::SimulatedUsbBus::instance().unplugAll(); }

    std::shared_ptr<CountingUsbDevice> device;
    std::string path;
};

}  // namespace Testing
}  // namespace Korvane
