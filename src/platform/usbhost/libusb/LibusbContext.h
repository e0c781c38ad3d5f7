#pragma once

// The libusb side of LibusbUsbHost, shared with its open sessions so that it outlives them:
// the libusb context, the one thread that handles libusb events (transfer completions,
// hotplug), the thread that hands hotplug news to subscribers, and the table of open devices.
//
// Threads:
// - the event thread runs libusb_handle_events until destruction; every transfer callback and
//   every libusb hotplug callback runs on it, so nothing running there may wait for a transfer;
// - the hotplug thread calls the subscribers, one call at a time, so that a subscriber may do
//   synchronous USB work (which would deadlock on the event thread);
// - every public function may be called from any thread but those two.

#include <libusb.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

class LibusbDeviceSession;

class LibusbContext {
public:
    // Starts libusb. When it cannot start (no USB on this machine, no usbfs), the context is
    // unusable: it has no devices, opens nothing and never reports hotplug, and says nothing.
    LibusbContext();
    // Stops both threads (after any running subscriber call) and ends libusb. The sessions hold
    // the context, so none is open any more.
    ~LibusbContext();

    LibusbContext(const LibusbContext&) = delete;
    LibusbContext& operator=(const LibusbContext&) = delete;

    bool usable() const { return context != nullptr; }
    libusb_context* handle() const { return context; }

    // The present devices in arrival order (the order this context first saw them), root hubs
    // left out.
    std::vector<UsbDeviceInfo> presentDevices();

    // The present device with this instance id, referenced (libusb_unref_device it), or null.
    libusb_device* findDevice(const std::string& instanceId);

    // Vendor, product and instance id ("<bus>-<port>.<port>...") of a device, from its cached
    // device descriptor and topology; nothing is opened. false for root hubs.
    static bool describe(libusb_device* device, UsbDeviceInfo& info);

    // One open per device in this process: reserve before opening (false when the device is
    // open already), attach the session once it exists, release when it closes (or when the
    // open failed, with session null). A departure detaches the session and tells it.
    bool reserve(const std::string& instanceId);
    void attach(const std::string& instanceId, LibusbDeviceSession* session);
    void release(const std::string& instanceId, LibusbDeviceSession* session);

    std::uint64_t subscribe(UsbHost::HotplugCallback callback);
    void unsubscribe(std::uint64_t id);

private:
    struct HotplugNews {
        UsbDeviceInfo device;
        bool arrived;
    };

    static int LIBUSB_CALL onHotplug(libusb_context* context, libusb_device* device,
                                     libusb_hotplug_event event, void* self);
    void deviceArrived(const UsbDeviceInfo& info);
    void deviceLeft(const UsbDeviceInfo& info);
    void runEvents();
    void runHotplug();
    std::uint64_t arrivalNumber(const std::string& instanceId);

    libusb_context* context = nullptr;
    bool hotplugRegistered = false;
    libusb_hotplug_callback_handle hotplugHandle{};

    std::mutex stateMutex;  // arrivals, openDevices
    std::map<std::string, std::uint64_t> arrivals;
    std::uint64_t nextArrival = 1;
    std::map<std::string, LibusbDeviceSession*> openDevices;

    std::mutex subscriberMutex;  // subscribers, nextSubscriber
    std::map<std::uint64_t, std::shared_ptr<UsbHost::HotplugCallback>> subscribers;
    std::uint64_t nextSubscriber = 1;
    std::mutex callMutex;  // held while a subscriber runs; unsubscribe waits on it

    std::mutex newsMutex;  // news, stopping
    std::condition_variable newsArrived;
    std::deque<HotplugNews> news;
    bool stopping = false;

    std::atomic<bool> eventsStopping{false};
    std::thread eventThread;
    std::thread hotplugThread;
};

}  // namespace Platform
}  // namespace Korvane
