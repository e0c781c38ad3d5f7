#pragma once

#include <QString>
#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <cstdint>

#include "utilities/RunSettings.h"

class MessageException;

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Communication {
class OrbiTableComManager;
}
namespace Firmware {

class OrbiTableFlashDataHandle;
class OrbiZo3FirmwareHandle;

// One connection to one table, for one identification or one download. It opens the device
// lazily on the first request for the manager or the firmware handle and closes it when it is
// destroyed (and nobody else still holds the manager). Used by one thread.
//
// Connecting either sets all three parts or none. Its failures are turned into the user's
// MessageException: no path selected, the table held by another program, or any other device
// failure ("OrbiZo3 disconnected" with the cause as detail). A connection whose connecting
// failed is not to be used again.
class DeviceConnection : private boost::noncopyable {
public:
    using ManagerPtr = boost::shared_ptr<Communication::OrbiTableComManager>;
    using FlashDataHandlePtr = boost::shared_ptr<OrbiTableFlashDataHandle>;
    using FirmwareHandlePtr = boost::shared_ptr<OrbiZo3FirmwareHandle>;

    // Nothing is opened yet; the path may be empty. The settings give the converter latency
    // timer that connecting sets and the clock answer time-outs are measured on.
    explicit DeviceConnection(
        const QString& devicePath,
        const Korvane::Utilities::RunSettings& settings = Korvane::Utilities::RunSettings());
    // Releases the firmware handle, the flash data handle, then the manager.
    ~DeviceConnection();

    ManagerPtr manager();
    FirmwareHandlePtr firmwareHandle();

    bool isConnected() const { return managerPart != nullptr; }

    // What connecting without a table throws: "No OrbiZo3 connected" / "Connect an OrbiZo3
    // instrument.", no detail.
    static MessageException noTableConnected();

private:
    void connect();

    QString devicePath;
    std::uint8_t latencyTimerMs;
    std::shared_ptr<Korvane::Utilities::MonotonicClock> clock;
    ManagerPtr managerPart;
    FlashDataHandlePtr flashDataHandle;
    FirmwareHandlePtr firmwareHandlePart;
};

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
