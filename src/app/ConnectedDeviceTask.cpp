#include "app/ConnectedDeviceTask.h"

#include <vector>

#include "usb/DeviceDiscovery.h"

ConnectedDeviceTask::ConnectedDeviceTask(
    OrbiZo3Notifier* context, ReportFunction report,
    const Korvane::Utilities::USB::USBNotification::FilterList& devices, FinishedFunction finished)
    : context(context), report(report), devices(devices), finished(finished) {
    setAutoDelete(true);
}

ConnectedDeviceTask::~ConnectedDeviceTask() {
    if (finished != nullptr) finished(context);
}

void ConnectedDeviceTask::run() {
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
