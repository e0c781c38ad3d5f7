#ifndef _WIN32

// Kernel32: CreateFileW on USB device interface paths.

#include "platform/usbhost/UsbDevicePath.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/win32/DeviceFile.h"
#include "platform/win32/HandleTable.h"
#include "platform/win32/Win32.h"

using namespace Korvane::Platform;

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD,
                          HANDLE) {
    UsbHost& host = UsbPortRegistration::host();
    UsbDeviceInfo device;
    if (!findDeviceByPath(host, lpFileName, device)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::unique_ptr<UsbDeviceSession> session;
    UsbError error = host.open(device.instanceId, session);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return HandleTable::instance().add(std::make_shared<DeviceFile>(std::move(session)));
}

#endif
