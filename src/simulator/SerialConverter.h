#pragma once

// The table's USB serial converter. Five vendor requests set it up (request 0: reset, purge
// RX, purge TX by value 0, 1, 2; request 3: baud divisor; request 4: data format); only with
// divisor 0x34 and format 0x0008 (8N1) does the table understand the host, before that the
// host's bytes are lost. Request 9 sets the latency timer (value: 1-255 ms; other values
// stall); until then the timing model's latency applies (16 ms). Request 10 (device to host)
// answers the latency timer in one byte. The table's output waits in a
// queue and leaves on bulk-in in packets of at most 64 bytes, each led by two status bytes
// (0x01 0x60: bit 0 of the first set).
//
// Not thread-safe; the table serialises.

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/usbhost/UsbHost.h"
#include "simulator/TimingModel.h"

namespace Korvane {
namespace Simulator {

class SerialConverter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::uint32_t kPacketSize = 64;
    static constexpr std::uint32_t kPayloadPerPacket = kPacketSize - 2;
    static constexpr std::uint16_t kDivisor = 0x0034;
    static constexpr std::uint16_t kFormat = 0x0008;

    // Unconfigured, latency timer back at the model's, nothing queued (power-on, and every
    // open of the device).
    void reset();
    // A control request addressed to the converter; false stalls it. `data` receives the
    // data stage of a device-to-host request.
    bool control(const Platform::UsbSetupPacket& setup, std::vector<std::uint8_t>& data,
                 const TimingModel& timing);
    bool configured() const;
    // Time of one byte on the serial line; 0 while the timing model is off.
    std::chrono::microseconds byteTime(const TimingModel& timing) const;
    // How long a short packet is held back: the value request 9 set, else the model's.
    std::chrono::microseconds latency(const TimingModel& timing) const;

    // Queues bytes for the host. The first goes onto the line at `at`, or after what is
    // queued before it; each takes `byteTime`. Returns when the last byte is through.
    Clock::time_point send(const std::string& bytes, Clock::time_point at,
                           std::chrono::microseconds byteTime);

    // When to answer a bulk-in read the host started at `requested`. Timing off: at once when
    // anything is ready or nothing is on its way; else when the next byte is ready, at most
    // one latency period after the request. Timing on: as soon as a packet's worth is ready,
    // else when the latency timer runs out.
    Clock::time_point replyTime(Clock::time_point requested, Clock::time_point now,
                                const TimingModel& timing) const;
    // The reply to a bulk-in read of at most maxLength bytes: the ready bytes in packets.
    std::vector<std::uint8_t> takePackets(Clock::time_point now, std::uint32_t maxLength);

    void clearStatusBit(unsigned reads) { statusBitClearReads = reads; }
    void oneByteLastPacket() { oneBytePacket = true; }
    // A converter without the latency request: request 9 stalls whatever its value.
    void refuseLatencyTimer(bool refuse) { latencyRequestRefused = refuse; }
    // A converter that takes request 9 and keeps its latency all the same.
    void ignoreLatencyTimer(bool ignore) { latencyRequestIgnored = ignore; }
    // Every control request stalls.
    void stallControlRequests(bool stall) { controlStalled = stall; }
    void clearFaults();

private:
    struct Chunk {
        std::string bytes;
        std::size_t taken = 0;
        Clock::time_point start;
        std::chrono::microseconds byteTime{0};

        Clock::time_point readyAt(std::size_t index) const {
            return start + byteTime * static_cast<long>(index + 1);
        }
    };

    std::size_t readyBytes(Clock::time_point now) const;
    // When the count of ready bytes reaches `count`; false when the queue never holds that many.
    bool readyTime(std::size_t count, Clock::time_point& at) const;

    std::deque<Chunk> queue;
    std::uint16_t divisor = 0;
    std::uint16_t format = 0;
    std::uint8_t latencyTimerMs = 0;  // 0: not set since the last reset
    unsigned statusBitClearReads = 0;
    bool oneBytePacket = false;
    bool latencyRequestRefused = false;
    bool latencyRequestIgnored = false;
    bool controlStalled = false;
};

}  // namespace Simulator
}  // namespace Korvane
