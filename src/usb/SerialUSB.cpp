#include "usb/SerialUSB.h"

#include <algorithm>
#include <cstring>

#include <boost/make_shared.hpp>

#include "usb/USBDevice_WinUSB.h"
#include "utilities/ErrorCodes.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

namespace {

constexpr std::uint8_t kBulkInPipe = 1;
constexpr std::uint8_t kBulkOutPipe = 2;
constexpr std::uint32_t kPacketSize = 64;
constexpr std::uint32_t kStatusBytes = 2;
constexpr std::uint32_t kPacketPayload = kPacketSize - kStatusBytes;
constexpr std::uint8_t kStatusDataBit = 0x01;
constexpr std::int32_t kPurgeAttempts = 10;
constexpr std::int32_t kMinimumReadAttempts = 5;
constexpr std::uint8_t kLatencyTimerRequest = 9;
constexpr std::uint8_t kLatencyTimerReadRequest = 10;
// A converter answers a read with nothing to send when its latency timer runs out, 1 ms at the
// shortest: a time-out of t ms holds no more than t such reads, whatever the clock says.
constexpr std::uint32_t kFastestLatencyMs = 1;
constexpr int kLogWarning = 2;
constexpr int kDiscardReads = 64;

// The converter's start-up requests: vendor requests to the device, index 0, no data stage.
struct ConverterRequest {
    std::uint8_t request;
    std::uint16_t value;
};
constexpr ConverterRequest kConfigureRequests[] = {
    {0, 0x0000},  // reset
    {0, 0x0001},  // purge its receive buffer
    {0, 0x0002},  // purge its transmit buffer
    {3, 0x0034},  // baud-rate divisor 52
    {4, 0x0008},  // 8 data bits, no parity, one stop bit
};

}  // namespace

constexpr std::uint32_t SerialUSB::kReceiveBufferSize;

SerialUSB::SerialUSB(std::shared_ptr<Korvane::Utilities::MonotonicClock> clock)
    : Loggable("OrbiZo3.USB.Serial"),
      isOpen(false),
      receiveBuffer(kReceiveBufferSize, 0),
      available(0),
      readPosition(0),
      timeSource(clock ? std::move(clock) : Korvane::Utilities::MonotonicClock::steady()),
      latencyInEffect(kConverterLatencyTimerMs) {}

SerialUSB::~SerialUSB() {
    close();
}

void SerialUSB::open(const std::string& path) {
    close();
    devicePath = path;
    device = boost::make_shared<USBDevice_WinUSB>(path);
    device->open();
    isOpen = true;
    latencyInEffect = kConverterLatencyTimerMs;
}

void SerialUSB::close() {
    devicePath.clear();
    if (!isOpen) return;
    isOpen = false;
    try {
        device->close();
    } catch (...) {
        // Closing is best effort; the link counts as closed either way.
    }
}

void SerialUSB::purgeInput() {
    std::int32_t attempts = kPurgeAttempts;
    receivePackets(attempts, true);
    available = 0;
    readPosition = 0;
}

void SerialUSB::discardInput() {
    requireOpen();
    available = 0;
    readPosition = 0;
    for (int read = 0; read < kDiscardReads; ++read) {
        std::int32_t attempts = 1;
        try {
            receivePackets(attempts, true);
        } catch (const OrbiZoException& e) {
            if (e.code == ErrorCode::ConnectionLost) throw;
        }
        const bool gotData = available > 0;
        available = 0;
        readPosition = 0;
        if (!gotData) return;
    }
}

void SerialUSB::configure(std::uint8_t latencyTimerMs) {
    requireOpen();
    for (const ConverterRequest& step : kConfigureRequests) {
        std::vector<std::uint8_t> noData;
        device->controlTransfer(step.request, step.value, 0, false, noData);
    }
    latencyInEffect = kConverterLatencyTimerMs;
    if (latencyTimerMs == kKeepConverterLatencyTimer) return;
    std::vector<std::uint8_t> noData;
    device->controlTransfer(kLatencyTimerRequest, latencyTimerMs, 0, false, noData);
    readBackLatencyTimer();
    if (latencyInEffect != latencyTimerMs) {
        log(kLogWarning, "the converter keeps a latency timer of " +
                             std::to_string(latencyInEffect) + " ms instead of " +
                             std::to_string(latencyTimerMs) + " ms");
    }
}

// Only shorter waits for answers hang on the latency timer; whatever the converter says, or
// fails to say, the link goes on at the value it takes as in effect.
void SerialUSB::readBackLatencyTimer() {
    std::vector<std::uint8_t> value(1, 0);
    try {
        device->controlTransfer(kLatencyTimerReadRequest, 0, 0, true, value);
    } catch (const OrbiZoException& e) {
        log(kLogWarning, std::string("latency timer not read back: ") + e.what());
        return;
    }
    if (value.size() == 1 && value[0] != 0) latencyInEffect = value[0];
}

