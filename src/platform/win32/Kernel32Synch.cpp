#ifndef _WIN32

// Kernel32: handles, events, waits, critical sections, pauses and the system clock.

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/win32/HandleTable.h"
#include "platform/win32/Waitable.h"
#include "platform/win32/Win32.h"

using Korvane::Platform::HandleTable;
using Korvane::Platform::Waitable;
using Korvane::Platform::Win32ObjectKind;

namespace {

std::shared_ptr<Waitable> findWaitable(HANDLE handle) {
    HandleTable& table = HandleTable::instance();
    if (auto event = table.find<Waitable>(handle, Win32ObjectKind::Event)) return event;
    return table.find<Waitable>(handle, Win32ObjectKind::Thread);
}

std::recursive_mutex* lockOf(LPCRITICAL_SECTION section) {
    return static_cast<std::recursive_mutex*>(section->LockSemaphore);
}

}  // namespace

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (HandleTable::instance().close(hObject, {Win32ObjectKind::Event, Win32ObjectKind::Thread,
                                                Win32ObjectKind::DeviceFile})) {
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCWSTR lpName) {
    if (lpName != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return HandleTable::instance().add(std::make_shared<Waitable>(
        Win32ObjectKind::Event, bManualReset != FALSE, bInitialState != FALSE));
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    auto event = HandleTable::instance().find<Waitable>(hEvent, Win32ObjectKind::Event);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->set();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    auto event = HandleTable::instance().find<Waitable>(hEvent, Win32ObjectKind::Event);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->reset();
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<Waitable> object = findWaitable(hHandle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->wait(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    *lpCriticalSection = CRITICAL_SECTION{};
    lpCriticalSection->LockSemaphore = new std::recursive_mutex;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lockOf(lpCriticalSection)->lock();
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lockOf(lpCriticalSection)->unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete lockOf(lpCriticalSection);
    lpCriticalSection->LockSemaphore = nullptr;
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    // 100 ns ticks between 1601-01-01 and 1970-01-01.
    constexpr std::uint64_t kUnixEpoch = 116444736000000000ull;
    auto sinceUnix = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    std::uint64_t ticks = kUnixEpoch + static_cast<std::uint64_t>(sinceUnix.count() / 100);
    lpSystemTimeAsFileTime->dwLowDateTime = static_cast<DWORD>(ticks);
    lpSystemTimeAsFileTime->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

#endif
