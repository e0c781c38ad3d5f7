#pragma once

// WinUSB subset over the process's USB host (platform/UsbHost.h), with the USB descriptor
// structures as the SDK publishes them (byte-packed).
//
// Every WinUsb_* call sets the last error and returns FALSE on failure: ERROR_INVALID_HANDLE
// for a handle that is not (or no longer) a WinUSB interface, or whose device file was closed;
// ERROR_DEVICE_NOT_CONNECTED once the device is unplugged; ERROR_GEN_FAILURE when the device
// stalls a request; ERROR_INVALID_PARAMETER for an endpoint the interface does not have.
//
// Included through platform/Win32.h only, and only when _WIN32 is not defined.

#include "platform/win32/Win32Types.h"

typedef PVOID WINUSB_INTERFACE_HANDLE;
typedef WINUSB_INTERFACE_HANDLE* PWINUSB_INTERFACE_HANDLE;

enum USBD_PIPE_TYPE {
    UsbdPipeTypeControl,
    UsbdPipeTypeIsochronous,
    UsbdPipeTypeBulk,
    UsbdPipeTypeInterrupt
};

constexpr UCHAR USB_DEVICE_DESCRIPTOR_TYPE = 0x01;
constexpr UCHAR USB_CONFIGURATION_DESCRIPTOR_TYPE = 0x02;
constexpr UCHAR USB_STRING_DESCRIPTOR_TYPE = 0x03;
constexpr UCHAR USB_INTERFACE_DESCRIPTOR_TYPE = 0x04;
constexpr UCHAR USB_ENDPOINT_DESCRIPTOR_TYPE = 0x05;

#pragma pack(push, 1)
struct WINUSB_SETUP_PACKET {
    UCHAR RequestType;
    UCHAR Request;
    USHORT Value;
    USHORT Index;
    USHORT Length;
};
typedef WINUSB_SETUP_PACKET* PWINUSB_SETUP_PACKET;

struct WINUSB_PIPE_INFORMATION {
    USBD_PIPE_TYPE PipeType;
    UCHAR PipeId;
    USHORT MaximumPacketSize;
    UCHAR Interval;
};
typedef WINUSB_PIPE_INFORMATION* PWINUSB_PIPE_INFORMATION;

struct USB_DEVICE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdUSB;
    UCHAR bDeviceClass;
    UCHAR bDeviceSubClass;
    UCHAR bDeviceProtocol;
    UCHAR bMaxPacketSize0;
    USHORT idVendor;
    USHORT idProduct;
    USHORT bcdDevice;
    UCHAR iManufacturer;
    UCHAR iProduct;
    UCHAR iSerialNumber;
    UCHAR bNumConfigurations;
};
typedef USB_DEVICE_DESCRIPTOR* PUSB_DEVICE_DESCRIPTOR;

struct USB_CONFIGURATION_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT wTotalLength;
    UCHAR bNumInterfaces;
    UCHAR bConfigurationValue;
    UCHAR iConfiguration;
    UCHAR bmAttributes;
    UCHAR MaxPower;
};
typedef USB_CONFIGURATION_DESCRIPTOR* PUSB_CONFIGURATION_DESCRIPTOR;

struct USB_INTERFACE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bInterfaceNumber;
    UCHAR bAlternateSetting;
    UCHAR bNumEndpoints;
    UCHAR bInterfaceClass;
    UCHAR bInterfaceSubClass;
    UCHAR bInterfaceProtocol;
    UCHAR iInterface;
};
typedef USB_INTERFACE_DESCRIPTOR* PUSB_INTERFACE_DESCRIPTOR;
#pragma pack(pop)

// Claims interface 0 of an open device file. The interface handle refers to the file: once
// the file handle is closed, calls on it fail with ERROR_INVALID_HANDLE.
BOOL WINAPI WinUsb_Initialize(HANDLE DeviceHandle, PWINUSB_INTERFACE_HANDLE InterfaceHandle);
// Releases the interface handle; the device file stays open.
BOOL WINAPI WinUsb_Free(WINUSB_INTERFACE_HANDLE InterfaceHandle);

// Synchronous GET_DESCRIPTOR; *LengthTransferred receives the bytes read (at most BufferLength).
BOOL WINAPI WinUsb_GetDescriptor(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR DescriptorType,
                                 UCHAR Index, USHORT LanguageID, PUCHAR Buffer, ULONG BufferLength,
                                 PULONG LengthTransferred);

// Always alternate setting 0.
BOOL WINAPI WinUsb_GetCurrentAlternateSetting(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                                              PUCHAR SettingNumber);

// From the configuration descriptor; ERROR_NO_MORE_ITEMS past the last setting or pipe.
BOOL WINAPI WinUsb_QueryInterfaceSettings(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                                          UCHAR AlternateInterfaceNumber,
                                          PUSB_INTERFACE_DESCRIPTOR UsbAltInterfaceDescriptor);
BOOL WINAPI WinUsb_QueryPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                             UCHAR AlternateInterfaceNumber, UCHAR PipeIndex,
                             PWINUSB_PIPE_INFORMATION PipeInformation);

// Synchronous (blocks up to about 1 s). Buffer holds SetupPacket.Length bytes: the data stage
// to send, or room for what the device returns (bit 7 of RequestType). When Overlapped is
// given, it is completed and its event set before the call returns.
BOOL WINAPI WinUsb_ControlTransfer(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                                   WINUSB_SETUP_PACKET SetupPacket, PUCHAR Buffer,
                                   ULONG BufferLength, PULONG LengthTransferred,
                                   LPOVERLAPPED Overlapped);

// Bulk transfers. With an OVERLAPPED: resets its event, returns FALSE with ERROR_IO_PENDING,
// and on completion (on a backend thread, or before the call returns) fills Internal (status)
// and InternalHigh (bytes moved) and sets hEvent. The buffer and the OVERLAPPED must stay valid
// until then. Aborted transfers complete with ERROR_OPERATION_ABORTED, transfers cut short by
// unplug with ERROR_DEVICE_NOT_CONNECTED. Without an OVERLAPPED the call waits for completion.
BOOL WINAPI WinUsb_ReadPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID, PUCHAR Buffer,
                            ULONG BufferLength, PULONG LengthTransferred, LPOVERLAPPED Overlapped);
BOOL WINAPI WinUsb_WritePipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID, PUCHAR Buffer,
                             ULONG BufferLength, PULONG LengthTransferred, LPOVERLAPPED Overlapped);

// Result of an overlapped bulk transfer started on this interface: TRUE with the bytes moved,
// or FALSE with the transfer's error. Not finished yet: waits when bWait is TRUE, otherwise
// FALSE with ERROR_IO_INCOMPLETE. An OVERLAPPED this interface never saw: ERROR_INVALID_PARAMETER.
BOOL WINAPI WinUsb_GetOverlappedResult(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                                       LPOVERLAPPED lpOverlapped,
                                       LPDWORD lpNumberOfBytesTransferred, BOOL bWait);

// Cancels every transfer pending on the pipe and returns after they have completed with
// ERROR_OPERATION_ABORTED; nothing pending is success. An endpoint the interface does not have:
// FALSE, ERROR_INVALID_PARAMETER, nothing changed.
BOOL WINAPI WinUsb_AbortPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID);
// Clears the pipe's halt and data toggle; errors as for WinUsb_AbortPipe.
BOOL WINAPI WinUsb_ResetPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID);
