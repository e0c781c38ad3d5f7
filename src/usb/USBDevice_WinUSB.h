#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <boost/noncopyable.hpp>

#include "platform/win32/Win32.h"
#include "usb/USBDevice.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// A USB device reached through WinUSB.
//
// Bulk transfers are overlapped with a fixed 1000 ms wait. Each transfer route (reads on pipes
// other than 3, reads on pipe 3, writes) holds a process-wide lock for the whole transfer, so a
// read and a write may run at the same time while two reads of one route, even on two device
// objects, are serialised.
//
// Most failures are not thrown but recorded (getLastErrorCode/getLastErrorText): a failed open
// (code 1 for a path that names no device), a read or write that does not complete within
// 1000 ms (code 2; a read then returns 0 bytes). Thrown, as OrbiZoException: "Device not open"
// (getSerialNumber without a WinUSB handle), "Device IO control failed c: ..." (a control request
// whose data stage moved nothing), "Device read returned ..." (a bulk read on a pipe other than 3
// that cannot be started, e.g. after a failed open), DeviceInUse (open of a device that another
// program or handle holds), DeviceAccessDenied (open of a device the user may not use) and
// ConnectionLost (a transfer on a table that is gone) and WriteFailed (a write the device refuses
// while it is still present).
class USBDevice_WinUSB : public USBDevice, private boost::noncopyable {
public:
    // Opens nothing; the path is the device interface path of one device, for this object's life.
    explicit USBDevice_WinUSB(const std::string& devicePath);
    ~USBDevice_WinUSB() override;

    void open() override;
    // Aborts, then resets endpoints 0x00, 0x82, 0x03, 0x84 and 0x85 (failures ignored), frees the
    // WinUSB interface handle and closes the file handle.
    void close() override;
    // Waits 1 ms before every request. Does nothing before a successful open.
    void controlTransfer(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                         bool deviceToHost, std::vector<std::uint8_t>& data) override;
    void receive(std::uint8_t pipe, std::vector<std::uint8_t>& buffer,
                 std::uint32_t& length) override;
    // Always writes endpoint 0x02, whatever the pipe; a time-out is recorded only. A refused
    // write throws ConnectionLost when the table is gone; otherwise it clears the endpoint's halt
    // and throws WriteFailed ("Write to device failed"), which a later write may overcome.
    void send(std::uint8_t pipe, const std::vector<std::uint8_t>& data) override;
    // Empty when the device has no serial-number string.
    std::string getSerialNumber() override;
    std::uint32_t abortPipe(std::uint8_t pipe) override;
    std::string getDevicePath() override;

    // The last recorded failure: a system error code (or 1 / 2 as above) and its text, which is
    // empty when only a code was recorded. A diagnostic record; nothing acts on it.
    std::uint32_t getLastErrorCode() const;
    std::string getLastErrorText() const;

private:
    enum Route { ReadRoute = 0, ReadPipe3Route = 1, WriteRoute = 2, RouteCount = 5 };

    bool hasFileHandle() const;
    void queryInterface();
    // Waits up to 1000 ms for the transfer on the route's OVERLAPPED; aborts the endpoint when it
    // does not complete. ERROR_SUCCESS, WAIT_TIMEOUT when it did not complete in time, else the
    // system error it failed with.
    DWORD completeTransfer(Route route, UCHAR endpoint, BOOL waitForResult, ULONG& transferred);
    // A transfer that failed with error means the table is gone: the host says it is not
    // connected, or its path is no longer among the present devices.
    bool isGone(DWORD error) const;
    bool pathPresent() const;
    // A refused write (error): ConnectionLost when the table is gone, else the halt of the
    // bulk-out endpoint is cleared and WriteFailed thrown.
    [[noreturn]] void failWrite(DWORD error);
    std::string narrowPath() const;
    void record(DWORD code, const std::string& text);

    DWORD lastErrorCode;
    std::string lastErrorText;
    HANDLE fileHandle;
    WINUSB_INTERFACE_HANDLE winUsbHandle;
    OVERLAPPED overlapped[RouteCount];
    std::basic_string<WCHAR> devicePath;
    // A read and a write may record at the same time.
    mutable std::mutex recordMutex;
};

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
