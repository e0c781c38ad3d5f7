#pragma once

#ifndef _WIN32

#include <memory>

namespace Korvane {
namespace Platform {

enum class Win32ObjectKind {
    Event,
    Thread,
    DeviceFile,
    WinUsbInterface,
    DeviceInfoSet,
    Window,
    DeviceNotification
};

// What a HANDLE (or HWND, HDEVINFO, ...) stands for: every entry point looks the value up in
// the HandleTable and checks the kind before it touches the object.
class Win32Object {
public:
    explicit Win32Object(Win32ObjectKind kind) : kind(kind) {}
    virtual ~Win32Object() = default;
    Win32Object(const Win32Object&) = delete;
    Win32Object& operator=(const Win32Object&) = delete;

    // Runs once, when the handle is closed (the object may live on while a call still uses it).
    virtual void release() {}

    const Win32ObjectKind kind;
};

}  // namespace Platform
}  // namespace Korvane

#endif
