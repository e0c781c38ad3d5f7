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
// The process's trace is UsbPortRegistration::trace(), whose file main names at start-up; the
// file is opened (appending) at the first transfer after that.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace Korvane {
namespace Platform {

class UsbTrace {
public:
    UsbTrace() = default;
    UsbTrace(const UsbTrace&) = delete;
    UsbTrace& operator=(const UsbTrace&) = delete;

    // Traces into path from the next transfer on (an empty path stops the trace). Any thread.
    void setFile(const std::string& path);
    void control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                 std::uint16_t index, const std::uint8_t* data, std::uint32_t length);
    void bulk(std::uint8_t endpoint, const std::uint8_t* data, std::uint32_t length);

private:
    void open();
    void write(const std::string& head, const std::uint8_t* data, std::uint32_t length);

    std::mutex mutex;
    std::string path;
    bool opened = false;
    std::FILE* file = nullptr;
};

}  // namespace Platform
}  // namespace Korvane
