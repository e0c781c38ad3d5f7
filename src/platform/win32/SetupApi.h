#pragma once

// SetupAPI subset: the device interfaces of the USB devices present on the process's USB host.
//
// Included through platform/Win32.h only, and only when _WIN32 is not defined.

#include "platform/win32/Win32Types.h"

typedef PVOID HDEVINFO;

constexpr DWORD DIGCF_DEFAULT = 0x00000001;
constexpr DWORD DIGCF_PRESENT = 0x00000002;
constexpr DWORD DIGCF_ALLCLASSES = 0x00000004;
constexpr DWORD DIGCF_PROFILE = 0x00000008;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x00000010;

constexpr DWORD SPINT_ACTIVE = 0x00000001;

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}: the interface every USB device exposes.
extern const GUID GUID_DEVINTERFACE_USB_DEVICE;

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
typedef SP_DEVINFO_DATA* PSP_DEVINFO_DATA;

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
};
typedef SP_DEVICE_INTERFACE_DATA* PSP_DEVICE_INTERFACE_DATA;

struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
    DWORD cbSize;
    WCHAR DevicePath[1];
};
typedef SP_DEVICE_INTERFACE_DETAIL_DATA_W* PSP_DEVICE_INTERFACE_DETAIL_DATA_W;

// A snapshot of the present devices, in arrival order, taken now. Needs DIGCF_DEVICEINTERFACE
// and a class (ERROR_INVALID_PARAMETER otherwise); only GUID_DEVINTERFACE_USB_DEVICE has
// members, other classes give an empty set. Enumerator and parent window are ignored.
HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID* ClassGuid, PCWSTR Enumerator, HWND hwndParent,
                                     DWORD Flags);

// Member MemberIndex of the set (DeviceInfoData must be NULL). cbSize must be
// sizeof(SP_DEVICE_INTERFACE_DATA) (ERROR_INVALID_USER_BUFFER). Past the end, or for another
// class: ERROR_NO_MORE_ITEMS.
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);

// The interface's device path, \\?\usb#vid_xxxx&pid_xxxx#INSTANCE#{class}. Called with no
// buffer (or one too small) it fails with ERROR_INSUFFICIENT_BUFFER and sets *RequiredSize;
// the buffer's cbSize must be sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
// (ERROR_INVALID_USER_BUFFER otherwise). The set is a snapshot: the path of a device unplugged
// since is still given.
BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_W DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData);

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);
