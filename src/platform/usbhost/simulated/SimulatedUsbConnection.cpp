#include "platform/usbhost/simulated/SimulatedUsbConnection.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/Win32.h"

namespace Korvane {
namespace Platform {

namespace {

constexpr std::uint8_t kDirectionIn = 0x80;
constexpr std::uint8_t kStandardGetDescriptor = 0x06;

}  // namespace

SimulatedUsbConnection::SimulatedUsbConnection(std::shared_ptr<SimulatedUsbDevice> device)
    : device(std::move(device)) {}

bool SimulatedUsbConnection::isUnplugged() {
    std::lock_guard<std::mutex> lock(mutex);
    return unplugged;
}

UsbError SimulatedUsbConnection::getDescriptor(std::uint8_t type, std::uint8_t index,
                                               std::uint16_t languageId, std::uint8_t* buffer,
                                               std::uint32_t length, std::uint32_t& transferred) {
    transferred = 0;
    if (isUnplugged()) return ERROR_DEVICE_NOT_CONNECTED;
    std::vector<std::uint8_t> descriptor = device->descriptor(type, index, languageId);
    if (isUnplugged()) return ERROR_DEVICE_NOT_CONNECTED;
    if (descriptor.empty()) return ERROR_GEN_FAILURE;
    transferred = static_cast<std::uint32_t>(std::min<std::size_t>(descriptor.size(), length));
    if (transferred != 0) std::memcpy(buffer, descriptor.data(), transferred);
    return ERROR_SUCCESS;
}

UsbError SimulatedUsbConnection::controlTransfer(const UsbSetupPacket& setup, std::uint8_t* buffer,
                                                 std::uint32_t& transferred) {
    transferred = 0;
    bool toHost = (setup.requestType & kDirectionIn) != 0;
    if (setup.requestType == kDirectionIn && setup.request == kStandardGetDescriptor) {
        return getDescriptor(static_cast<std::uint8_t>(setup.value >> 8),
                             static_cast<std::uint8_t>(setup.value), setup.index, buffer,
                             setup.length, transferred);
    }
    if (isUnplugged()) return ERROR_DEVICE_NOT_CONNECTED;
    std::vector<std::uint8_t> data;
    if (!toHost && setup.length != 0) data.assign(buffer, buffer + setup.length);
    bool accepted = device->controlRequest(setup, data);
    if (isUnplugged()) return ERROR_DEVICE_NOT_CONNECTED;
    if (!accepted) return ERROR_GEN_FAILURE;
    if (toHost) {
        // A device cannot send more than the request asks for; the rest never reaches us.
        transferred = static_cast<std::uint32_t>(std::min<std::size_t>(data.size(), setup.length));
        if (transferred != 0) std::memcpy(buffer, data.data(), transferred);
    } else {
        transferred = setup.length;
    }
    return ERROR_SUCCESS;
}

UsbError SimulatedUsbConnection::submitBulk(std::uint8_t endpoint, std::uint8_t* buffer,
                                            std::uint32_t length, UsbTransferCallback done) {
    if (!device->hasEndpoint(endpoint)) return ERROR_INVALID_PARAMETER;
    auto transfer = std::make_shared<Transfer>();
    transfer->endpoint = endpoint;
    transfer->buffer = buffer;
    transfer->length = length;
    transfer->done = std::move(done);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (unplugged) return ERROR_DEVICE_NOT_CONNECTED;
        if (closed) return ERROR_OPERATION_ABORTED;
        pending.push_back(transfer);
    }
    if (endpoint & kDirectionIn) {
        startIn(transfer);
    } else {
        std::vector<std::uint8_t> bytes(buffer, buffer + length);
        UsbError error = device->bulkOut(endpoint, bytes);
        finish(transfer, error, nullptr, error == ERROR_SUCCESS ? length : 0);
    }
    return ERROR_SUCCESS;
}

void SimulatedUsbConnection::startIn(const TransferPtr& transfer) {
    UsbError fault = device->inTransferFault(transfer->endpoint);
    if (fault != ERROR_SUCCESS) {
        finish(transfer, fault, nullptr, 0);
        return;
    }
    std::weak_ptr<SimulatedUsbConnection> weak = shared_from_this();
    device->bulkIn(transfer->endpoint, transfer->length,
                   [weak, transfer](std::vector<std::uint8_t> data) {
                       if (auto connection = weak.lock()) {
                           connection->finish(transfer, ERROR_SUCCESS, data.data(), data.size());
                       }
                   });
}

void SimulatedUsbConnection::finish(const TransferPtr& transfer, UsbError error,
                                    const std::uint8_t* data, std::size_t size) {
    UsbTransferCallback done;
    std::uint32_t transferred = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (transfer->finished) return;
        transfer->finished = true;
        pending.remove(transfer);
        if (data == nullptr) {
            transferred = static_cast<std::uint32_t>(size);
        } else {
            // The buffer is still ours: nothing else can finish this transfer now.
            transferred = static_cast<std::uint32_t>(std::min<std::size_t>(size, transfer->length));
            if (transferred != 0) std::memcpy(transfer->buffer, data, transferred);
            // More than asked for is a babble: the host sees an error, not a cut answer.
            if (size > transfer->length && error == ERROR_SUCCESS) error = ERROR_INVALID_DATA;
        }
        done = std::move(transfer->done);
        ++runningCallbacks;
    }
    done(error, transferred);
    {
        std::lock_guard<std::mutex> lock(mutex);
        --runningCallbacks;
    }
    callbacksDone.notify_all();
}

