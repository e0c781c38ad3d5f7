#include "app/ConnectedDeviceTask.h"

#include <vector>

#include "usb/DeviceDiscovery.h"

ConnectedDeviceTask::ConnectedDeviceTask(
    OrbiZo3Notifier* context, ReportFunction report,
    const Korvane::DeviceDriver::OrbiZo::USB::USBNotification::FilterList& devices,
    FinishedFunction finished)
    : context(context), report(report), devices(devices), finished(finished) {
    setAutoDelete(true);
    constructed.store(true, std::memory_order_release);
}

ConnectedDeviceTask::~ConnectedDeviceTask() {
    if (finished != nullptr) finished(context);
}

void ConnectedDeviceTask::run() {
    constructed.load(std::memory_order_acquire);
    // Nothing may leave run(): an exception on a pool thread would end the process.
    try {
        for (const auto& pair : devices) {
            const std::vector<std::string> paths =
                Korvane::DeviceDriver::OrbiZo::USB::findDevicePaths(pair.first, pair.second);
            if (!paths.empty()) {
                report(paths.front(), context);
                return;
            }
        }
    } catch (...) {
    }
}
