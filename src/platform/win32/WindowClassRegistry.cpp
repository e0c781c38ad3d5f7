#ifndef _WIN32

#include "platform/win32/WindowClassRegistry.h"

#include <cwctype>

namespace Korvane {
namespace Platform {

WindowClassRegistry& WindowClassRegistry::instance() {
    static WindowClassRegistry* registry = new WindowClassRegistry;
    return *registry;
}

WindowClassRegistry::Key WindowClassRegistry::keyOf(LPCWSTR name, HINSTANCE instance) {
    std::wstring lower(name);
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    return {lower, instance};
}

ATOM WindowClassRegistry::add(const WNDCLASSEXW& description) {
    if (description.cbSize != sizeof(WNDCLASSEXW) || description.lpfnWndProc == nullptr ||
        description.lpszClassName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Key key = keyOf(description.lpszClassName, description.hInstance);
    std::lock_guard<std::mutex> lock(mutex);
    if (classes.count(key) != 0) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto windowClass = std::make_shared<WindowClass>();
    windowClass->procedure = description.lpfnWndProc;
    windowClass->atom = nextAtom++;
    classes.emplace(key, windowClass);
    return windowClass->atom;
}

DWORD WindowClassRegistry::remove(LPCWSTR name, HINSTANCE instance) {
    if (name == nullptr) return ERROR_CLASS_DOES_NOT_EXIST;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = classes.find(keyOf(name, instance));
    if (it == classes.end()) return ERROR_CLASS_DOES_NOT_EXIST;
    if (windows[it->second.get()] != 0) return ERROR_CLASS_HAS_WINDOWS;
    windows.erase(it->second.get());
    classes.erase(it);
    return ERROR_SUCCESS;
}

std::shared_ptr<WindowClassRegistry::WindowClass> WindowClassRegistry::createWindow(
    LPCWSTR name, HINSTANCE instance) {
    if (name == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = classes.find(keyOf(name, instance));
    if (it == classes.end()) return nullptr;
    ++windows[it->second.get()];
    return it->second;
}

void WindowClassRegistry::windowDestroyed(const std::shared_ptr<WindowClass>& windowClass) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = windows.find(windowClass.get());
    if (it != windows.end() && it->second > 0) --it->second;
}

}  // namespace Platform
}  // namespace Korvane

#endif