template <class Select>
std::vector<std::uint8_t> SimulatedUsbConnection::finishPending(Select select, UsbError error) {
    std::vector<UsbTransferCallback> callbacks;
    std::vector<std::uint8_t> inEndpoints;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = pending.begin(); it != pending.end();) {
            Transfer& transfer = **it;
            if (!select(transfer)) {
                ++it;
                continue;
            }
            transfer.finished = true;
            callbacks.push_back(std::move(transfer.done));
            if ((transfer.endpoint & kDirectionIn) &&
                std::find(inEndpoints.begin(), inEndpoints.end(), transfer.endpoint) ==
                    inEndpoints.end()) {
                inEndpoints.push_back(transfer.endpoint);
            }
            it = pending.erase(it);
        }
        runningCallbacks += static_cast<int>(callbacks.size());
    }
    for (auto& done : callbacks) {
        done(error, 0);
        {
            std::lock_guard<std::mutex> lock(mutex);
            --runningCallbacks;
        }
        callbacksDone.notify_all();
    }
    return inEndpoints;
}

void SimulatedUsbConnection::waitForCallbacks() {
    std::unique_lock<std::mutex> lock(mutex);
    callbacksDone.wait(lock, [this] { return runningCallbacks == 0; });
}

UsbError SimulatedUsbConnection::cancelEndpoint(std::uint8_t endpoint) {
    if (!device->hasEndpoint(endpoint)) return ERROR_INVALID_PARAMETER;
    auto onEndpoint = [endpoint](const Transfer& transfer) {
        return transfer.endpoint == endpoint;
    };
    std::vector<std::uint8_t> cancelled = finishPending(onEndpoint, ERROR_OPERATION_ABORTED);
    if (!cancelled.empty() && !isUnplugged()) device->cancelIn(endpoint);
    waitForCallbacks();
    return ERROR_SUCCESS;
}

UsbError SimulatedUsbConnection::resetEndpoint(std::uint8_t endpoint) {
    if (!device->hasEndpoint(endpoint)) return ERROR_INVALID_PARAMETER;
    if (isUnplugged()) return ERROR_DEVICE_NOT_CONNECTED;
    device->endpointReset(endpoint);
    return ERROR_SUCCESS;
}

void SimulatedUsbConnection::unplug() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        unplugged = true;
    }
    finishPending([](const Transfer&) { return true; }, ERROR_DEVICE_NOT_CONNECTED);
    waitForCallbacks();
}

void SimulatedUsbConnection::close() {
    bool wasUnplugged;
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
        wasUnplugged = unplugged;
    }
    std::vector<std::uint8_t> cancelled =
        finishPending([](const Transfer&) { return true; }, ERROR_OPERATION_ABORTED);
    if (!wasUnplugged) {
        for (std::uint8_t endpoint : cancelled) device->cancelIn(endpoint);
    }
    waitForCallbacks();
    device->sessionClosed();
}

}  // namespace Platform
}  // namespace Korvane
