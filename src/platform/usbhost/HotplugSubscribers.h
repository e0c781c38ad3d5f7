#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

// The hotplug subscribers of one USB host, with the guarantee UsbHost::unsubscribe gives:
// once remove() returns, that callback is not running and will not run again.
class HotplugSubscribers {
public:
    std::uint64_t add(UsbHost::HotplugCallback callback);
    // Must not be called from inside a callback of this list (it would wait for itself).
    void remove(std::uint64_t id);
    // Calls every subscriber on the calling thread, with no lock held during the calls.
    void notify(const UsbDeviceInfo& device, bool arrived);

private:
    struct Subscriber {
        UsbHost::HotplugCallback callback;
        int running = 0;
        bool removed = false;
    };

    std::mutex mutex;
    std::condition_variable idle;
    std::map<std::uint64_t, std::shared_ptr<Subscriber>> subscribers;
    std::uint64_t nextId = 1;
};

}  // namespace Platform
}  // namespace Korvane
