#ifndef _WIN32

// WinUSB: interface handles, control and bulk transfers, pipe abort and reset.

#include "platform/usbhost/UsbPortRegistration.h"
#include "platform/win32/HandleTable.h"
#include "platform/win32/WinUsbInterface.h"

using namespace Korvane::Platform;

namespace {

constexpr UCHAR kDirectionIn = 0x80;

std::shared_ptr<UsbDeviceSession> sessionOf(WINUSB_INTERFACE_HANDLE handle) {
    auto interface =
        HandleTable::instance().find<WinUsbInterface>(handle, Win32ObjectKind::WinUsbInterface);
    std::shared_ptr<UsbDeviceSession> session = interface ? interface->session() : nullptr;
    if (!session) SetLastError(ERROR_INVALID_HANDLE);
    return session;
}

BOOL failTransfer(DWORD error) {
    SetLastError(error);
    return FALSE;
}

ULONG_PTR statusOf(UsbError error) {
    switch (error) {
        case ERROR_SUCCESS:
            return STATUS_SUCCESS;
        case ERROR_OPERATION_ABORTED:
            return 0xC0000120;  // STATUS_CANCELLED
        case ERROR_DEVICE_NOT_CONNECTED:
            return 0xC000009D;  // STATUS_DEVICE_NOT_CONNECTED
        default:
            return 0xC0000001;  // STATUS_UNSUCCESSFUL
    }
}

BOOL startBulk(WINUSB_INTERFACE_HANDLE handle, UCHAR pipe, bool in, PUCHAR buffer, ULONG length,
               PULONG transferred, LPOVERLAPPED overlapped) {
    auto interface =
        HandleTable::instance().find<WinUsbInterface>(handle, Win32ObjectKind::WinUsbInterface);
    std::shared_ptr<UsbDeviceSession> session = interface ? interface->session() : nullptr;
    if (!session) return failTransfer(ERROR_INVALID_HANDLE);
    if (((pipe & kDirectionIn) != 0) != in || (buffer == nullptr && length != 0)) {
        return failTransfer(ERROR_INVALID_PARAMETER);
    }
    if (transferred) *transferred = 0;

    std::shared_ptr<OverlappedTransfer> record =
        overlapped ? interface->track(overlapped) : std::make_shared<OverlappedTransfer>();
    HANDLE event = overlapped ? overlapped->hEvent : nullptr;
    if (overlapped) {
        overlapped->Internal = STATUS_PENDING;
        overlapped->InternalHigh = 0;
        if (event) ResetEvent(event);
    }
    // Runs once, on a backend thread or before submitBulk returns. The OVERLAPPED may be gone
    // as soon as the record is complete, so it is written before and not touched after.
    auto done = [record, overlapped, event, pipe, buffer](UsbError error, std::uint32_t moved) {
        UsbPortRegistration::trace().bulk(pipe, buffer, moved);
        if (overlapped) {
            overlapped->Internal = statusOf(error);
            overlapped->InternalHigh = moved;
        }
        record->complete(error, moved);
        if (event) SetEvent(event);
    };
    UsbError error = session->submitBulk(pipe, buffer, length, done);
    if (error != ERROR_SUCCESS) {
        if (overlapped) overlapped->Internal = statusOf(error);
        record->complete(error, 0);
        return failTransfer(error);
    }
    if (overlapped) return failTransfer(ERROR_IO_PENDING);

    std::uint32_t moved = 0;
    record->outcome(true, error, moved);
    if (transferred) *transferred = moved;
    return error == ERROR_SUCCESS ? TRUE : failTransfer(error);
}

}  // namespace

BOOL WINAPI WinUsb_Initialize(HANDLE DeviceHandle, PWINUSB_INTERFACE_HANDLE InterfaceHandle) {
    auto file = HandleTable::instance().find<DeviceFile>(DeviceHandle, Win32ObjectKind::DeviceFile);
    if (!file || !file->session()) return failTransfer(ERROR_INVALID_HANDLE);
    if (InterfaceHandle == nullptr) return failTransfer(ERROR_INVALID_PARAMETER);
    *InterfaceHandle = HandleTable::instance().add(std::make_shared<WinUsbInterface>(file));
    return TRUE;
}

BOOL WINAPI WinUsb_Free(WINUSB_INTERFACE_HANDLE InterfaceHandle) {
    if (!HandleTable::instance().close(InterfaceHandle, {Win32ObjectKind::WinUsbInterface})) {
        return failTransfer(ERROR_INVALID_HANDLE);
    }
    return TRUE;
}

