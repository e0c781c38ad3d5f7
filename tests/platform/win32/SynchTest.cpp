#include <gtest/gtest.h>

#include <atomic>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/Win32.h"

namespace {

TEST(Events, ManualResetStaysSignalledUntilReset) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(event, 10), WAIT_TIMEOUT);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(ResetEvent(event));  // resetting an unsignalled event is fine
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Events, AutoResetReleasesOneWait) {
    HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(Events, WaitEndsWhenAnotherThreadSignals) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread setter([event] { SetEvent(event); });
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(event);
}

TEST(Handles, WrongOrClosedHandlesFailWithInvalidHandle) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));
    HANDLE devices = SetupDiGetClassDevsW(&GUID_DEVINTERFACE_USB_DEVICE, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    int local = 0;
    struct Case {
        const char* name;
        HANDLE handle;
    } cases[] = {{"null", nullptr},
                 {"invalid value", INVALID_HANDLE_VALUE},
                 {"closed event", event},
                 {"not a handle", &local},
                 {"device info set", devices}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0);
        EXPECT_FALSE(SetEvent(c.handle));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_FALSE(ResetEvent(c.handle));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_EQ(WaitForSingleObject(c.handle, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(c.handle));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(devices));
}

unsigned __stdcall recordAndSleep(void* argument) {
    Sleep(20);
    static_cast<std::atomic<int>*>(argument)->store(42);
    return 7;
}

TEST(Threads, HandleIsSignalledWhenTheThreadEnds) {
    std::atomic<int> result{0};
    unsigned id = 0;
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &recordAndSleep, &result, 0, &id));
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(result.load(), 42);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(_beginthreadex(nullptr, 0, nullptr, nullptr, 0, nullptr), 0u);
}

unsigned __stdcall waitForEvent(void* argument) {
    WaitForSingleObject(static_cast<HANDLE>(argument), INFINITE);
    return 0;
}

TEST(Threads, WaitOnARunningThreadTimesOut) {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &waitForEvent, release, 0, nullptr));
    EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(release);
}

TEST(CriticalSections, AreRecursiveAndExcludeOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);  // the owner may enter again
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);

    int counter = 0;  // unguarded apart from the section: TSan checks the exclusion
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                EnterCriticalSection(&section);
                ++counter;
                LeaveCriticalSection(&section);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 4000);
    DeleteCriticalSection(&section);
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenElsewhere = 1;
    std::thread other([&] {
        seenElsewhere = GetLastError();
        SetLastError(ERROR_GEN_FAILURE);
    });
    other.join();
    EXPECT_EQ(seenElsewhere, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(FormatMessage, GivesTheSystemTextInAnAllocatedBuffer) {
    struct Case {
        DWORD code;
        const wchar_t* text;
    } cases[] = {
        {ERROR_DEVICE_NOT_CONNECTED, L"The device is not connected.\r\n"},
        {ERROR_GEN_FAILURE, L"A device attached to the system is not functioning.\r\n"},
        {ERROR_FILE_NOT_FOUND, L"The system cannot find the file specified.\r\n"},
        {ERROR_OPERATION_ABORTED,
         L"The I/O operation has been aborted because of either a thread exit or an "
         L"application request.\r\n"},
    };
    const DWORD flags =
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
    for (const Case& c : cases) {
        LPWSTR buffer = nullptr;
        DWORD length =
            FormatMessageW(flags, nullptr, c.code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
        ASSERT_NE(buffer, nullptr) << c.code;
        EXPECT_EQ(length, std::wcslen(c.text)) << c.code;
        EXPECT_EQ(std::wstring(buffer), c.text) << c.code;
        EXPECT_EQ(LocalFree(buffer), nullptr);
    }
    LPWSTR buffer = nullptr;
    EXPECT_EQ(FormatMessageW(flags, nullptr, 0x12345, 0x400, reinterpret_cast<LPWSTR>(&buffer), 0,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
}

}  // namespace
