#pragma once

// The USB host interface beneath the Win32 layer. The Win32 calls (CreateFileW on a device
// path, WinUsb_*, SetupDi*, device notifications) are implemented on top of it, and it has two
// backends: the simulated bus (SimulatedUsbBus) and libusb for real tables on Linux.
//
// Results are Win32 error codes (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ...), so the Win32
// layer passes them on to GetLastError unchanged; each backend maps its own errors where
// the call happens.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Korvane {
namespace Platform {

using UsbError = std::uint32_t;  // a Win32 error code; 0 is success

struct UsbDeviceInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // Names the device among the present ones and goes into its Windows-form device path:
    // the serial number of a simulated table, the bus-port chain ("1-4.2") under libusb.
    std::string instanceId;
};

// The eight bytes of a control request's setup stage, host order.
struct UsbSetupPacket {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
};

// Completion of one bulk transfer: the error (ERROR_SUCCESS, ERROR_OPERATION_ABORTED after
// cancel or close, ERROR_DEVICE_NOT_CONNECTED after unplug, ERROR_GEN_FAILURE, ...) and the
// number of bytes moved. Called exactly once per accepted transfer, on a backend thread or
// on the submitting thread before submitBulk returns. It must not call into the session.
using UsbTransferCallback = std::function<void(UsbError error, std::uint32_t transferred)>;

// One exclusive open of one device. Every operation may be called from any thread; the
// session serialises what the device needs serialised.
class UsbDeviceSession {
public:
    // Closes the device: cancels every pending transfer and returns only after all their
    // callbacks have run, then releases the device for the next open.
    virtual ~UsbDeviceSession() = default;

    // Synchronous GET_DESCRIPTOR of (type, index, languageId) into buffer[0..length).
    // transferred receives the bytes read. ERROR_GEN_FAILURE when the device stalls,
    // ERROR_DEVICE_NOT_CONNECTED after unplug.
    virtual UsbError getDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t languageId,
                                   std::uint8_t* buffer, std::uint32_t length,
                                   std::uint32_t& transferred) = 0;

    // Synchronous control transfer. buffer holds setup.length bytes (may be null when 0): the
    // data stage to send, or room for what the device returns (direction bit 7 of requestType).
    // Blocks for at most about 1 s. ERROR_GEN_FAILURE when the device stalls the request.
    virtual UsbError controlTransfer(const UsbSetupPacket& setup, std::uint8_t* buffer,
                                     std::uint32_t& transferred) = 0;

    // Starts a bulk transfer on endpoint (bit 7 set: IN) and returns without waiting. The
    // buffer must stay valid until the callback has run. An error return means the transfer
    // was not started and the callback will not run (ERROR_INVALID_PARAMETER for an endpoint
    // the interface does not have, ERROR_DEVICE_NOT_CONNECTED after unplug).
    virtual UsbError submitBulk(std::uint8_t endpoint, std::uint8_t* buffer, std::uint32_t length,
                                UsbTransferCallback done) = 0;

    // Cancels every transfer pending on the endpoint and returns after their callbacks have
    // run with ERROR_OPERATION_ABORTED. Nothing pending is success. ERROR_INVALID_PARAMETER
    // for an endpoint the interface does not have (no side effect).
    virtual UsbError cancelEndpoint(std::uint8_t endpoint) = 0;

    // Clears the endpoint's halt/toggle state. ERROR_INVALID_PARAMETER as for cancel.
    virtual UsbError resetEndpoint(std::uint8_t endpoint) = 0;
};

class UsbHost {
public:
    virtual ~UsbHost() = default;

    // The devices present now, in arrival order. Does not open anything.
    virtual std::vector<UsbDeviceInfo> presentDevices() = 0;

    // Opens the present device with this instance id. ERROR_FILE_NOT_FOUND when none is
    // present, ERROR_ACCESS_DENIED when another session (of this or another process) holds it,
    // ERROR_BUSY when the operating system keeps it from us.
    virtual UsbError open(const std::string& instanceId,
                          std::unique_ptr<UsbDeviceSession>& session) = 0;

    // Arrival (true) and departure (false) of devices, from a backend thread. The returned
    // id is never 0. unsubscribe returns after any running call of that callback has ended;
    // it must not be called from inside the callback.
    using HotplugCallback = std::function<void(const UsbDeviceInfo& device, bool arrived)>;
    virtual std::uint64_t subscribe(HotplugCallback callback) = 0;
    virtual void unsubscribe(std::uint64_t id) = 0;
};

}  // namespace Platform
}  // namespace Korvane
