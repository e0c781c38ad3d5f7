#pragma once

#include <functional>
#include <memory>

#include "platform/usbhost/simulated/SimulatedUsbConnection.h"
#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

// A UsbDeviceSession on the simulated bus. Closing it ends its connection (see
// SimulatedUsbConnection::close) and then runs onClosed, which frees the device for the next
// open.
class SimulatedUsbSession : public UsbDeviceSession {
public:
    SimulatedUsbSession(std::shared_ptr<SimulatedUsbConnection> connection,
                        std::function<void()> onClosed);
    ~SimulatedUsbSession() override;

    UsbError getDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t languageId,
                           std::uint8_t* buffer, std::uint32_t length,
                           std::uint32_t& transferred) override;
    UsbError controlTransfer(const UsbSetupPacket& setup, std::uint8_t* buffer,
                             std::uint32_t& transferred) override;
    UsbError submitBulk(std::uint8_t endpoint, std::uint8_t* buffer, std::uint32_t length,
                        UsbTransferCallback done) override;
    UsbError cancelEndpoint(std::uint8_t endpoint) override;
    UsbError resetEndpoint(std::uint8_t endpoint) override;

private:
    std::shared_ptr<SimulatedUsbConnection> connection;
    std::function<void()> onClosed;
};

}  // namespace Platform
}  // namespace Korvane
