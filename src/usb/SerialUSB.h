#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include "usb/ConverterLatency.h"
#include "usb/USBDevice.h"
#include "utilities/Loggable.h"
#include "utilities/MonotonicClock.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// The table's serial converter as a byte stream. Outgoing bytes go unchanged to bulk-out pipe 2;
// incoming bytes arrive on bulk-in pipe 1 in packets of up to 64 bytes, each led by two status
// bytes, which the link strips.
//
// Start-up: open(path), purgeInput(), configure(); then write() and read(). One thread at a
// time; the link takes no lock of its own. Errors are OrbiZoException; those of the device
// (a failed bulk read, "Device not open") pass through unchanged.
class SerialUSB : public Korvane::Utilities::Logging::Loggable, private boost::noncopyable {
public:
    static constexpr std::uint32_t kReceiveBufferSize = 0x20000;

    // Read time-outs are measured on `clock` (a virtual one when a simulated table keeps no
    // time); the default is the machine's steady clock. Never null.
    explicit SerialUSB(std::shared_ptr<Korvane::Utilities::MonotonicClock> clock =
                           Korvane::Utilities::MonotonicClock::steady());
    ~SerialUSB() override;

    // Closes, then opens a new device for the path. Never throws for a device that cannot be
    // opened (the first transfer shows it), except DeviceInUse when someone else holds it.
    void open(const std::string& devicePath);
    // Never throws; the link is closed afterwards in every case.
    void close();
    // Reads what the table has queued (up to 10 empty attempts) and throws it away.
    void purgeInput();
    // Drops what is buffered and reads on until a bulk read brings nothing (at most 64 reads),
    // throwing that away too: the left-overs of a failed exchange. Only a lost connection
    // is reported.
    void discardInput();
    // Resets the converter, purges its buffers and sets divisor 52 and 8N1; then, unless
    // latencyTimerMs is kKeepConverterLatencyTimer, sets the latency timer (vendor request 9)
    // and reads it back (vendor request 10, device to host, one byte). The value read back is
    // the latency in effect. A request 9 without a data stage cannot report a refusal, so the
    // read-back is what tells: a converter that refused or ignored it reports its own 16 ms; a
    // read-back that fails or reports 0 counts as 16 ms. Neither is an error; both are logged.
    void configure(std::uint8_t latencyTimerMs = kDefaultLatencyTimerMs);
    // How long the converter holds back a short packet, in ms, as the last configure learnt
    // it: 16 (the converter's own) until then and when it was left alone.
    std::uint8_t latencyTimerMs() const { return latencyInEffect; }
    // Up to count payload bytes; fewer when the time-out runs out. Bulk reads go on until the
    // reads that brought no data have taken timeoutMs on the clock, and at least 5 of them;
    // reads with data do not count, so a steady trickle never times out. A silent converter
    // answers a read once per latency period, so a time-out of t ms ends within
    // max(t, 5 latency periods) + one latency period (each bulk read waits up to 1000 ms). A
    // converter that answers faster than any latency timer (1 ms) is given up on after t + 5
    // empty reads. Never throws for a time-out. Payload of the last read that did not fit is
    // handed out first by the next read.
    std::string read(std::uint32_t count, std::uint32_t timeoutMs);
    // One bulk transfer of the bytes as they are. A timed-out write is not reported; one the
    // device refuses throws "Connection to device lost" when the table is gone, else "Write to
    // device failed" (the endpoint is ready for the next write).
    void write(const std::string& data);
    // The USB serial-number string; "Device not open" before the first open.
    std::string getSerialNumber();
    // The clock read time-outs are measured on; the line protocol times its attempts on it too.
    const Korvane::Utilities::MonotonicClock& clock() const { return *timeSource; }

    // One bulk read and more while they bring no data, each using up one of attempts; the
    // payload lands at the front of the receive buffer, earlier leftovers are dropped. When
    // attempts run out without data: "Timeout during read" unless tolerateTimeout. Data of the
    // last attempt is used even when its status bit is clear. A last packet of one byte throws
    // "last package contains only one byte".
    void receivePackets(std::int32_t& attempts, bool tolerateTimeout);

private:
    void requireOpen() const;
    void readBackLatencyTimer();
    // Bulk reads until one brings data or `spendOne` (called after each read without data,
    // with how long that read took on the clock) says the budget is used up; the last read's
    // bytes count even with the status bit clear. Returns whether data came; `size` is what
    // the last read brought, status bytes still in place.
    using SpendOne = std::function<bool(Korvane::Utilities::MonotonicClock::Duration)>;
    bool receiveUntil(const SpendOne& spendOne, std::uint32_t& size);
    void stripStatusBytes(std::uint32_t size);

    std::string devicePath;
    boost::shared_ptr<USBDevice> device;
    bool isOpen;
    std::vector<std::uint8_t> receiveBuffer;
    // Payload still to hand out: receiveBuffer[readPosition, readPosition + available).
    std::uint32_t available;
    std::uint32_t readPosition;
    std::shared_ptr<Korvane::Utilities::MonotonicClock> timeSource;
    std::uint8_t latencyInEffect;
};

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
