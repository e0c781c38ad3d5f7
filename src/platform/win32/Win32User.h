#pragma once

// User32 subset (window classes, windows, per-thread message queues, device notifications),
// the device-broadcast records of dbt.h and the C runtime's _beginthreadex.
//
// Windows belong to the thread that creates them: their messages queue on that thread's
// message queue, and only that thread dispatches and destroys them. No messages are sent
// at creation; WM_DESTROY is sent (on the owning thread) by DestroyWindow.
//
// Included through platform/Win32.h only, and only when _WIN32 is not defined.

#include "platform/win32/Win32Types.h"

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef PVOID HDEVNOTIFY;

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
};

struct POINT {
    LONG x;
    LONG y;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
    DWORD lPrivate;
};
typedef MSG* LPMSG;

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr UINT WM_USER = 0x0400;

constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
constexpr int GWLP_USERDATA = -21;

constexpr DWORD DEVICE_NOTIFY_WINDOW_HANDLE = 0x00000000;
constexpr DWORD DEVICE_NOTIFY_ALL_INTERFACE_CLASSES = 0x00000004;

constexpr WPARAM DBT_DEVICEARRIVAL = 0x8000;
constexpr WPARAM DBT_DEVICEQUERYREMOVE = 0x8001;
constexpr WPARAM DBT_DEVICEQUERYREMOVEFAILED = 0x8002;
constexpr WPARAM DBT_DEVICEREMOVEPENDING = 0x8003;
constexpr WPARAM DBT_DEVICEREMOVECOMPLETE = 0x8004;

constexpr DWORD DBT_DEVTYP_OEM = 0x00000000;
constexpr DWORD DBT_DEVTYP_VOLUME = 0x00000002;
constexpr DWORD DBT_DEVTYP_PORT = 0x00000003;
constexpr DWORD DBT_DEVTYP_DEVICEINTERFACE = 0x00000005;
constexpr DWORD DBT_DEVTYP_HANDLE = 0x00000006;

struct DEV_BROADCAST_HDR {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
};
typedef DEV_BROADCAST_HDR* PDEV_BROADCAST_HDR;

// The class GUID sits at byte 12 and the name at byte 28, as on Windows.
struct DEV_BROADCAST_DEVICEINTERFACE_W {
    DWORD dbcc_size;
    DWORD dbcc_devicetype;
    DWORD dbcc_reserved;
    GUID dbcc_classguid;
    WCHAR dbcc_name[1];
};
typedef DEV_BROADCAST_DEVICEINTERFACE_W* PDEV_BROADCAST_DEVICEINTERFACE_W;

// cbSize must be sizeof(WNDCLASSEXW) and lpfnWndProc and lpszClassName set
// (ERROR_INVALID_PARAMETER). A name already registered for the instance (compared without
// regard to case): 0, ERROR_CLASS_ALREADY_EXISTS.
ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* lpwcx);
// ERROR_CLASS_DOES_NOT_EXIST, or ERROR_CLASS_HAS_WINDOWS while windows of the class exist.
BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);

// A hidden top-level window of a registered class (ERROR_CANNOT_FIND_WND_CLASS otherwise),
// owned by the calling thread. Style, position, size, parent, menu and parameter are kept for
// nobody; the window is never shown.
HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                            DWORD dwStyle, int X, int Y, int nWidth, int nHeight, HWND hWndParent,
                            HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);

// On the owning thread only (ERROR_ACCESS_DENIED from others): sends WM_DESTROY to the window
// procedure, then the handle is gone (ERROR_INVALID_WINDOW_HANDLE) and messages still queued
// for it are dropped.
BOOL WINAPI DestroyWindow(HWND hWnd);

// GWLP_USERDATA only (others: 0, ERROR_INVALID_INDEX). Set returns the previous value.
LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex);

// Blocks until the calling thread's queue holds a message for hWnd (NULL: any window and
// thread messages) within [wMsgFilterMin, wMsgFilterMax] (0, 0: all). Returns 0 for WM_QUIT
// (once PostQuitMessage was called and no other posted message is waiting), -1 with
// ERROR_INVALID_WINDOW_HANDLE for a window that does not exist, otherwise nonzero.
// A record that lParam points to (WM_DEVICECHANGE) stays valid until the next GetMessageW call
// of the thread, that is, while the message is dispatched.
BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
// There are no keyboard messages to translate: always FALSE.
BOOL WINAPI TranslateMessage(const MSG* lpMsg);
// Calls the window procedure of lpMsg->hwnd on the calling thread, which must own the window;
// returns its result (0 when the window is gone or hwnd is NULL).
LRESULT WINAPI DispatchMessageW(const MSG* lpMsg);
// WM_CLOSE destroys the window; everything else returns 0.
LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Queues the message on the window's owning thread (hWnd NULL: the calling thread) and returns
// at once. From any thread.
BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Makes the calling thread's GetMessageW return 0 once the posted messages are taken.
void WINAPI PostQuitMessage(int nExitCode);

// NotificationFilter: a DEV_BROADCAST_DEVICEINTERFACE_W whose dbcc_classguid names the class
// (any class with DEVICE_NOTIFY_ALL_INTERFACE_CLASSES). From then on every arrival and removal
// of a device on the USB host posts WM_DEVICECHANGE with DBT_DEVICEARRIVAL or
// DBT_DEVICEREMOVECOMPLETE and a DEV_BROADCAST_DEVICEINTERFACE_W record (class
// GUID_DEVINTERFACE_USB_DEVICE, dbcc_name the device path as SetupAPI gives it) to the window,
// to be dispatched on the window's own thread. hRecipient must be a window handle
// (ERROR_INVALID_WINDOW_HANDLE); only DEVICE_NOTIFY_WINDOW_HANDLE recipients exist
// (ERROR_INVALID_FLAGS otherwise); a filter that is not a device-interface record fails with
// ERROR_INVALID_DATA.
HDEVNOTIFY WINAPI RegisterDeviceNotificationW(HANDLE hRecipient, LPVOID NotificationFilter,
                                              DWORD Flags);
// Ends the registration; returns after a notification being posted by the USB host has been
// queued. Must not be called from a USB host callback.
BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle);

// Starts a thread running start_address(arglist); returns its handle (to wait on and to
// CloseHandle), or 0 (errno EINVAL) when start_address is null or initflag is not 0.
// security and stack_size are ignored. *thrdaddr (optional) receives a thread id.
std::uintptr_t _beginthreadex(void* security, unsigned stack_size,
                              unsigned(__stdcall* start_address)(void*), void* arglist,
                              unsigned initflag, unsigned* thrdaddr);
