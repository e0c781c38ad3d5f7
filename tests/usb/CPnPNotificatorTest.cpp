#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "platform/win32/Win32.h"
#include "support/ScriptedUsbDevice.h"
#include "usb/CPnPNotificator.h"
#include "usb/CPnPNotifyHandler.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {
namespace Test {
namespace {

using Platform::SimulatedUsbBus;
using Testing::ScriptedUsbDevice;

// Keeps what the window passed on: message, event, the record's device type and the thread.
class RecordingHandler : public CPnPNotifyHandler {
public:
    struct Message {
        UINT message;
        WPARAM event;
        DWORD deviceType;
        std::thread::id thread;
    };

    void onDeviceChange(UINT message, WPARAM event, LPARAM record) override {
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(record);
        std::lock_guard<std::mutex> guard(mutex);
        messages.push_back({message, event, header ? header->dbch_devicetype : 0xFFFFFFFFu,
                            std::this_thread::get_id()});
        changed.notify_all();
    }

    bool waitFor(std::size_t count) {
        std::unique_lock<std::mutex> guard(mutex);
        return changed.wait_for(guard, std::chrono::seconds(20),
                                [&] { return messages.size() >= count; });
    }

    std::vector<Message> snapshot() {
        std::lock_guard<std::mutex> guard(mutex);
        return messages;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Message> messages;
};

class CPnPNotificatorTest : public ::testing::Test {
protected:
    void TearDown() override { SimulatedUsbBus::instance().unplugAll(); }

    RecordingHandler handler;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
};

TEST_F(CPnPNotificatorTest, RefusesNullArgumentsAndSecondStart) {
    CPnPNotificator notificator;
    EXPECT_FALSE(notificator.start(nullptr, &handler));
    EXPECT_FALSE(notificator.start(instance, nullptr));
    EXPECT_FALSE(notificator.registerInterface(GUID_DEVINTERFACE_USB_DEVICE));

    EXPECT_TRUE(notificator.start(instance, &handler));
    EXPECT_FALSE(notificator.start(instance, &handler));
    EXPECT_TRUE(notificator.stop());
    EXPECT_FALSE(notificator.registerInterface(GUID_DEVINTERFACE_USB_DEVICE));
}

TEST_F(CPnPNotificatorTest, StartWithoutAWindowReportsFailure) {
    // The window class is taken while the first notificator runs, so the second thread can
    // make no window: its start must not claim success.
    CPnPNotificator first;
    ASSERT_TRUE(first.start(instance, &handler));
    CPnPNotificator second;
    EXPECT_FALSE(second.start(instance, &handler));
    EXPECT_FALSE(second.registerInterface(GUID_DEVINTERFACE_USB_DEVICE));
    EXPECT_TRUE(second.stop());
    EXPECT_TRUE(first.registerInterface(GUID_DEVINTERFACE_USB_DEVICE));
}

TEST_F(CPnPNotificatorTest, StopWithoutStartSucceeds) {
    CPnPNotificator notificator;
    EXPECT_TRUE(notificator.stop());
    EXPECT_TRUE(notificator.stop());
}

TEST_F(CPnPNotificatorTest, PassesDeviceChangesOfRegisteredClassOnItsOwnThread) {
    CPnPNotificator notificator;
    ASSERT_TRUE(notificator.start(instance, &handler));
    ASSERT_TRUE(notificator.registerInterface(GUID_DEVINTERFACE_USB_DEVICE));

    SimulatedUsbBus::instance().plug(std::make_shared<ScriptedUsbDevice>(1, 2, "N1"));
    SimulatedUsbBus::instance().unplug("N1");
    ASSERT_TRUE(handler.waitFor(2));
    EXPECT_TRUE(notificator.stop());

    const auto messages = handler.snapshot();
    ASSERT_EQ(2u, messages.size());
    EXPECT_EQ(static_cast<UINT>(WM_DEVICECHANGE), messages[0].message);
    EXPECT_EQ(static_cast<WPARAM>(DBT_DEVICEARRIVAL), messages[0].event);
    EXPECT_EQ(static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE), messages[1].event);
    EXPECT_EQ(static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE), messages[0].deviceType);
    EXPECT_NE(std::this_thread::get_id(), messages[0].thread);

    // Registrations end with stop: a later device reaches nobody.
    SimulatedUsbBus::instance().plug(std::make_shared<ScriptedUsbDevice>(1, 2, "N2"));
    EXPECT_EQ(2u, handler.snapshot().size());
}

TEST_F(CPnPNotificatorTest, CanRunAgainAfterAnotherNotificatorStopped) {
    // The window class is registered per thread lifetime; a second notificator after the
    // first has stopped gets its own window.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        CPnPNotificator notificator;
        EXPECT_TRUE(notificator.start(instance, &handler));
        EXPECT_TRUE(notificator.registerInterface(GUID_DEVINTERFACE_USB_DEVICE));
    }
}

}  // namespace
}  // namespace Test
}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
