#pragma once

// The USB host and the USB trace that the Win32 port's entry points (CreateFileW on a device
// path, the SetupDi calls, device notification, the WinUsb transfers) work on. Those keep the
// SDK's signatures and cannot be handed either, so a program's main registers both once at
// start-up, before its first USB call; nothing else in the process holds a USB setting. Until
// then the host is libusb (a machine without USB gives a host with no devices) and nothing is
// traced.
//
// Registering is not synchronised with USB work: do it while no device is open and no
// notification is registered (at start-up; test fixtures before their tables are used).

#include <string>

#include "platform/usbhost/UsbHost.h"
#include "platform/usbhost/UsbTrace.h"

namespace Korvane {
namespace Platform {

class UsbPortRegistration {
public:
    // `host` must live to the end of the process; an empty traceFile traces nothing.
    static void install(UsbHost& host, const std::string& traceFile);

    // The registered host and trace; any thread.
    static UsbHost& host();
    static UsbTrace& trace();

    // The process's libusb host, started on first use and kept to the end of the process.
    static UsbHost& libusbHost();
};

}  // namespace Platform
}  // namespace Korvane
