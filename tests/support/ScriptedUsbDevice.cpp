#include "support/ScriptedUsbDevice.h"

#include <algorithm>
#include <cstdio>

#include "support/DeviceDescriptor.h"

namespace Korvane {
namespace Testing {

using Platform::UsbError;
using Platform::UsbSetupPacket;

Bytes bytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string hex(const Bytes& data) {
    std::string text;
    char digits[4];
    for (std::uint8_t byte : data) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        if (!text.empty()) text += ' ';
        text += digits;
    }
    return text;
}

ScriptedUsbDevice::ScriptedUsbDevice(std::uint16_t vendorId, std::uint16_t productId,
                                     std::string serialNumber)
    : vid(vendorId), pid(productId), serial(std::move(serialNumber)) {}

void ScriptedUsbDevice::queueIn(Bytes answer) {
    std::unique_lock<std::mutex> lock(mutex);
    answers.push_back({true, std::move(answer)});
    serveParked(lock);
}

void ScriptedUsbDevice::queueNoReply() {
    std::unique_lock<std::mutex> lock(mutex);
    answers.push_back({false, {}});
    serveParked(lock);
}

void ScriptedUsbDevice::setIdleReply(std::optional<Bytes> reply) {
    std::lock_guard<std::mutex> lock(mutex);
    idleReply = std::move(reply);
}

void ScriptedUsbDevice::expectOut(Bytes expected, std::optional<Bytes> answer) {
    std::lock_guard<std::mutex> lock(mutex);
    expectations.push_back({std::move(expected), std::move(answer)});
}

void ScriptedUsbDevice::setControlAnswer(std::uint8_t request, Bytes answer) {
    std::lock_guard<std::mutex> lock(mutex);
    controlAnswers.emplace_back(request, std::move(answer));
}

void ScriptedUsbDevice::failNextControl(int n) {
    std::lock_guard<std::mutex> lock(mutex);
    controlFailures = n;
}

void ScriptedUsbDevice::failNextBulk(int n, UsbError error) {
    std::lock_guard<std::mutex> lock(mutex);
    bulkFailures = n;
    bulkFailure = error;
}

void ScriptedUsbDevice::onOut(std::function<void(const Bytes&)> hook) {
    std::lock_guard<std::mutex> lock(mutex);
    outHook = std::move(hook);
}

std::vector<Bytes> ScriptedUsbDevice::outTransfers() const {
    std::lock_guard<std::mutex> lock(mutex);
    return outs;
}

Bytes ScriptedUsbDevice::outBytes() const {
    std::lock_guard<std::mutex> lock(mutex);
    Bytes all;
    for (const Bytes& out : outs) all.insert(all.end(), out.begin(), out.end());
    return all;
}

std::vector<ScriptedUsbDevice::ControlRecord> ScriptedUsbDevice::controlRequests() const {
    std::lock_guard<std::mutex> lock(mutex);
    return controls;
}

int ScriptedUsbDevice::pendingReads() const {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(parked.size() + silent.size());
}

int ScriptedUsbDevice::cancelledReads() const {
    std::lock_guard<std::mutex> lock(mutex);
    return cancelled;
}

int ScriptedUsbDevice::sessionsOpened() const {
    std::lock_guard<std::mutex> lock(mutex);
    return opened;
}

int ScriptedUsbDevice::sessionsClosed() const {
    std::lock_guard<std::mutex> lock(mutex);
    return closed;
}

std::vector<std::string> ScriptedUsbDevice::problems() const {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> all = mismatches;
    for (const Expectation& expectation : expectations) {
        all.push_back("expected OUT never came: " + hex(expectation.out));
    }
    return all;
}

Bytes ScriptedUsbDevice::descriptor(std::uint8_t type, std::uint8_t index, std::uint16_t) {
    switch (type) {
        case 1:
            if (index != 0) return {};
            return deviceDescriptor(vid, pid, 0x0100);
        case 2:
            if (index != 0) return {};
            return {9, 2, 32,       0,    1,  1,    0,    0x80, 50,  // configuration
                    9, 4, 0,        0,    2,  0xFF, 0xFF, 0xFF, 0,   // interface 0
                    7, 5, kBulkIn,  0x02, 64, 0,    0,               // bulk in
                    7, 5, kBulkOut, 0x02, 64, 0,    0};              // bulk out
        case 3:
            return stringDescriptor(index);
        default:
            return {};
    }
}

Bytes ScriptedUsbDevice::stringDescriptor(std::uint8_t index) const {
    std::string text;
    switch (index) {
        case 0:
            return {4, 3, 0x09, 0x04};
        case 1:
            text = "Scripted";
            break;
        case 2:
            text = "Scripted USB device";
            break;
        case 3:
            text = serial;
            break;
        default:
            return {};
    }
    Bytes descriptor{std::uint8_t(2 + 2 * text.size()), 3};
    for (char c : text) {
        descriptor.push_back(static_cast<std::uint8_t>(c));
        descriptor.push_back(0);
    }
    return descriptor;
}

bool ScriptedUsbDevice::controlRequest(const UsbSetupPacket& setup, Bytes& data) {
    std::lock_guard<std::mutex> lock(mutex);
    ControlRecord record{setup, {}};
    if (controlFailures > 0) {
        --controlFailures;
        if (!(setup.requestType & 0x80)) record.data = data;
        controls.push_back(record);
        return false;
    }
    if (setup.requestType & 0x80) {
        data.assign(setup.length, 0);
        for (const auto& answer : controlAnswers) {
            if (answer.first == setup.request) {
                data = answer.second;
                if (data.size() > setup.length) data.resize(setup.length);
            }
        }
    }
    record.data = data;
    controls.push_back(record);
    return true;
}

bool ScriptedUsbDevice::hasEndpoint(std::uint8_t endpoint) const {
    return endpoint == kBulkIn || endpoint == kBulkOut;
}

UsbError ScriptedUsbDevice::bulkOut(std::uint8_t, const Bytes& data) {
    std::function<void(const Bytes&)> hook;
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (bulkFailures > 0) {
            --bulkFailures;
            return bulkFailure;
        }
        outs.push_back(data);
        if (expectations.empty()) {
            mismatches.push_back("unexpected OUT: " + hex(data));
        } else {
            Expectation expectation = std::move(expectations.front());
            expectations.pop_front();
            if (expectation.out != data) {
                mismatches.push_back("OUT differs: expected " + hex(expectation.out) + ", got " +
                                     hex(data));
            }
            if (expectation.answer) answers.push_back({true, std::move(*expectation.answer)});
        }
        hook = outHook;
        serveParked(lock);
    }
    if (hook) hook(data);
    return 0;
}

