#include "support/ScriptedUsbDevice.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Testing {

using Platform::UsbError;
using Platform::UsbSetupPacket;

namespace {

constexpr std::uint8_t kSerialIndex = 3;
constexpr std::uint8_t kSetLatencyTimer = 9;
constexpr std::uint8_t kGetLatencyTimer = 10;

// The command code of a line: the letters and digits after its first byte, at most two.
std::string codeOf(const std::string& line) {
    std::string code;
    for (std::size_t i = 1; i < line.size() && i < 3 && std::isalnum(std::uint8_t(line[i])); ++i)
        code += line[i];
    return code;
}

}  // namespace

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

Bytes packet(const std::string& payload, std::uint8_t status) {
    Bytes data(2 + payload.size());
    data[0] = status;
    data[1] = 0x60;
    std::copy(payload.begin(), payload.end(), data.begin() + 2);
    return data;
}

Bytes emptyPacket() {
    return packet("");
}

Bytes takePackets(std::string& payload, std::size_t maxLength) {
    Bytes read;
    while (!payload.empty() && read.size() + 2 < maxLength) {
        const std::size_t room = std::min(kPacketSize, maxLength - read.size()) - 2;
        const Bytes next = packet(payload.substr(0, room));
        read.insert(read.end(), next.begin(), next.end());
        payload.erase(0, room);
    }
    return read;
}

Bytes packets(std::string payload) {
    return takePackets(payload, std::numeric_limits<std::size_t>::max());
}

std::string payloadOf(const Bytes& read) {
    std::string payload;
    for (std::size_t at = 0; at < read.size(); at += kPacketSize) {
        const std::size_t end = std::min(read.size(), at + kPacketSize);
        if (end - at > 2) payload.append(read.begin() + at + 2, read.begin() + end);
    }
    return payload;
}

std::string devicePathFor(const std::string& instanceId) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", DeviceDriver::OrbiZo::kOrbiZo3VendorId,
                  DeviceDriver::OrbiZo::kOrbiZo3ProductId);
    return std::string("\\\\?\\usb#") + ids + "#" + instanceId +
           "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

ScriptedUsbDevice::ScriptedUsbDevice(std::uint16_t vendorId, std::uint16_t productId,
                                     std::string serialNumber)
    : vid(vendorId), pid(productId), serial(std::move(serialNumber)) {}

ScriptedUsbDevice::ScriptedUsbDevice(std::string serialNumber)
    : ScriptedUsbDevice(DeviceDriver::OrbiZo::kOrbiZo3VendorId,
                        DeviceDriver::OrbiZo::kOrbiZo3ProductId, std::move(serialNumber)) {}

ScriptedUsbDevice::~ScriptedUsbDevice() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (replier.joinable()) replier.join();
}

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

void ScriptedUsbDevice::queuePayload(const std::string& bytes) {
    std::unique_lock<std::mutex> lock(mutex);
    payload += bytes;
    serveParked(lock);
}

void ScriptedUsbDevice::setIdleReply(std::optional<Bytes> reply, std::chrono::milliseconds delay) {
    std::lock_guard<std::mutex> lock(mutex);
    idleReply = std::move(reply);
    idleDelay = delay;
    if (delay.count() > 0 && !replier.joinable()) replier = std::thread([this] { replyLate(); });
}

void ScriptedUsbDevice::expectOut(Bytes expected, std::optional<Bytes> answer) {
    std::lock_guard<std::mutex> lock(mutex);
    expectations.push_back({std::move(expected), std::move(answer)});
}

void ScriptedUsbDevice::answerNextLine(const std::string& answer) {
    std::lock_guard<std::mutex> lock(mutex);
    nextLineAnswers.push_back(answer);
}

void ScriptedUsbDevice::answerCode(const std::string& code, const std::string& answer) {
    std::lock_guard<std::mutex> lock(mutex);
    codeAnswers[code] = answer;
}

