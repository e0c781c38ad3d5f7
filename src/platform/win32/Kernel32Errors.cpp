#ifndef _WIN32

// Kernel32: the per-thread last error, system error texts and module handles.

#include <cstdlib>
#include <cwchar>

#include "platform/win32/Win32.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct ErrorText {
    DWORD code;
    const wchar_t* text;
};

// The system's English texts of the codes this layer (and its USB backends) set.
constexpr ErrorText kErrorTexts[] = {
    {ERROR_SUCCESS, L"The operation completed successfully.\r\n"},
    {ERROR_FILE_NOT_FOUND, L"The system cannot find the file specified.\r\n"},
    {ERROR_ACCESS_DENIED, L"Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, L"The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY,
     L"Not enough memory resources are available to process this command.\r\n"},
    {ERROR_INVALID_DATA, L"The data is invalid.\r\n"},
    {ERROR_GEN_FAILURE, L"A device attached to the system is not functioning.\r\n"},
    {ERROR_NOT_SUPPORTED, L"The request is not supported.\r\n"},
    {ERROR_INVALID_PARAMETER, L"The parameter is incorrect.\r\n"},
    {ERROR_SEM_TIMEOUT, L"The semaphore timeout period has expired.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, L"The data area passed to a system call is too small.\r\n"},
    {ERROR_MOD_NOT_FOUND, L"The specified module could not be found.\r\n"},
    {ERROR_BUSY, L"The requested resource is in use.\r\n"},
    {ERROR_NO_MORE_ITEMS, L"No more data is available.\r\n"},
    {ERROR_MR_MID_NOT_FOUND,
     L"The system cannot find message text for message number 0x%1 in the message file for "
     L"%2.\r\n"},
    {ERROR_OPERATION_ABORTED,
     L"The I/O operation has been aborted because of either a thread exit or an application "
     L"request.\r\n"},
    {ERROR_IO_INCOMPLETE, L"Overlapped I/O event is not in a signaled state.\r\n"},
    {ERROR_IO_PENDING, L"Overlapped I/O operation is in progress.\r\n"},
    {ERROR_INVALID_FLAGS, L"Invalid flags.\r\n"},
    {ERROR_DEVICE_NOT_CONNECTED, L"The device is not connected.\r\n"},
    {ERROR_PRIVILEGE_NOT_HELD, L"A required privilege is not held by the client.\r\n"},
    {ERROR_INVALID_WINDOW_HANDLE, L"Invalid window handle.\r\n"},
    {ERROR_CANNOT_FIND_WND_CLASS, L"Cannot find window class.\r\n"},
    {ERROR_CLASS_ALREADY_EXISTS, L"Class already exists.\r\n"},
    {ERROR_CLASS_DOES_NOT_EXIST, L"Class does not exist.\r\n"},
    {ERROR_CLASS_HAS_WINDOWS, L"Class still has open windows.\r\n"},
    {ERROR_INVALID_INDEX, L"Invalid index.\r\n"},
    {ERROR_INVALID_USER_BUFFER,
     L"The supplied user buffer is not valid for the requested operation.\r\n"},
};

const wchar_t* errorText(DWORD code) {
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.code == code) return entry.text;
    }
    return nullptr;
}

// The program's module handle: any fixed non-null value will do, nobody dereferences it.
HINSTANCE__ programModule{};

}  // namespace

DWORD WINAPI GetLastError() {
    return lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    lastError = dwErrCode;
}

DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPWSTR lpBuffer,
                            DWORD nSize, va_list*) {
    if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || lpBuffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const wchar_t* text = errorText(dwMessageId);
    if (text == nullptr) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    std::size_t length = std::wcslen(text);
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        auto* copy = static_cast<wchar_t*>(std::calloc(length + 1, sizeof(wchar_t)));
        if (copy == nullptr) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::wmemcpy(copy, text, length);
        *reinterpret_cast<LPWSTR*>(lpBuffer) = copy;
    } else {
        if (nSize < length + 1) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::wmemcpy(lpBuffer, text, length + 1);
    }
    return static_cast<DWORD>(length);
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    std::free(hMem);
    return nullptr;
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    if (lpModuleName != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return &programModule;
}

#endif
