#pragma once

#include <forward_list>

#include <boost/noncopyable.hpp>

#include "platform/win32/Win32.h"
#include "usb/CPnPNotifyHandler.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace USB {

// A hidden window with its own message loop on its own thread, registered for device-interface
// notifications. The window's WM_DEVICECHANGE messages go to the handler, on that thread.
//
// start, registerInterface and stop are called from one owning thread (never from the
// notification thread: stop waits for it to end).
class CPnPNotificator : private boost::noncopyable {
public:
    CPnPNotificator();
    // Stops the thread and removes the registrations.
    virtual ~CPnPNotificator();

    // Starts the notification thread once. Waits up to 10 s for its window; true when the
    // window is up in time. false for a null argument and for every later call.
    bool start(HINSTANCE instance, CPnPNotifyHandler* handler);

    // Registers the window for arrivals and removals of devices of the interface class. Only
    // while started and with a window; true when registered.
    bool registerInterface(const GUID& classGuid);

    // Closes the window (WM_CLOSE; a thread whose window is not up yet closes it itself), waits
    // for the thread to end and removes every registration. true when the thread ended within
    // 10 s or nothing was running; a later thread is still waited for, since it uses this object
    // and the handler until it ends.
    bool stop();

    virtual LRESULT windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Registration {
        GUID interfaceClass;
        HDEVNOTIFY notification;
    };

    static unsigned __stdcall threadMain(void* argument);
    static LRESULT CALLBACK staticWindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    void runThread();
    bool createWindow();
    void removeRegistrations();

    // Guards every field below. The notification thread sets the window handle before
    // signalling the start-up event; it takes the lock only after that signal (start holds it
    // while waiting) and when its loop has ended.
    CRITICAL_SECTION lock;
    bool started = false;
    std::forward_list<Registration> registrations;  // newest first
    HANDLE thread = nullptr;
    CPnPNotifyHandler* handler = nullptr;
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HANDLE startupEvent = nullptr;  // from start until the thread has signalled it
    bool windowReady = false;       // the thread's window is up and its loop about to run
    bool stopRequested = false;     // stop has begun: a window that comes up late closes itself
};

}  // namespace USB
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
