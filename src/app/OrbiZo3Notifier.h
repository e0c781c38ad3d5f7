#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include <QObject>
#include <QString>
#include <boost/shared_ptr.hpp>

#include "usb/USBNotification.h"

// Reports arrivals and departures of tables as Qt signals. The signals are emitted on foreign
// threads: the notification service's thread for live events, a global pool thread for the
// start-up check. Receivers connect directly and serialise on their own.
class OrbiZo3Notifier : public QObject {
    Q_OBJECT

public:
    // Starts watching the table's vendor/product pair. A null service means the operating
    // system's notification service; tests pass their own.
    explicit OrbiZo3Notifier(
        QObject* parent = nullptr,
        boost::shared_ptr<Korvane::DeviceDriver::OrbiZo::USB::USBNotification> service = {});
    // Waits for a running start-up check, then stops the service and its thread.
    ~OrbiZo3Notifier() override;

    // Looks once, on the global thread pool, for a table that is already plugged in and reports
    // the first one found as an arrival. Does nothing without a service.
    void checkConnectedDevice();

protected:
    Q_SIGNAL void OrbiZo3Arrival(const QString& xPath);
    Q_SIGNAL void OrbiZo3Departure(const QString& xPath);

private:
    void onDeviceEvent(std::uint32_t vendorId, std::uint32_t productId, std::int32_t event,
                       const std::string& devicePath);
    static void reportConnectedDevice(const std::string& devicePath, OrbiZo3Notifier* context);
    static void connectedDeviceTaskFinished(OrbiZo3Notifier* context);

    boost::shared_ptr<Korvane::DeviceDriver::OrbiZo::USB::USBNotification> service;

    // Start-up checks queued or running; the destructor waits for none to be left.
    std::mutex taskMutex;
    std::condition_variable taskDone;
    int pendingTasks = 0;
};
