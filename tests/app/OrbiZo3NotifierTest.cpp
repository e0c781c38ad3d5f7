#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include <boost/make_shared.hpp>

#include "SignalRecorder.h"
#include "app/OrbiZo3Notifier.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "support/ScriptedUsbDevice.h"
#include "usb/DeviceDiscovery.h"
#include "usb/USBNotification.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace {

using Korvane::DeviceDriver::OrbiZo::USB::USBNotification;
using Korvane::Platform::SimulatedUsbBus;
using Korvane::Testing::ScriptedUsbDevice;

const std::uint32_t kVid = Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId;
const std::uint32_t kPid = Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId;

// Keeps what the notifier gave it, so that tests can call the callback with any values.
class FakeService : public USBNotification {
public:
    FakeService() : USBNotification("test") {}
    void start(const FilterList& filterList, const Callback& newCallback) override {
        ++starts;
        filter = filterList;
        callback = newCallback;
    }
    void stop() override {}
    FilterList getFilter() override { return filter; }

    int starts = 0;
    FilterList filter;
    Callback callback;
};

void plugTable(const std::string& instance) {
    SimulatedUsbBus::instance().plug(std::make_shared<ScriptedUsbDevice>(
        static_cast<std::uint16_t>(kVid), static_cast<std::uint16_t>(kPid), instance));
}

class OrbiZo3NotifierTest : public ::testing::Test {
protected:
    void TearDown() override { SimulatedUsbBus::instance().unplugAll(); }

    SignalRecorder recorder;
};

TEST_F(OrbiZo3NotifierTest, WatchesTheTablePairAndTurnsCallbacksIntoSignals) {
    auto service = boost::make_shared<FakeService>();
    OrbiZo3Notifier notifier(nullptr, service);
    recorder.watch(&notifier);
    ASSERT_EQ(1, service->starts);
    EXPECT_EQ((USBNotification::FilterList{{kVid, kPid}}), service->filter);

    struct Case {
        std::int32_t event;
        std::string path;
    };
    // Only event 1 and 0 with a path reach the signals, whatever the identifiers.
    const Case cases[] = {{1, "p-arrive"}, {0, "p-leave"}, {1, ""}, {0, ""}, {2, "p2"}, {-1, "p3"}};
    for (const Case& c : cases) service->callback(0x1111, 0x2222, c.event, c.path);

    const auto got = recorder.snapshot();
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(SignalRecorder::Kind::Arrival, got[0].kind);
    EXPECT_EQ(QString("p-arrive"), got[0].path);
    EXPECT_EQ(SignalRecorder::Kind::Departure, got[1].kind);
    EXPECT_EQ(QString("p-leave"), got[1].path);
}

TEST_F(OrbiZo3NotifierTest, LiveArrivalAndDepartureOverTheSimulatedBus) {
    OrbiZo3Notifier notifier;
    recorder.watch(&notifier);
    plugTable("ZO3-LIVE");
    ASSERT_TRUE(recorder.waitFor(1));
    SimulatedUsbBus::instance().unplug("ZO3-LIVE");
    ASSERT_TRUE(recorder.waitFor(2));

    const auto got = recorder.snapshot();
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ(SignalRecorder::Kind::Arrival, got[0].kind);
    EXPECT_EQ(
        QString("\\\\?\\usb#vid_1209&pid_7a03#zo3-live#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"),
        got[0].path);
    EXPECT_NE(std::this_thread::get_id(), got[0].thread);
    EXPECT_EQ(SignalRecorder::Kind::Departure, got[1].kind);
    EXPECT_EQ(got[0].path, got[1].path);
}

TEST_F(OrbiZo3NotifierTest, StartupCheckReportsOnlyTheFirstPresentTableOnce) {
    for (int tables : {1, 2}) {
        SCOPED_TRACE(tables);
        plugTable("ZO3-FIRST");
        if (tables == 2) plugTable("ZO3-SECOND");
        const auto present = Korvane::DeviceDriver::OrbiZo::USB::findDevicePaths(kVid, kPid);
        ASSERT_EQ(static_cast<std::size_t>(tables), present.size());

        SignalRecorder startup;
        {
            OrbiZo3Notifier notifier;
            startup.watch(&notifier);
            notifier.checkConnectedDevice();
            ASSERT_TRUE(startup.waitFor(1));
        }  // the notifier's destruction waits for its check to end
        const auto got = startup.snapshot();
        ASSERT_EQ(1u, got.size());
        EXPECT_EQ(SignalRecorder::Kind::Arrival, got[0].kind);
        EXPECT_EQ(QString::fromStdString(present.front()), got[0].path);
        EXPECT_NE(std::this_thread::get_id(), got[0].thread);
        SimulatedUsbBus::instance().unplugAll();
    }
}

TEST_F(OrbiZo3NotifierTest, StartupCheckWithoutTableReportsNothing) {
    {
        OrbiZo3Notifier notifier;
        recorder.watch(&notifier);
        notifier.checkConnectedDevice();
    }
    EXPECT_TRUE(recorder.snapshot().empty());
}

TEST_F(OrbiZo3NotifierTest, DestroyedRightAfterStartupCheck) {
    plugTable("ZO3-PRESENT");
    for (int round = 0; round < 20; ++round) {
        auto* notifier = new OrbiZo3Notifier;
        recorder.watch(notifier);
        notifier->checkConnectedDevice();
        delete notifier;
    }
    // Each notifier waited for its check, which found the table before the notifier went away.
    EXPECT_EQ(20u, recorder.snapshot().size());
}

}  // namespace
