#include "firmware/DeviceConnection.h"

#include <QObject>
#include <boost/make_shared.hpp>

#include "communication/OrbiTableComManager.h"
#include "firmware/OrbiTableFlashDataHandle.h"
#include "firmware/OrbiZo3FirmwareHandle.h"
#include "usb/ConverterLatency.h"
#include "utilities/ErrorCodes.h"
#include "utilities/KorvaneException.h"
#include "utilities/MessageException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Firmware {

using Communication::OrbiTableComManager;
using Korvane::Utilities::KorvaneException;

using Korvane::Utilities::RunSettings;

static_assert(RunSettings::kDefaultLatencyTimerMs ==
                      Korvane::DeviceDriver::OrbiZo::USB::kDefaultLatencyTimerMs &&
                  RunSettings::kKeepConverterLatencyTimer ==
                      Korvane::DeviceDriver::OrbiZo::USB::kKeepConverterLatencyTimer,
              "the settings speak of the latency timer as the USB layer does");

DeviceConnection::DeviceConnection(const QString& devicePath, const RunSettings& settings)
    : devicePath(devicePath), latencyTimerMs(settings.latencyTimerMs()), clock(settings.clock()) {}

DeviceConnection::~DeviceConnection() {
    // The manager is shared by both handles: the device closes when the last one lets go.
    firmwareHandlePart.reset();
    flashDataHandle.reset();
    managerPart.reset();
}

MessageException DeviceConnection::noTableConnected() {
    return MessageException(QObject::tr("No OrbiZo3 connected"),
                            QObject::tr("Connect an OrbiZo3 instrument."));
}

DeviceConnection::ManagerPtr DeviceConnection::manager() {
    if (!managerPart && !firmwareHandlePart) connect();
    return managerPart;
}

DeviceConnection::FirmwareHandlePtr DeviceConnection::firmwareHandle() {
    if (!managerPart && !firmwareHandlePart) connect();
    return firmwareHandlePart;
}

void DeviceConnection::connect() {
    if (devicePath.isEmpty()) throw noTableConnected();
    try {
        auto newManager = boost::make_shared<OrbiTableComManager>(devicePath.toStdString(),
                                                                  latencyTimerMs, clock);
        auto newFlashDataHandle = boost::make_shared<OrbiTableFlashDataHandle>(newManager);
        auto newFirmwareHandle = boost::make_shared<OrbiZo3FirmwareHandle>(newManager);
        managerPart = std::move(newManager);
        flashDataHandle = std::move(newFlashDataHandle);
        firmwareHandlePart = std::move(newFirmwareHandle);
    } catch (const KorvaneException& cause) {
        if (cause.code == Korvane::DeviceDriver::OrbiZo::ErrorCode::DeviceInUse)
            throw MessageException(QObject::tr("This OrbiZo3 is already in use"),
                                   QObject::tr("Please quit all Orbi applications first."));
        if (cause.code == Korvane::DeviceDriver::OrbiZo::ErrorCode::DeviceAccessDenied)
            throw MessageException(
                QObject::tr("No permission to use this OrbiZo3"),
                QObject::tr("Install the udev rule 70-orbizo3.rules (see the README), then "
                            "unplug and replug the OrbiZo3."),
                cause);
        // The converter refused a write while the table stayed plugged in.
        if (cause.code == Korvane::DeviceDriver::OrbiZo::ErrorCode::WriteFailed)
            throw MessageException(
                QObject::tr("Write to OrbiZo3 failed"),
                QObject::tr("Please try it again. If it fails again, disconnect and reconnect "
                            "the OrbiZo3."),
                cause);
        throw MessageException(
            QObject::tr("OrbiZo3 disconnected"),
            QObject::tr("Please disconnect and reconnect the OrbiZo3 and try it again."), cause);
    }
}

}  // namespace Firmware
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
