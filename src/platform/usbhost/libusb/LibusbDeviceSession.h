#pragma once

// One exclusive open of a device through libusb: interface 0 claimed (the kernel driver of the
// serial converter detached for the time of the claim), synchronous control requests with a 1 s
// time-out, asynchronous bulk transfers completed on the context's event thread.

#include <libusb.h>

#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

class LibusbContext;

class LibusbDeviceSession : public UsbDeviceSession {
public:
    // Opens the present device with this instance id. ERROR_FILE_NOT_FOUND when there is none
    // (or it left while we opened it), ERROR_ACCESS_DENIED when this process has it open
    // already or the user may not open it (no udev rule), ERROR_BUSY when another program holds
    // the interface or the kernel will not let go of it.
    static UsbError open(const std::shared_ptr<LibusbContext>& context,
                         const std::string& instanceId, std::unique_ptr<UsbDeviceSession>& session);

    ~LibusbDeviceSession() override;

    UsbError getDescriptor(std::uint8_t type, std::uint8_t index, std::uint16_t languageId,
                           std::uint8_t* buffer, std::uint32_t length,
                           std::uint32_t& transferred) override;
    // Submitted asynchronously and waited for: never on the event thread.
    UsbError controlTransfer(const UsbSetupPacket& setup, std::uint8_t* buffer,
                             std::uint32_t& transferred) override;
    UsbError submitBulk(std::uint8_t endpoint, std::uint8_t* buffer, std::uint32_t length,
                        UsbTransferCallback done) override;
    UsbError cancelEndpoint(std::uint8_t endpoint) override;
    UsbError resetEndpoint(std::uint8_t endpoint) override;

    // The device left the bus (called by the context on its event thread): pending transfers
    // end with ERROR_DEVICE_NOT_CONNECTED, everything after that fails with it at once.
    void deviceLeft();

private:
    struct Pending {
        LibusbDeviceSession* session;
        libusb_transfer* transfer;
        std::uint8_t endpoint;
        UsbTransferCallback done;
        UsbError abortError;  // what a cancelled transfer reports
        bool cancelRequested;
    };

    // A control transfer's end, handed from the event thread to the caller that waits for it.
    struct ControlOutcome {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        int status = 0;  // libusb_transfer_status
        std::uint32_t length = 0;
    };

    LibusbDeviceSession(std::shared_ptr<LibusbContext> context, std::string instanceId,
                        libusb_device_handle* handle, std::vector<std::uint8_t> endpoints);

    static void LIBUSB_CALL onTransferDone(libusb_transfer* transfer);
    static void LIBUSB_CALL onControlDone(libusb_transfer* transfer);
    bool hasEndpoint(std::uint8_t endpoint) const;
    bool isUnplugged();
    // Cancels what is pending on the endpoint (every endpoint when all) and waits for the
    // callbacks. Never on the event thread.
    void cancelAndWait(std::uint8_t endpoint, bool all);

    std::shared_ptr<LibusbContext> context;
    const std::string instanceId;
    libusb_device_handle* handle;
    const std::vector<std::uint8_t> endpoints;  // of interface 0, alternate setting 0

    std::mutex mutex;  // pending, unplugged
    std::condition_variable settled;
    std::list<Pending*> pending;
    bool unplugged = false;
};

}  // namespace Platform
}  // namespace Korvane
