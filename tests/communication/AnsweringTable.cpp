#include "communication/AnsweringTable.h"

#include <chrono>
#include <cstdio>

#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Testing {

namespace {

constexpr std::uint8_t kBulkIn = 0x81;
constexpr std::uint8_t kBulkOut = 0x02;
constexpr std::uint8_t kSerialIndex = 3;
constexpr std::size_t kPacket = 64;
const std::vector<std::uint8_t> kStatus = {0x01, 0x60};

std::string codeOf(const std::string& line) {
    std::string code;
    for (std::size_t i = 1; i < line.size() && i < 3; ++i) {
        const char c = line[i];
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))
            code += c;
        else
            break;
    }
    return code;
}

}  // namespace

AnsweringTable::AnsweringTable(std::string serialNumber)
    : serial(std::move(serialNumber)), replier([this] { delayedReplies(); }) {}

AnsweringTable::~AnsweringTable() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    replier.join();
}

std::string AnsweringTable::line(const std::string& content) {
    unsigned sum = 0;
    for (unsigned char c : content) sum += c;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", (0x100 - (sum & 0xFF)) & 0xFF);
    return content + digits + '\r';
}

void AnsweringTable::queueAnswer(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    oneShot.push_back(bytes);
}

void AnsweringTable::answerCode(const std::string& code, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    standing[code] = bytes;
}

void AnsweringTable::setSilentReadDelay(unsigned milliseconds) {
    std::lock_guard<std::mutex> lock(mutex);
    silentDelayMs = milliseconds;
}

void AnsweringTable::pushInput(const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    pending += bytes;
}

std::vector<std::string> AnsweringTable::received() const {
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
}

unsigned AnsweringTable::bulkReads() const {
    std::lock_guard<std::mutex> lock(mutex);
    return reads;
}

unsigned AnsweringTable::serialReads() const {
    std::lock_guard<std::mutex> lock(mutex);
    return serialRequests;
}

void AnsweringTable::clearRecord() {
    std::lock_guard<std::mutex> lock(mutex);
    lines.clear();
    reads = 0;
}

std::uint16_t AnsweringTable::vendorId() const {
    return DeviceDriver::OrbiZo::kOrbiZo3VendorId;
}

std::uint16_t AnsweringTable::productId() const {
    return DeviceDriver::OrbiZo::kOrbiZo3ProductId;
}

std::string AnsweringTable::instanceId() const {
    return serial;
}

std::vector<std::uint8_t> AnsweringTable::descriptor(std::uint8_t type, std::uint8_t index,
                                                     std::uint16_t) {
    const std::uint8_t vidLow = vendorId() & 0xFF, vidHigh = vendorId() >> 8;
    const std::uint8_t pidLow = productId() & 0xFF, pidHigh = productId() >> 8;
    switch (type) {
        case 1:
            return {18,      1,      0x00,    0x02, 0,    0, 0, 64,           vidLow,
                    vidHigh, pidLow, pidHigh, 0x00, 0x06, 1, 2, kSerialIndex, 1};
        case 2:
            return {9, 2, 32,       0, 1,  1,    0,    0x80, 50,  // configuration
                    9, 4, 0,        0, 2,  0xFF, 0xFF, 0xFF, 0,   // interface
                    7, 5, kBulkIn,  2, 64, 0,    0,               // bulk in
                    7, 5, kBulkOut, 2, 64, 0,    0};              // bulk out
        case 3: {
            if (index == 0) return {4, 3, 0x09, 0x04};
            if (index != kSerialIndex) return {};
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++serialRequests;
            }
            std::vector<std::uint8_t> text = {static_cast<std::uint8_t>(2 + 2 * serial.size()), 3};
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

bool AnsweringTable::controlRequest(const Platform::UsbSetupPacket&, std::vector<std::uint8_t>&) {
    return true;
}

bool AnsweringTable::hasEndpoint(std::uint8_t endpoint) const {
    return endpoint == kBulkIn || endpoint == kBulkOut;
}

Platform::UsbError AnsweringTable::bulkOut(std::uint8_t, const std::vector<std::uint8_t>& data) {
    std::lock_guard<std::mutex> lock(mutex);
    const std::string text(data.begin(), data.end());
    lines.push_back(text);
    if (!oneShot.empty()) {
        pending += oneShot.front();
        oneShot.pop_front();
        return 0;
    }
    const std::string code = codeOf(text);
    auto rule = standing.find(code);
    if (rule == standing.end() && !code.empty()) rule = standing.find(code.substr(0, 1));
    if (rule != standing.end()) pending += rule->second;
    return 0;
}

std::vector<std::uint8_t> AnsweringTable::takePackets(std::uint32_t maxLength) {
    std::vector<std::uint8_t> packets;
    while (!pending.empty() && packets.size() + kStatus.size() < maxLength) {
        const std::size_t room = std::min<std::size_t>(kPacket, maxLength - packets.size());
        const std::size_t payload = std::min(room - kStatus.size(), pending.size());
        packets.insert(packets.end(), kStatus.begin(), kStatus.end());
        packets.insert(packets.end(), pending.begin(), pending.begin() + payload);
        pending.erase(0, payload);
    }
    return packets;
}

void AnsweringTable::bulkIn(std::uint8_t, std::uint32_t maxLength, InReply reply) {
    std::unique_lock<std::mutex> lock(mutex);
    ++reads;
    if (pending.empty() && silentDelayMs > 0) {
        waiting.push_back(std::move(reply));
        lock.unlock();
        wake.notify_all();
        return;
    }
    std::vector<std::uint8_t> packets = pending.empty() ? kStatus : takePackets(maxLength);
    lock.unlock();
    reply(std::move(packets));
}

void AnsweringTable::cancelIn(std::uint8_t) {}

void AnsweringTable::delayedReplies() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !waiting.empty(); });
        if (stopping) return;
        InReply reply = std::move(waiting.front());
        waiting.pop_front();
        const auto delay = std::chrono::milliseconds(silentDelayMs);
        lock.unlock();
        std::this_thread::sleep_for(delay);
        reply(kStatus);
        lock.lock();
    }
}

std::string devicePathFor(const std::string& instanceId) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", DeviceDriver::OrbiZo::kOrbiZo3VendorId,
                  DeviceDriver::OrbiZo::kOrbiZo3ProductId);
    return std::string("\\\\?\\usb#") + ids + "#" + instanceId +
           "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

}  // namespace Testing
}  // namespace Korvane
