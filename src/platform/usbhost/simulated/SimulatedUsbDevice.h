#pragma once

// The device side of the simulated bus: what a simulated table (or a scripted test device)
// implements to be plugged into SimulatedUsbBus.
//
// The bus calls these methods without holding any lock of its own, from the threads that use
// the device's session (a read may be pending while a write goes out on another thread), so
// a device guards its own state. A device may call SimulatedUsbBus::unplug from inside any of
// them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

class SimulatedUsbDevice {
public:
    virtual ~SimulatedUsbDevice() = default;

    virtual std::uint16_t vendorId() const = 0;
    virtual std::uint16_t productId() const = 0;
    // Unique among the plugged devices; the bus uses it as the instance id of the device path.
    virtual std::string instanceId() const = 0;

    // The whole descriptor (type, index, languageId): the 18-byte device descriptor, the full
    // configuration descriptor with its interface and endpoint descriptors, string descriptors
    // (index 0: the language list). Empty when the device has none; the request then stalls.
    virtual std::vector<std::uint8_t> descriptor(std::uint8_t type, std::uint8_t index,
                                                 std::uint16_t languageId) = 0;

    // Any other control request. For device-to-host requests fill data (at most setup.length
    // bytes); for host-to-device requests data holds the data stage. false stalls the request.
    virtual bool controlRequest(const UsbSetupPacket& setup, std::vector<std::uint8_t>& data) = 0;

    // Whether the interface has this endpoint (0x81, 0x02, ...).
    virtual bool hasEndpoint(std::uint8_t endpoint) const = 0;

    // Host-to-device bulk data. Returns when the device has taken the bytes (it may block for
    // the simulated wire time). The result is the transfer's error, ERROR_SUCCESS normally.
    virtual UsbError bulkOut(std::uint8_t endpoint, const std::vector<std::uint8_t>& data) = 0;

    // The host wants up to maxLength bytes from an IN endpoint. The device calls reply once,
    // with the bytes, now (inside bulkIn) or later from any thread; a device that never
    // replies makes the host's transfer wait until it is cancelled. A reply after the host
    // cancelled the transfer, or after unplug, is ignored by the bus.
    using InReply = std::function<void(std::vector<std::uint8_t> data)>;
    virtual void bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, InReply reply) = 0;

    // The host cancelled what it had pending on the endpoint; the device may drop its replies.
    virtual void cancelIn(std::uint8_t endpoint) = 0;

    // The host cleared the endpoint's halt (a present device only).
    virtual void endpointReset(std::uint8_t /*endpoint*/) {}

    // Asked before each IN transfer is handed to bulkIn: a Win32 error code other than
    // ERROR_SUCCESS (0) fails that transfer at once with this error and no data, and bulkIn is
    // not called. For fault injection; the default never fails.
    virtual UsbError inTransferFault(std::uint8_t /*endpoint*/) { return 0; }

    // Asked when a session is to be opened: a Win32 error code other than ERROR_SUCCESS (0)
    // refuses the open with it (ERROR_PRIVILEGE_NOT_HELD: a device the user may not open).
    virtual UsbError openFault() const { return 0; }

    // A session opened / closed the device (the serial converter resets its state on open).
    virtual void sessionOpened() {}
    virtual void sessionClosed() {}
};

}  // namespace Platform
}  // namespace Korvane
