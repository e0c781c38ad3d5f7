#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "NotificationRecorder.h"
#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "platform/win32/Win32.h"
#include "support/ScriptedUsbDevice.h"
#include "usb/InterfaceClassTable.h"
#include "usb/USBNotification_WinUSB.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {
namespace Test {
namespace {

using Platform::SimulatedUsbBus;
using Testing::ScriptedUsbDevice;

const std::uint32_t kVid = DeviceDriver::OrbiZo::kOrbiZo3VendorId;
const std::uint32_t kPid = DeviceDriver::OrbiZo::kOrbiZo3ProductId;
const USBNotification::FilterList kTableOnly = {{kVid, kPid}};

std::string tablePath(const std::string& lowerCaseInstance) {
    return "\\\\?\\usb#vid_1209&pid_7a03#" + lowerCaseInstance +
           "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

class USBNotificationTest : public ::testing::Test {
protected:
    void TearDown() override {
        service.stop();
        SimulatedUsbBus::instance().unplugAll();
    }

    void plug(std::uint16_t vendorId, std::uint16_t productId, const std::string& instance) {
        SimulatedUsbBus::instance().plug(
            std::make_shared<ScriptedUsbDevice>(vendorId, productId, instance));
    }

    // Declared before the service: the service's thread may call it until the service is gone.
    NotificationRecorder recorder;
    USBNotification_WinUSB service;
};

TEST_F(USBNotificationTest, ReportsArrivalAndDepartureWithLowerCasedPathOnItsOwnThread) {
    service.start(kTableOnly, recorder.callback());
    plug(kVid, kPid, "ZO3-Ab12");
    ASSERT_TRUE(recorder.waitFor(1));
    SimulatedUsbBus::instance().unplug("ZO3-Ab12");
    ASSERT_TRUE(recorder.waitFor(2));

    const auto records = recorder.snapshot();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(kVid, records[0].vendorId);
    EXPECT_EQ(kPid, records[0].productId);
    EXPECT_EQ(USBNotification::kArrival, records[0].event);
    EXPECT_EQ(tablePath("zo3-ab12"), records[0].devicePath);
    EXPECT_NE(std::this_thread::get_id(), records[0].thread);
    EXPECT_EQ(USBNotification::kDeparture, records[1].event);
    EXPECT_EQ(records[0].devicePath, records[1].devicePath);
}

TEST_F(USBNotificationTest, IgnoresOtherPairsAndZeroIdentifiers) {
    service.start({{kVid, kPid}, {0, kPid}, {kVid, 0}, {0, 0}}, recorder.callback());
    plug(kVid, 0x0001, "OTHER-PID");
    plug(0x1234, kPid, "OTHER-VID");
    plug(0, kPid, "ZERO-VID");
    plug(kVid, 0, "ZERO-PID");
    // Events come in order on one thread: once the table is reported, the others were dropped.
    plug(kVid, kPid, "TABLE");
    ASSERT_TRUE(recorder.waitFor(1));
    service.stop();

    const auto records = recorder.snapshot();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(tablePath("table"), records[0].devicePath);
}

TEST_F(USBNotificationTest, StartWithEmptyFilterOrCallbackDoesNothing) {
    service.start({}, recorder.callback());
    EXPECT_TRUE(service.getFilter().empty());
    service.start(kTableOnly, USBNotification::Callback());
    EXPECT_TRUE(service.getFilter().empty());

    // Neither call left the service running: a proper start still takes effect.
    service.start(kTableOnly, recorder.callback());
    EXPECT_EQ(kTableOnly, service.getFilter());
    plug(kVid, kPid, "T1");
    EXPECT_TRUE(recorder.waitFor(1));
}

TEST_F(USBNotificationTest, SecondStartKeepsFirstFilterAndCallback) {
    NotificationRecorder second;
    service.start(kTableOnly, recorder.callback());
    service.start({{0xABC, 0x123}}, second.callback());
    EXPECT_EQ(kTableOnly, service.getFilter());

    plug(kVid, kPid, "T1");
    ASSERT_TRUE(recorder.waitFor(1));
    service.stop();
    EXPECT_TRUE(second.snapshot().empty());
}

TEST_F(USBNotificationTest, StopBeforeStartAndTwiceIsHarmlessAndStartRunsAgainAfterStop) {
    service.stop();
    service.start({{0xABC, 0x123}}, recorder.callback());
    service.stop();
    service.stop();
    EXPECT_EQ((USBNotification::FilterList{{0xABC, 0x123}}), service.getFilter());

    NotificationRecorder second;
    service.start(kTableOnly, second.callback());
    EXPECT_EQ(kTableOnly, service.getFilter());
    plug(kVid, kPid, "T1");
    ASSERT_TRUE(second.waitFor(1));
    EXPECT_EQ(tablePath("t1"), second.snapshot()[0].devicePath);
    EXPECT_TRUE(recorder.snapshot().empty());
}

TEST_F(USBNotificationTest, StopWhileEventsArriveEndsCleanlyAndNothingComesAfterIt) {
    service.start(kTableOnly, recorder.callback());
    std::atomic<bool> running{true};
    std::thread plugger([&] {
        for (int i = 0; running && i < 2000; ++i) {
            plug(kVid, kPid, "FLAPPING");
            SimulatedUsbBus::instance().unplug("FLAPPING");
        }
    });
    ASSERT_TRUE(recorder.waitFor(4));
    service.stop();
    const std::size_t afterStop = recorder.snapshot().size();
    running = false;
    plugger.join();

    plug(kVid, kPid, "LATE");
    SimulatedUsbBus::instance().unplug("LATE");
    EXPECT_EQ(afterStop, recorder.snapshot().size());
}

TEST_F(USBNotificationTest, PairWithKnownClassIsWatchedThroughThatClassOnce) {
    // The generic class, when the table names it for the pair, is registered once only: a
    // second registration would report every event twice.
    InterfaceClassTable::instance().add(kVid, kPid, GUID_DEVINTERFACE_USB_DEVICE);
    service.start(kTableOnly, recorder.callback());
    InterfaceClassTable::instance().clear();
    plug(kVid, kPid, "T1");
    SimulatedUsbBus::instance().unplug("T1");
    ASSERT_TRUE(recorder.waitFor(2));
    service.stop();

    const auto records = recorder.snapshot();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(USBNotification::kArrival, records[0].event);
    EXPECT_EQ(USBNotification::kDeparture, records[1].event);
}

// Device-change messages handed to the service directly, as the notificator's window would.
class DeviceChangeTest : public USBNotificationTest {
protected:
    void SetUp() override {
        service.start({{0xABC, 0x123}, {kVid, kPid}, {kVid, 0}}, recorder.callback());
    }

    // A DEV_BROADCAST_DEVICEINTERFACE_W record carrying name. With terminate false the name
    // fills the record to its declared end without a NUL.
    static std::vector<unsigned char> record(const std::string& name, DWORD deviceType,
                                             bool terminate = true) {
        const std::size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
        const std::size_t characters = name.size() + (terminate ? 1 : 0);
        std::vector<unsigned char> bytes(std::max(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W),
                                                  nameOffset + characters * sizeof(WCHAR)));
        auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
        header->dbcc_size = static_cast<DWORD>(nameOffset + characters * sizeof(WCHAR));
        header->dbcc_devicetype = deviceType;
        header->dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
        auto* text = reinterpret_cast<WCHAR*>(bytes.data() + nameOffset);
        for (std::size_t i = 0; i < name.size(); ++i) text[i] = static_cast<WCHAR>(name[i]);
        return bytes;
    }
};

struct DeviceChangeCase {
    const char* label;
    WPARAM event;
    DWORD deviceType;
    const char* name;
    bool reported;
    std::int32_t expectedEvent;
    std::uint32_t vendorId;
    std::uint32_t productId;
};

const char kUpperPath[] =
    "\\\\?\\USB#VID_0ABC&PID_0123#SN-X#{A5DCBF10-6530-11D2-901F-00C04FB951ED}";
const char kLowerPath[] =
    "\\\\?\\usb#vid_0abc&pid_0123#sn-x#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

const DeviceChangeCase kDeviceChangeCases[] = {
    {"arrival", DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, kUpperPath, true, 1, 0xABC, 0x123},
    {"remove complete", DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE, kUpperPath, true, 0,
     0xABC, 0x123},
    {"query remove", 0x8001, DBT_DEVTYP_DEVICEINTERFACE, kUpperPath, false, 0, 0, 0},
    {"remove pending", 0x8003, DBT_DEVTYP_DEVICEINTERFACE, kUpperPath, false, 0, 0, 0},
    {"handle record", DBT_DEVICEARRIVAL, 6, kUpperPath, false, 0, 0, 0},
    {"volume record", DBT_DEVICEARRIVAL, 2, kUpperPath, false, 0, 0, 0},
    {"no pair in path", DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE, "\\\\?\\hid#keyboard", false,
     0, 0, 0},
    {"pair not watched", DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE,
     "\\\\?\\usb#vid_1234&pid_5678#x#{a}", false, 0, 0, 0},
    {"zero product", DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE,
     "\\\\?\\usb#vid_1209&pid_0000#x#{a}", false, 0, 0, 0},
    {"interface suffix", DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE,
     "\\\\?\\usb#vid_1209&pid_7a03&mi_00#x#{a}", true, 1, kVid, kPid},
};

TEST_F(DeviceChangeTest, FiltersEventsRecordsAndPairs) {
    for (const DeviceChangeCase& c : kDeviceChangeCases) {
        SCOPED_TRACE(c.label);
        std::vector<unsigned char> bytes = record(c.name, c.deviceType);
        const std::size_t before = recorder.snapshot().size();
        service.onDeviceChange(WM_DEVICECHANGE, c.event, reinterpret_cast<LPARAM>(bytes.data()));
        const auto records = recorder.snapshot();
        ASSERT_EQ(before + (c.reported ? 1 : 0), records.size());
        if (!c.reported) continue;
        EXPECT_EQ(c.expectedEvent, records.back().event);
        EXPECT_EQ(c.vendorId, records.back().vendorId);
        EXPECT_EQ(c.productId, records.back().productId);
    }
    EXPECT_EQ(kLowerPath, recorder.snapshot().front().devicePath);
}

TEST_F(DeviceChangeTest, MissingRecordIsIgnored) {
    service.onDeviceChange(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    EXPECT_TRUE(recorder.snapshot().empty());
}

TEST_F(DeviceChangeTest, RecordTooShortForItsClassIsIgnored) {
    // Only the header is there: neither the class nor the name may be read.
    std::vector<unsigned char> bytes(sizeof(DEV_BROADCAST_HDR));
    auto* header = reinterpret_cast<DEV_BROADCAST_HDR*>(bytes.data());
    header->dbch_size = sizeof(DEV_BROADCAST_HDR);
    header->dbch_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    service.onDeviceChange(WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                           reinterpret_cast<LPARAM>(bytes.data()));
    EXPECT_TRUE(recorder.snapshot().empty());
}

TEST_F(DeviceChangeTest, NameIsReadNoFurtherThanTheRecordDeclares) {
    const std::string name = "\\\\?\\usb#vid_1209&pid_7a03#UNTERMINATED";
    std::vector<unsigned char> bytes = record(name, DBT_DEVTYP_DEVICEINTERFACE, false);
    // The record ends exactly where the name does: nothing beyond it may be read.
    bytes.resize(reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data())->dbcc_size);
    bytes.shrink_to_fit();
    service.onDeviceChange(WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                           reinterpret_cast<LPARAM>(bytes.data()));
    const auto records = recorder.snapshot();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ("\\\\?\\usb#vid_1209&pid_7a03#unterminated", records[0].devicePath);
}

}  // namespace
}  // namespace Test
}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
