// A complete update of the embedded firmware through the real USB backend (libusb), with the
// simulated table behind umockdev's fake kernel: every layer of the updater is the one a real
// table meets. The libusb host lives as long as the process, so the fake kernel is set up before
// it starts. Outside umockdev-wrapper the test is skipped.

#include <gtest/gtest.h>
#include <umockdev.h>

#include <QByteArray>
#include <QObject>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "EmbeddedFirmwareGenerator.h"
#include "firmware/DeviceConnection.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "libusb/UsbfsBridge.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "simulator/SimulatedTable.h"
#include "usb/DeviceDiscovery.h"
#include "utilities/OrbiZo3UsbIds.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceConnection;
using Korvane::DeviceDriver::OrbiZo::Firmware::DeviceInfo;
using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;

namespace {

using Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId;
using Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId;

UMockdevTestbed* testbed = nullptr;

class FakeKernel : public ::testing::Environment {
public:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        if (!preload || !std::strstr(preload, "libumockdev-preload")) return;
        testbed = umockdev_testbed_new();
        Korvane::Platform::UsbPortRegistration::install(
            Korvane::Platform::UsbPortRegistration::libusbHost(), "");
    }
};

const ::testing::Environment* const fakeKernel =
    ::testing::AddGlobalTestEnvironment(new FakeKernel);

// The table's device path once the backend lists it (bounded wait: arrival is asynchronous).
QString waitForTable(const std::string& instanceId) {
    for (int i = 0; i < 500; ++i) {
        for (const std::string& path : Korvane::DeviceDriver::OrbiZo::USB::findDevicePaths(
                 kOrbiZo3VendorId, kOrbiZo3ProductId)) {
            if (path.find("#" + instanceId + "#") != std::string::npos)
                return QString::fromStdString(path);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return QString();
}

TEST(UpdateOverLibusb, EmbeddedFirmwareReachesTheTable) {
    if (!testbed) GTEST_SKIP() << "runs only under umockdev-wrapper";
    const auto table = Korvane::Simulator::SimulatedTable::create("OZ3S000201");
    auto bridge =
        std::make_unique<Korvane::Platform::Testing::UsbfsBridge>(testbed, table, "4-1", 21);
    const QString path = waitForTable("4-1");
    ASSERT_FALSE(path.isEmpty()) << "the table never arrived";

    {
        OrbiZo3FWUpdater updater;
        updater.setDevicePath(path);
        updater.setFirmwareData(QByteArray::fromStdString(
            Korvane::DeviceDriver::OrbiZo::Tools::EmbeddedFirmwareGenerator::fileText()));
        int reports = 0;
        QObject::connect(&updater, &OrbiZo3FWUpdater::ProgressEvent,
                         [&reports](int, int) { ++reports; });
        EXPECT_TRUE(updater.downloadFirmware());
        EXPECT_EQ(reports, 15);

        DeviceConnection connection(path);
        const DeviceInfo info = OrbiZo3FWUpdater::readDeviceInfo(connection);
        EXPECT_EQ(info.serialNumber, "OZ3S000201");
        EXPECT_EQ(info.versionText(), "1.09");
    }
    EXPECT_FALSE(table->inBootloader());
    bridge->unplug();
}

}  // namespace
