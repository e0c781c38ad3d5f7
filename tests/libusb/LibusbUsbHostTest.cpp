#include <cerrno>

#include "libusb/LibusbTestbed.h"
#include "platform/win32/Win32.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Platform {

inline bool operator==(const UsbDeviceInfo& a, const UsbDeviceInfo& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId && a.instanceId == b.instanceId;
}

inline void PrintTo(const UsbDeviceInfo& info, std::ostream* out) {
    *out << std::hex << info.vendorId << ":" << info.productId << " " << info.instanceId;
}

namespace Testing {

namespace {

constexpr std::uint16_t kVid = ::Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId;
constexpr std::uint16_t kPid = ::Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId;

struct HotplugLog {
    Waiter waiter;
    std::vector<std::pair<UsbDeviceInfo, bool>> news;

    UsbHost::HotplugCallback callback() {
        return [this](const UsbDeviceInfo& device, bool arrived) {
            waiter.signal([&] { news.emplace_back(device, arrived); });
        };
    }
    bool waitForCount(std::size_t count) {
        return waiter.waitFor([&] { return news.size() >= count; });
    }
};

using LibusbUsbHostTest = LibusbTestbed;

TEST_F(LibusbUsbHostTest, BusWithoutDevicesListsAndOpensNothing) {
    LibusbUsbHost& usb = startHost();
    EXPECT_TRUE(usb.presentDevices().empty());
    std::unique_ptr<UsbDeviceSession> session;
    EXPECT_EQ(usb.open("1-4", session), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(session, nullptr);
    const std::uint64_t id = usb.subscribe([](const UsbDeviceInfo&, bool) {});
    EXPECT_NE(id, 0u);
    usb.unsubscribe(id);
}

TEST_F(LibusbUsbHostTest, ListsTablesByBusAndPortChainWithoutOpeningThem) {
    plugTable("1-4", 2);
    UsbfsBridge::addHub(testbed, "1-3", 3);
    plugTable("1-3.2", 4, "ZO3-000124");
    LibusbUsbHost& usb = startHost();

    std::vector<UsbDeviceInfo> tables;
    for (const UsbDeviceInfo& info : usb.presentDevices())
        if (info.vendorId == kVid && info.productId == kPid) tables.push_back(info);
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_TRUE((tables[0] == UsbDeviceInfo{kVid, kPid, "1-4"} &&
                 tables[1] == UsbDeviceInfo{kVid, kPid, "1-3.2"}) ||
                (tables[1] == UsbDeviceInfo{kVid, kPid, "1-4"} &&
                 tables[0] == UsbDeviceInfo{kVid, kPid, "1-3.2"}));
    EXPECT_EQ(bridge(0).ioctls(), 0);
    EXPECT_EQ(bridge(1).ioctls(), 0);
}

TEST_F(LibusbUsbHostTest, OpenClaimsTheInterfaceOncePerProcessAndCloseReleasesIt) {
    plugTable("1-4", 2);
    LibusbUsbHost& usb = startHost();

    std::unique_ptr<UsbDeviceSession> first = openOrFail("1-4");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(bridge(0).claims(), 1);

    std::unique_ptr<UsbDeviceSession> second;
    EXPECT_EQ(usb.open("1-4", second), ERROR_ACCESS_DENIED);
    EXPECT_EQ(usb.open("1-9", second), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(second, nullptr);

    first.reset();
    EXPECT_EQ(bridge(0).releases(), 1);
    std::unique_ptr<UsbDeviceSession> again = openOrFail("1-4");
    EXPECT_NE(again, nullptr);
}

struct ClaimFailure {
    int kernelErrno;
    UsbError expected;
};

class LibusbClaimFailureTest : public LibusbTestbed,
                               public ::testing::WithParamInterface<ClaimFailure> {};

TEST_P(LibusbClaimFailureTest, RefusedClaimFailsTheOpenAndLeavesTheDeviceFree) {
    plugTable("1-4", 2);
    LibusbUsbHost& usb = startHost();
    bridge(0).failClaimWith(GetParam().kernelErrno);

    std::unique_ptr<UsbDeviceSession> session;
    EXPECT_EQ(usb.open("1-4", session), GetParam().expected);
    EXPECT_EQ(session, nullptr);

    bridge(0).failClaimWith(0);
    EXPECT_NE(openOrFail("1-4"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(KernelErrors, LibusbClaimFailureTest,
                         ::testing::Values(ClaimFailure{EBUSY, ERROR_BUSY},  // another program
                                           ClaimFailure{ENODEV, ERROR_FILE_NOT_FOUND}));

TEST_F(LibusbUsbHostTest, HotplugReportsArrivalAndDepartureInArrivalOrder) {
    plugTable("1-4", 2);
    LibusbUsbHost& usb = startHost();
    HotplugLog leaver;
    HotplugLog log;
    const std::uint64_t leaverId = usb.subscribe(leaver.callback());
    const std::uint64_t id = usb.subscribe(log.callback());

    plugTable("1-5", 5, "ZO3-000200");
    ASSERT_TRUE(log.waitForCount(1));
    EXPECT_EQ(log.news[0].first, (UsbDeviceInfo{kVid, kPid, "1-5"}));
    EXPECT_TRUE(log.news[0].second);
    EXPECT_EQ(usb.presentDevices(),
              (std::vector<UsbDeviceInfo>{{kVid, kPid, "1-4"}, {kVid, kPid, "1-5"}}));

    ASSERT_TRUE(leaver.waitForCount(1));
    usb.unsubscribe(leaverId);
    bridge(1).unplug();
    ASSERT_TRUE(log.waitForCount(2));
    EXPECT_EQ(log.news[1].first, (UsbDeviceInfo{kVid, kPid, "1-5"}));
    EXPECT_FALSE(log.news[1].second);
    EXPECT_EQ(usb.presentDevices(), (std::vector<UsbDeviceInfo>{{kVid, kPid, "1-4"}}));
    // Subscribers hear each piece of news in the order they subscribed: had the departure
    // reached the one that left, it would have reached it before the one still listening.
    EXPECT_EQ(leaver.news.size(), 1u);
    usb.unsubscribe(id);
}

}  // namespace

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane
