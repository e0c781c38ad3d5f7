#ifndef _WIN32

#include "platform/usbhost/libusb/LibusbContext.h"

#include <algorithm>
#include <sstream>

#include "platform/usbhost/libusb/LibusbDeviceSession.h"

namespace Korvane {
namespace Platform {

namespace {

// USB 3 allows seven tiers of hubs below the root port.
constexpr int kMaxPortDepth = 7;

// libusb_handle_events wakes at least this often even when nobody interrupts it.
constexpr int kEventPollSeconds = 1;

}  // namespace

LibusbContext::LibusbContext() {
    if (libusb_init(&context) != LIBUSB_SUCCESS) {
        context = nullptr;
        return;
    }
    // Devices present at start come before every later arrival.
    presentDevices();
    if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        const int events = LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT;
        hotplugRegistered =
            libusb_hotplug_register_callback(
                context, static_cast<libusb_hotplug_event>(events), LIBUSB_HOTPLUG_NO_FLAGS,
                LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
                &LibusbContext::onHotplug, this, &hotplugHandle) == LIBUSB_SUCCESS;
    }
    eventThread = std::thread([this] { runEvents(); });
    hotplugThread = std::thread([this] { runHotplug(); });
}

LibusbContext::~LibusbContext() {
    if (!context) return;
    if (hotplugRegistered) libusb_hotplug_deregister_callback(context, hotplugHandle);
    eventsStopping = true;
    libusb_interrupt_event_handler(context);
    eventThread.join();
    {
        std::lock_guard<std::mutex> lock(newsMutex);
        stopping = true;
    }
    newsArrived.notify_all();
    hotplugThread.join();
    libusb_exit(context);
}

void LibusbContext::runEvents() {
    while (!eventsStopping) {
        timeval wait{kEventPollSeconds, 0};
        libusb_handle_events_timeout_completed(context, &wait, nullptr);
    }
}

bool LibusbContext::describe(libusb_device* device, UsbDeviceInfo& info) {
    std::uint8_t ports[kMaxPortDepth];
    const int depth = libusb_get_port_numbers(device, ports, kMaxPortDepth);
    if (depth <= 0) return false;  // a root hub, or a topology libusb cannot tell
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) return false;

    std::ostringstream id;
    id << static_cast<int>(libusb_get_bus_number(device));
    for (int i = 0; i < depth; ++i) id << (i == 0 ? '-' : '.') << static_cast<int>(ports[i]);
    info.vendorId = descriptor.idVendor;
    info.productId = descriptor.idProduct;
    info.instanceId = id.str();
    return true;
}

std::uint64_t LibusbContext::arrivalNumber(const std::string& instanceId) {
    auto found = arrivals.find(instanceId);
    if (found != arrivals.end()) return found->second;
    arrivals.emplace(instanceId, nextArrival);
    return nextArrival++;
}

std::vector<UsbDeviceInfo> LibusbContext::presentDevices() {
    std::vector<UsbDeviceInfo> present;
    if (!context) return present;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0) return present;
    for (ssize_t i = 0; i < count; ++i) {
        UsbDeviceInfo info;
        if (describe(list[i], info)) present.push_back(info);
    }
    libusb_free_device_list(list, 1);

    std::vector<std::pair<std::uint64_t, UsbDeviceInfo>> ordered;
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        for (const UsbDeviceInfo& info : present)
            ordered.emplace_back(arrivalNumber(info.instanceId), info);
    }
    std::sort(ordered.begin(), ordered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    present.clear();
    for (const auto& entry : ordered) present.push_back(entry.second);
    return present;
}

libusb_device* LibusbContext::findDevice(const std::string& instanceId) {
    if (!context) return nullptr;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0) return nullptr;
    libusb_device* match = nullptr;
    for (ssize_t i = 0; i < count && !match; ++i) {
        UsbDeviceInfo info;
        if (describe(list[i], info) && info.instanceId == instanceId)
            match = libusb_ref_device(list[i]);
    }
    libusb_free_device_list(list, 1);
    return match;
}