std::string SerialUSB::read(std::uint32_t count, std::uint32_t timeoutMs) {
    using Duration = Korvane::Utilities::MonotonicClock::Duration;
    requireOpen();
    std::string result(count, '\0');
    std::uint32_t got = 0;
    std::uint32_t remaining = count;
    // Only the time of reads without data is spent, so a trickle of data never times out.
    const Duration budget = std::chrono::milliseconds(timeoutMs);
    const std::uint64_t maxEmptyReads = timeoutMs / kFastestLatencyMs + kMinimumReadAttempts;
    Duration spentTime(0);
    std::uint64_t emptyReads = 0;
    bool spent = false;
    const SpendOne spendOne = [&](Duration took) {
        spentTime += took;
        ++emptyReads;
        spent =
            emptyReads >= maxEmptyReads ||
            (emptyReads >= static_cast<std::uint64_t>(kMinimumReadAttempts) && spentTime >= budget);
        return spent;
    };

    for (;;) {
        if (available > 0) {
            const std::uint32_t k = std::min(remaining, available);
            std::memcpy(&result[got], &receiveBuffer[readPosition], k);
            readPosition += k;
            got += k;
            available -= k;
            remaining -= k;
        }
        if (remaining == 0) break;
        readPosition = 0;
        available = 0;
        std::uint32_t size = 0;
        receiveUntil(spendOne, size);
        stripStatusBytes(size);
        if (spent) break;
    }
    result.resize(got);
    return result;
}

void SerialUSB::write(const std::string& data) {
    requireOpen();
    const std::vector<std::uint8_t> bytes(data.begin(), data.end());
    device->send(kBulkOutPipe, bytes);
}

std::string SerialUSB::getSerialNumber() {
    if (!device) throw OrbiZoException(ErrorCode::DeviceNotOpen, "Device not open");
    return device->getSerialNumber();
}

void SerialUSB::receivePackets(std::int32_t& attempts, bool tolerateTimeout) {
    readPosition = 0;
    available = 0;
    if (!device) {
        throw OrbiZoException(ErrorCode::ConnectionNotEstablished,
                              "Connection to device not established");
    }
    std::uint32_t size = 0;
    bool data = false;
    if (attempts > 0) {
        data = receiveUntil(
            [&attempts](Korvane::Utilities::MonotonicClock::Duration) { return --attempts <= 0; },
            size);
    }
    if (!data && !tolerateTimeout) {
        throw OrbiZoException(ErrorCode::ReadTimeout, "Timeout during read");
    }
    stripStatusBytes(size);
}

bool SerialUSB::receiveUntil(const SpendOne& spendOne, std::uint32_t& size) {
    for (;;) {
        const auto before = timeSource->now();
        size = kReceiveBufferSize;
        device->receive(kBulkInPipe, receiveBuffer, size);
        size = std::min(size, kReceiveBufferSize);
        if (size > kStatusBytes && (receiveBuffer[0] & kStatusDataBit) != 0) return true;
        // The last read's bytes count even when the status bit says otherwise.
        if (spendOne(timeSource->now() - before)) return size > kStatusBytes;
    }
}

// Moves the payload of each packet of a read of size bytes to the front of the buffer.
void SerialUSB::stripStatusBytes(std::uint32_t size) {
    const std::uint32_t packets = size / kPacketSize;
    for (std::uint32_t i = 0; i < packets; ++i) {
        std::memmove(&receiveBuffer[i * kPacketPayload],
                     &receiveBuffer[i * kPacketSize + kStatusBytes], kPacketPayload);
    }
    available = packets * kPacketPayload;

    const std::uint32_t rest = size - packets * kPacketSize;
    if (rest == 0) return;
    if (rest == 1) {
        // The whole packets before it stay available; the stray byte is not payload.
        throw OrbiZoException(ErrorCode::LastPacketOneByte, "last package contains only one byte");
    }
    // A whole packet's worth is moved; only rest - 2 of those bytes are payload.
    std::memmove(&receiveBuffer[packets * kPacketPayload],
                 &receiveBuffer[packets * kPacketSize + kStatusBytes], kPacketPayload);
    available += rest - kStatusBytes;
}

void SerialUSB::requireOpen() const {
    if (!isOpen) {
        throw OrbiZoException(ErrorCode::ConnectionNotEstablished,
                              "Connection to device not established");
    }
}

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