void ScriptedUsbDevice::answerLines(std::function<std::string(const std::string&)> function) {
    std::lock_guard<std::mutex> lock(mutex);
    answerer = std::move(function);
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

int ScriptedUsbDevice::bulkReads() const {
    std::lock_guard<std::mutex> lock(mutex);
    return reads;
}

int ScriptedUsbDevice::pendingReads() const {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<int>(parked.size() + silent.size() + late.size());
}

std::vector<std::uint8_t> ScriptedUsbDevice::endpointResets() const {
    std::lock_guard<std::mutex> lock(mutex);
    return resets;
}

void ScriptedUsbDevice::endpointReset(std::uint8_t endpoint) {
    std::lock_guard<std::mutex> lock(mutex);
    resets.push_back(endpoint);
}

int ScriptedUsbDevice::cancelledReads() const {
    std::lock_guard<std::mutex> lock(mutex);
    return cancelled;
}

int ScriptedUsbDevice::serialNumberReads() const {
    std::lock_guard<std::mutex> lock(mutex);
    return serialReads;
}

int ScriptedUsbDevice::sessionsOpened() const {
    std::lock_guard<std::mutex> lock(mutex);
    return opened;
}

int ScriptedUsbDevice::sessionsClosed() const {
    std::lock_guard<std::mutex> lock(mutex);
    return closed;
}

void ScriptedUsbDevice::clearRecord() {
    std::lock_guard<std::mutex> lock(mutex);
    outs.clear();
    controls.clear();
    resets.clear();
    reads = 0;
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
            return {18,
                    1,
                    0x00,
                    0x02,
                    0,
                    0,
                    0,
                    64,
                    std::uint8_t(vid),
                    std::uint8_t(vid >> 8),
                    std::uint8_t(pid),
                    std::uint8_t(pid >> 8),
                    0x00,
                    0x01,
                    1,
                    2,
                    kSerialIndex,
                    1};
        case 2:
            if (index != 0) return {};
            return {9, 2, 32,       0,    1,  1,    0,    0x80, 50,  // configuration
                    9, 4, 0,        0,    2,  0xFF, 0xFF, 0xFF, 0,   // interface 0
                    7, 5, kBulkIn,  0x02, 64, 0,    0,               // bulk in
                    7, 5, kBulkOut, 0x02, 64, 0,    0};              // bulk out
        case 3:
            if (index == kSerialIndex) {
                std::lock_guard<std::mutex> lock(mutex);
                ++serialReads;
            }
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
        case kSerialIndex:
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
    if (setup.requestType == 0x40 && setup.request == kSetLatencyTimer && setup.value >= 1 &&
        setup.value <= 255)
        latencyMs = static_cast<std::uint8_t>(setup.value);
    if (setup.requestType & 0x80) {
        data.assign(setup.length, 0);
        if (setup.request == kGetLatencyTimer && setup.length > 0) data[0] = latencyMs;
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

std::string ScriptedUsbDevice::lineAnswer(const std::string& command) {
    if (!nextLineAnswers.empty()) {
        std::string answer = std::move(nextLineAnswers.front());
        nextLineAnswers.pop_front();
        return answer;
    }
    const std::string code = codeOf(command);
    auto standing = codeAnswers.find(code);
    if (standing == codeAnswers.end() && !code.empty())
        standing = codeAnswers.find(code.substr(0, 1));
    if (standing != codeAnswers.end()) return standing->second;
    return answerer ? answerer(command) : std::string();
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
        if (!expectations.empty()) {
            Expectation expectation = std::move(expectations.front());
            expectations.pop_front();
            if (expectation.out != data) {
                mismatches.push_back("OUT differs: expected " + hex(expectation.out) + ", got " +
                                     hex(data));
            }
            if (expectation.answer) answers.push_back({true, std::move(*expectation.answer)});
        } else {
            mismatches.push_back("unexpected OUT: " + hex(data));
        }
        for (std::uint8_t byte : data) {
            line.push_back(static_cast<char>(byte));
            if (byte != '\r') continue;
            payload += lineAnswer(line);
            line.clear();
        }
        hook = outHook;
        serveParked(lock);
    }
    if (hook) hook(data);
    return 0;
}

void ScriptedUsbDevice::bulkIn(std::uint8_t, std::uint32_t maxLength, InReply reply) {
    std::unique_lock<std::mutex> lock(mutex);
    ++reads;
    parked.push_back({std::move(reply), maxLength});
    serveParked(lock);
}

void ScriptedUsbDevice::serveParked(std::unique_lock<std::mutex>& lock) {
    std::vector<std::pair<InReply, Bytes>> due;
    while (!parked.empty()) {
        Read& read = parked.front();
        if (!answers.empty()) {
            Answer answer = std::move(answers.front());
            answers.pop_front();
            if (answer.reply) {
                due.emplace_back(std::move(read.reply), std::move(answer.data));
            } else {
                silent.push_back(std::move(read.reply));
            }
        } else if (!payload.empty()) {
            due.emplace_back(std::move(read.reply), takePackets(payload, read.maxLength));
        } else if (idleReply && idleDelay.count() > 0) {
            late.push_back(std::move(read.reply));
            wake.notify_all();
        } else if (idleReply) {
            due.emplace_back(std::move(read.reply), *idleReply);
        } else {
            break;
        }
        parked.pop_front();
    }
    if (clock) clock->advance(std::chrono::milliseconds(latencyMs) * static_cast<int>(due.size()));
    lock.unlock();
    for (auto& entry : due) entry.first(std::move(entry.second));
    lock.lock();
}

void ScriptedUsbDevice::replyLate() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !late.empty(); });
        if (stopping) return;
        InReply reply = std::move(late.front());
        late.pop_front();
        const Bytes data = idleReply.value_or(Bytes{});
        const auto delay = idleDelay;
        if (clock) clock->advance(std::chrono::milliseconds(latencyMs));
        lock.unlock();
        std::this_thread::sleep_for(delay);
        reply(data);
        lock.lock();
    }
}

void ScriptedUsbDevice::cancelIn(std::uint8_t) {
    std::lock_guard<std::mutex> lock(mutex);
    cancelled += static_cast<int>(parked.size() + silent.size() + late.size());
    parked.clear();
    silent.clear();
    late.clear();
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
    latencyMs = 16;
}

void ScriptedUsbDevice::driveClock(std::shared_ptr<Utilities::VirtualClock> virtualClock) {
    std::lock_guard<std::mutex> lock(mutex);
    clock = std::move(virtualClock);
}

void ScriptedUsbDevice::sessionClosed() {
    std::lock_guard<std::mutex> lock(mutex);
    ++closed;
}

}  // namespace Testing
}  // namespace Korvane