void ScriptedUsbDevice::bulkIn(std::uint8_t, std::uint32_t, InReply reply) {
    std::unique_lock<std::mutex> lock(mutex);
    parked.push_back(std::move(reply));
    serveParked(lock);
}

void ScriptedUsbDevice::serveParked(std::unique_lock<std::mutex>& lock) {
    std::vector<std::pair<InReply, Bytes>> due;
    while (!parked.empty()) {
        if (!answers.empty()) {
            Answer answer = std::move(answers.front());
            answers.pop_front();
            InReply reply = std::move(parked.front());
            parked.pop_front();
            if (answer.reply) {
                due.emplace_back(std::move(reply), std::move(answer.data));
            } else {
                silent.push_back(std::move(reply));
            }
        } else if (idleReply) {
            due.emplace_back(std::move(parked.front()), *idleReply);
            parked.pop_front();
        } else {
            break;
        }
    }
    lock.unlock();
    for (auto& entry : due) entry.first(std::move(entry.second));
    lock.lock();
}

void ScriptedUsbDevice::cancelIn(std::uint8_t) {
    std::lock_guard<std::mutex> lock(mutex);
    cancelled += static_cast<int>(parked.size() + silent.size());
    parked.clear();
    silent.clear();
}

UsbError ScriptedUsbDevice::inTransferFault(std::uint8_t) {
    std::lock_guard<std::mutex> lock(mutex);
    if (bulkFailures <= 0) return 0;
    --bulkFailures;
    return bulkFailure;
}

void ScriptedUsbDevice::sessionOpened() {
    std::lock_guard<std::mutex> lock(mutex);
    ++opened;
}

void ScriptedUsbDevice::sessionClosed() {
    std::lock_guard<std::mutex> lock(mutex);
    ++closed;
}

}  // namespace Testing
}  // namespace Korvane
