#pragma once

#include <atomic>
#include <string>

#include <QRunnable>

#include "usb/USBNotification.h"

class OrbiZo3Notifier;

// Looks once, on a pool thread, for a table that was plugged in before the notifier started
// and reports the first one found. Deleted by the pool after run.
class ConnectedDeviceTask : public QRunnable {
public:
    using ReportFunction = void (*)(const std::string& devicePath, OrbiZo3Notifier* context);
    // Called from the destructor: the last moment the task touches its context.
    using FinishedFunction = void (*)(OrbiZo3Notifier* context);

    ConnectedDeviceTask(
        OrbiZo3Notifier* context, ReportFunction report,
        const Korvane::DeviceDriver::OrbiZo::USB::USBNotification::FilterList& devices,
        FinishedFunction finished);
    ~ConnectedDeviceTask() override;

    // For each pair in order, the present devices with that pair; the first path of the first
    // pair that has any is reported, nothing else.
    void run() override;

private:
    OrbiZo3Notifier* context;  // not owned; outlives the task (its destructor waits for us)
    ReportFunction report;
    Korvane::DeviceDriver::OrbiZo::USB::USBNotification::FilterList devices;
    FinishedFunction finished;
    // Set last by the constructor, read first by run(). The pool hands the task to a waiting
    // thread through Qt's own locks, which ThreadSanitizer cannot see; this release/acquire pair
    // states the hand-over where it can.
    std::atomic<bool> constructed{false};
};
