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

SerialUSB::SerialUSB()
    : Loggable("OrbiZo3.USB.Serial"),
      isOpen(false),
      receiveBuffer(kReceiveBufferSize, 0),
      available(0),
      readPosition(0),
      millisecondsPerAttempt(kConverterLatencyTimerMs) {}

SerialUSB::~SerialUSB() {
    close();
}

void SerialUSB::open(const std::string& path) {
    close();
    devicePath = path;
    device = boost::make_shared<USBDevice_WinUSB>(path);
    device->open();
    isOpen = true;
    millisecondsPerAttempt = kConverterLatencyTimerMs;
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
    millisecondsPerAttempt = kConverterLatencyTimerMs;
    if (latencyTimerMs == kKeepConverterLatencyTimer) return;
    // Only a shorter wait for each answer hangs on this request; without it the converter
    // works as before at its own value.
    try {
        std::vector<std::uint8_t> noData;
        device->controlTransfer(kLatencyTimerRequest, latencyTimerMs, 0, false, noData);
        millisecondsPerAttempt = latencyTimerMs;
    } catch (const OrbiZoException& e) {
        log(kLogWarning,
            std::string("latency timer not set, the converter keeps its own: ") + e.what());
    }
}

std::string SerialUSB::read(std::uint32_t count, std::uint32_t timeoutMs) {
    requireOpen();
    std::string result(count, '\0');
    std::uint32_t got = 0;
    std::uint32_t remaining = count;
    // One attempt per latency period of time-out, rounded to the nearest, at least 5.
    std::int32_t attempts = static_cast<std::int32_t>(std::max<std::uint32_t>(
        (timeoutMs + millisecondsPerAttempt / 2) / millisecondsPerAttempt, kMinimumReadAttempts));

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
        receivePackets(attempts, true);
        if (attempts <= 0) break;
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
    while (attempts > 0) {
        size = kReceiveBufferSize;
        device->receive(kBulkInPipe, receiveBuffer, size);
        size = std::min(size, kReceiveBufferSize);
        if (size > kStatusBytes && (receiveBuffer[0] & kStatusDataBit) != 0) {
            data = true;
            break;
        }
        --attempts;
        // The last attempt's bytes count even when the status bit says otherwise.
        if (attempts <= 0 && size > kStatusBytes) data = true;
    }
    if (!data && !tolerateTimeout) {
        throw OrbiZoException(ErrorCode::ReadTimeout, "Timeout during read");
    }
    stripStatusBytes(size);
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
