#pragma once

// Puts a SimulatedUsbDevice on a umockdev testbed as the kernel would show it to libusb: a sysfs
// device (descriptors, bus and device number, port chain in its name) and a usbdevfs node whose
// ioctls are answered here. Control URBs go to the device's descriptor()/controlRequest(), bulk
// OUT URBs to bulkOut(), bulk IN URBs to bulkIn() and stay parked until the device replies; a
// discarded URB ends with -ENOENT. Claiming and releasing interface 0 open and close the
// device's session. unplug() ends parked URBs with -ESHUTDOWN, fails every
// further ioctl with ENODEV and sends the "remove" uevent.
//
// umockdev answers the ioctls on its own thread; the device's replies may come from any thread.
// The bridge must be created before the libusb context that should see it at start, and
// destroyed after every libusb handle on it has closed.

#include <umockdev.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/usbhost/simulated/SimulatedUsbDevice.h"

namespace Korvane {
namespace Platform {
namespace Testing {

class UsbfsBridge {
public:
    // sysName: the kernel's name of the device, "<bus>-<port>[.<port>...]"; its parent hub (if
    // any) must already be on the testbed (addHub).
    UsbfsBridge(UMockdevTestbed* testbed, std::shared_ptr<SimulatedUsbDevice> device,
                const std::string& sysName, int deviceNumber);
    ~UsbfsBridge();

    UsbfsBridge(const UsbfsBridge&) = delete;
    UsbfsBridge& operator=(const UsbfsBridge&) = delete;

    void unplug();
    // Claiming interface 0 fails with this errno (0: succeeds).
    void failClaimWith(int errnoValue);

    int claims() const;
    int releases() const;
    // Every ioctl seen so far (listing the device must not open it).
    int ioctls() const;

    // A hub at sysName (for devices further down the port chain); never opened.
    static void addHub(UMockdevTestbed* testbed, const std::string& sysName, int deviceNumber);

    struct State;

private:
    UMockdevTestbed* testbed;
    std::string devicePath;  // /dev/bus/usb/BBB/DDD
    std::string sysfsPath;
    UMockdevIoctlBase* handler = nullptr;
    std::shared_ptr<State> state;
};

}  // namespace Testing
}  // namespace Platform
}  // namespace Korvane
