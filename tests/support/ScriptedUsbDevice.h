#pragma once

// The tests' table on the simulated bus: the USB device of a table's serial converter, played
// from a script. Tests of every layer use it, from the Win32 calls up to the command groups.
//
//   auto device = std::make_shared<ScriptedUsbDevice>("SER001");     // the table's vid/pid
//   device->expectOut(bytes(";a0..\r"), bytes("\x01\x60:$a0...\r"));  // answer once asked
//   device->queueIn(packet(":$a0...\r"));                             // or right away
//   device->answerCode("a1", ":$a1...\r");                             // or answer a command
//   SimulatedUsbBus::instance().plug(device);
//   ... run the code under test ...
//   EXPECT_THAT(device->problems(), ::testing::IsEmpty());
//
// Descriptors: an 18-byte device descriptor (USB 2.0, max packet 64, the given vendor/product,
// bcdDevice 0x0100, strings 1 manufacturer "Scripted", 2 product "Scripted USB device",
// 3 the serial number, one configuration), a 32-byte configuration descriptor with one vendor
// interface (class 0xFF) and two 64-byte bulk endpoints, in 0x81 and out 0x02, string 0 the
// language list {0x0409}. String descriptors ignore the language asked for.
//
// Bulk-out (0x02): every transfer is recorded. A transfer is checked against the next OUT
// expectation (expectOut); one without an expectation counts as a problem. Each command line
// (the bytes up to a CR, across transfers) is answered from the line script: the next one-shot
// answer (answerNextLine) first, else the standing answer for the line's command code
// (answerCode), else the answerer (answerLines). Line answers are table output (payload).
//
// Bulk-in (0x81): a read takes the first of: the next scripted read (queueIn: exact bytes,
// status bytes included; queueNoReply: the read stays pending until the host aborts it, the
// device is unplugged or the session closes); the table's payload (line answers, queuePayload),
// as many converter packets as the read has room for; the idle reply when one is set
// (setIdleReply: the status bytes alone, as the converter sends when its latency timer runs
// out), at once or after a delay. Otherwise the read waits for the next of these.
//
// Thread-safe; answers are delivered on the thread that reads or that queues them, delayed
// idle replies on the device's own reply thread. The answerer runs under the device's lock.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/usbhost/simulated/SimulatedUsbDevice.h"
#include "utilities/VirtualClock.h"

namespace Korvane {
namespace Testing {

using Bytes = std::vector<std::uint8_t>;

// The bytes of a string literal, so that scripts can be written as text ("\x01\x60:$...\r").
Bytes bytes(const std::string& text);
// "01 60 3a" style hex of bytes, for failure messages.
std::string hex(const Bytes& data);

// The converter's framing of what the table sends: packets of at most 64 bytes, each led by
// two status bytes, 0x01 (bit 0: the data bit) or `status`, and 0x60.
constexpr std::size_t kPacketSize = 64;
Bytes packet(const std::string& payload, std::uint8_t status = 0x01);
// The status bytes alone: the converter had nothing to send.
Bytes emptyPacket();
// As many packets of payload as fit into one read of maxLength bytes; what they carry is taken
// off the front of payload.
Bytes takePackets(std::string& payload, std::size_t maxLength);
// All of payload as packets, for one read.
Bytes packets(std::string payload);
// The payload of one read: every 64-byte packet without its two status bytes.
std::string payloadOf(const Bytes& read);

// The Windows-form device path under which the simulated bus lists a table.
std::string devicePathFor(const std::string& instanceId);

class ScriptedUsbDevice : public Platform::SimulatedUsbDevice {
public:
    static constexpr std::uint8_t kBulkIn = 0x81;
    static constexpr std::uint8_t kBulkOut = 0x02;

    struct ControlRecord {
        Platform::UsbSetupPacket setup;
        Bytes data;  // host-to-device: the data stage sent; device-to-host: what was answered
    };

    ScriptedUsbDevice(std::uint16_t vendorId, std::uint16_t productId, std::string serialNumber);
    // A table: the vendor and product identifier of the OrbiZo3.
    explicit ScriptedUsbDevice(std::string serialNumber);
    ~ScriptedUsbDevice() override;

