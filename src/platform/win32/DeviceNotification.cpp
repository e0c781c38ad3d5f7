#ifndef _WIN32

#include "platform/win32/DeviceNotification.h"

#include <cstddef>
#include <cstdlib>
#include <cwchar>
#include <memory>

#include "platform/usbhost/UsbDevicePath.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/win32/HandleTable.h"
#include "platform/win32/Window.h"

namespace Korvane {
namespace Platform {

namespace {

// The record WM_DEVICECHANGE points to, sized for the device path.
std::shared_ptr<void> broadcastRecord(const UsbDeviceInfo& device) {
    std::wstring path = usbDevicePath(device);
    std::size_t size =
        offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * sizeof(WCHAR);
    void* memory = std::calloc(1, size);
    if (memory == nullptr) return nullptr;
    auto* record = static_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(memory);
    record->dbcc_size = static_cast<DWORD>(size);
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
    std::wmemcpy(record->dbcc_name, path.c_str(), path.size() + 1);
    return std::shared_ptr<void>(memory, std::free);
}

}  // namespace

DeviceNotification::DeviceNotification(HWND window, const GUID& interfaceClass, bool allClasses)
    : Win32Object(Win32ObjectKind::DeviceNotification) {
    if (!allClasses && interfaceClass != GUID_DEVINTERFACE_USB_DEVICE) return;  // nothing arrives
    subscription =
        UsbPortRegistration::host().subscribe([window](const UsbDeviceInfo& device, bool arrived) {
            auto target = HandleTable::instance().find<Window>(window, Win32ObjectKind::Window);
            if (!target) return;
            std::shared_ptr<void> record = broadcastRecord(device);
            if (!record) return;
            MSG message{};
            message.hwnd = window;
            message.message = WM_DEVICECHANGE;
            message.wParam = arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
            message.lParam = reinterpret_cast<LPARAM>(record.get());
            target->queue->post(message, std::move(record));
        });
}

void DeviceNotification::release() {
    if (subscription != 0) UsbPortRegistration::host().unsubscribe(subscription);
}

}  // namespace Platform
}  // namespace Korvane

#endif
