#pragma once

// Drives a simulated table byte by byte through the USB host interface (SimulatedUsbBus),
// the way a host program would, but without any of the system's own protocol classes: command
// lines are framed here by hand and answers are read as raw bulk-in packets.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/usbhost/UsbHost.h"
#include "support/ScriptedUsbDevice.h"

namespace SimulatorTest {

using Korvane::Testing::Bytes;
using Korvane::Testing::payloadOf;

// ";" + body + two lower-case checksum digits + CR; the checksum makes the byte sum of
// everything before it, plus itself, 0 modulo 256.
std::string commandLine(const std::string& body);
// ":" + body + checksum digits + CR, as the table frames an answer.
std::string answerLine(const std::string& body);
// Printable form for failure messages.
std::string show(const std::string& bytes);
std::string hexBytes(const Bytes& bytes);

class TableWire {
public:
    explicit TableWire(const std::string& serialNumber);  // opens; the converter stays unset
    ~TableWire();

    Korvane::Platform::UsbError open();
    void close();
    Korvane::Platform::UsbDeviceSession* session() { return usb.get(); }

    // The five vendor requests: reset, purge RX, purge TX, divisor 0x34, format 0x0008.
    void configure();
    Korvane::Platform::UsbError control(std::uint8_t request, std::uint16_t value);
    Bytes descriptor(std::uint8_t type, std::uint8_t index);

    Korvane::Platform::UsbError write(const std::string& bytes);
    // One bulk-in read of up to `length` bytes, status bytes included; empty when it did not
    // complete within `wait` (it is cancelled then).
    Bytes readRaw(std::uint32_t length = 4096,
                  std::chrono::milliseconds wait = std::chrono::milliseconds(2000));
    // Payload (status bytes stripped) until `lines` CRs have come or `wait` has passed.
    std::string readLines(int lines,
                          std::chrono::milliseconds wait = std::chrono::milliseconds(500));
    // Frames the body, writes it and returns the answer: one line, two for "!" answers; empty
    // when the write fails or nothing comes within `wait`.
    std::string command(const std::string& body,
                        std::chrono::milliseconds wait = std::chrono::milliseconds(500));

    // Resets the table and boot-breaks it into its bootloader; checks the answers.
    void enterBootloader();

private:
    std::string serial;
    std::unique_ptr<Korvane::Platform::UsbDeviceSession> usb;
    std::string pending;  // payload read past the last line handed out
};

}  // namespace SimulatorTest