    // --- script: reads ---
    void queueIn(Bytes answer);
    void queueNoReply();
    void queuePayload(const std::string& payload);
    void setIdleReply(std::optional<Bytes> reply,
                      std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // --- script: writes ---
    // The next OUT transfer must carry exactly these bytes (a difference is a problem); when
    // answer is given, it is queued as a read once that OUT has arrived.
    void expectOut(Bytes expected, std::optional<Bytes> answer = std::nullopt);
    // Answers to command lines (";a1..\r"), as the table's bytes: for the next line, for every
    // line of a command code ("a1", or "r" for a one-character code), or computed from the line
    // (an empty answer: the table stays silent).
    void answerNextLine(const std::string& answer);
    void answerCode(const std::string& code, const std::string& answer);
    void answerLines(std::function<std::string(const std::string& line)> answerer);
    // Device-to-host vendor request `request`: answer with these bytes (cut to wLength). The
    // default answer is wLength zero bytes, but for request 10 (the converter's latency timer:
    // one byte, 16 until request 9 sets 1-255 ms; every session starts at 16).
    void setControlAnswer(std::uint8_t request, Bytes answer);
    // Every read answered moves `clock` on by one latency period, as long as the converter
    // would have held it; so time-outs measured on it run their full length at once.
    void driveClock(std::shared_ptr<Utilities::VirtualClock> clock);
    // The next n control requests stall; the next n bulk transfers (either direction) fail
    // with error (an IN fails at once, an OUT after recording nothing).
    void failNextControl(int n);
    void failNextBulk(int n, Platform::UsbError error = 31 /* ERROR_GEN_FAILURE */);
    // Called after every accepted OUT transfer, outside the device's lock (it may unplug).
    void onOut(std::function<void(const Bytes&)> hook);

    // --- record ---
    std::vector<Bytes> outTransfers() const;
    Bytes outBytes() const;  // all OUT transfers joined
    std::vector<ControlRecord> controlRequests() const;
    int bulkReads() const;          // reads asked for (a read failed by failNextBulk is not)
    int pendingReads() const;       // reads waiting for an answer now
    int cancelledReads() const;     // reads dropped by cancelIn
    int serialNumberReads() const;  // requests of string descriptor 3
    // The endpoints whose halt the host cleared, in order.
    std::vector<std::uint8_t> endpointResets() const;
    int sessionsOpened() const;
    int sessionsClosed() const;
    // Forgets the OUT transfers, control requests and reads recorded so far.
    void clearRecord();
    // Expectations not met: OUT transfers that differed from (or came without) an expectation,
    // and expectations still waiting. Empty when the script ran as written.
    std::vector<std::string> problems() const;

    // --- SimulatedUsbDevice ---
    std::uint16_t vendorId() const override { return vid; }
    std::uint16_t productId() const override { return pid; }
    std::string instanceId() const override { return serial; }
    Bytes descriptor(std::uint8_t type, std::uint8_t index, std::uint16_t languageId) override;
    bool controlRequest(const Platform::UsbSetupPacket& setup, Bytes& data) override;
    bool hasEndpoint(std::uint8_t endpoint) const override;
    Platform::UsbError bulkOut(std::uint8_t endpoint, const Bytes& data) override;
    void bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, InReply reply) override;
    void cancelIn(std::uint8_t endpoint) override;
    void endpointReset(std::uint8_t endpoint) override;
    Platform::UsbError inTransferFault(std::uint8_t endpoint) override;
    void sessionOpened() override;
    void sessionClosed() override;

private:
    struct Answer {
        bool reply = true;
        Bytes data;
    };
    struct Expectation {
        Bytes out;
        std::optional<Bytes> answer;
    };
    struct Read {
        InReply reply;
        std::uint32_t maxLength;
    };

    Bytes stringDescriptor(std::uint8_t index) const;
    std::string lineAnswer(const std::string& line);
    // Hands what there is to parked reads; replies are made after the lock is released.
    void serveParked(std::unique_lock<std::mutex>& lock);
    // The reply thread: answers delayed idle reads one after another.
    void replyLate();

    const std::uint16_t vid;
    const std::uint16_t pid;
    const std::string serial;

    mutable std::mutex mutex;
    std::deque<Answer> answers;
    std::string payload;
    std::optional<Bytes> idleReply;
    std::chrono::milliseconds idleDelay{0};
    std::deque<Expectation> expectations;
    std::string line;  // the command line arriving
    std::deque<std::string> nextLineAnswers;
    std::map<std::string, std::string> codeAnswers;
    std::function<std::string(const std::string&)> answerer;
    std::vector<std::pair<std::uint8_t, Bytes>> controlAnswers;
    std::uint8_t latencyMs = 16;
    std::shared_ptr<Utilities::VirtualClock> clock;
    int controlFailures = 0;
    int bulkFailures = 0;
    Platform::UsbError bulkFailure = 0;
    std::function<void(const Bytes&)> outHook;
    std::deque<Read> parked;      // reads waiting for an answer
    std::vector<InReply> silent;  // reads scripted never to be answered
    std::deque<InReply> late;     // idle reads for the reply thread
    std::vector<Bytes> outs;
    std::vector<ControlRecord> controls;
    std::vector<std::string> mismatches;
    int reads = 0;
    int cancelled = 0;
    std::vector<std::uint8_t> resets;
    int serialReads = 0;
    int opened = 0;
    int closed = 0;
    std::condition_variable wake;
    bool stopping = false;
    std::thread replier;  // started with the first delayed idle reply
};

}  // namespace Testing
}  // namespace Korvane
