#include "platform/usbhost/HotplugSubscribers.h"

#include <vector>

namespace Korvane {
namespace Platform {

std::uint64_t HotplugSubscribers::add(UsbHost::HotplugCallback callback) {
    auto subscriber = std::make_shared<Subscriber>();
    subscriber->callback = std::move(callback);
    std::lock_guard<std::mutex> lock(mutex);
    std::uint64_t id = nextId++;
    subscribers.emplace(id, std::move(subscriber));
    return id;
}

void HotplugSubscribers::remove(std::uint64_t id) {
    std::unique_lock<std::mutex> lock(mutex);
    auto it = subscribers.find(id);
    if (it == subscribers.end()) return;
    std::shared_ptr<Subscriber> subscriber = it->second;
    subscriber->removed = true;
    subscribers.erase(it);
    idle.wait(lock, [&] { return subscriber->running == 0; });
}

void HotplugSubscribers::notify(const UsbDeviceInfo& device, bool arrived) {
    std::vector<std::shared_ptr<Subscriber>> snapshot;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto& entry : subscribers) snapshot.push_back(entry.second);
    }
    for (auto& subscriber : snapshot) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (subscriber->removed) continue;
            ++subscriber->running;
        }
        subscriber->callback(device, arrived);
        {
            std::lock_guard<std::mutex> lock(mutex);
            --subscriber->running;
        }
        idle.notify_all();
    }
}

}  // namespace Platform
}  // namespace Korvane
