#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include "usb/ConverterLatency.h"
#include "usb/USBDevice.h"
#include "utilities/Loggable.h"

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

    SerialUSB();
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
    // latencyTimerMs is kKeepConverterLatencyTimer, sets the latency timer (vendor request 9).
    // A failed latency request is logged and not an error: the converter keeps its own 16 ms.
    // A stalled one is not seen at all (the device reports requests without a data stage as
    // done), so reads are then budgeted for the value asked for and last longer.
    void configure(std::uint8_t latencyTimerMs = kDefaultLatencyTimerMs);
    // Up to count payload bytes; fewer when the attempts run out (one per latency period of
    // timeoutMs, the converter's 16 ms unless configure set another, at least 5, each bulk
    // read waiting up to 1000 ms). Only attempts that bring no data count,
    // so a steady trickle never times out. Never throws for a time-out. Payload of the last
    // attempt that did not fit is handed out first by the next read.
    std::string read(std::uint32_t count, std::uint32_t timeoutMs);
    // One bulk transfer of the bytes as they are. A timed-out write is not reported; one the
    // device refuses throws "Connection to device lost" when the table is gone, else "Write to
    // device failed" (the endpoint is ready for the next write).
    void write(const std::string& data);
    // The USB serial-number string; "Device not open" before the first open.
    std::string getSerialNumber();

    // One bulk read and more while they bring no data, each using up one of attempts; the
    // payload lands at the front of the receive buffer, earlier leftovers are dropped. When
    // attempts run out without data: "Timeout during read" unless tolerateTimeout. Data of the
    // last attempt is used even when its status bit is clear. A last packet of one byte throws
    // "last package contains only one byte".
    void receivePackets(std::int32_t& attempts, bool tolerateTimeout);

private:
    void requireOpen() const;
    void stripStatusBytes(std::uint32_t size);

    std::string devicePath;
    boost::shared_ptr<USBDevice> device;
    bool isOpen;
    std::vector<std::uint8_t> receiveBuffer;
    // Payload still to hand out: receiveBuffer[readPosition, readPosition + available).
    std::uint32_t available;
    std::uint32_t readPosition;
    // A silent converter answers a bulk read with its status bytes once per latency period,
    // so a read's time-out is budgeted in these units.
    std::uint32_t millisecondsPerAttempt;
};

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
