#pragma once

// The UsbHost backend for real tables on Linux, over libusb-1.0.
//
// Devices are named by their bus and port chain ("1-4.2"), read from what the kernel already
// knows, so listing opens nothing. open detaches the serial converter's kernel driver for as
// long as the session holds interface 0. Hotplug news comes from libusb where it can watch the
// bus (udev); without that capability subscribers simply hear nothing.
//
// A machine without USB (no usbfs, as in containers) gives a host with no devices: libusb fails
// to start, quietly, and every open answers ERROR_FILE_NOT_FOUND.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/usbhost/UsbHost.h"

namespace Korvane {
namespace Platform {

class LibusbContext;

class LibusbUsbHost : public UsbHost {
public:
    LibusbUsbHost();
    // libusb and its threads live on until the last session of this host has closed.
    ~LibusbUsbHost() override;

    LibusbUsbHost(const LibusbUsbHost&) = delete;
    LibusbUsbHost& operator=(const LibusbUsbHost&) = delete;

    // false when libusb could not start; the host then has no devices.
    bool usable() const;

    std::vector<UsbDeviceInfo> presentDevices() override;
    UsbError open(const std::string& instanceId,
                  std::unique_ptr<UsbDeviceSession>& session) override;
    std::uint64_t subscribe(HotplugCallback callback) override;
    void unsubscribe(std::uint64_t id) override;

private:
    std::shared_ptr<LibusbContext> context;
};

}  // namespace Platform
}  // namespace Korvane
