#ifndef _WIN32

// User32: window classes and windows.

#include "platform/win32/HandleTable.h"
#include "platform/win32/Window.h"

using namespace Korvane::Platform;

namespace {

std::shared_ptr<Window> findWindow(HWND handle) {
    auto window = HandleTable::instance().find<Window>(handle, Win32ObjectKind::Window);
    if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

}  // namespace

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* lpwcx) {
    if (lpwcx == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return WindowClassRegistry::instance().add(*lpwcx);
}

BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance) {
    DWORD error = WindowClassRegistry::instance().remove(lpClassName, hInstance);
    if (error == ERROR_SUCCESS) return TRUE;
    SetLastError(error);
    return FALSE;
}

HWND WINAPI CreateWindowExW(DWORD, LPCWSTR lpClassName, LPCWSTR, DWORD, int, int, int, int, HWND,
                            HMENU, HINSTANCE hInstance, LPVOID) {
    auto windowClass = WindowClassRegistry::instance().createWindow(lpClassName, hInstance);
    if (!windowClass) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    auto window = std::make_shared<Window>(windowClass, MessageQueue::current());
    return static_cast<HWND>(HandleTable::instance().add(window));
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
    std::shared_ptr<Window> window = findWindow(hWnd);
    if (!window) return FALSE;
    if (window->owner != std::this_thread::get_id()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (window->destroying.exchange(true)) return TRUE;  // again from inside WM_DESTROY
    window->windowClass->procedure(hWnd, WM_DESTROY, 0, 0);
    HandleTable::instance().close(hWnd, {Win32ObjectKind::Window});
    window->queue->dropWindow(hWnd);
    WindowClassRegistry::instance().windowDestroyed(window->windowClass);
    return TRUE;
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    std::shared_ptr<Window> window = findWindow(hWnd);
    if (!window) return 0;
    if (nIndex != GWLP_USERDATA) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return window->userData.exchange(dwNewLong);
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex) {
    std::shared_ptr<Window> window = findWindow(hWnd);
    if (!window) return 0;
    if (nIndex != GWLP_USERDATA) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return window->userData.load();
}

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM, LPARAM) {
    if (Msg == WM_CLOSE) DestroyWindow(hWnd);
    return 0;
}

#endif
