#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/usbhost/simulated/SimulatedUsbDevice.h"

namespace Korvane {
namespace Testing {

// A table on the simulated bus that answers command lines from a script: the bytes to send
// back for each command line that arrives on bulk-out 0x02. One-shot answers (queueAnswer) are
// used first, in order; then the standing answer for the line's code (answerCode). A line
// without either gets no answer. Bulk-in reads return what is queued in packets of 64 bytes,
// each led by the status bytes 01 60, or the status bytes alone, after silentReadDelayMs when
// nothing is queued (the converter's latency timer).
class AnsweringTable : public Platform::SimulatedUsbDevice {
public:
    explicit AnsweringTable(std::string serialNumber);
    ~AnsweringTable() override;

    // A complete answer line: content (from ':' up to the data) + checksum digits + CR.
    static std::string line(const std::string& content);

    void queueAnswer(const std::string& bytes);
    // code: "a1", or "r" for a one-character code.
    void answerCode(const std::string& code, const std::string& bytes);
    void setSilentReadDelay(unsigned milliseconds);
    // Bytes the table sends without being asked (left-overs, noise).
    void pushInput(const std::string& bytes);

    // Every bulk-out transfer, in order, and the bulk-in reads made so far.
    std::vector<std::string> received() const;
    unsigned bulkReads() const;
    // Requests of the serial-number string descriptor.
    unsigned serialReads() const;
    void clearRecord();

    std::uint16_t vendorId() const override;
    std::uint16_t productId() const override;
    std::string instanceId() const override;
    std::vector<std::uint8_t> descriptor(std::uint8_t type, std::uint8_t index,
                                         std::uint16_t languageId) override;
    bool controlRequest(const Platform::UsbSetupPacket& setup,
                        std::vector<std::uint8_t>& data) override;
    bool hasEndpoint(std::uint8_t endpoint) const override;
    Platform::UsbError bulkOut(std::uint8_t endpoint,
                               const std::vector<std::uint8_t>& data) override;
    void bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, InReply reply) override;
    void cancelIn(std::uint8_t endpoint) override;

private:
    std::vector<std::uint8_t> takePackets(std::uint32_t maxLength);
    void delayedReplies();

    const std::string serial;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::string> oneShot;
    std::map<std::string, std::string> standing;
    std::string pending;
    std::vector<std::string> lines;
    unsigned reads = 0;
    unsigned serialRequests = 0;
    unsigned silentDelayMs = 0;
    std::deque<InReply> waiting;
    bool stopping = false;
    std::thread replier;
};

// The Windows-form device path under which the simulated bus knows a table.
std::string devicePathFor(const std::string& instanceId);

}  // namespace Testing
}  // namespace Korvane
