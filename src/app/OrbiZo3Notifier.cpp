#include "app/OrbiZo3Notifier.h"

#include <QThreadPool>
#include <boost/make_shared.hpp>

#include "app/ConnectedDeviceTask.h"
#include "usb/USBNotification_WinUSB.h"
#include "utilities/OrbiZo3UsbIds.h"

using Korvane::DeviceDriver::OrbiZo::USB::USBNotification;

OrbiZo3Notifier::OrbiZo3Notifier(QObject* parent, boost::shared_ptr<USBNotification> service)
    : QObject(parent), service(service) {
    if (!this->service) {
        this->service =
            boost::make_shared<Korvane::DeviceDriver::OrbiZo::USB::USBNotification_WinUSB>();
    }
    USBNotification::FilterList watched;
    watched.emplace_back(Korvane::DeviceDriver::OrbiZo::kOrbiZo3VendorId,
                         Korvane::DeviceDriver::OrbiZo::kOrbiZo3ProductId);
    this->service->start(watched, [this](std::uint32_t vendorId, std::uint32_t productId,
                                         std::int32_t event, const std::string& devicePath) {
        onDeviceEvent(vendorId, productId, event, devicePath);
    });
}

OrbiZo3Notifier::~OrbiZo3Notifier() {
    {
        std::unique_lock<std::mutex> guard(taskMutex);
        taskDone.wait(guard, [this] { return pendingTasks == 0; });
    }
    service.reset();
}

void OrbiZo3Notifier::checkConnectedDevice() {
    if (!service) return;
    {
        std::lock_guard<std::mutex> guard(taskMutex);
        ++pendingTasks;
    }
    QThreadPool::globalInstance()->start(
        new ConnectedDeviceTask(this, &OrbiZo3Notifier::reportConnectedDevice, service->getFilter(),
                                &OrbiZo3Notifier::connectedDeviceTaskFinished),
        0);
}

void OrbiZo3Notifier::onDeviceEvent(std::uint32_t /*vendorId*/, std::uint32_t /*productId*/,
                                    std::int32_t event, const std::string& devicePath) {
    if (devicePath.empty()) return;
    if (event == USBNotification::kArrival) {
        emit OrbiZo3Arrival(QString::fromStdString(devicePath));
    } else if (event == USBNotification::kDeparture) {
        emit OrbiZo3Departure(QString::fromStdString(devicePath));
    }
}

void OrbiZo3Notifier::reportConnectedDevice(const std::string& devicePath,
                                            OrbiZo3Notifier* context) {
    try {
        emit context->OrbiZo3Arrival(QString::fromStdString(devicePath));
    } catch (...) {
    }
}

void OrbiZo3Notifier::connectedDeviceTaskFinished(OrbiZo3Notifier* context) {
    std::lock_guard<std::mutex> guard(context->taskMutex);
    --context->pendingTasks;
    // Notified under the lock: once it is released the notifier may be gone.
    context->taskDone.notify_all();
}
