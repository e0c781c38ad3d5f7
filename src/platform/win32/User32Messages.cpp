#ifndef _WIN32

// User32: message queues and dispatch.

#include "platform/win32/HandleTable.h"
#include "platform/win32/Window.h"

using namespace Korvane::Platform;

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (lpMsg == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hWnd != nullptr && !HandleTable::instance().find<Window>(hWnd, Win32ObjectKind::Window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    return MessageQueue::current()->take(*lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) {
    if (lpMsg == nullptr || lpMsg->hwnd == nullptr) return 0;
    auto window = HandleTable::instance().find<Window>(lpMsg->hwnd, Win32ObjectKind::Window);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->owner != std::this_thread::get_id()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return window->windowClass->procedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam,
                                          lpMsg->lParam);
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    MSG message{};
    message.hwnd = hWnd;
    message.message = Msg;
    message.wParam = wParam;
    message.lParam = lParam;
    if (hWnd == nullptr) {
        MessageQueue::current()->post(message);
        return TRUE;
    }
    auto window = HandleTable::instance().find<Window>(hWnd, Win32ObjectKind::Window);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->queue->post(message);
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode) {
    MessageQueue::current()->postQuit(nExitCode);
}

#endif
