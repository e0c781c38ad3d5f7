#ifndef _WIN32

#include "platform/usbhost/libusb/LibusbDeviceSession.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/usbhost/libusb/LibusbContext.h"
#include "platform/usbhost/libusb/LibusbErrors.h"
#include "platform/win32/Win32.h"

namespace Korvane {
namespace Platform {

namespace {

constexpr int kInterface = 0;
constexpr unsigned kControlTimeoutMs = 1000;
constexpr std::uint8_t kGetDescriptorRequestType = 0x80;  // standard, device to host, device
constexpr std::uint8_t kGetDescriptor = 0x06;

// The endpoint addresses of interface 0, alternate setting 0, from the descriptors libusb keeps
// (no I/O).
std::vector<std::uint8_t> interfaceEndpoints(libusb_device* device) {
    std::vector<std::uint8_t> addresses;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS &&
        libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS)
        return addresses;
    if (config->bNumInterfaces > kInterface && config->interface[kInterface].num_altsetting > 0) {
        const libusb_interface_descriptor& setting = config->interface[kInterface].altsetting[0];
        for (int i = 0; i < setting.bNumEndpoints; ++i)
            addresses.push_back(setting.endpoint[i].bEndpointAddress);
    }
    libusb_free_config_descriptor(config);
    return addresses;
}

// What libusb's synchronous control transfer returns for a finished transfer's status, so that
// control requests keep the errors they always had.
int libusbErrorOfControlStatus(int status) {
    switch (status) {
        case LIBUSB_TRANSFER_TIMED_OUT:
            return LIBUSB_ERROR_TIMEOUT;
        case LIBUSB_TRANSFER_STALL:
            return LIBUSB_ERROR_PIPE;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return LIBUSB_ERROR_NO_DEVICE;
        case LIBUSB_TRANSFER_OVERFLOW:
            return LIBUSB_ERROR_OVERFLOW;
        default:
            return LIBUSB_ERROR_IO;
    }
}

// Opens and claims; the handle is closed again on failure.
UsbError openAndClaim(libusb_device* device, libusb_device_handle*& handle) {
    const int opened = libusb_open(device, &handle);
    if (opened == LIBUSB_ERROR_NO_DEVICE) return ERROR_FILE_NOT_FOUND;
    // The device node is not the user's (no udev rule); not the same as a table held elsewhere.
    if (opened == LIBUSB_ERROR_ACCESS) return ERROR_PRIVILEGE_NOT_HELD;
    if (opened != LIBUSB_SUCCESS) return win32ErrorFromLibusb(opened);
    // Platforms without kernel drivers say "not supported"; nothing to detach there.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    const int claimed = libusb_claim_interface(handle, kInterface);
    if (claimed == LIBUSB_SUCCESS) return ERROR_SUCCESS;
    libusb_close(handle);
    handle = nullptr;
    return claimed == LIBUSB_ERROR_NO_DEVICE ? ERROR_FILE_NOT_FOUND : win32ErrorFromLibusb(claimed);
}

}  // namespace

UsbError LibusbDeviceSession::open(const std::shared_ptr<LibusbContext>& context,
                                   const std::string& instanceId,
                                   std::unique_ptr<UsbDeviceSession>& session) {
    if (!context->usable()) return ERROR_FILE_NOT_FOUND;
    libusb_device* device = context->findDevice(instanceId);
    if (!device) return ERROR_FILE_NOT_FOUND;
    if (!context->reserve(instanceId)) {
        libusb_unref_device(device);
        return ERROR_ACCESS_DENIED;
    }
    libusb_device_handle* handle = nullptr;
    const UsbError error = openAndClaim(device, handle);
    std::vector<std::uint8_t> endpoints;
    if (error == ERROR_SUCCESS) endpoints = interfaceEndpoints(device);
    libusb_unref_device(device);
    if (error != ERROR_SUCCESS) {
        context->release(instanceId, nullptr);
        return error;
    }
    auto* opened = new LibusbDeviceSession(context, instanceId, handle, std::move(endpoints));
    session.reset(opened);
    context->attach(instanceId, opened);
    return ERROR_SUCCESS;
}

LibusbDeviceSession::LibusbDeviceSession(std::shared_ptr<LibusbContext> context,
                                         std::string instanceId, libusb_device_handle* handle,
                                         std::vector<std::uint8_t> endpoints)
    : context(std::move(context)),
      instanceId(std::move(instanceId)),
      handle(handle),
      endpoints(std::move(endpoints)) {}

LibusbDeviceSession::~LibusbDeviceSession() {
    // Detach first: once this returns, the context no longer calls deviceLeft on us.
    context->release(instanceId, this);
    cancelAndWait(0, true);
    libusb_release_interface(handle, kInterface);
    libusb_close(handle);
}

bool LibusbDeviceSession::hasEndpoint(std::uint8_t endpoint) const {
    for (std::uint8_t address : endpoints)
        if (address == endpoint) return true;
    return false;
}

bool LibusbDeviceSession::isUnplugged() {
    std::lock_guard<std::mutex> lock(mutex);
    return unplugged;
}

UsbError LibusbDeviceSession::getDescriptor(std::uint8_t type, std::uint8_t index,
                                            std::uint16_t languageId, std::uint8_t* buffer,
                                            std::uint32_t length, std::uint32_t& transferred) {
    UsbSetupPacket setup;
    setup.requestType = kGetDescriptorRequestType;
    setup.request = kGetDescriptor;
    setup.value = static_cast<std::uint16_t>((type << 8) | index);
    setup.index = languageId;
    // A descriptor read longer than wLength can carry is cut to what the request can ask for.
    setup.length = static_cast<std::uint16_t>(length > 0xFFFF ? 0xFFFF : length);
    return controlTransfer(setup, buffer, transferred);
}

UsbError LibusbDeviceSession::controlTransfer(const UsbSetupPacket& setup, std::uint8_t* buffer,
                                              std::uint32_t& transferred) {
    transferred = 0;
    if (setup.length > 0 && !buffer) return ERROR_INVALID_PARAMETER;
    if (isUnplugged()) return ERROR_DEVICE_NOT_CONNECTED;
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    if (!transfer) return ERROR_NOT_ENOUGH_MEMORY;
    // The setup packet, then the data stage; both stay the caller's until the event thread has
    // finished with the transfer.
    std::vector<std::uint8_t> packet(LIBUSB_CONTROL_SETUP_SIZE + setup.length);
    libusb_fill_control_setup(packet.data(), setup.requestType, setup.request, setup.value,
                              setup.index, setup.length);
    const bool toDevice = (setup.requestType & LIBUSB_ENDPOINT_IN) == 0;
    if (toDevice && setup.length > 0)
        std::copy(buffer, buffer + setup.length, packet.begin() + LIBUSB_CONTROL_SETUP_SIZE);
    ControlOutcome outcome;
    libusb_fill_control_transfer(transfer, handle, packet.data(),
                                 &LibusbDeviceSession::onControlDone, &outcome, kControlTimeoutMs);
    const int submitted = libusb_submit_transfer(transfer);
    if (submitted != LIBUSB_SUCCESS) {
        libusb_free_transfer(transfer);
        return win32ErrorFromLibusb(submitted);
    }
    {
        std::unique_lock<std::mutex> lock(outcome.mutex);
        outcome.finished.wait(lock, [&] { return outcome.done; });
    }
    if (outcome.status != LIBUSB_TRANSFER_COMPLETED)
        return win32ErrorFromLibusb(libusbErrorOfControlStatus(outcome.status));
    transferred = outcome.length;
    if (!toDevice && transferred > 0)
        std::copy(packet.begin() + LIBUSB_CONTROL_SETUP_SIZE,
                  packet.begin() + LIBUSB_CONTROL_SETUP_SIZE + transferred, buffer);
    return ERROR_SUCCESS;
}

// Runs on the event thread. The transfer is freed here, on the thread that last touched it
// inside libusb, so that the waiting caller never races libusb over it; the caller learns of
// the end only through the outcome's own lock.
void LIBUSB_CALL LibusbDeviceSession::onControlDone(libusb_transfer* transfer) {
    auto* outcome = static_cast<ControlOutcome*>(transfer->user_data);
    const int status = transfer->status;
    const std::uint32_t length = static_cast<std::uint32_t>(transfer->actual_length);
    libusb_free_transfer(transfer);
    std::lock_guard<std::mutex> lock(outcome->mutex);
    outcome->status = status;
    outcome->length = length;
    outcome->done = true;
    outcome->finished.notify_all();
}

UsbError LibusbDeviceSession::submitBulk(std::uint8_t endpoint, std::uint8_t* buffer,
                                         std::uint32_t length, UsbTransferCallback done) {
    if (!hasEndpoint(endpoint) || length > static_cast<std::uint32_t>(INT_MAX) ||
        (length > 0 && !buffer))
        return ERROR_INVALID_PARAMETER;
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    if (!transfer) return ERROR_NOT_ENOUGH_MEMORY;
    auto* entry =
        new Pending{this, transfer, endpoint, std::move(done), ERROR_OPERATION_ABORTED, false};
    // No time-out: the caller waits as long as it likes and cancels.
    libusb_fill_bulk_transfer(transfer, handle, endpoint, buffer, static_cast<int>(length),
                              &LibusbDeviceSession::onTransferDone, entry, 0);

    // Submitted under the lock so that a cancel never sees a transfer that is listed but not
    // yet submitted; the completion (event thread) waits for the lock before it delists.
    std::lock_guard<std::mutex> lock(mutex);
    if (unplugged) {
        libusb_free_transfer(transfer);
        delete entry;
        return ERROR_DEVICE_NOT_CONNECTED;
    }
    const int submitted = libusb_submit_transfer(transfer);
    if (submitted != LIBUSB_SUCCESS) {
        libusb_free_transfer(transfer);
        delete entry;
        return win32ErrorFromLibusb(submitted);
    }
    pending.push_back(entry);
    return ERROR_SUCCESS;
}

// Runs on the event thread.
void LIBUSB_CALL LibusbDeviceSession::onTransferDone(libusb_transfer* transfer) {
    auto* entry = static_cast<Pending*>(transfer->user_data);
    LibusbDeviceSession* self = entry->session;
    UsbError error = win32ErrorFromTransferStatus(transfer->status);
    if (transfer->status == LIBUSB_TRANSFER_CANCELLED) {
        std::lock_guard<std::mutex> lock(self->mutex);
        error = entry->abortError;
    }
    if (entry->done) entry->done(error, static_cast<std::uint32_t>(transfer->actual_length));
    {
        // Delisted only after the callback ran: cancel and close wait for exactly that. The
        // session may be gone as soon as the lock is released.
        std::lock_guard<std::mutex> lock(self->mutex);
        self->pending.remove(entry);
        self->settled.notify_all();
    }
    libusb_free_transfer(transfer);
    delete entry;
}

void LibusbDeviceSession::cancelAndWait(std::uint8_t endpoint, bool all) {
    std::unique_lock<std::mutex> lock(mutex);
    auto matches = [&](const Pending* entry) { return all || entry->endpoint == endpoint; };
    for (Pending* entry : pending) {
        if (!matches(entry) || entry->cancelRequested) continue;
        entry->cancelRequested = true;
        // NOT_FOUND: it completed already and its callback is on the way.
        libusb_cancel_transfer(entry->transfer);
    }
    settled.wait(lock, [&] {
        for (const Pending* entry : pending)
            if (matches(entry)) return false;
        return true;
    });
}

UsbError LibusbDeviceSession::cancelEndpoint(std::uint8_t endpoint) {
    if (!hasEndpoint(endpoint)) return ERROR_INVALID_PARAMETER;
    cancelAndWait(endpoint, false);
    return ERROR_SUCCESS;
}

UsbError LibusbDeviceSession::resetEndpoint(std::uint8_t endpoint) {
    if (!hasEndpoint(endpoint)) return ERROR_INVALID_PARAMETER;
    if (isUnplugged()) return ERROR_DEVICE_NOT_CONNECTED;
    return win32ErrorFromLibusb(libusb_clear_halt(handle, endpoint));
}

void LibusbDeviceSession::deviceLeft() {
    std::lock_guard<std::mutex> lock(mutex);
    unplugged = true;
    for (Pending* entry : pending) {
        entry->abortError = ERROR_DEVICE_NOT_CONNECTED;
        if (entry->cancelRequested) continue;
        entry->cancelRequested = true;
        libusb_cancel_transfer(entry->transfer);
    }
}

}  // namespace Platform
}  // namespace Korvane

#endif  // _WIN32
