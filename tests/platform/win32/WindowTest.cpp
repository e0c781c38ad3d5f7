#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/SimulatedBusFixture.h"

namespace Korvane {
namespace Testing {
namespace {

// What the hidden window's procedure saw, in order, as "<event> <path>" texts.
struct WindowLog {
    std::mutex mutex;
    std::vector<std::string> entries;
    std::thread::id procedureThread;
    HANDLE ready = nullptr;         // set once the window exists and is registered
    HANDLE deviceChange = nullptr;  // set on every WM_DEVICECHANGE
    HWND window = nullptr;

    void add(const std::string& entry) {
        std::lock_guard<std::mutex> lock(mutex);
        entries.push_back(entry);
        procedureThread = std::this_thread::get_id();
    }
    std::vector<std::string> snapshot() {
        std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }
};

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* log = reinterpret_cast<WindowLog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (log == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_DEVICECHANGE: {
            auto* header = reinterpret_cast<DEV_BROADCAST_HDR*>(lParam);
            std::string entry = wParam == DBT_DEVICEARRIVAL          ? "arrival "
                                : wParam == DBT_DEVICEREMOVECOMPLETE ? "removal "
                                                                     : "other ";
            if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
                auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
                EXPECT_EQ(record->dbcc_classguid, GUID_DEVINTERFACE_USB_DEVICE);
                for (const WCHAR* c = record->dbcc_name; *c; ++c) entry += static_cast<char>(*c);
            }
            log->add(entry);
            SetEvent(log->deviceChange);
            return 0;
        }
        case WM_DESTROY:
            log->add("destroy");
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

const wchar_t kClassName[] = L"PlatformTestWindowClass";

// The notification thread: class, hidden window, registration for USB device interfaces,
// message loop until WM_QUIT.
unsigned __stdcall windowThread(void* argument) {
    auto* log = static_cast<WindowLog*>(argument);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    EXPECT_NE(RegisterClassExW(&windowClass), 0);
    HWND window =
        CreateWindowExW(0, kClassName, L"hidden", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    EXPECT_NE(window, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(log));
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
    HDEVNOTIFY notification =
        RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    EXPECT_NE(notification, nullptr);
    log->window = window;
    SetEvent(log->ready);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_TRUE(UnregisterDeviceNotification(notification));
    EXPECT_TRUE(UnregisterClassW(kClassName, instance));
    return 0;
}

class HiddenWindowTest : public SimulatedBusTest {
protected:
    void SetUp() override {
        log.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        log.deviceChange = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        thread =
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &windowThread, &log, 0, nullptr));
        ASSERT_EQ(WaitForSingleObject(log.ready, INFINITE), WAIT_OBJECT_0);
    }
    void TearDown() override {
        CloseHandle(thread);
        CloseHandle(log.ready);
        CloseHandle(log.deviceChange);
        SimulatedBusTest::TearDown();
    }
    void waitForEntries(std::size_t count) {
        while (log.snapshot().size() < count) {
            ASSERT_EQ(WaitForSingleObject(log.deviceChange, INFINITE), WAIT_OBJECT_0);
        }
    }

    WindowLog log;
    HANDLE thread = nullptr;
};

TEST_F(HiddenWindowTest, ReceivesArrivalAndRemovalThenClosesDown) {
    plug("SER-A");
    unplug("SER-A");
    waitForEntries(2);
    const std::string path =
        "\\\\?\\usb#vid_1209&pid_7a03#SER-A#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    EXPECT_EQ(log.snapshot(), (std::vector<std::string>{"arrival " + path, "removal " + path}));
    EXPECT_NE(log.procedureThread, std::this_thread::get_id());

    // From another thread, as the notification service stops it: WM_CLOSE destroys the
    // window, WM_DESTROY quits the loop and the thread ends.
    EXPECT_TRUE(PostMessageW(log.window, WM_CLOSE, 0, 0));
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(log.snapshot().back(), "destroy");
    EXPECT_FALSE(PostMessageW(log.window, WM_CLOSE, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(HiddenWindowTest, OnlyItsOwnThreadMayDestroyIt) {
    EXPECT_FALSE(DestroyWindow(log.window));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    PostMessageW(log.window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
}

LRESULT CALLBACK plainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(WindowClasses, RegistrationRules) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = 48;  // the 32-bit size
    windowClass.lpfnWndProc = &plainProcedure;
    windowClass.lpszClassName = L"RulesClass";
    EXPECT_EQ(RegisterClassExW(&windowClass), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    windowClass.cbSize = sizeof windowClass;
    EXPECT_NE(RegisterClassExW(&windowClass), 0);
    windowClass.lpszClassName = L"rulesCLASS";
    EXPECT_EQ(RegisterClassExW(&windowClass), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

    EXPECT_EQ(
        CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
    HWND window =
        CreateWindowExW(0, L"RulesClass", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(UnregisterClassW(L"RulesClass", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    EXPECT_EQ(SetWindowLongPtrW(window, GWLP_USERDATA, 5), 0);
    EXPECT_EQ(SetWindowLongPtrW(window, GWLP_USERDATA, 6), 5);
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), 6);

    // A message queued for a window that is destroyed before it is taken is dropped.
    PostMessageW(window, WM_USER, 0, 0);
    EXPECT_TRUE(DestroyWindow(window));
    PostQuitMessage(3);
    MSG message;
    EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), 0);
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_TRUE(UnregisterClassW(L"RulesClass", nullptr));
    EXPECT_FALSE(UnregisterClassW(L"RulesClass", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
}

}  // namespace
}  // namespace Testing
}  // namespace Korvane
