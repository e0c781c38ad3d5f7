#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "usb/USBNotification.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {
namespace Test {

// What one callback of the notification service carried, and on which thread.
struct NotificationRecord {
    std::uint32_t vendorId;
    std::uint32_t productId;
    std::int32_t event;
    std::string devicePath;
    std::thread::id thread;
};

// Collects the callbacks of a notification service from whatever thread they come.
class NotificationRecorder {
public:
    USBNotification::Callback callback() {
        return [this](std::uint32_t vendorId, std::uint32_t productId, std::int32_t event,
                      const std::string& devicePath) {
            std::lock_guard<std::mutex> guard(mutex);
            records.push_back({vendorId, productId, event, devicePath, std::this_thread::get_id()});
            changed.notify_all();
        };
    }

    // true once at least count callbacks have come; generous deadline, not a timing check.
    bool waitFor(std::size_t count, std::chrono::seconds deadline = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> guard(mutex);
        return changed.wait_for(guard, deadline, [&] { return records.size() >= count; });
    }

    std::vector<NotificationRecord> snapshot() {
        std::lock_guard<std::mutex> guard(mutex);
        return records;
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<NotificationRecord> records;
};

}  // namespace Test
}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
