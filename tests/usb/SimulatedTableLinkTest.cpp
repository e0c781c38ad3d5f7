#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SimulatedTable.h"
#include "usb/DeviceDiscovery.h"
#include "usb/SerialUSB.h"
#include "utilities/OrbiZo3UsbIds.h"
#include "utilities/OrbiZoException.h"

namespace {

using Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId;
using Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId;
using Korvane::DeviceDriver::OrbiZo::USB::findDevicePaths;
using Korvane::DeviceDriver::OrbiZo::USB::SerialUSB;
using Korvane::Simulator::SimulatedTable;

// The link's start-up sequence against the simulated table.
class SimulatedTableLink : public testing::Test {
protected:
    void SetUp() override {
        // The simulated bus, for everything in this process that asks for the USB host.
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::SimulatedUsbBus::instance(), "");
        Korvane::Platform::SimulatedUsbBus::instance().unplugAll();
        table = SimulatedTable::create("OZ3S000042");
        table->plug();
        const std::vector<std::string> paths = findDevicePaths(kOrbiZo3VendorId, kOrbiZo3ProductId);
        ASSERT_EQ(1u, paths.size());
        path = paths.front();
    }
    void TearDown() override { Korvane::Platform::SimulatedUsbBus::instance().unplugAll(); }

    std::shared_ptr<SimulatedTable> table;
    std::string path;
};

TEST_F(SimulatedTableLink, StartsUpAndReadsTheSerialNumber) {
    SerialUSB link;
    link.open(path);
    link.purgeInput();
    link.configure();
    EXPECT_EQ("OZ3S000042", link.getSerialNumber());
}

TEST_F(SimulatedTableLink, SilentTableGivesAnEmptyRead) {
    SerialUSB link;
    link.open(path);
    link.purgeInput();
    link.configure();
    EXPECT_EQ("", link.read(10, 50));
}

TEST_F(SimulatedTableLink, SecondHolderIsRefused) {
    SerialUSB first;
    first.open(path);
    SerialUSB second;
    EXPECT_THROW(second.open(path), Korvane::DeviceDriver::OrbiZo::OrbiZoException);
}

}  // namespace
