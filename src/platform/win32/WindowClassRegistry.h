#pragma once

#ifndef _WIN32

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/win32/Win32.h"

namespace Korvane {
namespace Platform {

// The registered window classes of the process, by name (case-insensitive) and instance.
class WindowClassRegistry {
public:
    struct WindowClass {
        WNDPROC procedure = nullptr;
        ATOM atom = 0;
    };

    static WindowClassRegistry& instance();

    // The class's atom, or 0 after setting the last error.
    ATOM add(const WNDCLASSEXW& description);
    // ERROR_SUCCESS, ERROR_CLASS_DOES_NOT_EXIST or ERROR_CLASS_HAS_WINDOWS.
    DWORD remove(LPCWSTR name, HINSTANCE instance);
    // Counts a window of the class as created; null when there is no such class.
    std::shared_ptr<WindowClass> createWindow(LPCWSTR name, HINSTANCE instance);
    void windowDestroyed(const std::shared_ptr<WindowClass>& windowClass);

private:
    using Key = std::pair<std::wstring, HINSTANCE>;
    static Key keyOf(LPCWSTR name, HINSTANCE instance);

    std::mutex mutex;
    std::map<Key, std::shared_ptr<WindowClass>> classes;
    std::map<const WindowClass*, int> windows;
    ATOM nextAtom = 0xC000;
};

}  // namespace Platform
}  // namespace Korvane

#endif
