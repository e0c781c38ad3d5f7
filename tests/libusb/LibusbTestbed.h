#pragma once

// Fixture for the libusb backend under umockdev: a fresh testbed per test, tables plugged in
// through UsbfsBridge, and a LibusbUsbHost started when the test says so (before or after the
// tables, as the test needs). Outside umockdev-wrapper every test is skipped.

#include <gtest/gtest.h>
#include <umockdev.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "libusb/UsbfsBridge.h"
#include "platform/usbhost/libusb/LibusbUsbHost.h"
#include "support/ScriptedUsbDevice.h"

namespace Korvane {
namespace Platform {
namespace Testing {

using ::Korvane::Testing::ScriptedUsbDevice;

// Waits for something another thread does; the limit only keeps a broken backend from hanging
// the run.
class Waiter {
public:
    void signal(std::function<void()> record = nullptr);
    bool waitFor(std::function<bool()> done);
    bool holds(std::function<bool()> condition);

private:
    std::mutex mutex;
    std::condition_variable changed;
};

// One bulk transfer's completion, as the session reports it.
struct Completion {
    Waiter waiter;
    bool finished = false;
    UsbError error = 0xFFFFFFFF;
    std::uint32_t transferred = 0;

    UsbTransferCallback callback();
    bool wait();
    bool hasFinished() {
        return waiter.holds([this] { return finished; });
    }
};

class LibusbTestbed : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A scripted table that answers every command line with ":" and the line.
    std::shared_ptr<ScriptedUsbDevice> plugTable(const std::string& sysName, int deviceNumber,
                                                 const std::string& serial = "ZO3-000123");
    UsbfsBridge& bridge(std::size_t index) { return *bridges.at(index); }
    LibusbUsbHost& startHost();
    std::unique_ptr<UsbDeviceSession> openOrFail(const std::string& instanceId);

    UMockdevTestbed* testbed = nullptr;
    std::vector<std::unique_ptr<UsbfsBridge>> bridges;
    std::unique_ptr<LibusbUsbHost> host;
};

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane
