#ifndef _WIN32

// User32: device notifications.

#include <cstddef>

#include "platform/win32/DeviceNotification.h"
#include "platform/win32/HandleTable.h"
#include "platform/win32/Window.h"

using namespace Korvane::Platform;

HDEVNOTIFY WINAPI RegisterDeviceNotificationW(HANDLE hRecipient, LPVOID NotificationFilter,
                                              DWORD Flags) {
    if ((Flags & ~DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != DEVICE_NOTIFY_WINDOW_HANDLE) {
        SetLastError(ERROR_INVALID_FLAGS);
        return nullptr;
    }
    if (!HandleTable::instance().find<Window>(hRecipient, Win32ObjectKind::Window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    auto* filter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(NotificationFilter);
    if (filter == nullptr || filter->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        filter->dbcc_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto notification =
        std::make_shared<DeviceNotification>(static_cast<HWND>(hRecipient), filter->dbcc_classguid,
                                             (Flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0);
    return HandleTable::instance().add(notification);
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle) {
    if (!HandleTable::instance().close(Handle, {Win32ObjectKind::DeviceNotification})) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

#endif
