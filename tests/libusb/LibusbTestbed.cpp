#include "libusb/LibusbTestbed.h"

#include <cstdlib>
#include <cstring>

namespace Korvane {
namespace Platform {
namespace Testing {

namespace {

constexpr std::chrono::seconds kHangGuard{10};

// umockdev_in_mock_environment() answers false even under the wrapper; its preload library in
// LD_PRELOAD is what redirects sysfs and /dev into the testbed.
bool underUmockdevWrapper() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

}  // namespace

void Waiter::signal(std::function<void()> record) {
    std::lock_guard<std::mutex> lock(mutex);
    if (record) record();
    changed.notify_all();
}

bool Waiter::waitFor(std::function<bool()> done) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, kHangGuard, done);
}

bool Waiter::holds(std::function<bool()> condition) {
    std::lock_guard<std::mutex> lock(mutex);
    return condition();
}

UsbTransferCallback Completion::callback() {
    return [this](UsbError e, std::uint32_t n) {
        waiter.signal([&] {
            finished = true;
            error = e;
            transferred = n;
        });
    };
}

bool Completion::wait() {
    return waiter.waitFor([this] { return finished; });
}

void LibusbTestbed::SetUp() {
    if (!underUmockdevWrapper()) GTEST_SKIP() << "runs only under umockdev-wrapper";
    testbed = umockdev_testbed_new();
}

void LibusbTestbed::TearDown() {
    host.reset();
    bridges.clear();
    if (testbed) g_object_unref(testbed);
}

std::shared_ptr<ScriptedUsbDevice> LibusbTestbed::plugTable(const std::string& sysName,
                                                            int deviceNumber,
                                                            const std::string& serial) {
    auto table = std::make_shared<ScriptedUsbDevice>(serial);
    table->answerLines([](const std::string& line) { return ":" + line; });
    bridges.push_back(std::make_unique<UsbfsBridge>(testbed, table, sysName, deviceNumber));
    return table;
}

LibusbUsbHost& LibusbTestbed::startHost() {
    host = std::make_unique<LibusbUsbHost>();
    return *host;
}

std::unique_ptr<UsbDeviceSession> LibusbTestbed::openOrFail(const std::string& instanceId) {
    std::unique_ptr<UsbDeviceSession> session;
    const UsbError error = host->open(instanceId, session);
    EXPECT_EQ(error, 0u) << "open " << instanceId;
    return session;
}

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane
