#pragma once

// A USB device for tests that plays back a script: what it answers on bulk-in, what it expects
// and records on bulk-out and on control requests, and which transfers it fails.
//
//   auto device = std::make_shared<ScriptedUsbDevice>(0x1209, 0x7A03, "SER001");
//   device->expectOut(bytes(";a0..\r"), bytes("\x01\x60:$a0...\r"));  // answer once asked
//   device->queueIn(bytes("\x01\x60"));                                // or right away
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
// Bulk-in (0x81): every read takes the next scripted answer, delivered at once: exact bytes
// (queueIn) or "never answer" (queueNoReply: the read stays pending until the host aborts it,
// the device is unplugged or the session closes). With nothing scripted, a read gets the idle
// reply when one is set (setIdleReply, e.g. the two status bytes of an empty packet), and
// otherwise waits for the next queueIn, which then answers it.
//
// Thread-safe; scripted answers are delivered on the thread that reads or that queues them.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/usbhost/simulated/SimulatedUsbDevice.h"

namespace Korvane {
namespace Testing {

using Bytes = std::vector<std::uint8_t>;

// The bytes of a string literal, so that scripts can be written as text ("\x01\x60:$...\r").
Bytes bytes(const std::string& text);
// "01 60 3a" style hex of bytes, for failure messages.
std::string hex(const Bytes& data);

class ScriptedUsbDevice : public Platform::SimulatedUsbDevice {
public:
    static constexpr std::uint8_t kBulkIn = 0x81;
    static constexpr std::uint8_t kBulkOut = 0x02;

    struct ControlRecord {
        Platform::UsbSetupPacket setup;
        Bytes data;  // host-to-device: the data stage sent; device-to-host: what was answered
    };

    ScriptedUsbDevice(std::uint16_t vendorId, std::uint16_t productId, std::string serialNumber);

    // --- script ---
    void queueIn(Bytes answer);
    void queueNoReply();
    void setIdleReply(std::optional<Bytes> reply);
    // The next OUT transfer must carry exactly these bytes (a difference is a problem); when
    // answer is given, it is queued as an IN answer once that OUT has arrived.
    void expectOut(Bytes expected, std::optional<Bytes> answer = std::nullopt);
    // Device-to-host vendor request `request`: answer with these bytes (cut to wLength). The
    // default answer is wLength zero bytes.
    void setControlAnswer(std::uint8_t request, Bytes answer);
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
    int pendingReads() const;    // reads waiting for an answer now
    int cancelledReads() const;  // reads dropped by cancelIn
    int sessionsOpened() const;
    int sessionsClosed() const;
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

    Bytes stringDescriptor(std::uint8_t index) const;
    // Hands queued answers to parked reads; replies are made after the lock is released.
    void serveParked(std::unique_lock<std::mutex>& lock);

    const std::uint16_t vid;
    const std::uint16_t pid;
    const std::string serial;

    mutable std::mutex mutex;
    std::deque<Answer> answers;
    std::optional<Bytes> idleReply;
    std::deque<Expectation> expectations;
    std::vector<std::pair<std::uint8_t, Bytes>> controlAnswers;
    int controlFailures = 0;
    int bulkFailures = 0;
    Platform::UsbError bulkFailure = 0;
    std::function<void(const Bytes&)> outHook;
    std::deque<InReply> parked;   // reads waiting for an answer
    std::vector<InReply> silent;  // reads scripted never to be answered
    std::vector<Bytes> outs;
    std::vector<ControlRecord> controls;
    std::vector<std::string> mismatches;
    int cancelled = 0;
    int opened = 0;
    int closed = 0;
};

}  // namespace Testing
}  // namespace Korvane
