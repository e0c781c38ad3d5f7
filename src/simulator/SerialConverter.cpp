#include "simulator/SerialConverter.h"

#include <algorithm>
#include <iterator>

namespace Korvane {
namespace Simulator {

namespace {

constexpr std::uint8_t kVendorOut = 0x40;
constexpr std::uint8_t kVendorIn = 0xC0;
constexpr std::uint8_t kRequestReset = 0;
constexpr std::uint8_t kRequestModem = 1;
constexpr std::uint8_t kRequestFlow = 2;
constexpr std::uint8_t kRequestDivisor = 3;
constexpr std::uint8_t kRequestFormat = 4;
constexpr std::uint8_t kRequestLatencyTimer = 9;
constexpr std::uint8_t kRequestReadLatencyTimer = 10;
constexpr std::uint16_t kMaxLatencyTimerMs = 255;
constexpr std::uint8_t kStatus0 = 0x01;
constexpr std::uint8_t kStatus1 = 0x60;

}  // namespace

void SerialConverter::reset() {
    queue.clear();
    divisor = 0;
    format = 0;
    latencyTimerMs = 0;
}

void SerialConverter::clearFaults() {
    statusBitClearReads = 0;
    oneBytePacket = false;
    latencyRequestRefused = false;
    latencyRequestIgnored = false;
    controlStalled = false;
}

bool SerialConverter::control(const Platform::UsbSetupPacket& setup,
                              std::vector<std::uint8_t>& data, const TimingModel& timing) {
    if (controlStalled) return false;
    if (setup.requestType == kVendorIn && setup.request == kRequestReadLatencyTimer) {
        const auto milliseconds =
            std::chrono::duration_cast<std::chrono::milliseconds>(latency(timing)).count();
        data.assign(1, static_cast<std::uint8_t>(std::min<long long>(milliseconds, 255)));
        return true;
    }
    if (setup.requestType != kVendorOut) return false;
    switch (setup.request) {
        case kRequestReset:
            if (setup.value > 2) return false;
            // Value 1 purges what the host sent and the table has not taken: the table takes
            // every byte at once here, so only a purge of the table's output has an effect.
            if (setup.value != 1) queue.clear();
            return true;
        case kRequestModem:
        case kRequestFlow:
            return true;
        case kRequestDivisor:
            divisor = setup.value;
            return true;
        case kRequestFormat:
            format = setup.value;
            return true;
        case kRequestLatencyTimer:
            if (latencyRequestRefused || setup.value == 0 || setup.value > kMaxLatencyTimerMs)
                return false;
            if (!latencyRequestIgnored) latencyTimerMs = static_cast<std::uint8_t>(setup.value);
            return true;
        default:
            return false;
    }
}

bool SerialConverter::configured() const {
    return divisor == kDivisor && format == kFormat;
}

std::chrono::microseconds SerialConverter::byteTime(const TimingModel& timing) const {
    return timing.enabled ? TimingModel::byteTime(divisor) : std::chrono::microseconds(0);
}

std::chrono::microseconds SerialConverter::latency(const TimingModel& timing) const {
    return latencyTimerMs == 0 ? timing.latency : std::chrono::milliseconds(latencyTimerMs);
}

SerialConverter::Clock::time_point SerialConverter::send(const std::string& bytes,
                                                         Clock::time_point at,
                                                         std::chrono::microseconds byteTime) {
    // The queue is in line order: a piece scheduled for later (a completion line, a delayed
    // answer) lets answers that are due earlier pass it.
    auto position = queue.end();
    while (position != queue.begin() && std::prev(position)->start > at) --position;
    Chunk chunk;
    chunk.bytes = bytes;
    chunk.start = at;
    if (position != queue.begin()) {
        const Chunk& before = *std::prev(position);
        chunk.start =
            std::max(at, before.start + before.byteTime * static_cast<long>(before.bytes.size()));
    }
    chunk.byteTime = byteTime;
    const Clock::time_point end = chunk.start + byteTime * static_cast<long>(bytes.size());
    if (!bytes.empty()) queue.insert(position, std::move(chunk));
    return end;
}

std::size_t SerialConverter::readyBytes(Clock::time_point now) const {
    std::size_t ready = 0;
    for (const Chunk& chunk : queue) {
        std::size_t count = chunk.taken;
        while (count < chunk.bytes.size() && chunk.readyAt(count) <= now) ++count;
        ready += count - chunk.taken;
        if (count < chunk.bytes.size()) break;
    }
    return ready;
}

bool SerialConverter::readyTime(std::size_t count, Clock::time_point& at) const {
    for (const Chunk& chunk : queue) {
        const std::size_t left = chunk.bytes.size() - chunk.taken;
        if (count <= left) {
            at = chunk.readyAt(chunk.taken + count - 1);
            return true;
        }
        count -= left;
    }
    return false;
}

SerialConverter::Clock::time_point SerialConverter::replyTime(Clock::time_point requested,
                                                              Clock::time_point now,
                                                              const TimingModel& timing) const {
    const std::size_t ready = readyBytes(now);
    const std::chrono::microseconds held = latency(timing);
    const Clock::time_point latencyEnd = requested + held;
    Clock::time_point next;
    if (!timing.enabled) {
        if (ready > 0 || !readyTime(1, next)) return now;
        return std::min(latencyEnd, next);
    }
    if (ready >= kPayloadPerPacket) return now;
    Clock::time_point firstReady;
    if (ready > 0 && readyTime(1, firstReady) && firstReady + held <= now) return now;
    if (readyTime(kPayloadPerPacket, next)) {
        return std::min(latencyEnd, next);
    }
    return latencyEnd;
}

std::vector<std::uint8_t> SerialConverter::takePackets(Clock::time_point now,
                                                       std::uint32_t maxLength) {
    const std::uint32_t packets = maxLength / kPacketSize;
    const std::uint32_t rest = maxLength % kPacketSize;
    const std::size_t room = packets * kPayloadPerPacket + (rest > 2 ? rest - 2 : 0);
    std::string payload;
    std::size_t wanted = std::min(readyBytes(now), room);
    while (wanted > 0 && !queue.empty()) {
        Chunk& chunk = queue.front();
        const std::size_t n = std::min(wanted, chunk.bytes.size() - chunk.taken);
        payload.append(chunk.bytes, chunk.taken, n);
        chunk.taken += n;
        wanted -= n;
        if (chunk.taken == chunk.bytes.size()) queue.pop_front();
    }

    std::uint8_t status0 = kStatus0;
    if (statusBitClearReads > 0) {
        --statusBitClearReads;
        status0 = static_cast<std::uint8_t>(kStatus0 & ~1u);
    }
    std::vector<std::uint8_t> reply;
    if (maxLength < 2) return reply;
    std::size_t at = 0;
    do {
        reply.push_back(status0);
        reply.push_back(kStatus1);
        const std::size_t n = std::min<std::size_t>(kPayloadPerPacket, payload.size() - at);
        reply.insert(reply.end(), payload.begin() + static_cast<long>(at),
                     payload.begin() + static_cast<long>(at + n));
        at += n;
    } while (at < payload.size());

    // A malformed read: the packets padded to full size and a lone byte behind them. A host
    // has to throw such a read away, payload included.
    if (oneBytePacket && !payload.empty() && reply.size() + kPacketSize < maxLength) {
        oneBytePacket = false;
        reply.resize((reply.size() + kPacketSize - 1) / kPacketSize * kPacketSize, 0);
        reply.push_back(status0);
    }
    return reply;
}

}  // namespace Simulator
}  // namespace Korvane
