#pragma once

// Kernel32 subset: device files, events and waits, critical sections, pauses, the system clock,
// the per-thread last error and system error texts.
//
// Included through platform/Win32.h only, and only when _WIN32 is not defined.

#include <cstdarg>

#include "platform/win32/Win32Types.h"

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_ABANDONED = 0x00000080;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))

// Windows layout. InitializeCriticalSection keeps the lock object it allocates in
// LockSemaphore; the other fields stay zero.
struct CRITICAL_SECTION {
    PVOID DebugInfo;
    LONG LockCount;
    LONG RecursionCount;
    HANDLE OwningThread;
    HANDLE LockSemaphore;
    ULONG_PTR SpinCount;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;

// Only device interface paths of present USB devices can be opened (see the SetupAPI device
// paths): ERROR_FILE_NOT_FOUND for anything else or a device that is gone, ERROR_ACCESS_DENIED
// when another handle (or program) holds the device, ERROR_PRIVILEGE_NOT_HELD when the user may
// not open it at all (on Linux: the device node is not the user's). Access, share, disposition and
// flags are accepted as given; every device handle supports overlapped WinUSB transfers.
// CloseHandle on the handle cancels what is pending on the device and releases it, also when
// WinUsb_Free was never called.
HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// Closes an event, thread or device file handle. Any other value: FALSE, ERROR_INVALID_HANDLE.
BOOL WINAPI CloseHandle(HANDLE hObject);

// Unnamed events only (a name fails with ERROR_NOT_SUPPORTED). Manual-reset events stay
// signalled until ResetEvent; auto-reset events release one waiter and reset.
HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                           BOOL bInitialState, LPCWSTR lpName);
BOOL WINAPI SetEvent(HANDLE hEvent);
BOOL WINAPI ResetEvent(HANDLE hEvent);

// Waits on an event or a thread handle (signalled when the thread has ended).
// WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED with ERROR_INVALID_HANDLE.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// Recursive, as on Windows: the owning thread may enter again and must leave as often.
void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

void WINAPI Sleep(DWORD dwMilliseconds);

// UTC in 100 ns units since 1601-01-01.
void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);

// The calling thread's last error; every failing call of this layer sets it.
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);

// FORMAT_MESSAGE_FROM_SYSTEM only: the English system text (ending in "\r\n") of the error
// codes declared in Win32Types.h, whatever the language. With FORMAT_MESSAGE_ALLOCATE_BUFFER
// lpBuffer is really an LPWSTR* that receives a buffer to free with LocalFree. Returns the
// number of characters without the terminator; 0 with ERROR_MR_MID_NOT_FOUND for an unknown
// code, ERROR_INVALID_PARAMETER for other sources, ERROR_INSUFFICIENT_BUFFER when nSize is
// too small.
DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPWSTR lpBuffer, DWORD nSize, va_list* Arguments);

// Frees a buffer FormatMessageW allocated; NULL on success.
HLOCAL WINAPI LocalFree(HLOCAL hMem);

// NULL: the program's own module handle. Named modules do not exist (ERROR_MOD_NOT_FOUND).
HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);
