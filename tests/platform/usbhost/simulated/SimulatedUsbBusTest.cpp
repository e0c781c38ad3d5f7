#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/SimulatedBusFixture.h"
#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Testing {
namespace {

using Platform::SimulatedUsbBus;
using Platform::UsbDeviceInfo;
using Platform::UsbDeviceSession;
using Platform::UsbError;

TEST_F(SimulatedBusTest, HotplugSubscribersSeeArrivalAndDepartureUntilUnsubscribed) {
    SimulatedUsbBus& bus = SimulatedUsbBus::instance();
    std::vector<std::string> seen;
    std::uint64_t id = bus.subscribe([&](const UsbDeviceInfo& device, bool arrived) {
        seen.push_back((arrived ? "+" : "-") + device.instanceId);
    });
    EXPECT_NE(id, 0u);
    plug("SER-A");
    plug("SER-A");  // already present: ignored
    unplug("SER-A");
    unplug("SER-A");  // already gone: ignored
    bus.unsubscribe(id);
    plug("SER-B");
    EXPECT_EQ(seen, (std::vector<std::string>{"+SER-A", "-SER-A"}));
}

TEST_F(SimulatedBusTest, SessionHooksAndExclusiveOpen) {
    auto device = plug("SER-A");
    SimulatedUsbBus& bus = SimulatedUsbBus::instance();
    std::unique_ptr<UsbDeviceSession> first, second;
    ASSERT_EQ(bus.open("SER-A", first), ERROR_SUCCESS);
    EXPECT_EQ(device->sessionsOpened(), 1);
    EXPECT_EQ(bus.open("SER-A", second), ERROR_ACCESS_DENIED);
    EXPECT_EQ(bus.open("SER-B", second), ERROR_FILE_NOT_FOUND);
    first.reset();
    EXPECT_EQ(device->sessionsClosed(), 1);
    EXPECT_EQ(bus.open("SER-A", second), ERROR_SUCCESS);
}

// Late answers: a device thread that replies after the host has cancelled or unplugged must
// not reach the (by then reused) buffer or call back a second time.
TEST_F(SimulatedBusTest, RepliesAfterCancelOrUnplugAreIgnored) {
    struct Device : ScriptedUsbDevice {
        using ScriptedUsbDevice::ScriptedUsbDevice;
        void bulkIn(std::uint8_t, std::uint32_t, InReply reply) override {
            std::lock_guard<std::mutex> lock(mutex);
            replies.push_back(std::move(reply));
        }
        std::mutex mutex;
        std::vector<InReply> replies;
    };
    for (bool byUnplug : {false, true}) {
        SCOPED_TRACE(byUnplug ? "unplug" : "cancel");
        auto device = std::make_shared<Device>(kVendor, kProduct, "LATE");
        SimulatedUsbBus::instance().plug(device);
        std::unique_ptr<UsbDeviceSession> session;
        ASSERT_EQ(SimulatedUsbBus::instance().open("LATE", session), ERROR_SUCCESS);
        std::uint8_t buffer[8] = {};
        std::atomic<int> calls{0};
        std::atomic<UsbError> result{0};
        ASSERT_EQ(session->submitBulk(0x81, buffer, 8,
                                      [&](UsbError error, std::uint32_t) {
                                          result = error;
                                          ++calls;
                                      }),
                  ERROR_SUCCESS);
        if (byUnplug) {
            unplug("LATE");
        } else {
            EXPECT_EQ(session->cancelEndpoint(0x81), ERROR_SUCCESS);
        }
        std::thread late([&] { device->replies.at(0)(Bytes{1, 2, 3}); });
        late.join();
        EXPECT_EQ(calls.load(), 1);
        EXPECT_EQ(result.load(), byUnplug ? ERROR_DEVICE_NOT_CONNECTED : ERROR_OPERATION_ABORTED);
        EXPECT_EQ(buffer[0], 0);
        session.reset();
        unplug("LATE");
    }
}

TEST_F(SimulatedBusTest, PlugAndUnplugFromManyThreads) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            std::string serial = "T" + std::to_string(t);
            for (int i = 0; i < 50; ++i) {
                auto device = plug(serial);
                std::unique_ptr<UsbDeviceSession> session;
                if (SimulatedUsbBus::instance().open(serial, session) == ERROR_SUCCESS) {
                    std::uint8_t buffer[64];
                    session->submitBulk(0x81, buffer, 64, [](UsbError, std::uint32_t) {});
                    if (i % 2) unplug(serial);
                }
                session.reset();
                unplug(serial);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(SimulatedUsbBus::instance().presentDevices().empty());
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane
