#include "usb/USBDevice_WinUSB.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include <boost/format.hpp>

#include "usb/DeviceDiscovery.h"
#include "utilities/ErrorCodes.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

namespace {

constexpr DWORD kTransferTimeoutMs = 1000;
constexpr UCHAR kDeviceDescriptorType = 1;
constexpr UCHAR kConfigurationDescriptorType = 2;
constexpr UCHAR kStringDescriptorType = 3;
constexpr ULONG kDeviceDescriptorLength = 18;
constexpr ULONG kConfigurationHeaderLength = 9;
constexpr std::size_t kSerialNumberIndexOffset = 16;
constexpr UCHAR kBulkOutEndpoint = 0x02;
constexpr UCHAR kPipe3InEndpoint = 0x83;

// Recorded codes that are not system errors.
constexpr DWORD kRecordedNotFound = 1;
constexpr DWORD kRecordedTimeout = 2;

// One process-wide lock per transfer route, shared by every device object. Created on first use
// (thread-safe static initialisation) and never destroyed, so no device outlives its lock.
struct RouteLocks {
    CRITICAL_SECTION sections[5];
    RouteLocks() {
        for (CRITICAL_SECTION& section : sections) InitializeCriticalSection(&section);
    }
};

CRITICAL_SECTION& routeLock(int route) {
    static RouteLocks* const locks = new RouteLocks();
    return locks->sections[route];
}

class RouteGuard {
public:
    explicit RouteGuard(CRITICAL_SECTION& section) : section(section) {
        EnterCriticalSection(&section);
    }
    ~RouteGuard() { LeaveCriticalSection(&section); }
    RouteGuard(const RouteGuard&) = delete;
    RouteGuard& operator=(const RouteGuard&) = delete;

private:
    CRITICAL_SECTION& section;
};

// The errors with which the system refuses a device that someone else holds (32 is
// ERROR_SHARING_VIOLATION).
constexpr DWORD kErrorSharingViolation = 32;

bool isInUse(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == kErrorSharingViolation || error == ERROR_BUSY;
}

[[noreturn]] void throwInUse() {
    throw OrbiZoException(ErrorCode::DeviceInUse, "Device already in use");
}

// What the USB host says when the user may not open the device at all (on Linux: no udev
// rule gives the user the device node), as against one that someone else holds.
bool isRefusedToUser(DWORD error) {
    return error == ERROR_PRIVILEGE_NOT_HELD;
}

[[noreturn]] void throwAccessDenied() {
    throw OrbiZoException(ErrorCode::DeviceAccessDenied, "No permission to open the device");
}

[[noreturn]] void throwConnectionLost() {
    throw OrbiZoException(ErrorCode::ConnectionLost, "Connection to device lost");
}

// " Win32 Error (<code>) : '<system message>'", the message with its trailing line break.
std::string systemErrorText(DWORD code) {
    LPWSTR message = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, code, 0x0400, reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    std::string narrow;
    for (LPWSTR c = message; c != nullptr && *c != 0; ++c) narrow += static_cast<char>(*c);
    if (message != nullptr) LocalFree(message);
    return " Win32 Error (" + std::to_string(code) + ") : '" + narrow + "'";
}

// The UTF-16 text of a string descriptor (after its two header bytes) as narrow text, converted
// by the C runtime into a zeroed 512-byte buffer. Characters the runtime cannot convert make
// the whole conversion fail; the text is then narrowed character by character.
std::string narrowStringDescriptor(const std::vector<UCHAR>& descriptor, ULONG length) {
    std::wstring wide;
    for (ULONG i = 2; i + 1 < length; i += 2) {
        const wchar_t c = static_cast<wchar_t>(descriptor[i] | (descriptor[i + 1] << 8));
        if (c == 0) break;
        wide += c;
    }
    char narrow[512] = {};
    if (std::wcstombs(narrow, wide.c_str(), sizeof(narrow) - 1) != static_cast<std::size_t>(-1)) {
        return narrow;
    }
    std::string text;
    for (wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
}

}  // namespace

USBDevice_WinUSB::USBDevice_WinUSB(const std::string& devicePath)
    : USBDevice("OrbiZo3.USB.Device"),
      lastErrorCode(0),
      fileHandle(nullptr),
      winUsbHandle(nullptr) {
    // Manual-reset, initially not signalled: one per route, reset by each transfer it starts.
    for (OVERLAPPED& entry : overlapped) {
        entry = OVERLAPPED();
        entry.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    routeLock(ReadRoute);
    for (char c : devicePath) this->devicePath += static_cast<WCHAR>(static_cast<unsigned char>(c));
}

USBDevice_WinUSB::~USBDevice_WinUSB() {
    close();
    for (OVERLAPPED& entry : overlapped) {
        if (entry.hEvent != nullptr) CloseHandle(entry.hEvent);
    }
}

bool USBDevice_WinUSB::hasFileHandle() const {
    return fileHandle != nullptr && fileHandle != INVALID_HANDLE_VALUE;
}

void USBDevice_WinUSB::open() {
    // A second open must not lose the handle of the first, nor fall back on its interface.
    if (hasFileHandle()) close();
    fileHandle = nullptr;
    winUsbHandle = nullptr;

    fileHandle = CreateFileW(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (fileHandle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (isInUse(error)) {
            record(error, "Device already in use");
            throwInUse();
        }
        if (isRefusedToUser(error)) {
            record(error, "No permission to open the device");
            throwAccessDenied();
        }
        record(kRecordedNotFound, "FAILED OpenPort: USB Device not found");
        return;
    }

    WINUSB_INTERFACE_HANDLE handle = nullptr;
    if (!WinUsb_Initialize(fileHandle, &handle)) {
        const DWORD error = GetLastError();
        record(error, "FAILED OpenPort: could not initialize");
        close();
        if (isInUse(error)) throwInUse();
        return;
    }
    winUsbHandle = handle;

    try {
        queryInterface();
    } catch (...) {
        // The descriptors and pipe information are not needed; a device that does not give
        // them shows its trouble on the first transfer.
    }
}

// Reads the device and configuration descriptors and the pipe information of the current
// alternate setting. Nothing of it is kept.
void USBDevice_WinUSB::queryInterface() {
    UCHAR descriptor[kDeviceDescriptorLength] = {};
    ULONG transferred = 0;
    WinUsb_GetDescriptor(winUsbHandle, kDeviceDescriptorType, 0, 0, descriptor,
                         kDeviceDescriptorLength, &transferred);
    WinUsb_GetDescriptor(winUsbHandle, kConfigurationDescriptorType, 0, 0, descriptor,
                         kConfigurationHeaderLength, &transferred);

    UCHAR setting = 0;
    WinUsb_GetCurrentAlternateSetting(winUsbHandle, &setting);
    USB_INTERFACE_DESCRIPTOR interfaceDescriptor = USB_INTERFACE_DESCRIPTOR();
    WinUsb_QueryInterfaceSettings(winUsbHandle, setting, &interfaceDescriptor);
    for (UCHAR pipe = 0; pipe < interfaceDescriptor.bNumEndpoints; ++pipe) {
        WINUSB_PIPE_INFORMATION information = WINUSB_PIPE_INFORMATION();
        if (!WinUsb_QueryPipe(winUsbHandle, setting, pipe, &information)) break;
    }
}

void USBDevice_WinUSB::close() {
    // Not the link's own endpoints (0x81, 0x02): their transfers never outlive a call.
    static const UCHAR endpoints[] = {0x00, 0x82, 0x03, 0x84, 0x85};
    for (UCHAR endpoint : endpoints) WinUsb_AbortPipe(winUsbHandle, endpoint);
    for (UCHAR endpoint : endpoints) WinUsb_ResetPipe(winUsbHandle, endpoint);
    // The interface handle goes with the file handle; keeping it would leave one behind for
    // every connection.
    if (winUsbHandle != nullptr) {
        WinUsb_Free(winUsbHandle);
        winUsbHandle = nullptr;
    }
    if (hasFileHandle()) {
        CloseHandle(fileHandle);
        fileHandle = nullptr;
    }
}

void USBDevice_WinUSB::controlTransfer(std::uint8_t request, std::uint16_t value,
                                       std::uint16_t index, bool deviceToHost,
                                       std::vector<std::uint8_t>& data) {
    if (!hasFileHandle()) return;

    WINUSB_SETUP_PACKET setup = WINUSB_SETUP_PACKET();
    setup.RequestType = deviceToHost ? 0xC0 : 0x40;
    setup.Request = request;
    setup.Value = value;
    setup.Index = index;
    setup.Length = static_cast<USHORT>(data.size());

    Sleep(1);
    ULONG transferred = 0;
    WinUsb_ControlTransfer(winUsbHandle, setup, data.empty() ? nullptr : data.data(),
                           static_cast<ULONG>(data.size()), &transferred, nullptr);
    const DWORD error = GetLastError();

    if (transferred != 0) data.resize(transferred);
    // Only a data stage that moved nothing is a failure; a request without one never fails here.
    if (transferred != data.size()) {
        throw OrbiZoException(ErrorCode::DeviceIoControlFailed,
                              "Device IO control failed c: " + systemErrorText(error));
    }
}

void USBDevice_WinUSB::receive(std::uint8_t pipe, std::vector<std::uint8_t>& buffer,
                               std::uint32_t& length) {
    length = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(buffer.size()));
    const bool pipe3 = pipe == 3;
    const Route route = pipe3 ? ReadPipe3Route : ReadRoute;
    const UCHAR endpoint = pipe3 ? kPipe3InEndpoint : static_cast<UCHAR>(pipe | 0x80);
    RouteGuard guard(routeLock(route));

    ULONG transferred = 0;
    if (!WinUsb_ReadPipe(winUsbHandle, endpoint, buffer.data(), length, &transferred,
                         &overlapped[route])) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            record(error, "Receive: Failed ReadPipe");
            if (isGone(error)) throwConnectionLost();
            if (pipe3 || length == 0) {
                length = 0;
                return;
            }
            throw OrbiZoException(
                ErrorCode::DeviceReadFailed,
                (boost::format(
                     "Device read returned %1% bytes instead of %2% on pipe %3% with timeout "
                     "%4%/%5%") %
                 transferred % length % static_cast<unsigned>(pipe) % kTransferTimeoutMs %
                 kTransferTimeoutMs)
                    .str());
        }
    }

    ULONG received = 0;
    const DWORD outcome = completeTransfer(route, endpoint, FALSE, received);
    length = outcome == ERROR_SUCCESS ? received : 0;
    if (outcome != ERROR_SUCCESS && outcome != WAIT_TIMEOUT && isGone(outcome)) {
        throwConnectionLost();
    }
}

void USBDevice_WinUSB::send(std::uint8_t, const std::vector<std::uint8_t>& data) {
    RouteGuard guard(routeLock(WriteRoute));

    // WinUSB does not write through the buffer it is given.
    PUCHAR bytes = data.empty() ? nullptr : const_cast<PUCHAR>(data.data());
    ULONG written = 0;
    if (!WinUsb_WritePipe(winUsbHandle, kBulkOutEndpoint, bytes, static_cast<ULONG>(data.size()),
                          &written, &overlapped[WriteRoute])) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            record(error, "FAILED Send: bulk transfer");
            // Before a successful open there is nothing to lose; the first read shows it.
            if (winUsbHandle != nullptr) failWrite(error);
            return;
        }
    }
    // Only a write that does not complete in time is left to the answer's time-outs; one the
    // device refuses leaves nothing to wait for.
    const DWORD outcome = completeTransfer(WriteRoute, kBulkOutEndpoint, TRUE, written);
    if (outcome != ERROR_SUCCESS && outcome != WAIT_TIMEOUT) failWrite(outcome);
}

void USBDevice_WinUSB::failWrite(DWORD error) {
    if (isGone(error)) throwConnectionLost();
    // A stalled or aborted transfer on a table still present: the halt is cleared so that the
    // command's next try can write again.
    WinUsb_ResetPipe(winUsbHandle, kBulkOutEndpoint);
    throw OrbiZoException(ErrorCode::WriteFailed, "Write to device failed");
}

bool USBDevice_WinUSB::isGone(DWORD error) const {
    // Without a successful open there was no connection to lose.
    if (winUsbHandle == nullptr) return false;
    if (error == ERROR_DEVICE_NOT_CONNECTED) return true;
    if (error == ERROR_OPERATION_ABORTED) return false;
    return !pathPresent();
}

bool USBDevice_WinUSB::pathPresent() const {
    const std::string path = narrowPath();
    std::uint32_t vendorId = 0;
    std::uint32_t productId = 0;
    if (!parseVendorProduct(path, vendorId, productId)) return false;
    for (const std::string& present : findDevicePaths(vendorId, productId)) {
        if (present.size() == path.size() &&
            std::equal(present.begin(), present.end(), path.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return true;
    }
    return false;
}

DWORD USBDevice_WinUSB::completeTransfer(Route route, UCHAR endpoint, BOOL waitForResult,
                                         ULONG& transferred) {
    OVERLAPPED& pending = overlapped[route];
    const DWORD wait = WaitForSingleObject(pending.hEvent, kTransferTimeoutMs);
    if (wait != WAIT_OBJECT_0) {
        // Writes report their time-out with the text of reads.
        DWORD error = WAIT_TIMEOUT;
        if (wait == WAIT_TIMEOUT) {
            record(kRecordedTimeout, "Receive: TIMEOUT");
        } else {
            error = GetLastError();
            record(error, std::string());
        }
        WinUsb_AbortPipe(winUsbHandle, endpoint);
        return error;
    }
    if (!WinUsb_GetOverlappedResult(winUsbHandle, &pending, &transferred, waitForResult)) {
        const DWORD error = GetLastError();
        record(error, std::string());
        return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
    }
    return ERROR_SUCCESS;
}

std::string USBDevice_WinUSB::getSerialNumber() {
    if (winUsbHandle == nullptr) {
        throw OrbiZoException(ErrorCode::DeviceNotOpen, "Device not open");
    }
    UCHAR device[kDeviceDescriptorLength] = {};
    ULONG transferred = 0;
    WinUsb_GetDescriptor(winUsbHandle, kDeviceDescriptorType, 0, 0, device, kDeviceDescriptorLength,
                         &transferred);
    const UCHAR serialIndex = device[kSerialNumberIndexOffset];
    // Index 0 is the language list, not a serial number.
    if (serialIndex == 0) return std::string();

    UCHAR header[4] = {};
    transferred = 0;
    WinUsb_GetDescriptor(winUsbHandle, kStringDescriptorType, serialIndex, 0, header,
                         sizeof(header), &transferred);
    const ULONG length = header[0];

    std::vector<UCHAR> descriptor(std::max<std::size_t>(4u * length, length + 4u), 0);
    transferred = 0;
    WinUsb_GetDescriptor(winUsbHandle, kStringDescriptorType, serialIndex, 0, descriptor.data(),
                         length, &transferred);
    return narrowStringDescriptor(descriptor, std::min(transferred, length));
}

std::uint32_t USBDevice_WinUSB::abortPipe(std::uint8_t pipe) {
    WinUsb_AbortPipe(winUsbHandle, pipe);
    WinUsb_AbortPipe(winUsbHandle, static_cast<UCHAR>(pipe | 0x80));
    return GetLastError();
}

std::string USBDevice_WinUSB::getDevicePath() {
    return narrowPath();
}

std::string USBDevice_WinUSB::narrowPath() const {
    std::string path;
    for (WCHAR c : devicePath) path += static_cast<char>(c);
    return path;
}

std::uint32_t USBDevice_WinUSB::getLastErrorCode() const {
    std::lock_guard<std::mutex> lock(recordMutex);
    return lastErrorCode;
}

std::string USBDevice_WinUSB::getLastErrorText() const {
    std::lock_guard<std::mutex> lock(recordMutex);
    return lastErrorText;
}

void USBDevice_WinUSB::record(DWORD code, const std::string& text) {
    std::lock_guard<std::mutex> lock(recordMutex);
    lastErrorCode = code;
    lastErrorText = text;
}

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