bool LibusbContext::reserve(const std::string& instanceId) {
    std::lock_guard<std::mutex> lock(stateMutex);
    return openDevices.emplace(instanceId, nullptr).second;
}

void LibusbContext::attach(const std::string& instanceId, LibusbDeviceSession* session) {
    std::lock_guard<std::mutex> lock(stateMutex);
    auto found = openDevices.find(instanceId);
    if (found != openDevices.end() && found->second == nullptr) found->second = session;
}

void LibusbContext::release(const std::string& instanceId, LibusbDeviceSession* session) {
    std::lock_guard<std::mutex> lock(stateMutex);
    auto found = openDevices.find(instanceId);
    if (found != openDevices.end() && found->second == session) openDevices.erase(found);
}

int LIBUSB_CALL LibusbContext::onHotplug(libusb_context*, libusb_device* device,
                                         libusb_hotplug_event event, void* self) {
    UsbDeviceInfo info;
    if (!describe(device, info)) return 0;
    auto* owner = static_cast<LibusbContext*>(self);
    if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED)
        owner->deviceArrived(info);
    else
        owner->deviceLeft(info);
    return 0;  // stay registered
}

// Runs on the event thread.
void LibusbContext::deviceArrived(const UsbDeviceInfo& info) {
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        arrivalNumber(info.instanceId);
    }
    std::lock_guard<std::mutex> lock(newsMutex);
    news.push_back({info, true});
    newsArrived.notify_one();
}

// Runs on the event thread. The open session learns of it at once (its pending transfers must
// end even where the operating system keeps them waiting); the device id is free for the next
// arrival at the same port.
void LibusbContext::deviceLeft(const UsbDeviceInfo& info) {
    {
        std::lock_guard<std::mutex> lock(stateMutex);
        arrivals.erase(info.instanceId);
        auto found = openDevices.find(info.instanceId);
        if (found != openDevices.end() && found->second) {
            found->second->deviceLeft();
            openDevices.erase(found);
        }
    }
    std::lock_guard<std::mutex> lock(newsMutex);
    news.push_back({info, false});
    newsArrived.notify_one();
}

void LibusbContext::runHotplug() {
    for (;;) {
        HotplugNews next;
        {
            std::unique_lock<std::mutex> lock(newsMutex);
            newsArrived.wait(lock, [this] { return stopping || !news.empty(); });
            if (stopping) return;
            next = news.front();
            news.pop_front();
        }
        std::vector<std::uint64_t> ids;
        {
            std::lock_guard<std::mutex> lock(subscriberMutex);
            for (const auto& entry : subscribers) ids.push_back(entry.first);
        }
        for (std::uint64_t id : ids) {
            std::lock_guard<std::mutex> calling(callMutex);
            std::shared_ptr<UsbHost::HotplugCallback> callback;
            {
                std::lock_guard<std::mutex> lock(subscriberMutex);
                auto found = subscribers.find(id);
                if (found != subscribers.end()) callback = found->second;
            }
            if (callback && *callback) (*callback)(next.device, next.arrived);
        }
    }
}

std::uint64_t LibusbContext::subscribe(UsbHost::HotplugCallback callback) {
    std::lock_guard<std::mutex> lock(subscriberMutex);
    const std::uint64_t id = nextSubscriber++;
    subscribers.emplace(id, std::make_shared<UsbHost::HotplugCallback>(std::move(callback)));
    return id;
}

void LibusbContext::unsubscribe(std::uint64_t id) {
    {
        std::lock_guard<std::mutex> lock(subscriberMutex);
        subscribers.erase(id);
    }
    // A call of that subscriber that is running now ends before we return.
    std::lock_guard<std::mutex> waitForCall(callMutex);
}

}  // namespace Platform
}  // namespace Korvane

#endif  // _WIN32
