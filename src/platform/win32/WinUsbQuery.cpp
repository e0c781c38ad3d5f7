#ifndef _WIN32

// WinUSB: interface settings and pipes, read from the device's configuration descriptor.

#include <cstring>
#include <vector>

#include "platform/win32/HandleTable.h"
#include "platform/win32/WinUsbInterface.h"

using namespace Korvane::Platform;

namespace {

BOOL failQuery(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The whole configuration descriptor of the interface's device; empty after setting the error.
std::vector<std::uint8_t> configuration(WINUSB_INTERFACE_HANDLE handle) {
    auto interface =
        HandleTable::instance().find<WinUsbInterface>(handle, Win32ObjectKind::WinUsbInterface);
    std::shared_ptr<UsbDeviceSession> session = interface ? interface->session() : nullptr;
    if (!session) {
        SetLastError(ERROR_INVALID_HANDLE);
        return {};
    }
    std::vector<std::uint8_t> descriptor(9);
    std::uint32_t read = 0;
    UsbError error =
        session->getDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, descriptor.data(), 9, read);
    if (error == ERROR_SUCCESS && read == 9) {
        descriptor.resize(descriptor[2] | descriptor[3] << 8);
        error = session->getDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, descriptor.data(),
                                       static_cast<std::uint32_t>(descriptor.size()), read);
    }
    if (error != ERROR_SUCCESS || read < 9) {
        SetLastError(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
        return {};
    }
    descriptor.resize(read);
    return descriptor;
}

// Offset of the descriptor that follows the one at offset; size when there is none (or the
// descriptor is malformed).
std::size_t nextDescriptor(const std::vector<std::uint8_t>& all, std::size_t offset) {
    std::size_t length = all[offset];
    if (length < 2 || offset + length > all.size()) return all.size();
    return offset + length;
}

// Offset of interface 0's descriptor for this alternate setting; size when there is none.
std::size_t findInterface(const std::vector<std::uint8_t>& all, UCHAR alternate) {
    for (std::size_t at = 0; at + 9 <= all.size(); at = nextDescriptor(all, at)) {
        if (all[at + 1] == USB_INTERFACE_DESCRIPTOR_TYPE && all[at] >= 9 && all[at + 2] == 0 &&
            all[at + 3] == alternate) {
            return at;
        }
    }
    return all.size();
}

}  // namespace

BOOL WINAPI WinUsb_GetCurrentAlternateSetting(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                                              PUCHAR SettingNumber) {
    auto interface = HandleTable::instance().find<WinUsbInterface>(
        InterfaceHandle, Win32ObjectKind::WinUsbInterface);
    if (!interface || !interface->session()) return failQuery(ERROR_INVALID_HANDLE);
    if (SettingNumber == nullptr) return failQuery(ERROR_INVALID_PARAMETER);
    *SettingNumber = 0;
    return TRUE;
}

BOOL WINAPI WinUsb_QueryInterfaceSettings(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                                          UCHAR AlternateInterfaceNumber,
                                          PUSB_INTERFACE_DESCRIPTOR UsbAltInterfaceDescriptor) {
    std::vector<std::uint8_t> all = configuration(InterfaceHandle);
    if (all.empty()) return FALSE;
    if (UsbAltInterfaceDescriptor == nullptr) return failQuery(ERROR_INVALID_PARAMETER);
    std::size_t at = findInterface(all, AlternateInterfaceNumber);
    if (at == all.size()) return failQuery(ERROR_NO_MORE_ITEMS);
    std::memcpy(UsbAltInterfaceDescriptor, &all[at], sizeof(USB_INTERFACE_DESCRIPTOR));
    return TRUE;
}

BOOL WINAPI WinUsb_QueryPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle,
                             UCHAR AlternateInterfaceNumber, UCHAR PipeIndex,
                             PWINUSB_PIPE_INFORMATION PipeInformation) {
    std::vector<std::uint8_t> all = configuration(InterfaceHandle);
    if (all.empty()) return FALSE;
    if (PipeInformation == nullptr) return failQuery(ERROR_INVALID_PARAMETER);
    std::size_t at = findInterface(all, AlternateInterfaceNumber);
    if (at == all.size()) return failQuery(ERROR_NO_MORE_ITEMS);
    UCHAR index = 0;
    for (at = nextDescriptor(all, at); at + 7 <= all.size(); at = nextDescriptor(all, at)) {
        UCHAR type = all[at + 1];
        if (type == USB_INTERFACE_DESCRIPTOR_TYPE) break;
        if (type != USB_ENDPOINT_DESCRIPTOR_TYPE || all[at] < 7) continue;
        if (index++ != PipeIndex) continue;
        PipeInformation->PipeType = static_cast<USBD_PIPE_TYPE>(all[at + 3] & 0x03);
        PipeInformation->PipeId = all[at + 2];
        PipeInformation->MaximumPacketSize = static_cast<USHORT>(all[at + 4] | all[at + 5] << 8);
        PipeInformation->Interval = all[at + 6];
        return TRUE;
    }
    return failQuery(ERROR_NO_MORE_ITEMS);
}

#endif
