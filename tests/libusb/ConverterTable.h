#pragma once

// A small stand-in for a table on the simulated bus side: the descriptors of the table's serial
// converter, control requests recorded (and stalled on demand), bulk OUT bytes recorded, and one
// answer line per command line, delivered on bulk IN in 64-byte packets each led by the two
// status bytes. With nothing queued a bulk IN read waits (no empty status packets), so a test
// decides when a read times out.

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/usbhost/simulated/SimulatedUsbDevice.h"

namespace Korvane {
namespace Platform {
namespace Testing {

class ConverterTable : public SimulatedUsbDevice {
public:
    explicit ConverterTable(std::string serialNumber);

    std::uint16_t vendorId() const override;
    std::uint16_t productId() const override;
    std::string instanceId() const override { return serial; }
    std::vector<std::uint8_t> descriptor(std::uint8_t type, std::uint8_t index,
                                         std::uint16_t languageId) override;
    bool controlRequest(const UsbSetupPacket& setup, std::vector<std::uint8_t>& data) override;
    bool hasEndpoint(std::uint8_t endpoint) const override;
    UsbError bulkOut(std::uint8_t endpoint, const std::vector<std::uint8_t>& data) override;
    void bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, InReply reply) override;
    void cancelIn(std::uint8_t endpoint) override;

    // The answer to one command line (CR included); empty: the table stays silent.
    void setAnswerer(std::function<std::string(const std::string& line)> answerer);
    // Control requests with this bRequest stall.
    void stallRequest(std::uint8_t request);

    std::vector<UsbSetupPacket> controlRequests() const;
    std::string bytesReceived() const;
    bool readPending() const;

    static constexpr std::uint8_t kLatencyRequest = 0x0A;  // device-to-host, one byte back
    static constexpr std::uint8_t kLatency = 16;

private:
    void deliverLocked(std::vector<InReply>& ready, std::vector<std::vector<std::uint8_t>>& data);

    const std::string serial;
    mutable std::mutex mutex;
    std::function<std::string(const std::string&)> answerer;
    std::vector<std::uint8_t> stalled;
    std::vector<UsbSetupPacket> requests;
    std::string received;
    std::string line;
    std::string queued;
    InReply parked;
    std::uint32_t parkedLength = 0;
};

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane
