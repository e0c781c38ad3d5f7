#pragma once

// The USB trace: one line per transfer that crossed the wire, appended to a file, so that a
// service engineer (and a test) can read exactly what was exchanged with a table:
//
//   <seconds> CTRL <bmRequestType xx> <bRequest xx> <wValue xxxx> <wIndex xxxx> <length> [<data>]
//   <seconds> OUT <endpoint xx> <length> <bytes>
//   <seconds> IN <endpoint xx> <length> <bytes>
//
// Seconds since the program started, 6 decimals; hex in lower case, bytes without separators.
// The length is what the transfer moved (a control transfer's data stage, status bytes of IN
// packets included); a transfer that moved nothing is written with length 0 and no data field.
// Every WinUSB transfer is traced, whichever USB host backend carries it.
//
// The file is named by the environment variable ORBIZO3_USB_TRACE, read at the first transfer,
// or by setUsbTraceFile.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace Korvane {
namespace Platform {

// Traces into path from now on (appending; an empty path stops the trace). Takes precedence
// over ORBIZO3_USB_TRACE. Any thread.
void setUsbTraceFile(const std::string& path);

class UsbTrace {
public:
    static UsbTrace& instance();

    void setFile(const std::string& path);
    void control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                 std::uint16_t index, const std::uint8_t* data, std::uint32_t length);
    void bulk(std::uint8_t endpoint, const std::uint8_t* data, std::uint32_t length);

private:
    UsbTrace() = default;
    void open(const std::string& path);
    void write(const std::string& head, const std::uint8_t* data, std::uint32_t length);

    std::mutex mutex;
    bool configured = false;
    std::FILE* file = nullptr;
};

}  // namespace Platform
}  // namespace Korvane
