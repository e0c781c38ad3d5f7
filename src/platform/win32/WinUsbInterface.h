#pragma once

#ifndef _WIN32

#include <map>
#include <memory>
#include <mutex>

#include "platform/win32/DeviceFile.h"
#include "platform/win32/OverlappedTransfer.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Object.h"

namespace Korvane {
namespace Platform {

// What WinUsb_Initialize returns: interface 0 of an open device file, and the outcome of the
// latest transfer started with each OVERLAPPED record.
class WinUsbInterface : public Win32Object {
public:
    explicit WinUsbInterface(std::shared_ptr<DeviceFile> file);

    // Null once the device file's handle is closed.
    std::shared_ptr<UsbDeviceSession> session() { return file->session(); }

    // A fresh record for a transfer started with overlapped (replacing the one before).
    std::shared_ptr<OverlappedTransfer> track(const OVERLAPPED* overlapped);
    // The latest record for overlapped; null when none was started with it here.
    std::shared_ptr<OverlappedTransfer> tracked(const OVERLAPPED* overlapped);

private:
    const std::shared_ptr<DeviceFile> file;
    std::mutex mutex;
    std::map<const OVERLAPPED*, std::shared_ptr<OverlappedTransfer>> transfers;
};

}  // namespace Platform
}  // namespace Korvane

#endif
