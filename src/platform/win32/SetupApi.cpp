#ifndef _WIN32

// SetupAPI: device interfaces of the USB devices present on the process's USB host.

#include <cstddef>
#include <cwchar>

#include "platform/usbhost/UsbDevicePath.h"
#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/win32/DeviceInfoSet.h"
#include "platform/win32/HandleTable.h"

using namespace Korvane::Platform;

namespace {

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::shared_ptr<DeviceInfoSet> findSet(HDEVINFO handle) {
    return HandleTable::instance().find<DeviceInfoSet>(handle, Win32ObjectKind::DeviceInfoSet);
}

}  // namespace

HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR, HWND, DWORD Flags) {
    if (ClassGuid == nullptr || (Flags & DIGCF_DEVICEINTERFACE) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<UsbDeviceInfo> devices;
    if (*ClassGuid == GUID_DEVINTERFACE_USB_DEVICE)
        devices = UsbPortRegistration::host().presentDevices();
    return HandleTable::instance().add(std::make_shared<DeviceInfoSet>(*ClassGuid, devices));
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    auto set = findSet(DeviceInfoSet);
    if (!set) return fail(ERROR_INVALID_HANDLE);
    if (DeviceInfoData != nullptr || InterfaceClassGuid == nullptr) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return fail(ERROR_INVALID_USER_BUFFER);
    }
    if (*InterfaceClassGuid != set->interfaceClass || MemberIndex >= set->devices.size()) {
        return fail(ERROR_NO_MORE_ITEMS);
    }
    DeviceInterfaceData->InterfaceClassGuid = set->interfaceClass;
    DeviceInterfaceData->Flags = SPINT_ACTIVE;
    DeviceInterfaceData->Reserved = MemberIndex + 1;  // which member, for the detail call
    return TRUE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData) {
    auto set = findSet(DeviceInfoSet);
    if (!set) return fail(ERROR_INVALID_HANDLE);
    if (DeviceInfoData != nullptr) return fail(ERROR_INVALID_PARAMETER);
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        DeviceInterfaceData->Reserved == 0 || DeviceInterfaceData->Reserved > set->devices.size()) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    std::wstring path = usbDevicePath(set->devices[DeviceInterfaceData->Reserved - 1]);
    DWORD required = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                        (path.size() + 1) * sizeof(WCHAR));
    if (RequiredSize) *RequiredSize = required;
    if (DeviceInterfaceDetailData == nullptr) {
        return fail(DeviceInterfaceDetailDataSize == 0 ? ERROR_INSUFFICIENT_BUFFER
                                                       : ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        return fail(ERROR_INVALID_USER_BUFFER);
    }
    if (DeviceInterfaceDetailDataSize < required) return fail(ERROR_INSUFFICIENT_BUFFER);
    std::wmemcpy(DeviceInterfaceDetailData->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    if (!HandleTable::instance().close(DeviceInfoSet, {Win32ObjectKind::DeviceInfoSet})) {
        return fail(ERROR_INVALID_HANDLE);
    }
    return TRUE;
}

#endif
