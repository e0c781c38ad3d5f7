#include "usb/CPnPNotificator.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

namespace {

const wchar_t kWindowClassName[] = L"PnPNotificatorWndCls3";
const wchar_t kWindowTitle[] = L"PnPNotificator_HiddenWindow3";
const DWORD kStartupWaitMs = 10000;
const DWORD kStopWaitMs = 10000;

// Enter on construction, leave on every exit.
class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CRITICAL_SECTION& section) : section(section) {
        EnterCriticalSection(&section);
    }
    ~CriticalSectionGuard() { LeaveCriticalSection(&section); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CRITICAL_SECTION& section;
};

}  // namespace

CPnPNotificator::CPnPNotificator() {
    InitializeCriticalSection(&lock);
}

CPnPNotificator::~CPnPNotificator() {
    stop();
    DeleteCriticalSection(&lock);
}

bool CPnPNotificator::start(HINSTANCE newInstance, CPnPNotifyHandler* newHandler) {
    if (newInstance == nullptr || newHandler == nullptr) return false;
    CriticalSectionGuard guard(lock);
    bool windowUp = false;
    bool signalled = false;
    if (!started) {
        instance = newInstance;
        handler = newHandler;
        startupEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread =
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &threadMain, this, 0, nullptr));
        if (thread != nullptr && startupEvent != nullptr) {
            // The thread signals also when it could not make its window; only a window that is
            // up counts as started.
            signalled = WaitForSingleObject(startupEvent, kStartupWaitMs) == WAIT_OBJECT_0;
            windowUp = signalled && window != nullptr;
        }
        // A thread that has not signalled yet still will: its event stays until stop has seen
        // the thread end.
        if (startupEvent != nullptr && (signalled || thread == nullptr)) {
            CloseHandle(startupEvent);
            startupEvent = nullptr;
        }
    }
    started = true;
    return windowUp;
}

unsigned __stdcall CPnPNotificator::threadMain(void* argument) {
    static_cast<CPnPNotificator*>(argument)->runThread();
    return 0;
}

// The notification thread: the window, then the message loop until WM_DESTROY posts the quit.
void CPnPNotificator::runThread() {
    const bool haveWindow = createWindow();
    SetEvent(startupEvent);
    if (!haveWindow) return;
    {
        // A stop that came before the window was up could not close it; close it now.
        CriticalSectionGuard guard(lock);
        windowReady = true;
        if (stopRequested) PostMessageW(window, WM_CLOSE, 0, 0);
    }

    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CriticalSectionGuard guard(lock);
    window = nullptr;
    windowReady = false;
    UnregisterClassW(kWindowClassName, instance);
}

bool CPnPNotificator::createWindow() {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    windowClass.lpfnWndProc = &staticWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClassName;
    if (RegisterClassExW(&windowClass) == 0) return false;

    HWND created = CreateWindowExW(0, kWindowClassName, kWindowTitle, WS_OVERLAPPEDWINDOW,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   nullptr, nullptr, instance, nullptr);
    if (created == nullptr) {
        UnregisterClassW(kWindowClassName, instance);
        return false;
    }
    window = created;
    // The pointer needs the full LONG_PTR: a LONG would cut it on 64-bit.
    SetWindowLongPtrW(created, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

LRESULT CALLBACK CPnPNotificator::staticWindowProc(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    auto* self = reinterpret_cast<CPnPNotificator*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) return self->windowProc(window, message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CPnPNotificator::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_DEVICECHANGE:
            if (handler != nullptr) handler->onDeviceChange(WM_DEVICECHANGE, wParam, lParam);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool CPnPNotificator::registerInterface(const GUID& classGuid) {
    CriticalSectionGuard guard(lock);
    if (!started || window == nullptr) return false;

    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof(DEV_BROADCAST_DEVICEINTERFACE_W);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = classGuid;
    HDEVNOTIFY notification =
        RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (notification == nullptr) return false;
    registrations.push_front(Registration{classGuid, notification});
    return true;
}

bool CPnPNotificator::stop() {
    HANDLE ending = nullptr;
    {
        CriticalSectionGuard guard(lock);
        if (started && thread != nullptr) {
            stopRequested = true;
            if (windowReady) PostMessageW(window, WM_CLOSE, 0, 0);
            ending = thread;
            thread = nullptr;
        }
        started = false;
    }
    // Waited for outside the lock, which the thread takes on its way in and out. The thread
    // uses this object and the handler until it ends, so a thread that is late is waited for
    // to the end; the result still says whether it ended within the 10 s.
    bool ended = true;
    if (ending != nullptr) {
        ended = WaitForSingleObject(ending, kStopWaitMs) == WAIT_OBJECT_0;
        if (!ended) WaitForSingleObject(ending, INFINITE);
        CloseHandle(ending);
    }
    CriticalSectionGuard guard(lock);
    stopRequested = false;
    if (startupEvent != nullptr) {
        CloseHandle(startupEvent);
        startupEvent = nullptr;
    }
    removeRegistrations();
    return ended;
}

void CPnPNotificator::removeRegistrations() {
    for (const Registration& registration : registrations) {
        if (registration.notification != nullptr) {
            UnregisterDeviceNotification(registration.notification);
        }
    }
    registrations.clear();
}

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
