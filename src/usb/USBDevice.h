#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "utilities/Loggable.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// One USB device reached by its device interface path. Pipes are endpoint numbers without the
// direction bit (pipe 1 reads endpoint 0x81, pipe 2 writes endpoint 0x02).
//
// Failures that an implementation records instead of throwing are described with it; every
// thrown failure is an OrbiZoException.
class USBDevice : public Korvane::Utilities::Logging::Loggable {
public:
    explicit USBDevice(const std::string& channel);
    ~USBDevice() override;

    // Opens the device path. Does not report failures to the caller; the first transfer shows them.
    virtual void open() = 0;
    virtual void close() = 0;

    // Vendor control request with index and an optional data stage of data.size() bytes. For a
    // device-to-host request data is resized to what the device returned.
    virtual void controlTransfer(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                                 bool deviceToHost, std::vector<std::uint8_t>& data) = 0;

    // Bulk read of at most length bytes (never more than buffer.size()) into buffer; length
    // comes back as the number of bytes received, 0 on a time-out.
    virtual void receive(std::uint8_t pipe, std::vector<std::uint8_t>& buffer,
                         std::uint32_t& length) = 0;

    // Bulk write of all of data.
    virtual void send(std::uint8_t pipe, const std::vector<std::uint8_t>& data) = 0;

    // The USB serial-number string of the device.
    virtual std::string getSerialNumber() = 0;

    // Cancels what is pending on the pipe in both directions; returns the thread's last system
    // error code afterwards.
    virtual std::uint32_t abortPipe(std::uint8_t pipe) = 0;

    virtual std::string getDevicePath() = 0;
};

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
