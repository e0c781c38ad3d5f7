#pragma once

#ifndef _WIN32

#include <atomic>
#include <memory>
#include <thread>

#include "platform/win32/MessageQueue.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Object.h"
#include "platform/win32/WindowClassRegistry.h"

namespace Korvane {
namespace Platform {

// What CreateWindowExW returns: a hidden window, owned by the thread that created it.
class Window : public Win32Object {
public:
    Window(std::shared_ptr<WindowClassRegistry::WindowClass> windowClass,
           std::shared_ptr<MessageQueue> queue)
        : Win32Object(Win32ObjectKind::Window),
          windowClass(std::move(windowClass)),
          queue(std::move(queue)),
          owner(std::this_thread::get_id()) {}

    const std::shared_ptr<WindowClassRegistry::WindowClass> windowClass;
    const std::shared_ptr<MessageQueue> queue;  // the owning thread's
    const std::thread::id owner;
    std::atomic<LONG_PTR> userData{0};
    std::atomic<bool> destroying{false};
};

}  // namespace Platform
}  // namespace Korvane

#endif
