#include "libusb/ConverterTable.h"

#include <algorithm>

#include "platform/win32/Win32.h"
#include "support/DeviceDescriptor.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Platform {
namespace Testing {

namespace {

constexpr std::uint8_t kStatus0 = 0x01;
constexpr std::uint8_t kStatus1 = 0x60;
constexpr std::size_t kPacket = 64;

std::vector<std::uint8_t> packets(std::string& queued, std::uint32_t maxLength) {
    std::vector<std::uint8_t> out;
    while (!queued.empty() && out.size() + 2 < maxLength) {
        const std::size_t room = std::min<std::size_t>(kPacket, maxLength - out.size()) - 2;
        const std::size_t take = std::min(room, queued.size());
        out.push_back(kStatus0);
        out.push_back(kStatus1);
        out.insert(out.end(), queued.begin(), queued.begin() + take);
        queued.erase(0, take);
    }
    return out;
}

}  // namespace

ConverterTable::ConverterTable(std::string serialNumber)
    : serial(std::move(serialNumber)),
      answerer([](const std::string& command) { return ":" + command; }) {}

std::uint16_t ConverterTable::vendorId() const {
    return DeviceDriver::OrbiZo::kOrbiZo3VendorId;
}

std::uint16_t ConverterTable::productId() const {
    return DeviceDriver::OrbiZo::kOrbiZo3ProductId;
}

std::vector<std::uint8_t> ConverterTable::descriptor(std::uint8_t type, std::uint8_t index,
                                                     std::uint16_t) {
    const std::uint16_t vid = vendorId(), pid = productId();
    switch (type) {
        case 1:
            return ::Korvane::Testing::deviceDescriptor(vid, pid, 0x0600);
        case 2:
            return {9, 2, 32,   0, 1,  1,    0,    0x80, 50,  // configuration
                    9, 4, 0,    0, 2,  0xFF, 0xFF, 0xFF, 2,   // interface 0
                    7, 5, 0x81, 2, 64, 0,    0,               // bulk IN 1
                    7, 5, 0x02, 2, 64, 0,    0};              // bulk OUT 2
        case 3: {
            if (index == 0) return {4, 3, 0x09, 0x04};
            if (index != 3) return {};
            std::vector<std::uint8_t> text{std::uint8_t(2 + 2 * serial.size()), 3};
            for (char c : serial) {
                text.push_back(static_cast<std::uint8_t>(c));
                text.push_back(0);
            }
            return text;
        }
        default:
            return {};
    }
}

bool ConverterTable::controlRequest(const UsbSetupPacket& setup, std::vector<std::uint8_t>& data) {
    std::lock_guard<std::mutex> lock(mutex);
    requests.push_back(setup);
    if (std::find(stalled.begin(), stalled.end(), setup.request) != stalled.end()) return false;
    if (setup.request == kLatencyRequest && (setup.requestType & 0x80)) data.assign(1, kLatency);
    return true;
}

bool ConverterTable::hasEndpoint(std::uint8_t endpoint) const {
    return endpoint == 0x81 || endpoint == 0x02;
}

UsbError ConverterTable::bulkOut(std::uint8_t, const std::vector<std::uint8_t>& data) {
    std::vector<InReply> ready;
    std::vector<std::vector<std::uint8_t>> replies;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (std::uint8_t byte : data) {
            received.push_back(static_cast<char>(byte));
            line.push_back(static_cast<char>(byte));
            if (byte != '\r') continue;
            if (answerer) queued += answerer(line);
            line.clear();
        }
        deliverLocked(ready, replies);
    }
    for (std::size_t i = 0; i < ready.size(); ++i) ready[i](replies[i]);
    return ERROR_SUCCESS;
}

void ConverterTable::bulkIn(std::uint8_t, std::uint32_t maxLength, InReply reply) {
    std::vector<InReply> ready;
    std::vector<std::vector<std::uint8_t>> replies;
    {
        std::lock_guard<std::mutex> lock(mutex);
        parked = std::move(reply);
        parkedLength = maxLength;
        deliverLocked(ready, replies);
    }
    for (std::size_t i = 0; i < ready.size(); ++i) ready[i](replies[i]);
}

void ConverterTable::deliverLocked(std::vector<InReply>& ready,
                                   std::vector<std::vector<std::uint8_t>>& data) {
    if (!parked || queued.empty()) return;
    data.push_back(packets(queued, parkedLength));
    ready.push_back(std::move(parked));
    parked = nullptr;
}

void ConverterTable::cancelIn(std::uint8_t) {
    std::lock_guard<std::mutex> lock(mutex);
    parked = nullptr;
}

void ConverterTable::setAnswerer(std::function<std::string(const std::string&)> answer) {
    std::lock_guard<std::mutex> lock(mutex);
    answerer = std::move(answer);
}

void ConverterTable::stallRequest(std::uint8_t request) {
    std::lock_guard<std::mutex> lock(mutex);
    stalled.push_back(request);
}

std::vector<UsbSetupPacket> ConverterTable::controlRequests() const {
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
}

std::string ConverterTable::bytesReceived() const {
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

bool ConverterTable::readPending() const {
    std::lock_guard<std::mutex> lock(mutex);
    return static_cast<bool>(parked);
}

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane
