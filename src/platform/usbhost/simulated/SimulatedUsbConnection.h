#pragma once

#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/usbhost/simulated/SimulatedUsbDevice.h"
#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

// The host side of one open of a simulated device: the transfers pending on it and their
// completion. Shared by the session, the bus (which unplugs it) and the device's reply
// closures (which hold it weakly, so a reply after close is dropped).
//
// Every transfer completes exactly once: by the device's reply or bulkOut result, by cancel,
// by unplug or by close, whichever comes first; later results are ignored. Completion callbacks
// run with no lock held; cancel, unplug and close return only after every completion callback
// of the connection has returned, theirs and any running on another thread.
class SimulatedUsbConnection : public std::enable_shared_from_this<SimulatedUsbConnection> {
public:
    explicit SimulatedUsbConnection(std::shared_ptr<SimulatedUsbDevice> device);

    UsbError getDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t languageId,
                           std::uint8_t* buffer, std::uint32_t length, std::uint32_t& transferred);
    UsbError controlTransfer(const UsbSetupPacket& setup, std::uint8_t* buffer,
                             std::uint32_t& transferred);
    UsbError submitBulk(std::uint8_t endpoint, std::uint8_t* buffer, std::uint32_t length,
                        UsbTransferCallback done);
    UsbError cancelEndpoint(std::uint8_t endpoint);
    UsbError resetEndpoint(std::uint8_t endpoint);

    // The device was pulled out: pending transfers fail with ERROR_DEVICE_NOT_CONNECTED, and
    // so does everything after.
    void unplug();
    // The session closes: pending transfers end with ERROR_OPERATION_ABORTED, the device hears
    // cancelIn for them and sessionClosed.
    void close();

private:
    struct Transfer {
        std::uint8_t endpoint = 0;
        std::uint8_t* buffer = nullptr;
        std::uint32_t length = 0;
        UsbTransferCallback done;
        bool finished = false;
    };
    using TransferPtr = std::shared_ptr<Transfer>;

    bool isUnplugged();
    void startIn(const TransferPtr& transfer);
    void finish(const TransferPtr& transfer, UsbError error, const std::uint8_t* data,
                std::size_t size);
    // Marks the selected pending transfers finished and runs their callbacks with error;
    // returns the IN endpoints that had something pending.
    template <class Select>
    std::vector<std::uint8_t> finishPending(Select select, UsbError error);
    void waitForCallbacks();

    const std::shared_ptr<SimulatedUsbDevice> device;
    std::mutex mutex;
    std::condition_variable callbacksDone;
    std::list<TransferPtr> pending;
    int runningCallbacks = 0;
    bool unplugged = false;
    bool closed = false;
};

}  // namespace Platform
}  // namespace Korvane
