#include "platform/usbhost/simulated/SimulatedUsbSession.h"

namespace Korvane {
namespace Platform {

SimulatedUsbSession::SimulatedUsbSession(std::shared_ptr<SimulatedUsbConnection> connection,
                                         std::function<void()> onClosed)
    : connection(std::move(connection)), onClosed(std::move(onClosed)) {}

SimulatedUsbSession::~SimulatedUsbSession() {
    connection->close();
    onClosed();
}

UsbError SimulatedUsbSession::getDescriptor(std::uint8_t type, std::uint8_t index,
                                            std::uint16_t languageId, std::uint8_t* buffer,
                                            std::uint32_t length, std::uint32_t& transferred) {
    return connection->getDescriptor(type, index, languageId, buffer, length, transferred);
}

UsbError SimulatedUsbSession::controlTransfer(const UsbSetupPacket& setup, std::uint8_t* buffer,
                                              std::uint32_t& transferred) {
    return connection->controlTransfer(setup, buffer, transferred);
}

UsbError SimulatedUsbSession::submitBulk(std::uint8_t endpoint, std::uint8_t* buffer,
                                         std::uint32_t length, UsbTransferCallback done) {
    return connection->submitBulk(endpoint, buffer, length, std::move(done));
}

UsbError SimulatedUsbSession::cancelEndpoint(std::uint8_t endpoint) {
    return connection->cancelEndpoint(endpoint);
}

UsbError SimulatedUsbSession::resetEndpoint(std::uint8_t endpoint) {
    return connection->resetEndpoint(endpoint);
}

}  // namespace Platform
}  // namespace Korvane