BOOL WINAPI WinUsb_GetDescriptor(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR DescriptorType,
                                 UCHAR Index, USHORT LanguageID, PUCHAR Buffer, ULONG BufferLength,
                                 PULONG LengthTransferred) {
    std::shared_ptr<UsbDeviceSession> session = sessionOf(InterfaceHandle);
    if (!session) return FALSE;
    if (Buffer == nullptr || LengthTransferred == nullptr)
        return failTransfer(ERROR_INVALID_PARAMETER);
    std::uint32_t moved = 0;
    UsbError error =
        session->getDescriptor(DescriptorType, Index, LanguageID, Buffer, BufferLength, moved);
    UsbPortRegistration::trace().control(0x80, 0x06,
                                         static_cast<std::uint16_t>(DescriptorType << 8 | Index),
                                         LanguageID, Buffer, moved);
    *LengthTransferred = moved;
    return error == ERROR_SUCCESS ? TRUE : failTransfer(error);
}

BOOL WINAPI WinUsb_ControlTransfer(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                                   WINUSB_SETUP_PACKET SetupPacket, PUCHAR Buffer,
                                   ULONG BufferLength, PULONG LengthTransferred,
                                   LPOVERLAPPED Overlapped) {
    std::shared_ptr<UsbDeviceSession> session = sessionOf(InterfaceHandle);
    if (!session) return FALSE;
    if (SetupPacket.Length != 0 && (Buffer == nullptr || BufferLength < SetupPacket.Length)) {
        return failTransfer(ERROR_INVALID_PARAMETER);
    }
    UsbSetupPacket setup;
    setup.requestType = SetupPacket.RequestType;
    setup.request = SetupPacket.Request;
    setup.value = SetupPacket.Value;
    setup.index = SetupPacket.Index;
    setup.length = SetupPacket.Length;
    std::uint32_t moved = 0;
    UsbError error = session->controlTransfer(setup, Buffer, moved);
    UsbPortRegistration::trace().control(setup.requestType, setup.request, setup.value, setup.index,
                                         Buffer, moved);
    if (LengthTransferred) *LengthTransferred = moved;
    if (Overlapped) {
        Overlapped->Internal = statusOf(error);
        Overlapped->InternalHigh = moved;
        if (Overlapped->hEvent) SetEvent(Overlapped->hEvent);
    }
    return error == ERROR_SUCCESS ? TRUE : failTransfer(error);
}

BOOL WINAPI WinUsb_ReadPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID, PUCHAR Buffer,
                            ULONG BufferLength, PULONG LengthTransferred, LPOVERLAPPED Overlapped) {
    return startBulk(InterfaceHandle, PipeID, true, Buffer, BufferLength, LengthTransferred,
                     Overlapped);
}

BOOL WINAPI WinUsb_WritePipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID, PUCHAR Buffer,
                             ULONG BufferLength, PULONG LengthTransferred,
                             LPOVERLAPPED Overlapped) {
    return startBulk(InterfaceHandle, PipeID, false, Buffer, BufferLength, LengthTransferred,
                     Overlapped);
}

BOOL WINAPI WinUsb_GetOverlappedResult(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                                       LPOVERLAPPED lpOverlapped,
                                       LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
    auto interface = HandleTable::instance().find<WinUsbInterface>(
        InterfaceHandle, Win32ObjectKind::WinUsbInterface);
    if (!interface) return failTransfer(ERROR_INVALID_HANDLE);
    std::shared_ptr<OverlappedTransfer> record = interface->tracked(lpOverlapped);
    if (!record || lpNumberOfBytesTransferred == nullptr)
        return failTransfer(ERROR_INVALID_PARAMETER);
    std::uint32_t error = 0;
    std::uint32_t moved = 0;
    if (!record->outcome(bWait != FALSE, error, moved)) return failTransfer(ERROR_IO_INCOMPLETE);
    *lpNumberOfBytesTransferred = moved;
    return error == ERROR_SUCCESS ? TRUE : failTransfer(error);
}

BOOL WINAPI WinUsb_AbortPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID) {
    std::shared_ptr<UsbDeviceSession> session = sessionOf(InterfaceHandle);
    if (!session) return FALSE;
    UsbError error = session->cancelEndpoint(PipeID);
    return error == ERROR_SUCCESS ? TRUE : failTransfer(error);
}

BOOL WINAPI WinUsb_ResetPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID) {
    std::shared_ptr<UsbDeviceSession> session = sessionOf(InterfaceHandle);
    if (!session) return FALSE;
    UsbError error = session->resetEndpoint(PipeID);
    return error == ERROR_SUCCESS ? TRUE : failTransfer(error);
}

#endif
